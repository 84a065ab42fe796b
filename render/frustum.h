// Screen constants and the camera-space view volume.
#pragma once
#include <cstdint>

#include "render/types.h"

struct ScreenConstants {
    int32_t width, height;     // 512 x 384
    int32_t centreX, centreY;  // 256, 192
};

// Field names avoid `near`/`far`, which <windows.h> defines away as macros.
struct ViewFrustum {
    ClipPlane nearPlane, farPlane, leftPlane, rightPlane, topPlane, bottomPlane;
    float focalLength;        // pixels from eye to image plane
    int32_t centreX, centreY; // added after projection
};

extern ScreenConstants Screen;
extern ViewFrustum Frustum;

void SetScreenConstants(int32_t width, int32_t height);

// Builds the six planes and focal length from Screen. Call once at start-up.
void BuildViewFrustum();
