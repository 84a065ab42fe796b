// Files dropped onto a window: SDL's drop events become WM_DROPFILES. SDL
// sends one SDL_DROPFILE per file and SDL_DROPCOMPLETE after the last, so
// the files of one drop are gathered and arrive in one message, as they do
// on Windows. Only a window that accepts files is told.
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/sdl/layer.h"

struct HDROP__ {
    std::vector<std::string> files;
};

namespace {

HWND Gathering;    // the window the drop under way is for
HDROP__ *Gathered; // its files so far, or null

void SendGathered() {
    if (Gathered == nullptr) return;
    HWND__ *w = LookUpWindow(Gathering);
    if (w != nullptr && w->acceptsFiles)
        QueueInputMessage(Gathering, WM_DROPFILES, (WPARAM)Gathered, 0);
    else
        delete Gathered;
    Gathered = nullptr;
    Gathering = NULL;
}

} // namespace

void WINAPI DragAcceptFiles(HWND window, BOOL accept) {
    HWND__ *w = LookUpWindow(window);
    if (w != nullptr) w->acceptsFiles = accept != FALSE;
}

UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size) {
    if (drop == NULL) return 0;
    if (index == 0xFFFFFFFFu) return (UINT)drop->files.size();
    if (index >= drop->files.size()) return 0;
    const std::string &file = drop->files[index];
    if (buffer == NULL) return (UINT)file.size();
    if (size == 0) return 0;
    UINT copied = file.size() < size ? (UINT)file.size() : size - 1;
    file.copy(buffer, copied);
    buffer[copied] = '\0';
    return copied;
}

void WINAPI DragFinish(HDROP drop) { delete drop; }

void TranslateDrop(const SDL_DropEvent &e) {
    if (e.type == SDL_DROPFILE) {
        HWND window = WindowFromSdlId(e.windowID);
        // A drop for another window ends the one under way.
        if (Gathered != nullptr && window != Gathering) SendGathered();
        if (window != NULL && e.file != nullptr) {
            if (Gathered == nullptr) Gathered = new HDROP__;
            Gathering = window;
            Gathered->files.push_back(e.file);
        }
    } else if (e.type == SDL_DROPCOMPLETE) {
        SendGathered();
    }
    // SDL hands over the path's memory with the event.
    SDL_free(e.file);
}

void ForgetDrop(const MSG &message) {
    if (message.message == WM_DROPFILES) DragFinish((HDROP)message.wParam);
}
