// The size of every frame: the colour and depth buffers and the presentation's
// texture. A program passes it to InitGraphics (app/frame_cycle.h), and again
// to RestartGraphicsAtSize when the window's frame follows its client area;
// the screen constants (render/frustum.h) hold the size of the frames being
// drawn. Without a choice it is the default below, the window's outer size
// too. Both buffers use the width as their row stride, so a frame's pixels lie
// row by row with no gap.
#pragma once
#include <cstdint>

struct FrameSize {
    int32_t width, height;
};

constexpr int32_t DefaultFrameWidth = 512;
constexpr int32_t DefaultFrameHeight = 384;

// Every size from a thumbnail to an 8K screen, odd ones included.
constexpr int32_t MinFrameWidth = 16, MinFrameHeight = 16;
constexpr int32_t MaxFrameWidth = 7680, MaxFrameHeight = 4320;

// Pixels each buffer holds and the clear writes: width x height rounded up
// to whole four-pixel groups, since the clear stores 16 bytes at a time. The
// few pixels past the last row are never drawn, shown, written or hashed.
inline int32_t FrameBufferPixels(int32_t width, int32_t height) {
    return (width * height + 3) & ~3;
}
