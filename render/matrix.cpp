#include "render/matrix.h"

#include <cstring>

const Matrix4 IdentityMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
Matrix4 CurrentMatrix = IdentityMatrix;

static Matrix4 scratchMatrix; // old CurrentMatrix during the product

void ResetMatrix(Matrix4 &m) { std::memcpy(&m, &IdentityMatrix, sizeof m); }

void PremultiplyCurrentMatrix(const Matrix4 &mat) {
    const float *m = mat.m;
    const float *s = scratchMatrix.m;
    scratchMatrix = CurrentMatrix;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            CurrentMatrix.m[4 * i + j] = ((m[4 * i] * s[j] + m[4 * i + 1] * s[4 + j]) +
                                          m[4 * i + 2] * s[8 + j]) +
                                         m[4 * i + 3] * s[12 + j];
}
