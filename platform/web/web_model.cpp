// Model files in the page: page.js reads a file the user opened or dropped
// (nothing leaves the browser) or a sample the page ships, and hands its
// bytes here. A file is drawn from the next frame on, or refused with the
// reason and the page keeps drawing what it drew.
#include <emscripten.h>

#include <cstdint>
#include <string>
#include <utility>

#ifdef SCANVANE_HAVE_MODELS
#include "app/model_load.h"
#include "app/model_scene.h"
#endif

namespace {
std::string ModelError;
} // namespace

extern "C" {
// Reads size bytes at bytes as the file name (its extension gives the
// format) and draws it in place of what is drawn. Returns "" or one line
// naming the file and the reason.
EMSCRIPTEN_KEEPALIVE const char *WebOpenModel(const uint8_t *bytes, uint32_t size,
                                              const char *name) {
    ModelError.clear();
#ifdef SCANVANE_HAVE_MODELS
    ModelOptions options;
    Mesh mesh;
    ModelInfo info;
    if (!LoadModelBytes(bytes, size, name ? name : "", options, mesh, info, ModelError))
        return ModelError.c_str();
    UseModelScene(std::move(mesh));
#else
    (void)bytes;
    (void)size;
    ModelError = std::string(name ? name : "") +
                 ": this build cannot open model files (built without assimp)";
#endif
    return ModelError.c_str();
}

// 1 while a model is drawn, 0 for the built-in scene.
EMSCRIPTEN_KEEPALIVE int WebShowsModel() {
#ifdef SCANVANE_HAVE_MODELS
    return SceneModel() != nullptr;
#else
    return 0;
#endif
}
}
