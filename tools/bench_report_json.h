// The benchmark's results as JSON documents (docs/bench-json.md), one line
// each, newline included.
#pragma once
#include <string>

#include "tools/bench_report.h"

// The run's document went to 2 when frame_hash (FNV-1a) became frame_crc32;
// the sweep's top level is unchanged.
constexpr int RunSchemaVersion = 2, SweepSchemaVersion = 1;

std::string RunJson(const BenchSetting &s, const BenchRun &run);
std::string SweepJson(const BenchSetting &s, const SweepResult &r);
// The triangle sweep's (--sweep --models): the same header, its own sweep.
std::string ModelSweepJson(const BenchSetting &s, const SweepResult &r);
