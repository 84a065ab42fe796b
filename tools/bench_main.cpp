// scanvane-bench: what one frame's drawing work costs on this machine, per
// named view, next to the cost of merely writing the two buffers; or, with
// --sweep, how that cost grows with the frame's size and the threads. This
// file holds the command line and the order of the work; measuring and
// reporting live in the bench_* files beside it.
#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

#include "app/frame_step.h"
#ifdef SCANVANE_HAVE_MODELS
#include "app/model_choice.h"
#include "app/model_scene.h"
#endif
#include "app/options.h"
#include "app/version.h"
#include "render/fill_path.h"
#include "render/frustum.h"
#include "tools/bench_chart.h"
#include "tools/bench_counts.h"
#include "tools/bench_options.h"
#include "tools/bench_report.h"
#include "tools/bench_report_json.h"
#include "tools/bench_run.h"
#include "tools/bench_sweep.h"
#include "tools/bench_table.h"
#include "tools/bench_views.h"
#include "tools/image_files.h"
#include "tools/options.h"

static const char program[] = "scanvane-bench";

// The sweep's progress on standard error: on a terminal one line rewritten
// as each mode starts, elsewhere (a log) a line for each size and view.
static std::chrono::steady_clock::time_point sweepStart;
static bool progressOnTerminal = false;

static void ShowProgress(const SweepProgress &p) {
    static std::string lastStage;
    const long seconds = (long)std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - sweepStart)
                             .count();
    char stage[512];
    if (p.model)
        std::snprintf(stage, sizeof stage, "%s (%u triangles, model %d of %d) at %dx%d, %s view",
                      p.model->file.c_str(), p.model->triangles, p.modelIndex + 1, p.modelCount,
                      (int)p.size.width, (int)p.size.height, p.what);
    else
        std::snprintf(stage, sizeof stage, "%dx%d (size %d of %d), %s", (int)p.size.width,
                      (int)p.size.height, p.sizeIndex + 1, p.sizeCount,
                      *p.mode ? (std::string(p.what) + " view").c_str() : "counting pass");
    if (progressOnTerminal)
        std::fprintf(stderr, "\r\033[K%s: sweep %s%s%s, %ld s", program, stage, *p.mode ? ", " : "",
                     p.mode, seconds);
    else if (stage != lastStage)
        std::fprintf(stderr, "%s: sweep %s, %ld s\n", program, stage, seconds);
    lastStage = stage;
}

static void EndProgress() {
    if (progressOnTerminal) std::fprintf(stderr, "\r\033[K");
}

// Results are printed first: a side file that fails after a long run must
// not take the printed figures with it. Then the side file (opened before the
// work started), whole or not at all.
static int FinishOutputs(const std::string &text, OpenOutputs &outputs, const std::string &bytes) {
    std::fputs(text.c_str(), stdout);
    if (!StandardOutputWritten()) return ToolFail(program, "cannot write standard output");
    std::string error;
    for (OutputStream &output : outputs.streams)
        if (!WriteOutput(output, bytes.data(), bytes.size(), error))
            return ToolFail(program, error);
    return CommitOutputs(outputs, error) ? 0 : ToolFail(program, error);
}

static int RunSweepCommand(const BenchOptions &options, const std::string &countsProgram,
                           std::vector<SweepModel> &models, OpenOutputs &outputs) {
    SweepOptions sweep;
    sweep.models = std::move(models);
    sweep.camera = options.camera;
    sweep.sizes = options.sweepSizes;
    sweep.frames = options.sweepFrames;
    sweep.maxThreads = AllCoresThreads(options.drawing);
    sweep.countsProgram = countsProgram;
    sweep.progress = ShowProgress;
    sweepStart = std::chrono::steady_clock::now();
    progressOnTerminal = isatty(2);
    SweepResult result;
    std::string error;
    const bool swept = RunSweep(sweep, result, error);
    EndProgress();
    if (!swept) return ToolFail(program, error), 1;
    const BenchSetting setting = {DescribeMachine(), FillPathName(ActiveFillPath()),
                                  DrawingThreads(options.drawing), false};
    const std::string svg = options.svg.empty() ? ""
                            : result.byModels
                                ? ModelSweepSvg(result, SweepHeadline(result, setting))
                                : SweepSvg(result, SweepHeadline(result, setting));
    std::string text;
    if (options.json) {
        text = result.byModels ? ModelSweepJson(setting, result) : SweepJson(setting, result);
        const std::string warning = SweepLoadWarning(result);
        if (!warning.empty()) std::fprintf(stderr, "%s: %s\n", program, warning.c_str());
    } else if (result.byModels) {
        PrintModelSweepTable(setting, result);
    } else {
        PrintSweepTable(setting, result);
    }
    const int status = FinishOutputs(text, outputs, svg);
    if (status) return status;
    if (!SweepFramesAgree(result)) {
        if (result.byModels)
            std::fprintf(stderr, "%s: the modes drew different frames\n", program);
        else
            std::fprintf(stderr, "%s: the modes or the counting build drew different frames%s%s\n",
                         program, result.countsError.empty() ? "" : ": ",
                         result.countsError.c_str());
        return 1;
    }
    return 0;
}

static int RunAtOneSize(const BenchOptions &options, const std::string &countsProgram,
                        const BenchModel *model, OpenOutputs &outputs) {
    RunOptions run;
    run.views = options.drawing;
    run.repeat = options.repeat;
    run.llvmpipe = options.llvmpipe;
    run.countsProgram = countsProgram;
    if (model) {
        run.model = true;
        run.camera = options.camera;
        run.frames = options.frames ? options.frames : ModelMeasuredFrames(model->triangles);
        run.warmFrames = ModelWarmFrames(run.frames);
    }
    BenchRun result;
    if (model) result.modelInfo = *model;
    std::string error;
    if (!MeasureRounds(run, result, error)) return ToolFail(program, error), 1;
    if (options.llvmpipe && !result.haveLp)
        std::fprintf(stderr, "%s: llvmpipe: %s\n", program, result.lpError.c_str());
    CheckCounts(run, result);
    if (model)
        std::fprintf(stderr, "%s: counts %s\n", program, result.countsError.c_str());
    else if (!result.counted)
        std::fprintf(stderr, "%s: counts unavailable: %s\n", program, result.countsError.c_str());
    if (!model && !result.hashesAgree)
        std::fprintf(stderr, "%s: the counting build drew different frames!\n", program);
    if (!result.modesAgree)
        std::fprintf(stderr, "%s: the start view's modes drew different frames!\n", program);
    const BenchSetting setting = {DescribeMachine(), FillPathName(ActiveFillPath()),
                                  DrawingThreads(options.drawing), options.llvmpipe};
    const std::string csv = options.framesCsv.empty() ? "" : FramesCsv(result);
    std::string text;
    if (options.json) {
        text = RunJson(setting, result);
        const std::string warning = LoadWarning(result.othersShare);
        if (!warning.empty()) std::fprintf(stderr, "%s: %s\n", program, warning.c_str());
    } else {
        PrintRunTable(setting, result);
    }
    const int status = FinishOutputs(text, outputs, csv);
    if (status) return status;
    if (model) return result.modesAgree ? 0 : 1;
    return result.counted && result.hashesAgree && result.modesAgree ? 0 : 1;
}

#ifdef SCANVANE_HAVE_MODELS
// Loads the model --model names and draws it in place of the built-in
// scene; false with one line in error.
static bool LoadBenchModel(BenchModel &model, std::string &error) {
    ModelInfo info;
    const auto start = std::chrono::steady_clock::now();
    if (!LoadChosenModel(info, error)) return false;
    model.loadMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const Mesh &mesh = *SceneModel();
    model.file = ChosenModel.file, model.format = info.format;
    model.vertices = MeshVertexCount(mesh), model.triangles = MeshTriangleCount(mesh);
    model.placement = PlacementName(ChosenModel.options.placement);
    model.up = UpName(ChosenModel.options.up);
    model.shading = ChosenModel.options.shading ? "on" : "off";
    return true;
}

// Every model of the triangle sweep, read whole before any measuring.
static bool LoadSweepModels(const std::vector<std::string> &files, std::vector<SweepModel> &models,
                            std::string &error) {
    for (const std::string &file : files) {
        SweepModel model;
        ModelInfo info;
        const auto start = std::chrono::steady_clock::now();
        if (!LoadModelFile(file, ChosenModel.options, model.mesh, info, error)) return false;
        model.info.loadMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        model.info.file = file, model.info.format = info.format;
        model.info.vertices = MeshVertexCount(model.mesh);
        model.info.triangles = MeshTriangleCount(model.mesh);
        model.info.placement = PlacementName(ChosenModel.options.placement);
        model.info.up = UpName(ChosenModel.options.up);
        model.info.shading = ChosenModel.options.shading ? "on" : "off";
        models.push_back(std::move(model));
    }
    return true;
}
#endif

static int Run(int argc, char **argv);

int main(int argc, char **argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc &) {
        // The screen constants hold the size from InitGraphics's first step.
        return ToolFail(program, "not enough memory for a " + std::to_string(Screen.width) + "x" +
                                     std::to_string(Screen.height) + " frame");
    }
}

static int Run(int argc, char **argv) {
    BenchOptions options;
    std::string error;
    if (!ParseBenchOptions(argc, argv, options, error)) return ToolFail(program, error);
    if (options.help || options.version) {
        if (options.help)
            std::fputs(BenchHelp().c_str(), stdout);
        else
            std::printf("%s\n", VersionLine(program).c_str());
        return StandardOutputWritten() ? 0 : ToolFail(program, "cannot write standard output");
    }
    if (!ApplyChosenFill(error)) return ToolFail(program, error);
    // A model is read before anything else: a bad file is refused at once.
    BenchModel model;
#ifdef SCANVANE_HAVE_MODELS
    if (!options.model.empty() && !LoadBenchModel(model, error)) return ToolFail(program, error);
#endif
    std::vector<SweepModel> sweepModels;
#ifdef SCANVANE_HAVE_MODELS
    if (!LoadSweepModels(options.models, sweepModels, error)) return ToolFail(program, error);
#endif
    // Opened now, refused now rather than after a minute of measuring.
    std::vector<std::string> paths;
    for (const std::string *path : {&options.framesCsv, &options.svg})
        if (!path->empty()) paths.push_back(*path);
    OpenOutputs outputs;
    if (!OpenOutputFiles(paths, outputs, error)) return ToolFail(program, error);
    const std::string countsProgram = CountsProgramPath(argv[0]);
    if (!CountsProgramPresent(countsProgram, error)) return ToolFail(program, error), 1;
    StartBenchGraphics(options.sweep ? options.sweepSizes[0] : options.size);
    // Stopped and joined on every way out (also registered at exit).
    struct ThreadsStop {
        ~ThreadsStop() { StopDrawing(); }
    } threadsStop;
    return options.sweep ? RunSweepCommand(options, countsProgram, sweepModels, outputs)
                         : RunAtOneSize(options, countsProgram,
                                        options.model.empty() ? nullptr : &model, outputs);
}
