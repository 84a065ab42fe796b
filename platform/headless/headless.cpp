#include "platform/headless/headless.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/platform.h"
#include "render/frame_size.h"

HeadlessState Headless;

void CreatePresentation(void *, FrameSize size) {
    Headless.colour =
        new (std::align_val_t(16)) uint32_t[FrameBufferPixels(size.width, size.height)]();
}

// The new buffer is had before the old one goes, so a size that cannot be
// had (std::bad_alloc) leaves the old frame as it was.
void ResizePresentation(FrameSize size) {
    uint32_t *old = Headless.colour;
    CreatePresentation(nullptr, size);
    ::operator delete[](old, std::align_val_t(16));
}

uint32_t *BeginFrame() {
    Headless.inFrame = true;
    Headless.overlayCallCount = 0;
    return Headless.colour;
}

void EndFrame() {
    Headless.inFrame = false;
    Headless.framesEnded++;
}

void DrawOverlayText(int x, int y, const char *text, int count) {
    if (Headless.overlayCallCount < 2) {
        OverlayCall &call = Headless.overlayCalls[Headless.overlayCallCount];
        call.x = x, call.y = y, call.count = count;
        call.duringFrame = Headless.inFrame;
        std::memset(call.text, 0, sizeof call.text);
        if (count > 0) std::memcpy(call.text, text, count < 127 ? (size_t)count : 127);
    }
    Headless.overlayCallCount++;
    (x == OverlayNumberX ? Headless.overlayNumber : Headless.overlayLabel)
        .assign(text, (size_t)count);
}

void DestroyMainWindow() { Headless.windowDestroyed = true; }

static int64_t FedFrequency() { return 1000000; }

// Only the frame start decides the frame time; the clock-count readings
// carry real elapsed microseconds so the clock count means something.
static int64_t FedReading() {
    using Steady = std::chrono::steady_clock;
    static Steady::time_point frameStart;
    if (FedReadingStartsFrame(Headless.counter)) {
        frameStart = Steady::now();
        return Headless.counter.startReading;
    }
    auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(Steady::now() - frameStart);
    return Headless.counter.startReading + elapsed.count();
}

CounterSource HeadlessCounter = {FedFrequency, FedReading};

int64_t CounterFrequency() { return HeadlessCounter.frequency(); }
int64_t CounterReading() { return HeadlessCounter.reading(); }

int64_t SteadyReading() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

void InstallHeadlessCounter() {
    HeadlessCounter = {FedFrequency, FedReading};
    Headless.counter.readingsThisFrame = 0;
}

void FeedFrameTime(uint32_t micros) { FeedCounter(Headless.counter, micros); }
