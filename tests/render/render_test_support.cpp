#include "tests/render/render_test_support.h"

#include <new>

#include "render/frustum.h"
#include "render/matrix.h"
#include "render/raster.h"
#include "render/render_target.h"
#include "render/span_fill.h"

SeamLog Seen;

// The linker routes every call of the two functions here (--wrap); the
// originals stay reachable as __real_<symbol>.
extern "C" {
void __real__Z12DrawTriangleRK14TriangleRecordb(const TriangleRecord &, bool);
void __real__Z17RasteriseTriangleR14TriangleRecord(TriangleRecord &);

void __wrap__Z12DrawTriangleRK14TriangleRecordb(const TriangleRecord &r, bool transform) {
    Seen.draws.push_back({r, transform});
    if (Seen.forwardDraws) __real__Z12DrawTriangleRK14TriangleRecordb(r, transform);
}

void __wrap__Z17RasteriseTriangleR14TriangleRecord(TriangleRecord &t) {
    Seen.rasterised.push_back(t);
    __real__Z17RasteriseTriangleR14TriangleRecord(t);
}
}

static const unsigned char Sentinel = 0xA5;

Canvas::Canvas() {
    size_t words = N + 2 * Guard;
    colour = new (std::align_val_t(16)) uint32_t[words] + Guard;
    depth = new (std::align_val_t(16)) float[words] + Guard;
    std::memset(colour - Guard, Sentinel, words * 4);
    std::memset(depth - Guard, Sentinel, words * 4);
    ClearRenderTarget(N, colour, depth);
}

Canvas::~Canvas() {
    operator delete[](colour - Guard, std::align_val_t(16));
    operator delete[](depth - Guard, std::align_val_t(16));
}

void Canvas::Install() {
    ClearRenderTarget(N, colour, depth);
    Target = {W, H, colour, depth};
}

static bool Fenced(const void *start) {
    const unsigned char *p = (const unsigned char *)start;
    for (int i = 0; i < Canvas::Guard * 4; i++)
        if (p[i] != Sentinel || p[i + (Canvas::Guard + Canvas::N) * 4] != Sentinel) return false;
    return true;
}

bool Canvas::GuardsIntact() const { return Fenced(colour - Guard) && Fenced(depth - Guard); }

int Canvas::Written() const {
    int n = 0;
    for (int i = 0; i < N; i++) n += Bits(depth[i]) != 0;
    return n;
}

void RenderTest::SetUp() {
    SetScreenConstants(512, 384);
    BuildViewFrustum();
    ResetMatrix(CurrentMatrix);
    canvas.Install();
    Seen = SeamLog();
}
