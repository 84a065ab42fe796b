#include "tools/render_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "app/quote.h"
#include "app/size_choice.h"
#include "render/bands.h"

bool ParseCamera(const std::string &text, CameraState &camera, std::string &error) {
    static const char *const names[4] = {"X", "Z", "HEIGHT", "HEADING"};
    float v[4];
    const char *p = text.c_str();
    const char *stop = p + text.size(); // an embedded NUL must not end the text early
    for (int i = 0; i < 4; i++) {
        const char *end = p;
        // strtof would skip leading blanks; a number must start right here.
        if (p < stop && !std::isspace((unsigned char)*p) && *p != ',') {
            char *e;
            v[i] = std::strtof(p, &e);
            end = e;
        }
        const char want = i < 3 ? ',' : '\0';
        if (end == p || end > stop || *end != want || (i == 3 && end != stop)) {
            const char *field = p;
            while (field < stop && *field != ',') field++;
            if (end != p && end == stop && i < 3)
                error = "--camera wants four numbers X,Z,HEIGHT,HEADING, got only " +
                        std::to_string(i + 1) + " in " + Quote(text);
            else if (end != p && i == 3 && *end == ',')
                error = "--camera wants exactly four numbers X,Z,HEIGHT,HEADING, got more in " +
                        Quote(text);
            else
                error = std::string("--camera ") + names[i] + " " +
                        Quote(std::string(p, (size_t)(field - p))) + " is not a number";
            return false;
        }
        if (!std::isfinite(v[i])) {
            error = std::string("--camera ") + names[i] + " " +
                    Quote(std::string(p, (size_t)(end - p))) +
                    " is not a finite single-precision number";
            return false;
        }
        p = end + (i < 3);
    }
    camera = {v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseThreadCount(const std::string &text, int &threads, std::string &error) {
    int n = 0;
    bool digits = !text.empty() && text.size() <= 3;
    for (char c : text) digits = digits && c >= '0' && c <= '9', n = n * 10 + (c - '0');
    if (!digits || n < 1 || n > MaxBandThreads)
        return error = "--threads wants a whole number from 1 to " + std::to_string(MaxBandThreads) +
                       ", got " + Quote(text),
               false;
    threads = n;
    return true;
}

bool ParseRenderOptions(int argc, char **argv, RenderOptions &o, std::string &error) {
    bool threadsGiven = false, sizeGiven = false;
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
        std::string *target = arg == "--script"  ? &o.script
                              : arg == "--png"   ? &o.png
                              : arg == "--raw"   ? &o.raw
                              : arg == "--depth" ? &o.depth
                                                 : nullptr;
        if (!target && arg != "--camera" && arg != "--threads" && arg != "--size")
            return error = "unknown option " + Quote(argv[i]) + " (see --help)", false;
        if (!inlineValue) {
            if (i + 1 >= argc) return error = arg + " needs a value", false;
            value = argv[++i];
        }
        if (value.empty()) return error = arg + " needs a non-empty value", false;
        if (arg == "--threads") {
            if (threadsGiven) return error = "--threads given twice", false;
            if (!ParseThreadCount(value, o.threads, error)) return false;
            threadsGiven = true;
        } else if (arg == "--size") {
            if (sizeGiven) return error = "--size given twice", false;
            if (!ParseFrameSize(value, o.size, error))
                return error = "--size " + Quote(value) + " " + error, false;
            sizeGiven = true;
        } else if (arg == "--camera") {
            if (o.haveCamera) return error = "--camera given twice", false;
            if (!ParseCamera(value, o.camera, error)) return false;
            o.haveCamera = true;
        } else {
            if (!target->empty()) return error = arg + " given twice", false;
            *target = value;
        }
    }
    // Two outputs on one path would overwrite each other half-way.
    const struct {
        const char *name;
        const std::string *path;
    } outputs[] = {{"--png", &o.png}, {"--raw", &o.raw}, {"--depth", &o.depth}};
    for (int a = 0; a < 3; a++)
        for (int b = a + 1; b < 3; b++)
            if (!outputs[a].path->empty() && *outputs[a].path == *outputs[b].path)
                return error = std::string(outputs[a].name) + " and " + outputs[b].name +
                               " name the same file " + Quote(*outputs[a].path),
                       false;
    return true;
}
