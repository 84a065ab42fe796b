// The innermost loop: one row of a triangle, depth-tested and coloured, with
// the four interpolants (1/z, r, g, b) in one four-lane vector.
#pragma once
#include <cstdint>
#include <emmintrin.h>

// The wide fills use per-function target attributes and are picked at run
// time, so they exist only on x86. MinGW's GCC does not align the stack for
// 32-byte spills, so a Windows build has them only where its toolchain file
// has every aligned vector move assembled as an unaligned one (and says so
// with SCANVANE_UNALIGNED_VECTOR_MOVES): the 64-bit one. The 32-bit one
// leaves them out: eight vector registers would spill the blocks.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define SCANVANE_WIDE_FILLS 1
#elif defined(__x86_64__) && defined(SCANVANE_UNALIGNED_VECTOR_MOVES)
#define SCANVANE_WIDE_FILLS 1
#else
#define SCANVANE_WIDE_FILLS 0
#endif

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

// Pixels from..count-1 of a span whose running values have reached v, one at
// a time as FillSpan does them: the tails the side-by-side fills leave.
void FillSpanTail(uint32_t *colourAt, float *depthAt, int32_t from, int32_t count, __m128 v,
                  __m128 step);

// A group of spans of different rows, filled side by side; each pixel comes
// out exactly as FillSpan alone would leave it. The rasteriser calls the
// active path's group fill with ActiveGroupRows spans at a time (see
// fill_path.h); spans left over at the end of a triangle go in pairs and ones.
typedef void (*SpanGroupFill)(const Span *spans);
extern SpanGroupFill ActiveGroupFill;
extern int ActiveGroupRows;
constexpr int MaxGroupRows = 8;

#if SCANVANE_WIDE_FILLS
// Eight rows in blocks of eight columns, with 256-bit vectors (AVX2) or
// with mask registers too (AVX-512 F, VL, DQ). All eight spans lie in the
// same pair of buffers at the same offsets, as the rasteriser's do.
void FillEightSpansAvx2(const Span *spans);
void FillEightSpansAvx512(const Span *spans);
#endif
