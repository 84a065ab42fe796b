// A counter whose frame-start readings the caller feeds, so that frame times
// are exact and repeatable (the headless platform, the page's test mode, the
// benchmark). It counts the frame cycle's readings (CounterReadingsPerFrame
// in app/platform.h) to know which one starts a frame; the other two may
// come from a real clock, so the clock count still measures something.
#pragma once
#include <cstdint>

#include "app/platform.h"

struct FedCounter {
    int64_t startReading;  // what the next frame-start reading returns
    int readingsThisFrame; // readings since that frame began
};

// Counts one reading; true when it is a frame's first, which returns
// counter.startReading.
inline bool FedReadingStartsFrame(FedCounter &counter) {
    const bool first = counter.readingsThisFrame == 0;
    counter.readingsThisFrame = (counter.readingsThisFrame + 1) % CounterReadingsPerFrame;
    return first;
}

// The next frame starts ticks after the previous one.
inline void FeedCounter(FedCounter &counter, int64_t ticks) {
    counter.startReading += ticks;
    counter.readingsThisFrame = 0;
}
