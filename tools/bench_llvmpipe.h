// The same 88 triangles drawn by Mesa's llvmpipe through OSMesa, single
// threaded, for a yardstick from a real software rasteriser.
#pragma once
#include <string>

#include "app/camera.h"
#include "tools/bench_floors.h"

// False with a message when OSMesa is missing from this build or fails.
// Times clear + draw + glFinish of frames (after warm-up ones) at the camera.
bool TimeLlvmpipe(const CameraState &camera, int frames, Timing &timing, std::string &renderer,
                  std::string &error);
