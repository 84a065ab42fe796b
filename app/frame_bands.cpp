#include "app/frame_bands.h"

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/model_scene.h"
#include "render/bands.h"
#include "render/mesh_draw.h"

static void ClearAndDrawInBands() {
    if (const Mesh *model = SceneModel()) {
        // A model's vertices, set-up and bands shared among the threads.
        AdvanceCamera(Clock.frameTime);
        BuildViewMatrix();
        DrawMeshInBands(*model);
        return;
    }
    BeginCollectingScene(); // room for every projected triangle, however the clipper splits them
    AdvanceCameraAndSendScene();
    EndCollectingTriangles();
    DrawCollectedInBands();
}

void RenderFrameInBands() { RenderFrameDrawnBy(ClearAndDrawInBands); }
