#include "render/clipper.h"

#include <cmath>

#include "render/pipeline.h"
#include "render/stats.h" // SCANVANE_COUNT: empty unless built for counting

namespace {
// Where an emptied triangle goes: one camera-space point, far outside the
// screen after projection and the same for all three vertices, so the
// rasteriser finds no row to draw. Fixed, not derived from the screen size.
constexpr float CollapseX = -256.0f, CollapseY = -192.0f, CollapseZ = 1.0f;

struct ClipVertex {
    float x, y, z, r, g, b;
};

ClipVertex FromVertex(const Vertex &v) { return {v.x, v.y, v.z, v.r, v.g, v.b}; }

// Each field is (E - S) * t + S: subtract, multiply, add, in that order.
float Lerp(float s, float e, float t) { return (e - s) * t + s; }

ClipVertex Crossing(const Vertex &s, const Vertex &e, float ds, float de) {
    float t = std::fabs(ds) / ((std::fabs(ds) + std::fabs(de)) + 1e-32f);
    return {Lerp(s.x, e.x, t), Lerp(s.y, e.y, t), Lerp(s.z, e.z, t),
            Lerp(s.r, e.r, t), Lerp(s.g, e.g, t), Lerp(s.b, e.b, t)};
}

// Every field but w, which each slot keeps.
void SetPositionAndColour(Vertex &v, const ClipVertex &c) {
    v.x = c.x, v.y = c.y, v.z = c.z, v.r = c.r, v.g = c.g, v.b = c.b;
}
} // namespace

void ClipTriangle(TriangleRecord &tri, const ClipPlane &plane) {
    float d[3];
    bool in[3];
    for (int i = 0; i < 3; i++) {
        d[i] = PlaneDistance(plane, tri.v[i]);
        in[i] = !(d[i] <= 1e-16f); // NaN counts as inside
    }

    if (!(in[0] && in[1] && in[2])) SCANVANE_COUNT(clipped, 1);

    ClipVertex out[4];
    int n = 0;
    for (int s = 0; s < 3; s++) {
        int e = s == 2 ? 0 : s + 1;
        if (in[s]) out[n++] = FromVertex(tri.v[s]);
        if (in[s] != in[e]) out[n++] = Crossing(tri.v[s], tri.v[e], d[s], d[e]);
    }

    if (n < 3) {
        // Nothing left: collapse onto a point that projects to a rowless triangle.
        for (Vertex &v : tri.v) v.x = CollapseX, v.y = CollapseY, v.z = CollapseZ;
        return;
    }

    // w is deliberately not interpolated: each slot keeps its old w.
    for (int i = 0; i < 3; i++) SetPositionAndColour(tri.v[i], out[i]);

    if (n == 4) {
        SCANVANE_COUNT(split, 1);
        TriangleRecord split;
        const int corner[3] = {0, 2, 3};
        for (int i = 0; i < 3; i++) {
            SetPositionAndColour(split.v[i], out[corner[i]]);
            split.v[i].w = 1.0f;
        }
        split.clipFlags = tri.clipFlags;
        DrawTriangle(split, false);
    }
}
