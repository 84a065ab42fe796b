#include "tools/render_options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "app/keys.h"
#include "tools/band_threads.h"
#include "tools/options.h"
#include "tools/quote.h"

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

// The keys a script may hold: every key that moves the camera. Escape ends
// the program rather than being held, so it has no place in a frame.
static bool KeyCode(const std::string &name, uint32_t &code) {
    const KeyBinding *k = FindKeyByName(name.c_str());
    if (!k || !k->motion) return false;
    return code = k->code, true;
}

std::string ScriptKeyNames() {
    std::string names;
    for (const KeyBinding &k : KeyTable)
        if (k.motion) names += (names.empty() ? "" : " ") + std::string(k.name);
    return names;
}

// Seconds as an unsigned decimal with up to six places, converted exactly to
// whole microseconds so that the frame time is the double nearest to it.
// No sign (not even on zero: a duration never has one), exponent, hex, inf
// or nan: every accepted text names one exact number of microseconds.
static bool ParseSeconds(const std::string &s, uint32_t &micros, std::string &error) {
    if (s[0] == '-' || s[0] == '+')
        return error = "frame time " + Quote(s) + " has a sign (frame times are unsigned decimals)",
               false;
    const uint64_t cap = 1000000000000ull; // far above the limit, so no overflow
    size_t i = 0;
    uint64_t whole = 0, frac = 0;
    int wholeDigits = 0, places = 0;
    for (; i < s.size() && std::isdigit((unsigned char)s[i]); i++, wholeDigits++)
        whole = whole < cap ? whole * 10 + (uint64_t)(s[i] - '0') : cap;
    if (i < s.size() && s[i] == '.')
        for (i++; i < s.size() && std::isdigit((unsigned char)s[i]); i++, places++)
            if (places < 6) frac = frac * 10 + (uint64_t)(s[i] - '0');
    if (wholeDigits + places == 0 || i != s.size())
        return error = "frame time " + Quote(s) + " is not a decimal number of seconds", false;
    if (places > 6)
        return error = "frame time " + Quote(s) + " has more than 6 decimal places", false;
    for (int p = places; p < 6; p++) frac *= 10;
    if (whole >= cap || whole * 1000000 + frac > 0xFFFFFFFFull)
        return error = "frame time " + Quote(s) +
                       " is above 4294.967295 seconds, the longest frame the counter times",
               false;
    micros = (uint32_t)(whole * 1000000 + frac);
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
            return error = "unknown key " + Quote(words[i]) + " (keys: " + ScriptKeyNames() + ")",
                   false;
        frame.keys.push_back(code);
    }
    return true;
}

bool OpenScript(const std::string &path, ScriptReader &reader, std::string &error) {
    reader = ScriptReader{};
    reader.path = path;
    if (path == "-") {
        reader.file = stdin;
        return true;
    }
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return error = "cannot read script " + Quote(path) + ": it is a directory", false;
    reader.file = std::fopen(path.c_str(), "rb");
    if (!reader.file)
        return error = "cannot read script " + Quote(path) + ": " + std::strerror(errno), false;
    reader.ownsFile = true;
    return true;
}

void CloseScript(ScriptReader &reader) {
    if (reader.ownsFile && reader.file) std::fclose(reader.file);
    reader.file = nullptr;
}

int NextScriptFrame(ScriptReader &reader, ScriptFrame &frame, std::string &error) {
    std::string line;
    for (;;) {
        line.clear();
        int c = EOF;
        while ((c = std::getc(reader.file)) != EOF && c != '\n') {
            if (line.size() == MaxScriptLine) {
                error = "script line " + std::to_string(reader.lineNumber + 1) + ": longer than " +
                        std::to_string(MaxScriptLine) + " bytes";
                return -1;
            }
            line += (char)c;
        }
        if (std::ferror(reader.file)) {
            error = "cannot read script " + Quote(reader.path) + ": " + std::strerror(errno);
            return -1;
        }
        if (c == EOF && line.empty()) return 0;
        reader.lineNumber++;
        const std::string where = "script line " + std::to_string(reader.lineNumber) + ": ";
        if (line.find('\0') != std::string::npos) return error = where + "not text (NUL byte)", -1;
        bool skip;
        if (!ParseScriptLine(line, skip, frame, error)) return error = where + error, -1;
        if (!skip) return 1;
    }
}

bool ReadScript(const std::string &path, std::vector<ScriptFrame> &frames, std::string &error) {
    ScriptReader reader;
    if (!OpenScript(path, reader, error)) return false;
    ScriptFrame frame;
    int got;
    while ((got = NextScriptFrame(reader, frame, error)) == 1) frames.push_back(frame);
    CloseScript(reader);
    return got == 0;
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
    std::vector<ToolOption> table = CommonToolOptions();
    for (const char *name : {"--camera", "--script", "--png", "--raw", "--depth", "--threads"})
        table.push_back({name, true});
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
