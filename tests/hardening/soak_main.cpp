// Soak: many frames through the real frame cycle with random key scripts,
// random performance-counter readings and random camera jumps, checking after
// every frame that nothing was written outside the colour and depth buffers
// and that the camera stays finite.
//   frame_soak [--frames N] [--seed S] [--threads T] [--size WxH]
// With --threads above 1 the frames are drawn by the tools' all-cores mode.
// Exit status 0 when every frame passed, 1 on the first failed check (with
// the frame number and seed to reproduce it), 2 on a bad argument.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/frame_step.h"
#include "app/platform.h"
#include "app/size_choice.h"
#include "platform/headless/headless.h"
#include "render/bands.h"
#include "render/crc32.h"
#include "render/frustum.h"
#include "render/render_target.h"
#include "tests/hardening/guard_zone.h"

namespace {
unsigned long Seed = 1;
unsigned long FrameNumber;

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "frame_soak: frame %lu (seed %lu): %s\n", FrameNumber, Seed, what);
    std::exit(1);
}

// The counter the frame cycle reads: a frequency and three readings per
// frame (frame start, timed-section start and end), all set by the script.
struct SoakCounter {
    int64_t frequency;
    int64_t readings[CounterReadingsPerFrame];
    int next;
} Fed;

int64_t FedFrequency() { return Fed.frequency; }
int64_t FedReading() {
    int64_t r = Fed.readings[Fed.next % CounterReadingsPerFrame];
    Fed.next++;
    return r;
}

std::mt19937_64 Rng;
uint64_t Roll(uint64_t n) { return Rng() % n; }

// Frame times the cycle must survive: none at all, one tick of a very fast
// counter, ordinary frames, long pauses, the whole 32-bit tick range at one
// tick per second, a counter with no usable frequency, and a low-word wrap.
void ChooseReadings() {
    static const int64_t frequencies[] = {
        1000000, 1000000000, 3579545, 0xFFFFFFFF, 1, 0, 0x100000000LL /* low word 0 */, -1};
    const int64_t previous = Clock.previousReading;
    Fed.frequency = Roll(4) ? frequencies[Roll(3)] : frequencies[Roll(8)];
    const int64_t perSecond = (int64_t)(uint32_t)Fed.frequency;
    int64_t start;
    switch (Roll(20)) {
    case 0:
        start = previous;
        break; // zero time
    case 1:
        start = previous + 1;
        break; // tiny
    case 2:
        start = previous + (int64_t)(Rng() & 0xFFFFFFFF);
        break; // anything up to 2^32 - 1 ticks
    case 3:
        start = previous - (int64_t)Roll(1000);
        break; // counter went back
    case 4:
        start = (int64_t)Rng();
        break; // any 64-bit value
    default:   // an ordinary frame, 1/60 s give or take
        start = previous + perSecond / 60 + (int64_t)Roll((uint64_t)perSecond / 1000 + 1);
        break;
    }
    int64_t lapStart = start + (int64_t)Roll(100);
    if (Roll(20) == 0) lapStart = (start | 0xFFFFFFFF) - (int64_t)Roll(3); // low word about to wrap
    Fed.readings[0] = start;
    Fed.readings[1] = lapStart;
    Fed.readings[2] = lapStart + (int64_t)Roll(5000);
    Fed.next = 0;
    // The first frame after start-up: no previous reading at all.
    if (Roll(500) == 0) Clock = FrameClock{};
}

const uint32_t MotionKeyCodes[] = {KeyLeft, KeyUp, KeyRight, KeyDown, KeyA, KeyZ};

void PressKeys() {
    int changes = (int)Roll(4);
    for (int i = 0; i < changes; i++) {
        uint32_t key;
        switch (Roll(20)) {
        case 0:
            key = KeyEscape;
            break;
        case 1:
            key = (uint32_t)Rng();
            break; // keys the program does not use
        case 2:
            key = (uint32_t)Roll(256);
            break;
        default:
            key = MotionKeyCodes[Roll(6)];
            break;
        }
        if (Roll(2))
            OnKeyDown(key);
        else
            OnKeyUp(key);
    }
    if (Roll(200) == 0) ReleaseAllKeys();
}

// Jumps back into the scene from time to time and whenever a long frame has
// carried the camera far off (after that far frame has been drawn), often onto the planes the
// scene's walls, floor and sky lie in, where triangles pass through the eye.
float ScenePlace(float lo, float hi, const float *planes, int count) {
    if (Roll(3) == 0) return planes[Roll((uint64_t)count)];
    return std::uniform_real_distribution<float>(lo, hi)(Rng);
}

void MaybeJumpCamera() {
    bool far = std::fabs(Camera.x) > 1000.0f || std::fabs(Camera.z) > 1000.0f ||
               std::fabs(Camera.height) > 1000.0f;
    if (!far && Roll(300) != 0) return;
    static const float xs[] = {-80, 0, 20, 40, 80, 120, 140, 240};
    static const float zs[] = {0, -20, -160, -240, -340};
    static const float hs[] = {0, 10, 30, 40, 50, 200, -1};
    static const float headings[] = {0, 90, 180, 270, -90, 360, 1e6f, -3.5e7f};
    Camera.x = ScenePlace(-100, 260, xs, 8);
    Camera.z = ScenePlace(-360, 20, zs, 5);
    Camera.height = ScenePlace(-20, 220, hs, 7);
    Camera.heading =
        Roll(4) == 0 ? headings[Roll(8)] : std::uniform_real_distribution<float>(-720, 720)(Rng);
}

GuardedBuffer ColourZone, DepthZone;
} // namespace

// Outside the anonymous namespace so they cannot be optimised away.
uint32_t *OriginalColour;
float *OriginalDepth;

namespace {

void CheckFrame(int endedBefore) {
    ptrdiff_t at = 0;
    char message[160];
    if (!GuardsIntact(ColourZone, &at)) {
        std::snprintf(message, sizeof message, "colour guard byte %td written", at);
        Fail(message);
    }
    if (!GuardsIntact(DepthZone, &at)) {
        std::snprintf(message, sizeof message, "depth guard byte %td written", at);
        Fail(message);
    }
    if (!std::isfinite(Camera.x) || !std::isfinite(Camera.z) || !std::isfinite(Camera.height) ||
        !std::isfinite(Camera.heading)) {
        std::snprintf(message, sizeof message, "camera not finite: %g %g %g %g (frame time %g)",
                      Camera.x, Camera.z, Camera.height, Camera.heading, Clock.frameTime);
        Fail(message);
    }
    if (!std::isfinite(Clock.frameTime) || Clock.frameTime < 0.0) Fail("frame time not finite");
    if (Headless.inFrame || Headless.framesEnded != endedBefore + 1)
        Fail("the frame did not end exactly once");
}

uint32_t FrameCrc(const uint32_t *colour, const float *depth) {
    const size_t bytes = (size_t)Screen.width * Screen.height * 4;
    return Crc32(Crc32(0, colour, bytes), depth, bytes);
}
} // namespace

int main(int argc, char **argv) {
    unsigned long frames = 10000, threads = 1;
    FrameSize size = {DefaultFrameWidth, DefaultFrameHeight};
    for (int i = 1; i < argc; i++) {
        char *end = nullptr;
        if (i + 1 < argc && std::strcmp(argv[i], "--frames") == 0)
            frames = std::strtoul(argv[++i], &end, 10);
        else if (i + 1 < argc && std::strcmp(argv[i], "--seed") == 0)
            Seed = std::strtoul(argv[++i], &end, 10);
        else if (i + 1 < argc && std::strcmp(argv[i], "--threads") == 0)
            threads = std::strtoul(argv[++i], &end, 10);
        else if (i + 1 < argc && std::strcmp(argv[i], "--size") == 0) {
            std::string error;
            ++i;
            end = ParseFrameSize(argv[i], size, error) ? argv[i] + std::strlen(argv[i]) : nullptr;
        }
        if (!end || *end != '\0' || frames == 0 || threads == 0) {
            std::fprintf(stderr,
                         "usage: frame_soak [--frames N] [--seed S] [--threads T] [--size WxH]\n");
            return 2;
        }
    }
    Rng.seed(Seed);

    HeadlessCounter = {FedFrequency, FedReading};
    InitGraphics(nullptr, size);
    // Swap both buffers for guarded ones. The originals stay referenced so
    // the leak checker does not count them: the program never frees them.
    OriginalColour = Headless.colour;
    OriginalDepth = DepthBuffer;
    const size_t bytes = (size_t)Screen.width * Screen.height * 4;
    Headless.colour = (uint32_t *)GuardedAlloc(ColourZone, bytes, 64 * 1024);
    DepthBuffer = (float *)GuardedAlloc(DepthZone, bytes, 64 * 1024);
    Target.depth = DepthBuffer;
    std::string error;
    // Past the limit it is refused with the limit's message.
    const int asked = threads > MaxBandThreads ? MaxBandThreads + 1 : (int)threads;
    const FrameStep step = StartDrawing(DrawingForThreadOption(asked), error);
    if (step == nullptr) {
        std::fprintf(stderr, "frame_soak: %s\n", error.c_str());
        return 2;
    }

    unsigned long escapes = 0, repeats = 0, sampled = 0, drawn = 0;
    for (FrameNumber = 0; FrameNumber < frames; FrameNumber++) {
        PressKeys();
        MaybeJumpCamera();
        ChooseReadings();
        int ended = Headless.framesEnded;
        step();
        CheckFrame(ended);
        if (Headless.windowDestroyed) escapes++, Headless.windowDestroyed = false;

        // Every 16th frame: did the frame draw anything at all? The soak is
        // only worth its time if most frames look at some of the scene.
        if (FrameNumber % 16 == 0) {
            sampled++;
            for (size_t i = 0, n = bytes / 4; i < n; i++)
                if (Headless.colour[i] != 0) {
                    drawn++;
                    break;
                }
        }
        // Now and then, draw again with no time passing: whatever keys are
        // held, the camera stays put and the frame must come out identical,
        // or some state carried over from the frame before.
        if (Roll(100) == 0) {
            uint32_t first = FrameCrc(Headless.colour, DepthBuffer);
            CameraState before = Camera;
            Fed.readings[0] = Clock.previousReading;
            Fed.next = 0;
            RenderFrame();
            CheckFrame(ended + 1);
            if (before.x != Camera.x || before.z != Camera.z || before.height != Camera.height ||
                before.heading != Camera.heading)
                Fail("the camera moved in a frame with no time");
            if (FrameCrc(Headless.colour, DepthBuffer) != first)
                Fail("the same view drew a different frame");
            repeats++;
        }
    }
    if (sampled >= 50 && drawn * 2 < sampled)
        Fail("fewer than half the sampled frames drew anything");
    std::printf("frame_soak: %lu frames (seed %lu), %lu repeated with no time, %lu Escapes, "
                "%lu of %lu sampled frames drew pixels; guards intact, camera finite\n",
                frames, Seed, repeats, escapes, drawn, sampled);
    return 0;
}
