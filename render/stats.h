// Work counters for the benchmark's counting build. The renderer's sources
// use SCANVANE_COUNT at the few places where work happens; in every shipped
// build the macro is empty, so the counters cost nothing there. Only the
// separate counting build (compiled with SCANVANE_STATS) keeps these tallies.
#pragma once
#include <cstdint>

struct RenderStats {
    uint64_t pixelsTested;   // pixels that reached the depth test
    uint64_t pixelsWritten;  // pixels that passed it
    uint64_t spans;          // spans of at least one pixel
    uint64_t trianglesDrawn; // triangles the rasteriser walked at least one row of
    uint64_t rejected;       // triangles dropped whole by the six-plane test
    uint64_t clipped;        // plane cuts that removed part of a triangle
    uint64_t split;          // cuts that left four corners and sent a second triangle
};

#ifdef SCANVANE_STATS
extern RenderStats Stats;
#define SCANVANE_COUNT(field, n) (Stats.field += (uint64_t)(n))
#else
#define SCANVANE_COUNT(field, n) ((void)0)
#endif
