// Fuzz target for the model loader: the first byte picks the format (the
// name's extension) and the options, the rest is the file's bytes, loaded
// as a file dropped on the window or opened in the page is. A file is
// either refused with a one-line message or read into a mesh whose every
// index is in range and every number finite (colours whole, 0..255);
// anything else is reported by abort() after a one-line description.
//
// Input layout: byte 0: bits 0-2 the format (ply obj stl off gltf glb, and
// two more picking ply and obj again); bit 3: --as-is; bit 4: --up z; bit
// 5: --shading off. Then the file.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/model_load.h"

// camera.cpp (the start camera the fitting uses) reaches the window for
// Escape; there is none here.
void DestroyMainWindow() {}

static void Fault(const char *what) {
    std::fprintf(stderr, "model_fuzz: %s\n", what);
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    static const char *const names[8] = {"f.ply",  "f.obj", "f.stl", "f.off",
                                         "f.gltf", "f.glb", "f.ply", "f.obj"};
    ModelOptions options;
    options.placement = data[0] & 8 ? ModelPlacement::AsIs : ModelPlacement::Fitted;
    options.up = data[0] & 16 ? ModelUp::Z : ModelUp::Y;
    options.shading = (data[0] & 32) == 0;
    Mesh mesh;
    ModelInfo info;
    std::string error;
    const std::string name = names[data[0] & 7];
    if (!LoadModelBytes(data + 1, size - 1, name, options, mesh, info, error)) {
        if (error.rfind(name + ": ", 0) != 0 || error.size() == name.size() + 2)
            Fault("refusal without the file's name or a reason");
        if (error.find('\n') != std::string::npos) Fault("refusal on more than one line");
        return 0;
    }
    const uint32_t vertices = MeshVertexCount(mesh);
    if (mesh.positions.size() != 3 * (size_t)vertices ||
        mesh.colours.size() != mesh.positions.size())
        Fault("positions and colours of different lengths");
    if (mesh.indices.empty() || mesh.indices.size() % 3 != 0) Fault("no whole triangles");
    for (uint32_t i : mesh.indices)
        if (i >= vertices) Fault("index out of range");
    for (float p : mesh.positions)
        if (!std::isfinite(p)) Fault("a coordinate not finite");
    for (float c : mesh.colours)
        if (!(c >= 0.0f && c <= 255.0f) || c != std::floor(c))
            Fault("a colour channel not a whole number 0..255");
    return 0;
}
