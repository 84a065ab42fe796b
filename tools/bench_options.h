// scanvane-bench's command line: its own rows beside the common ones
// (app/options.h), the checks between them, and the generated help.
#pragma once
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/frame_step.h"
#include "app/size_choice.h"

struct BenchOptions {
    bool help = false, version = false, json = false, llvmpipe = false;
    DrawingChoice drawing = DrawAsShipped; // --threads
    int repeat = 1;
    std::string framesCsv; // empty: none written
    FrameSize size{DefaultFrameWidth, DefaultFrameHeight};
    bool sweep = false;
    std::vector<FrameSize> sweepSizes;
    int sweepFrames = 0;
    std::string svg; // empty: none written
    // A model in place of the built-in scene (--model, one size) or several
    // (--models, the sweep), drawn from camera.
    std::string model;
    std::vector<std::string> models;
    CameraState camera = StartCamera;
    int frames = 0; // --frames with --model; 0: by the model's triangles
};

// Most models one sweep takes.
constexpr int MaxSweepModels = 16;

// False with a one-line message (the option's name first) in error.
bool ParseBenchOptions(int argc, char **argv, BenchOptions &options, std::string &error);

// --help's text, generated from the rows.
std::string BenchHelp();
