// A model file dropped onto the window opens in place: the frame keeps its
// size and threads, and the camera where it is. A file that cannot be read
// is refused in a box that says why, and the window keeps what it drew.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <string>
#include <utility>

#include "platform/shell/shell.h"

#ifdef SCANVANE_HAVE_MODELS
#include "app/model_choice.h"
#include "app/model_load.h"
#include "app/model_scene.h"
#endif

static const char ModelBoxCaption[] = "Scanvane";

void AcceptDroppedFiles(HWND window) { DragAcceptFiles(window, TRUE); }

#ifdef SCANVANE_HAVE_MODELS
static std::string DroppedFile(HDROP drop, UINT index) {
    UINT length = DragQueryFileA(drop, index, NULL, 0);
    std::string path(length, '\0');
    if (length > 0) DragQueryFileA(drop, index, &path[0], length + 1);
    return path;
}

void OpenDroppedFiles(HWND window, WPARAM dropHandle) {
    HDROP drop = (HDROP)dropHandle;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, NULL, 0);
    std::string path = count > 0 ? DroppedFile(drop, 0) : std::string();
    DragFinish(drop);
    if (count == 0) return;
    // One window shows one model: of several files, the first is opened.
    // Placed and shaded as the command line's --as-is, --up and --shading say.
    Mesh mesh;
    ModelInfo info;
    std::string error;
    if (!LoadModelFile(path, ChosenModel.options, mesh, info, error)) {
        MessageBoxA(window, ("Cannot open " + error).c_str(), ModelBoxCaption, MB_OK);
        return;
    }
    UseModelScene(std::move(mesh));
}
#else
// A build without the model loader says so rather than ignoring the drop.
void OpenDroppedFiles(HWND window, WPARAM dropHandle) {
    DragFinish((HDROP)dropHandle);
    MessageBoxA(window, "This build cannot open model files (built without assimp).",
                ModelBoxCaption, MB_OK);
}
#endif
