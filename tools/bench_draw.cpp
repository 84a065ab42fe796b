#include "tools/bench_draw.h"

#include "app/frame_bands.h"
#include "app/frame_cycle.h"
#include "render/bands.h"
#include "tools/bench_views.h"

bool UseBenchDraw(BenchDraw draw, int threads, std::string &error) {
    StopBandThreads();
    BenchFrame = RenderFrame;
    if (draw == BenchDraw::FrameCycle) return true;
    if (!StartBandThreads(threads, error)) return false;
    BenchFrame = RenderFrameInBands;
    return true;
}
