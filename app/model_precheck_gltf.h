// The part of model_precheck.h for glTF 2.0: skins, which assimp's reader
// follows without checking that what they name is there.
#pragma once
#include <cstddef>
#include <string>

// False with the reason when the file (JSON, or binary glTF) would trip the reader.
bool CheckGltfReaderFaults(const unsigned char *bytes, size_t size, std::string &reason);
