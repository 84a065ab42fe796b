// The start-up of a windowed program: WinMain gets the command line after
// the program's name, as Windows gives it, and its result is the exit status.
#include <windows.h>

#include <string>

int main(int argc, char **argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
        commandLine += (i > 1 ? " " : "") + (quote ? "\"" + arg + "\"" : arg);
    }
    return WinMain(GetModuleHandleA(NULL), NULL, &commandLine[0], SW_SHOWNORMAL);
}
