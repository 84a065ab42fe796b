// The span fill with more rows side by side, for processors with 256- and
// 512-bit vectors. Each row keeps its own four-lane chain (1/z, r, g, b) of
// additions from its own start, exactly as FillSpan alone: a lane-wise
// vaddps and vcvtps2dq give the same bits as addps and cvtps2dq. Only the
// depth test and the packing are done for all rows at once. Compiled with
// per-function target attributes, so no build needs -march flags; the
// rasteriser calls these only after checking the processor.
#include "render/span_fill.h"

#if SCANVANE_WIDE_FILLS
#include <cstring>
#include <immintrin.h>

// GCC 12's own casts from 128 to 512 bits start from an "undefined" vector it
// then warns about; the upper lanes are always filled before use here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "render/stats.h" // SCANVANE_COUNT: empty unless built for counting

#define SCANVANE_AVX2 __attribute__((target("avx2")))
#define SCANVANE_AVX512 __attribute__((target("avx2,avx512f,avx512vl,avx512dq")))

namespace {
// Shift per lane of a row's rounded (1/z, R, G, B): a count of 32 zeroes the
// depth lane, so the OR of the four lanes is B | G << 8 | R << 16.
constexpr unsigned AllRows4 = 0xf, AllRows8 = 0xff;
constexpr int ZeroLane = 32, RedShift = 16, GreenShift = 8, BlueShift = 0;

struct SpanGroupState {
    int32_t both;   // pixels every span of the group has
    int32_t tested; // pixels of all the spans together
};

// The rest of each row one pixel at a time, from the running values the
// group reached (stored lane by lane, four per row).
void FinishRows(const Span *spans, int rows, int32_t from, const float *running) {
    for (int r = 0; r < rows; r++)
        FillSpanTail(spans[r].colour, spans[r].depth, from, spans[r].count,
                     _mm_loadu_ps(running + 4 * r), spans[r].step);
}

// Writes lane k of the depths and colours to pixel i of row `row`, straight
// from the vector (vextractps / vpextrd to memory).
template <int k>
SCANVANE_AVX2 inline void StoreLane(float *depthRow, uint32_t *colourRow, int32_t i, __m128 z,
                                    __m128i c) {
    int bits = _mm_extract_ps(z, k);
    std::memcpy(depthRow + i, &bits, sizeof bits);
    colourRow[i] = (uint32_t)_mm_extract_epi32(c, k);
}

// Every row of four written at pixel i: no per-row test.
SCANVANE_AVX2 inline void StoreFourRows(float *const *depth, uint32_t *const *colour, int32_t i,
                                        __m128 z, __m128i c) {
    StoreLane<0>(depth[0], colour[0], i, z, c);
    StoreLane<1>(depth[1], colour[1], i, z, c);
    StoreLane<2>(depth[2], colour[2], i, z, c);
    StoreLane<3>(depth[3], colour[3], i, z, c);
}

// The streaming clear leaves both buffers out of cache, and eight or four
// rows at once are more streams than the hardware prefetcher follows: each
// row's next lines are asked for a little ahead, once per 64-byte line.
constexpr int PixelsPerLine = 16, PrefetchAhead = 2 * PixelsPerLine;

inline void PrefetchRows(float *const *depth, uint32_t *const *colour, int rows, int32_t at) {
    for (int r = 0; r < rows; r++) {
        _mm_prefetch((const char *)(depth[r] + at), _MM_HINT_T0);
        _mm_prefetch((const char *)(colour[r] + at), _MM_HINT_T0);
    }
}

// What every wide fill starts with: the group measured and counted, each
// row's pointers copied into the caller's local arrays (so the pixel stores
// cannot be taken to change them), and each row's first lines asked for.
inline SpanGroupState StartGroup(const Span *spans, int rows, uint32_t **colour, float **depth) {
    SpanGroupState s{spans[0].count, 0};
    for (int r = 0; r < rows; r++) {
        if (spans[r].count < s.both) s.both = spans[r].count;
        s.tested += spans[r].count;
        colour[r] = spans[r].colour, depth[r] = spans[r].depth;
    }
    if (s.both < 0) s.both = 0;
    SCANVANE_COUNT(spans, rows);
    SCANVANE_COUNT(pixelsTested, s.tested);
    PrefetchRows(depth, colour, rows, 0);
    PrefetchRows(depth, colour, rows, PixelsPerLine);
    return s;
}

// Lanes 0..3 of a, then of b: the four-lane vectors of two rows side by side.
SCANVANE_AVX2 inline __m256 TwoRows(__m128 a, __m128 b) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(a), b, 1);
}

// Lane 0 of each row's group of four = OR of the group's shifted lanes.
SCANVANE_AVX2 inline __m256i PackRows256(__m256 v, __m256i shifts) {
    __m256i t = _mm256_sllv_epi32(_mm256_cvtps_epi32(v), shifts);
    t = _mm256_or_si256(t, _mm256_shuffle_epi32(t, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm256_or_si256(t, _mm256_shuffle_epi32(t, _MM_SHUFFLE(2, 3, 0, 1)));
}

SCANVANE_AVX512 inline __m512i PackRows512(__m512 v, __m512i shifts) {
    __m512i t = _mm512_sllv_epi32(_mm512_cvtps_epi32(v), shifts);
    t = _mm512_or_si512(t, _mm512_shuffle_epi32(t, _MM_PERM_BADC));
    return _mm512_or_si512(t, _mm512_shuffle_epi32(t, _MM_PERM_CDAB));
}
} // namespace

SCANVANE_AVX2 void FillFourSpans(const Span *spans) {
    constexpr int rows = 4;
    uint32_t *colour[rows];
    float *depth[rows];
    const SpanGroupState group = StartGroup(spans, rows, colour, depth);
    // Rows 0 and 1 in one register, 2 and 3 in the other.
    __m256 v01 = TwoRows(spans[0].start, spans[1].start),
           v23 = TwoRows(spans[2].start, spans[3].start);
    const __m256 s01 = TwoRows(spans[0].step, spans[1].step),
                 s23 = TwoRows(spans[2].step, spans[3].step);
    const __m256i shifts = _mm256_setr_epi32(ZeroLane, RedShift, GreenShift, BlueShift, ZeroLane,
                                             RedShift, GreenShift, BlueShift);
    // Depth lanes 0 and 4 of both registers, in row order.
    const __m256i depthLanes = _mm256_setr_epi32(0, 4, 2, 6, 0, 0, 0, 0);
    alignas(16) float z[4];
    alignas(16) uint32_t packed[4];
    // Row r's colour lanes land in lane 0 or 4 of its register.
    const __m256i colourLanes = _mm256_setr_epi32(0, 4, 0, 4, 0, 0, 0, 0);
    for (int32_t i = 0; i < group.both; i++) {
        if (i % PixelsPerLine == 0) PrefetchRows(depth, colour, rows, i + PrefetchAhead);
        // (z0 z0 z2 z2 | z1 z1 z3 z3), then rows 0..3 in the low half.
        __m256 zz = _mm256_shuffle_ps(v01, v23, _MM_SHUFFLE(0, 0, 0, 0));
        __m128 zRows = _mm256_castps256_ps128(_mm256_permutevar8x32_ps(zz, depthLanes));
        __m128 stored = _mm_setr_ps(depth[0][i], depth[1][i], depth[2][i], depth[3][i]);
        int write = _mm_movemask_ps(_mm_cmp_ps(zRows, stored, _CMP_NGE_UQ)); // !(z >= stored)
        if (write) {
            __m128i c01 = _mm256_castsi256_si128(
                _mm256_permutevar8x32_epi32(PackRows256(v01, shifts), colourLanes));
            __m128i c23 = _mm256_castsi256_si128(
                _mm256_permutevar8x32_epi32(PackRows256(v23, shifts), colourLanes));
            __m128i colours = _mm_unpacklo_epi64(c01, c23);
            SCANVANE_COUNT(pixelsWritten, __builtin_popcount((unsigned)write));
            if (write == AllRows4) {
                StoreFourRows(depth, colour, i, zRows, colours);
            } else {
                _mm_store_ps(z, zRows);
                _mm_store_si128((__m128i *)packed, colours);
                for (int r = 0; r < rows; r++)
                    if (write & (1 << r)) depth[r][i] = z[r], colour[r][i] = packed[r];
            }
        }
        v01 = _mm256_add_ps(v01, s01);
        v23 = _mm256_add_ps(v23, s23);
    }
    alignas(32) float running[16];
    _mm256_store_ps(running, v01);
    _mm256_store_ps(running + 8, v23);
    FinishRows(spans, rows, group.both, running);
}

SCANVANE_AVX512 void FillEightSpans(const Span *spans) {
    constexpr int rows = 8;
    uint32_t *colour[rows];
    float *depth[rows];
    const SpanGroupState group = StartGroup(spans, rows, colour, depth);
    // Rows 0..3 in one register, 4..7 in the other, four lanes each.
    __m512 lo = _mm512_castps128_ps512(spans[0].start), hi = _mm512_castps128_ps512(spans[4].start);
    __m512 stepLo = _mm512_castps128_ps512(spans[0].step),
           stepHi = _mm512_castps128_ps512(spans[4].step);
    lo = _mm512_insertf32x4(lo, spans[1].start, 1), hi = _mm512_insertf32x4(hi, spans[5].start, 1);
    lo = _mm512_insertf32x4(lo, spans[2].start, 2), hi = _mm512_insertf32x4(hi, spans[6].start, 2);
    lo = _mm512_insertf32x4(lo, spans[3].start, 3), hi = _mm512_insertf32x4(hi, spans[7].start, 3);
    stepLo = _mm512_insertf32x4(stepLo, spans[1].step, 1);
    stepLo = _mm512_insertf32x4(stepLo, spans[2].step, 2);
    stepLo = _mm512_insertf32x4(stepLo, spans[3].step, 3);
    stepHi = _mm512_insertf32x4(stepHi, spans[5].step, 1);
    stepHi = _mm512_insertf32x4(stepHi, spans[6].step, 2);
    stepHi = _mm512_insertf32x4(stepHi, spans[7].step, 3);
    const __m512i shifts = _mm512_setr_epi32(
        ZeroLane, RedShift, GreenShift, BlueShift, ZeroLane, RedShift, GreenShift, BlueShift,
        ZeroLane, RedShift, GreenShift, BlueShift, ZeroLane, RedShift, GreenShift, BlueShift);
    // Lane 0 of each row: 0, 4, 8, 12 of lo, then of hi (16 and up).
    const __m512i firstLanes =
        _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 0, 0, 0, 0, 0, 0, 0, 0);
    alignas(32) float z[8];
    alignas(32) uint32_t packed[8];
    for (int32_t i = 0; i < group.both; i++) {
        if (i % PixelsPerLine == 0) PrefetchRows(depth, colour, rows, i + PrefetchAhead);
        __m256 zRows = _mm512_castps512_ps256(_mm512_permutex2var_ps(lo, firstLanes, hi));
        __m256 stored = _mm256_setr_ps(depth[0][i], depth[1][i], depth[2][i], depth[3][i],
                                       depth[4][i], depth[5][i], depth[6][i], depth[7][i]);
        unsigned write = _mm256_cmp_ps_mask(zRows, stored, _CMP_NGE_UQ); // !(z >= stored)
        if (write) {
            __m512i colours = _mm512_permutex2var_epi32(PackRows512(lo, shifts), firstLanes,
                                                        PackRows512(hi, shifts));
            SCANVANE_COUNT(pixelsWritten, __builtin_popcount(write));
            // Plain stores, one per written pixel: never a masked store that
            // could touch memory past a span.
            if (write == AllRows8) {
                __m128i c = _mm512_castsi512_si128(colours);
                StoreFourRows(depth, colour, i, _mm256_castps256_ps128(zRows), c);
                StoreFourRows(depth + 4, colour + 4, i, _mm256_extractf128_ps(zRows, 1),
                              _mm512_extracti32x4_epi32(colours, 1));
            } else {
                _mm256_store_ps(z, zRows);
                _mm256_store_si256((__m256i *)packed, _mm512_castsi512_si256(colours));
                for (int r = 0; r < rows; r++)
                    if (write & (1u << r)) depth[r][i] = z[r], colour[r][i] = packed[r];
            }
        }
        lo = _mm512_add_ps(lo, stepLo);
        hi = _mm512_add_ps(hi, stepHi);
    }
    alignas(64) float running[32];
    _mm512_store_ps(running, lo);
    _mm512_store_ps(running + 16, hi);
    FinishRows(spans, rows, group.both, running);
}
#endif
