#include "app/frame_bands.h"

#include "app/frame_cycle.h"
#include "app/model_scene.h"
#include "render/bands.h"

static void ClearAndDrawInBands() {
    BeginCollectingScene(); // room for every projected triangle, however the clipper splits them
    AdvanceCameraAndSendScene();
    EndCollectingTriangles();
    DrawCollectedInBands();
}

void RenderFrameInBands() { RenderFrameDrawnBy(ClearAndDrawInBands); }
