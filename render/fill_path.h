// Which span fill the rasteriser uses. Every path leaves every pixel exactly
// as the baseline does; the wider ones only fill more rows side by side. The
// path is chosen once at start-up from the processor's features, or forced.
#pragma once

enum FillPath : int {
    FillPathSse2,   // the baseline: two rows side by side, 128-bit vectors
    FillPathAvx2,   // eight rows in blocks of eight columns, 256-bit vectors
    FillPathAvx512, // the same blocks with masked compares and stores
};
constexpr int FillPathCount = 3;

// "sse2", "avx2", "avx512".
const char *FillPathName(FillPath path);
bool ParseFillPath(const char *name, FillPath &path);

// Compiled into this build (the wide paths exist only on x86 outside Windows).
bool FillPathBuiltIn(FillPath path);
// Built in and supported by the processor this runs on.
bool FillPathRuns(FillPath path);
// The widest path that runs here.
FillPath WidestFillPath();

// Switches the rasteriser to a path that runs here (checked by the caller).
void UseFillPath(FillPath path);
FillPath ActiveFillPath();

// Uses the path named by forced, or the widest one when forced is null or
// empty. Returns null on success, else a one-line message (unknown name, not
// in this build, or not supported by this processor) and changes nothing.
const char *ChooseFillPath(const char *forced);

// The environment variable that forces a path, read by the programs.
constexpr const char *FillPathVariable = "SCANVANE_FILL";
