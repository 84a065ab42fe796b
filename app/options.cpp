#include "app/options.h"

#include <cstdlib>

#include "app/quote.h"
#include "app/version.h"
#include "render/bands.h"
#include "render/fill_path.h"
#include "render/frame_size.h"

CommonChoices Chosen;

namespace {

// The words on each side of it stay on one line.
constexpr char NoBreak = '\x1f';

// The text kept on one line by the help's wrapping.
std::string Unbroken(std::string text) {
    for (char &c : text)
        if (c == ' ') c = NoBreak;
    return text;
}

// WrapText without turning NoBreak into blanks.
std::string WrapWords(const std::string &text, size_t indent, size_t firstColumn);

bool ApplySize(const std::string &value, std::string &error) {
    Chosen.sizeGiven = true;
    return ReadSizeValue(value, Chosen.size, error);
}

bool ApplyThreads(const std::string &value, std::string &error) {
    return ReadThreadsValue(value, Chosen.threads, error);
}

// Checked once every option is read (ApplyChosenFill), where the
// environment variable is checked too.
bool ApplyFill(const std::string &value, std::string &) {
    Chosen.fill = value;
    return true;
}

bool ApplyHelp(const std::string &, std::string &) {
    Chosen.help = true;
    return true;
}

bool ApplyVersion(const std::string &, std::string &) {
    Chosen.version = true;
    return true;
}

// "16 to 7680", kept on one line by the help's wrapping.
std::string Range(int low, int high) {
    return Unbroken(std::to_string(low) + " to " + std::to_string(high));
}

const OptionRow *FindRow(const std::vector<OptionRow> &rows, const std::string &name) {
    for (const OptionRow &row : rows)
        if (name == row.name || (row.shortName && name == row.shortName)) return &row;
    return nullptr;
}

// "-h, --help" or "    --size WIDTHxHEIGHT".
std::string RowNames(const OptionRow &row) {
    std::string names = row.shortName ? std::string(row.shortName) + ", " + row.name
                                      : std::string("    ") + row.name;
    return row.value ? names + " " + row.value : names;
}

} // namespace

std::vector<OptionRow> CommonOptionRows() {
    const std::string fills = FillPathChoices();
    return {
        {"--size", nullptr, "WIDTHxHEIGHT",
         "the frame's size in pixels, " + Range(MinFrameWidth, MaxFrameWidth) + " wide and " +
             Range(MinFrameHeight, MaxFrameHeight) + " high (default " +
             std::to_string(DefaultFrameWidth) + "x" + std::to_string(DefaultFrameHeight) + ")",
         ApplySize},
        {"--threads", nullptr, "N",
         "draw each frame's rows in bands on N threads, " + Range(1, MaxBandThreads) +
             ", or 0 for every hardware thread; the frames are the same. 1, the default, is the "
             "one-thread frame cycle as shipped",
         ApplyThreads},
        {"--fill", nullptr, "PATH",
         // The tests read the names from "force the span fill: ...;".
         Unbroken("force the span fill: " + fills) + "; default: the widest this processor runs. " +
             FillPathVariable + "=PATH in the environment does the same where --fill is not given",
         ApplyFill},
        {"--help", "-h", nullptr, "show this help and exit", ApplyHelp},
        {"--version", nullptr, nullptr, "show the program's name and version and exit",
         ApplyVersion},
    };
}

std::vector<OptionRow> ProgramOptionRows(const std::vector<OptionRow> &own) {
    std::vector<OptionRow> common = CommonOptionRows(), rows;
    for (const OptionRow &row : own) {
        bool replaces = false;
        for (size_t i = 0; i < common.size() && !replaces; i++) {
            if (std::string(common[i].name) != row.name) continue;
            if (row.apply)
                common[i] = row;
            else
                common.erase(common.begin() + i);
            replaces = true;
        }
        if (!replaces && row.apply) rows.push_back(row);
    }
    rows.insert(rows.end(), common.begin(), common.end());
    return rows;
}

bool ParseOptions(const std::vector<OptionRow> &rows, const std::vector<std::string> &arguments,
                  std::string &error) {
    Chosen = CommonChoices{};
    std::vector<bool> given(rows.size(), false);
    for (size_t i = 0; i < arguments.size(); i++) {
        std::string name = arguments[i], value;
        const size_t equals = name.find('=');
        const bool inlineValue = name.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) value = name.substr(equals + 1), name.erase(equals);
        const OptionRow *row = FindRow(rows, name);
        if (!row) return error = "unknown option " + Quote(arguments[i]) + " (see --help)", false;
        if (given[row - rows.data()]) return error = std::string(row->name) + " given twice", false;
        given[row - rows.data()] = true;
        if (!row->value && inlineValue) return error = name + " takes no value", false;
        if (row->value && !inlineValue) {
            if (i + 1 == arguments.size()) return error = name + " needs a value", false;
            value = arguments[++i];
        }
        if (row->value && value.empty()) return error = name + " needs a non-empty value", false;
        std::string refusal;
        if (!row->apply(value, refusal))
            return error = std::string(row->name) + " " + refusal, false;
    }
    return true;
}

std::vector<std::string> ArgumentsOf(int argc, char **argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; i++) arguments.push_back(argv[i]);
    return arguments;
}

std::string WrapText(const std::string &text, size_t indent, size_t firstColumn) {
    std::string out = WrapWords(text, indent, firstColumn);
    for (char &c : out)
        if (c == NoBreak) c = ' ';
    return out;
}

namespace {
std::string WrapWords(const std::string &text, size_t indent, size_t firstColumn) {
    std::string out;
    size_t column = firstColumn;
    bool lineEmpty = true;
    for (size_t at = 0; at < text.size();) {
        if (text[at] == '\n') {
            out += "\n" + std::string(indent, ' ');
            column = indent, lineEmpty = true, at++;
            continue;
        }
        if (text[at] == ' ') {
            at++;
            continue;
        }
        size_t end = text.find_first_of(" \n", at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        if (!lineEmpty && column + 1 + word.size() > HelpWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent, lineEmpty = true;
        }
        if (!lineEmpty) out += ' ', column++;
        out += word;
        column += word.size();
        lineEmpty = false;
        at = end;
    }
    return out;
}

} // namespace

std::string UsageText(const char *program, const std::vector<OptionRow> &rows) {
    const std::string start = std::string("usage: ") + program + " ";
    std::string options;
    for (const OptionRow &row : rows) {
        std::string one =
            std::string("[") + row.name + (row.value ? std::string(" ") + row.value : "") + "]";
        options += (options.empty() ? "" : " ") + Unbroken(one); // its brackets on one line
    }
    return start + WrapText(options, start.size(), start.size()) + "\n";
}

std::string OptionsHelp(const std::vector<OptionRow> &rows) {
    size_t column = 0;
    for (const OptionRow &row : rows)
        if (RowNames(row).size() > column) column = RowNames(row).size();
    // A long name would push the help far right: such a row's help starts
    // on the next line instead.
    constexpr size_t WidestNames = 24;
    if (column > WidestNames) column = WidestNames;
    const size_t helpColumn = 2 + column + 2;
    std::string text;
    for (const OptionRow &row : rows) {
        const std::string names = "  " + RowNames(row);
        std::string line = names;
        if (names.size() + 2 > helpColumn)
            line += "\n" + std::string(helpColumn, ' ');
        else
            line += std::string(helpColumn - names.size(), ' ');
        text += line + WrapText(row.help, helpColumn, helpColumn) + "\n";
    }
    return text;
}

std::string VersionLine(const char *program) { return std::string(program) + " " SCANVANE_VERSION; }

bool ReadSizeValue(const std::string &text, FrameSize &size, std::string &error) {
    if (ParseFrameSize(text, size, error)) return true;
    error = Quote(text) + " " + error;
    return false;
}

bool ReadThreadsValue(const std::string &text, int &threads, std::string &error) {
    // Up to three digits: no sign, blank or exponent, nothing to overflow.
    constexpr size_t MostDigits = 3;
    bool digits = !text.empty() && text.size() <= MostDigits;
    int n = 0;
    for (size_t i = 0; digits && i < text.size(); i++) {
        digits = text[i] >= '0' && text[i] <= '9';
        n = n * 10 + (text[i] - '0');
    }
    if (!digits || n > MaxBandThreads) {
        error = "wants a whole number from 1 to " + std::to_string(MaxBandThreads) +
                ", or 0 for every hardware thread; got " + Quote(text);
        return false;
    }
    threads = n;
    return true;
}

int ThreadsToStart(int threads, int hardwareThreads) {
    if (threads != 0) return threads;
    return hardwareThreads < 1                ? 1
           : hardwareThreads > MaxBandThreads ? MaxBandThreads
                                              : hardwareThreads;
}

std::string FillPathChoices() {
    char names[128];
    FillPathNames(names, sizeof names, "|", "|");
    return names;
}

bool ApplyChosenFill(std::string &error) {
    const bool fromOption = !Chosen.fill.empty();
    const char *forced = fromOption ? Chosen.fill.c_str() : std::getenv(FillPathVariable);
    if (const char *message = ChooseFillPath(forced)) {
        error = std::string(fromOption ? "--fill" : FillPathVariable) + ": " + message;
        return false;
    }
    return true;
}
