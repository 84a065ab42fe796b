#include "tools/bench_options.h"

#ifdef SCANVANE_HAVE_MODELS
#include "app/model_choice.h"
#endif
#include "app/options.h"
#include "app/quote.h"
#include "tools/arguments.h"
#include "tools/bench_run.h"
#include "tools/bench_sweep.h"
#include "tools/bench_views.h"
#include "tools/render_options.h"

static const char program[] = "scanvane-bench";

namespace {

// The options ParseBenchOptions is filling in, and which of the bench's own
// were given, for the checks between them.
BenchOptions *Parsing;
struct {
    bool repeat, framesCsv, llvmpipe, sweepSizes, sweepFrames, svg, camera, frames;
} Given;

// A whole number from 1 to most (at most three digits).
bool ReadCount(const std::string &text, int most, int &value, std::string &error) {
    int n = 0;
    bool digits = !text.empty() && text.size() <= 3;
    for (char c : text) digits = digits && c >= '0' && c <= '9', n = n * 10 + (c - '0');
    if (!digits || n < 1 || n > most)
        return error = "wants a whole number from 1 to " + std::to_string(most) + ", got " +
                       Quote(text),
               false;
    value = n;
    return true;
}

bool ApplyJson(const std::string &, std::string &) { return Parsing->json = true; }
bool ApplyLlvmpipe(const std::string &, std::string &) {
    return Given.llvmpipe = Parsing->llvmpipe = true;
}
bool ApplySweep(const std::string &, std::string &) { return Parsing->sweep = true; }
bool ApplyRepeat(const std::string &value, std::string &error) {
    Given.repeat = true;
    return ReadCount(value, MaxBenchRepeat, Parsing->repeat, error);
}
bool ApplyFramesCsv(const std::string &value, std::string &) {
    Given.framesCsv = true;
    Parsing->framesCsv = value;
    return true;
}
bool ApplySweepSizes(const std::string &value, std::string &error) {
    Given.sweepSizes = true;
    return ParseSweepSizes(value, Parsing->sweepSizes, error);
}
bool ApplySweepFrames(const std::string &value, std::string &error) {
    Given.sweepFrames = true;
    return ReadCount(value, BenchMeasuredFrames, Parsing->sweepFrames, error);
}
bool ApplySvg(const std::string &value, std::string &) {
    Given.svg = true;
    Parsing->svg = value;
    return true;
}

bool ApplyCamera(const std::string &value, std::string &error) {
    Given.camera = true;
    return ParseCamera(value, Parsing->camera, error);
}
bool ApplyFrames(const std::string &value, std::string &error) {
    Given.frames = true;
    return ReadCount(value, BenchMeasuredFrames, Parsing->frames, error);
}
// FILE,FILE,...: no name empty, at most MaxSweepModels of them.
bool ApplyModels(const std::string &value, std::string &error) {
    std::vector<std::string> &models = Parsing->models;
    size_t at = 0;
    for (;;) {
        const size_t comma = value.find(',', at);
        const std::string one =
            value.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (one.empty())
            return error = "wants model files separated by commas, got an empty name in " +
                           Quote(value, 80),
                   false;
        if ((int)models.size() == MaxSweepModels)
            return error = "takes at most " + std::to_string(MaxSweepModels) +
                           " models, got more in " + Quote(value, 80),
                   false;
        models.push_back(one);
        if (comma == std::string::npos) return true;
        at = comma + 1;
    }
}

std::string SizeList(const std::vector<FrameSize> &sizes) {
    std::string list;
    for (const FrameSize &s : sizes)
        list +=
            (list.empty() ? "" : ",") + std::to_string(s.width) + "x" + std::to_string(s.height);
    return list;
}

std::vector<OptionRow> BenchOptionRows() {
    std::vector<OptionRow> rows = ProgramOptionRows({
        {"--json", nullptr, nullptr, "one JSON object instead of the table (docs/bench-json.md)",
         ApplyJson},
        {"--repeat", nullptr, "N",
         "measure everything N times (1 to " + std::to_string(MaxBenchRepeat) +
             ", default 1) and report each figure's spread: the min, median and max of the "
             "rounds' medians",
         ApplyRepeat},
        {"--frames-csv", nullptr, "FILE",
         "write every frame's time of the walk to FILE as CSV (round,frame,ns), whole or not at "
         "all",
         ApplyFramesCsv},
        {"--compare-llvmpipe", nullptr, nullptr,
         "also print how many times slower llvmpipe is than each mode, and say why when it cannot "
         "be drawn",
         ApplyLlvmpipe},
        {"--sweep", nullptr, nullptr,
         "instead: how the cost grows. The start view (up to " + std::to_string(SweepStartFrames) +
             " frames) and the walk at every size of the list, one thread as shipped and in bands "
             "on 1 to all cores (or --threads N), llvmpipe at each size on one thread and on all "
             "cores; medians, a cost model fitted over the sizes (fixed + per pixel tested) and "
             "the efficiency. Progress goes to standard error",
         ApplySweep},
        {"--sweep-sizes", nullptr, "LIST",
         "sizes to sweep, comma-separated (default " + SizeList(DefaultSweepSizes) + ")",
         ApplySweepSizes},
        {"--sweep-frames", nullptr, "N",
         "the walk's first N frames (1 to " + std::to_string(BenchMeasuredFrames) +
             ", default all)",
         ApplySweepFrames},
        {"--svg", nullptr, "FILE",
         "with --sweep: write a chart of the sweep as SVG, whole or not at all", ApplySvg},
#ifdef SCANVANE_HAVE_MODELS
        {"--camera", nullptr, "X,Z,HEIGHT,HEADING",
         "with --model or --models: the pose the model's start view is drawn from (default the "
         "start camera, 40,-20,0,0); heading in degrees",
         ApplyCamera},
        {"--frames", nullptr, "N",
         "with --model: frames timed per view and per mode pass (1 to " +
             std::to_string(BenchMeasuredFrames) +
             "; default by the model's size: about 20 million triangles' worth, at least " +
             std::to_string(ModelLeastFrames) + ")",
         ApplyFrames},
        {"--models", nullptr, "FILE,FILE,...",
         "with --sweep: sweep the triangle count instead: the start view of each model (up to " +
             std::to_string(MaxSweepModels) +
             ", placed and lit as --model places one) from --camera, at --size or at each of "
             "--sweep-sizes, in every mode and by llvmpipe; the fit is fixed + per triangle (+ "
             "per pixel where the sizes vary)",
         ApplyModels},
#endif
    });
#ifdef SCANVANE_HAVE_MODELS
    rows = WithModelOptionRows(rows);
#endif
    return rows;
}

// The model options against the rest: one model at one size, several in the
// sweep; the pose and the frame count only with a model.
bool CheckModelOptions(BenchOptions &o, std::string &error) {
#ifdef SCANVANE_HAVE_MODELS
    o.model = ChosenModel.file;
    const bool anyModel = !o.model.empty() || !o.models.empty();
    if (!o.models.empty() && !o.sweep) return error = "--models goes with --sweep", false;
    if (!o.model.empty() && o.sweep)
        return error = "--model does not go with --sweep: give the sweep --models FILE,...", false;
    if (ChosenModel.placedBy && !anyModel)
        return error = std::string(ChosenModel.placedBy) +
                       " places or lights a model: give it with --model FILE",
               false;
    if (Given.camera && !anyModel) return error = "--camera goes with --model or --models", false;
    if (Given.frames && o.model.empty()) return error = "--frames goes with --model", false;
    if (Given.framesCsv && anyModel)
        return error = "--frames-csv does not go with --model: a model has no walk", false;
    if (!o.models.empty() && Chosen.sizeGiven && Given.sweepSizes)
        return error = "--size and --sweep-sizes: give one", false;
    if (!o.models.empty() && Chosen.sizeGiven) o.sweepSizes = {Chosen.size};
    if (!o.models.empty() && !Chosen.sizeGiven && !Given.sweepSizes)
        o.sweepSizes = {{DefaultFrameWidth, DefaultFrameHeight}};
#else
    (void)o, (void)error;
#endif
    return true;
}

} // namespace

bool ParseBenchOptions(int argc, char **argv, BenchOptions &o, std::string &error) {
    o = BenchOptions{};
    o.sweepSizes = DefaultSweepSizes;
    o.sweepFrames = BenchMeasuredFrames;
    Parsing = &o;
    Given = {};
    const bool parsed = ParseOptions(BenchOptionRows(), ToolArguments(argc, argv), error);
    Parsing = nullptr;
    if (!parsed) return false;
    const struct {
        const char *name;
        bool given;
    } sweepOnly[] = {{"--sweep-sizes", Given.sweepSizes},
                     {"--sweep-frames", Given.sweepFrames},
                     {"--svg", Given.svg}},
      notSweep[] = {{"--repeat", Given.repeat},
                    {"--frames-csv", Given.framesCsv},
                    {"--size", Chosen.sizeGiven && o.models.empty()},
                    {"--compare-llvmpipe", Given.llvmpipe}};
    for (const auto &option : sweepOnly)
        if (option.given && !o.sweep)
            return error = std::string(option.name) + " goes with --sweep", false;
    for (const auto &option : notSweep)
        if (option.given && o.sweep)
            return error = std::string(option.name) + " does not go with --sweep", false;
    if (!CheckModelOptions(o, error)) return false;
    o.help = Chosen.help;
    o.version = Chosen.version;
    o.size = Chosen.size;
    o.drawing = DrawingForThreadOption(Chosen.threads);
    return true;
}

std::string BenchHelp() {
    const std::vector<OptionRow> rows = BenchOptionRows();
    const std::string summary =
        "Times the real frame cycle's drawing work (begin frame to last triangle) for the views "
        "start, window, wall, above and walk: " +
        std::to_string(BenchWarmFrames) + " warm-up frames, then min / p25 / median of " +
        std::to_string(BenchMeasuredFrames) +
        " frames, with the work each view does and its ratio to the clear's floors measured in "
        "the same run (both buffers written with 16-byte streaming stores, and with memset). "
        "Then the start view in three modes, in " +
        std::to_string(BenchModePasses) +
        " interleaved passes: one thread as shipped (streaming clear), one thread with an "
        "ordinary clear, and all cores (the frame's rows in bands on every thread, or on N with "
        "--threads N, ordinary clear); and, where the build has OSMesa, Mesa's llvmpipe drawing "
        "the same view. --threads N also draws the views in bands on N threads.\n"
        "The first line is the headline to share: the start view's median time per frame and "
        "frames per second on one thread and on all cores, llvmpipe's beside them, the "
        "processor, the span fill and the version.\n"
#ifdef SCANVANE_HAVE_MODELS
        "With --model FILE the model is drawn in place of the built-in scene, and only its start "
        "view is timed, from --camera (the built-in views are poses in the house): the view, the "
        "three modes and llvmpipe drawing the same indexed triangles from the same pose, with "
        "fewer frames for a big model (--frames). The counting pass draws the built-in scene "
        "only, so a model's work is not counted. --sweep --models A,B,... times the start view "
        "of each model instead of the sizes and fits time = fixed + per triangle (+ per pixel).\n"
#endif
        ;
    const std::string notes =
        "Every option takes its value as --opt VALUE or --opt=VALUE. Exit status 0 on success, 2 "
        "on bad arguments or an unwritable --frames-csv or --svg (the results are still printed "
        "when only that file fails) or a model file that cannot be read, 1 if "
        "scanvane-bench-counts, which must sit beside this program, is missing, fails or draws "
        "other frames, or the modes draw different frames.";
    return UsageText(program, rows) + WrapText(summary, 0) + OptionsHelp(rows) +
           WrapText(notes, 0) + "\n";
}
