// The scanline rasteriser: sorts a triangle's vertices by row, walks its two
// sides and fills each row into Target.
#pragma once
#include "render/types.h"

// Scan-converts a screen-space triangle into Target. Reorders the record's
// vertices. Vertices outside the screen, or non-finite, draw nothing.
void RasteriseTriangle(TriangleRecord &triangle);
