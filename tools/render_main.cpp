// scanvane-render: runs the real frame cycle without a window and writes the
// last frame, for scripts, goldens and comparisons across platforms.
#include <algorithm>
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
#include "app/frame_cycle.h"
#include "app/frame_step.h"
#include "app/model_scene.h"
#include "app/options.h"
#ifdef SCANVANE_HAVE_MODELS
#include "app/model_choice.h"
#endif
#include "app/quote.h"
#include "app/script.h"
#include "app/size_choice.h"
#include "platform/headless/headless.h"
#include "render/crc32.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "tools/image_files.h"
#include "tools/options.h"
#include "tools/png_writer.h"
#include "tools/render_options.h"

static const char program[] = "scanvane-render";

static const char summary[] =
    "Renders the Scanvane scene without a window and prints one JSON line.\n";
static const char notes[] =
    "Every option takes its value as --opt VALUE or --opt=VALUE. Outputs are written whole or not "
    "at "
    "all. Exit status 0 on success, 2 on bad input or an unwritable output, with one line on "
    "standard error.";

static int Fail(const std::string &message) { return ToolFail(program, message); }

// --- the frame's outputs ------------------------------------------------------
enum class Content { Png, Colour, Depth };

struct FrameOutput {
    Content content;
    OutputStream *stream;
    PngWriter png;
};

// Bytes of each buffer read per step: well within a core's cache, so a band
// is hashed and written while it is there and memory is read once.
static const size_t BandBytes = 256 * 1024;

// Words as the little-endian bytes the files and CRCs are made of: on a
// little-endian host the buffer itself, elsewhere a copy of the band.
static const void *LittleEndianBytes(const uint32_t *words, size_t count,
                                     std::vector<uint8_t> &scratch) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    scratch.resize(count * 4);
    for (size_t i = 0; i < count; i++)
        for (int b = 0; b < 4; b++) scratch[4 * i + b] = (uint8_t)(words[i] >> (8 * b));
    return scratch.data();
#else
    (void)count, (void)scratch;
    return words;
#endif
}

static bool PngFailed(FrameOutput &o, std::string &error) {
    error = "cannot write '" + o.stream->path + "': " + o.png.error;
    return false;
}

// Writes the last frame to outputs and, where asked, hashes its buffers, in
// one pass over them a band of rows at a time; then closes the outputs.
static bool WriteFrame(std::vector<FrameOutput *> &outputs, uint32_t *colourCrc, uint32_t *depthCrc,
                       std::string &error) {
    const int width = Screen.width, height = Screen.height;
    const int bandRows = std::max(1, (int)(BandBytes / (4 * (size_t)width)));
    const uint32_t *colour = Headless.colour, *depth = (const uint32_t *)DepthBuffer;
    std::vector<uint8_t> scratch;
    bool ok = true;
    for (FrameOutput *o : outputs)
        if (ok && o->content == Content::Png && !BeginPng(o->png, o->stream->file, width, height))
            ok = PngFailed(*o, error);
    for (int y = 0; ok && y < height; y += bandRows) {
        const int rows = std::min(bandRows, height - y);
        const size_t at = (size_t)y * width, words = (size_t)rows * width;
        const void *colourBytes = LittleEndianBytes(colour + at, words, scratch);
        if (colourCrc) *colourCrc = Crc32(*colourCrc, colourBytes, 4 * words);
        for (FrameOutput *o : outputs) {
            if (ok && o->content == Content::Png && !AddPngRows(o->png, colour + at, rows))
                ok = PngFailed(*o, error);
            if (ok && o->content == Content::Colour)
                ok = WriteOutput(*o->stream, colourBytes, 4 * words, error);
        }
        const void *depthBytes = LittleEndianBytes(depth + at, words, scratch);
        if (depthCrc) *depthCrc = Crc32(*depthCrc, depthBytes, 4 * words);
        for (FrameOutput *o : outputs)
            if (ok && o->content == Content::Depth)
                ok = WriteOutput(*o->stream, depthBytes, 4 * words, error);
    }
    for (FrameOutput *o : outputs) {
        if (o->content == Content::Png && !EndPng(o->png) && ok) ok = PngFailed(*o, error);
        if (ok) ok = CloseOutput(*o->stream, error);
    }
    return ok;
}

static int Run(int argc, char **argv);

static std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\')
            out += '\\', out += (char)c;
        else if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        } else
            out += (char)c;
    }
    return out + "\"";
}

// ,"model":{...} when a model is drawn; nothing for the built-in scene.
static std::string ModelJson(const ModelInfo &info, double milliseconds) {
    const Mesh *mesh = SceneModel();
    if (!mesh) return "";
#ifdef SCANVANE_HAVE_MODELS
    const ModelChoice &chosen = ChosenModel;
#else
    const struct {
        std::string file;
        ModelOptions options;
    } chosen{};
#endif
    char numbers[256];
    std::snprintf(
        numbers, sizeof numbers,
        ",\"vertices\":%u,\"triangles\":%u,\"load_ms\":%.3f,\"placement\":\"%s\",\"up\":\"%s\","
        "\"shading\":\"%s\",\"vertex_colours\":%s,\"lit\":%s}",
        MeshVertexCount(*mesh), MeshTriangleCount(*mesh), milliseconds,
        PlacementName(chosen.options.placement), UpName(chosen.options.up),
        chosen.options.shading ? "on" : "off", info.vertexColours ? "true" : "false",
        info.shaded ? "true" : "false");
    return ",\"model\":{\"file\":" + JsonString(chosen.file) + ",\"format\":\"" + info.format +
           "\"" + numbers;
}

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
            std::fputs(
                (UsageText(program, rows) + summary + OptionsHelp(rows) + WrapText(notes, 0) + "\n")
                    .c_str(),
                stdout);
        } else {
            std::printf("%s\n", VersionLine(program).c_str());
        }
        return StandardOutputWritten() ? 0 : Fail("cannot write standard output");
    }
    if (!ApplyChosenFill(error)) return Fail(error);
    ScriptReader script;
    if (!options.script.empty() && !OpenScript(options.script, script, error)) return Fail(error);

    // The model before anything is opened or drawn: a bad file is refused at once.
    ModelInfo modelInfo;
    double loadMilliseconds = 0.0;
#ifdef SCANVANE_HAVE_MODELS
    const auto loadStart = std::chrono::steady_clock::now();
    if (!LoadChosenModel(modelInfo, error)) return Fail(error);
    loadMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStart)
            .count();
#endif

    // Every output is opened before the buffers are allocated and anything
    // is drawn: one that cannot be written is refused at once.
    std::vector<std::string> paths;
    std::vector<Content> contents;
    for (auto [path, content] : {std::pair{options.png, Content::Png},
                                 {options.raw, Content::Colour},
                                 {options.depth, Content::Depth}})
        if (!path.empty()) paths.push_back(path), contents.push_back(content);
    OpenOutputs opened; // a failed run leaves no file where one was asked for
    if (!OpenOutputFiles(paths, opened, error)) return Fail(error);

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

    // Files first; devices and pipes cannot be renamed onto and get the bytes
    // directly, last, so that a failure before that has touched none of them.
    std::vector<FrameOutput> outputs;
    for (size_t i = 0; i < paths.size(); i++)
        outputs.push_back({contents[i], &opened.streams[i], {}});
    std::vector<FrameOutput *> files, devices;
    for (FrameOutput &o : outputs) (o.stream->part.empty() ? devices : files).push_back(&o);
    uint32_t colourCrc = 0, depthCrc = 0;
    if (!WriteFrame(files, &colourCrc, &depthCrc, error)) return Fail(error);
    if (!devices.empty() && !WriteFrame(devices, nullptr, nullptr, error)) return Fail(error);

    std::printf("{\"x\":%.9g,\"z\":%.9g,\"height\":%.9g,\"heading\":%.9g,\"frames\":%zu,"
                "\"size\":\"%dx%d\",\"frame_time\":%.17g,\"colour_crc32\":\"%08x\",\"depth_crc32\":"
                "\"%08x\","
                "\"overlay\":\"%s\"%s}\n",
                Camera.x, Camera.z, Camera.height, Camera.heading, frameCount, (int)Screen.width,
                (int)Screen.height, Clock.frameTime, (unsigned)colourCrc, (unsigned)depthCrc,
                Headless.overlayNumber.c_str(), ModelJson(modelInfo, loadMilliseconds).c_str());
    // Renamed into place only after the JSON line is out.
    if (!StandardOutputWritten()) return Fail("cannot write standard output");
    if (!CommitOutputs(opened, error)) return Fail(error);
    return 0;
}
