#include "render/mesh_draw.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <emmintrin.h>
#include <new>
#include <utility>
#include <vector>

#include "render/bands.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "render/matrix.h"
#include "render/pipeline.h"
#include "render/projection.h"
#include "render/raster.h"
#include "render/render_target.h"
#include "render/span_fill.h"

namespace {
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
    std::vector<Item> items;               // chunk c's from c * itemsPerChunk
    std::vector<uint32_t> itemCount;       // per chunk
    std::vector<TriangleRecord> pieces;    // projected pieces of cut triangles
    std::vector<uint32_t> listed;          // every band's list, band after band
    std::vector<uint32_t> perBand;         // chunk x band: entries, then where they go
    std::vector<uint32_t> bandStart;       // band b's list is [bandStart[b], bandStart[b+1])
    int bands = 0;
};

MeshDrawing drawing;
std::atomic<uint32_t> piecesUsed{0};
std::atomic<bool> overflow{false};

bool Prepared(const Mesh &mesh) {
    return drawing.mesh == &mesh && drawing.vertexCount == MeshVertexCount(mesh) &&
           drawing.triangleCount == MeshTriangleCount(mesh) &&
           mesh.indices.size() % 3 == 0 && mesh.positions.size() == 3 * (size_t)drawing.vertexCount;
}

// Lane by lane what SnapOffset does to one offset: the same tests, the same
// conversions (a truncating cvttps2dq is what the cast compiles to), each
// lane on its own.
inline __m128 SnapOffsets(__m128 offset) {
    const __m128 half = _mm_set1_ps(0.5f), whole = _mm_set1_ps(8388608.0f);
    const __m128 inRange = _mm_and_ps(_mm_cmpgt_ps(offset, half), _mm_cmplt_ps(offset, whole));
    const __m128 frac = _mm_sub_ps(offset, _mm_cvtepi32_ps(_mm_cvttps_epi32(offset)));
    const __m128 up = _mm_and_ps(inRange, _mm_cmpgt_ps(frac, half));
    const __m128 next =
        _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_add_ps(offset, _mm_set1_ps(1.0f))));
    return _mm_or_ps(_mm_and_ps(up, next), _mm_andnot_ps(up, offset));
}

// The vertices first..end-1: TransformVertex's products and sums for w = 1,
// the six distances PlaneDistance gives, and for a vertex inside all six
// planes DrawTriangle's projection (a triangle whose corners all lie inside
// is not changed by the clipper, so its corners are projected as they are).
// Four vertices at a time, one in each lane: every lane's operations are
// the scalar ones in the same order, and the lane-wise instructions round
// as the scalar ones do.
void TransformVertices(uint32_t first, uint32_t end) {
    const float *m = CurrentMatrix.m;
    const float *in = drawing.mesh->positions.data();
    const ViewFrustum &f = Frustum;
    const ClipPlane planes[6] = {f.nearPlane, f.farPlane, f.leftPlane,
                                 f.rightPlane, f.topPlane, f.bottomPlane};
    const Projection projection = ProjectionOf(f);
    float *camera = drawing.camera.data();
    ScreenVertex *screen = drawing.screen.data();
    uint8_t *outside = drawing.outside.data(), *cut = drawing.cut.data();
    uint32_t i = first;
    const __m128 w = _mm_set1_ps(1.0f), zero = _mm_setzero_ps(), threshold = _mm_set1_ps(1e-16f);
    __m128 row[3][4];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++) row[r][c] = _mm_set1_ps(m[4 * r + c]);
    const __m128 inv = _mm_set1_ps(projection.inv), cx = _mm_set1_ps(projection.cx),
                 cy = _mm_set1_ps(projection.cy), one = _mm_set1_ps(1.0f);
    const __m128 sign = _mm_set1_ps(-0.0f);
    for (; i + 4 <= end; i += 4) {
        alignas(16) float xs[4], ys[4], zs[4];
        for (int k = 0; k < 4; k++)
            xs[k] = in[3 * (i + k)], ys[k] = in[3 * (i + k) + 1], zs[k] = in[3 * (i + k) + 2];
        const __m128 x = _mm_load_ps(xs), y = _mm_load_ps(ys), z = _mm_load_ps(zs);
        __m128 v[3];
        for (int r = 0; r < 3; r++)
            v[r] = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(row[r][0], x), _mm_mul_ps(row[r][1], y)),
                                         _mm_mul_ps(row[r][2], z)),
                              _mm_mul_ps(row[r][3], w));
        unsigned outBits[4] = {0, 0, 0, 0}, cutBits[4] = {0, 0, 0, 0};
        for (int p = 0; p < 6; p++) {
            const ClipPlane &q = planes[p];
            const __m128 d = _mm_sub_ps(
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(q.a), v[0]), _mm_mul_ps(_mm_set1_ps(q.b), v[1])),
                           _mm_mul_ps(_mm_set1_ps(q.c), v[2])),
                _mm_set1_ps(q.d));
            const int o = _mm_movemask_ps(_mm_cmple_ps(d, zero)); // NaN: inside both ways
            const int c = _mm_movemask_ps(_mm_cmple_ps(d, threshold));
            for (int k = 0; k < 4; k++)
                outBits[k] |= (unsigned)((o >> k) & 1) << p, cutBits[k] |= (unsigned)((c >> k) & 1) << p;
        }
        // ProjectVertex, lane by lane.
        const __m128 k = _mm_mul_ps(inv, v[2]);
        const __m128 sx = _mm_div_ps(v[0], _mm_xor_ps(k, sign));
        const __m128 sy = _mm_div_ps(v[1], k);
        alignas(16) float px[4], py[4], pz[4], vx[4], vy[4], vz[4];
        _mm_store_ps(pz, _mm_div_ps(one, v[2]));
        _mm_store_ps(px, _mm_add_ps(cx, SnapOffsets(sx)));
        _mm_store_ps(py, _mm_add_ps(cy, SnapOffsets(sy)));
        _mm_store_ps(vx, v[0]), _mm_store_ps(vy, v[1]), _mm_store_ps(vz, v[2]);
        for (int k = 0; k < 4; k++) {
            float *c = camera + 3 * (i + k);
            c[0] = vx[k], c[1] = vy[k], c[2] = vz[k];
            outside[i + k] = (uint8_t)outBits[k];
            cut[i + k] = (uint8_t)cutBits[k];
            ScreenVertex &sv = screen[i + k];
            sv.x = px[k], sv.y = py[k], sv.z = pz[k]; // read only when cut is 0
        }
    }
    const float one1 = 1.0f;
    for (; i < end; i++) {
        const float x = in[3 * i], y = in[3 * i + 1], z = in[3 * i + 2];
        Vertex v;
        v.x = ((m[0] * x + m[1] * y) + m[2] * z) + m[3] * one1;
        v.y = ((m[4] * x + m[5] * y) + m[6] * z) + m[7] * one1;
        v.z = ((m[8] * x + m[9] * y) + m[10] * z) + m[11] * one1;
        unsigned out = 0, cutBy = 0;
        for (int p = 0; p < 6; p++) {
            const float d = PlaneDistance(planes[p], v); // NaN: inside both ways
            out |= (unsigned)(d <= 0.0f) << p;
            cutBy |= (unsigned)(d <= 1e-16f) << p;
        }
        camera[3 * i] = v.x, camera[3 * i + 1] = v.y, camera[3 * i + 2] = v.z;
        outside[i] = (uint8_t)out;
        cut[i] = (uint8_t)cutBy;
        if (cutBy == 0) {
            ScreenVertex &sv = screen[i];
            sv.x = v.x, sv.y = v.y, sv.z = v.z;
            ProjectVertex(projection, sv.x, sv.y, sv.z);
        }
    }
}

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
        const __m128 v = ::Values(*from);
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
inline bool FillLowTriangle(const ScreenVertex *p0, const ScreenVertex *p1,
                            const ScreenVertex *p2, int32_t firstRow, int32_t endRow) {
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

// Triangles first..end-1 on this thread, each drawn (or handed to
// ProjectedSink) before the next.
void DrawTriangles(uint32_t first, uint32_t end) {
    const uint32_t *index = drawing.mesh->indices.data();
    const ScreenVertex *screen = drawing.screen.data();
    for (uint32_t i = first; i < end; i++) {
        const uint32_t *corner = index + 3 * i;
        const Setup setup = SetUp(corner);
        if (setup == Setup::Dropped) continue;
        TriangleRecord t;
        if (setup == Setup::Cut) {
            InCameraSpace(t, corner);
            DrawTriangle(t, false);
            continue;
        }
        const ScreenVertex &a = screen[corner[0]], &b = screen[corner[1]], &c = screen[corner[2]];
        int32_t firstRow, lastRow;
        if (!RowsToFill(a.x, a.y, b.x, b.y, c.x, c.y, firstRow, lastRow)) continue;
        if (!ProjectedSink && FillLowTriangle(&a, &b, &c, INT32_MIN, INT32_MAX)) continue;
        Projected(t, corner);
        if (ProjectedSink)
            ProjectedSink(t);
        else
            RasteriseTriangle(t);
    }
}

void DrawAsRecords(const Mesh &mesh) {
    const uint32_t triangles = MeshTriangleCount(mesh);
    for (uint32_t i = 0; i < triangles; i++) {
        TriangleRecord t;
        for (int k = 0; k < 3; k++) {
            const uint32_t v = mesh.indices[3 * i + k];
            t.v[k] = {mesh.positions[3 * v],  mesh.positions[3 * v + 1],
                      mesh.positions[3 * v + 2], 1.0f,
                      mesh.colours[3 * v],    mesh.colours[3 * v + 1],
                      mesh.colours[3 * v + 2]};
        }
        t.clipFlags = 0;
        DrawTriangle(t, true);
    }
}

// --- the bands' share ------------------------------------------------------

// The chunk a thread is setting up, where the clipper's pieces go.
thread_local uint32_t pieceChunk;

inline void AddItem(uint32_t chunk, uint32_t ref, int32_t firstRow, int32_t lastRow) {
    uint32_t &n = drawing.itemCount[chunk];
    if (n == drawing.itemsPerChunk) {
        overflow.store(true, std::memory_order_relaxed);
        return;
    }
    const int rows = BandRows();
    Item &item = drawing.items[(size_t)chunk * drawing.itemsPerChunk + n++];
    item.ref = ref;
    item.firstBand = (uint16_t)(firstRow / rows);
    item.lastBand = (uint16_t)(lastRow / rows);
    uint32_t *count = &drawing.perBand[(size_t)chunk * drawing.bands];
    for (int b = item.firstBand; b <= item.lastBand; b++) count[b]++;
}

void KeepPiece(TriangleRecord &piece) {
    int32_t firstRow, lastRow;
    if (!RowsToFill(piece, firstRow, lastRow)) return;
    const uint32_t at = piecesUsed.fetch_add(1, std::memory_order_relaxed);
    if (at >= drawing.pieces.size()) {
        overflow.store(true, std::memory_order_relaxed);
        return;
    }
    drawing.pieces[at] = piece;
    AddItem(pieceChunk, PieceBit | at, firstRow, lastRow);
}

void TransformChunk(int unit, int) {
    const uint32_t first = (uint32_t)unit * ChunkVertices;
    const uint32_t end = first + ChunkVertices < drawing.vertexCount ? first + ChunkVertices
                                                                     : drawing.vertexCount;
    TransformVertices(first, end);
}

// Sets up a chunk's triangles in order: each one that fills a row becomes
// an item, each piece of a cut one too, and every band they reach counts them.
void SetUpChunk(int unit, int) {
    const uint32_t chunk = (uint32_t)unit;
    const uint32_t first = chunk * drawing.chunkTriangles;
    const uint32_t end = first + drawing.chunkTriangles < drawing.triangleCount
                             ? first + drawing.chunkTriangles
                             : drawing.triangleCount;
    drawing.itemCount[chunk] = 0;
    uint32_t *count = &drawing.perBand[(size_t)chunk * drawing.bands];
    for (int b = 0; b < drawing.bands; b++) count[b] = 0;
    pieceChunk = chunk;
    const uint32_t *index = drawing.mesh->indices.data();
    const ScreenVertex *screen = drawing.screen.data();
    for (uint32_t i = first; i < end; i++) {
        const uint32_t *corner = index + 3 * i;
        const Setup setup = SetUp(corner);
        if (setup == Setup::Dropped) continue;
        if (setup == Setup::Cut) {
            TriangleRecord t;
            InCameraSpace(t, corner);
            DrawTriangle(t, false); // the pieces go to KeepPiece
            continue;
        }
        const ScreenVertex &a = screen[corner[0]], &b = screen[corner[1]], &c = screen[corner[2]];
        int32_t firstRow, lastRow;
        if (RowsToFill(a.x, a.y, b.x, b.y, c.x, c.y, firstRow, lastRow))
            AddItem(chunk, i, firstRow, lastRow);
    }
}

// Each chunk's items into the lists of the bands they reach, at the places
// the counts gave: every band's list holds chunk 0's entries, then chunk
// 1's, and so on, each chunk's in order, so each band draws in index order.
void ListChunk(int unit, int) {
    const uint32_t chunk = (uint32_t)unit;
    uint32_t *at = &drawing.perBand[(size_t)chunk * drawing.bands];
    const Item *item = &drawing.items[(size_t)chunk * drawing.itemsPerChunk];
    uint32_t *listed = drawing.listed.data();
    for (uint32_t n = drawing.itemCount[chunk]; n > 0; n--, item++)
        for (int b = item->firstBand; b <= item->lastBand; b++) listed[at[b]++] = item->ref;
}

void DrawMeshBand(int band, int) {
    int32_t first, end;
    ClearBand(band, first, end);
    const uint32_t *listed = drawing.listed.data();
    const uint32_t *index = drawing.mesh->indices.data();
    const ScreenVertex *screen = drawing.screen.data();
    for (uint32_t n = drawing.bandStart[band]; n < drawing.bandStart[band + 1]; n++) {
        const uint32_t ref = listed[n];
        TriangleRecord t; // the rasteriser reorders its vertices
        if (ref & PieceBit) {
            t = drawing.pieces[ref & ~PieceBit];
        } else {
            const uint32_t *corner = index + 3 * ref;
            if (FillLowTriangle(&screen[corner[0]], &screen[corner[1]], &screen[corner[2]], first,
                                end))
                continue;
            Projected(t, corner);
        }
        RasteriseTriangleRows(t, first, end);
    }
}

void ClearOnly(int band, int) {
    int32_t first, end;
    ClearBand(band, first, end);
}

// Where each chunk's entries go in each band's list; false when the lists
// would not fit.
bool PlaceEntries() {
    uint64_t at = 0;
    for (int b = 0; b < drawing.bands; b++) {
        drawing.bandStart[b] = (uint32_t)at;
        for (uint32_t c = 0; c < drawing.chunkCount; c++) {
            uint32_t &n = drawing.perBand[(size_t)c * drawing.bands + b];
            const uint32_t count = n;
            n = (uint32_t)at;
            at += count;
        }
    }
    if (at > drawing.listed.size()) return false;
    drawing.bandStart[drawing.bands] = (uint32_t)at;
    return true;
}
} // namespace

bool PrepareMeshDrawing(const Mesh &mesh) {
    ReleaseMeshDrawing();
    const uint32_t vertices = MeshVertexCount(mesh), triangles = MeshTriangleCount(mesh);
    if (mesh.positions.size() != 3 * (size_t)vertices || mesh.colours.size() < 3 * (size_t)vertices ||
        mesh.indices.size() % 3 != 0 || mesh.indices.size() / 3 >= PieceBit)
        return false;
    for (uint32_t i : mesh.indices)
        if (i >= vertices) return false;
    try {
        MeshDrawing d;
        d.camera.resize(3 * (size_t)vertices);
        d.outside.resize(vertices);
        d.cut.resize(vertices);
        d.screen.resize(vertices);
        for (uint32_t i = 0; i < vertices; i++) {
            d.screen[i].r = mesh.colours[3 * i];
            d.screen[i].g = mesh.colours[3 * i + 1];
            d.screen[i].b = mesh.colours[3 * i + 2];
        }
        d.chunkTriangles = (triangles + MaxChunks - 1) / MaxChunks;
        if (d.chunkTriangles < MinChunkTriangles) d.chunkTriangles = MinChunkTriangles;
        d.chunkCount = triangles == 0 ? 0 : (triangles + d.chunkTriangles - 1) / d.chunkTriangles;
        d.itemsPerChunk = d.chunkTriangles + ExtraItemsPerChunk;
        d.items.resize((size_t)d.chunkCount * d.itemsPerChunk);
        d.itemCount.resize(d.chunkCount);
        d.pieces.resize(MinPieces + triangles / TrianglesPerPiece);
        d.listed.resize((size_t)ListedPerTriangle * triangles + MinListed);
        d.mesh = &mesh;
        d.vertexCount = vertices;
        d.triangleCount = triangles;
        drawing = std::move(d);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

void ReleaseMeshDrawing() { drawing = MeshDrawing(); }

void DrawMesh(const Mesh &mesh) {
    if (!Prepared(mesh)) return DrawAsRecords(mesh);
    TransformVertices(0, drawing.vertexCount);
    DrawTriangles(0, drawing.triangleCount);
}

void DrawMeshInBands(const Mesh &mesh) {
    const int bands = BandCount();
    if (Prepared(mesh) && drawing.bands != bands) {
        // The lists' shape follows the band count: sized again only when
        // the frame size or the thread count has changed.
        try {
            drawing.perBand.assign((size_t)drawing.chunkCount * bands, 0);
            drawing.bandStart.assign((size_t)bands + 1, 0);
            drawing.bands = bands;
        } catch (const std::bad_alloc &) {
            drawing.bands = 0;
        }
    }
    if (!Prepared(mesh) || drawing.bands != bands) {
        RunOnBandThreads(bands, ClearOnly);
        return DrawMesh(mesh);
    }

    overflow.store(false, std::memory_order_relaxed);
    piecesUsed.store(0, std::memory_order_relaxed);
    RunOnBandThreads((int)((drawing.vertexCount + ChunkVertices - 1) / ChunkVertices),
                     TransformChunk);
    const ProjectedTriangleSink sink = ProjectedSink;
    ProjectedSink = KeepPiece;
    RunOnBandThreads((int)drawing.chunkCount, SetUpChunk);
    ProjectedSink = sink;
    if (overflow.load(std::memory_order_relaxed) || !PlaceEntries()) {
        // More pieces or entries than the lists hold: the same frame on
        // this thread (its vertices are already done).
        RunOnBandThreads(bands, ClearOnly);
        DrawTriangles(0, drawing.triangleCount);
        return;
    }
    RunOnBandThreads((int)drawing.chunkCount, ListChunk);
    RunOnBandThreads(bands, DrawMeshBand);
}
