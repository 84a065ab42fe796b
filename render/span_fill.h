// The innermost loop: one row of a triangle, depth-tested and coloured, with
// the four interpolants (1/z, r, g, b) in one four-lane vector.
#pragma once
#include <cstdint>
#include <emmintrin.h>

// Fills count pixels with depth test; start and step hold (1/z, r, g, b).
void FillSpan(uint32_t *colourAt, float *depthAt, int32_t count, __m128 start, __m128 step);

// One row's span as the edge walk sets it up.
struct Span {
    uint32_t *colour;
    float *depth;
    int32_t count;
    __m128 start, step;
};

// Fills two spans of different rows side by side; each pixel comes out
// exactly as FillSpan alone would leave it.
void FillTwoSpans(const Span &a, const Span &b);
