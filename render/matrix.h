// The process-wide current matrix the pipeline transforms vertices by.
#pragma once
#include "render/types.h"

extern const Matrix4 IdentityMatrix;
extern Matrix4 CurrentMatrix;

// Copies IdentityMatrix into m.
void ResetMatrix(Matrix4 &m);

// CurrentMatrix := m x CurrentMatrix, so m applies after what is already there.
// m must not be CurrentMatrix itself.
void PremultiplyCurrentMatrix(const Matrix4 &m);
