// Shared helpers of the rendering-core suites: a render target fenced by
// guard zones, and a log of what crosses the two internal seams of the core
// (the clipper re-entering the pipeline, the pipeline handing a triangle to
// the rasteriser). The seams are observed by wrapping the two calls at link
// time, so the core itself carries no test hooks.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "render/types.h"
#include "tests/lib/float_bits.h"

struct DrawCall {
    TriangleRecord record;
    bool transform;
};

struct SeamLog {
    std::vector<DrawCall> draws;            // every DrawTriangle entry, the test's own included
    std::vector<TriangleRecord> rasterised; // as handed over, before the rasteriser's sort
    bool forwardDraws = true;               // false: log a re-entry without drawing it
};
extern SeamLog Seen;

// 512 x 384 colour and depth buffers, each between 4 KiB of sentinel bytes.
struct Canvas {
    static constexpr int W = 512, H = 384, N = W * H, Guard = 1024; // guard in elements
    uint32_t *colour;
    float *depth;
    Canvas();
    ~Canvas();
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;
    void Install(); // becomes the process-wide Target, cleared
    bool GuardsIntact() const;
    int Written() const; // pixels whose depth is no longer the cleared 0.0
    bool SameImage(const Canvas &o) const {
        return !std::memcmp(colour, o.colour, N * 4) && !std::memcmp(depth, o.depth, N * 4);
    }
    uint32_t C(int x, int y) const { return colour[y * W + x]; }
    float D(int x, int y) const { return depth[y * W + x]; }
};

// Standard screen, frustum and identity matrix; an installed, cleared canvas;
// an empty seam log.
class RenderTest : public ::testing::Test {
  protected:
    Canvas canvas;
    void SetUp() override;
};

inline Vertex V(float x, float y, float z, float r = 0, float g = 0, float b = 0, float w = 1) {
    return {x, y, z, w, r, g, b};
}
inline TriangleRecord Tri(Vertex a, Vertex b, Vertex c, uint32_t flags = 0) {
    return {{a, b, c}, flags};
}
inline bool SameBytes(const TriangleRecord &a, const TriangleRecord &b) {
    return !std::memcmp(&a, &b, sizeof a);
}
