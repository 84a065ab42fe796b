// The windowed program (the same WinMain, shell and SDL layer as scanvane)
// with test controls, for the failure-path tests and the memory check under
// Xvfb. Controls, from the environment:
//   SCANVANE_DRIVER_FRAMES=N        press Escape after N presented frames
//   SCANVANE_DRIVER_FAIL_LOCK_AT=N  every texture lock after the N-th presented
//                                   frame fails (through the layer's
//                                   SCANVANE_TEST_FAIL=lock switch)
//   SCANVANE_DRIVER_KEYS=1          hold a changing set of motion keys
// On exit, normal or through a failure box, it writes one line to stderr:
//   window_driver: N frames presented
// and, for every frame presented while a failure box was open, a line
// saying so (there must never be one).
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "platform/sdl/layer.h"
#include "platform/shell/shell.h"

namespace {
int Presented;
int FrameLimit, FailLockAt;
bool HoldKeys;

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

void AfterPresent(HWND) {
    Presented++;
    if (Presentation.failing)
        fprintf(stderr, "window_driver: frame %d presented while the failure box was open\n", Presented);
    if (FailLockAt > 0 && Presented == FailLockAt) setenv("SCANVANE_TEST_FAIL", "lock", 1);
    if (HoldKeys) PressKeys();
    if (FrameLimit > 0 && Presented == FrameLimit)
        PostMessageA(Shell.mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
}

void Report() { fprintf(stderr, "window_driver: %d frames presented\n", Presented); }
} // namespace

int main() {
    FrameLimit = EnvNumber("SCANVANE_DRIVER_FRAMES");
    FailLockAt = EnvNumber("SCANVANE_DRIVER_FAIL_LOCK_AT");
    HoldKeys = EnvNumber("SCANVANE_DRIVER_KEYS") != 0;
    AfterPresentHook = AfterPresent;
    InvisibleDisplayAllowed = true; // the failure paths run on SDL's dummy driver
    atexit(Report);
    char commandLine[] = "";
    return WinMain(GetModuleHandleA(NULL), NULL, commandLine, SW_SHOWNORMAL);
}
