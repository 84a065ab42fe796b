// Where a model stands in the world: turned upright, then either left at
// the file's coordinates or fitted in front of the start camera.
#pragma once
#include <string>
#include <vector>

#include "app/model_load.h"

// A fitted model is scaled to fit the built-in house's box (its width, its
// height to the roof ridge, its depth), so the keyboard camera's speeds
// suit it as they suit the house.
constexpr float FitWidth = 140.0f, FitHeight = 70.0f, FitDepth = 80.0f;
// Far enough away to be wholly in view in frames as wide as 16:9 (the
// vertical half-angle's tangent there; the horizontal one is 1 at every
// size), with this much room around it.
constexpr float FitTanHalfHeight = 0.5625f;
constexpr float FitTanHalfWidth = 1.0f;
constexpr float FitRoom = 1.1f;
// A model with no width or height (a line of points) stays this far off.
constexpr float FitNearest = 10.0f;

// A z-up file's axes to the world's (y up, right-handed): y' = z, z' = -y,
// for positions and normals (three floats per vertex each).
void TurnZUp(std::vector<float> &xyz);

// Fits positions (three floats per vertex) in front of the start camera.
// False with the reason when the model has no size to fit.
bool FitModel(std::vector<float> &positions, std::string &reason);
