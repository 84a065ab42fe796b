// The projection of one camera-space vertex onto the screen, the same for a
// triangle record and for a mesh vertex projected once for all the
// triangles that share it.
#pragma once
#include <cstdint>

#include "render/frustum.h"
#include "render/types.h"

// Moves a positive offset whose fraction exceeds one half up to the next whole
// number; every other offset keeps its value, fraction and all. Offsets at or
// above 2^23 are already whole (and NaN fails the test), so the integer
// conversions below are always in range without changing any result.
inline float SnapOffset(float offset) {
    if (offset > 0.5f && offset < 8388608.0f) {
        int32_t t = (int32_t)offset;
        float frac = offset - (float)t;
        if (frac > 0.5f) return (float)(int32_t)(offset + 1.0f);
    }
    return offset;
}

// What the projection of a frame needs from the frustum, worked out once.
struct Projection {
    float inv;    // 1 / focal length
    float cx, cy; // the screen centre
};

inline Projection ProjectionOf(const ViewFrustum &f) {
    return {1.0f / f.focalLength, (float)f.centreX, (float)f.centreY};
}

// x, y to pixels (snapped offsets from the centre), z to 1/z.
inline void ProjectVertex(const Projection &p, float &x, float &y, float &z) {
    float k = p.inv * z;
    float sx = x / -k;
    float sy = y / k;
    z = 1.0f / z;
    x = p.cx + SnapOffset(sx);
    y = p.cy + SnapOffset(sy);
}
