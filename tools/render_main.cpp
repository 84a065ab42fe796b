// scanvane-render: runs the real frame cycle without a window and writes the
// last frame, for scripts, goldens and comparisons across platforms.
#include <cstdio>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "render/frustum.h"
#include "tools/crc32.h"
#include "tools/headless.h"
#include "tools/image_files.h"
#include "tools/render_options.h"

static const char usage[] =
    "usage: scanvane-render [--camera X,Z,HEIGHT,HEADING] [--script FILE|-]\n"
    "                       [--png FILE] [--raw FILE] [--depth FILE]\n"
    "Renders the Scanvane scene without a window and prints one JSON line.\n"
    "  --camera   start camera (default 40,-20,0,0); heading in degrees\n"
    "  --script   one frame per line: SECONDS [KEY ...], keys left right up down a z;\n"
    "             blank lines and lines starting with # are skipped; - reads stdin.\n"
    "             Without a script one frame is drawn with no key held.\n"
    "  --png      last frame as 8-bit RGB PNG\n"
    "  --raw      last frame's colour buffer, 196,608 little-endian 0x00RRGGBB words\n"
    "  --depth    last frame's depth buffer, 196,608 little-endian floats\n"
    "Exit status 0 on success, 2 on bad input or an unwritable output.\n";

static int Fail(const std::string &message) {
    std::fprintf(stderr, "scanvane-render: %s\n", message.c_str());
    return 2;
}

static const uint32_t allKeys[] = {KeyLeft, KeyUp, KeyRight, KeyDown, KeyA, KeyZ};

int main(int argc, char **argv) {
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) return Fail(error);
    if (options.help) {
        std::fputs(usage, stdout);
        return 0;
    }
    std::vector<ScriptFrame> frames;
    if (!options.script.empty() && !ReadScript(options.script, frames, error)) return Fail(error);
    if (options.script.empty()) frames.push_back(ScriptFrame{0, {}});

    if (options.haveCamera) Camera = options.camera;
    InstallHeadlessCounter();
    InitGraphics(nullptr);
    for (const ScriptFrame &frame : frames) {
        for (uint32_t key : allKeys) OnKeyUp(key);
        for (uint32_t key : frame.keys) OnKeyDown(key);
        FeedFrameTime(frame.micros);
        RenderFrame();
    }

    const size_t pixels = (size_t)Screen.width * Screen.height;
    std::string colourBytes, depthBytes;
    AppendLittleEndian(colourBytes, Headless.colour, pixels);
    AppendLittleEndian(depthBytes, (const uint32_t *)DepthBuffer, pixels);
    if (!options.png.empty() &&
        !WritePng(options.png, Headless.colour, Screen.width, Screen.height, error))
        return Fail(error);
    if (!options.raw.empty() && !WriteRaw(options.raw, colourBytes.data(), colourBytes.size(), error))
        return Fail(error);
    if (!options.depth.empty() &&
        !WriteRaw(options.depth, depthBytes.data(), depthBytes.size(), error))
        return Fail(error);

    std::printf("{\"x\":%.9g,\"z\":%.9g,\"height\":%.9g,\"heading\":%.9g,\"frames\":%zu,"
                "\"frame_time\":%.17g,\"colour_crc32\":\"%08x\",\"depth_crc32\":\"%08x\","
                "\"overlay\":\"%s\"}\n",
                Camera.x, Camera.z, Camera.height, Camera.heading, frames.size(), Clock.frameTime,
                (unsigned)Crc32(0, colourBytes.data(), colourBytes.size()),
                (unsigned)Crc32(0, depthBytes.data(), depthBytes.size()),
                Headless.overlayNumber.c_str());
    return 0;
}
