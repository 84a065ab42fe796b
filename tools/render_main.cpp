// scanvane-render: runs the real frame cycle without a window and writes the
// last frame, for scripts, goldens and comparisons across platforms.
#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "app/camera.h"
#include "app/frame_bands.h"
#include "app/frame_cycle.h"
#include "app/model_load.h"
#include "app/model_scene.h"
#include "app/quote.h"
#include "app/script.h"
#include "app/size_choice.h"
#include "platform/headless/headless.h"
#include "render/bands.h"
#include "render/crc32.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "tools/image_files.h"
#include "tools/options.h"
#include "tools/render_options.h"

static const char program[] = "scanvane-render";

// printf format: the default size, the size limits, the script's key names,
// the span fills twice.
static const char usage[] =
    "usage: scanvane-render [--camera X,Z,HEIGHT,HEADING] [--script FILE|-]\n"
    "                       [--png FILE] [--raw FILE] [--depth FILE] [--threads N]\n"
    "                       [--size WIDTHxHEIGHT] [--fill PATH]\n"
    "                       [--model FILE [--as-is] [--up y|z] [--shading on|off]]\n"
    "                       | --help | --version\n"
    "Renders the Scanvane scene without a window and prints one JSON line.\n"
    "  --camera   start camera (default 40,-20,0,0); heading in degrees\n"
    "  --size     frame size WIDTHxHEIGHT in pixels (default %dx%d), from %dx%d\n"
    "             to %dx%d\n"
    "  --script   one frame per line: SECONDS [KEY ...], each KEY (%s)\n"
    "             held for that frame; SECONDS is an unsigned decimal of up to 6\n"
    "             places, at most 4294.967295. Blank lines and lines starting\n"
    "             with # are skipped; - reads stdin. Without a script one frame\n"
    "             is drawn with no key held.\n"
    "  --png      last frame as 8-bit RGB PNG\n"
    "  --raw      last frame's colour buffer: WIDTH x HEIGHT little-endian\n"
    "             0x00RRGGBB words, row by row from the top\n"
    "  --depth    last frame's depth buffer: WIDTH x HEIGHT little-endian floats\n"
    "  --threads  draw each frame's rows in bands on N threads (1 to 256; 0:\n"
    "             all hardware threads), the\n"
    "             target cleared with ordinary stores; the frames are the same.\n"
    "             1, the default, is the one-thread frame cycle as shipped\n"
    "  --fill     force the span fill: %s; default: the widest this\n"
    "             processor runs. SCANVANE_FILL=%s in the environment\n"
    "             does the same where --fill is not given\n"
    "  --model    draw the model in FILE (PLY, OBJ, STL, OFF, glTF 2.0: .ply .obj\n"
    "             .stl .off .gltf .glb) in place of the built-in scene; by default\n"
    "             fitted: scaled and moved to stand on the ground in front of the\n"
    "             start camera, about as large as the house. A bad file is\n"
    "             refused with the reason\n"
    "  --as-is    keep the model's own coordinates (the world has y up)\n"
    "  --up       the file's axis that points up: y (default) or z (STL, CAD)\n"
    "  --shading  on (default): a model without vertex colours is lit by a fixed\n"
    "             light baked into its colours; off: its flat colours\n"
    "  --version  print the program's name and version\n"
    "Every option takes its value as --opt VALUE or --opt=VALUE.\n"
    "Outputs are written whole or not at all. Exit status 0 on success, 2 on bad\n"
    "input or an unwritable output, with one line on standard error.\n";

static int Fail(const std::string &message) { return ToolFail(program, message); }

static int Run(int argc, char **argv);

static std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out += '\\', out += (char)c;
        else if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        } else out += (char)c;
    }
    return out + "\"";
}

// ,"model":{...} when a model is drawn; nothing for the built-in scene.
static std::string ModelJson(const RenderOptions &options, const ModelInfo &info, double milliseconds) {
    const Mesh *mesh = SceneModel();
    if (!mesh) return "";
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  ",\"vertices\":%u,\"triangles\":%u,\"load_ms\":%.3f,\"placement\":\"%s\",\"up\":\"%s\","
                  "\"shading\":\"%s\",\"vertex_colours\":%s}",
                  MeshVertexCount(*mesh), MeshTriangleCount(*mesh), milliseconds,
                  PlacementName(options.modelOptions.placement), UpName(options.modelOptions.up),
                  info.shaded ? "on" : "off", info.vertexColours ? "true" : "false");
    return ",\"model\":{\"file\":" + JsonString(options.model) + ",\"format\":\"" + info.format + "\"" +
           numbers;
}

int main(int argc, char **argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc &) {
        // Nothing has been written yet: outputs go out together at the end.
        return Fail("not enough memory for a " + std::to_string(ChosenFrameSize.width) + "x" +
                    std::to_string(ChosenFrameSize.height) + " frame and its outputs");
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
        const std::string fills = FillPathChoices();
        if (options.help)
            std::printf(usage, (int)DefaultFrameWidth, (int)DefaultFrameHeight,
                        (int)MinFrameWidth, (int)MinFrameHeight, (int)MaxFrameWidth,
                        (int)MaxFrameHeight, ScriptKeyNames().c_str(), fills.c_str(),
                        fills.c_str());
        else std::printf("%s\n", VersionLine(program).c_str());
        return StandardOutputWritten() ? 0 : Fail("cannot write standard output");
    }
    if (!ChooseToolFill(options.fill, error)) return Fail(error);
    ScriptReader script;
    if (!options.script.empty() && !OpenScript(options.script, script, error)) return Fail(error);

    // The model before anything else: a bad file is refused at once.
    ModelInfo modelInfo;
    double loadMilliseconds = 0.0;
    if (!options.model.empty()) {
#ifdef SCANVANE_HAVE_MODELS
        Mesh mesh;
        const auto start = std::chrono::steady_clock::now();
        if (!LoadModelFile(options.model, options.modelOptions, mesh, modelInfo, error)) return Fail(error);
        loadMilliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        UseModelScene(std::move(mesh));
#else
        return Fail("this build reads no model files (built without assimp)");
#endif
    }
    if (options.haveCamera) Camera = options.camera;
    InstallHeadlessCounter();
    ChosenFrameSize = options.size;
    InitGraphics(nullptr);
    // Stopped and joined on every way out (also registered at exit).
    struct ThreadsStop {
        ~ThreadsStop() { StopBandThreads(); }
    } threadsStop;
    if (options.threads == 0) options.threads = ProcessorThreads();
    if (options.threads > 1 && !StartBandThreads(options.threads, error)) return Fail(error);

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
        PlayScriptFrame(frame, FeedFrameTime,
                        options.threads > 1 ? RenderFrameInBands : RenderFrame);
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
                "\"overlay\":\"%s\"%s}\n",
                Camera.x, Camera.z, Camera.height, Camera.heading, frameCount, (int)Screen.width,
                (int)Screen.height, Clock.frameTime,
                (unsigned)Crc32(0, colourBytes.data(), colourBytes.size()),
                (unsigned)Crc32(0, depthBytes.data(), depthBytes.size()),
                Headless.overlayNumber.c_str(), ModelJson(options, modelInfo, loadMilliseconds).c_str());
    if (!StandardOutputWritten()) return Fail("cannot write standard output");
    if (!CommitFiles(staged, error)) return Fail(error);
    return 0;
}
