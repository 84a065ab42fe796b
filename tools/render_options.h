// Command line and key script of the headless renderer.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/camera.h"

struct ScriptFrame {
    uint32_t micros;            // frame time in microseconds
    std::vector<uint32_t> keys; // virtual-key codes held during the frame
};

struct RenderOptions {
    bool help = false, version = false;
    std::string fill; // empty: SCANVANE_FILL or the widest
    bool haveCamera = false;
    CameraState camera{};
    std::string script, png, raw, depth;
    int threads = 1; // 1: the specified one-thread frame cycle
};

// A script is read one frame at a time, so that an endless pipe is rendered
// as it arrives instead of piling up in memory.
struct ScriptReader {
    FILE *file = nullptr;
    bool ownsFile = false; // false for standard input
    long lineNumber = 0;
    std::string path;
};

// Lines longer than this are refused rather than read without bound.
constexpr size_t MaxScriptLine = 65536;

// Each returns false with a one-line message in error.
bool ParseRenderOptions(int argc, char **argv, RenderOptions &options, std::string &error);
bool ParseCamera(const std::string &text, CameraState &camera, std::string &error);
// The names a script may hold, space-separated, in the controls text's order.
std::string ScriptKeyNames();
bool ParseThreadCount(const std::string &text, int &threads, std::string &error);
bool ParseScriptLine(const std::string &line, bool &skip, ScriptFrame &frame, std::string &error);

bool OpenScript(const std::string &path, ScriptReader &reader, std::string &error);
// 1 with the next frame in frame, 0 at the end, -1 with a message in error.
int NextScriptFrame(ScriptReader &reader, ScriptFrame &frame, std::string &error);
void CloseScript(ScriptReader &reader);

// The whole script at once, for small scripts and tests.
bool ReadScript(const std::string &path, std::vector<ScriptFrame> &frames, std::string &error);
