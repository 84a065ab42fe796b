// The clear's floors: what it costs this machine merely to write both
// buffers of the frame's size, once with 16-byte streaming stores and once
// with memset, timed in the same run as the views so ratios between them hold.
#pragma once
#include "tools/bench_stats.h"

// Each runs warm-up rounds, then `rounds` timed ones over the render
// target's own buffers, in nanoseconds.
Timing TimeStreamFloor(int rounds);
Timing TimeMemsetFloor(int rounds);
Timing TimeClearRenderTarget(int rounds);
