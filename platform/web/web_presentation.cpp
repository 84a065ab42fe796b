// The platform operations of the frame cycle for the browser page. The
// colour buffer is our own memory; at the end of a frame it is copied, made
// opaque, into the canvas. The counter text goes onto a separate overlay
// canvas so the frame canvas holds exactly the rendered pixels.
#include <emscripten.h>

#include <new>

#include "app/platform.h"
#include "platform/web/web_page.h"
#include "render/frame_size.h"

WebPresentation Page;
WebClock PageClock;

// page.js provides these on Module.
EM_JS(void, ShowCanvasPixels, (const uint32_t *pixels, int width, int height),
      { Module.scanvaneShowFrame(pixels, width, height); });
EM_JS(void, ShowOverlayText, (int x, int y, const char *text, int count),
      { Module.scanvaneShowText(x, y, text, count); });
EM_JS(void, ShowStopped, (), { Module.scanvaneStopped(); });

void CreatePresentation(void *, FrameSize size) {
    const int32_t pixels = FrameBufferPixels(size.width, size.height);
    Page.size = size;
    Page.colour = new (std::align_val_t(16)) uint32_t[pixels]();
    Page.canvasPixels = new (std::align_val_t(16)) uint32_t[pixels]();
}

// The page's frame keeps its size, so nothing calls this yet; the new
// buffers are had before the old ones go.
void ResizePresentation(FrameSize size) {
    uint32_t *colour = Page.colour, *canvasPixels = Page.canvasPixels;
    CreatePresentation(nullptr, size);
    ::operator delete[](colour, std::align_val_t(16));
    ::operator delete[](canvasPixels, std::align_val_t(16));
}

uint32_t *BeginFrame() { return Page.colour; }

// 0x00RRGGBB in memory is B, G, R, 0; the canvas wants R, G, B, A.
void EndFrame() {
    const uint32_t opaque = 0xFF000000u;
    for (int32_t i = 0, pixels = Page.size.width * Page.size.height; i < pixels; i++) {
        uint32_t p = Page.colour[i];
        Page.canvasPixels[i] = opaque | (p & 0xFFu) << 16 | (p & 0xFF00u) | (p >> 16 & 0xFFu);
    }
    ShowCanvasPixels(Page.canvasPixels, Page.size.width, Page.size.height);
    Page.framesShown++;
}

void DrawOverlayText(int x, int y, const char *text, int count) {
    ShowOverlayText(x, y, text, count);
}

// There is no window to destroy: the frames stop and the page says so.
void DestroyMainWindow() {
    Page.stopped = true;
    ShowStopped();
}

static const int64_t MicrosPerSecond = 1000000;
static const double MicrosPerMilli = 1000.0;

int64_t CounterFrequency() { return MicrosPerSecond; }

// performance.now() in whole microseconds. Browsers coarsen it (about 100 us
// in headless Chromium), so the counter moves in steps of that size.
int64_t CounterReading() {
    double now = emscripten_get_now();
    if (!PageClock.fed) return (int64_t)(now * MicrosPerMilli);
    if (FedReadingStartsFrame(PageClock.counter)) {
        PageClock.frameStartMs = now;
        return PageClock.counter.startReading;
    }
    return PageClock.counter.startReading +
           (int64_t)((now - PageClock.frameStartMs) * MicrosPerMilli);
}
