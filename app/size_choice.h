// Reading a frame size as the command lines and the page give it.
#pragma once
#include <string>

#include "render/frame_size.h"

// Reads WIDTHxHEIGHT (two unsigned decimals, "x" or "X" between them) within
// the limits of render/frame_size.h. False with the reason in error, which
// the caller puts after where the text came from and the text itself:
// "--size '0x0' is outside the sizes drawn: ...".
bool ParseFrameSize(const std::string &text, FrameSize &size, std::string &error);
