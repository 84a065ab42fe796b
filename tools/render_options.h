// Command line and key script of the headless renderer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/camera.h"

struct ScriptFrame {
    uint32_t micros;           // frame time in microseconds
    std::vector<uint32_t> keys; // virtual-key codes held during the frame
};

struct RenderOptions {
    bool help = false;
    bool haveCamera = false;
    CameraState camera{};
    std::string script, png, raw, depth;
};

// Each returns false with a one-line message in error.
bool ParseRenderOptions(int argc, char **argv, RenderOptions &options, std::string &error);
bool ParseCamera(const std::string &text, CameraState &camera, std::string &error);
bool ParseScriptLine(const std::string &line, bool &skip, ScriptFrame &frame, std::string &error);
bool ReadScript(const std::string &path, std::vector<ScriptFrame> &frames, std::string &error);
