// Start-up and the per-frame cycle that drives the renderer.
#pragma once
#include <cstdint>

#include "render/types.h"

struct FrameClock {
    int64_t frequency;       // re-read each frame; low 32 bits used
    int64_t previousReading; // start reading of the previous frame
    double frameTime;        // seconds since the previous frame
    uint32_t lapMark;        // low 32 bits of the latest clock-count reading
    uint32_t clockCount;     // ticks of the latest frame's drawing work
};

extern FrameClock Clock;
extern float *DepthBuffer; // allocated once per frame size, kept to the end
extern Matrix4 ViewRotation;

// Sets up screen, presentation, depth buffer, frustum and matrix, once.
void InitGraphics(void *window);

// Starts the renderer again at width x height, between frames (a window
// whose frame follows its client area): the depth buffer of the new size is
// made before the old one goes, then the screen constants, frustum and
// target are set up for it; camera, keys and clock stay as they are. False,
// with nothing changed, when the new buffer cannot be had. The platform then
// presents at the new size (BeginFrame's buffer follows the screen constants).
bool RestartGraphicsAtSize(int32_t width, int32_t height);

// Draws one whole frame and shows it with its clock count.
void RenderFrame();

// RenderFrame's steps with its middle part handed over: clearAndDraw clears
// the target and calls AdvanceCameraAndSendScene, with the streaming clear in
// RenderFrame (ClearAndDrawScene) and otherwise in the all-cores frame
// (app/frame_bands.h).
void RenderFrameDrawnBy(void (*clearAndDraw)());
void ClearAndDrawScene();
// Camera advance, view matrix and the scene's triangles through the pipeline.
void AdvanceCameraAndSendScene();

// The view matrix for the camera as it stands, built into CurrentMatrix.
void BuildViewMatrix();
