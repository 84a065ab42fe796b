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
constexpr unsigned AllRows4 = 0xf;
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

// The eight rows' running values with the rows across the lanes: lane r of
// each vector is row r's 1/z, r, g or b. Each lane still adds only its own
// row's step, so every value is the chain FillSpan would compute.
struct RowLanes {
    __m256 z, r, g, b;
};

SCANVANE_AVX2 inline __m256 Halves(__m128 lo, __m128 hi) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

// (1/z, r, g, b) of rows 0..7 turned into one vector per interpolant.
SCANVANE_AVX2 inline RowLanes AcrossRows(const __m128 *v0, const __m128 *v4) {
    __m128 a0 = v0[0], a1 = v0[1], a2 = v0[2], a3 = v0[3];
    __m128 b0 = v4[0], b1 = v4[1], b2 = v4[2], b3 = v4[3];
    _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
    _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
    return {Halves(a0, b0), Halves(a1, b1), Halves(a2, b2), Halves(a3, b3)};
}

// m[k] lane r becomes m[r] lane k (eight by eight, 32-bit lanes).
SCANVANE_AVX2 inline void Transpose8(__m256 *m) {
    __m256 t0 = _mm256_unpacklo_ps(m[0], m[1]), t1 = _mm256_unpackhi_ps(m[0], m[1]);
    __m256 t2 = _mm256_unpacklo_ps(m[2], m[3]), t3 = _mm256_unpackhi_ps(m[2], m[3]);
    __m256 t4 = _mm256_unpacklo_ps(m[4], m[5]), t5 = _mm256_unpackhi_ps(m[4], m[5]);
    __m256 t6 = _mm256_unpacklo_ps(m[6], m[7]), t7 = _mm256_unpackhi_ps(m[6], m[7]);
    constexpr int Low = _MM_SHUFFLE(1, 0, 1, 0), High = _MM_SHUFFLE(3, 2, 3, 2);
    __m256 u0 = _mm256_shuffle_ps(t0, t2, Low), u1 = _mm256_shuffle_ps(t0, t2, High);
    __m256 u2 = _mm256_shuffle_ps(t1, t3, Low), u3 = _mm256_shuffle_ps(t1, t3, High);
    __m256 u4 = _mm256_shuffle_ps(t4, t6, Low), u5 = _mm256_shuffle_ps(t4, t6, High);
    __m256 u6 = _mm256_shuffle_ps(t5, t7, Low), u7 = _mm256_shuffle_ps(t5, t7, High);
    constexpr int LowHalves = 0x20, HighHalves = 0x31;
    m[0] = _mm256_permute2f128_ps(u0, u4, LowHalves), m[4] = _mm256_permute2f128_ps(u0, u4, HighHalves);
    m[1] = _mm256_permute2f128_ps(u1, u5, LowHalves), m[5] = _mm256_permute2f128_ps(u1, u5, HighHalves);
    m[2] = _mm256_permute2f128_ps(u2, u6, LowHalves), m[6] = _mm256_permute2f128_ps(u2, u6, HighHalves);
    m[3] = _mm256_permute2f128_ps(u3, u7, LowHalves), m[7] = _mm256_permute2f128_ps(u3, u7, HighHalves);
}

constexpr int BlockColumns = 8;
constexpr __mmask8 WholeBlock = 0xff;
// Past the group's shortest row the blocks go on while at least this many
// rows have pixels left; the last row alone is quicker one pixel at a time.
constexpr int MinRowsSideBySide = 2;

// One block of eight rows by eight columns. The values are stepped column
// by column with the rows across the lanes (four additions and one packing
// serve eight pixels), then turned round so that each row's pixels lie side
// by side: one depth load, one compare and two masked stores per row. A
// partial block (Whole false) reads and writes only the pixels in inRow, so
// it never touches memory past a span.
template <bool Whole>
SCANVANE_AVX512 inline void FillBlock(RowLanes &v, const RowLanes &step, float *const *depth,
                                      uint32_t *const *colour, int32_t at, const __mmask8 *inRow) {
    __m256 z[BlockColumns], c[BlockColumns];
    // Unrolled, so the block stays in registers (32 of them with AVX-512).
#pragma GCC unroll 8
    for (int k = 0; k < BlockColumns; k++) {
        z[k] = v.z;
        __m256i packed = _mm256_or_si256(
            _mm256_or_si256(_mm256_slli_epi32(_mm256_cvtps_epi32(v.r), RedShift),
                            _mm256_slli_epi32(_mm256_cvtps_epi32(v.g), GreenShift)),
            _mm256_cvtps_epi32(v.b));
        c[k] = _mm256_castsi256_ps(packed);
        v.z = _mm256_add_ps(v.z, step.z), v.r = _mm256_add_ps(v.r, step.r);
        v.g = _mm256_add_ps(v.g, step.g), v.b = _mm256_add_ps(v.b, step.b);
    }
    Transpose8(z);
    Transpose8(c);
    // Unrolled, so that each row's depth load is an instruction of its own:
    // the processor's stride prefetcher follows loads by instruction, and one
    // load walking eight rows in turn shows it no stride (a third slower with
    // the streaming clear).
#pragma GCC unroll 8
    for (int r = 0; r < BlockColumns; r++) {
        const __mmask8 in = Whole ? WholeBlock : inRow[r];
        __m256 stored = Whole ? _mm256_loadu_ps(depth[r] + at) : _mm256_maskz_loadu_ps(in, depth[r] + at);
        __mmask8 write = _mm256_mask_cmp_ps_mask(in, z[r], stored, _CMP_NGE_UQ); // !(z >= stored)
        SCANVANE_COUNT(pixelsWritten, __builtin_popcount(write));
        _mm256_mask_storeu_ps(depth[r] + at, write, z[r]);
        _mm256_mask_storeu_epi32(colour[r] + at, write, _mm256_castps_si256(c[r]));
    }
}

// The pixels each row has in the block at column `at`; returns how many
// rows have any.
inline int RowsInBlock(const Span *spans, int32_t at, __mmask8 *inRow) {
    int rows = 0;
    for (int r = 0; r < BlockColumns; r++) {
        int32_t left = spans[r].count - at;
        inRow[r] = left >= BlockColumns ? WholeBlock : left > 0 ? (__mmask8)((1u << left) - 1) : 0;
        rows += left > 0;
    }
    return rows;
}

SCANVANE_AVX512 void FillEightSpans(const Span *spans) {
    constexpr int rows = 8;
    static_assert(rows == BlockColumns, "a block is square");
    uint32_t *colour[rows];
    float *depth[rows];
    const SpanGroupState group = StartGroup(spans, rows, colour, depth);
    __m128 starts[rows], steps[rows];
    for (int r = 0; r < rows; r++) starts[r] = spans[r].start, steps[r] = spans[r].step;
    RowLanes v = AcrossRows(starts, starts + 4);
    const RowLanes step = AcrossRows(steps, steps + 4);
    int32_t i = 0;
    for (; i + BlockColumns <= group.both; i += BlockColumns) {
        if (i % PixelsPerLine == 0) PrefetchRows(depth, colour, rows, i + PrefetchAhead);
        FillBlock<true>(v, step, depth, colour, i, nullptr);
    }
    __mmask8 inRow[rows];
    for (; RowsInBlock(spans, i, inRow) >= MinRowsSideBySide; i += BlockColumns)
        FillBlock<false>(v, step, depth, colour, i, inRow);
    // Back to four lanes per row for the pixels left, all from column i.
    alignas(32) float across[4][rows];
    _mm256_store_ps(across[0], v.z), _mm256_store_ps(across[1], v.r);
    _mm256_store_ps(across[2], v.g), _mm256_store_ps(across[3], v.b);
    float running[4 * rows];
    for (int r = 0; r < rows; r++)
        for (int a = 0; a < 4; a++) running[4 * r + a] = across[a][r];
    FinishRows(spans, rows, i, running);
}
#endif
