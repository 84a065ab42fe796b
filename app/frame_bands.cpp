#include "app/frame_bands.h"

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/model_scene.h"
#include "app/scene.h"
#include "render/bands.h"
#include "render/mesh_draw.h"

static_assert(SceneTriangleCount <= MaxBandRecords, "the bands' room holds the built-in scene");

static void ClearAndDrawInBands() {
    if (const Mesh *model = SceneModel()) {
        // A model's vertices, set-up and bands shared among the threads.
        AdvanceCamera(Clock.frameTime);
        BuildViewMatrix();
        DrawMeshInBands(*model);
        return;
    }
    // The built-in scene's records set up on every thread too.
    AdvanceCamera(Clock.frameTime);
    BuildViewMatrix();
    DrawRecordsInBands(SceneTriangles, SceneTriangleCount);
}

void RenderFrameInBands() { RenderFrameDrawnBy(ClearAndDrawInBands); }
