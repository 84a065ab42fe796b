#include "render/pipeline.h"

#include "render/clipper.h"
#include "render/frustum.h"
#include "render/matrix.h"
#include "render/raster.h"
#include "render/stats.h" // SCANVANE_COUNT: empty unless built for counting

ProjectedTriangleSink ProjectedSink;

void TransformVertex(Vertex &v) {
    const float *m = CurrentMatrix.m;
    float x = v.x, y = v.y, z = v.z, w = v.w;
    v.x = ((m[0] * x + m[1] * y) + m[2] * z) + m[3] * w;
    v.y = ((m[4] * x + m[5] * y) + m[6] * z) + m[7] * w;
    v.z = ((m[8] * x + m[9] * y) + m[10] * z) + m[11] * w;
    v.w = ((m[12] * x + m[13] * y) + m[14] * z) + m[15] * w;
}

static bool OutsideOnePlane(const TriangleRecord &t, const ClipPlane &p) {
    // NaN distances compare false and so count as inside.
    return PlaneDistance(p, t.v[0]) <= 0.0f && PlaneDistance(p, t.v[1]) <= 0.0f &&
           PlaneDistance(p, t.v[2]) <= 0.0f;
}

// Moves a positive offset whose fraction exceeds one half up to the next whole
// number; every other offset keeps its value, fraction and all. Offsets at or
// above 2^23 are already whole (and NaN fails the test), so the integer
// conversions below are always in range without changing any result.
static float SnapOffset(float offset) {
    if (offset > 0.5f && offset < 8388608.0f) {
        int32_t t = (int32_t)offset;
        float frac = offset - (float)t;
        if (frac > 0.5f) return (float)(int32_t)(offset + 1.0f);
    }
    return offset;
}

void DrawTriangle(const TriangleRecord &record, bool transform) {
    TriangleRecord t = record;
    if (transform) {
        TransformVertex(t.v[0]);
        TransformVertex(t.v[1]);
        TransformVertex(t.v[2]);
    }

    const ViewFrustum &f = Frustum;
    if (OutsideOnePlane(t, f.nearPlane) || OutsideOnePlane(t, f.farPlane) ||
        OutsideOnePlane(t, f.leftPlane) || OutsideOnePlane(t, f.rightPlane) ||
        OutsideOnePlane(t, f.topPlane) || OutsideOnePlane(t, f.bottomPlane)) {
        SCANVANE_COUNT(rejected, 1);
        return;
    }

    // Bottom before top: the order decides how split-off halves nest.
    static const uint32_t bits[6] = {ClipNear, ClipFar, ClipLeft, ClipRight, ClipBottom, ClipTop};
    const ClipPlane *planes[6] = {&f.nearPlane,  &f.farPlane,    &f.leftPlane,
                                  &f.rightPlane, &f.bottomPlane, &f.topPlane};
    for (int i = 0; i < 6; i++) {
        if (t.clipFlags & bits[i]) continue;
        t.clipFlags |= bits[i];
        ClipTriangle(t, *planes[i]);
    }

    const float inv = 1.0f / f.focalLength;
    const float cx = (float)f.centreX, cy = (float)f.centreY;
    for (int i = 0; i < 3; i++) {
        Vertex &v = t.v[i];
        float k = inv * v.z;
        float sx = v.x / -k;
        float sy = v.y / k;
        v.z = 1.0f / v.z;
        v.x = cx + SnapOffset(sx);
        v.y = cy + SnapOffset(sy);
    }
    if (ProjectedSink)
        ProjectedSink(t);
    else
        RasteriseTriangle(t);
}
