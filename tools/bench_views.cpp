#include "tools/bench_views.h"

#include <new>

#include "app/fed_counter.h"
#include "app/frame_cycle.h"
#include "app/keys.h"
#include "app/platform.h"
#include "app/size_choice.h"
#include "platform/headless/headless.h"
#include "render/crc32.h"
#include "render/frame_size.h"
#include "render/frustum.h"

// Heading 180 looks along +z, out of the house through the front wall's
// window (the gap between rows 10 and 30, columns 80 to 120). The wall view
// stands 10 units before the front wall, whose 40-unit-wide white panel then
// covers every pixel. Height 300 looks out over the top of the sky box.
const BenchView BenchViews[BenchViewCount] = {
    {"start", StartCamera, false},                       // the start view
    {"window", {100.0f, -225.0f, 20.0f, 180.0f}, false}, // inside the house, out through the window
    {"wall", {60.0f, -150.0f, 20.0f, 0.0f}, false},      // close-up, one wall fills the screen
    {"above", {80.0f, 60.0f, 300.0f, 20.0f}, false},     // high above the scene
    {"walk", StartCamera, true},                         // 600 frames on a fixed key script
};

void (*BenchFrame)() = RenderFrame;

static FedCounter fed;

// The frame start is fed, so the frame time is exact; the two ends of the
// clock count are real.
static int64_t BenchReading() {
    if (FedReadingStartsFrame(fed)) return fed.startReading;
    return SteadyReading();
}

static int64_t BenchFrequency() { return SteadyFrequency; }

int64_t BenchCounterFrequency() { return SteadyFrequency; }

void StartBenchGraphics(FrameSize size) {
    HeadlessCounter = {BenchFrequency, BenchReading};
    InitGraphics(nullptr, size);
}

void ResizeBenchGraphics(FrameSize size) {
    if (!RestartGraphicsAtSize(size)) throw std::bad_alloc();
}

void ResetView(const BenchView &view) {
    Camera = view.camera;
    ReleaseAllKeys();
}

// The walk: to the house, along the front, in through the wall, round inside,
// up over the roof and back down, in phases of whole seconds.
static void WalkKeys(int frame) {
    static const struct {
        int frames;
        const char *held[2]; // key names as the controls text gives them
    } phases[] = {
        {90, {"up"}},         // towards the door
        {45, {"right"}},      // turn right
        {60, {"up", "a"}},    // along the front, rising
        {90, {"left"}},       // turn back left
        {90, {"up"}},         // through the wall
        {60, {"left", "up"}}, // curve inside
        {75, {"down", "a"}},  // back off and up
        {90, {"right", "z"}}, // turn and sink
    };
    ReleaseAllKeys();
    int at = frame % BenchMeasuredFrames;
    for (const auto &p : phases) {
        if (at < p.frames) {
            for (const char *name : p.held)
                if (name) OnKeyDown(FindKeyByName(name)->code);
            return;
        }
        at -= p.frames;
    }
}

uint32_t DrawViewFrame(const BenchView &view, int frame) {
    if (view.walk) WalkKeys(frame);
    FeedCounter(fed, (int64_t)BenchFrameMicros * (BenchCounterFrequency() / 1000000));
    BenchFrame();
    return Clock.clockCount;
}

uint32_t FrameCrc(uint32_t crc) {
    const size_t bytes = (size_t)Screen.width * Screen.height * 4;
    return Crc32(Crc32(crc, Headless.colour, bytes), DepthBuffer, bytes);
}

uint32_t HashView(const BenchView &view, int walkFrames) {
    ResetView(view);
    uint32_t crc = 0;
    int frames = view.walk ? walkFrames : 1;
    for (int i = 0; i < frames; i++) {
        DrawViewFrame(view, i);
        if (view.walk || i == frames - 1) crc = FrameCrc(crc);
    }
    return crc;
}
