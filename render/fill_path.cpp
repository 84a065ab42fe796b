#include "render/fill_path.h"

#include <cstdio>
#include <cstring>

#include "render/span_fill.h"

namespace {
void FillPairOfSpans(const Span *spans) { FillTwoSpans(spans[0], spans[1]); }

bool AnyProcessor() { return true; }

#if SCANVANE_WIDE_FILLS
bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
bool HasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx2");
}
#define SCANVANE_WIDE(fill) fill
#else
#define SCANVANE_WIDE(fill) nullptr // not in this build: never checked, never run
#define HasAvx2 nullptr
#define HasAvx512 nullptr
#endif

struct FillPathRow {
    const char *name;
    SpanGroupFill fill; // null: not compiled into this build
    int rows;           // spans the fill takes at a time
    bool (*runs)();     // the processor has the instructions
};

// Narrowest first: the widest that runs is the default.
const FillPathRow paths[] = {
    {"sse2", FillPairOfSpans, 2, AnyProcessor},                    // 128-bit vectors, two rows
    {"avx2", SCANVANE_WIDE(FillEightSpansAvx2), 8, HasAvx2},       // blocks of 8 x 8, 256-bit
    {"avx512", SCANVANE_WIDE(FillEightSpansAvx512), 8, HasAvx512}, // the same, masked
};

bool InTable(FillPath path) { return path >= 0 && path < FillPathCount; }

FillPath active = FillPathBaseline;
bool chosen = false;
} // namespace

extern const int FillPathCount = (int)(sizeof paths / sizeof paths[0]);

// The baseline until a program chooses.
SpanGroupFill ActiveGroupFill = FillPairOfSpans;
int ActiveGroupRows = 2;

const char *FillPathName(FillPath path) { return InTable(path) ? paths[path].name : "unknown"; }

bool ParseFillPath(const char *name, FillPath &path) {
    for (int i = 0; i < FillPathCount; i++)
        if (name && std::strcmp(name, paths[i].name) == 0) return path = i, true;
    return false;
}

void FillPathNames(char *out, size_t size, const char *separator, const char *last) {
    size_t used = 0;
    if (size) out[0] = '\0';
    for (int i = 0; i < FillPathCount && used < size; i++) {
        const char *between = i == 0 ? "" : i == FillPathCount - 1 ? last : separator;
        int n = std::snprintf(out + used, size - used, "%s%s", between, paths[i].name);
        if (n < 0) break;
        used += (size_t)n;
    }
}

bool FillPathBuiltIn(FillPath path) { return InTable(path) && paths[path].fill != nullptr; }

bool FillPathRuns(FillPath path) { return FillPathBuiltIn(path) && paths[path].runs(); }

FillPath WidestFillPath() {
    for (int i = FillPathCount - 1; i > 0; i--)
        if (FillPathRuns(i)) return i;
    return FillPathBaseline;
}

void UseFillPath(FillPath path) {
    active = path;
    ActiveGroupFill = paths[path].fill;
    ActiveGroupRows = paths[path].rows;
}

FillPath ActiveFillPath() { return active; }

bool FillPathChosen() { return chosen; }

const char *ChooseFillPath(const char *forced) {
    static char message[256];
    FillPath path = WidestFillPath();
    if (forced && *forced) {
        if (!ParseFillPath(forced, path)) {
            char names[128];
            FillPathNames(names, sizeof names, ", ", " or ");
            std::snprintf(message, sizeof message, "'%.40s' names no span fill (%s)", forced,
                          names);
            return message;
        }
        if (!FillPathRuns(path)) {
            std::snprintf(message, sizeof message, "'%s' cannot run: %s", forced,
                          FillPathBuiltIn(path) ? "this processor lacks the instructions"
                                                : "not in this build");
            return message;
        }
    }
    UseFillPath(path);
    chosen = true;
    return nullptr;
}
