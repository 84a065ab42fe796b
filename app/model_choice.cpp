#include "app/model_choice.h"

#include <utility>

#include "app/model_scene.h"
#include "app/quote.h"

ModelChoice ChosenModel;

namespace {

bool ApplyModel(const std::string &value, std::string &) { return ChosenModel.file = value, true; }

void Placed(const char *name) {
    if (!ChosenModel.placedBy) ChosenModel.placedBy = name;
}

bool ApplyAsIs(const std::string &, std::string &) {
    Placed("--as-is");
    ChosenModel.options.placement = ModelPlacement::AsIs;
    return true;
}

bool ApplyUp(const std::string &value, std::string &error) {
    Placed("--up");
    if (value == "y" || value == "z") {
        ChosenModel.options.up = value == "z" ? ModelUp::Z : ModelUp::Y;
        return true;
    }
    return error = "wants y or z (the file's axis that points up), got " + Quote(value), false;
}

bool ApplyShading(const std::string &value, std::string &error) {
    Placed("--shading");
    if (value == "on" || value == "off") {
        ChosenModel.options.shading = value == "on";
        return true;
    }
    return error = "wants on or off, got " + Quote(value), false;
}

} // namespace

std::vector<OptionRow> ModelOptionRows() {
    ChosenModel = ModelChoice{};
    return {
        {"--model", nullptr, "FILE",
         "draw the model in FILE (PLY, OBJ, STL, OFF or glTF 2.0: .ply .obj .stl .off .gltf .glb) "
         "in "
         "place of the built-in scene; by default fitted: scaled and moved to stand on the ground "
         "in "
         "front of the start camera, about as large as the house. A bad file is refused with the "
         "reason",
         ApplyModel},
        {"--as-is", nullptr, nullptr, "keep the model's own coordinates (the world has y up)",
         ApplyAsIs},
        {"--up", nullptr, "y|z",
         "the model file's axis that points up: y (default) or z (STL, CAD)", ApplyUp},
        {"--shading", nullptr, "on|off",
         "on (default): a model without vertex colours is lit by a fixed light baked into its "
         "colours; "
         "off: its flat colours",
         ApplyShading},
    };
}

std::vector<OptionRow> WithModelOptionRows(std::vector<OptionRow> rows) {
    size_t at = 0;
    while (at < rows.size() && std::string(rows[at].name) != "--help") at++;
    const std::vector<OptionRow> model = ModelOptionRows();
    rows.insert(rows.begin() + (long)at, model.begin(), model.end());
    return rows;
}

bool LoadChosenModel(ModelInfo &info, std::string &error) {
    if (ChosenModel.file.empty()) {
        if (ChosenModel.placedBy)
            return error = std::string(ChosenModel.placedBy) +
                           " places or lights a model: give it with --model FILE",
                   false;
        return true;
    }
    Mesh mesh;
    if (!LoadModelFile(ChosenModel.file, ChosenModel.options, mesh, info, error)) return false;
    UseModelScene(std::move(mesh));
    return true;
}
