// The benchmark's named views and the frame driver they share: a counter
// whose frame-start readings are fed (so every run moves the camera alike)
// while the clock-count readings come from the system counter.
#pragma once
#include <cstdint>
#include <string>

#include "app/camera.h"
#include "render/frame_size.h"

constexpr int BenchWarmFrames = 60;
constexpr int BenchMeasuredFrames = 600;
constexpr uint32_t BenchFrameMicros = 16667; // 60 frames per second

struct BenchView {
    const char *name;
    CameraState camera;
    bool walk; // plays the key script from the camera instead of standing still
};

constexpr int BenchViewCount = 5;
extern const BenchView BenchViews[BenchViewCount];

// Screen, presentation, depth buffer and the bench counter, once.
void StartBenchGraphics(FrameSize size);

// The frame size changed after start-up, for the sweep over sizes: the
// graphics start again at the new size (RestartGraphicsAtSize; band threads
// must be started again after it). Throws std::bad_alloc when a size cannot
// be had.
void ResizeBenchGraphics(FrameSize size);

// Ticks per second of the system counter the clock count is read from.
int64_t BenchCounterFrequency();

// How DrawViewFrame draws: RenderFrame (the default) or the
// all-cores frame (RenderFrameInBands).
extern void (*BenchFrame)();

// Puts the camera at the view's start and releases every key.
void ResetView(const BenchView &view);

// Draws frame number `frame` of the view (keys from the walk script for the
// walk) and returns its clock count in counter ticks.
uint32_t DrawViewFrame(const BenchView &view, int frame);

// CRC-32 (render/crc32.h, the frame identity every tool prints) of the frame
// just drawn, colour buffer then depth buffer, continuing from crc.
uint32_t FrameCrc(uint32_t crc);

// The frames a view hashes: the last frame for a still view, every frame of
// the walk (its first walkFrames), one CRC-32 run over them all. Runs the view
// from its start; used to prove builds draw alike.
uint32_t HashView(const BenchView &view, int walkFrames = BenchMeasuredFrames);
