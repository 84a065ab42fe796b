// The built-in scene: a house, steps, lawn, tree and sky box.
#pragma once
#include "render/types.h"

constexpr int SceneTriangleCount = 88;

// Writable because the frame cycle resets each record's flag word every frame;
// the vertex data never changes.
extern TriangleRecord SceneTriangles[SceneTriangleCount];
