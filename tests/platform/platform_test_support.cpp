#include "platform_test_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>

std::vector<ReceivedMessage> Received;

namespace {

// Before any test and any SDL call: no display is needed or used, and
// message boxes are logged instead of waiting for a user.
struct DummyVideo {
    DummyVideo() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        InvisibleDisplayAllowed = true;
        setenv("SCANVANE_TEST_BOXES", "log", 1);
        unsetenv("SCANVANE_TEST_FAIL");
        unsetenv("SCANVANE_TEST_DUMP");
    }
} Dummy;

// Each test starts with no window and an empty queue, even when all of them
// run in one process.
struct CleanUp : testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo &) override {
        while (HWND window = NthLiveWindow(0)) DestroyWindow(window);
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {}
        Received.clear();
        unsetenv("SCANVANE_TEST_FAIL"); // a failure asked for by one test only
    }
};

struct InstallCleanUp {
    InstallCleanUp() { testing::UnitTest::GetInstance()->listeners().Append(new CleanUp); }
} Installed;

} // namespace

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Received.push_back({window, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(WNDPROC proc, const char *className) {
    // One class per procedure: a class keeps the procedure it was first
    // registered with.
    char name[64];
    if (className == nullptr) snprintf(name, sizeof name, "TestClass%p", (void *)proc), className = name;
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = className;
    RegisterClassExA(&wc); // a second registration of the same class fails harmlessly
    return CreateWindowExA(0, className, "test", WS_OVERLAPPEDWINDOW, 0, 0, 512, 384, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

void PushKey(HWND window, SDL_Keycode key, bool down, bool repeat, Uint16 mod) {
    SDL_Event e;
    memset(&e, 0, sizeof e);
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = SDL_GetWindowID(LookUpWindow(window)->sdl);
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.sym = key;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

void PushWindowEvent(HWND window, SDL_WindowEventID event) {
    SDL_Event e;
    memset(&e, 0, sizeof e);
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(LookUpWindow(window)->sdl);
    e.window.event = event;
    SDL_PushEvent(&e);
}

std::vector<UINT> DispatchWaiting(HWND window, int limit) {
    std::vector<UINT> seen;
    MSG m;
    while ((int)seen.size() < limit && PeekMessageA(&m, window, 0, 0, PM_REMOVE)) {
        seen.push_back(m.message);
        DispatchMessageA(&m);
        if (m.message == WM_PAINT) break;
    }
    return seen;
}

int Count(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}
