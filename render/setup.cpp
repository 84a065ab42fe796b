#include "render/setup.h"

#include "render/frustum.h"
#include "render/matrix.h"
#include "render/render_target.h"

void SetUpRenderer(int32_t width, int32_t height, uint32_t *colour, float *depth) {
    SetScreenConstants(width, height);
    BuildViewFrustum();
    ResetMatrix(CurrentMatrix);
    Target.width = Screen.width;
    Target.height = Screen.height;
    Target.colour = colour;
    Target.depth = depth;
}
