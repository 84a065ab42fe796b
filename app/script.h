// Key scripts: one frame per line, "SECONDS [KEY ...]", each key held for
// that frame. The headless renderer reads them from a file or a pipe, the
// browser page's test mode from its URL; both play them the same way.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ScriptFrame {
    uint32_t micros;            // frame time in microseconds
    std::vector<uint32_t> keys; // virtual-key codes held during the frame
};

// Lines longer than this are refused rather than read without bound.
constexpr size_t MaxScriptLine = 65536;

// The names a script may hold, space-separated, in the controls text's order.
std::string ScriptKeyNames();

// One line: skip is set for a blank or # line; false with a message in error.
bool ParseScriptLine(const std::string &line, bool &skip, ScriptFrame &frame, std::string &error);

// A script is read one frame at a time, so that an endless pipe is rendered
// as it arrives instead of piling up in memory.
struct ScriptReader {
    FILE *file = nullptr;
    bool ownsFile = false; // false for standard input
    long lineNumber = 0;
    std::string path;
};

// path "-" reads standard input. False with a one-line message in error.
bool OpenScript(const std::string &path, ScriptReader &reader, std::string &error);
// 1 with the next frame in frame, 0 at the end, -1 with a message in error.
int NextScriptFrame(ScriptReader &reader, ScriptFrame &frame, std::string &error);
void CloseScript(ScriptReader &reader);

// The whole script at once, for small scripts and tests.
bool ReadScript(const std::string &path, std::vector<ScriptFrame> &frames, std::string &error);

// Plays one frame: every key released, the frame's keys held, the frame's
// time fed to the platform's counter (feedFrameTime), then drawFrame
// (the frame step from StartDrawing, app/frame_step.h).
void PlayScriptFrame(const ScriptFrame &frame, void (*feedFrameTime)(uint32_t micros),
                     void (*drawFrame)());
