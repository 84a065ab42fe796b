// Sutherland-Hodgman clip of one camera-space triangle against one plane.
#pragma once
#include "render/types.h"

// Replaces the triangle in place by the part on the inner side. A four-sided
// result keeps its first three corners here and sends (0, 2, 3) back through
// DrawTriangle with the transform off; an emptied triangle collapses onto one
// point that rasterises to nothing.
void ClipTriangle(TriangleRecord &triangle, const ClipPlane &plane);
