#include "app/model_scene.h"

#include <utility>
#include <vector>

#include "app/scene.h"
#include "render/mesh_draw.h"
#include "render/pipeline.h"

namespace {

Mesh model;
bool haveModel;

} // namespace

void UseModelScene(Mesh &&mesh) {
    model = std::move(mesh);
    haveModel = true;
    // Each vertex transformed once per frame: the room for it taken here,
    // once per model. Without the room (too little memory) DrawMesh draws
    // record by record, the same frames.
    PrepareMeshDrawing(model);
}

void UseBuiltInScene() {
    ReleaseMeshDrawing();
    model = Mesh{};
    haveModel = false;
}

const Mesh *SceneModel() { return haveModel ? &model : nullptr; }

void SendSceneTriangles() {
    if (!haveModel) {
        for (TriangleRecord &record : SceneTriangles) {
            record.clipFlags = 0;
            DrawTriangle(record, true);
        }
        return;
    }
    // The same pixels as each triangle's record (three indexed vertices,
    // w = 1, flag word 0) through DrawTriangle, in order.
    DrawMesh(model);
}
