// Which span fill the rasteriser uses. Every path leaves every pixel exactly
// as the baseline does; the wider ones only fill more rows side by side. The
// path is chosen once at start-up from the processor's features, or forced.
//
// The paths are one table (fill_path.cpp), narrowest first: name, group
// fill, rows per group and processor check. Names, help text, messages and
// the dispatch are all read from it, so a new path is one row plus its fill.
#pragma once
#include <cstddef>

// A path is its place in the table.
typedef int FillPath;
constexpr FillPath FillPathBaseline = 0; // "sse2": in every build, on every processor
extern const int FillPathCount;

// "sse2", "avx2", ...; "unknown" out of range.
const char *FillPathName(FillPath path);
bool ParseFillPath(const char *name, FillPath &path);
// Every name in table order, joined by separator and the last pair by
// last ("sse2, avx2 or avx512"; "sse2|avx2|avx512"); truncated to fit.
void FillPathNames(char *out, size_t size, const char *separator, const char *last);

// Compiled into this build (the wide paths exist on x86 outside Windows and
// in the 64-bit Windows build; not in the 32-bit Windows or the WebAssembly
// build, see span_fill.h).
bool FillPathBuiltIn(FillPath path);
// Built in and supported by the processor this runs on.
bool FillPathRuns(FillPath path);
// The widest path that runs here.
FillPath WidestFillPath();

// Switches the rasteriser to a path that runs here (checked by the caller).
void UseFillPath(FillPath path);
FillPath ActiveFillPath();
// True once ChooseFillPath has succeeded: a program that chose a path from
// its own option keeps it through InitGraphics.
bool FillPathChosen();

// Uses the path named by forced, or the widest one when forced is null or
// empty. Returns null on success, else a one-line message (unknown name, not
// in this build, or not supported by this processor) and changes nothing.
const char *ChooseFillPath(const char *forced);

// The environment variable that forces a path, read by the programs.
constexpr const char *FillPathVariable = "SCANVANE_FILL";
