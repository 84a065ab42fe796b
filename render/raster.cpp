#include "render/raster.h"

#include <cstdint>
#include <utility>

#include "render/frame_size.h"
#include "render/render_target.h"
#include "render/span_fill.h"
#include "render/stats.h" // SCANVANE_COUNT: empty unless built for counting

namespace {
// One side of a triangle as it is walked: x, and (1/z, r, g, b) in the four
// lanes the span fill takes. Lane-wise subps, mulps, divps and addps give the
// same bits as the scalar operations on each channel alone.
struct Edge {
    float x;
    __m128 v;
};

inline __m128 Values(const Vertex &v) { return _mm_setr_ps(v.z, v.r, v.g, v.b); }

// Per-row steps of the edge from s to e. A nearly flat edge (at most 1/128 of
// a row high) takes its whole x difference in one row and no value steps.
Edge EdgeSteps(const Vertex &s, const Vertex &e) {
    float dy = e.y - s.y;
    if (dy > 0.0078125f)
        return {(e.x - s.x) / dy, _mm_div_ps(_mm_sub_ps(Values(e), Values(s)), _mm_set1_ps(dy))};
    return {e.x - s.x, _mm_setzero_ps()};
}

Edge EdgeStart(const Vertex &v) { return {v.x, Values(v)}; }

void Advance(Edge &e, const Edge &step) { e.x += step.x, e.v = _mm_add_ps(e.v, step.v); }

// The span of one row from the two sides' running values; false when it has
// no pixel.
bool SetUpSpan(int32_t row, const Edge &l, const Edge &r, Span &span) {
    float w = r.x - l.x;
    float inverse = w == 0.0f ? 0.0f : 1.0f / w;
    // Guard against drift past the screen edges: in-range triangles never
    // reach it, so it changes no pixel they draw, but a last pixel at column
    // `width` would otherwise spill into the next row or past the buffer.
    if (!(l.x > -1.0f && l.x < (float)Target.width)) return false;
    int32_t first = (int32_t)l.x;
    double wide = (double)w + 0.99;
    if (!(wide >= 1.0)) return false;
    // Bounded before the conversion, which a huge width would overflow; a
    // constant bound (no frame is wider) keeps the test as cheap as before.
    int32_t count = wide < (double)MaxFrameWidth ? (int32_t)wide : MaxFrameWidth;
    if (count > Target.width - first) count = Target.width - first;

    int32_t at = row * Target.width + first;
    span.colour = Target.colour + at;
    span.depth = Target.depth + at;
    span.count = count;
    span.start = l.v;
    span.step = _mm_mul_ps(_mm_sub_ps(r.v, l.v), _mm_set1_ps(inverse));
    return true;
}

// Spans wait here until the active fill has a group of rows to fill side by
// side; what is left at the end of a triangle goes in pairs and ones.
struct SpanBatch {
    Span spans[MaxGroupRows];
    int count = 0;
    const int rows = ActiveGroupRows;
    const SpanGroupFill fill = ActiveGroupFill;

    void Add(int32_t row, const Edge &l, const Edge &r) {
        if (!SetUpSpan(row, l, r, spans[count])) return;
        if (++count < rows) return;
        // The baseline's pairs directly: an inlined call, no indirect one.
        if (rows == 2)
            FillTwoSpans(spans[0], spans[1]);
        else
            fill(spans);
        count = 0;
    }
    void Finish() {
        int i = 0;
        for (; i + 1 < count; i += 2) FillTwoSpans(spans[i], spans[i + 1]);
        if (i < count)
            FillSpan(spans[i].colour, spans[i].depth, spans[i].count, spans[i].start,
                     spans[i].step);
        count = 0;
    }
};

// Less than a pixel above or left of the screen still truncates to row or
// column 0. The view volume of an odd height reaches up to half a pixel
// above row 0 (its centre row is the lower of the two middle ones), and
// triangles that touch that edge must still be drawn.
bool OnScreen(const Vertex &v, float width, float height) {
    return v.x > -1.0f && v.x <= width && v.y > -1.0f && v.y <= height;
}
} // namespace

void RasteriseTriangle(TriangleRecord &tri) { RasteriseTriangleRows(tri, INT32_MIN, INT32_MAX); }

void RasteriseTriangleRows(TriangleRecord &tri, int32_t firstRow, int32_t endRow) {
    SideWalk none;
    none.row = INT32_MIN;
    RasteriseTriangleRowsFrom(tri, firstRow, endRow, none);
}

void RasteriseTriangleRowsFrom(TriangleRecord &tri, int32_t firstRow, int32_t endRow,
                               SideWalk &walk) {
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
    if (yBot <= firstRow || yTop >= endRow) return; // no row in the band

    Edge longStep = EdgeSteps(p[0], p[2]);
    Edge upperStep = EdgeSteps(p[0], p[1]);
    Edge lowerStep = EdgeSteps(p[1], p[2]);
    bool shortOnRight = upperStep.x > longStep.x;

    // Rows before firstRow are walked (the sides still advance by one
    // addition per row) but not filled, from where this thread's last band
    // of the triangle left off when it can.
    SpanBatch spans;
    Edge longSide = EdgeStart(p[0]), shortSide = longSide;
    int32_t i = yTop;
    if (walk.row > yTop && walk.row <= firstRow) {
        i = walk.row;
        longSide = {walk.longX, walk.longV}, shortSide = {walk.shortX, walk.shortV};
    }
    // Nothing past the band's last row is needed, so the walk stops there.
    const int32_t midStop = yMid < endRow ? yMid : endRow, botStop = yBot < endRow ? yBot : endRow;
    for (; i < midStop; i++) {
        if (i >= firstRow)
            spans.Add(i, shortOnRight ? longSide : shortSide, shortOnRight ? shortSide : longSide);
        Advance(longSide, longStep);
        Advance(shortSide, upperStep);
    }
    // At the middle row the short side starts again from the middle vertex
    // (also when a walk resumes there: it was saved so).
    if (i == yMid) shortSide = EdgeStart(p[1]);
    for (; i < botStop; i++) {
        if (i >= firstRow)
            spans.Add(i, shortOnRight ? longSide : shortSide, shortOnRight ? shortSide : longSide);
        Advance(longSide, longStep);
        Advance(shortSide, lowerStep);
    }
    spans.Finish();
    walk = {i, longSide.x, shortSide.x, longSide.v, shortSide.v};
}
