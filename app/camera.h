// The camera and the keys that move it.
#pragma once
#include <cstdint>

struct CameraState {
    float x, z;    // eye position on the ground plane
    float height;  // eye y
    float heading; // degrees; 0 looks down -z, growing turns right; never wrapped
};

struct MotionKeys {
    bool turnLeft, moveForward, turnRight, moveBack, rise, fall;
};

// Virtual-key codes as the window system reports them.
enum : uint32_t {
    KeyEscape = 27,
    KeyLeft = 37,
    KeyUp = 38,
    KeyRight = 39,
    KeyDown = 40,
    KeyA = 65,
    KeyZ = 90,
};

extern CameraState Camera;
extern MotionKeys Keys;
extern const CameraState StartCamera;

void OnKeyDown(uint32_t key); // Escape ends the program at once
void OnKeyUp(uint32_t key);

// Releases every held key, for when the window loses the keyboard and so
// would never see the key-up messages.
void ReleaseAllKeys();

// Turns, moves and lifts by the held keys times frameTime seconds.
void AdvanceCamera(double frameTime);
