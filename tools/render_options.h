// Command line of the headless renderer (its key scripts: app/script.h).
#pragma once
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/options.h"
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
};

// The renderer's rows: the common ones, then --camera, --script, --png,
// --raw and --depth.
std::vector<OptionRow> RenderOptionRows();
// False with a one-line message in error.
bool ParseRenderOptions(int argc, char **argv, RenderOptions &options, std::string &error);
// X,Z,HEIGHT,HEADING; false with the refusal worded for after "--camera ".
bool ParseCamera(const std::string &text, CameraState &camera, std::string &error);
