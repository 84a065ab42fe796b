#include "render/pipeline.h"

#include "render/clipper.h"
#include "render/frustum.h"
#include "render/matrix.h"
#include "render/projection.h"
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

    const Projection projection = ProjectionOf(f);
    for (int i = 0; i < 3; i++) ProjectVertex(projection, t.v[i].x, t.v[i].y, t.v[i].z);
    if (ProjectedSink)
        ProjectedSink(t);
    else
        RasteriseTriangle(t);
}
