#include "tools/render_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "app/quote.h"
#include "render/bands.h"
#include "tools/options.h"

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
    int n;
    // c_str() would stop at an embedded NUL and let "2\0x" pass as 2.
    if (text.find('\0') != std::string::npos || !ReadThreadCount(text.c_str(), n))
        return error = "--threads wants a whole number from 1 to " + std::to_string(MaxBandThreads) +
                       " (0: all hardware threads), got " + Quote(text),
               false;
    threads = n; // 0: all hardware threads, which the tool asks the bands for
    return true;
}

bool ParseModelOptions(bool asIs, const std::string &up, const std::string &shading, bool haveModel,
                       ModelOptions &options, std::string &error) {
    const char *without = asIs ? "--as-is" : !up.empty() ? "--up" : !shading.empty() ? "--shading" : nullptr;
    if (without && !haveModel)
        return error = std::string(without) + " places or lights a model: give it with --model FILE", false;
    options.placement = asIs ? ModelPlacement::AsIs : ModelPlacement::Fitted;
    if (up == "z") options.up = ModelUp::Z;
    else if (up.empty() || up == "y") options.up = ModelUp::Y;
    else return error = "--up wants y or z (the file's axis that points up), got " + Quote(up), false;
    if (shading == "off") options.shading = false;
    else if (shading.empty() || shading == "on") options.shading = true;
    else return error = "--shading wants on or off, got " + Quote(shading), false;
    return true;
}

bool ParseRenderOptions(int argc, char **argv, RenderOptions &o, std::string &error) {
    std::vector<ToolOption> table = CommonToolOptions();
    for (const char *name : {"--camera", "--script", "--png", "--raw", "--depth", "--threads",
                             "--model", "--up", "--shading"})
        table.push_back({name, true});
    table.push_back({"--as-is", false});
    if (!ParseToolOptions(argc, argv, table, error)) return false;
    auto value = [&](const char *name) { return FindOption(table, name).value; };
    o.help = FindOption(table, "--help").given;
    o.version = FindOption(table, "--version").given;
    o.fill = value("--fill");
    o.script = value("--script");
    o.png = value("--png");
    o.raw = value("--raw");
    o.depth = value("--depth");
    o.haveCamera = FindOption(table, "--camera").given;
    if (o.haveCamera && !ParseCamera(value("--camera"), o.camera, error)) return false;
    if (FindOption(table, "--threads").given && !ParseThreadCount(value("--threads"), o.threads, error))
        return false;
    if (!ToolFrameSize(value("--size"), o.size, error)) return false;
    o.model = value("--model");
    if (!ParseModelOptions(FindOption(table, "--as-is").given, value("--up"), value("--shading"),
                           FindOption(table, "--model").given, o.modelOptions, error))
        return false;
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
