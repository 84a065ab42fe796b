// How DrawViewFrame draws, switched between the benchmark's modes through the
// programs' one start-up choice (app/frame_step.h).
#pragma once
#include <string>

#include "app/frame_step.h"

// Starts drawing as chosen and makes it the views' frame step; false with a
// message when the threads cannot be started.
bool UseBenchDrawing(const DrawingChoice &choice, std::string &error);
