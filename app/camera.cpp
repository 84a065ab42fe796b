#include "app/camera.h"

#include <cmath>

#include "app/platform_ops.h"

const CameraState StartCamera = {40.0f, -20.0f, 0.0f, 0.0f};
CameraState Camera = StartCamera;
MotionKeys Keys;

static bool *KeyFlag(uint32_t key) {
    switch (key) {
    case KeyLeft: return &Keys.turnLeft;
    case KeyUp: return &Keys.moveForward;
    case KeyRight: return &Keys.turnRight;
    case KeyDown: return &Keys.moveBack;
    case KeyA: return &Keys.rise;
    case KeyZ: return &Keys.fall;
    default: return nullptr;
    }
}

void OnKeyDown(uint32_t key) {
    if (bool *flag = KeyFlag(key)) *flag = true;
    else if (key == KeyEscape) DestroyMainWindow();
}

void OnKeyUp(uint32_t key) {
    if (bool *flag = KeyFlag(key)) *flag = false;
}

void ReleaseAllKeys() { Keys = MotionKeys{}; }

void AdvanceCamera(double frameTime) {
    const float t = (float)frameTime;
    const float degreesToRadians = 0.017453292f;
    if (Keys.turnRight) Camera.heading = Camera.heading + t * 100.0f;
    if (Keys.turnLeft) Camera.heading = Camera.heading - t * 100.0f;
    if (Keys.moveForward) {
        float a = Camera.heading * degreesToRadians;
        Camera.x = Camera.x + ((float)std::sin((double)a) * 80.0f) * t;
        Camera.z = Camera.z - ((float)std::cos((double)a) * 80.0f) * t;
    }
    if (Keys.moveBack) {
        float a = Camera.heading * degreesToRadians;
        Camera.x = Camera.x - ((float)std::sin((double)a) * 80.0f) * t;
        Camera.z = Camera.z + ((float)std::cos((double)a) * 80.0f) * t;
    }
    if (Keys.rise) Camera.height = Camera.height + t * 80.0f;
    if (Keys.fall) Camera.height = Camera.height - t * 80.0f;
}
