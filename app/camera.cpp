#include "app/camera.h"

#include <cmath>

#include "app/keys.h"
#include "app/platform.h"

CameraState Camera = StartCamera;
MotionKeys Keys;

static bool *KeyFlag(uint32_t key) {
    const KeyBinding *k = FindKeyByCode(key);
    return k && k->motion ? &(Keys.*(k->motion)) : nullptr;
}

void OnKeyDown(uint32_t key) {
    if (bool *flag = KeyFlag(key))
        *flag = true;
    else if (key == KeyEscape)
        DestroyMainWindow();
}

void OnKeyUp(uint32_t key) {
    if (bool *flag = KeyFlag(key)) *flag = false;
}

void ReleaseAllKeys() { Keys = MotionKeys{}; }

void AdvanceCamera(double frameTime) {
    const float t = (float)frameTime;
    if (Keys.turnRight) Camera.heading = Camera.heading + t * TurnRate;
    if (Keys.turnLeft) Camera.heading = Camera.heading - t * TurnRate;
    if (Keys.moveForward) {
        float a = Camera.heading * DegreesToRadians;
        Camera.x = Camera.x + ((float)std::sin((double)a) * MoveRate) * t;
        Camera.z = Camera.z - ((float)std::cos((double)a) * MoveRate) * t;
    }
    if (Keys.moveBack) {
        float a = Camera.heading * DegreesToRadians;
        Camera.x = Camera.x - ((float)std::sin((double)a) * MoveRate) * t;
        Camera.z = Camera.z + ((float)std::cos((double)a) * MoveRate) * t;
    }
    if (Keys.rise) Camera.height = Camera.height + t * LiftRate;
    if (Keys.fall) Camera.height = Camera.height - t * LiftRate;
}
