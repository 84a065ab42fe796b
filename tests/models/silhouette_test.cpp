// Coverage against an independent rasteriser: the sample bunny, subdivided,
// drawn --as-is from the same pose by this pipeline and by Mesa's llvmpipe
// (through OSMesa). Pixels differ along the silhouette (each rasteriser
// has its own rules for pixels an edge passes through), but inside it this
// pipeline must leave almost none open: a crack between two triangles
// shows up here. Colours are not compared (llvmpipe corrects them for
// perspective; this pipeline does not).
#include <gtest/gtest.h>

#include <GL/osmesa.h>

#include <GL/gl.h>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/model_load.h"
#include "app/model_scene.h"
#include "app/size_choice.h"
#include "platform/headless/headless.h"
#include "render/frustum.h"

namespace {

// At most this share of the silhouette's inner pixels may be left open (or
// drawn outside it): measured about 0.01 % at a million triangles.
constexpr double MaxOpenShare = 0.0005;
constexpr int Width = 1920, Height = 1080;
const CameraState Pose = {-1.0f, 21.0f, 7.5f, 0.0f};

// Each triangle split in four at its edge midpoints (shared, so the mesh
// stays indexed and watertight).
Mesh Subdivide(const Mesh &in) {
    Mesh out = in;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> middles;
    auto middle = [&](uint32_t a, uint32_t b) {
        const auto key = a < b ? std::make_pair(a, b) : std::make_pair(b, a);
        auto found = middles.find(key);
        if (found != middles.end()) return found->second;
        const uint32_t m = MeshVertexCount(out);
        for (int k = 0; k < 3; k++) {
            out.positions.push_back((out.positions[3 * a + k] + out.positions[3 * b + k]) * 0.5f);
            out.colours.push_back(out.colours[3 * a + k]);
        }
        middles.emplace(key, m);
        return m;
    };
    out.indices.clear();
    for (size_t t = 0; t < in.indices.size(); t += 3) {
        const uint32_t a = in.indices[t], b = in.indices[t + 1], c = in.indices[t + 2];
        const uint32_t ab = middle(a, b), bc = middle(b, c), ca = middle(c, a);
        for (uint32_t i : {a, ab, ca, ab, b, bc, ca, bc, c, ab, bc, ca}) out.indices.push_back(i);
    }
    return out;
}

// llvmpipe's coverage, rows from the top like the pipeline's frames.
bool LlvmpipeCoverage(const Mesh &mesh, std::vector<bool> &covered, std::string &error) {
    setenv("LP_NUM_THREADS", "0", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (!context) return error = "OSMesaCreateContextExt failed", false;
    std::vector<unsigned char> pixels((size_t)Width * Height * 4);
    if (!OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, Width, Height)) {
        OSMesaDestroyContext(context);
        return error = "OSMesaMakeCurrent failed", false;
    }
    OSMesaPixelStore(OSMESA_Y_UP, 0);
    glViewport(0, 0, Width, Height);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClearColor(0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double aspect = (double)Height / Width;
    glFrustum(-1.0, 1.0, -aspect, aspect, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(Pose.heading, 0.0f, 1.0f, 0.0f);
    glTranslatef(-Pose.x, -Pose.height, -Pose.z);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.positions.data());
    glDrawElements(GL_TRIANGLES, (GLsizei)mesh.indices.size(), GL_UNSIGNED_INT,
                   mesh.indices.data());
    glFinish();
    OSMesaDestroyContext(context);
    covered.assign((size_t)Width * Height, false);
    for (size_t i = 0; i < covered.size(); i++) covered[i] = pixels[4 * i + 3] != 0;
    return true;
}

// Pixels of a whose 8 neighbours all share its value: away from any edge.
bool Inner(const std::vector<bool> &mask, int x, int y) {
    if (x == 0 || y == 0 || x == Width - 1 || y == Height - 1) return false;
    const bool v = mask[(size_t)y * Width + x];
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
            if (mask[(size_t)(y + dy) * Width + x + dx] != v) return false;
    return true;
}

void CompareCoverage(const Mesh &mesh) {
    std::vector<bool> theirs;
    std::string error;
    ASSERT_TRUE(LlvmpipeCoverage(mesh, theirs, error)) << error;

    UseModelScene(Mesh(mesh));
    Camera = Pose;
    RenderFrame();
    std::vector<bool> ours((size_t)Width * Height);
    for (size_t i = 0; i < ours.size(); i++) ours[i] = DepthBuffer[i] != 0.0f;
    UseBuiltInScene();

    long inside = 0, open = 0, outside = 0, theirCount = 0;
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++) {
            const size_t i = (size_t)y * Width + x;
            theirCount += theirs[i];
            if (!Inner(theirs, x, y)) continue;
            if (theirs[i])
                inside++, open += !ours[i];
            else
                outside += ours[i];
        }
    ASSERT_GT(inside, 100000) << "the pose should show the model large";
    EXPECT_LE(open, (long)(inside * MaxOpenShare))
        << open << " of " << inside << " inner pixels left open";
    EXPECT_LE(outside, (long)(inside * MaxOpenShare))
        << outside << " pixels drawn well outside the silhouette";
    std::printf(
        "%u triangles: %ld inner pixels, %ld open, %ld drawn outside (llvmpipe covers %ld)\n",
        MeshTriangleCount(mesh), inside, open, outside, theirCount);
}

class Silhouette : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        InstallHeadlessCounter();
        InitGraphics(nullptr, {Width, Height});
    }
};

TEST_F(Silhouette, MatchesLlvmpipeInsideTheEdges) {
    Mesh bunny;
    ModelInfo info;
    std::string error;
    ModelOptions asIs;
    asIs.placement = ModelPlacement::AsIs;
    ASSERT_TRUE(LoadModelFile(SAMPLE_BUNNY, asIs, bunny, info, error)) << error;
    CompareCoverage(bunny);
    Mesh finer = Subdivide(Subdivide(Subdivide(bunny)));
    CompareCoverage(finer); // 235,136 triangles
}

} // namespace
