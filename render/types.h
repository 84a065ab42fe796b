// Plain data shared by every stage of the renderer. The layouts are part of
// the contract (records are copied and hashed byte for byte), so they are
// pinned with static_asserts.
#pragma once
#include <cstddef>
#include <cstdint>

struct Vertex {
    float x, y, z, w; // position; w is carried along, never read after the transform
    float r, g, b;    // colour channels, 0..255
};

struct TriangleRecord {
    Vertex v[3];
    uint32_t clipFlags; // bits 0..5: planes already applied; the rest travel untouched
};

struct ClipPlane {
    float a, b, c, d; // signed distance = ((a*x + b*y) + c*z) - d
};

// Row-major, element 4*row + column; points are column vectors (v' = M v).
struct Matrix4 {
    float m[16];
};

static_assert(sizeof(Vertex) == 28, "Vertex is seven floats");
static_assert(offsetof(Vertex, r) == 16, "colour follows position");
static_assert(sizeof(TriangleRecord) == 88, "three vertices and a flag word");
static_assert(offsetof(TriangleRecord, clipFlags) == 84, "flag word last");
static_assert(sizeof(ClipPlane) == 16, "four floats");
static_assert(sizeof(Matrix4) == 64, "sixteen floats");

// Clip-flag bits, one per frustum plane.
enum : uint32_t {
    ClipNear = 0x01,
    ClipFar = 0x02,
    ClipLeft = 0x04,
    ClipRight = 0x08,
    ClipTop = 0x10,
    ClipBottom = 0x20,
};

// The one distance formula used by rejection and clipping alike.
inline float PlaneDistance(const ClipPlane &p, const Vertex &v) {
    return ((p.a * v.x + p.b * v.y) + p.c * v.z) - p.d;
}
