// What page.js calls: start-up after the controls box, one frame per
// animation frame, keys, the test mode's fed frame times, and the frame's
// CRC-32s and pixels for the tests.
#include <emscripten.h>

#include <string>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/keys.h"
#include "app/script.h"
#include "app/version.h"
#include "platform/web/web_page.h"
#include "render/crc32.h"
#include "render/frustum.h"

WebScript PageScript;

namespace {
std::string ConfigureError;

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

// After the controls box, as the window starts up after its box.
EMSCRIPTEN_KEEPALIVE void WebStart() { InitGraphics(nullptr); }

// Draws the next frame; 0 when there is none (stopped, or the script ended).
EMSCRIPTEN_KEEPALIVE int WebRunFrame() {
    if (Page.stopped) return 0;
    if (PageScript.active) {
        if (PageScript.next == PageScript.frames.size()) return 0;
        PlayScriptFrame(PageScript.frames[PageScript.next++], FeedFrame, RenderFrame);
        return 1;
    }
    if (PageClock.fed) FeedFrame(PageScript.fixedMicros);
    RenderFrame();
    return 1;
}

EMSCRIPTEN_KEEPALIVE void WebKeyDown(uint32_t code) { OnKeyDown(code); }
EMSCRIPTEN_KEEPALIVE void WebKeyUp(uint32_t code) { OnKeyUp(code); }
EMSCRIPTEN_KEEPALIVE void WebReleaseAllKeys() { ReleaseAllKeys(); }
EMSCRIPTEN_KEEPALIVE int WebStopped() { return Page.stopped; }
EMSCRIPTEN_KEEPALIVE int WebFramesShown() { return Page.framesShown; }

// Over the little-endian bytes of the latest frame, as scanvane-render prints.
EMSCRIPTEN_KEEPALIVE uint32_t WebColourCrc() {
    return Crc32(0, Page.colour, (size_t)Screen.width * Screen.height * 4);
}
EMSCRIPTEN_KEEPALIVE uint32_t WebDepthCrc() {
    return Crc32(0, DepthBuffer, (size_t)Screen.width * Screen.height * 4);
}
EMSCRIPTEN_KEEPALIVE const uint32_t *WebColourBuffer() { return Page.colour; }
}
