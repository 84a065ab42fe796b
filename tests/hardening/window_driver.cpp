// The windowed program (the same WinMain, shell and SDL layer as scanvane)
// with test controls, for the failure-path tests and the memory check under
// Xvfb. Controls, from the environment:
//   SCANVANE_DRIVER_FRAMES=N        press Escape after N presented frames
//   SCANVANE_DRIVER_FAIL_LOCK_AT=N  every texture lock after the N-th presented
//                                   frame fails (through the layer's
//                                   SCANVANE_TEST_FAIL=lock switch)
//   SCANVANE_DRIVER_KEYS=1          hold a changing set of motion keys
//   SCANVANE_DRIVER_DROP=F1[|F2...][;...] every SCANVANE_DRIVER_DROP_AT=N
//                                   presented frames (default 3), the next drop
//                                   (';' between drops) onto the window, as SDL
//                                   delivers one: an SDL_DROPFILE per file
//                                   ('|' between files), then SDL_DROPCOMPLETE
//   SCANVANE_DRIVER_ARGS="..."      the program's command line
// On exit, normal or through a failure box, it writes one line to stderr:
//   window_driver: N frames presented
// and, for every frame presented while a failure box was open, a line
// saying so (there must never be one).
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/sdl/layer.h"
#include "platform/shell/shell.h"

namespace {
int Presented;
int FrameLimit, FailLockAt;
bool HoldKeys;
int DropAt;
const char *DropFiles;

int EnvNumber(const char *name) {
    const char *text = getenv(name);
    return text ? atoi(text) : 0;
}

// Posted, not called: they reach the window procedure through the message
// loop exactly as the keyboard's messages do.
void PressKeys() {
    static const WPARAM keys[] = {VK_UP, VK_LEFT, VK_DOWN, VK_RIGHT, 'A', 'Z'};
    WPARAM key = keys[(Presented / 7) % 6];
    PostMessageA(Shell.mainWindow, Presented % 7 == 6 ? WM_KEYUP : WM_KEYDOWN, key, 0);
}

void PushDropEvent(Uint32 type, Uint32 windowId, const char *file, size_t length) {
    SDL_Event e;
    SDL_zero(e);
    e.drop.type = type;
    e.drop.windowID = windowId;
    e.drop.file = file ? SDL_strdup(std::string(file, length).c_str()) : nullptr;
    SDL_PushEvent(&e);
}

// Drops the next group of DropFiles and moves past it.
void DropOntoWindow() {
    Uint32 id = SDL_GetWindowID(LookUpWindow(Shell.mainWindow)->sdl);
    const char *file = DropFiles;
    for (;;) {
        size_t length = strcspn(file, "|;");
        PushDropEvent(SDL_DROPFILE, id, file, length);
        file += length;
        if (*file != '|') break;
        ++file;
    }
    PushDropEvent(SDL_DROPCOMPLETE, id, nullptr, 0);
    DropFiles = *file == ';' ? file + 1 : nullptr;
}

void AfterPresent(HWND) {
    Presented++;
    if (Presentation.failing)
        fprintf(stderr, "window_driver: frame %d presented while the failure box was open\n",
                Presented);
    if (FailLockAt > 0 && Presented == FailLockAt) setenv("SCANVANE_TEST_FAIL", "lock", 1);
    if (HoldKeys) PressKeys();
    if (DropFiles != nullptr && DropAt > 0 && Presented % DropAt == 0) DropOntoWindow();
    if (FrameLimit > 0 && Presented == FrameLimit)
        PostMessageA(Shell.mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
}

void Report() { fprintf(stderr, "window_driver: %d frames presented\n", Presented); }
} // namespace

int main() {
    FrameLimit = EnvNumber("SCANVANE_DRIVER_FRAMES");
    FailLockAt = EnvNumber("SCANVANE_DRIVER_FAIL_LOCK_AT");
    HoldKeys = EnvNumber("SCANVANE_DRIVER_KEYS") != 0;
    DropFiles = getenv("SCANVANE_DRIVER_DROP");
    DropAt = getenv("SCANVANE_DRIVER_DROP_AT") ? EnvNumber("SCANVANE_DRIVER_DROP_AT") : 3;
    AfterPresentHook = AfterPresent;
    InvisibleDisplayAllowed = true; // the failure paths run on SDL's dummy driver
    atexit(Report);
    const char *args = getenv("SCANVANE_DRIVER_ARGS");
    std::string commandLine = args ? args : "";
    return WinMain(GetModuleHandleA(NULL), NULL, &commandLine[0], SW_SHOWNORMAL);
}
