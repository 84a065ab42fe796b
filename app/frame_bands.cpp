#include "app/frame_bands.h"

#include "app/frame_cycle.h"
#include "app/scene.h"
#include "render/bands.h"

// Every projected triangle of a frame, however the clipper splits the scene.
static TriangleRecord collected[SceneTriangleCount * CollectedPerRecord];

static void ClearAndDrawInBands() {
    BeginCollectingTriangles(collected, SceneTriangleCount * CollectedPerRecord);
    AdvanceCameraAndSendScene();
    EndCollectingTriangles();
    DrawCollectedInBands();
}

void RenderFrameInBands() { RenderFrameDrawnBy(ClearAndDrawInBands); }
