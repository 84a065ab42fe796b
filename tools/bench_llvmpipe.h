// The scene's triangles (the built-in 88, or the model drawn in its place,
// indexed in one draw call) drawn by Mesa's llvmpipe through OSMesa, on one
// thread or several, for a yardstick from a real software rasteriser.
#pragma once
#include <string>
#include <vector>

#include "app/camera.h"
#include "tools/bench_floors.h"

// Whether this build has OSMesa, so that every run can draw the yardstick.
extern const bool LlvmpipeBuiltIn;

// False with a message when OSMesa is missing from this build or fails.
// Times clear + draw + glFinish of frames (after warm-up ones) at the camera,
// with llvmpipe's own threads set to threads (LP_NUM_THREADS; 1 draws on the
// calling thread alone).
// The samples (ns) are also appended to samplesOut when given.
bool TimeLlvmpipe(const CameraState &camera, int frames, int threads, Timing &timing,
                  std::string &renderer, std::string &error,
                  std::vector<double> *samplesOut = nullptr);

// The same with the camera moving: measured frame i is drawn from
// cameras[i % size] (a walk's cameras, frame by frame), after warmFrames
// frames from the first camera.
bool TimeLlvmpipeCameras(const std::vector<CameraState> &cameras, int warmFrames, int frames,
                         int threads, Timing &timing, std::string &renderer, std::string &error,
                         std::vector<double> *samplesOut = nullptr);
