// The parts of indexed drawing (render/mesh_draw.h) that the one-thread
// drawing and the bands' share of it both use: the per-vertex results of a
// frame, the triangle set-up from them and the walk of triangles of one or
// two rows. Inside the renderer only.
#pragma once
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <emmintrin.h>
#include <memory>
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

// What the band lists hold: spans ready to fill, and references to taller
// triangles (by index in the mesh, or with PieceBit a piece the clipper
// made, by its place in the piece store) that each band rasterises itself.
constexpr uint32_t PieceBit = 0x80000000u;

// Per vertex, this frame, in one word: the planes it lies at or below 0
// from (rejection); the planes it lies at or below the clipper's threshold
// from (a triangle with such a corner must be cut); and, for a vertex inside
// all six, whether its projection lies off the screen (or is not a number)
// and else the row it truncates to. A triangle is judged from its three
// corners' words alone.
constexpr uint32_t OutsideBits = 0x3f, CutShift = 6, CutBits = 0x3fu << CutShift;
constexpr uint32_t OffScreenBit = 1u << 12, RowShift = 16;

// Work is shared in chunks of triangles, enough of them for every thread to
// find some while the others finish theirs, not so small that claiming them
// costs. A chunk's thread also transforms the vertices its triangles are
// the first to use, just before it sets them up.
constexpr uint32_t MinChunkTriangles = 2048, MaxChunks = 256;
// Room for the pieces of cut triangles a frame keeps for the bands. A frame
// that needs more is drawn again on one thread: slower, never different.
constexpr uint32_t MinPieces = 4096, TrianglesPerPiece = 16;
// The band lists are made of blocks of this many 8-byte words, one list per
// chunk and band, taken from one store as they fill. The store starts at
// this much per triangle (only what is written is touched) and doubles when
// a frame needs more: that frame is drawn again on one thread.
constexpr uint32_t BlockWords = 256;
constexpr size_t StoreBytesPerTriangle = 64, MinStoreBytes = 8u << 20;
constexpr uint32_t NoBlock = 0xffffffffu;

// Where a thread is appending to one band's list of the chunk it sets up.
struct ListCursor {
    uint32_t first, block, used; // used: words of the block, its header included
};
// A thread takes blocks from the store this many at a time, each batch on a
// cache line of its own, so that the threads seldom meet on the counter.
constexpr uint32_t BlockBatch = 16;
struct alignas(64) BlockRange {
    uint32_t next, end;
};
// Each thread's cursors start on a cache line of their own.
constexpr int CursorsPerLine = 16; // 16 cursors of 12 bytes: three whole lines

struct MeshDrawing {
    const Mesh *mesh = nullptr;
    uint32_t meshVertices = 0, triangleCount = 0;
    // The mesh's vertices that triangles use, numbered in the order the
    // triangles first use them, and the triangles' corners by those numbers:
    // the set-up then finds a triangle's corners near those of the triangles
    // before it, where a model's own numbering may scatter them. Each vertex
    // keeps its values, so no pixel changes.
    uint32_t vertexCount = 0;
    std::vector<float> positions;
    std::vector<uint32_t> indices;
    // Per vertex, this frame: the word above, and the projection of a
    // vertex inside all six planes (the colour is set once).
    std::vector<uint32_t> key;
    std::vector<ScreenVertex> screen;

    // The bands' share of the work.
    uint32_t chunkTriangles = 0, chunkCount = 0;
    std::vector<uint32_t> chunkVertices;                  // chunk c first uses [c], [c + 1) - 1
    std::unique_ptr<std::atomic<uint32_t>[]> transformed; // per chunk: the frame done
    std::vector<TriangleRecord> pieces;                   // projected pieces of cut triangles
    std::unique_ptr<uint64_t[]> store;                    // the lists' blocks
    uint32_t storeBlocks = 0;
    std::vector<uint32_t> firstBlock; // chunk x band: its list's first block
    std::vector<ListCursor> cursors;  // thread x cursorStride
    std::vector<BlockRange> batches;  // per thread
    int cursorStride = 0;
    std::vector<uint16_t> bandOfRow;
    int bands = 0, threads = 0, bandRows = 0;
};

extern MeshDrawing drawing;

inline bool Prepared(const Mesh &mesh) {
    return drawing.mesh == &mesh && drawing.meshVertices == MeshVertexCount(mesh) &&
           drawing.triangleCount == MeshTriangleCount(mesh) && mesh.indices.size() % 3 == 0 &&
           mesh.positions.size() == 3 * (size_t)drawing.meshVertices;
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

// What the set-up makes of a triangle from its corners' words.
enum class Setup { Dropped, Whole, Cut };

inline Setup SetUp(uint32_t k0, uint32_t k1, uint32_t k2) {
    if (k0 & k1 & k2 & OutsideBits) return Setup::Dropped; // all outside one plane
    return ((k0 | k1 | k2) & CutBits) ? Setup::Cut : Setup::Whole;
}

// The corners of a triangle further on, asked for ahead of their turn: a
// dense model's triangles reach their vertices all over the arrays, and
// waiting for each in turn costs more than the set-up.
constexpr uint32_t PrefetchAhead = 16;
inline void Prefetch(const uint32_t *corner) {
    const uint32_t *key = drawing.key.data();
    const ScreenVertex *screen = drawing.screen.data();
    for (int k = 0; k < 3; k++) {
        _mm_prefetch((const char *)(key + corner[k]), _MM_HINT_T0);
        _mm_prefetch((const char *)(screen + corner[k]), _MM_HINT_T0);
    }
}

// Rows of a triangle whose corners lie within this many rows of its top
// one are walked by LowTriangleRows; taller ones go to the rasteriser.
constexpr int32_t LowRows = 2;

// RowsToFill for a whole triangle from its corners' words: the same rows,
// without reading the projections; low when its corners lie within
// LowRows rows of its top one.
inline bool RowsToFill(uint32_t k0, uint32_t k1, uint32_t k2, int32_t &firstRow, int32_t &lastRow,
                       bool &low) {
    if ((k0 | k1 | k2) & OffScreenBit) return false;
    const int32_t a = (int32_t)(k0 >> RowShift), b = (int32_t)(k1 >> RowShift),
                  c = (int32_t)(k2 >> RowShift);
    const int32_t top = a < b ? (a < c ? a : c) : (b < c ? b : c);
    const int32_t bottom = a > b ? (a > c ? a : c) : (b > c ? b : c);
    const int32_t middle = a + b + c - top - bottom;
    firstRow = middle > top ? top + 1 : top;
    lastRow = bottom - 1;
    low = bottom - top <= LowRows;
    return firstRow <= lastRow;
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

// The rasteriser's span set-up for one row, from its two sides: where the
// span starts in the buffers (row * width + column), its pixels and its
// values; false when it has no pixel.
struct RowSpan {
    int32_t at, count;
    __m128 start, step;
};

inline bool SpanOf(int32_t row, const SideAt &l, const SideAt &r, RowSpan &span) {
    const float w = r.x - l.x;
    if (!(l.x > -1.0f && l.x < (float)Target.width)) return false;
    const int32_t first = (int32_t)l.x;
    const double wide = (double)w + 0.99;
    if (!(wide >= 1.0)) return false;
    int32_t count = wide < (double)MaxFrameWidth ? (int32_t)wide : MaxFrameWidth;
    if (count > Target.width - first) count = Target.width - first;
    span.start = l.Values();
    span.step = _mm_setzero_ps(); // read only from the second pixel on
    if (count > 1) {
        const float inverse = w == 0.0f ? 0.0f : 1.0f / w;
        span.step = _mm_mul_ps(_mm_sub_ps(r.Values(), span.start), _mm_set1_ps(inverse));
    }
    span.at = row * Target.width + first;
    span.count = count;
    return true;
}

inline void FillRowSpan(const RowSpan &s) {
    FillSpan(Target.colour + s.at, Target.depth + s.at, s.count, s.start, s.step);
}

// Hands each row of a triangle whose rows lie within its top row and the
// next two (bottom - top <= LowRows) to row(i, left, right), in the
// rasteriser's order; the caller has checked the height.
template <typename Row>
inline void LowTriangleRows(const ScreenVertex *p0, const ScreenVertex *p1, const ScreenVertex *p2,
                            Row row) {
    // Exactly the rasteriser's three compare-exchanges.
    if (p0->y > p2->y) std::swap(p0, p2);
    if (p0->y > p1->y) std::swap(p0, p1);
    if (p1->y > p2->y) std::swap(p1, p2);
    const int32_t yTop = (int32_t)p0->y, yMid = (int32_t)p1->y, yBot = (int32_t)p2->y;
    const float longX = StepX(*p0, *p2), upperX = StepX(*p0, *p1);
    const bool shortOnRight = upperX > longX;
    auto sides = [&](int32_t i, const SideAt &longSide, const SideAt &shortSide) {
        if (shortOnRight)
            row(i, longSide, shortSide);
        else
            row(i, shortSide, longSide);
    };
    const SideAt longTop{p0->x, p0, nullptr}, longNext{p0->x + longX, p0, p2};
    if (yMid == yTop) {
        // No upper half: the short side starts at the middle vertex.
        sides(yTop, longTop, {p1->x, p1, nullptr});
        if (yBot == yTop + 2) sides(yTop + 1, longNext, {p1->x + StepX(*p1, *p2), p1, p2});
    } else if (yBot == yTop + 2) {
        // The top row has both sides at the top vertex: empty.
        if (yMid == yTop + 1)
            sides(yMid, longNext, {p1->x, p1, nullptr});
        else
            sides(yTop + 1, longNext, {p0->x + upperX, p0, p1});
    }
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
// nothing after the transform reads): each corner transformed again, with
// the products and sums TransformVertices gave it.
void InCameraSpace(TriangleRecord &t, const uint32_t *corner);
} // namespace mesh_parts
