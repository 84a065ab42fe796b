// Model files (PLY, OBJ, STL, OFF, glTF 2.0) read into a Mesh, through
// assimp limited to those five importers. A file is either read whole or
// refused with one line naming it and the reason; nothing a file says can
// make the loader allocate past the limits below, crash or run on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "render/mesh.h"

// How a model is placed in the world.
enum class ModelPlacement {
    Fitted, // scaled and moved to stand on the ground in front of the start camera
    AsIs,   // the file's own coordinates
};
// Which of the file's axes points up; the world has y up.
enum class ModelUp { Y, Z };

struct ModelOptions {
    ModelPlacement placement = ModelPlacement::Fitted;
    ModelUp up = ModelUp::Y;
    bool shading = true; // false: the flat colours, no light baked in
};

// What was read, for the tools' JSON line, the window and the page.
struct ModelInfo {
    const char *format = "";    // "PLY", "OBJ", "STL", "OFF" or "glTF"
    bool vertexColours = false; // colours came from the file's vertices
    bool shaded = false;        // light was baked into the colours
};

// What a file may make us hold. Checked against what the file declares
// before anything of that size is allocated, and again as it is read.
constexpr uint64_t ModelMaxFileBytes = 512ull << 20; // the file, and any buffers beside it
constexpr uint32_t ModelMaxVertices = 16u << 20;
constexpr uint32_t ModelMaxTriangles = 16u << 20;
// The longest one import may run (where assimp reports its progress).
constexpr double ModelMaxImportSeconds = 60.0;

// Reads the file at path. On failure error is one line: "PATH: reason".
bool LoadModelFile(const std::string &path, const ModelOptions &options, Mesh &mesh,
                   ModelInfo &info, std::string &error);

// The same from bytes already in memory (a file opened in the page or
// dropped on a window): name is what messages call it, and its extension
// says the format. A glTF file here can use embedded buffers only.
bool LoadModelBytes(const void *bytes, size_t size, const std::string &name,
                    const ModelOptions &options, Mesh &mesh, ModelInfo &info, std::string &error);

// The options' words, as the command line takes them and the JSON line
// reports them: "fitted"/"as-is", "y"/"z", "on"/"off".
const char *PlacementName(ModelPlacement placement);
const char *UpName(ModelUp up);
