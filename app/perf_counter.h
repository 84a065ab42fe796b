// The high-resolution performance counter the frame cycle times itself with.
#pragma once
#include <cstdint>

struct PerformanceCounter {
    int64_t (*frequency)(); // ticks per second
    int64_t (*reading)();   // grows with time
};

// Defaults to the system's QueryPerformanceFrequency and
// QueryPerformanceCounter; a tool may install its own to drive time.
extern PerformanceCounter Counter;
