// The render target and the scanline rasteriser that fills it.
#pragma once
#include <cstdint>
#include <emmintrin.h>

#include "render/types.h"

struct RenderTarget {
    int32_t width, height; // width is also the row stride of both buffers
    uint32_t *colour;      // 0x00RRGGBB, 16-byte aligned
    float *depth;          // 1/z of camera-space z, 16-byte aligned
};

extern RenderTarget Target;

// Zeroes the first pixelCount pixels of both buffers with streaming stores,
// alternating between them. pixelCount must be a positive multiple of 4.
void ClearRenderTarget(int32_t pixelCount, uint32_t *colour, float *depth);

// Scan-converts a screen-space triangle into Target. Reorders the record's
// vertices. Vertices outside the screen, or non-finite, draw nothing.
void RasteriseTriangle(TriangleRecord &triangle);

// Fills count pixels with depth test; start and step hold (1/z, r, g, b).
void FillSpan(uint32_t *colourAt, float *depthAt, int32_t count, __m128 start, __m128 step);
