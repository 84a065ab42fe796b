#include "render/raster.h"

#include <utility>

#include "render/stats.h" // SCANVANE_COUNT: empty unless built for counting

RenderTarget Target;

void ClearRenderTarget(int32_t pixelCount, uint32_t *colour, float *depth) {
    const __m128i zero = _mm_setzero_si128();
    __m128i *c = (__m128i *)colour;
    __m128i *d = (__m128i *)depth;
    for (int32_t i = 0, blocks = pixelCount / 4; i < blocks; i++) {
        _mm_stream_si128(c + i, zero);
        _mm_stream_si128(d + i, zero);
    }
    _mm_sfence(); // make the streamed zeros visible before the first span reads depth
}

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
    __m128i ta = _mm_cvtps_epi32(va), tb = _mm_cvtps_epi32(vb);
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

void FillSpan(uint32_t *colourAt, float *depthAt, int32_t count, __m128 start, __m128 step) {
    if (count > 0) SCANVANE_COUNT(spans, 1), SCANVANE_COUNT(pixelsTested, count);
    FillRest(colourAt, depthAt, 0, count, start, step);
}

namespace {
struct Edge {
    float x, z, r, g, b;
};

// Per-row steps of the edge from s to e. A nearly flat edge (at most 1/128 of
// a row high) takes its whole x difference in one row and no value steps.
Edge EdgeSteps(const Vertex &s, const Vertex &e) {
    float dy = e.y - s.y;
    if (dy > 0.0078125f)
        return {(e.x - s.x) / dy, (e.z - s.z) / dy, (e.r - s.r) / dy, (e.g - s.g) / dy,
                (e.b - s.b) / dy};
    return {e.x - s.x, 0.0f, 0.0f, 0.0f, 0.0f};
}

Edge EdgeStart(const Vertex &v) { return {v.x, v.z, v.r, v.g, v.b}; }

void Advance(Edge &e, const Edge &step) {
    e.x += step.x, e.z += step.z, e.r += step.r, e.g += step.g, e.b += step.b;
}

struct Span {
    uint32_t *colour;
    float *depth;
    int32_t count;
    __m128 start, step;
};

// The span of one row from the two sides' running values; false when it has
// no pixel.
bool SetUpSpan(int32_t row, const Edge &l, const Edge &r, Span &span) {
    float w = r.x - l.x;
    float inverse = w == 0.0f ? 0.0f : 1.0f / w;
    // Guard against drift past the screen edges: in-range triangles never
    // reach it, so it changes no pixel they draw, but a last pixel at column
    // 512 would otherwise spill into the next row or past the buffer.
    if (!(l.x > -1.0f && l.x < (float)Target.width)) return false;
    int32_t first = (int32_t)l.x;
    double wide = (double)w + 0.99;
    if (!(wide >= 1.0)) return false;
    int32_t count = wide < 1024.0 ? (int32_t)wide : 1024;
    if (count > Target.width - first) count = Target.width - first;

    int32_t at = row * Target.width + first;
    span.colour = Target.colour + at;
    span.depth = Target.depth + at;
    span.count = count;
    span.start = _mm_setr_ps(l.z, l.r, l.g, l.b);
    span.step = _mm_setr_ps((r.z - l.z) * inverse, (r.r - l.r) * inverse, (r.g - l.g) * inverse,
                            (r.b - l.b) * inverse);
    return true;
}

// Two spans of one triangle lie in different rows, so neither reads a pixel
// the other writes and they can be filled side by side. Each keeps its own
// chain of additions, one per pixel from its own start, exactly as alone;
// the two chains overlap in time instead of waiting on each other.
void FillTwoSpans(const Span &a, const Span &b) {
    SCANVANE_COUNT(spans, 2);
    SCANVANE_COUNT(pixelsTested, a.count + b.count);
    int32_t both = a.count < b.count ? a.count : b.count;
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

// Spans wait here in ones until a second comes to pair with.
struct SpanPairer {
    Span waiting;
    bool haveWaiting = false;

    void Add(int32_t row, const Edge &l, const Edge &r) {
        Span &next = haveWaiting ? spare : waiting;
        if (!SetUpSpan(row, l, r, next)) return;
        if (haveWaiting) FillTwoSpans(waiting, spare);
        haveWaiting = !haveWaiting;
    }
    void Finish() {
        if (haveWaiting)
            FillSpan(waiting.colour, waiting.depth, waiting.count, waiting.start, waiting.step);
        haveWaiting = false;
    }

  private:
    Span spare;
};

bool OnScreen(const Vertex &v, float width, float height) {
    return v.x >= 0.0f && v.x <= width && v.y >= 0.0f && v.y <= height;
}
} // namespace

void RasteriseTriangle(TriangleRecord &tri) {
    Vertex *p = tri.v;
    // Exactly these three compare-exchanges: equal y keeps the order they leave.
    if (p[0].y > p[2].y) std::swap(p[0], p[2]);
    if (p[0].y > p[1].y) std::swap(p[0], p[1]);
    if (p[1].y > p[2].y) std::swap(p[1], p[2]);

    int32_t yTop, yMid, yBot;
    const float width = (float)Target.width, height = (float)Target.height;
    if (OnScreen(p[0], width, height) && OnScreen(p[1], width, height) &&
        OnScreen(p[2], width, height)) {
        yTop = (int32_t)p[0].y, yMid = (int32_t)p[1].y, yBot = (int32_t)p[2].y;
    } else {
        return; // off screen or not a number: nothing the caller may pass is drawn
    }
    if (yTop == yBot) return;
    SCANVANE_COUNT(trianglesDrawn, 1);

    Edge longStep = EdgeSteps(p[0], p[2]);
    Edge upperStep = EdgeSteps(p[0], p[1]);
    Edge lowerStep = EdgeSteps(p[1], p[2]);
    bool shortOnRight = upperStep.x > longStep.x;

    SpanPairer spans;
    Edge longSide = EdgeStart(p[0]), shortSide = longSide;
    for (int32_t i = yTop; i < yMid; i++) {
        if (shortOnRight)
            spans.Add(i, longSide, shortSide);
        else
            spans.Add(i, shortSide, longSide);
        Advance(longSide, longStep);
        Advance(shortSide, upperStep);
    }
    shortSide = EdgeStart(p[1]);
    for (int32_t i = yMid; i < yBot; i++) {
        if (shortOnRight)
            spans.Add(i, longSide, shortSide);
        else
            spans.Add(i, shortSide, longSide);
        Advance(longSide, longStep);
        Advance(shortSide, lowerStep);
    }
    spans.Finish();
}
