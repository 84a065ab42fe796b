#include "tools/options.h"

#include <cstdio>
#include <cstdlib>

#include "render/fill_path.h"
#include "render/frame_size.h"
#include "app/quote.h"

std::vector<ToolOption> CommonToolOptions() {
    return {{"--help", false}, {"--version", false}, {"--fill", true}, {"--size", true}};
}

static ToolOption *Lookup(std::vector<ToolOption> &options, const std::string &name) {
    for (ToolOption &o : options)
        if (name == o.name) return &o;
    return nullptr;
}

bool ParseToolOptions(int argc, char **argv, std::vector<ToolOption> &options, std::string &error) {
    for (int i = 1; i < argc; i++) {
        std::string name = argv[i], value;
        const bool inlineValue = name.rfind("--", 0) == 0 && name.find('=') != std::string::npos;
        if (inlineValue) {
            value = name.substr(name.find('=') + 1);
            name.resize(name.find('='));
        }
        if (name == "-h") name = "--help";
        ToolOption *o = Lookup(options, name);
        if (!o) return error = "unknown option " + Quote(argv[i]) + " (see --help)", false;
        if (o->given) return error = name + " given twice", false;
        if (!o->takesValue && inlineValue) return error = name + " takes no value", false;
        if (o->takesValue && !inlineValue) {
            if (i + 1 >= argc) return error = name + " needs a value", false;
            value = argv[++i];
        }
        if (o->takesValue && value.empty()) return error = name + " needs a non-empty value", false;
        o->given = true;
        o->value = value;
    }
    return true;
}

const ToolOption &FindOption(const std::vector<ToolOption> &options, const char *name) {
    ToolOption *o = Lookup(const_cast<std::vector<ToolOption> &>(options), name);
    if (!o) std::abort(); // a tool asked for an option its own table lacks
    return *o;
}

bool ChooseToolFill(const std::string &fill, std::string &error) {
    const char *forced = fill.empty() ? std::getenv(FillPathVariable) : fill.c_str();
    if (const char *message = ChooseFillPath(forced))
        return error = std::string(fill.empty() ? FillPathVariable : "--fill") + ": " + message,
               false;
    return true;
}

bool ToolFrameSize(const std::string &text, FrameSize &size, std::string &error) {
    if (text.empty()) return size = {DefaultFrameWidth, DefaultFrameHeight}, true;
    if (ReadSizeValue(text, size, error)) return true;
    return error = "--size " + error, false;
}

int ToolFail(const char *program, const std::string &message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return 2;
}

bool StandardOutputWritten() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }
