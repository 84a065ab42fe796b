// The light baked into a model's colours where the file gives none of its
// own, so that its shape reads: a fixed directional light and ambient, on
// both sides of each face alike (nothing is culled, so either side shows).
#pragma once
#include "app/model_import.h"

// The light comes from above, a little left and from the viewer's side.
constexpr float LightTowards[3] = {-0.4f, 0.8f, 0.45f}; // normalised when used
constexpr float AmbientLight = 0.35f;
constexpr float DirectLight = 0.65f;

// Lights every vertex without its own colour: its normal from the file,
// else the area-weighted normal of the faces around its position.
void BakeLight(ImportedModel &model);
