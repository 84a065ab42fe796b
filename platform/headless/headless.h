// The smallest platform: a presentation that lives in memory and a counter
// the caller feeds, so tools and tests run the real frame cycle without a
// window or a clock. A port starts by copying this file and headless.cpp.
#pragma once
#include <cstdint>
#include <string>

#include "app/fed_counter.h"

// One DrawOverlayText call as the window would have drawn it. Fixed storage,
// so recording it allocates nothing per frame.
struct OverlayCall {
    int x, y, count;
    bool duringFrame; // between BeginFrame and EndFrame
    char text[128];
};

struct HeadlessState {
    uint32_t *colour; // aligned frame-sized buffer handed out by BeginFrame
    bool inFrame;
    int framesEnded;
    std::string overlayLabel;    // text drawn at OverlayLabelX in the latest frame
    std::string overlayNumber;   // text drawn at OverlayNumberX
    OverlayCall overlayCalls[2]; // the first two calls since the latest BeginFrame
    int overlayCallCount;        // all calls since the latest BeginFrame
    bool windowDestroyed;        // Escape was pressed
    FedCounter counter;          // frame-start readings, fed by FeedFrameTime
};

extern HeadlessState Headless;

// Where CounterFrequency and CounterReading go: the fed counter unless a
// test or tool installs another.
struct CounterSource {
    int64_t (*frequency)(); // ticks per second
    int64_t (*reading)();   // grows with time
};
extern CounterSource HeadlessCounter;

// A real clock, for tools that time what they run: nanoseconds.
constexpr int64_t SteadyFrequency = 1000000000;
int64_t SteadyReading();

// (Re)installs the fed counter: 1,000,000 ticks per second; frame-start readings
// come from Headless.counter, the clock-count readings from real time.
void InstallHeadlessCounter();

// Sets the next frame's start reading so that its frame time is exactly
// micros / 1,000,000 seconds (as a double).
void FeedFrameTime(uint32_t micros);
