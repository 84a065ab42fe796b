// Which of the five formats a model file is, and whether what its header
// declares fits in its bytes: checked before the bytes go to the importer,
// so a header promising a billion vertices is refused before anything of
// that size is allocated.
#pragma once
#include <cstddef>
#include <string>

enum class ModelFormat { Ply, Obj, Stl, Off, Gltf };

// "PLY", "OBJ", "STL", "OFF", "glTF".
const char *ModelFormatName(ModelFormat format);

// The format from the name's extension (any case), checked against the
// bytes' own signature where the format has one. False with the reason.
bool IdentifyModelFormat(const std::string &name, const unsigned char *bytes, size_t size,
                         ModelFormat &format, std::string &reason);

// The file's declared counts against its size and the model limits
// (app/model_load.h). False with the reason.
bool CheckDeclaredCounts(ModelFormat format, const unsigned char *bytes, size_t size,
                         std::string &reason);
