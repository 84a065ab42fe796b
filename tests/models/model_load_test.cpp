// The loader's rules that the frame tests cannot see on their own: bytes
// read like a file, vertices welded by exact equality, colour channels
// rounded, fitted models wholly in view, and the all-cores frame of a model
// whose clipping outgrows its starting room.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/camera.h"
#include "app/frame_bands.h"
#include "app/frame_cycle.h"
#include "app/model_load.h"
#include "app/model_place.h"
#include "app/model_scene.h"
#include "platform/headless/headless.h"
#include "render/bands.h"
#include "render/crc32.h"
#include "render/frame_size.h"
#include "render/frustum.h"

namespace {

bool LoadText(const std::string &name, const std::string &text, Mesh &mesh, std::string &error,
              ModelOptions options = {}) {
    ModelInfo info;
    return LoadModelBytes(text.data(), text.size(), name, options, mesh, info, error);
}

ModelOptions Flat() {
    ModelOptions o;
    o.placement = ModelPlacement::AsIs;
    o.shading = false;
    return o;
}

TEST(ModelLoad, BytesReadAsTheFileDoes) {
    Mesh fromFile, fromBytes;
    ModelInfo a, b;
    std::string error;
    ASSERT_TRUE(LoadModelFile(SAMPLE_BUNNY, {}, fromFile, a, error)) << error;
    std::ifstream in(SAMPLE_BUNNY, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string data = bytes.str();
    ASSERT_TRUE(
        LoadModelBytes(data.data(), data.size(), "dropped/bunny.ply", {}, fromBytes, b, error))
        << error;
    EXPECT_EQ(fromFile.positions, fromBytes.positions);
    EXPECT_EQ(fromFile.colours, fromBytes.colours);
    EXPECT_EQ(fromFile.indices, fromBytes.indices);
    EXPECT_EQ(MeshTriangleCount(fromFile), 3674u);
    EXPECT_STREQ(a.format, "PLY");
    EXPECT_FALSE(a.vertexColours);
    EXPECT_TRUE(a.shaded);
}

TEST(ModelLoad, BytesCannotReachBesideThemselves) {
    const std::string gltf =
        R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
        R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"buffers":[{"byteLength":36,"uri":"m.bin"}],)"
        R"("bufferViews":[{"buffer":0,"byteLength":36}],"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}]})";
    Mesh mesh;
    std::string error;
    EXPECT_FALSE(LoadText("page/m.gltf", gltf, mesh, error));
    EXPECT_EQ(error.rfind("page/m.gltf: ", 0), 0u) << error;
    EXPECT_NE(error.find("m.bin"), std::string::npos) << error;
}

TEST(ModelLoad, WeldsExactlyEqualCornersOnly) {
    // Two triangles sharing an edge; the third shares a position but not a colour.
    const std::string obj =
        "v 0 0 0 1 0 0\nv 1 0 0 1 0 0\nv 0 1 0 1 0 0\nv 1 1 0 1 0 0\nv 1 1 0 0 1 0\n"
        "f 1 2 3\nf 2 4 3\nf 2 5 3\n";
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(LoadText("w.obj", obj, mesh, error, Flat())) << error;
    EXPECT_EQ(MeshVertexCount(mesh), 5u);
    EXPECT_EQ(MeshTriangleCount(mesh), 3u);
    // Same positions as STL (one vertex per corner): 4 distinct.
    std::string stl = "solid s\n";
    const char *tris[2][3] = {{"0 0 0", "1 0 0", "0 1 0"}, {"1 0 0", "1 1 0", "0 1 0"}};
    for (auto &t : tris)
        stl += std::string("facet normal 0 0 0\nouter loop\nvertex ") + t[0] + "\nvertex " + t[1] +
               "\nvertex " + t[2] + "\nendloop\nendfacet\n";
    stl += "endsolid s\n";
    ASSERT_TRUE(LoadText("w.stl", stl, mesh, error, Flat())) << error;
    EXPECT_EQ(MeshVertexCount(mesh), 4u);
    const uint32_t want[] = {0, 1, 2, 1, 3, 2};
    EXPECT_EQ(mesh.indices, std::vector<uint32_t>(want, want + 6));
}

TEST(ModelLoad, FacesFanFromTheirFirstCornerInFileOrder) {
    const std::string obj =
        "v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 1 0\nv 5 5 5\nv 6 5 5\nv 5 6 5\n"
        "f 1 2 3 4 5\nf 6 7 8\n";
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(LoadText("fan.obj", obj, mesh, error, Flat())) << error;
    const uint32_t want[] = {0, 1, 2, 0, 2, 3, 0, 3, 4, 5, 6, 7};
    EXPECT_EQ(mesh.indices, std::vector<uint32_t>(want, want + 12));
}

TEST(ModelLoad, FloatColourChannelsRoundToNearestAndClamp) {
    const struct {
        const char *value;
        float want;
    } cases[] = {{"0", 0},     {"1", 255},   {"0.5", 128}, {"0.25", 64},
                 {"0.001", 0}, {"0.003", 1}, {"-1", 0},    {"2", 255}};
    for (const auto &c : cases) {
        std::string ply =
            "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
            "property float z\nproperty float red\nproperty float green\nproperty float blue\n"
            "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
        for (const char *p : {"0 0 0", "1 0 0", "0 1 0"})
            ply += std::string(p) + " " + c.value + " 0 1\n";
        ply += "3 0 1 2\n";
        Mesh mesh;
        std::string error;
        ASSERT_TRUE(LoadText("c.ply", ply, mesh, error, Flat())) << error;
        EXPECT_EQ(mesh.colours[0], c.want) << c.value;
        EXPECT_EQ(mesh.colours[2], 255.0f);
    }
}

TEST(ModelLoad, MaterialColourElseLightGrey) {
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(LoadText("g.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", mesh, error, Flat()))
        << error;
    EXPECT_EQ(mesh.colours, std::vector<float>(9, 200.0f));
}

// Every corner of a fitted box inside the view volume from the start pose,
// for frames from 4:3 to 16:9, and the box standing on the ground.
TEST(ModelPlace, FittedModelsAreWhollyInView) {
    const float boxes[][3] = {
        {1, 1, 1},          {100, 1, 1}, {1, 100, 1}, {1, 1, 100}, {0.001f, 0.002f, 0.001f},
        {3e6f, 2e6f, 1e6f}, {10, 0, 10}, {0, 10, 0}};
    for (const auto &b : boxes) {
        std::vector<float> p;
        for (int corner = 0; corner < 8; corner++)
            for (int k = 0; k < 3; k++) p.push_back((corner >> k & 1) ? b[k] + 7.0f : 7.0f);
        std::string reason;
        ASSERT_TRUE(FitModel(p, reason)) << reason;
        float lowest = 1e30f;
        for (size_t i = 0; i < p.size(); i += 3) {
            const float ahead = StartCamera.z - p[i + 2]; // the start camera looks down -z
            const float up = p[i + 1] - StartCamera.height;
            EXPECT_GT(ahead, 1.0f);
            EXPECT_LT(ahead, 500.0f);
            EXPECT_LT(std::fabs(p[i] - StartCamera.x), ahead * FitTanHalfWidth);
            EXPECT_LT(std::fabs(up), ahead * FitTanHalfHeight);
            EXPECT_LE(p[i] - StartCamera.x, FitWidth);
            lowest = std::fmin(lowest, p[i + 1]);
        }
        EXPECT_EQ(lowest, 0.0f);
    }
}

uint32_t FrameCrc() { return Crc32(0, Headless.colour, (size_t)Screen.width * Screen.height * 4); }

// Hundreds of long thin triangles crossing the near plane and the sides:
// each comes out of the clipper in several pieces, far more than the
// model's starting room holds, and the all-cores frame still draws them all.
TEST(ModelScene, BandFrameOfAHeavilyClippedModelIsTheOneThreadFrame) {
    InstallHeadlessCounter();
    InitGraphics(nullptr, {DefaultFrameWidth, DefaultFrameHeight});
    Mesh mesh;
    const int triangles = 2000;
    for (int i = 0; i < triangles; i++) {
        const float a = (float)i * 0.01f;
        const float base[3][3] = {{-400, -300 + a, -0.5f}, {400, 300 - a, -0.5f}, {0, a, -300}};
        for (auto &v : base) {
            mesh.positions.insert(mesh.positions.end(),
                                  {v[0] + StartCamera.x, v[1], v[2] + StartCamera.z});
            mesh.colours.insert(mesh.colours.end(), {(float)(i % 256), 100, 200});
        }
        for (int k = 0; k < 3; k++) mesh.indices.push_back((uint32_t)(3 * i + k));
    }
    UseModelScene(std::move(mesh));
    Camera = StartCamera;
    RenderFrame();
    const uint32_t one = FrameCrc();
    std::string error;
    ASSERT_TRUE(StartBandThreads(2, error)) << error;
    RenderFrameInBands();
    const uint32_t first = FrameCrc();
    RenderFrameInBands(); // the grown room, kept
    const uint32_t second = FrameCrc();
    StopBandThreads();
    UseBuiltInScene();
    EXPECT_EQ(first, one);
    EXPECT_EQ(second, one);
}

} // namespace
