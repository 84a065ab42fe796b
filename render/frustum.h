// Screen constants and the camera-space view volume.
#pragma once
#include <cstdint>

#include "render/types.h"

// The size of the frames being drawn (512 x 384 unless a program chose
// another), set by InitGraphics and again when the size changes.
struct ScreenConstants {
    int32_t width, height;
    int32_t centreX, centreY; // width / 2, height / 2: 256, 192 at 512 x 384
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

// Builds the six planes and focal length from Screen: at start-up and after
// each change of size.
void BuildViewFrustum();
