// The bands' share of indexed drawing: the vertices, the triangles' set-up
// and the bands each shared among the band threads (render/bands.h).
#include <atomic>
#include <cstdint>
#include <new>

#include "render/bands.h"
#include "render/mesh_draw.h"
#include "render/mesh_draw_parts.h"
#include "render/pipeline.h"
#include "render/raster.h"

using namespace mesh_parts;

namespace {
std::atomic<uint32_t> piecesUsed{0};
std::atomic<bool> overflow{false};

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
    const uint32_t end =
        first + ChunkVertices < drawing.vertexCount ? first + ChunkVertices : drawing.vertexCount;
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
