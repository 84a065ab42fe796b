// The size of every frame: the colour and depth buffers, the presentation's
// texture and back buffer, and the window's outer size. Both buffers use the
// width as their row stride.
#pragma once
#include <cstdint>

constexpr int32_t FrameWidth = 512;
constexpr int32_t FrameHeight = 384;
constexpr int32_t FramePixels = FrameWidth * FrameHeight;
