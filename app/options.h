// The command line of every program (the window, scanvane-render,
// scanvane-bench and its counting pass): one table of rows, one parser, one
// generated help, and one reading and one wording for each shared value.
//
// A row is an option: its name, its short name, the name of its value, its
// help and the function that takes the value. The rows every program has
// (--size, --threads, --fill, --help/-h, --version) are CommonOptionRows();
// a program adds its own rows with ProgramOptionRows(). A new option for
// every program is one row in CommonOptionRows() and its apply function; a
// new option for one program is one row in that program's list.
//
// What the common rows read goes into Chosen (a program's own rows write
// where the program keeps its settings). Values are refused with one line:
// "--threads wants a whole number ...", the program's name put in front by
// the program.
#pragma once
#include <string>
#include <vector>

#include "app/size_choice.h"
#include "render/frame_size.h"

struct OptionRow {
    const char *name;      // "--size"; "--size=VALUE" is read as well where it takes one
    const char *shortName; // "-h"; null when there is none
    const char *value;     // the value's name in the help ("WIDTHxHEIGHT"); null for a switch
    std::string help;      // one paragraph, wrapped by OptionsHelp
    // Takes the value ("" for a switch). False refuses it, with error read
    // after the option's name: "--size" + " " + error.
    bool (*apply)(const std::string &value, std::string &error);
};

// What the common rows chose; before parsing, the program as shipped.
struct CommonChoices {
    bool help = false, version = false;
    bool sizeGiven = false;
    FrameSize size{DefaultFrameWidth, DefaultFrameHeight};
    bool nativeSize = false; // --size native, where a program's own --size row reads it
    int threads = 1;         // 0: every hardware thread (ThreadsToStart)
    std::string fill;        // empty: SCANVANE_FILL, else the widest that runs here
};
extern CommonChoices Chosen;

// --size, --threads, --fill, --help (-h) and --version, in that order.
std::vector<OptionRow> CommonOptionRows();
// A program's table: its own rows, then the common ones. A row of its own
// with a common row's name takes that row's place (the window's --size also
// reads "native"); one with a null apply leaves that common option out.
std::vector<OptionRow> ProgramOptionRows(const std::vector<OptionRow> &own);

// Reads the arguments after the program's name: --name VALUE, --name=VALUE,
// -h, each option at most once, no value empty. Applies each in turn and
// stops at the first refusal: false with a one-line message in error
// (unknown option, missing or empty value, a value on a switch, given twice,
// or the row's own refusal). Chosen is reset first.
bool ParseOptions(const std::vector<OptionRow> &rows, const std::vector<std::string> &arguments,
                  std::string &error);
// argv[1..argc-1] as ParseOptions takes them.
std::vector<std::string> ArgumentsOf(int argc, char **argv);

// "usage: scanvane-render [--camera X,Z,HEIGHT,HEADING] ...", wrapped at
// HelpWidth under the first option, with a line feed.
std::string UsageText(const char *program, const std::vector<OptionRow> &rows);
// One entry per row: "  -h, --help  show ..." with the help wrapped at
// word boundaries within HelpWidth columns, under a column shared by all.
std::string OptionsHelp(const std::vector<OptionRow> &rows);
// Text wrapped at word boundaries within HelpWidth; each new line starts
// with indent blanks. Line feeds in text start new lines; the character
// 0x1f stands for a blank the lines are not broken at.
std::string WrapText(const std::string &text, size_t indent, size_t firstColumn = 0);
constexpr size_t HelpWidth = 79;

// "scanvane-render 1.02".
std::string VersionLine(const char *program);

// The readings every program shares. Each returns false with the refusal
// worded for after the value's name ("--threads ", "threads ").
// WIDTHxHEIGHT within the sizes drawn: "'0x0' is outside the sizes drawn: ...".
bool ReadSizeValue(const std::string &text, FrameSize &size, std::string &error);
// 0 to MaxBandThreads in decimal digits; 0: every hardware thread.
bool ReadThreadsValue(const std::string &text, int &threads, std::string &error);
// The threads to draw on for a count as read: 0 is every hardware thread
// (hardwareThreads, as the machine reports it), at most MaxBandThreads.
int ThreadsToStart(int threads, int hardwareThreads);

// "sse2|avx2|avx512": the span fills this build knows, for help texts.
std::string FillPathChoices();
// Uses the span fill Chosen.fill names, else SCANVANE_FILL's, else the
// widest that runs here. False with "--fill: ..." or "SCANVANE_FILL: ..."
// in error. Called once parsing is done and before the graphics start.
bool ApplyChosenFill(std::string &error);
