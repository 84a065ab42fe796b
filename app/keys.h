// The keys the program understands, in one table shared by the camera, the
// controls text and the tools' key scripts.
#pragma once
#include <cstdint>

#include "app/camera.h"

struct KeyBinding {
    uint32_t code;            // as the platform delivers it (app/platform.h)
    const char *name;         // as the controls text shows it and scripts type it
    const char *action;       // what the controls text says it does
    bool MotionKeys::*motion; // the held-key flag it sets; null for Escape
};

// In the order the controls text lists them.
extern const KeyBinding KeyTable[7];

// The entry for a code or a name; null when there is none.
const KeyBinding *FindKeyByCode(uint32_t code);
const KeyBinding *FindKeyByName(const char *name);

// "Welcome, controls are as follows: ..." with one line per key, as the
// controls box shows it.
const char *ControlsText();
