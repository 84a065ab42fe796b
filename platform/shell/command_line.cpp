// The window program's command line. Started without arguments it reads
// nothing and is the program it always was; the options only ask about it.
// One row of Options per option, so a new one is one row and one function.
#include "platform/shell/shell.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/keys.h"
#include "app/version.h"

namespace {

enum class Request { Run, Help, Version };
Request Asked;

struct ProgramOption {
    const char *name;      // "--name"; "--name=VALUE" is accepted where it takes one
    const char *shortName; // null when there is none
    const char *value;     // what the help calls its value; null for a switch
    const char *help;
    // Takes the value (null for a switch); false, with error set, refuses it.
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

const ProgramOption Options[] = {
    {"--help", "-h", nullptr, "show this help and exit", AskForHelp},
    {"--version", nullptr, nullptr, "show the version and exit", AskForVersion},
};

const char Program[] = "scanvane";

std::string UsageLine() {
    std::string usage = std::string("usage: ") + Program;
    for (const ProgramOption &o : Options)
        usage += std::string(" [") + o.name + (o.value ? std::string(" ") + o.value : "") + "]";
    return usage + "\n";
}

std::string HelpText() {
    std::string text = UsageLine() + SCANVANE_NAME ": a house drawn in software, walked through in a window.\n";
    for (const ProgramOption &o : Options) {
        std::string names = o.shortName ? std::string(o.shortName) + ", " + o.name : std::string("    ") + o.name;
        if (o.value) names += std::string(" ") + o.value;
        text += "  " + names + std::string(names.size() < 16 ? 16 - names.size() : 1, ' ') + o.help + "\n";
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
    for (const ProgramOption &o : Options)
        if (name == o.name || (o.shortName && name == o.shortName)) return &o;
    return nullptr;
}

int Refuse(const std::string &why) {
    Say(std::string(Program) + ": " + why + "\n" + UsageLine(), true);
    return 2;
}

} // namespace

int AnswerCommandLine(const char *commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    Asked = Request::Run;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string name = words[i], value;
        size_t equals = name.find('=');
        bool inlineValue = name.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) value = name.substr(equals + 1), name.erase(equals);
        const ProgramOption *o = FindOption(name);
        if (o == nullptr) return Refuse("unknown option '" + words[i] + "'");
        if (!o->value && inlineValue) return Refuse(name + " takes no value");
        if (o->value && !inlineValue) {
            if (i + 1 == words.size()) return Refuse(name + " needs a value");
            value = words[++i];
        }
        std::string error;
        if (!o->apply(o->value ? value.c_str() : nullptr, error)) return Refuse(name + ": " + error);
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
