#include "app/model_light.h"

#include <cmath>

#include "app/model_weld.h"

namespace {

void Normalise(float n[3]) {
    const float length = std::sqrt((n[0] * n[0] + n[1] * n[1]) + n[2] * n[2]);
    if (length > 0.0f && std::isfinite(length))
        n[0] /= length, n[1] /= length, n[2] /= length;
    else
        n[0] = n[1] = n[2] = 0.0f;
}

} // namespace

void BakeLight(ImportedModel &model) {
    const size_t vertices = model.positions.size() / 3;
    bool any = false;
    for (size_t v = 0; v < vertices; v++) any = any || !model.ownColour[v];
    if (!any) return;

    // Face normals summed per position, in face order (so an indexed file and
    // the same mesh as a triangle soup sum alike); a face's cross product is
    // twice its area along its normal.
    std::vector<uint32_t> group;
    const size_t groups = GroupEqualPositions(model.positions, group);
    std::vector<float> sums(groups * 3, 0.0f);
    const float *p = model.positions.data();
    for (size_t t = 0; t + 2 < model.triangles.size(); t += 3) {
        const float *a = p + 3 * (size_t)model.triangles[t];
        const float *b = p + 3 * (size_t)model.triangles[t + 1];
        const float *c = p + 3 * (size_t)model.triangles[t + 2];
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                            u[0] * w[1] - u[1] * w[0]};
        for (int k = 0; k < 3; k++) {
            float *s = &sums[3 * (size_t)group[model.triangles[t + k]]];
            s[0] += n[0], s[1] += n[1], s[2] += n[2];
        }
    }

    float light[3] = {LightTowards[0], LightTowards[1], LightTowards[2]};
    Normalise(light);
    for (size_t v = 0; v < vertices; v++) {
        if (model.ownColour[v]) continue;
        float n[3] = {model.normals[3 * v], model.normals[3 * v + 1], model.normals[3 * v + 2]};
        if (n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f) {
            const float *s = &sums[3 * (size_t)group[v]];
            n[0] = s[0], n[1] = s[1], n[2] = s[2];
        }
        Normalise(n);
        const float facing = std::fabs((n[0] * light[0] + n[1] * light[1]) + n[2] * light[2]);
        const float level = AmbientLight + DirectLight * facing;
        for (int k = 0; k < 3; k++) {
            float &c = model.colours[3 * v + k];
            const float lit = std::floor(c * level + 0.5f);
            c = lit > 255.0f ? 255.0f : lit;
        }
    }
}
