// The window shell's process-wide state and the presentation it owns.
// Written against the Win32, Direct3D 9 and GDI names, so the same sources
// build with the Windows headers or with the SDL layer in platform/sdl.
#pragma once
#include <d3d9.h>
#include <windows.h>

#include <stdint.h>

#include <string>

#include "render/frame_size.h"

struct ShellState {
    HINSTANCE moduleHandle;
    HWND mainWindow;         // null until CreateWindowExA returns
    WNDCLASSEXA windowClass; // "MyWindowClass"
};

struct PresentationState {
    IDirect3D9 *direct3d;
    IDirect3DDevice9 *device;
    IDirect3DTexture9 *frameTexture; // its memory is the colour buffer
    FrameSize size;                  // the back buffer's and the texture's
    uint32_t *colourBuffer;          // non-null only between BeginFrame and EndFrame
    HWND renderWindow;
    HDC windowDC; // kept for the life of the process
    bool failing; // a "Graphics failure" box is open
    // A frame size chosen on the command line, shown pixel for pixel. The
    // quad then puts each pixel centre on its texel's centre (half a pixel
    // up and left), since a centre on a texel edge may sample either texel.
    // And the locked texture's rows may lie further apart than the frame's,
    // or its memory not hold the clear's last four-pixel group: the frame is
    // then drawn into staging (made once per size, when first needed) and
    // copied row by row into the texture at the end of the frame.
    bool pixelForPixel;
    uint32_t *staging;
    uint8_t *lockedBits; // the texture's memory while locked for a copy
    int lockedPitch;     // bytes from one of its rows to the next
};

// What the command line chose; without arguments, the program as it always
// was: the default frame size stretched to the window, one thread.
struct ShellOptions {
    int threads;     // 1: the one-thread frame cycle; more: the frame drawn in bands
    bool sizeChosen; // --size given: the window shows the frame pixel for pixel
    bool nativeSize; // --size native: the frame follows the client area
    // --size WIDTHxHEIGHT, the frame the window starts with (unused at the
    // native size); the screen constants hold the size being drawn.
    FrameSize size = {DefaultFrameWidth, DefaultFrameHeight};
};

extern ShellState Shell;
extern ShellOptions Options;
extern PresentationState Presentation;

// Answers --help, --version or a bad option or environment value, before
// any box or window; -1 when the program is to run. Windows' own build reads
// the wide command line instead of commandLine.
int AnswerCommandLine(const char *commandLine);
// Says why the options cannot be carried out (as a bad option is said);
// returns the exit status for it, 2.
int RefuseStartUp(const std::string &why);

// The window and frame sizes a command line asks for (window_size.cpp).
// Where the window opens and its outer size.
void OpeningWindowRect(int &x, int &y, int &width, int &height);
// The frame the window starts with (inside WM_CREATE, before the graphics
// start): the chosen or default size, or at the native size the client
// area's.
FrameSize StartFrameSize(HWND window);
// A chosen size: grows or shrinks the window so its client area is the
// frame's size, once the window is shown and its borders are known.
void FitClientToFrame(HWND window, int outerWidth, int outerHeight);
// At the native size, before each frame: once the client area has kept a
// new size for a moment, the renderer and the presentation start again at
// that size. True when they did (the drawing threads then lay their bands
// out again).
bool FollowClientSize(HWND window);

// The main window takes dropped files (WM_DROPFILES).
void AcceptDroppedFiles(HWND window);
// WM_DROPFILES: opens the first file dropped in place of what is drawn, or
// says in a box why it cannot and keeps what was drawn.
void OpenDroppedFiles(HWND window, WPARAM drop);

void RegisterWindowClass();
void RunMessageLoop();
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Releases whichever Direct3D objects are still held; safe to call again.
void ReleasePresentation();
