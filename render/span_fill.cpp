#include "render/span_fill.h"

#include "render/round_lanes.h"
#include "render/stats.h" // SCANVANE_COUNT: empty unless built for counting

namespace {
// The colours of two pixels from their running values, B | G << 8 | R << 16
// with no clamping or masking. One cvtps2dq per pixel converts all lanes at
// once and rounds exactly as a cvtss2si of each rotated lane would (nearest,
// ties to even, under the default MXCSR; out of range gives 0x80000000 in
// both), but costs one instruction where three cvtss2si were the bottleneck.
// Packing two pixels (of two rows) together halves the shuffles. The depth
// lane is converted too and thrown away.
struct TwoColours {
    uint32_t a, b;
};

inline TwoColours PackTwo(__m128 va, __m128 vb) {
    __m128i ta = RoundLanes(va), tb = RoundLanes(vb);
    __m128i zr = _mm_unpacklo_epi32(ta, tb); // za zb Ra Rb
    __m128i gb = _mm_unpackhi_epi32(ta, tb); // Ga Gb Ba Bb
    __m128i c =
        _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_srli_si128(zr, 8), 16), _mm_slli_epi32(gb, 8)),
                     _mm_srli_si128(gb, 8));
    return {(uint32_t)_mm_cvtsi128_si32(c), (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(c, 4))};
}

// One pixel of each of two rows. The depth test is on lane 0: a pixel at
// equal or greater 1/z is left alone. Colours are packed only when one of
// the two is written, so hidden pixels cost little more than the test.
inline void StoreTwo(uint32_t *colourA, float *depthA, __m128 va, uint32_t *colourB, float *depthB,
                     __m128 vb) {
    float za = _mm_cvtss_f32(va), zb = _mm_cvtss_f32(vb);
    bool writeA = !(za >= *depthA), writeB = !(zb >= *depthB);
    if (!(writeA | writeB)) return;
    TwoColours c = PackTwo(va, vb);
    if (writeA) SCANVANE_COUNT(pixelsWritten, 1), *depthA = za, *colourA = c.a;
    if (writeB) SCANVANE_COUNT(pixelsWritten, 1), *depthB = zb, *colourB = c.b;
}

// Pixels from..count-1 of a span whose running values have reached v, one at
// a time: the lone spans and the longer span's tail. Pairing neighbours here
// made single spans faster but frames slower (short spans, odd tails). A
// pixel packed with itself measured faster than a one-pixel packing.
inline void FillRest(uint32_t *colourAt, float *depthAt, int32_t from, int32_t count, __m128 v,
                     __m128 step) {
    for (int32_t i = from; i < count; i++) {
        float z = _mm_cvtss_f32(v);
        if (!(z >= depthAt[i]))
            SCANVANE_COUNT(pixelsWritten, 1), depthAt[i] = z, colourAt[i] = PackTwo(v, v).a;
        v = _mm_add_ps(v, step);
    }
}
} // namespace

void FillSpanTail(uint32_t *colourAt, float *depthAt, int32_t from, int32_t count, __m128 v,
                  __m128 step) {
    FillRest(colourAt, depthAt, from, count, v, step);
}

void FillSpan(uint32_t *colourAt, float *depthAt, int32_t count, __m128 start, __m128 step) {
    if (count > 0) SCANVANE_COUNT(spans, 1), SCANVANE_COUNT(pixelsTested, count);
    FillRest(colourAt, depthAt, 0, count, start, step);
}

// Two spans of one triangle lie in different rows, so neither reads a pixel
// the other writes and they can be filled side by side. Each keeps its own
// chain of additions, one per pixel from its own start, exactly as alone;
// the two chains overlap in time instead of waiting on each other.
void FillTwoSpans(const Span &a, const Span &b) {
    SCANVANE_COUNT(spans, 2);
    SCANVANE_COUNT(pixelsTested, a.count + b.count);
    int32_t both = a.count < b.count ? a.count : b.count;
    // A span of no pixels (or a negative count) beside one of some: the
    // other still starts at its own first pixel.
    if (both < 0) both = 0;
    // Locals, so the pixel stores cannot be taken to change them.
    uint32_t *colourA = a.colour, *colourB = b.colour;
    float *depthA = a.depth, *depthB = b.depth;
    const __m128 stepA = a.step, stepB = b.step;
    __m128 va = a.start, vb = b.start;
    for (int32_t i = 0; i < both; i++) {
        StoreTwo(colourA + i, depthA + i, va, colourB + i, depthB + i, vb);
        va = _mm_add_ps(va, stepA);
        vb = _mm_add_ps(vb, stepB);
    }
    FillRest(colourA, depthA, both, a.count, va, stepA);
    FillRest(colourB, depthB, both, b.count, vb, stepB);
}
