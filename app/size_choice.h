// The frame size a program starts with: set before InitGraphics, which gives
// it to the screen constants, the presentation and the depth buffer once.
#pragma once
#include <cstdint>
#include <string>

struct FrameSize {
    int32_t width, height;
};

// 512 x 384 unless a program chooses another before InitGraphics.
extern FrameSize ChosenFrameSize;

// Reads WIDTHxHEIGHT (two unsigned decimals, "x" or "X" between them) within
// the limits of render/frame_size.h. False with the reason in error, which
// the caller puts after where the text came from and the text itself:
// "--size '0x0' is outside the sizes drawn: ...".
bool ParseFrameSize(const std::string &text, FrameSize &size, std::string &error);
