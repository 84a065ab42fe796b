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
// is not changed by the clipper, so its corners are projected as they are).
// Four vertices at a time, one in each lane: every lane's operations are
// the scalar ones in the same order, and the lane-wise instructions round
// as the scalar ones do.
void TransformVertices(uint32_t first, uint32_t end) {
    const float *m = CurrentMatrix.m;
    const float *in = drawing.mesh->positions.data();
    const ViewFrustum &f = Frustum;
    const ClipPlane planes[6] = {f.nearPlane,  f.farPlane, f.leftPlane,
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
            v[r] = _mm_add_ps(
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(row[r][0], x), _mm_mul_ps(row[r][1], y)),
                           _mm_mul_ps(row[r][2], z)),
                _mm_mul_ps(row[r][3], w));
        unsigned outBits[4] = {0, 0, 0, 0}, cutBits[4] = {0, 0, 0, 0};
        for (int p = 0; p < 6; p++) {
            const ClipPlane &q = planes[p];
            const __m128 d = _mm_sub_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(q.a), v[0]),
                                                              _mm_mul_ps(_mm_set1_ps(q.b), v[1])),
                                                   _mm_mul_ps(_mm_set1_ps(q.c), v[2])),
                                        _mm_set1_ps(q.d));
            const int o = _mm_movemask_ps(_mm_cmple_ps(d, zero)); // NaN: inside both ways
            const int c = _mm_movemask_ps(_mm_cmple_ps(d, threshold));
            for (int k = 0; k < 4; k++)
                outBits[k] |= (unsigned)((o >> k) & 1) << p, cutBits[k] |= (unsigned)((c >> k) & 1)
                                                                           << p;
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
} // namespace mesh_parts

using namespace mesh_parts;

namespace {
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
