// How the benchmark draws its frames, named so that no thread count stands
// for a mode: the frame cycle as shipped (one thread, streaming clear) or the
// frame's rows in bands on some threads (ordinary clear, even on one).
#pragma once
#include <string>

enum class BenchDraw { FrameCycle, Bands };

// Switches DrawViewFrame to that drawing (bands on `threads` threads); false
// with a message when the threads cannot be started. Band threads of an
// earlier choice are stopped first.
bool UseBenchDraw(BenchDraw draw, int threads, std::string &error);
