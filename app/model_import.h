// The one place that talks to assimp: a file's bytes in, its faces fanned
// into triangles and its colours chosen out, every index and number checked.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/model_format.h"

// What the importer read, before light, welding and placement.
struct ImportedModel {
    std::vector<float> positions;    // x, y, z per vertex, the node transforms applied
    std::vector<float> normals;      // x, y, z per vertex; zero where the file has none
    std::vector<float> colours;      // r, g, b per vertex, whole numbers 0..255
    std::vector<uint8_t> ownColour;  // 1 where the colour is the vertex's own, from the file
    std::vector<uint32_t> triangles; // three indices each, in the file's face order
};

// The light grey of a model with neither vertex nor material colours.
constexpr float PlainModelGrey = 200.0f;

// Imports bytes in format; path names the file as the importer sees it and
// directory is where files beside it (an OBJ's materials, a glTF's
// buffers) may be read from: empty for none. False with the reason.
bool ImportModel(ModelFormat format, const unsigned char *bytes, size_t size,
                 const std::string &path, const std::string &directory, ImportedModel &model,
                 std::string &reason);
