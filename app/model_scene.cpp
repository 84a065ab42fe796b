#include "app/model_scene.h"

#include <utility>
#include <vector>

#include "app/scene.h"
#include "render/pipeline.h"

namespace {

Mesh model;
bool haveModel;

} // namespace

void UseModelScene(Mesh &&mesh) {
    model = std::move(mesh);
    haveModel = true;
}

void UseBuiltInScene() {
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
    const float *p = model.positions.data(), *c = model.colours.data();
    const uint32_t *index = model.indices.data();
    const size_t count = model.indices.size();
    TriangleRecord record;
    record.clipFlags = 0;
    for (size_t t = 0; t < count; t += 3) {
        for (int k = 0; k < 3; k++) {
            const size_t v = 3 * (size_t)index[t + k];
            record.v[k] = {p[v], p[v + 1], p[v + 2], 1.0f, c[v], c[v + 1], c[v + 2]};
        }
        DrawTriangle(record, true);
    }
}

