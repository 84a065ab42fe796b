// Internal state of the SDL layer: windows, their device contexts and the
// thread's message queue. Not part of the Win32 surface; tests may read it.
#pragma once
#include <windows.h>

#include <SDL.h>

#include <string>
#include <vector>

struct TextRun {
    int x, y;
    SDL_Texture *texture; // rendered text, owned by the run
    int width, height;
    bool opaque; // background box behind the glyphs
    SDL_Color background;
};

struct HDC__ {
    HWND window;
    int bkMode; // OPAQUE or TRANSPARENT
    COLORREF textColour;
};

struct HWND__ {
    bool alive;
    bool visible;
    bool invalid; // update region not validated: a paint is pending
    WNDPROC proc;
    SDL_Window *sdl;
    SDL_Renderer *renderer;
    SDL_Texture *shown; // the last presented back buffer
    int shownWidth, shownHeight;
    std::vector<TextRun> texts; // GDI text drawn since that present
    bool composePending;        // screen not yet updated with the above
    bool acceptsFiles;          // DragAcceptFiles: drops arrive as WM_DROPFILES
    HDC__ dc;
};

// Window records are never reused, so a stale handle stays recognisable.
HWND__ *LookUpWindow(HWND window); // null unless the window exists
HWND WindowFromSdlId(Uint32 id);
int LiveWindowCount();
HWND NthLiveWindow(int n); // null past the last

// The thread's message queue.
void QueueInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ForgetWindowMessages(HWND window);

// Display side: SDL video, event translation, putting frames on screen.
bool EnsureVideo();                      // starts SDL video once; false if it cannot
void PumpDisplayEvents();                // SDL events -> queued messages
bool WaitForDisplayEvent();              // false when nothing can ever arrive
void ComposeWindow(HWND__ *w);           // draws shown image + texts, no present
void FlushWindows();                     // presents every window with pending changes
SDL_Renderer *WindowRenderer(HWND__ *w); // created on first use; null if impossible
void ReleaseWindowDisplay(HWND__ *w);
// Composes the window as it would be shown and reads it back (tests).
bool ReadClientPixels(HWND window, std::vector<uint32_t> &pixels, int &width, int &height);
UINT VirtualKeyFor(SDL_Keycode key); // 0 when the key has no code here
// SDL_DROPFILE / SDL_DROPCOMPLETE -> one WM_DROPFILES per drop (drop.cpp).
void TranslateDrop(const SDL_DropEvent &e);
// Frees what a message never dispatched holds (a drop's files).
void ForgetDrop(const MSG &message);

// Text for GDI.
void ClearTextRuns(HWND__ *w);

// Test hooks, read from the environment on each use.
bool TestFailure(const char *step); // SCANVANE_TEST_FAIL names the failing step
bool TestBoxesLogged();             // SCANVANE_TEST_BOXES=log
const char *TestDumpPath();         // SCANVANE_TEST_DUMP: raw file of the last presented image
// Set by test programs before the first window: SDL's dummy and offscreen
// drivers, which the program itself refuses, are accepted.
extern bool InvisibleDisplayAllowed;
int LiveDirect3DObjects();
extern void (*AfterPresentHook)(HWND window); // called after each Present
// The back buffer of the last Present (of the device's back-buffer size,
// rows with no gap), or null before the first.
const uint32_t *LastPresentedImage();
