// The scanline rasteriser: sorts a triangle's vertices by row, walks its two
// sides and fills each row into Target.
#pragma once
#include <cstdint>
#include <emmintrin.h>

#include "render/types.h"

// Scan-converts a screen-space triangle into Target. Reorders the record's
// vertices. Vertices outside the screen, or non-finite, draw nothing.
void RasteriseTriangle(TriangleRecord &triangle);

// The same, writing only rows firstRow..endRow-1: each row comes out exactly
// as RasteriseTriangle leaves it, so bands of rows can be drawn apart (by
// different threads, each owning its rows) into the same frame.
void RasteriseTriangleRows(TriangleRecord &triangle, int32_t firstRow, int32_t endRow);

// Where a triangle's side walk stopped in the last band one thread drew: the
// row it reached and both sides' running values there. A thread that draws
// a later band of the same triangle goes on from here instead of walking the
// sides again from the top row; the sums are the same additions in the same
// order, so the rows come out the same. row = INT32_MIN: nothing saved.
struct SideWalk {
    int32_t row;
    float longX, shortX;
    __m128 longV, shortV;
};

// RasteriseTriangleRows resuming from and saving into walk (which must hold
// this triangle's walk from an earlier band of this frame, above firstRow,
// or nothing).
void RasteriseTriangleRowsFrom(TriangleRecord &triangle, int32_t firstRow, int32_t endRow,
                               SideWalk &walk);
