#include "app/keys.h"

#include <cstdio>
#include <cstring>

#include "app/platform.h"

const KeyBinding KeyTable[7] = {
    {KeyUp, "up", "move forward", &MotionKeys::moveForward},
    {KeyDown, "down", "move backward", &MotionKeys::moveBack},
    {KeyLeft, "left", "turn left", &MotionKeys::turnLeft},
    {KeyRight, "right", "turn right", &MotionKeys::turnRight},
    {KeyA, "a", "move camera up", &MotionKeys::rise},
    {KeyZ, "z", "move camera down", &MotionKeys::fall},
    {KeyEscape, "esc", "quit", nullptr},
};

const KeyBinding *FindKeyByCode(uint32_t code) {
    for (const KeyBinding &k : KeyTable)
        if (k.code == code) return &k;
    return nullptr;
}

const KeyBinding *FindKeyByName(const char *name) {
    for (const KeyBinding &k : KeyTable)
        if (std::strcmp(k.name, name) == 0) return &k;
    return nullptr;
}

const char *ControlsText() {
    // Built once into fixed storage: the box may open before anything else
    // runs, and nothing here may allocate.
    static char text[256];
    if (text[0] == 0) {
        int at = std::snprintf(text, sizeof text, "Welcome, controls are as follows: \n\n");
        for (const KeyBinding &k : KeyTable)
            at += std::snprintf(text + at, sizeof text - (size_t)at, "%s - %s\n", k.name, k.action);
        std::snprintf(text + at, sizeof text - (size_t)at, "\n");
    }
    return text;
}
