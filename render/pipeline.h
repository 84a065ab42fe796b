// One triangle record from world (or camera) space to pixels.
#pragma once
#include "render/types.h"

// Transforms v in place by CurrentMatrix.
void TransformVertex(Vertex &v);

// Copies the record, optionally transforms it, rejects, clips against every
// plane whose flag bit is clear, projects and rasterises. The record itself is
// never written.
void DrawTriangle(const TriangleRecord &record, bool transform);

// Where DrawTriangle hands each projected triangle when set: a caller that
// draws the frame in bands of rows collects them here once and rasterises
// them per band. Null (the default) rasterises each at once.
typedef void (*ProjectedTriangleSink)(TriangleRecord &triangle);
extern ProjectedTriangleSink ProjectedSink;
