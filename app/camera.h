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

// How fast the held keys move the camera, per second of frame time.
constexpr float TurnRate = 100.0f; // degrees
constexpr float MoveRate = 80.0f;  // units forward or back
constexpr float LiftRate = 80.0f;  // units up or down

// The one conversion of the heading to radians, in single precision.
constexpr float DegreesToRadians = 0.017453292f;

extern CameraState Camera;
extern MotionKeys Keys;
// Where the camera starts: before the house front, looking at its door.
inline constexpr CameraState StartCamera = {40.0f, -20.0f, 0.0f, 0.0f};

// Key codes as in app/platform.h.
void OnKeyDown(uint32_t key); // Escape ends the program at once
void OnKeyUp(uint32_t key);

// Releases every held key, for when the window loses the keyboard and so
// would never see the key-up messages.
void ReleaseAllKeys();

// Turns, moves and lifts by the held keys times frameTime seconds.
void AdvanceCamera(double frameTime);
