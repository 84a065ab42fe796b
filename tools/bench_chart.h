// The sweep as a chart: time per frame against pixels (log-log), one line per
// mode and view, and against threads at each size; a standalone SVG document.
#pragma once
#include <string>

#include "tools/bench_sweep.h"

std::string SweepSvg(const SweepResult &r, const std::string &title);

// The triangle sweep's chart: time per frame and per triangle against the
// triangles (log scales), a row of panels per size.
std::string ModelSweepSvg(const SweepResult &r, const std::string &title);
