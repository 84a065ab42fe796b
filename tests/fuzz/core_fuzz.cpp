// Fuzz target for the rendering core: arbitrary bytes become a current matrix
// and up to eight triangle records with any flag word and any float bit
// patterns, drawn with the transform on or off into a render target whose two
// buffers sit between guard zones.
//
// Input layout (short input is padded with zero bytes):
//   byte 0        bit 0: transform on; bit 1: a matrix follows (else identity);
//                 bit 2: a frame size follows (else 512 x 384)
//   2 bytes       width and height, each 16 + byte % 113, only when bit 2 is set
//   64 bytes      Matrix4, row-major, only when bit 1 is set
//   88 bytes each TriangleRecord as it lies in memory, one to eight of them
//
// Every input is drawn once with each span fill this processor runs; the
// wider fills must leave both buffers exactly as the baseline fill does.
//
// A fault is reported by abort() after a one-line description, so libFuzzer
// (and the replay driver) keep the input that caused it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/fill_path.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "render/matrix.h"
#include "render/pipeline.h"
#include "render/render_target.h"
#include "render/setup.h"
#include "tests/hardening/guard_zone.h"

namespace {
constexpr int Width = DefaultFrameWidth, Height = DefaultFrameHeight;
constexpr size_t Pixels = (size_t)Width * Height;
// 32 rows on each side: an off-by-rows write or a negative column lands here
// rather than in other memory ASan would accept.
constexpr size_t GuardBytes = 32 * Width * 4;
constexpr int MaxRecords = 8;

// The frame being drawn: the 512 x 384 buffers made once, or a small frame's
// made for the input, each between its own guard zones.
GuardedBuffer ColourZone, DepthZone, SmallColourZone, SmallDepthZone;
GuardedBuffer *Colours = &ColourZone, *Depths = &DepthZone;
size_t DrawnPixels = Pixels;
constexpr int SmallSizes = 113; // 16 to 128 pixels a side

void Fail(const char *what) {
    std::fprintf(stderr, "core_fuzz: %s\n", what);
    std::abort();
}

void CheckGuards(const char *when) {
    ptrdiff_t at = 0;
    if (!GuardsIntact(*Colours, &at)) {
        std::fprintf(stderr, "core_fuzz: colour guard byte %td changed %s\n", at, when);
        std::abort();
    }
    if (!GuardsIntact(*Depths, &at)) {
        std::fprintf(stderr, "core_fuzz: depth guard byte %td changed %s\n", at, when);
        std::abort();
    }
}

void SetUpOnce() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    SetUpRenderer(Width, Height, (uint32_t *)GuardedAlloc(ColourZone, Pixels * 4, GuardBytes),
                  (float *)GuardedAlloc(DepthZone, Pixels * 4, GuardBytes));
    std::memset(Target.colour, 0x5A, Pixels * 4);
    std::memset(Target.depth, 0x5A, Pixels * 4);
    ClearRenderTarget((int32_t)Pixels, Target.colour, Target.depth);
    CheckGuards("by the clear");
    for (size_t i = 0; i < Pixels; i++)
        if (Target.colour[i] != 0 || Target.depth[i] != 0.0f) Fail("the clear missed a pixel");
}

// Screen, frustum and target for a frame of this size: the standard one, or
// small buffers with guard zones of four rows (at least 1 KiB) each side.
void UseSize(int width, int height) {
    DrawnPixels = (size_t)width * height;
    if (width == Width && height == Height) {
        Colours = &ColourZone, Depths = &DepthZone;
    } else {
        const size_t guard = 4 * (size_t)width * 4 < 1024 ? 1024 : 4 * (size_t)width * 4;
        GuardedAlloc(SmallColourZone, DrawnPixels * 4, guard);
        GuardedAlloc(SmallDepthZone, DrawnPixels * 4, guard);
        Colours = &SmallColourZone, Depths = &SmallDepthZone;
    }
    SetUpRenderer(width, height, (uint32_t *)(Colours->block + Colours->guardBytes),
                  (float *)(Depths->block + Depths->guardBytes));
}

void DoneWithSize() {
    if (Colours == &SmallColourZone) GuardedFree(SmallColourZone), GuardedFree(SmallDepthZone);
}

// Copies up to n bytes from the input cursor into out, zero-padding the rest.
void Take(const uint8_t *&data, size_t &size, void *out, size_t n) {
    size_t have = size < n ? size : n;
    std::memset(out, 0, n);
    std::memcpy(out, data, have);
    data += have;
    size -= have;
}

// Draws the records into a cleared target, checking after each that nothing
// outside the buffers and nothing the caller owns was written.
void DrawRecords(const TriangleRecord *records, int count, bool transform) {
    // The same zero bytes the clear writes, without its 49,152 instrumented
    // loop steps, which would otherwise cost most of each run.
    std::memset(Target.colour, 0, DrawnPixels * 4);
    std::memset(Target.depth, 0, DrawnPixels * 4);

    const Matrix4 matrixBefore = CurrentMatrix;
    const ViewFrustum frustumBefore = Frustum;
    for (int n = 0; n < count; n++) {
        TriangleRecord record;
        std::memcpy(&record, &records[n], sizeof record);
        DrawTriangle(record, transform);

        CheckGuards("by DrawTriangle");
        if (std::memcmp(&records[n], &record, sizeof record) != 0)
            Fail("the caller's record was written");
        if (std::memcmp(&matrixBefore, &CurrentMatrix, sizeof matrixBefore) != 0)
            Fail("CurrentMatrix changed during a draw");
        if (std::memcmp(&frustumBefore, &Frustum, sizeof frustumBefore) != 0)
            Fail("the view frustum changed during a draw");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    SetUpOnce();

    uint8_t mode = 0;
    Take(data, size, &mode, 1);
    const bool transform = mode & 1;
    if (mode & 4) {
        uint8_t side[2];
        Take(data, size, side, 2);
        UseSize(16 + side[0] % SmallSizes, 16 + side[1] % SmallSizes);
    } else {
        UseSize(Width, Height);
    }
    if (mode & 2)
        Take(data, size, &CurrentMatrix, sizeof CurrentMatrix);
    else
        ResetMatrix(CurrentMatrix);

    TriangleRecord records[MaxRecords];
    int count = 0;
    while (count < MaxRecords) {
        Take(data, size, &records[count++], sizeof(TriangleRecord));
        if (size == 0) break;
    }

    static uint32_t baselineColour[Pixels];
    static float baselineDepth[Pixels];
    for (int path = 0; path < FillPathCount; path++) {
        if (!FillPathRuns((FillPath)path)) continue;
        UseFillPath((FillPath)path);
        DrawRecords(records, count, transform);
        if (path == FillPathBaseline) {
            std::memcpy(baselineColour, Target.colour, DrawnPixels * 4);
            std::memcpy(baselineDepth, Target.depth, DrawnPixels * 4);
        } else if (std::memcmp(baselineColour, Target.colour, DrawnPixels * 4) != 0 ||
                   std::memcmp(baselineDepth, Target.depth, DrawnPixels * 4) != 0) {
            std::fprintf(stderr, "core_fuzz: the %s fill drew a different frame\n",
                         FillPathName((FillPath)path));
            std::abort();
        }
    }
    UseFillPath(FillPathBaseline);
    DoneWithSize();
    return 0;
}
