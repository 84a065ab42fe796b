// Start-up and the per-frame cycle that drives the renderer.
#pragma once
#include <cstdint>

#include "render/frame_size.h"
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

// Sets up screen, presentation, depth buffer, frustum and matrix, once, for
// frames of the given size (within render/frame_size.h's limits). From the
// first step on, the screen constants hold the size of the frames drawn: a
// caller that catches a failed allocation can name the size from there.
void InitGraphics(void *window, FrameSize size);

// Starts the renderer again at a new size, between frames (a window whose
// frame follows its client area, the bench's sweep over sizes): the depth
// buffer of the new size is made before the old one goes, then the screen
// constants, frustum and target are set up for it and the presentation is
// resized (app/platform.h); camera, keys and clock stay as they are. False,
// with nothing changed, when the new buffer cannot be had. Band threads are
// started again afterwards (app/frame_step.h).
bool RestartGraphicsAtSize(FrameSize size);

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
