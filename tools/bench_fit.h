// The sweep's cost model: time per frame = fixed + perUnit x work, fitted by
// least squares over the sizes. A frame cannot cost less than nothing, so the
// fixed part is held at zero where the free fit would make it negative (the
// small sizes' times then lie above the line through the large ones: the cost
// is not quite linear in the work).
#pragma once
#include <vector>

struct FitPoint {
    double work, time;
};

struct LineFit {
    bool have = false;       // at least two points with different work
    double fixed = 0;        // never negative
    double perUnit = 0;      // time per unit of work
    double r2 = 0;           // 1 - residual / total sum of squares about the mean
    bool heldAtZero = false; // the free fit's fixed part was negative
    double freeFixed = 0;    // that free fit's fixed part, to say so
};

LineFit FitNonNegativeFixed(const std::vector<FitPoint> &points);

// The triangle sweep's cost model: time per frame = fixed + perTriangle x
// triangles + perPixel x pixels, least squares over the models (and sizes),
// the fixed part held at zero or above as above. The per-pixel term is
// fitted only where the pixels vary among the points (otherwise it is part
// of the fixed cost) and the per-triangle term only where the triangles do.
struct CostPoint {
    double triangles, pixels, time;
};

struct CostFit {
    bool have = false;                          // enough distinct points for the terms
    bool byTriangles = false, byPixels = false; // the terms fitted
    double fixed = 0, perTriangle = 0, perPixel = 0;
    double r2 = 0;
    bool heldAtZero = false;
    double freeFixed = 0;
};

CostFit FitCost(const std::vector<CostPoint> &points);
