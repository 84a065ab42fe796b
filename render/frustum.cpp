#include "render/frustum.h"

#include <cmath>

ScreenConstants Screen;
ViewFrustum Frustum;

void SetScreenConstants(int32_t width, int32_t height) {
    Screen.width = width;
    Screen.height = height;
    Screen.centreX = width / 2;
    Screen.centreY = height / 2;
}

void BuildViewFrustum() {
    // Just under pi/4: its tangent still rounds to exactly 1.0f.
    const double halfAngle = 0.7853981573134661;
    float t = (float)std::tan(halfAngle);
    float k = 1.0f / t;
    float aspect = (float)Screen.height / (float)Screen.width;
    Frustum.focalLength = (float)Screen.centreX / k;
    Frustum.centreX = Screen.centreX;
    Frustum.centreY = Screen.centreY;

    Frustum.nearPlane = {0.0f, 0.0f, -1.0f, 1.0f};
    Frustum.farPlane = {0.0f, 0.0f, 1.0f, -500.0f};

    // Side planes sit 0.01 inside the screen borders so everything inside
    // projects onto the screen without any later bounds check.
    float n = std::sqrt(k * k + 1.0f);
    float q = 1.0f / n;
    Frustum.leftPlane = {q * k, q * 0.0f, q * -1.0f, 0.01f};
    Frustum.rightPlane = {-Frustum.leftPlane.a, Frustum.leftPlane.b, Frustum.leftPlane.c, 0.01f};

    float m = std::sqrt(aspect * aspect + k * k);
    float p = 1.0f / m;
    Frustum.bottomPlane = {p * 0.0f, p * k, -aspect * p, 0.01f};
    Frustum.topPlane = {Frustum.bottomPlane.a, -Frustum.bottomPlane.b, Frustum.bottomPlane.c, 0.01f};
}
