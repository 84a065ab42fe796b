// scanvane-render: runs the real frame cycle without a window and writes the
// last frame, for scripts, goldens and comparisons across platforms.
#include <cstdio>
#include <new>
#include <string>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/frame_step.h"
#include "app/options.h"
#include "app/quote.h"
#include "app/script.h"
#include "app/size_choice.h"
#include "platform/headless/headless.h"
#include "render/crc32.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "tools/image_files.h"
#include "tools/options.h"
#include "tools/render_options.h"

static const char program[] = "scanvane-render";

static const char summary[] = "Renders the Scanvane scene without a window and prints one JSON line.\n";
static const char notes[] =
    "Every option takes its value as --opt VALUE or --opt=VALUE. Outputs are written whole or not at "
    "all. Exit status 0 on success, 2 on bad input or an unwritable output, with one line on "
    "standard error.";

static int Fail(const std::string &message) { return ToolFail(program, message); }

static int Run(int argc, char **argv);

int main(int argc, char **argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc &) {
        // Nothing has been written yet: outputs go out together at the end.
        // The screen constants hold the size from InitGraphics's first step.
        return Fail("not enough memory for a " + std::to_string(Screen.width) + "x" +
                    std::to_string(Screen.height) + " frame and its outputs");
    }
}

static int Run(int argc, char **argv) {
#ifdef _WIN32
    // The same bytes as everywhere else: no CR before each LF on the way out,
    // and no end of input at a stray Ctrl-Z in a script read from stdin.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) return Fail(error);
    if (options.help || options.version) {
        if (options.help) {
            const std::vector<OptionRow> rows = RenderOptionRows();
            std::fputs((UsageText(program, rows) + summary + OptionsHelp(rows) + WrapText(notes, 0) + "\n").c_str(),
                       stdout);
        } else {
            std::printf("%s\n", VersionLine(program).c_str());
        }
        return StandardOutputWritten() ? 0 : Fail("cannot write standard output");
    }
    if (!ApplyChosenFill(error)) return Fail(error);
    ScriptReader script;
    if (!options.script.empty() && !OpenScript(options.script, script, error)) return Fail(error);

    if (options.haveCamera) Camera = options.camera;
    InstallHeadlessCounter();
    InitGraphics(nullptr, options.size);
    // Stopped and joined on every way out (also registered at exit).
    struct ThreadsStop {
        ~ThreadsStop() { StopDrawing(); }
    } threadsStop;
    const FrameStep step = StartDrawing(DrawingForThreadOption(options.threads), error);
    if (step == nullptr) return Fail(error);

    // Frames are drawn as the script is read, so a long or endless pipe
    // needs no memory of its own; nothing is written before the end.
    size_t frameCount = 0;
    ScriptFrame frame{0, {}};
    for (;;) {
        if (!options.script.empty()) {
            int got = NextScriptFrame(script, frame, error);
            if (got < 0) return Fail(error);
            if (got == 0) break;
        } else if (frameCount == 1) {
            break; // no script: one frame with no key held
        }
        PlayScriptFrame(frame, FeedFrameTime, step);
        frameCount++;
    }
    CloseScript(script);
    if (frameCount == 0)
        return Fail("script " + Quote(options.script) + " has no frames (only blank or # lines)");

    const size_t pixels = (size_t)Screen.width * Screen.height;
    std::string colourBytes, depthBytes;
    AppendLittleEndian(colourBytes, Headless.colour, pixels);
    AppendLittleEndian(depthBytes, (const uint32_t *)DepthBuffer, pixels);
    std::vector<OutputFile> outputs;
    if (!options.png.empty())
        outputs.push_back({options.png, EncodePng(Headless.colour, Screen.width, Screen.height)});
    if (!options.raw.empty()) outputs.push_back({options.raw, colourBytes});
    if (!options.depth.empty()) outputs.push_back({options.depth, depthBytes});
    // Renamed into place only after the JSON line is out: a failed run
    // leaves no file where one was asked for.
    StagedFiles staged;
    if (!StageFiles(outputs, staged, error)) return Fail(error);

    std::printf("{\"x\":%.9g,\"z\":%.9g,\"height\":%.9g,\"heading\":%.9g,\"frames\":%zu,"
                "\"size\":\"%dx%d\",\"frame_time\":%.17g,\"colour_crc32\":\"%08x\",\"depth_crc32\":\"%08x\","
                "\"overlay\":\"%s\"}\n",
                Camera.x, Camera.z, Camera.height, Camera.heading, frameCount, (int)Screen.width,
                (int)Screen.height, Clock.frameTime,
                (unsigned)Crc32(0, colourBytes.data(), colourBytes.size()),
                (unsigned)Crc32(0, depthBytes.data(), depthBytes.size()),
                Headless.overlayNumber.c_str());
    if (!StandardOutputWritten()) return Fail("cannot write standard output");
    if (!CommitFiles(staged, error)) return Fail(error);
    return 0;
}
