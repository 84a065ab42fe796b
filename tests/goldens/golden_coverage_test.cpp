// Renders every golden frame in-process and counts what the clipper did in
// it, to show that the goldens together really exercise every clip plane,
// splits (nested too) and the collapse of an emptied triangle: a golden set
// that never cuts against the far plane would let a broken far clip pass.
//
// The counting uses the linker's --wrap on the core's entry points, so the
// core itself carries no instrumentation.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/script.h"
#include "app/size_choice.h"
#include "platform/headless/headless.h"
#include "render/crc32.h"
#include "render/frustum.h"
#include "render/types.h"
#include "tools/render_options.h"

namespace {

const char *const PlaneNames[6] = {"near", "far", "left", "right", "bottom", "top"};

struct Counts {
    int cuts[6];      // clips that kept part of the triangle and cut the rest
    int splits[6];    // of those, the ones that left four corners
    int empties[6];   // clips that left nothing: the collapse
    int nestedSplits; // splits made while clipping a split-off triangle
};

Counts Seen;
bool Counting;
int PlaneNow = -1;
int SplitDepth;

int PlaneIndex(const ClipPlane &plane) {
    const ClipPlane *planes[6] = {&Frustum.nearPlane,  &Frustum.farPlane,    &Frustum.leftPlane,
                                  &Frustum.rightPlane, &Frustum.bottomPlane, &Frustum.topPlane};
    for (int i = 0; i < 6; i++)
        if (&plane == planes[i]) return i;
    return -1;
}

} // namespace

extern "C" {
void __real__Z12ClipTriangleR14TriangleRecordRK9ClipPlane(TriangleRecord &, const ClipPlane &);
void __real__Z12DrawTriangleRK14TriangleRecordb(const TriangleRecord &, bool);

void __wrap__Z12ClipTriangleR14TriangleRecordRK9ClipPlane(TriangleRecord &t,
                                                          const ClipPlane &plane) {
    int index = PlaneIndex(plane), inside = 0;
    for (const Vertex &v : t.v) inside += PlaneDistance(plane, v) > 1e-16f;
    if (Counting && index >= 0) {
        if (inside == 0) Seen.empties[index]++;
        if (inside == 1 || inside == 2) Seen.cuts[index]++;
    }
    int outer = PlaneNow;
    PlaneNow = index;
    __real__Z12ClipTriangleR14TriangleRecordRK9ClipPlane(t, plane);
    PlaneNow = outer;
}

void __wrap__Z12DrawTriangleRK14TriangleRecordb(const TriangleRecord &record, bool transform) {
    if (!transform && Counting && PlaneNow >= 0) {
        Seen.splits[PlaneNow]++;
        if (SplitDepth > 0) Seen.nestedSplits++;
    }
    SplitDepth += !transform;
    __real__Z12DrawTriangleRK14TriangleRecordb(record, transform);
    SplitDepth -= !transform;
}
}

namespace {

struct Golden {
    std::string name, args, script;
    uint32_t colour, depth;
};

std::string Trim(const std::string &s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::vector<Golden> LoadGoldens() {
    std::vector<Golden> goldens;
    std::ifstream in(GOLDENS_DIR "/goldens.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (Trim(line).empty() || Trim(line)[0] == '#') continue;
        std::vector<std::string> fields;
        std::stringstream ss(line);
        for (std::string f; std::getline(ss, f, '|');) fields.push_back(Trim(f));
        if (fields.size() != 6) continue;
        goldens.push_back({fields[0], fields[1], fields[2],
                           (uint32_t)std::stoul(fields[3], nullptr, 16),
                           (uint32_t)std::stoul(fields[4], nullptr, 16)});
    }
    return goldens;
}

// Runs one golden the way scanvane-render does in a fresh process, counting
// only in the last frame, the one whose CRCs are recorded.
// The first golden starts the graphics; one of another size than the
// previous one starts them again at its size.
void UseSize(const FrameSize &size) {
    static bool initialised = false;
    InstallHeadlessCounter();
    if (!initialised) {
        InitGraphics(nullptr, size);
        initialised = true;
    } else if (size.width != Screen.width || size.height != Screen.height) {
        ASSERT_TRUE(RestartGraphicsAtSize(size));
    }
}

void Render(const Golden &g, uint32_t &colourCrc, uint32_t &depthCrc) {
    std::vector<std::string> words{"scanvane-render"};
    std::stringstream ss(g.args);
    for (std::string w; ss >> w;) words.push_back(w);
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(&w[0]);
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(ParseRenderOptions((int)argv.size(), argv.data(), options, error)) << error;
    UseSize(options.size);
    std::vector<ScriptFrame> frames{ScriptFrame{0, {}}};
    if (g.script != "-") {
        frames.clear();
        ASSERT_TRUE(ReadScript(GOLDENS_DIR "/" + g.script, frames, error)) << error;
    }
    Camera = options.haveCamera ? options.camera : StartCamera;
    ReleaseAllKeys();
    Clock = FrameClock{};
    InstallHeadlessCounter();
    Headless.counter.startReading = 0;
    Seen = Counts{};
    for (size_t i = 0; i < frames.size(); i++) {
        Counting = i + 1 == frames.size();
        PlayScriptFrame(frames[i], FeedFrameTime, RenderFrame);
        Counting = false;
    }
    const size_t bytes = (size_t)Screen.width * Screen.height * 4;
    colourCrc = Crc32(0, Headless.colour, bytes);
    depthCrc = Crc32(0, DepthBuffer, bytes);
}

TEST(Goldens, TogetherCutSplitAndEmptyAgainstEveryPlane) {
    std::vector<Golden> goldens = LoadGoldens();
    Counts total{};
    for (const Golden &g : goldens) {
        uint32_t colour = 0, depth = 0;
        Render(g, colour, depth);
        // The same frames the script check compares, rendered in-process.
        EXPECT_EQ(colour, g.colour) << g.name;
        EXPECT_EQ(depth, g.depth) << g.name;
        std::printf("%-16s", g.name.c_str());
        for (int p = 0; p < 6; p++) {
            std::printf(" %s %d/%d/%d", PlaneNames[p], Seen.cuts[p], Seen.splits[p],
                        Seen.empties[p]);
            total.cuts[p] += Seen.cuts[p];
            total.splits[p] += Seen.splits[p];
            total.empties[p] += Seen.empties[p];
        }
        std::printf(" nested %d\n", Seen.nestedSplits);
        total.nestedSplits += Seen.nestedSplits;
    }
    EXPECT_GE(goldens.size(), 10u);
    int empties = 0;
    for (int p = 0; p < 6; p++) {
        EXPECT_GT(total.cuts[p], 0) << PlaneNames[p] << " plane never cuts a triangle";
        EXPECT_GT(total.splits[p], 0) << PlaneNames[p] << " plane never splits a triangle";
        empties += total.empties[p];
    }
    EXPECT_GT(empties, 0) << "no golden empties a triangle into the collapse point";
    EXPECT_GT(total.nestedSplits, 0) << "no golden splits a split-off triangle again";
}

} // namespace
