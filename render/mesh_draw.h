// Drawing an indexed model. Each frame transforms every vertex by
// CurrentMatrix, tests it against the six planes and projects it once; each
// triangle is then set up from its three transformed vertices. Every pixel
// comes out as DrawTriangle leaves it for the record of the triangle's three
// vertices (w 1, flag word 0), the records drawn in index order: a triangle
// that must be cut goes through the clipper exactly as that record would,
// the others skip the clipper (which would leave them as they are), and a
// triangle that cannot reach a pixel is dropped before its set-up.
#pragma once
#include "render/mesh.h"

// Sizes the working memory for drawing mesh, once per model rather than per
// frame: a result per vertex and, for the bands, the lists each band draws.
// The mesh must not change while it stays prepared. False, with nothing
// kept, when an index names no vertex, the mesh is too big to number, or the
// memory cannot be had.
bool PrepareMeshDrawing(const Mesh &mesh);
void ReleaseMeshDrawing();

// Draws mesh into Target on this thread, or hands each projected triangle
// to ProjectedSink when one is set. A mesh that is not the prepared one is
// drawn record by record through DrawTriangle.
void DrawMesh(const Mesh &mesh);

// Clears Target and draws mesh on the band threads (render/bands.h; this
// one is in the bands' library, the rest in the renderer's): the
// vertices, the triangles' set-up and the bands are each shared among them.
// The frame is the same as DrawMesh's after a clear, on any thread count.
void DrawMeshInBands(const Mesh &mesh);
