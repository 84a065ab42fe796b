#include "tools/render_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "app/quote.h"
#ifdef SCANVANE_HAVE_MODELS
#include "app/model_choice.h"
#endif
#include "app/script.h"
#include "tools/arguments.h"
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
                error = "wants four numbers X,Z,HEIGHT,HEADING, got only " + std::to_string(i + 1) +
                        " in " + Quote(text);
            else if (end != p && i == 3 && *end == ',')
                error = "wants exactly four numbers X,Z,HEIGHT,HEADING, got more in " + Quote(text);
            else
                error = std::string(names[i]) + " " + Quote(std::string(p, (size_t)(field - p))) +
                        " is not a number";
            return false;
        }
        if (!std::isfinite(v[i])) {
            error = std::string(names[i]) + " " + Quote(std::string(p, (size_t)(end - p))) +
                    " is not a finite single-precision number";
            return false;
        }
        p = end + (i < 3);
    }
    camera = {v[0], v[1], v[2], v[3]};
    return true;
}

namespace {

// The options ParseRenderOptions is filling in, for the rows' functions.
RenderOptions *Parsing;

bool ApplyCamera(const std::string &value, std::string &error) {
    Parsing->haveCamera = true;
    return ParseCamera(value, Parsing->camera, error);
}

bool ApplyScript(const std::string &value, std::string &) { return Parsing->script = value, true; }
bool ApplyPng(const std::string &value, std::string &) { return Parsing->png = value, true; }
bool ApplyRaw(const std::string &value, std::string &) { return Parsing->raw = value, true; }
bool ApplyDepth(const std::string &value, std::string &) { return Parsing->depth = value, true; }

} // namespace

std::vector<OptionRow> RenderOptionRows() {
    std::vector<OptionRow> own = {
        {"--camera", nullptr, "X,Z,HEIGHT,HEADING",
         "start camera (default 40,-20,0,0); heading in degrees", ApplyCamera},
        {"--script", nullptr, "FILE|-",
         "one frame per line: SECONDS [KEY ...], each KEY (" + ScriptKeyNames() +
             ") held for that frame; SECONDS is an unsigned decimal of up to 6 places, at most "
             "4294.967295. Blank lines and lines starting with # are skipped; - reads stdin. "
             "Without a script one frame is drawn with no key held.",
         ApplyScript},
        {"--png", nullptr, "FILE", "last frame as 8-bit RGB PNG", ApplyPng},
        {"--raw", nullptr, "FILE",
         "last frame's colour buffer: WIDTH x HEIGHT little-endian 0x00RRGGBB words, row by row "
         "from the top",
         ApplyRaw},
        {"--depth", nullptr, "FILE",
         "last frame's depth buffer: WIDTH x HEIGHT little-endian floats", ApplyDepth},
    };
#ifdef SCANVANE_HAVE_MODELS
    return WithModelOptionRows(ProgramOptionRows(own));
#else
    return ProgramOptionRows(own);
#endif
}

bool ParseRenderOptions(int argc, char **argv, RenderOptions &o, std::string &error) {
    o = RenderOptions{};
    Parsing = &o;
    const bool parsed = ParseOptions(RenderOptionRows(), ToolArguments(argc, argv), error);
    Parsing = nullptr;
    if (!parsed) return false;
    o.help = Chosen.help;
    o.version = Chosen.version;
    o.fill = Chosen.fill;
    o.threads = Chosen.threads;
    o.size = Chosen.size;
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
