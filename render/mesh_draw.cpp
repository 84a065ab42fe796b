#include "render/mesh_draw.h"

#include <cstdint>
#include <emmintrin.h>
#include <new>

#include "render/frustum.h"
#include "render/matrix.h"
#include "render/mesh_draw_parts.h"
#include "render/pipeline.h"
#include "render/projection.h"
#include "render/raster.h"

namespace mesh_parts {
MeshDrawing drawing;

// Lane by lane what SnapOffset does to one offset: the same tests, the same
// conversions (a truncating cvttps2dq is what the cast compiles to), each
// lane on its own.
inline __m128 SnapOffsets(__m128 offset) {
    const __m128 half = _mm_set1_ps(0.5f), whole = _mm_set1_ps(8388608.0f);
    const __m128 inRange = _mm_and_ps(_mm_cmpgt_ps(offset, half), _mm_cmplt_ps(offset, whole));
    const __m128 frac = _mm_sub_ps(offset, _mm_cvtepi32_ps(_mm_cvttps_epi32(offset)));
    const __m128 up = _mm_and_ps(inRange, _mm_cmpgt_ps(frac, half));
    const __m128 next = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_add_ps(offset, _mm_set1_ps(1.0f))));
    return _mm_or_ps(_mm_and_ps(up, next), _mm_andnot_ps(up, offset));
}

// The vertices first..end-1: TransformVertex's products and sums for w = 1,
// the six distances PlaneDistance gives, and for a vertex inside all six
// planes DrawTriangle's projection (a triangle whose corners all lie inside
// is not changed by the clipper, so its corners are projected as they are)
// with the rasteriser's screen test and row. Four vertices at a time, one
// in each lane: every lane's operations are the scalar ones in the same
// order, and the lane-wise instructions round as the scalar ones do.
void TransformVertices(uint32_t first, uint32_t end) {
    const float *m = CurrentMatrix.m;
    const float *in = drawing.positions.data();
    const ViewFrustum &f = Frustum;
    const ClipPlane planes[6] = {f.nearPlane,  f.farPlane, f.leftPlane,
                                 f.rightPlane, f.topPlane, f.bottomPlane};
    const Projection projection = ProjectionOf(f);
    const float width = (float)Target.width, height = (float)Target.height;
    ScreenVertex *screen = drawing.screen.data();
    uint32_t *key = drawing.key.data();
    uint32_t i = first;
    const __m128 w = _mm_set1_ps(1.0f), zero = _mm_setzero_ps(), threshold = _mm_set1_ps(1e-16f);
    __m128 row[3][4];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++) row[r][c] = _mm_set1_ps(m[4 * r + c]);
    const __m128 inv = _mm_set1_ps(projection.inv), cx = _mm_set1_ps(projection.cx),
                 cy = _mm_set1_ps(projection.cy), one = _mm_set1_ps(1.0f);
    const __m128 sign = _mm_set1_ps(-0.0f), minusOne = _mm_set1_ps(-1.0f),
                 right = _mm_set1_ps(width), bottom = _mm_set1_ps(height);
    for (; i + 4 <= end; i += 4) {
        alignas(16) float xs[4], ys[4], zs[4];
        for (int k = 0; k < 4; k++)
            xs[k] = in[3 * (i + k)], ys[k] = in[3 * (i + k) + 1], zs[k] = in[3 * (i + k) + 2];
        const __m128 x = _mm_load_ps(xs), y = _mm_load_ps(ys), z = _mm_load_ps(zs);
        __m128 v[3];
        for (int r = 0; r < 3; r++)
            v[r] = _mm_add_ps(
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(row[r][0], x), _mm_mul_ps(row[r][1], y)),
                           _mm_mul_ps(row[r][2], z)),
                _mm_mul_ps(row[r][3], w));
        __m128i bits = _mm_setzero_si128();
        for (int p = 0; p < 6; p++) {
            const ClipPlane &q = planes[p];
            const __m128 d = _mm_sub_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(q.a), v[0]),
                                                              _mm_mul_ps(_mm_set1_ps(q.b), v[1])),
                                                   _mm_mul_ps(_mm_set1_ps(q.c), v[2])),
                                        _mm_set1_ps(q.d));
            // NaN: inside both ways.
            const __m128i o = _mm_castps_si128(_mm_cmple_ps(d, zero));
            const __m128i c = _mm_castps_si128(_mm_cmple_ps(d, threshold));
            bits = _mm_or_si128(bits, _mm_and_si128(o, _mm_set1_epi32(1 << p)));
            bits = _mm_or_si128(bits, _mm_and_si128(c, _mm_set1_epi32(1 << (p + CutShift))));
        }
        // ProjectVertex, lane by lane.
        const __m128 k = _mm_mul_ps(inv, v[2]);
        const __m128 sx = _mm_div_ps(v[0], _mm_xor_ps(k, sign));
        const __m128 sy = _mm_div_ps(v[1], k);
        const __m128 px = _mm_add_ps(cx, SnapOffsets(sx)), py = _mm_add_ps(cy, SnapOffsets(sy));
        // OnScreen, lane by lane (false for not a number), and the row.
        const __m128 on =
            _mm_and_ps(_mm_and_ps(_mm_cmpgt_ps(px, minusOne), _mm_cmple_ps(px, right)),
                       _mm_and_ps(_mm_cmpgt_ps(py, minusOne), _mm_cmple_ps(py, bottom)));
        const __m128i onScreen = _mm_castps_si128(on);
        const __m128i rows =
            _mm_and_si128(onScreen, _mm_slli_epi32(_mm_cvttps_epi32(py), RowShift));
        bits = _mm_or_si128(
            bits, _mm_or_si128(rows, _mm_andnot_si128(onScreen, _mm_set1_epi32(OffScreenBit))));
        alignas(16) float px4[4], py4[4], pz4[4];
        _mm_store_ps(pz4, _mm_div_ps(one, v[2]));
        _mm_store_ps(px4, px);
        _mm_store_ps(py4, py);
        _mm_storeu_si128((__m128i *)(key + i), bits);
        for (int k = 0; k < 4; k++) {
            ScreenVertex &sv = screen[i + k];
            sv.x = px4[k], sv.y = py4[k], sv.z = pz4[k]; // read only when no cut bit is set
        }
    }
    const float one1 = 1.0f;
    for (; i < end; i++) {
        const float x = in[3 * i], y = in[3 * i + 1], z = in[3 * i + 2];
        Vertex v;
        v.x = ((m[0] * x + m[1] * y) + m[2] * z) + m[3] * one1;
        v.y = ((m[4] * x + m[5] * y) + m[6] * z) + m[7] * one1;
        v.z = ((m[8] * x + m[9] * y) + m[10] * z) + m[11] * one1;
        uint32_t bits = 0;
        for (int p = 0; p < 6; p++) {
            const float d = PlaneDistance(planes[p], v); // NaN: inside both ways
            bits |= (uint32_t)(d <= 0.0f) << p;
            bits |= (uint32_t)(d <= 1e-16f) << (p + CutShift);
        }
        if ((bits & CutBits) == 0) {
            ScreenVertex &sv = screen[i];
            sv.x = v.x, sv.y = v.y, sv.z = v.z;
            ProjectVertex(projection, sv.x, sv.y, sv.z);
            if (OnScreen(sv.x, sv.y, width, height))
                bits |= (uint32_t)(int32_t)sv.y << RowShift;
            else
                bits |= OffScreenBit;
        }
        key[i] = bits;
    }
}

void InCameraSpace(TriangleRecord &t, const uint32_t *corner) {
    const float *m = CurrentMatrix.m;
    const float *in = drawing.positions.data();
    const ScreenVertex *screen = drawing.screen.data();
    const float one = 1.0f;
    for (int k = 0; k < 3; k++) {
        const uint32_t i = corner[k];
        const float x = in[3 * i], y = in[3 * i + 1], z = in[3 * i + 2];
        t.v[k] = {((m[0] * x + m[1] * y) + m[2] * z) + m[3] * one,
                  ((m[4] * x + m[5] * y) + m[6] * z) + m[7] * one,
                  ((m[8] * x + m[9] * y) + m[10] * z) + m[11] * one,
                  1.0f,
                  screen[i].r,
                  screen[i].g,
                  screen[i].b};
    }
    t.clipFlags = 0;
}

// Triangles first..end-1 on this thread, each drawn (or handed to
// ProjectedSink) before the next.
void DrawTriangles(uint32_t first, uint32_t end) {
    const uint32_t *index = drawing.indices.data();
    const uint32_t *key = drawing.key.data();
    const ScreenVertex *screen = drawing.screen.data();
    for (uint32_t i = first; i < end; i++) {
        const uint32_t *corner = index + 3 * i;
        if (i + PrefetchAhead < end) Prefetch(corner + 3 * PrefetchAhead);
        const uint32_t k0 = key[corner[0]], k1 = key[corner[1]], k2 = key[corner[2]];
        const Setup setup = SetUp(k0, k1, k2);
        if (setup == Setup::Dropped) continue;
        TriangleRecord t;
        if (setup == Setup::Cut) {
            InCameraSpace(t, corner);
            DrawTriangle(t, false);
            continue;
        }
        int32_t firstRow, lastRow;
        bool low;
        if (!RowsToFill(k0, k1, k2, firstRow, lastRow, low)) continue;
        if (low && !ProjectedSink) {
            LowTriangleRows(&screen[corner[0]], &screen[corner[1]], &screen[corner[2]],
                            [](int32_t row, const SideAt &l, const SideAt &r) {
                                RowSpan span;
                                if (SpanOf(row, l, r, span)) FillRowSpan(span);
                            });
            continue;
        }
        Projected(t, corner);
        if (ProjectedSink)
            ProjectedSink(t);
        else
            RasteriseTriangle(t);
    }
}
} // namespace mesh_parts

using namespace mesh_parts;

namespace {
constexpr uint32_t NoVertex = 0xffffffffu;

void DrawAsRecords(const Mesh &mesh) {
    const uint32_t triangles = MeshTriangleCount(mesh);
    for (uint32_t i = 0; i < triangles; i++) {
        TriangleRecord t;
        for (int k = 0; k < 3; k++) {
            const uint32_t v = mesh.indices[3 * i + k];
            t.v[k] = {
                mesh.positions[3 * v], mesh.positions[3 * v + 1], mesh.positions[3 * v + 2], 1.0f,
                mesh.colours[3 * v],   mesh.colours[3 * v + 1],   mesh.colours[3 * v + 2]};
        }
        t.clipFlags = 0;
        DrawTriangle(t, true);
    }
}
} // namespace

bool PrepareMeshDrawing(const Mesh &mesh) {
    ReleaseMeshDrawing();
    const uint32_t vertices = MeshVertexCount(mesh), triangles = MeshTriangleCount(mesh);
    if (mesh.positions.size() != 3 * (size_t)vertices ||
        mesh.colours.size() < 3 * (size_t)vertices || mesh.indices.size() % 3 != 0 ||
        mesh.indices.size() / 3 >= PieceBit)
        return false;
    for (uint32_t i : mesh.indices)
        if (i >= vertices) return false;
    try {
        MeshDrawing d;
        d.chunkTriangles = (triangles + MaxChunks - 1) / MaxChunks;
        if (d.chunkTriangles < MinChunkTriangles) d.chunkTriangles = MinChunkTriangles;
        d.chunkCount = triangles == 0 ? 0 : (triangles + d.chunkTriangles - 1) / d.chunkTriangles;
        d.chunkVertices.reserve((size_t)d.chunkCount + 1);
        d.transformed.reset(new std::atomic<uint32_t>[d.chunkCount + 1]);
        for (uint32_t c = 0; c <= d.chunkCount; c++) d.transformed[c].store(0);
        std::vector<uint32_t> number(vertices, NoVertex);
        d.indices.resize(mesh.indices.size());
        for (size_t i = 0; i < mesh.indices.size(); i++) {
            if (i % (3 * (size_t)d.chunkTriangles) == 0) d.chunkVertices.push_back(d.vertexCount);
            uint32_t &n = number[mesh.indices[i]];
            if (n == NoVertex) n = d.vertexCount++;
            d.indices[i] = n;
        }
        d.chunkVertices.push_back(d.vertexCount);
        d.positions.resize(3 * (size_t)d.vertexCount);
        d.key.resize(d.vertexCount);
        d.screen.resize(d.vertexCount);
        for (uint32_t i = 0; i < vertices; i++) {
            const uint32_t n = number[i];
            if (n == NoVertex) continue;
            for (int k = 0; k < 3; k++)
                d.positions[3 * (size_t)n + k] = mesh.positions[3 * (size_t)i + k];
            d.screen[n].r = mesh.colours[3 * (size_t)i];
            d.screen[n].g = mesh.colours[3 * (size_t)i + 1];
            d.screen[n].b = mesh.colours[3 * (size_t)i + 2];
        }
        d.pieces.resize(MinPieces + triangles / TrianglesPerPiece);
        d.mesh = &mesh;
        d.meshVertices = vertices;
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
