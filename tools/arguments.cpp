#include "tools/arguments.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include "app/options.h"
#endif

#ifdef _WIN32
// The narrow argv has been through the ANSI code page's best-fit mapping,
// which turns a fullwidth digit into a digit and a Unicode minus into '-'.
// The wide command line, as UTF-8, keeps them what they are, so they are
// refused here as on every other system.
std::vector<std::string> ToolArguments(int, char **) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR *words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == NULL) return arguments;
    for (int i = 1; i < count; i++) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, words[i], -1, NULL, 0, NULL, NULL);
        std::string word(bytes > 0 ? (size_t)bytes : 1, '\0');
        if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, words[i], -1, &word[0], bytes, NULL, NULL);
        word.resize(word.size() - 1);
        arguments.push_back(word);
    }
    LocalFree(words);
    return arguments;
}
#else
std::vector<std::string> ToolArguments(int argc, char **argv) { return ArgumentsOf(argc, argv); }
#endif
