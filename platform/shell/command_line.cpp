// The window program's command line. Started without arguments it reads
// nothing and is the program it always was; the options choose the frame's
// size, the drawing threads and the span fill, or ask about the program.
// The rows are app/options.h's; the window's own --size also reads native.
#include "platform/shell/shell.h"
#ifdef _WIN32
#include <shellapi.h>
#endif

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/keys.h"
#include "app/options.h"
#include "app/size_choice.h"
#include "app/version.h"
#ifdef SCANVANE_HAVE_MODELS
#include "app/model_choice.h"
#endif
#include "render/bands.h"
#include "render/frame_size.h"

namespace {

constexpr char NativeSizeName[] = "native";
const char Program[] = "scanvane";

// WIDTHxHEIGHT, or native: the client area's own size, followed when the
// window is resized.
bool ChooseSize(const std::string &value, std::string &error) {
    Chosen.sizeGiven = true;
    if (value == NativeSizeName) {
        Chosen.nativeSize = true;
        return true;
    }
    if (ReadSizeValue(value, Chosen.size, error)) return true;
    // Text that is no size at all may have meant the other form.
    if (error.find("is not a size") != std::string::npos)
        error += std::string(", or ") + NativeSizeName;
    return false;
}

std::vector<OptionRow> WindowOptionRows() {
    std::vector<OptionRow> own = {
        {"--size", nullptr, "WIDTHxHEIGHT|native",
         "the frame's size (" + std::to_string(MinFrameWidth) + "x" +
             std::to_string(MinFrameHeight) + " to " + std::to_string(MaxFrameWidth) + "x" +
             std::to_string(MaxFrameHeight) +
             ", shown pixel for pixel), or native: the window's own, following its resizes; "
             "default " +
             std::to_string(DefaultFrameWidth) + "x" + std::to_string(DefaultFrameHeight) +
             " stretched to the window",
         ChooseSize},
    };
#ifdef SCANVANE_HAVE_MODELS
    return WithModelOptionRows(ProgramOptionRows(own));
#else
    return ProgramOptionRows(own);
#endif
}

std::string HelpText() {
    const std::vector<OptionRow> rows = WindowOptionRows();
    std::string text = UsageText(Program, rows) +
                       SCANVANE_NAME ": a house drawn in software, walked through in a window.\n" +
                       OptionsHelp(rows) + "Controls:\n";
    for (const KeyBinding &k : KeyTable)
        text += std::string("  ") + k.name + " - " + k.action + "\n";
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

#ifdef _WIN32
// The ANSI command line has been through the code page's best-fit mapping,
// which turns a fullwidth digit or a Unicode minus into its ASCII look-alike.
// The wide one is read instead, as UTF-8: what is not the ASCII an option
// wants is then refused as on every other system.
std::vector<std::string> CommandLineArguments(const char *) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR *words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == NULL) return arguments;
    for (int i = 1; i < count; i++) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, words[i], -1, NULL, 0, NULL, NULL);
        std::string word(bytes > 0 ? bytes : 1, '\0');
        if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, words[i], -1, &word[0], bytes, NULL, NULL);
        word.resize(word.size() - 1);
        arguments.push_back(word);
    }
    LocalFree(words);
    return arguments;
}
#else
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

std::vector<std::string> CommandLineArguments(const char *commandLine) {
    return SplitCommandLine(commandLine);
}
#endif

} // namespace

int RefuseStartUp(const std::string &why) {
    Say(std::string(Program) + ": " + why + "\n", true);
    return 2;
}

ShellOptions Options = {1, false, false};

int AnswerCommandLine(const char *commandLine) {
    std::string error;
    if (!ParseOptions(WindowOptionRows(), CommandLineArguments(commandLine), error))
        return RefuseStartUp(error);
    if (Chosen.help) {
        Say(HelpText(), false);
        return 0;
    }
    if (Chosen.version) {
        Say(std::string("Scanvane ") + SCANVANE_VERSION + "\n", false);
        return 0;
    }
    Options.threads = ThreadsToStart(Chosen.threads, ProcessorThreads());
    Options.sizeChosen = Chosen.sizeGiven;
    Options.nativeSize = Chosen.nativeSize;
    if (Chosen.sizeGiven && !Chosen.nativeSize) Options.size = Chosen.size;
    // The environment's choice too is checked before the first box.
    if (!ApplyChosenFill(error)) return RefuseStartUp(error);
#ifdef SCANVANE_HAVE_MODELS
    // A bad model file is refused before the window opens.
    ModelInfo model;
    if (!LoadChosenModel(model, error)) return RefuseStartUp(error);
#endif
    return -1;
}
