// Drives the SDL layer without a display: SDL's dummy video driver, and
// input made by pushing the SDL events a real display would send.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "platform/sdl/layer.h"

// Every message a test window's procedure received, in order.
struct ReceivedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
extern std::vector<ReceivedMessage> Received;

// Records, then gives everything to DefWindowProcA.
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A window of a class whose procedure is proc, created hidden at 512 x 384.
HWND MakeWindow(WNDPROC proc = RecordingProc, const char *className = nullptr);

void PushKey(HWND window, SDL_Keycode key, bool down, bool repeat = false, Uint16 mod = KMOD_NONE);
void PushWindowEvent(HWND window, SDL_WindowEventID event);

// Takes and dispatches what waits for window (any window when null), at
// most limit messages, stopping at the first paint; returns the messages.
std::vector<UINT> DispatchWaiting(HWND window, int limit = 32);

int Count(const std::string &text, const std::string &what);
