// The scene a frame draws: the built-in one, or a loaded model in its place.
// Every triangle goes through DrawTriangle exactly as the built-in records do
// (three indexed vertices, w = 1, flag word 0), so the frames of a model are
// the same on every build, fill path and thread count.
#pragma once
#include "render/mesh.h"

// Draws mesh from the next frame on instead of the built-in scene (the mesh
// is moved in and kept). The room the all-cores frame collects into grows
// with the model here, once, not per frame.
void UseModelScene(Mesh &&mesh);
// Back to the built-in scene (the model and its room are freed).
void UseBuiltInScene();
// The model drawn, or null for the built-in scene.
const Mesh *SceneModel();

// Sends every triangle of the current scene through the pipeline with the
// current matrix, in order.
void SendSceneTriangles();
