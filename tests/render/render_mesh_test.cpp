// Indexed drawing: DrawMesh, on one thread and in bands on several, against
// the reference of DrawTriangle on each triangle's record (w 1, flag word 0)
// in index order, colour and depth compared bit for bit. Hostile meshes:
// corners behind the camera and across every plane, exactly on planes,
// degenerate, not a number or infinite, shared, huge and tiny; every fill
// path this processor runs; odd frame sizes. Its own program: the band
// threads run the pipeline side by side, which the seam log of render_tests
// (link-time wraps writing one log) must not see.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/bands.h"
#include "render/fill_path.h"
#include "render/frame_size.h"
#include "render/matrix.h"
#include "render/mesh.h"
#include "render/mesh_draw.h"
#include "render/pipeline.h"
#include "render/render_target.h"
#include "render/setup.h"

namespace {
// A frame's two buffers, 16-byte aligned, set up as the renderer's target.
struct Frame {
    int32_t width, height, pixels;
    uint32_t *colour;
    float *depth;
    Frame(int32_t w, int32_t h) : width(w), height(h), pixels(FrameBufferPixels(w, h)) {
        colour = new (std::align_val_t(16)) uint32_t[pixels];
        depth = new (std::align_val_t(16)) float[pixels];
        Scribble();
    }
    ~Frame() {
        operator delete[](colour, std::align_val_t(16));
        operator delete[](depth, std::align_val_t(16));
    }
    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;
    // Something no clear leaves, so that a band nobody cleared shows.
    void Scribble() {
        std::memset(colour, 0x5a, (size_t)pixels * 4);
        std::memset(depth, 0x5a, (size_t)pixels * 4);
    }
    // Screen, frustum and target for this frame's size (the matrix too:
    // aim the camera after).
    void SetUp() {
        SetUpRenderer(width, height, colour, depth);
        Scribble();
    }
    // This frame as the target, the renderer otherwise left as it is.
    void Use() {
        Target.colour = colour, Target.depth = depth;
        Scribble();
    }
    void Clear() { ClearRenderTarget(pixels, colour, depth); }
};

// The first pixel where two frames differ, or -1.
int FirstDifference(const Frame &a, const Frame &b) {
    const int n = a.width * a.height;
    for (int i = 0; i < n; i++)
        if (a.colour[i] != b.colour[i] || std::memcmp(&a.depth[i], &b.depth[i], 4) != 0) return i;
    return -1;
}

int Written(const Frame &f) {
    int n = 0;
    for (int i = 0; i < f.width * f.height; i++) n += f.colour[i] != 0;
    return n;
}

// Different colours in the frame: many triangles seen, not one over all.
int Colours(const Frame &f) {
    std::vector<uint32_t> seen(f.colour, f.colour + f.width * f.height);
    std::sort(seen.begin(), seen.end());
    return (int)(std::unique(seen.begin(), seen.end()) - seen.begin());
}

void DrawAsRecords(const Mesh &m) {
    for (uint32_t i = 0; i < MeshTriangleCount(m); i++) {
        TriangleRecord t;
        for (int k = 0; k < 3; k++) {
            const uint32_t v = m.indices[3 * i + k];
            t.v[k] = {m.positions[3 * v], m.positions[3 * v + 1], m.positions[3 * v + 2], 1.0f,
                      m.colours[3 * v],   m.colours[3 * v + 1],   m.colours[3 * v + 2]};
        }
        t.clipFlags = 0;
        DrawTriangle(t, true);
    }
}

// A view matrix as the frame cycle builds it: translation, then a turn.
void LookFrom(float x, float y, float z, float heading) {
    ResetMatrix(CurrentMatrix);
    CurrentMatrix.m[3] = -x, CurrentMatrix.m[7] = -y, CurrentMatrix.m[11] = -z;
    Matrix4 turn;
    ResetMatrix(turn);
    const float a = heading * 0.017453292f;
    const float c = (float)std::cos((double)a), s = (float)std::sin((double)a);
    turn.m[0] = c, turn.m[2] = s, turn.m[8] = -s, turn.m[10] = c;
    PremultiplyCurrentMatrix(turn);
}

struct MeshMaker {
    Mesh mesh;
    std::mt19937 rng;
    explicit MeshMaker(uint32_t seed) : rng(seed) {}
    float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
    uint32_t Vertex(float x, float y, float z) {
        mesh.positions.insert(mesh.positions.end(), {x, y, z});
        mesh.colours.insert(mesh.colours.end(),
                            {std::floor(Uniform(0, 256)), std::floor(Uniform(0, 256)),
                             Uniform(0, 255)}); // a fraction too: the packing rounds it
        return MeshVertexCount(mesh) - 1;
    }
    void Triangle(uint32_t a, uint32_t b, uint32_t c) {
        mesh.indices.insert(mesh.indices.end(), {a, b, c});
    }
    // Vertices anywhere around the camera, in front, behind, beyond the far
    // plane and beside the view, joined at random so that most are shared.
    void Cloud(int vertices, int triangles, float reach) {
        const uint32_t base = MeshVertexCount(mesh);
        for (int i = 0; i < vertices; i++)
            Vertex(Uniform(-reach, reach), Uniform(-reach, reach),
                   Uniform(-1.5f * reach, reach / 4));
        std::uniform_int_distribution<uint32_t> pick(base, base + vertices - 1);
        for (int i = 0; i < triangles; i++) Triangle(pick(rng), pick(rng), pick(rng));
    }
    // A random walk through the same space, each triangle joining a vertex
    // to two of the few before it: small triangles, most corners shared,
    // many across the planes as the walk crosses them.
    void Walk(int vertices, float reach, float stride) {
        const uint32_t base = MeshVertexCount(mesh);
        float x = 0, y = 0, z = -reach / 2;
        auto clamp = [](float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; };
        for (int i = 0; i < vertices; i++) {
            x = clamp(x + Uniform(-stride, stride), -reach, reach);
            y = clamp(y + Uniform(-stride, stride), -reach, reach);
            z = clamp(z + Uniform(-stride, stride), -1.5f * reach, reach / 4);
            const uint32_t v = Vertex(x, y, z);
            if (v < base + 6) continue;
            std::uniform_int_distribution<uint32_t> back(1, 6);
            Triangle(v, v - back(rng), v - back(rng));
        }
    }
    // A dense sheet of small triangles facing the camera: most cover one
    // pixel or none, as in a model of a million triangles.
    void Sheet(float x0, float y0, float z, float size, int cells) {
        const uint32_t base = MeshVertexCount(mesh);
        const float step = size / (float)cells;
        for (int j = 0; j <= cells; j++)
            for (int i = 0; i <= cells; i++)
                Vertex(x0 + step * (float)i, y0 + step * (float)j,
                       z + 0.01f * (float)((i * j) % 7));
        for (int j = 0; j < cells; j++)
            for (int i = 0; i < cells; i++) {
                const uint32_t a = base + (uint32_t)(j * (cells + 1) + i), b = a + 1,
                               c = a + (uint32_t)cells + 1, d = c + 1;
                if ((i + j) % 2)
                    Triangle(a, b, d), Triangle(a, d, c);
                else
                    Triangle(a, b, c), Triangle(b, d, c);
            }
    }
};

// Triangles for the frustum's every edge case, from the camera at the origin
// looking down -z (the view matrix the identity).
Mesh EdgeCases() {
    MeshMaker m(7);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto tri = [&](float ax, float ay, float az, float bx, float by, float bz, float cx, float cy,
                   float cz) {
        m.Triangle(m.Vertex(ax, ay, az), m.Vertex(bx, by, bz), m.Vertex(cx, cy, cz));
    };
    tri(-10, 5, -40, 15, 8, -45, 2, -3, -0.5f);     // one corner behind the near plane
    tri(-10, 5, 40, 15, 8, 45, 2, -3, 50);          // wholly behind the camera
    tri(-1, -1, -1, 1, -1, -1, 0, 1, -1);           // on the near plane: rejected
    tri(-5, -5, -1.0000001f, 5, -5, -1, 0, 5, -3);  // near plane within rounding
    tri(-900, -1, -600, 900, -1, -600, 0, 5, -300); // across the far plane and both sides
    tri(-10, 0, -10, 10, 0, -10, 0, 30, -20);       // on the left and right borders
    tri(0, 7.5f, -10, 3, 7.5f, -10, 1, -2, -10);    // on the upper border
    tri(-2000, -2000, -450, 2000, -2000, -450, 0, 6000, -450); // around the whole view
    tri(-300, -300, -2, 300, -300, -2, 0, 300, -900);          // every plane at once
    tri(1, 1, -5, 1, 1, -5, 1, 1, -5);                         // a point
    tri(1, 1, -5, 2, 2, -6, 3, 3, -7);                         // a line
    tri(nan, 1, -5, 2, 2, -6, 3, 4, -7);                       // not a number
    tri(1, nan, -5, 2, 2, -6, 3, 4, -7);
    tri(1, 1, nan, -2, 2, -6, 3, 4, -7);
    tri(inf, 1, -5, 2, 2, -6, 3, 4, -7); // infinite
    tri(1, 1, -inf, 2, 2, -6, 3, 4, -7);
    tri(1e30f, 1e30f, -1e30f, -1e30f, 1e30f, -1e30f, 0, -1e30f, -1e30f); // huge
    tri(0.5f, 0.5f, -300, 0.5001f, 0.5f, -300, 0.5f, 0.5001f, -300);     // tiny
    // Triangles sharing corners with one that is cut: the shared corners are
    // projected once and cut once, each their own way.
    const uint32_t a = m.Vertex(-20, -10, -30), b = m.Vertex(20, -10, -30),
                   c = m.Vertex(0, 15, -0.2f), d = m.Vertex(0, 15, -60), e = m.Vertex(-25, 20, -35);
    m.Triangle(a, b, c), m.Triangle(a, b, d), m.Triangle(d, b, a), m.Triangle(a, d, e);
    m.Triangle(c, a, e), m.Triangle(b, b, d);
    // Overlapping copies at one depth: the first drawn keeps the pixel.
    m.Triangle(a, b, d), m.Triangle(d, a, b);
    return m.mesh;
}

struct Scene {
    const char *name;
    Mesh mesh;
    float camera[4]; // x, y, z, heading
};

std::vector<Scene> Scenes() {
    std::vector<Scene> scenes;
    scenes.push_back({"edge cases", EdgeCases(), {0, 0, 0, 0}});
    MeshMaker cloud(11);
    cloud.Walk(20000, 60, 3);
    cloud.Cloud(100, 30, 600); // and a few huge ones
    scenes.push_back({"walk", cloud.mesh, {3, -2, 5, 17}});
    MeshMaker sheet(12);
    sheet.Sheet(-30, -20, -90, 50, 120);   // 28,800 triangles, about a pixel each
    sheet.Sheet(-120, -100, -70, 100, 20); // across the left and bottom edges
    sheet.Sheet(-1, -1, -2, 3, 30);        // across the near plane after the turn
    scenes.push_back({"sheet", sheet.mesh, {0, 0, 0, 4}});
    return scenes;
}

struct Size {
    int32_t width, height;
};
const Size Sizes[] = {{512, 384}, {333, 197}, {17, 16}, {640, 480}};
const int ThreadCounts[] = {1, 2, 3, 7};

std::string Where(const Scene &s, const Size &size, const char *how, int difference) {
    return std::string(s.name) + " at " + std::to_string(size.width) + "x" +
           std::to_string(size.height) + ", " + how + ": first difference at pixel " +
           std::to_string(difference) + " (" + FillPathName(ActiveFillPath()) + ")";
}

class MeshDraw : public ::testing::Test {
  protected:
    void TearDown() override {
        StopBandThreads();
        ReleaseMeshDrawing();
        UseFillPath(FillPathBaseline);
    }
    static void StartThreads(int threads) {
        std::string error;
        ASSERT_TRUE(StartBandThreads(threads, error)) << error;
    }
};

TEST_F(MeshDraw, OneThreadAndBandsDrawWhatTheRecordsDraw) {
    const std::vector<Scene> scenes = Scenes();
    for (FillPath path = 0; path < FillPathCount; path++) {
        if (!FillPathRuns(path)) continue; // a processor without it: that path is not compared
        UseFillPath(path);
        for (const Size &size : Sizes) {
            Frame expected(size.width, size.height), got(size.width, size.height);
            for (const Scene &s : scenes) {
                ASSERT_TRUE(PrepareMeshDrawing(s.mesh));
                expected.SetUp();
                LookFrom(s.camera[0], s.camera[1], s.camera[2], s.camera[3]);
                expected.Clear();
                DrawAsRecords(s.mesh);
                if (size.width == 512) {
                    // Much to see, not one triangle over all.
                    EXPECT_GT(Written(expected), 5000) << s.name << " draws little";
                    EXPECT_GT(Colours(expected), 1000) << s.name << " shows few triangles";
                }

                got.Use();
                got.Clear();
                DrawMesh(s.mesh);
                int d = FirstDifference(expected, got);
                EXPECT_EQ(d, -1) << Where(s, size, "one thread", d);

                for (int threads : ThreadCounts) {
                    StartThreads(threads);
                    got.Scribble();
                    DrawMeshInBands(s.mesh);
                    d = FirstDifference(expected, got);
                    EXPECT_EQ(d, -1) << Where(
                        s, size, ("bands on " + std::to_string(threads) + " threads").c_str(), d);
                }
                StopBandThreads();
            }
        }
    }
}

// Many frames of one prepared mesh from a moving camera: nothing carries
// over from frame to frame (projections of vertices cut in one frame and
// whole in the next, the lists, the pieces).
TEST_F(MeshDraw, FramesFromAMovingCameraStayTheSame) {
    MeshMaker m(21);
    m.Sheet(-40, -30, -60, 80, 60);
    m.Cloud(300, 2000, 100);
    ASSERT_TRUE(PrepareMeshDrawing(m.mesh));
    Frame expected(333, 197), got(333, 197);
    for (int threads : {2, 3}) {
        for (int frame = 0; frame < 12; frame++) {
            expected.SetUp();
            LookFrom(-20.0f + 4.0f * (float)frame, 1.5f * (float)frame, 30.0f - 8.0f * (float)frame,
                     11.0f * (float)frame);
            expected.Clear();
            DrawAsRecords(m.mesh);
            got.Use();
            StartThreads(threads);
            DrawMeshInBands(m.mesh);
            const int d = FirstDifference(expected, got);
            EXPECT_EQ(d, -1) << "frame " << frame << " on " << threads << " threads: pixel " << d;
        }
    }
}

// More pieces, or more band list entries, than there is room for: the frame
// is drawn again on one thread, the same frame, and the frames after it
// (with more room) are the same too.
TEST_F(MeshDraw, AFrameBeyondTheListsIsStillTheSame) {
    MeshMaker cut(31); // every triangle across the near plane and the sides
    for (int i = 0; i < 12000; i++) {
        const uint32_t a = cut.Vertex(cut.Uniform(-50, 50), cut.Uniform(-50, 50), -30);
        const uint32_t b = cut.Vertex(cut.Uniform(-50, 50), cut.Uniform(-50, 50), 5);
        const uint32_t c = cut.Vertex(cut.Uniform(-50, 50), cut.Uniform(-50, 50), -60);
        cut.Triangle(a, b, c);
    }
    MeshMaker tall(32); // every triangle across every band
    for (int i = 0; i < 12000; i++) {
        const float z = -20.0f - 0.001f * (float)i;
        tall.Triangle(tall.Vertex(-14, -15.5f, z), tall.Vertex(14, -15, z), tall.Vertex(0, 15, z));
    }
    MeshMaker thin(33); // a million entries: thin triangles down every band
    for (int i = 0; i < 60000; i++) {
        const float x = -14.0f + 0.0004f * (float)i, z = -20.0f - 0.0001f * (float)i;
        thin.Triangle(thin.Vertex(x, -15.5f, z), thin.Vertex(x + 0.02f, -15, z),
                      thin.Vertex(x, 15, z));
    }
    Frame expected(640, 480), got(640, 480);
    for (const Mesh *mesh : {&cut.mesh, &tall.mesh, &thin.mesh}) {
        ASSERT_TRUE(PrepareMeshDrawing(*mesh));
        expected.SetUp();
        expected.Clear();
        DrawAsRecords(*mesh);
        EXPECT_GT(Written(expected), 10000);
        got.Use();
        StartThreads(7);
        for (int frame = 0; frame < 2; frame++) {
            got.Scribble();
            DrawMeshInBands(*mesh);
            const int d = FirstDifference(expected, got);
            EXPECT_EQ(d, -1) << "frame " << frame << ": first difference at pixel " << d;
        }
    }
}

// A mesh that is not the prepared one is drawn record by record; a bad
// index is refused when the mesh is prepared, never read.
TEST_F(MeshDraw, UnpreparedMeshesAndBadIndices) {
    MeshMaker m(41);
    m.Cloud(100, 500, 80);
    Frame expected(97, 61), got(97, 61);
    expected.SetUp();
    LookFrom(1, 2, 3, 40);
    expected.Clear();
    DrawAsRecords(m.mesh);
    got.Use();
    got.Clear();
    DrawMesh(m.mesh); // never prepared
    EXPECT_EQ(FirstDifference(expected, got), -1);
    StartThreads(3);
    DrawMeshInBands(m.mesh);
    EXPECT_EQ(FirstDifference(expected, got), -1);

    Mesh other = m.mesh;
    ASSERT_TRUE(PrepareMeshDrawing(other));
    got.Scribble();
    DrawMeshInBands(m.mesh); // prepared is another mesh (same counts)
    EXPECT_EQ(FirstDifference(expected, got), -1);

    Mesh bad = m.mesh;
    bad.indices[7] = MeshVertexCount(bad);
    EXPECT_FALSE(PrepareMeshDrawing(bad));
    bad.indices[7] = 0xffffffffu;
    EXPECT_FALSE(PrepareMeshDrawing(bad));
    bad = m.mesh;
    bad.colours.resize(bad.colours.size() - 3); // a vertex without colour
    EXPECT_FALSE(PrepareMeshDrawing(bad));

    Mesh empty;
    ASSERT_TRUE(PrepareMeshDrawing(empty));
    got.Use();
    DrawMeshInBands(empty);
    EXPECT_EQ(Written(got), 0);
    for (int i = 0; i < got.width * got.height; i++) ASSERT_EQ(got.depth[i], 0.0f) << i;
}

// The projected triangles DrawMesh hands to a collector, drawn in bands as
// the built-in scene's are, make the same frame too.
TEST_F(MeshDraw, CollectedTrianglesMakeTheSameFrame) {
    MeshMaker m(51);
    m.Sheet(-20, -20, -50, 40, 40);
    m.Cloud(200, 1500, 90);
    ASSERT_TRUE(PrepareMeshDrawing(m.mesh));
    Frame expected(333, 197), got(333, 197);
    expected.SetUp();
    LookFrom(0, 0, 0, -8);
    expected.Clear();
    DrawAsRecords(m.mesh);
    got.Use();
    StartThreads(3);
    std::vector<TriangleRecord> room(MeshTriangleCount(m.mesh) * CollectedPerRecord);
    BeginCollectingTriangles(room.data(), (int)room.size());
    DrawMesh(m.mesh);
    EndCollectingTriangles();
    DrawCollectedInBands();
    EXPECT_EQ(FirstDifference(expected, got), -1);
}
} // namespace
