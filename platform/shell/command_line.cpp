// The window program's command line. Started without arguments it reads
// nothing and is the program it always was; the options choose the frame's
// size and the drawing threads, or ask about the program.
// One row of OptionTable per option, so a new one is one row and one function.
#include "platform/shell/shell.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/keys.h"
#include "app/size_choice.h"
#include "app/version.h"
#include "render/bands.h"
#include "render/frame_size.h"

namespace {

enum class Request { Run, Help, Version };

constexpr char NativeSizeName[] = "native";
constexpr size_t HelpWidth = 79;
Request Asked;

struct ProgramOption {
    const char *name;      // "--name"; "--name=VALUE" is accepted where it takes one
    const char *shortName; // null when there is none
    const char *value;     // what the help calls its value; null for a switch
    const char *help;
    // Takes the value (null for a switch); false, with error set, refuses it
    // (the error reads after the option's name).
    bool (*apply)(const char *value, std::string &error);
};

bool AskForHelp(const char *, std::string &) {
    Asked = Request::Help;
    return true;
}

bool AskForVersion(const char *, std::string &) {
    Asked = Request::Version;
    return true;
}

// 0 asks for every hardware thread of the machine.
bool ChooseThreads(const char *value, std::string &error) {
    int n;
    if (!ReadThreadCount(value, n)) {
        error = "wants a whole number from 1 to " + std::to_string(MaxBandThreads) +
                ", or 0 for every hardware thread; got '" + value + "'";
        return false;
    }
    Options.threads = n == 0 ? ProcessorThreads() : n;
    return true;
}

// WIDTHxHEIGHT, or native: the client area's own size, followed when the
// window is resized.
bool ChooseSize(const char *value, std::string &error) {
    Options.sizeChosen = true;
    if (strcmp(value, NativeSizeName) == 0) {
        Options.nativeSize = true;
        return true;
    }
    FrameSize size;
    if (!ParseFrameSize(value, size, error)) {
        // Text that is no size at all may have meant the other form.
        const bool notASize = error.compare(0, 13, "is not a size") == 0;
        error = std::string("'") + value + "' " + error + (notASize ? std::string(", or ") + NativeSizeName : "");
        return false;
    }
    Options.size = size;
    return true;
}

static_assert(MaxBandThreads == 256, "the --threads help gives the range");
static_assert(MinFrameWidth == 16 && MinFrameHeight == 16 && MaxFrameWidth == 7680 && MaxFrameHeight == 4320,
              "the --size help gives the range");
const ProgramOption OptionTable[] = {
    {"--size", nullptr, "WIDTHxHEIGHT|native",
     "the frame's size (16x16 to 7680x4320, shown pixel for pixel), or native: the window's own, "
     "following its resizes; default 512x384 stretched to the window",
     ChooseSize},
    {"--threads", nullptr, "N", "draw each frame in bands on N threads (1 to 256, 0: all; default 1)", ChooseThreads},
    {"--help", "-h", nullptr, "show this help and exit", AskForHelp},
    {"--version", nullptr, nullptr, "show the version and exit", AskForVersion},
};

const char Program[] = "scanvane";

std::string UsageLine() {
    std::string usage = std::string("usage: ") + Program;
    for (const ProgramOption &o : OptionTable)
        usage += std::string(" [") + o.name + (o.value ? std::string(" ") + o.value : "") + "]";
    return usage + "\n";
}

std::string HelpText() {
    std::string text = UsageLine() + SCANVANE_NAME ": a house drawn in software, walked through in a window.\n";
    auto names = [](const ProgramOption &o) {
        std::string n = o.shortName ? std::string(o.shortName) + ", " + o.name : std::string("    ") + o.name;
        return o.value ? n + " " + o.value : n;
    };
    size_t column = 0;
    for (const ProgramOption &o : OptionTable) column = names(o).size() > column ? names(o).size() : column;
    // Help words wrap within HelpWidth columns, under the help column.
    for (const ProgramOption &o : OptionTable) {
        std::string line = "  " + names(o) + std::string(column + 2 - names(o).size(), ' ');
        const size_t indent = line.size();
        bool lineEmpty = true;
        for (const char *p = o.help; *p;) {
            const char *end = strchr(p, ' ');
            std::string word(p, end ? (size_t)(end - p) : strlen(p));
            if (!lineEmpty && line.size() + 1 + word.size() > HelpWidth) {
                text += line + "\n";
                line = std::string(indent, ' ');
                lineEmpty = true;
            }
            line += (lineEmpty ? "" : " ") + word;
            lineEmpty = false;
            p = end ? end + 1 : p + word.size();
        }
        text += line + "\n";
    }
    text += "Controls:\n";
    for (const KeyBinding &k : KeyTable) text += std::string("  ") + k.name + " - " + k.action + "\n";
    return text;
}

// A GUI program on Windows has no console to write to, so it says things in
// a box there; elsewhere it writes as any command does.
void Say(const std::string &text, bool isError) {
#ifdef _WIN32
    MessageBoxA(NULL, text.c_str(), isError ? "Scanvane: bad command line" : SCANVANE_NAME,
                MB_OK | (isError ? MB_ICONERROR : MB_ICONINFORMATION));
#else
    fputs(text.c_str(), isError ? stderr : stdout);
    fflush(isError ? stderr : stdout);
#endif
}

// Splits as Windows programs do for the usual cases: blanks separate, double
// quotes group (and are dropped).
std::vector<std::string> SplitCommandLine(const char *line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char *c = line ? line : ""; *c; ++c) {
        if (*c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((*c == ' ' || *c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += *c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

const ProgramOption *FindOption(const std::string &name) {
    for (const ProgramOption &o : OptionTable)
        if (name == o.name || (o.shortName && name == o.shortName)) return &o;
    return nullptr;
}

int Refuse(const std::string &why) {
    Say(std::string(Program) + ": " + why + "\n" + UsageLine(), true);
    return 2;
}

} // namespace

int RefuseStartUp(const std::string &why) {
    Say(std::string(Program) + ": " + why + "\n", true);
    return 2;
}

ShellOptions Options = {1, false, false};

int AnswerCommandLine(const char *commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    Asked = Request::Run;
    bool given[sizeof OptionTable / sizeof OptionTable[0]] = {};
    for (size_t i = 0; i < words.size(); ++i) {
        std::string name = words[i], value;
        size_t equals = name.find('=');
        bool inlineValue = name.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) value = name.substr(equals + 1), name.erase(equals);
        const ProgramOption *o = FindOption(name);
        if (o == nullptr) return Refuse("unknown option '" + words[i] + "'");
        if (given[o - OptionTable]) return Refuse(std::string(o->name) + " given twice");
        given[o - OptionTable] = true;
        if (!o->value && inlineValue) return Refuse(name + " takes no value");
        if (o->value && !inlineValue) {
            if (i + 1 == words.size()) return Refuse(name + " needs a value");
            value = words[++i];
        }
        std::string error;
        if (!o->apply(o->value ? value.c_str() : nullptr, error)) return Refuse(std::string(o->name) + " " + error);
    }
    switch (Asked) {
    case Request::Help:
        Say(HelpText(), false);
        return 0;
    case Request::Version:
        Say(std::string("Scanvane ") + SCANVANE_VERSION + "\n", false);
        return 0;
    default:
        return -1;
    }
}
