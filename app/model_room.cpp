// The all-cores frame's room for a scene's projected triangles.
#include <algorithm>
#include <vector>

#include "app/model_scene.h"
#include "app/scene.h"
#include "render/bands.h"
#include "render/pipeline.h"

namespace {

// The built-in scene's room for the all-cores frame, and the model's:
// most of a model's triangles come through whole, so its room starts at
// a quarter more than its triangles and grows (by half) if a view clips
// more of them into pieces.
TriangleRecord builtInRoom[SceneTriangleCount * CollectedPerRecord];
std::vector<TriangleRecord> modelRoom;
int collected;
// The model the room was made for.
const uint32_t *roomFor;
size_t roomTriangles;
ProjectedTriangleSink bandsSink;

size_t StartingRoom(const Mesh &mesh) {
    const size_t triangles = MeshTriangleCount(mesh);
    const size_t most = triangles * CollectedPerRecord;
    const size_t start = triangles + triangles / 4 + SceneTriangleCount * CollectedPerRecord;
    return start < most ? start : most;
}

// Stands between the pipeline and the bands' collector: when the room is
// full, a bigger one takes what was collected so far and the rest.
void CollectGrowing(TriangleRecord &triangle) {
    if ((size_t)collected == modelRoom.size()) {
        const size_t most = (size_t)MeshTriangleCount(*SceneModel()) * CollectedPerRecord;
        size_t bigger = modelRoom.size() + modelRoom.size() / 2;
        if (bigger > most) bigger = most;
        std::vector<TriangleRecord> room(bigger);
        std::copy(modelRoom.begin(), modelRoom.end(), room.begin());
        modelRoom.swap(room);
        BeginCollectingTriangles(modelRoom.data(), (int)modelRoom.size());
        bandsSink = ProjectedSink;
        for (int i = 0; i < collected; i++) bandsSink(modelRoom[(size_t)i]);
        ProjectedSink = CollectGrowing;
    }
    collected++;
    bandsSink(triangle);
}

} // namespace

void BeginCollectingScene() {
    const Mesh *model = SceneModel();
    if (!model) {
        BeginCollectingTriangles(builtInRoom, SceneTriangleCount * CollectedPerRecord);
        return;
    }
    // Allocated once per model (and again only if a view needs more).
    if (roomFor != model->indices.data() || roomTriangles != model->indices.size()) {
        std::vector<TriangleRecord>().swap(modelRoom);
        modelRoom.resize(StartingRoom(*model));
        roomFor = model->indices.data();
        roomTriangles = model->indices.size();
    }
    BeginCollectingTriangles(modelRoom.data(), (int)modelRoom.size());
    bandsSink = ProjectedSink;
    collected = 0;
    ProjectedSink = CollectGrowing;
}
