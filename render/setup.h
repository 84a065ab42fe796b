// The renderer's state for one frame size, set once before the first
// triangle: what the frame cycle, the micro-benchmark and the fuzz target
// each start from, so none of them can set up a different renderer.
#pragma once
#include <cstdint>

// Screen constants and view frustum for width x height, the identity in
// CurrentMatrix, and Target over the given buffers (16-byte aligned,
// FrameBufferPixels(width, height) pixels, rows width pixels apart; colour
// may be null until the first frame supplies it).
void SetUpRenderer(int32_t width, int32_t height, uint32_t *colour, float *depth);
