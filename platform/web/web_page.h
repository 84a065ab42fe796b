// The browser page's process-wide state: the presentation the frame cycle
// draws into, the clock it reads, and the fed frame times of the test mode.
#pragma once
#include <cstdint>
#include <vector>

#include "app/fed_counter.h"
#include "app/script.h"
#include "render/frame_size.h"

struct WebPresentation {
    FrameSize size;         // of both buffers and the canvas
    uint32_t *colour;       // 0x00RRGGBB: the frame cycle's colour buffer
    uint32_t *canvasPixels; // the same frame as canvas bytes R, G, B, 255
    bool stopped;           // Escape destroyed the page's "window"
    int framesShown;
};

// In the fed mode each frame's start reading advances by the fed time, so the
// frame time is exact; the clock count still measures real time.
struct WebClock {
    bool fed;
    FedCounter counter;  // frame-start readings, fed a frame time each frame
    double frameStartMs; // real time of the latest frame-start reading
};

// The test mode's frames, as scanvane-render's --script gives them.
struct WebScript {
    bool active;
    std::vector<ScriptFrame> frames;
    size_t next;
    uint32_t fixedMicros; // every frame's time when fed without a script
};

extern WebPresentation Page;
extern WebClock PageClock;
extern WebScript PageScript;
