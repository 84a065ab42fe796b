// The bands' share of indexed drawing: the vertices, the triangles' set-up
// and the bands each shared among the band threads (render/bands.h).
//
// Each chunk of triangles is set up by one thread, in order, into one list
// per band: the spans of its low triangles (one or two rows, most of a dense
// model's) worked out to the last value, so that a band only fills them,
// and references to the taller triangles and the clipper's pieces, which
// each band they reach rasterises within its rows. A band then goes through
// chunk 0's list, chunk 1's and so on: every band's pixels see their
// triangles in index order, as on one thread.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#include "render/bands.h"
#include "render/mesh_draw.h"
#include "render/mesh_draw_parts.h"
#include "render/pipeline.h"
#include "render/raster.h"

using namespace mesh_parts;

namespace {
std::atomic<uint32_t> piecesUsed{0}, blocksUsed{0};
std::atomic<bool> overflow{false};

// An entry's first word: where the span starts in the buffers and its pixel
// count (a span), or what to rasterise and 0 (a reference). A span's start
// values follow in two words, and from two pixels on its steps in two more.
inline uint64_t EntryWord(uint32_t low, int32_t count) {
    return (uint64_t)low | (uint64_t)(uint32_t)count << 32;
}

// The lists of the chunk a thread is setting up: one cursor per band.
struct ChunkLists {
    ListCursor *cursor;
    BlockRange *batch;

    // Room for words more words at the end of band's list, or null when the
    // store is full.
    uint64_t *Room(int band, uint32_t words) {
        ListCursor &c = cursor[band];
        if (c.block == NoBlock || c.used + words > BlockWords) {
            if (batch->next == batch->end) {
                const uint32_t taken = blocksUsed.fetch_add(BlockBatch, std::memory_order_relaxed);
                if (taken >= drawing.storeBlocks) {
                    overflow.store(true, std::memory_order_relaxed);
                    return nullptr;
                }
                batch->next = taken;
                batch->end = drawing.storeBlocks - taken < BlockBatch ? drawing.storeBlocks
                                                                      : taken + BlockBatch;
            }
            const uint32_t block = batch->next++;
            if (c.block == NoBlock)
                c.first = block;
            else
                Close(c, block);
            c.block = block, c.used = 1;
        }
        uint64_t *at = &drawing.store[(size_t)c.block * BlockWords + c.used];
        c.used += words;
        return at;
    }
    // A block's header: the next block and the words used.
    static void Close(const ListCursor &c, uint32_t next) {
        drawing.store[(size_t)c.block * BlockWords] = EntryWord(next, (int32_t)c.used);
    }

    void AddSpan(int32_t row, const RowSpan &s) {
        const uint32_t words = s.count > 1 ? 5 : 3;
        uint64_t *at = Room(drawing.bandOfRow[row], words);
        if (!at) return;
        at[0] = EntryWord((uint32_t)s.at, s.count);
        std::memcpy(at + 1, &s.start, 16);
        if (s.count > 1) std::memcpy(at + 3, &s.step, 16);
    }
    void AddReference(uint32_t ref, int32_t firstRow, int32_t lastRow) {
        const int last = drawing.bandOfRow[lastRow];
        for (int b = drawing.bandOfRow[firstRow]; b <= last; b++)
            if (uint64_t *at = Room(b, 1)) at[0] = EntryWord(ref, 0);
    }
};

thread_local ChunkLists *settingUp; // where the clipper's pieces go

void KeepPiece(TriangleRecord &piece) {
    int32_t firstRow, lastRow;
    if (!RowsToFill(piece, firstRow, lastRow)) return;
    const uint32_t at = piecesUsed.fetch_add(1, std::memory_order_relaxed);
    if (at >= drawing.pieces.size()) {
        overflow.store(true, std::memory_order_relaxed);
        return;
    }
    drawing.pieces[at] = piece;
    settingUp->AddReference(PieceBit | at, firstRow, lastRow);
}

// Sets up a chunk's triangles in order into its lists.
void SetUpChunk(int unit, int thread) {
    const uint32_t chunk = (uint32_t)unit;
    const uint32_t first = chunk * drawing.chunkTriangles;
    const uint32_t end = first + drawing.chunkTriangles < drawing.triangleCount
                             ? first + drawing.chunkTriangles
                             : drawing.triangleCount;
    const int bands = drawing.bands;
    ChunkLists lists{&drawing.cursors[(size_t)thread * drawing.cursorStride],
                     &drawing.batches[thread]};
    for (int b = 0; b < bands; b++) lists.cursor[b].block = NoBlock;
    settingUp = &lists;
    const uint32_t *index = drawing.indices.data();
    const uint32_t *key = drawing.key.data();
    const ScreenVertex *screen = drawing.screen.data();
    for (uint32_t i = first; i < end; i++) {
        const uint32_t *corner = index + 3 * i;
        if (i + PrefetchAhead < end) Prefetch(corner + 3 * PrefetchAhead);
        const uint32_t k0 = key[corner[0]], k1 = key[corner[1]], k2 = key[corner[2]];
        const Setup setup = SetUp(k0, k1, k2);
        if (setup == Setup::Dropped) continue;
        if (setup == Setup::Cut) {
            TriangleRecord t;
            InCameraSpace(t, corner);
            DrawTriangle(t, false); // the pieces go to KeepPiece
            continue;
        }
        int32_t firstRow, lastRow;
        bool low;
        if (!RowsToFill(k0, k1, k2, firstRow, lastRow, low)) continue;
        if (!low) {
            lists.AddReference(i, firstRow, lastRow);
            continue;
        }
        LowTriangleRows(&screen[corner[0]], &screen[corner[1]], &screen[corner[2]],
                        [&](int32_t row, const SideAt &l, const SideAt &r) {
                            RowSpan span;
                            if (SpanOf(row, l, r, span)) lists.AddSpan(row, span);
                        });
    }
    uint32_t *firstBlock = &drawing.firstBlock[(size_t)chunk * bands];
    for (int b = 0; b < bands; b++) {
        const ListCursor &c = lists.cursor[b];
        firstBlock[b] = c.block == NoBlock ? NoBlock : c.first;
        if (c.block != NoBlock) ChunkLists::Close(c, NoBlock);
    }
}

void DrawMeshBand(int band, int) {
    int32_t first, end;
    ClearBand(band, first, end);
    const uint32_t *index = drawing.indices.data();
    const uint64_t *store = drawing.store.get();
    uint32_t *colour = Target.colour;
    float *depth = Target.depth;
    for (uint32_t chunk = 0; chunk < drawing.chunkCount; chunk++) {
        uint32_t block = drawing.firstBlock[(size_t)chunk * drawing.bands + band];
        while (block != NoBlock) {
            const uint64_t *word = store + (size_t)block * BlockWords;
            const uint64_t *blockEnd = word + (uint32_t)(word[0] >> 32);
            block = (uint32_t)word[0];
            for (word++; word < blockEnd;) {
                const uint32_t low = (uint32_t)word[0];
                const int32_t count = (int32_t)(word[0] >> 32);
                if (count > 0) {
                    __m128 start, step = _mm_setzero_ps();
                    std::memcpy(&start, word + 1, 16);
                    if (count > 1) std::memcpy(&step, word + 3, 16);
                    FillSpan(colour + low, depth + low, count, start, step);
                    word += count > 1 ? 5 : 3;
                    continue;
                }
                TriangleRecord t; // the rasteriser reorders its vertices
                if (low & PieceBit)
                    t = drawing.pieces[low & ~PieceBit];
                else
                    Projected(t, index + 3 * (size_t)low);
                RasteriseTriangleRows(t, first, end);
                word++;
            }
        }
    }
}

void ClearOnly(int band, int) {
    int32_t first, end;
    ClearBand(band, first, end);
}

// The frame being drawn, as the chunks' transformed marks hold it (0: none).
uint32_t frameMark;
std::atomic<uint32_t> chunksSetUp{0};
// The chunks below this one a thread has seen transformed, in frameSeen.
thread_local uint32_t transformedBelow, frameSeen;

void Wait() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

// The first units are the chunks: each transforms the vertices it is the
// first to use, waits until every earlier chunk has done the same (its
// triangles use theirs too) and sets up its triangles. The rest are the
// bands, which start once every chunk's lists are in. Units are claimed in
// rising order, so whatever a unit waits for has been taken by a thread
// that does not wait on it.
void ChunkOrBand(int unit, int thread) {
    const uint32_t chunks = drawing.chunkCount, mark = frameMark;
    if ((uint32_t)unit >= chunks) {
        while (chunksSetUp.load(std::memory_order_acquire) < chunks) Wait();
        if (overflow.load(std::memory_order_relaxed))
            return ClearOnly(unit - (int)chunks, thread); // the caller draws the frame
        return DrawMeshBand(unit - (int)chunks, thread);
    }
    const uint32_t chunk = (uint32_t)unit;
    TransformVertices(drawing.chunkVertices[chunk], drawing.chunkVertices[chunk + 1]);
    drawing.transformed[chunk].store(mark, std::memory_order_release);
    if (frameSeen != mark) frameSeen = mark, transformedBelow = 0;
    while (transformedBelow < chunk) {
        if (drawing.transformed[transformedBelow].load(std::memory_order_acquire) == mark)
            transformedBelow++;
        else
            Wait();
    }
    SetUpChunk(unit, thread);
    chunksSetUp.fetch_add(1, std::memory_order_release);
}

// A store of that many blocks in place of the one there is; the old one
// stays when there is no memory for it. Not cleared: only what a frame
// writes is read, and only what is written is made resident.
void GrowStore(size_t blocks) {
    if (blocks >= NoBlock) blocks = NoBlock - 1;
    if (blocks <= drawing.storeBlocks) return;
    uint64_t *store = new (std::nothrow) uint64_t[blocks * BlockWords];
    if (!store) return;
    drawing.store.reset(store);
    drawing.storeBlocks = (uint32_t)blocks;
}

// Room for as many pieces as a frame made (at most what the clipper can
// make of every triangle), when it can be had.
void GrowPieces(size_t wanted) {
    const size_t most = (size_t)drawing.triangleCount * CollectedPerRecord;
    if (wanted > most) wanted = most;
    if (wanted <= drawing.pieces.size()) return;
    try {
        drawing.pieces.resize(wanted);
    } catch (const std::bad_alloc &) {
    }
}

// The lists' shape for this frame's bands and threads: sized again only
// when the frame size or the thread count has changed. False without room.
bool ShapeLists() {
    const int bands = BandCount(), threads = BandThreadCount(), rows = BandRows();
    if (drawing.bands == bands && drawing.threads == threads && drawing.bandRows == rows &&
        drawing.bandOfRow.size() == (size_t)Target.height + 1)
        return true;
    drawing.bands = 0;
    try {
        drawing.firstBlock.assign((size_t)drawing.chunkCount * bands, NoBlock);
        drawing.cursorStride = (bands + CursorsPerLine - 1) / CursorsPerLine * CursorsPerLine;
        drawing.cursors.assign((size_t)threads * drawing.cursorStride, ListCursor{});
        drawing.batches.assign((size_t)threads, BlockRange{});
        drawing.bandOfRow.resize((size_t)Target.height + 1);
        for (int32_t r = 0; r <= Target.height; r++)
            drawing.bandOfRow[r] = (uint16_t)(r / rows < bands ? r / rows : bands - 1);
        if (!drawing.store) {
            size_t bytes = StoreBytesPerTriangle * drawing.triangleCount;
            if (bytes < MinStoreBytes) bytes = MinStoreBytes;
            GrowStore(bytes / 8 / BlockWords);
        }
        if (!drawing.store) return false;
    } catch (const std::bad_alloc &) {
        return false;
    }
    drawing.bands = bands, drawing.threads = threads, drawing.bandRows = rows;
    return true;
}
} // namespace

void DrawMeshInBands(const Mesh &mesh) {
    if (!Prepared(mesh) || !ShapeLists()) {
        RunOnBandThreads(BandCount(), ClearOnly);
        return DrawMesh(mesh);
    }
    overflow.store(false, std::memory_order_relaxed);
    piecesUsed.store(0, std::memory_order_relaxed);
    blocksUsed.store(0, std::memory_order_relaxed);
    for (BlockRange &batch : drawing.batches) batch = BlockRange{};
    chunksSetUp.store(0, std::memory_order_relaxed);
    frameMark = frameMark == 0xffffffffu ? 1 : frameMark + 1;
    if (frameMark == 1)
        for (uint32_t c = 0; c <= drawing.chunkCount; c++) drawing.transformed[c].store(0);
    const ProjectedTriangleSink sink = ProjectedSink;
    ProjectedSink = KeepPiece;
    RunOnBandThreads((int)drawing.chunkCount + BandCount(), ChunkOrBand);
    ProjectedSink = sink;
    if (overflow.load(std::memory_order_relaxed)) {
        // More pieces or list entries than there is room for: the bands
        // only cleared, the same frame drawn on this thread (its vertices
        // are already done), and more room for the frames after it.
        if (blocksUsed.load(std::memory_order_relaxed) >= drawing.storeBlocks)
            GrowStore((size_t)drawing.storeBlocks * 2);
        GrowPieces(piecesUsed.load(std::memory_order_relaxed));
        DrawTriangles(0, drawing.triangleCount);
    }
}
