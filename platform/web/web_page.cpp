// What page.js calls: start-up after the controls box, one frame per
// animation frame, keys, the test mode's fed frame times, and the frame's
// CRC-32s and pixels for the tests.
#include <emscripten.h>

#include <algorithm>
#include <string>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/frame_step.h"
#include "app/keys.h"
#include "app/quote.h"
#include "app/script.h"
#include "app/size_choice.h"
#include "app/version.h"
#include "platform/web/web_page.h"
#include "render/crc32.h"
#include "render/fill_path.h"
#include "render/frame_size.h"
#include "render/frustum.h"

WebScript PageScript;

namespace {
std::string ConfigureError;
std::string ThreadsError;
std::string SizeError;

// As the window: one thread draws the frame as shipped, more draw it in
// bands (the page reads threads=0 itself, as every hardware thread).
DrawingChoice PageDrawing = DrawAsShipped;
FrameStep PageStep = nullptr; // from WebStart on
FrameSize PageSize = {DefaultFrameWidth, DefaultFrameHeight};

// One frame's worth of fed time: the next start reading is that much later.
void FeedFrame(uint32_t micros) { FeedCounter(PageClock.counter, micros); }
} // namespace

extern "C" {
// The same texts as the window's title and controls box.
EMSCRIPTEN_KEEPALIVE const char *WebTitle() { return WindowTitle; }
EMSCRIPTEN_KEEPALIVE const char *WebControlsCaption() { return ControlsCaption; }
EMSCRIPTEN_KEEPALIVE const char *WebControlsText() { return ControlsText(); }

// The key table's code for a name as scripts type it; 0 for none.
EMSCRIPTEN_KEEPALIVE uint32_t WebKeyCode(const char *name) {
    const KeyBinding *key = FindKeyByName(name);
    return key ? key->code : 0;
}

// The test mode, from the page's URL: frameTime feeds every frame that time
// (seconds, as in a script); scriptLines holds script lines separated by
// line feeds and gives each frame's time and keys. Either may be null.
// Returns "" or a message naming what was wrong.
EMSCRIPTEN_KEEPALIVE const char *WebConfigure(const char *frameTime, const char *scriptLines) {
    ConfigureError.clear();
    std::string error;
    bool skip = false;
    ScriptFrame frame;
    if (frameTime) {
        if (!ParseScriptLine(frameTime, skip, frame, error) || skip || !frame.keys.empty()) {
            ConfigureError =
                "frametime: " + (error.empty() ? "expected seconds, such as 0.016667" : error);
            return ConfigureError.c_str();
        }
        PageClock.fed = true;
        PageScript.fixedMicros = frame.micros;
    }
    if (scriptLines) {
        std::string text = scriptLines;
        size_t at = 0;
        for (int lineNumber = 1; at <= text.size(); lineNumber++) {
            size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            if (!ParseScriptLine(text.substr(at, end - at), skip, frame, error)) {
                ConfigureError = "script line " + std::to_string(lineNumber) + ": " + error;
                return ConfigureError.c_str();
            }
            if (!skip) PageScript.frames.push_back(frame);
            at = end + 1;
        }
        if (PageScript.frames.empty())
            return ConfigureError = "script: no frames", ConfigureError.c_str();
        PageClock.fed = true;
        PageScript.active = true;
    }
    return ConfigureError.c_str();
}

// The threads WebStart starts: threads - 1 helpers for the bands (the
// page's own thread draws too).
EMSCRIPTEN_KEEPALIVE void WebUseThreads(int threads) {
    PageDrawing = DrawingForThreadOption(threads);
}

// size=WIDTHxHEIGHT, before WebStart. Returns "" or a message.
EMSCRIPTEN_KEEPALIVE const char *WebUseSize(const char *text) {
    SizeError.clear();
    std::string error;
    if (!ParseFrameSize(text, PageSize, error)) SizeError = Quote(text) + " " + error;
    return SizeError.c_str();
}

// size=native: the canvas's size in device pixels, brought within the sizes
// drawn (a tiny or huge window still gets a frame).
EMSCRIPTEN_KEEPALIVE void WebUseNativeSize(int width, int height) {
    PageSize = {std::clamp<int32_t>(width, MinFrameWidth, MaxFrameWidth),
                std::clamp<int32_t>(height, MinFrameHeight, MaxFrameHeight)};
}

// What the page draws with, for its overlay and scanvane.info().
EMSCRIPTEN_KEEPALIVE int WebFrameWidth() { return Screen.width; }
EMSCRIPTEN_KEEPALIVE int WebFrameHeight() { return Screen.height; }
EMSCRIPTEN_KEEPALIVE int WebThreads() { return DrawingThreads(PageDrawing); }
EMSCRIPTEN_KEEPALIVE const char *WebFill() { return FillPathName(ActiveFillPath()); }

// After the controls box, as the window starts up after its box; the bands
// are cut for the frame's size, so their threads start after the graphics.
// Returns "" or a message.
EMSCRIPTEN_KEEPALIVE const char *WebStart() {
    InitGraphics(nullptr, PageSize);
    PageStep = StartDrawing(PageDrawing, ThreadsError);
    return PageStep == nullptr ? ThreadsError.c_str() : "";
}

// Draws the next frame; 0 when there is none (stopped, not started, or the
// script ended).
EMSCRIPTEN_KEEPALIVE int WebRunFrame() {
    if (Page.stopped || PageStep == nullptr) return 0;
    if (PageScript.active) {
        if (PageScript.next == PageScript.frames.size()) return 0;
        PlayScriptFrame(PageScript.frames[PageScript.next++], FeedFrame, PageStep);
        return 1;
    }
    if (PageClock.fed) FeedFrame(PageScript.fixedMicros);
    PageStep();
    return 1;
}

EMSCRIPTEN_KEEPALIVE void WebKeyDown(uint32_t code) { OnKeyDown(code); }
EMSCRIPTEN_KEEPALIVE void WebKeyUp(uint32_t code) { OnKeyUp(code); }
EMSCRIPTEN_KEEPALIVE void WebReleaseAllKeys() { ReleaseAllKeys(); }
EMSCRIPTEN_KEEPALIVE int WebStopped() { return Page.stopped; }
EMSCRIPTEN_KEEPALIVE int WebFramesShown() { return Page.framesShown; }
// The latest frame's drawing work in microseconds, as the counter shows it.
EMSCRIPTEN_KEEPALIVE uint32_t WebClockCount() { return Clock.clockCount; }

// Over the little-endian bytes of the latest frame, as scanvane-render prints.
EMSCRIPTEN_KEEPALIVE uint32_t WebColourCrc() {
    return Crc32(0, Page.colour, (size_t)Screen.width * Screen.height * 4);
}
EMSCRIPTEN_KEEPALIVE uint32_t WebDepthCrc() {
    return Crc32(0, DepthBuffer, (size_t)Screen.width * Screen.height * 4);
}
EMSCRIPTEN_KEEPALIVE const uint32_t *WebColourBuffer() { return Page.colour; }
}
