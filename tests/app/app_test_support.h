// Shared set-up for the application tests: they drive the real frame cycle
// through the in-memory presentation, so process-wide state is put back to
// its start values before each test.
#pragma once
#include <cstdint>
#include <deque>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/platform.h"
#include "platform/headless/headless.h"

// A counter that returns exactly the readings a test queues, so frame times
// and clock counts are known to the tick.
struct ScriptedCounter {
    int64_t frequency = 1000000;
    std::deque<int64_t> readings;
    int64_t last = 0; // repeated once the queue runs dry
};
extern ScriptedCounter Scripted;

void InstallScriptedCounter();

// InitGraphics once per process (it allocates the depth buffer for good),
// then camera, keys, clock and the window flag back to their start values.
void ResetApplication();

// Queues the three readings RenderFrame takes: frame start, timed-section
// start and end.
void QueueFrameReadings(int64_t start, int64_t lapStart, int64_t lapEnd);
