#include "render/fill_path.h"

#include <cstdio>
#include <cstring>

#include "render/span_fill.h"

namespace {
const char *const names[FillPathCount] = {"sse2", "avx2", "avx512"};

void FillPairOfSpans(const Span *spans) { FillTwoSpans(spans[0], spans[1]); }

// The group fill and its row count for each path; the baseline until a
// program chooses.
struct FillGroup {
    SpanGroupFill fill;
    int rows;
};
const FillGroup groups[FillPathCount] = {{FillPairOfSpans, 2},
#if SCANVANE_WIDE_FILLS
                                         {FillEightSpansAvx2, 8},
                                         {FillEightSpansAvx512, 8}
#else
                                         {nullptr, 0},
                                         {nullptr, 0}
#endif
};
FillPath active = FillPathSse2;
} // namespace

SpanGroupFill ActiveGroupFill = FillPairOfSpans;
int ActiveGroupRows = 2;

const char *FillPathName(FillPath path) {
    return path >= 0 && path < FillPathCount ? names[path] : "unknown";
}

bool ParseFillPath(const char *name, FillPath &path) {
    for (int i = 0; i < FillPathCount; i++)
        if (name && std::strcmp(name, names[i]) == 0) return path = (FillPath)i, true;
    return false;
}

bool FillPathBuiltIn(FillPath path) {
    return path >= 0 && path < FillPathCount && groups[path].fill != nullptr;
}

bool FillPathRuns(FillPath path) {
    if (!FillPathBuiltIn(path)) return false;
#if SCANVANE_WIDE_FILLS
    __builtin_cpu_init();
    if (path == FillPathAvx2) return __builtin_cpu_supports("avx2");
    if (path == FillPathAvx512)
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
               __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx2");
#endif
    return true;
}

FillPath WidestFillPath() {
    for (int i = FillPathCount - 1; i > 0; i--)
        if (FillPathRuns((FillPath)i)) return (FillPath)i;
    return FillPathSse2;
}

void UseFillPath(FillPath path) {
    active = path;
    ActiveGroupFill = groups[path].fill;
    ActiveGroupRows = groups[path].rows;
}

FillPath ActiveFillPath() { return active; }

const char *ChooseFillPath(const char *forced) {
    static char message[160];
    FillPath path = WidestFillPath();
    if (forced && *forced) {
        if (!ParseFillPath(forced, path)) {
            std::snprintf(message, sizeof message,
                          "'%.40s' names no span fill (sse2, avx2 or avx512)", forced);
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
    return nullptr;
}
