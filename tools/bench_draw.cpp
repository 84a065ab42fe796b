#include "tools/bench_draw.h"

#include "tools/bench_views.h"

bool UseBenchDrawing(const DrawingChoice &choice, std::string &error) {
    const FrameStep step = StartDrawing(choice, error);
    if (!step) return false;
    BenchFrame = step;
    return true;
}
