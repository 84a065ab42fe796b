// Faults in the readers of the assimp this program links (Debian's 5.2.5,
// also built from the same source for the page and Windows) that a file
// can reach: a count run below zero, a line copied past its buffer, a
// header read other than the checks in model_format.h read it. Each format
// that needs it is read here the way its reader reads it, and a file that
// would make the reader write or read outside its memory, or allocate past
// the model limits, is refused before the reader sees it.
#pragma once
#include <cstddef>
#include <string>

#include "app/model_format.h"

// False with the reason when the file would trip its reader.
bool CheckReaderFaults(ModelFormat format, const unsigned char *bytes, size_t size,
                       std::string &reason);
