// The start-up of a windowed program: WinMain runs and its result is the
// exit status.
#include <windows.h>

#include <string>

int main(int argc, char **argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    return WinMain(GetModuleHandleA(NULL), NULL, &commandLine[0], SW_SHOWNORMAL);
}
