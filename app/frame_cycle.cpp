#include "app/frame_cycle.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/camera.h"
#include "app/model_scene.h"
#include "app/platform.h"
#include "render/fill_path.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "render/matrix.h"
#include "render/pipeline.h"
#include "render/render_target.h"
#include "render/setup.h"

FrameClock Clock;
float *DepthBuffer;
Matrix4 ViewRotation;

void InitGraphics(void *window, FrameSize size) {
    // Screen constants, presentation, depth buffer, then the rest of the
    // renderer, in that order. The depth buffer is aligned for the clear's
    // 16-byte stores; a failure is not caught here (the programs catch it and
    // refuse the size with a message). The colour buffer is the
    // presentation's, handed over by each BeginFrame.
    SetScreenConstants(size.width, size.height);
    CreatePresentation(window, size);
    DepthBuffer = new (std::align_val_t(16)) float[FrameBufferPixels(size.width, size.height)];
    SetUpRenderer(size.width, size.height, nullptr, DepthBuffer);
    // The widest span fill this processor runs, unless one is forced (by the
    // environment, or by a program's own option before this call); a path
    // that cannot run is refused rather than silently replaced.
    if (FillPathChosen()) return;
    if (const char *error = ChooseFillPath(std::getenv(FillPathVariable))) {
        std::fprintf(stderr, "scanvane: %s: %s\n", FillPathVariable, error);
        std::exit(2);
    }
}

bool RestartGraphicsAtSize(FrameSize size) {
    float *depth =
        new (std::align_val_t(16), std::nothrow) float[FrameBufferPixels(size.width, size.height)];
    if (depth == nullptr) return false;
    ::operator delete[](DepthBuffer, std::align_val_t(16));
    DepthBuffer = depth;
    SetUpRenderer(size.width, size.height, nullptr, DepthBuffer);
    ResizePresentation(size);
    return true;
}

void BuildViewMatrix() {
    ResetMatrix(CurrentMatrix);
    CurrentMatrix.m[3] = -Camera.x;
    CurrentMatrix.m[7] = -Camera.height;
    CurrentMatrix.m[11] = -Camera.z;

    float a = Camera.heading * DegreesToRadians;
    float c = (float)std::cos((double)a);
    float s = (float)std::sin((double)a);
    ResetMatrix(ViewRotation);
    ViewRotation.m[0] = c;
    ViewRotation.m[2] = s;
    ViewRotation.m[8] = -s;
    ViewRotation.m[10] = c;
    PremultiplyCurrentMatrix(ViewRotation);
}

void RenderFrame() { RenderFrameDrawnBy(ClearAndDrawScene); }

void ClearAndDrawScene() {
    ClearRenderTarget(FrameBufferPixels(Screen.width, Screen.height), Target.colour, Target.depth);
    AdvanceCameraAndSendScene();
}

void AdvanceCameraAndSendScene() {
    AdvanceCamera(Clock.frameTime);
    BuildViewMatrix();
    SendSceneTriangles();
}

// Reads the counter CounterReadingsPerFrame times, in the order platform.h
// gives: fed counters depend on it.
void RenderFrameDrawnBy(void (*clearAndDraw)()) {
    Clock.frequency = CounterFrequency();
    int64_t reading = CounterReading();
    uint32_t ticks = (uint32_t)reading - (uint32_t)Clock.previousReading; // wraps mod 2^32
    uint32_t perSecond = (uint32_t)Clock.frequency;
    // A counter without a usable frequency would give an infinite step.
    Clock.frameTime = perSecond == 0 ? 0.0 : (double)ticks / (double)perSecond;
    Clock.previousReading = reading;

    Clock.lapMark = (uint32_t)CounterReading();

    Target.colour = BeginFrame();
    clearAndDraw();

    uint32_t lap = (uint32_t)CounterReading();
    Clock.clockCount = lap - Clock.lapMark;
    Clock.lapMark = lap;

    EndFrame();
    Target.colour = nullptr;

    char text[128];
    std::memset(text, 0, sizeof text);
    std::snprintf(text, sizeof text, "%u", (unsigned)Clock.clockCount);
    DrawOverlayText(OverlayLabelX, OverlayTextY, OverlayLabel, OverlayLabelLength);
    DrawOverlayText(OverlayNumberX, OverlayTextY, text, (int)std::strlen(text));
}
