// The span fill with eight rows side by side, for processors with 256-bit
// vectors (AVX2) and with mask registers (AVX-512). Each row keeps its own
// chain of additions (1/z, r, g, b) from its own start, exactly as FillSpan
// alone: a lane-wise vaddps and vcvtps2dq give the same bits as addps and
// cvtps2dq. Compiled with per-function target attributes, so no build needs
// -march flags; the rasteriser calls these only after checking the processor.
#include "render/span_fill.h"

#if SCANVANE_WIDE_FILLS
#include <immintrin.h>

#include "render/stats.h" // SCANVANE_COUNT: empty unless built for counting

#define SCANVANE_AVX2 __attribute__((target("avx2")))
#define SCANVANE_AVX512 __attribute__((target("avx2,avx512f,avx512vl,avx512dq")))
// The block's pieces go inline into each fill whatever their size: as calls,
// the block's sixteen vectors would go through memory.
#define SCANVANE_INLINE inline __attribute__((always_inline))

namespace {
constexpr int Rows = 8, BlockColumns = 8;
constexpr int RedShift = 16, GreenShift = 8;
// Past the group's shortest row the blocks go on while at least this many
// rows have pixels left; the last row alone is quicker one pixel at a time.
constexpr int MinRowsSideBySide = 2;

// The streaming clear leaves both buffers out of cache, and eight rows at
// once are more streams than the hardware prefetcher follows: each row's
// next lines are asked for a little ahead, once per 64-byte line.
constexpr int PixelsPerLine = 16, PrefetchAhead = 2 * PixelsPerLine;

inline void PrefetchRows(float *const *depth, uint32_t *const *colour, int32_t at) {
    for (int r = 0; r < Rows; r++) {
        _mm_prefetch((const char *)(depth[r] + at), _MM_HINT_T0);
        _mm_prefetch((const char *)(colour[r] + at), _MM_HINT_T0);
    }
}

// The eight rows' running values with the rows across the lanes: lane r of
// each vector is row r's 1/z, r, g or b. Each lane still adds only its own
// row's step, so every value is the chain FillSpan would compute.
struct RowLanes {
    __m256 z, r, g, b;
};

// A group as the block fills see it: each row's pointers in locals (so the
// pixel stores cannot be taken to change them), the values across the lanes.
struct Group {
    uint32_t *colour[Rows];
    float *depth[Rows];
    int32_t both; // pixels every span of the group has
    RowLanes v, step;
};

SCANVANE_AVX2 inline __m256 Halves(__m128 lo, __m128 hi) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

// (1/z, r, g, b) of rows 0..7 turned into one vector per interpolant.
SCANVANE_AVX2 inline RowLanes AcrossRows(__m128 a0, __m128 a1, __m128 a2, __m128 a3, __m128 b0,
                                         __m128 b1, __m128 b2, __m128 b3) {
    _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
    _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
    return {Halves(a0, b0), Halves(a1, b1), Halves(a2, b2), Halves(a3, b3)};
}

// The group measured and counted, and each row's first lines asked for.
SCANVANE_AVX2 SCANVANE_INLINE Group StartGroup(const Span *s) {
    Group g;
    g.both = s[0].count;
    [[maybe_unused]] int32_t tested = 0; // read only when counting
    for (int r = 0; r < Rows; r++) {
        if (s[r].count < g.both) g.both = s[r].count;
        tested += s[r].count;
        g.colour[r] = s[r].colour, g.depth[r] = s[r].depth;
    }
    if (g.both < 0) g.both = 0;
    SCANVANE_COUNT(spans, Rows);
    SCANVANE_COUNT(pixelsTested, tested);
    PrefetchRows(g.depth, g.colour, 0);
    PrefetchRows(g.depth, g.colour, PixelsPerLine);
    g.v = AcrossRows(s[0].start, s[1].start, s[2].start, s[3].start, s[4].start, s[5].start,
                     s[6].start, s[7].start);
    g.step = AcrossRows(s[0].step, s[1].step, s[2].step, s[3].step, s[4].step, s[5].step,
                        s[6].step, s[7].step);
    return g;
}

// m[k] lane r becomes m[r] lane k (eight by eight, 32-bit lanes).
SCANVANE_AVX2 SCANVANE_INLINE void Transpose8(__m256 *m) {
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

// One block of eight rows by eight columns: the values are stepped column by
// column with the rows across the lanes (four additions and one packing of
// B | G << 8 | R << 16 serve eight pixels), then turned round so that z[r]
// and c[r] hold row r's eight depths and colours side by side. Unrolled, so
// the block stays in registers.
SCANVANE_AVX2 SCANVANE_INLINE void StepBlock(RowLanes &v, const RowLanes &step, __m256 *z, __m256 *c) {
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
}

// How many pixels each row has from column `at` on (none: 0 or less); returns
// how many rows have any.
inline int PixelsLeft(const Span *spans, int32_t at, int32_t *left) {
    int rows = 0;
    for (int r = 0; r < Rows; r++) left[r] = spans[r].count - at, rows += left[r] > 0;
    return rows;
}

// The pixels each row has left, one pixel at a time from column `from`,
// with the running values turned back to four lanes per row.
SCANVANE_AVX2 void FinishGroup(const Span *spans, const RowLanes &v, int32_t from) {
    alignas(32) float across[4][Rows];
    _mm256_store_ps(across[0], v.z), _mm256_store_ps(across[1], v.r);
    _mm256_store_ps(across[2], v.g), _mm256_store_ps(across[3], v.b);
    for (int r = 0; r < Rows; r++)
        if (spans[r].count > from)
            FillSpanTail(spans[r].colour, spans[r].depth, from, spans[r].count,
                         _mm_setr_ps(across[0][r], across[1][r], across[2][r], across[3][r]),
                         spans[r].step);
}

// Each row's block written: one depth load, one compare and the writes. The
// row loops are unrolled so that each row's depth load is an instruction of
// its own: the processor's stride prefetcher follows loads by instruction,
// and one load walking eight rows in turn shows it no stride (a third slower
// with the streaming clear).
//
// AVX2: a whole block writes every pixel back, unchanged where the depth test
// failed (blends, no masked stores: those are slow on some processors); a
// partial block reads and writes only the row's pixels (vmaskmov), so it
// never touches memory past a span.
SCANVANE_AVX2 SCANVANE_INLINE void WriteWholeBlockAvx2(const Group &g, int32_t at, const __m256 *z,
                                              const __m256 *c) {
#pragma GCC unroll 8
    for (int r = 0; r < Rows; r++) {
        float *depth = g.depth[r] + at;
        uint32_t *colour = g.colour[r] + at;
        __m256 stored = _mm256_loadu_ps(depth);
        __m256 write = _mm256_cmp_ps(z[r], stored, _CMP_NGE_UQ); // !(z >= stored)
        SCANVANE_COUNT(pixelsWritten, __builtin_popcount(_mm256_movemask_ps(write)));
        __m256 was = _mm256_loadu_ps((const float *)colour);
        _mm256_storeu_ps(depth, _mm256_blendv_ps(stored, z[r], write));
        _mm256_storeu_ps((float *)colour, _mm256_blendv_ps(was, c[r], write));
    }
}

SCANVANE_AVX2 SCANVANE_INLINE void WritePartialBlockAvx2(const Group &g, int32_t at, const int32_t *left,
                                                const __m256 *z, const __m256 *c) {
    const __m256i column = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    // Four rows at a time, not eight: valgrind turns each vmaskmov into a
    // load or store per lane, and eight rows' worth in one stretch of code
    // exhausted its translation space. Partial blocks are few; no slower.
#pragma GCC unroll 4
    for (int r = 0; r < Rows; r++) {
        __m256i in = _mm256_cmpgt_epi32(_mm256_set1_epi32(left[r]), column);
        __m256 stored = _mm256_maskload_ps(g.depth[r] + at, in);
        __m256i write =
            _mm256_and_si256(in, _mm256_castps_si256(_mm256_cmp_ps(z[r], stored, _CMP_NGE_UQ)));
        SCANVANE_COUNT(pixelsWritten,
                       __builtin_popcount(_mm256_movemask_ps(_mm256_castsi256_ps(write))));
        _mm256_maskstore_ps(g.depth[r] + at, write, z[r]);
        _mm256_maskstore_ps((float *)(g.colour[r] + at), write, c[r]);
    }
}

// AVX-512: masked compares and stores write only the pixels that pass. A
// whole block reads no row counts: its callers pass left as null.
template <bool Whole>
SCANVANE_AVX512 SCANVANE_INLINE void WriteBlockAvx512(const Group &g, int32_t at, const int32_t *left,
                                             const __m256 *z, const __m256 *c) {
    constexpr __mmask8 WholeRow = 0xff;
#pragma GCC unroll 8
    for (int r = 0; r < Rows; r++) {
        const __mmask8 in = Whole ? WholeRow
                                  : left[r] >= BlockColumns ? WholeRow
                                  : left[r] > 0             ? (__mmask8)((1u << left[r]) - 1)
                                                            : 0;
        __m256 stored = Whole ? _mm256_loadu_ps(g.depth[r] + at)
                              : _mm256_maskz_loadu_ps(in, g.depth[r] + at);
        __mmask8 write = _mm256_mask_cmp_ps_mask(in, z[r], stored, _CMP_NGE_UQ);
        SCANVANE_COUNT(pixelsWritten, __builtin_popcount(write));
        _mm256_mask_storeu_ps(g.depth[r] + at, write, z[r]);
        _mm256_mask_storeu_epi32(g.colour[r] + at, write, _mm256_castps_si256(c[r]));
    }
}
} // namespace

// Both fills: whole blocks while every row has eight more pixels, partial
// blocks while two rows have any, then the last row's pixels one at a time.
// The loop is written out once per path: shared through a template it would
// carry one target attribute, and GCC inlines a function only into one whose
// target includes its own (the AVX-512 writes could not go into it).
SCANVANE_AVX2 void FillEightSpansAvx2(const Span *spans) {
    Group g = StartGroup(spans);
    int32_t i = 0, left[Rows];
    for (; i + BlockColumns <= g.both; i += BlockColumns) {
        if (i % PixelsPerLine == 0) PrefetchRows(g.depth, g.colour, i + PrefetchAhead);
        __m256 z[BlockColumns], c[BlockColumns];
        StepBlock(g.v, g.step, z, c);
        WriteWholeBlockAvx2(g, i, z, c);
    }
    for (; PixelsLeft(spans, i, left) >= MinRowsSideBySide; i += BlockColumns) {
        __m256 z[BlockColumns], c[BlockColumns];
        StepBlock(g.v, g.step, z, c);
        WritePartialBlockAvx2(g, i, left, z, c);
    }
    FinishGroup(spans, g.v, i);
}

SCANVANE_AVX512 void FillEightSpansAvx512(const Span *spans) {
    Group g = StartGroup(spans);
    int32_t i = 0, left[Rows];
    for (; i + BlockColumns <= g.both; i += BlockColumns) {
        if (i % PixelsPerLine == 0) PrefetchRows(g.depth, g.colour, i + PrefetchAhead);
        __m256 z[BlockColumns], c[BlockColumns];
        StepBlock(g.v, g.step, z, c);
        WriteBlockAvx512<true>(g, i, nullptr, z, c);
    }
    for (; PixelsLeft(spans, i, left) >= MinRowsSideBySide; i += BlockColumns) {
        __m256 z[BlockColumns], c[BlockColumns];
        StepBlock(g.v, g.step, z, c);
        WriteBlockAvx512<false>(g, i, left, z, c);
    }
    FinishGroup(spans, g.v, i);
}
#endif
