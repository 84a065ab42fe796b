#include "app/model_place.h"

#include <cmath>

#include "app/camera.h"

void TurnZUp(std::vector<float> &xyz) {
    for (size_t i = 0; i + 2 < xyz.size(); i += 3) {
        const float y = xyz[i + 1], z = xyz[i + 2];
        xyz[i + 1] = z;
        xyz[i + 2] = -y;
    }
}

bool FitModel(std::vector<float> &positions, std::string &reason) {
    float lo[3], hi[3];
    for (int k = 0; k < 3; k++) lo[k] = hi[k] = positions[k];
    for (size_t i = 0; i + 2 < positions.size(); i += 3)
        for (int k = 0; k < 3; k++) {
            const float v = positions[i + k];
            lo[k] = v < lo[k] ? v : lo[k];
            hi[k] = v > hi[k] ? v : hi[k];
        }
    const float extent[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    const float box[3] = {FitWidth, FitHeight, FitDepth};
    float scale = 0.0f;
    for (int k = 0; k < 3; k++) {
        if (!std::isfinite(extent[k]))
            return reason = "its coordinates span more than a single-precision number holds", false;
        if (extent[k] > 0.0f) {
            const float s = box[k] / extent[k];
            if (scale == 0.0f || s < scale) scale = s;
        }
    }
    if (scale == 0.0f) return reason = "all its vertices are at one point: nothing to draw", false;
    if (!std::isfinite(scale))
        return reason = "its extent is too small to scale up in single precision", false;

    // Centred on the camera's line of sight, standing on the ground (y = 0),
    // its front face far enough ahead for the whole box to be in view.
    const float width = extent[0] * scale, height = extent[1] * scale;
    const float above = height - StartCamera.height, below = StartCamera.height;
    const float tallest = above > below ? above : below;
    const float byWidth = width * 0.5f / FitTanHalfWidth, byHeight = tallest / FitTanHalfHeight;
    float distance = (byWidth > byHeight ? byWidth : byHeight) * FitRoom;
    if (distance < FitNearest) distance = FitNearest;
    const float centreX = lo[0] * 0.5f + hi[0] * 0.5f;
    const float front = StartCamera.z - distance;
    for (size_t i = 0; i + 2 < positions.size(); i += 3) {
        positions[i] = (positions[i] - centreX) * scale + StartCamera.x;
        positions[i + 1] = (positions[i + 1] - lo[1]) * scale;
        positions[i + 2] = (positions[i + 2] - hi[2]) * scale + front;
    }
    return true;
}
