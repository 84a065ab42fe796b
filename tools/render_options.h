// Command line of the headless renderer (its key scripts: app/script.h).
#pragma once
#include <string>

#include "app/camera.h"
#include "app/model_load.h"
#include "app/size_choice.h"
#include "render/frame_size.h"

struct RenderOptions {
    bool help = false, version = false;
    std::string fill; // empty: SCANVANE_FILL or the widest
    bool haveCamera = false;
    CameraState camera{};
    std::string script, png, raw, depth;
    int threads = 1; // 1: the specified one-thread frame cycle; 0: all hardware threads
    FrameSize size{DefaultFrameWidth, DefaultFrameHeight};
    std::string model; // empty: the built-in scene
    ModelOptions modelOptions;
};

// Each returns false with a one-line message in error.
bool ParseRenderOptions(int argc, char **argv, RenderOptions &options, std::string &error);
bool ParseCamera(const std::string &text, CameraState &camera, std::string &error);
bool ParseThreadCount(const std::string &text, int &threads, std::string &error);
// --as-is, --up and --shading: given without --model they are refused.
bool ParseModelOptions(bool asIs, const std::string &up, const std::string &shading, bool haveModel,
                       ModelOptions &options, std::string &error);
