#include "tools/render_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

bool ParseCamera(const std::string &text, CameraState &camera, std::string &error) {
    float v[4];
    const char *p = text.c_str();
    for (int i = 0; i < 4; i++) {
        char *end;
        errno = 0;
        if (std::isspace((unsigned char)*p) || *p == '\0' || *p == ',') {
            error = "--camera wants four numbers X,Z,HEIGHT,HEADING, got '" + text + "'";
            return false;
        }
        v[i] = std::strtof(p, &end);
        if (end == p || (*end != (i < 3 ? ',' : '\0'))) {
            error = "--camera wants four numbers X,Z,HEIGHT,HEADING, got '" + text + "'";
            return false;
        }
        if (!std::isfinite(v[i])) {
            error = "--camera number " + std::string(p, (size_t)(end - p)) + " is not finite";
            return false;
        }
        p = end + (i < 3);
    }
    camera = {v[0], v[1], v[2], v[3]};
    return true;
}

static bool KeyCode(const std::string &name, uint32_t &code) {
    static const struct {
        const char *name;
        uint32_t code;
    } keys[] = {{"left", KeyLeft}, {"right", KeyRight}, {"up", KeyUp},
                {"down", KeyDown}, {"a", KeyA},         {"z", KeyZ}};
    for (const auto &k : keys)
        if (name == k.name) return code = k.code, true;
    return false;
}

// Seconds as a decimal with up to six places, converted exactly to whole
// microseconds so that the frame time is the double nearest to it.
static bool ParseSeconds(const std::string &s, uint32_t &micros, std::string &error) {
    if (!s.empty() && s[0] == '-') return error = "negative frame time '" + s + "'", false;
    size_t i = 0;
    uint64_t whole = 0, frac = 0;
    int places = 0;
    while (i < s.size() && std::isdigit((unsigned char)s[i]) && whole < 10000000000ull)
        whole = whole * 10 + (s[i++] - '0');
    bool digits = i > 0;
    if (i < s.size() && s[i] == '.') {
        i++;
        while (i < s.size() && std::isdigit((unsigned char)s[i]) && places < 7)
            frac = frac * 10 + (s[i++] - '0'), places++, digits = true;
    }
    if (!digits || i != s.size() || places > 6)
        return error = "frame time '" + s + "' is not a decimal with at most 6 places", false;
    while (places++ < 6) frac *= 10;
    uint64_t total = whole * 1000000 + frac;
    if (whole >= 10000000000ull || total > 0xFFFFFFFFull)
        return error = "frame time '" + s + "' is above 4294.967295 seconds", false;
    micros = (uint32_t)total;
    return true;
}

bool ParseScriptLine(const std::string &line, bool &skip, ScriptFrame &frame, std::string &error) {
    std::vector<std::string> words;
    size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\r", at);
        if (at == std::string::npos) break;
        size_t end = line.find_first_of(" \t\r", at);
        words.push_back(line.substr(at, end == std::string::npos ? end : end - at));
        at = end;
    }
    skip = words.empty() || words[0][0] == '#';
    if (skip) return true;
    frame = ScriptFrame{};
    if (!ParseSeconds(words[0], frame.micros, error)) return false;
    for (size_t i = 1; i < words.size(); i++) {
        uint32_t code;
        if (!KeyCode(words[i], code))
            return error = "unknown key '" + words[i] + "' (keys: left right up down a z)", false;
        frame.keys.push_back(code);
    }
    return true;
}

bool ReadScript(const std::string &path, std::vector<ScriptFrame> &frames, std::string &error) {
    std::ifstream file;
    std::istream *in = &std::cin;
    if (path != "-") {
        file.open(path, std::ios::binary);
        if (!file) return error = "cannot read script '" + path + "': " + std::strerror(errno), false;
        in = &file;
    }
    std::string line;
    for (long number = 1; std::getline(*in, line); number++) {
        if (line.find('\0') != std::string::npos)
            return error = "script line " + std::to_string(number) + ": not text", false;
        bool skip;
        ScriptFrame frame;
        if (!ParseScriptLine(line, skip, frame, error)) {
            error = "script line " + std::to_string(number) + ": " + error;
            return false;
        }
        if (!skip) frames.push_back(frame);
    }
    if (in->bad()) return error = "cannot read script '" + path + "'", false;
    return true;
}

bool ParseRenderOptions(int argc, char **argv, RenderOptions &o, std::string &error) {
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i], value;
        bool inlineValue = false;
        size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            inlineValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            if (inlineValue) return error = "--help takes no value", false;
            o.help = true;
            continue;
        }
        std::string *target = arg == "--script" ? &o.script
                              : arg == "--png"  ? &o.png
                              : arg == "--raw"  ? &o.raw
                              : arg == "--depth" ? &o.depth
                                                 : nullptr;
        if (!target && arg != "--camera")
            return error = "unknown option '" + std::string(argv[i]) + "' (see --help)", false;
        if (!inlineValue) {
            if (i + 1 >= argc) return error = arg + " needs a value", false;
            value = argv[++i];
        }
        if (value.empty()) return error = arg + " needs a non-empty value", false;
        if (arg == "--camera") {
            if (o.haveCamera) return error = "--camera given twice", false;
            if (!ParseCamera(value, o.camera, error)) return false;
            o.haveCamera = true;
        } else {
            if (!target->empty()) return error = arg + " given twice", false;
            *target = value;
        }
    }
    return true;
}
