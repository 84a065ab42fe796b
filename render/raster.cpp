#include "render/raster.h"

#include <utility>

#include "tools/bench_stats.h" // SCANVANE_COUNT: empty unless built for counting

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

void FillSpan(uint32_t *colourAt, float *depthAt, int32_t count, __m128 start, __m128 step) {
    __m128 v = start;
    if (count > 0) SCANVANE_COUNT(spans, 1), SCANVANE_COUNT(pixelsTested, count);
    for (int32_t i = 0; i < count; i++) {
        float z = _mm_cvtss_f32(v);
        if (!(z >= depthAt[i])) {
            SCANVANE_COUNT(pixelsWritten, 1);
            depthAt[i] = z;
            // cvtss2si rounds to nearest, ties to even, under the default MXCSR.
            int32_t r = _mm_cvtss_si32(_mm_shuffle_ps(v, v, 1));
            int32_t g = _mm_cvtss_si32(_mm_shuffle_ps(v, v, 2));
            int32_t b = _mm_cvtss_si32(_mm_shuffle_ps(v, v, 3));
            colourAt[i] = (uint32_t)b | ((uint32_t)g << 8) | ((uint32_t)r << 16);
        }
        v = _mm_add_ps(v, step);
    }
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

void DrawSpan(int32_t row, const Edge &l, const Edge &r) {
    float w = r.x - l.x;
    float inverse = w == 0.0f ? 0.0f : 1.0f / w;
    // Guard against drift past the screen edges: in-range triangles never
    // reach it, so it changes no pixel they draw, but a last pixel at column
    // 512 would otherwise spill into the next row or past the buffer.
    if (!(l.x > -1.0f && l.x < (float)Target.width)) return;
    int32_t first = (int32_t)l.x;
    double wide = (double)w + 0.99;
    if (!(wide >= 1.0)) return;
    int32_t count = wide < 1024.0 ? (int32_t)wide : 1024;
    if (count > Target.width - first) count = Target.width - first;

    __m128 start = _mm_setr_ps(l.z, l.r, l.g, l.b);
    __m128 step = _mm_setr_ps((r.z - l.z) * inverse, (r.r - l.r) * inverse,
                              (r.g - l.g) * inverse, (r.b - l.b) * inverse);
    int32_t at = row * Target.width + first;
    FillSpan(Target.colour + at, Target.depth + at, count, start, step);
}

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

    Edge longSide = EdgeStart(p[0]), shortSide = longSide;
    for (int32_t i = yTop; i < yMid; i++) {
        if (shortOnRight) DrawSpan(i, longSide, shortSide);
        else DrawSpan(i, shortSide, longSide);
        Advance(longSide, longStep);
        Advance(shortSide, upperStep);
    }
    shortSide = EdgeStart(p[1]);
    for (int32_t i = yMid; i < yBot; i++) {
        if (shortOnRight) DrawSpan(i, longSide, shortSide);
        else DrawSpan(i, shortSide, longSide);
        Advance(longSide, longStep);
        Advance(shortSide, lowerStep);
    }
}
