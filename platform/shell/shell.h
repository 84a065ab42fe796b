// The window shell's process-wide state and the presentation it owns.
// Written against the Win32, Direct3D 9 and GDI names, so the same sources
// build with the Windows headers or with the SDL layer in platform/sdl.
#pragma once
#include <windows.h>
#include <d3d9.h>

#include <stdint.h>

struct ShellState {
    HINSTANCE moduleHandle;
    HWND mainWindow;         // null until CreateWindowExA returns
    WNDCLASSEXA windowClass; // "MyWindowClass"
};

struct PresentationState {
    IDirect3D9 *direct3d;
    IDirect3DDevice9 *device;
    IDirect3DTexture9 *frameTexture; // its memory is the colour buffer
    uint32_t *colourBuffer;          // non-null only between BeginFrame and EndFrame
    HWND renderWindow;
    HDC windowDC;                    // kept for the life of the process
    bool failing;                    // a "Graphics failure" box is open
};

// What the command line chose; without arguments, the program as it always
// was: the default frame size stretched to the window, one thread.
struct ShellOptions {
    int threads; // 1: the one-thread frame cycle; more: the frame drawn in bands
};

extern ShellState Shell;
extern ShellOptions Options;
extern PresentationState Presentation;

// Answers --help, --version or a bad option; -1 when the program is to run.
int AnswerCommandLine(const char *commandLine);

void RegisterWindowClass();
void RunMessageLoop();
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Releases whichever Direct3D objects are still held; safe to call again.
void ReleasePresentation();
