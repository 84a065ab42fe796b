// The colour and depth buffers every triangle is drawn into.
#pragma once
#include <cstdint>

struct RenderTarget {
    int32_t width, height; // width is also the row stride of both buffers
    uint32_t *colour;      // 0x00RRGGBB, 16-byte aligned
    float *depth;          // 1/z of camera-space z, 16-byte aligned
};

extern RenderTarget Target;

// Zeroes the first pixelCount pixels of both buffers with streaming stores,
// alternating between them. pixelCount must be a positive multiple of 4.
void ClearRenderTarget(int32_t pixelCount, uint32_t *colour, float *depth);

// The same zeroes with ordinary (cached) stores: for frames whose buffers stay
// in cache, where the streamed lines would make the depth reads that follow
// miss. Any pixelCount that is a multiple of 4; 16-byte aligned buffers.
void ClearRenderTargetCached(int32_t pixelCount, uint32_t *colour, float *depth);
