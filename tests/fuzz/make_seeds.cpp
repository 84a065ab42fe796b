// Writes the fuzz seed corpus into the directory given as the only argument:
// every scene record as the frame cycle draws it from two cameras, the worked
// projection and clipping examples, and records that enter with plane bits
// already set (the near bit above all) or carry non-finite numbers.
// Input layout: see core_fuzz.cpp.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/scene.h"
#include "render/matrix.h"

namespace {
std::string Dir;

struct Seed {
    std::vector<unsigned char> bytes;
    void Mode(bool transform, bool matrix) { bytes.push_back((transform ? 1 : 0) | (matrix ? 2 : 0)); }
    // The same with a frame size: each side is 16 + byte % 113.
    void Sized(bool transform, bool matrix, uint8_t width, uint8_t height) {
        bytes.push_back((transform ? 1 : 0) | (matrix ? 2 : 0) | 4);
        bytes.push_back(width), bytes.push_back(height);
    }
    void Add(const void *p, size_t n) {
        const unsigned char *c = (const unsigned char *)p;
        bytes.insert(bytes.end(), c, c + n);
    }
};

void Write(const std::string &name, const Seed &s) {
    std::string path = Dir + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(s.bytes.data(), 1, s.bytes.size(), f) != s.bytes.size() || std::fclose(f)) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

Matrix4 ViewFor(const CameraState &camera) {
    Camera = camera;
    BuildViewMatrix();
    return CurrentMatrix;
}

TriangleRecord Tri(Vertex a, Vertex b, Vertex c, uint32_t flags) { return {{a, b, c}, flags}; }

// A camera-space triangle drawn with the transform off.
void CameraSpace(const std::string &name, const TriangleRecord &t) {
    Seed s;
    s.Mode(false, false);
    s.Add(&t, sizeof t);
    Write(name, s);
}
} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
        return 2;
    }
    Dir = argv[1];

    // The scene exactly as the frame cycle draws it from the start view.
    const Matrix4 start = ViewFor(StartCamera);
    for (int i = 0; i < SceneTriangleCount; i++) {
        Seed s;
        s.Mode(true, true);
        s.Add(&start, sizeof start);
        TriangleRecord r = SceneTriangles[i];
        r.clipFlags = 0;
        s.Add(&r, sizeof r);
        char name[32];
        std::snprintf(name, sizeof name, "scene-%02d", i);
        Write(name, s);
    }
    // Eight records at a time from a turned, raised view, so several
    // triangles share one depth buffer.
    const Matrix4 turned = ViewFor(CameraState{120, -40, 30, 300});
    for (int i = 0; i < SceneTriangleCount; i += 8) {
        Seed s;
        s.Mode(true, true);
        s.Add(&turned, sizeof turned);
        for (int j = i; j < i + 8 && j < SceneTriangleCount; j++) {
            TriangleRecord r = SceneTriangles[j];
            r.clipFlags = 0;
            s.Add(&r, sizeof r);
        }
        char name[32];
        std::snprintf(name, sizeof name, "turned-%02d", i / 8);
        Write(name, s);
    }

    // The start view's first records in small frames: odd, tall and wide.
    const uint8_t small[][2] = {{1, 0}, {0, 112}, {112, 1}, {45, 67}};
    for (const auto &size : small) {
        Seed s;
        s.Sized(true, true, size[0], size[1]);
        s.Add(&start, sizeof start);
        for (int j = 0; j < 8; j++) {
            TriangleRecord r = SceneTriangles[j];
            r.clipFlags = 0;
            s.Add(&r, sizeof r);
        }
        char name[32];
        std::snprintf(name, sizeof name, "small-%dx%d", 16 + size[0] % 113, 16 + size[1] % 113);
        Write(name, s);
    }

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();

    // Projection and snapping example: reaches the rasteriser as
    // (384, 128), (397, 128), (384, 115.2).
    CameraSpace("example-projection", Tri({10, 5, -20, 1, 255, 0, 0}, {11, 5, -20, 1, 0, 255, 0},
                                          {10, 6, -20, 1, 0, 0, 255}, 0));
    // Cut by the near plane at t = 0.6, leaving four vertices and a split.
    CameraSpace("example-near-cut", Tri({0, 0, -10, 1, 10, 20, 30}, {0, 1, 5, 1, 70, 80, 90},
                                        {3, 1, -10, 1, 70, 80, 90}, 0));
    // Straddles a frustum corner without lying outside any one plane:
    // clipping empties it into the collapsed point.
    CameraSpace("example-corner", Tri({-300, 10, -100, 1, 1, 2, 3}, {10, -300, -100, 1, 1, 2, 3},
                                      {-300, -300, -90, 1, 1, 2, 3}, 0));
    // A vertex exactly on the left plane's edge of the screen.
    CameraSpace("example-edge", Tri({-100, 0, -100, 1, 255, 255, 255}, {100, 75, -100, 1, 0, 0, 0},
                                    {100, -75, -100, 1, 9, 9, 9}, 0));

    // The near bit set on a triangle that crosses the camera plane: near
    // clipping is skipped, so z of 0 and above reaches the projection.
    CameraSpace("near-bit-zero-z", Tri({0, 0, -10, 1, 255, 0, 0}, {5, 5, 0, 1, 0, 255, 0},
                                       {-5, 5, -10, 1, 0, 0, 255}, ClipNear));
    CameraSpace("near-bit-behind", Tri({1, 1, -2, 1, 255, 0, 0}, {50, 20, 30, 1, 0, 255, 0},
                                       {-50, -20, 10, 1, 0, 0, 255}, ClipNear));
    CameraSpace("near-bit-tiny-z", Tri({1, 1, -tiny, 1, 255, 0, 0}, {50, 20, -5, 1, 0, 255, 0},
                                       {-50, -20, -5, 1, 0, 0, 255}, ClipNear));
    CameraSpace("near-bit-all-planes", Tri({1e6f, 1, -2, 1, 255, 0, 0}, {-1e6f, 20, 0.5f, 1, 0, 255, 0},
                                           {0, -1e6f, -3, 1, 0, 0, 255}, 0x3F));
    CameraSpace("high-bits", Tri({10, 5, -20, 1, 255, 0, 0}, {11, 5, -20, 1, 0, 255, 0},
                                 {10, 6, -20, 1, 0, 0, 255}, 0xFFFFFFC0u));
    CameraSpace("all-bits", Tri({0, 0, -10, 1, 10, 20, 30}, {0, 1, 5, 1, 70, 80, 90},
                                {3, 1, -10, 1, 70, 80, 90}, 0xFFFFFFFFu));

    // Non-finite and extreme numbers in positions and colours.
    CameraSpace("nan-vertex", Tri({nan, 0, -10, 1, 1, 1, 1}, {5, 5, -10, 1, 1, 1, 1},
                                  {-5, 5, -10, 1, 1, 1, 1}, 0));
    CameraSpace("inf-vertex", Tri({inf, 0, -10, 1, 1, 1, 1}, {5, -inf, -10, 1, 1, 1, 1},
                                  {-5, 5, -inf, 1, 1, 1, 1}, 0));
    CameraSpace("nan-colour", Tri({0, 0, -10, 1, nan, inf, -inf}, {5, 5, -10, 1, 1e30f, -1e30f, 0},
                                  {-5, 5, -10, 1, 256, -1, 0.5f}, 0));
    CameraSpace("huge-near-bit", Tri({3e38f, 3e38f, -1, 1, 1, 1, 1}, {-3e38f, 0, -3e38f, 1, 1, 1, 1},
                                     {0, -3e38f, 3e38f, 1, 1, 1, 1}, ClipNear));

    // The transform with a matrix full of extremes.
    {
        Seed s;
        s.Mode(true, true);
        Matrix4 m = start;
        m.m[0] = inf, m.m[5] = nan, m.m[10] = -tiny, m.m[15] = 0;
        s.Add(&m, sizeof m);
        TriangleRecord r = SceneTriangles[0];
        s.Add(&r, sizeof r);
        Write("matrix-extremes", s);
    }
    return 0;
}
