// The parts of indexed drawing (render/mesh_draw.h) that the one-thread
// drawing and the bands' share of it both use: the per-vertex results of a
// frame, the triangle set-up from them and the walk of triangles of one or
// two rows. Inside the renderer only.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <emmintrin.h>
#include <utility>
#include <vector>

#include "render/frame_size.h"
#include "render/mesh.h"
#include "render/render_target.h"
#include "render/span_fill.h"
#include "render/types.h"

namespace mesh_parts {
// A vertex as the rasteriser takes it: pixel column and row, 1/z, colour.
struct ScreenVertex {
    float x, y, z, r, g, b;
};
static_assert(offsetof(ScreenVertex, b) == offsetof(ScreenVertex, z) + 12,
              "1/z, r, g and b load as one vector");

// One band list entry: a triangle of the mesh, or (with PieceBit) a piece
// the clipper made, by its place in the piece store.
constexpr uint32_t PieceBit = 0x80000000u;

// What a set-up triangle or piece leaves for the bands: what to draw and
// the first and last band holding a row it fills.
struct Item {
    uint32_t ref;
    uint16_t firstBand, lastBand;
};

// Work is shared in chunks of triangles and of vertices, enough of them for
// every thread to find some while the others finish theirs, not so small
// that claiming them costs.
constexpr uint32_t MinChunkTriangles = 2048, MaxChunks = 256;
constexpr uint32_t ChunkVertices = 8192;
// Room per chunk for the pieces its cut triangles add (each cut triangle
// can give up to seven), and pieces for the whole frame. A frame that needs
// more is drawn again on one thread: slower, never different.
constexpr uint32_t ExtraItemsPerChunk = 1024;
constexpr uint32_t MinPieces = 4096, TrianglesPerPiece = 16;
// Band list entries per triangle the lists are sized for (a triangle across
// a band edge is listed in both); a frame that needs more is drawn again on
// one thread too.
constexpr uint32_t ListedPerTriangle = 2, MinListed = 65536;

struct MeshDrawing {
    const Mesh *mesh = nullptr;
    uint32_t vertexCount = 0, triangleCount = 0;
    // Per vertex, this frame: camera-space position; the planes it lies at
    // or below 0 from (rejection), and at or below the clipper's threshold
    // from (a triangle with such a corner must be cut); and, when it lies
    // inside all six, its projection (the colour is set once).
    std::vector<float> camera;
    std::vector<uint8_t> outside, cut;
    std::vector<ScreenVertex> screen;

    // The bands' share of the work.
    uint32_t chunkTriangles = 0, chunkCount = 0, itemsPerChunk = 0;
    std::vector<Item> items;            // chunk c's from c * itemsPerChunk
    std::vector<uint32_t> itemCount;    // per chunk
    std::vector<TriangleRecord> pieces; // projected pieces of cut triangles
    std::vector<uint32_t> listed;       // every band's list, band after band
    std::vector<uint32_t> perBand;      // chunk x band: entries, then where they go
    std::vector<uint32_t> bandStart;    // band b's list is [bandStart[b], bandStart[b+1])
    int bands = 0;
};

extern MeshDrawing drawing;

inline bool Prepared(const Mesh &mesh) {
    return drawing.mesh == &mesh && drawing.vertexCount == MeshVertexCount(mesh) &&
           drawing.triangleCount == MeshTriangleCount(mesh) && mesh.indices.size() % 3 == 0 &&
           mesh.positions.size() == 3 * (size_t)drawing.vertexCount;
}

// The vertices first..end-1 of the prepared mesh for this frame.
void TransformVertices(uint32_t first, uint32_t end);
// Its triangles first..end-1 on this thread, each drawn (or handed to
// ProjectedSink) before the next.
void DrawTriangles(uint32_t first, uint32_t end);

// The rasteriser's screen test (render/raster.cpp): less than a pixel above
// or left of the screen still counts.
inline bool OnScreen(float x, float y, float width, float height) {
    return x > -1.0f && x <= width && y > -1.0f && y <= height;
}

// The rows a projected triangle can fill, firstRow..lastRow; false when the
// rasteriser would fill none: off the screen or not a number, all three
// corners in one row, or one row only where both sides still stand at the
// top corner (the top row of a triangle whose middle corner lies lower is
// always empty). Judged from the row numbers the rasteriser truncates to.
inline bool RowsToFill(float x0, float y0, float x1, float y1, float x2, float y2,
                       int32_t &firstRow, int32_t &lastRow) {
    const float width = (float)Target.width, height = (float)Target.height;
    if (!(OnScreen(x0, y0, width, height) && OnScreen(x1, y1, width, height) &&
          OnScreen(x2, y2, width, height)))
        return false;
    const int32_t a = (int32_t)y0, b = (int32_t)y1, c = (int32_t)y2;
    // The sorted corners' rows are the sorted rows (truncation keeps order).
    const int32_t top = a < b ? (a < c ? a : c) : (b < c ? b : c);
    const int32_t bottom = a > b ? (a > c ? a : c) : (b > c ? b : c);
    const int32_t middle = a + b + c - top - bottom;
    firstRow = middle > top ? top + 1 : top;
    lastRow = bottom - 1;
    return firstRow <= lastRow;
}

inline bool RowsToFill(const TriangleRecord &t, int32_t &firstRow, int32_t &lastRow) {
    return RowsToFill(t.v[0].x, t.v[0].y, t.v[1].x, t.v[1].y, t.v[2].x, t.v[2].y, firstRow,
                      lastRow);
}

// --- triangles of one or two rows ------------------------------------------
// Most triangles of a dense model cover one or two rows. For those the
// rasteriser's walk (render/raster.cpp) is written out here with only the
// steps their rows use: the same sort, the same side choice, the same
// additions and the same span set-up, so each pixel comes out the same,
// without the divisions whose results no row reads (a span of one pixel
// never reads its increments, a row that is never reached never needs the
// steps that lead to it).

// (1/z, r, g, b) of a vertex, as the rasteriser keeps them.
inline __m128 Values(const ScreenVertex &v) { return _mm_loadu_ps(&v.z); }

// An edge's x step per row (the rasteriser's EdgeSteps) and its value steps.
constexpr float FlatEdge = 0.0078125f; // at most 1/128 of a row high
inline float StepX(const ScreenVertex &s, const ScreenVertex &e) {
    const float dy = e.y - s.y;
    return dy > FlatEdge ? (e.x - s.x) / dy : e.x - s.x;
}
inline __m128 StepValues(const ScreenVertex &s, const ScreenVertex &e) {
    const float dy = e.y - s.y;
    return dy > FlatEdge ? _mm_div_ps(_mm_sub_ps(Values(e), Values(s)), _mm_set1_ps(dy))
                         : _mm_setzero_ps();
}

// One side of a row: x and, when asked for, its values.
struct SideAt {
    float x;
    const ScreenVertex *from; // the vertex the side starts at
    const ScreenVertex *to;   // the edge's far end when advanced one row, else null
    __m128 Values() const {
        const __m128 v = mesh_parts::Values(*from);
        return to ? _mm_add_ps(v, StepValues(*from, *to)) : v;
    }
};

// The rasteriser's span set-up and fill for one row, from its two sides.
inline void FillRow(int32_t row, const SideAt &l, const SideAt &r) {
    const float w = r.x - l.x;
    if (!(l.x > -1.0f && l.x < (float)Target.width)) return;
    const int32_t first = (int32_t)l.x;
    const double wide = (double)w + 0.99;
    if (!(wide >= 1.0)) return;
    int32_t count = wide < (double)MaxFrameWidth ? (int32_t)wide : MaxFrameWidth;
    if (count > Target.width - first) count = Target.width - first;
    const __m128 start = l.Values();
    __m128 step = _mm_setzero_ps(); // read only from the second pixel on
    if (count > 1) {
        const float inverse = w == 0.0f ? 0.0f : 1.0f / w;
        step = _mm_mul_ps(_mm_sub_ps(r.Values(), start), _mm_set1_ps(inverse));
    }
    const int32_t at = row * Target.width + first;
    FillSpan(Target.colour + at, Target.depth + at, count, start, step);
}

// Draws the rows firstRow..endRow-1 of a triangle whose rows (from
// RowsToFill) lie within its top row and the next; false, drawing nothing,
// for a taller one.
inline bool FillLowTriangle(const ScreenVertex *p0, const ScreenVertex *p1, const ScreenVertex *p2,
                            int32_t firstRow, int32_t endRow) {
    // Exactly the rasteriser's three compare-exchanges.
    if (p0->y > p2->y) std::swap(p0, p2);
    if (p0->y > p1->y) std::swap(p0, p1);
    if (p1->y > p2->y) std::swap(p1, p2);
    const int32_t yTop = (int32_t)p0->y, yMid = (int32_t)p1->y, yBot = (int32_t)p2->y;
    if (yBot - yTop > 2) return false;
    const float longX = StepX(*p0, *p2), upperX = StepX(*p0, *p1);
    const bool shortOnRight = upperX > longX;
    auto row = [&](int32_t i, const SideAt &longSide, const SideAt &shortSide) {
        if (i < firstRow || i >= endRow) return;
        if (shortOnRight)
            FillRow(i, longSide, shortSide);
        else
            FillRow(i, shortSide, longSide);
    };
    const SideAt longTop{p0->x, p0, nullptr}, longNext{p0->x + longX, p0, p2};
    if (yMid == yTop) {
        // No upper half: the short side starts at the middle vertex.
        row(yTop, longTop, {p1->x, p1, nullptr});
        if (yBot == yTop + 2) row(yTop + 1, longNext, {p1->x + StepX(*p1, *p2), p1, p2});
    } else if (yBot == yTop + 2) {
        // The top row has both sides at the top vertex: empty.
        if (yMid == yTop + 1)
            row(yMid, longNext, {p1->x, p1, nullptr});
        else
            row(yTop + 1, longNext, {p0->x + upperX, p0, p1});
    }
    return true;
}

inline void FromScreen(Vertex &v, const ScreenVertex &s) {
    v.x = s.x, v.y = s.y, v.z = s.z, v.w = 1.0f, v.r = s.r, v.g = s.g, v.b = s.b;
}

inline void Projected(TriangleRecord &t, const uint32_t *corner) {
    const ScreenVertex *screen = drawing.screen.data();
    FromScreen(t.v[0], screen[corner[0]]);
    FromScreen(t.v[1], screen[corner[1]]);
    FromScreen(t.v[2], screen[corner[2]]);
    t.clipFlags = 0;
}

// The record DrawTriangle would hold after its transform (w aside, which
// nothing after the transform reads).
inline void InCameraSpace(TriangleRecord &t, const uint32_t *corner) {
    const float *camera = drawing.camera.data();
    const ScreenVertex *screen = drawing.screen.data();
    for (int k = 0; k < 3; k++) {
        const uint32_t i = corner[k];
        t.v[k] = {camera[3 * i], camera[3 * i + 1], camera[3 * i + 2], 1.0f,
                  screen[i].r,   screen[i].g,       screen[i].b};
    }
    t.clipFlags = 0;
}

enum class Setup { Dropped, Whole, Cut };

// Rejection by the corners' plane bits: all three outside one plane.
inline Setup SetUp(const uint32_t *corner) {
    const uint8_t *outside = drawing.outside.data(), *cut = drawing.cut.data();
    if (outside[corner[0]] & outside[corner[1]] & outside[corner[2]]) return Setup::Dropped;
    return (cut[corner[0]] | cut[corner[1]] | cut[corner[2]]) ? Setup::Cut : Setup::Whole;
}
} // namespace mesh_parts
