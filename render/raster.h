// The scanline rasteriser: sorts a triangle's vertices by row, walks its two
// sides and fills each row into Target.
#pragma once
#include <cstdint>

#include "render/types.h"

// Scan-converts a screen-space triangle into Target. Reorders the record's
// vertices. Vertices outside the screen, or non-finite, draw nothing.
void RasteriseTriangle(TriangleRecord &triangle);

// The same, writing only rows firstRow..endRow-1: each row comes out exactly
// as RasteriseTriangle leaves it, so bands of rows can be drawn apart (by
// different threads, each owning its rows) into the same frame.
void RasteriseTriangleRows(TriangleRecord &triangle, int32_t firstRow, int32_t endRow);
