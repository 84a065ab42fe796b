// Window classes and windows. A window is a hidden SDL window from creation
// on; WM_CREATE reaches the procedure before CreateWindowExA returns.
#include "platform/sdl/layer.h"

#include <stdio.h>
#include <string.h>

namespace {

struct WindowClassRecord {
    std::string name;
    WNDPROC proc;
};

std::vector<WindowClassRecord> Classes;
HWND__ Windows[64];
int WindowsUsed;

// Any non-null value: the program's own module.
char ModuleTag;

} // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != NULL || TestFailure("module")) return NULL;
    return (HMODULE)&ModuleTag;
}

// Icons and cursors are the window system's own; the handles only need to
// be distinct and non-null.
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) { return (HICON)name; }
HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) { return (HCURSOR)name; }

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA *wc) {
    if (wc == NULL || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpszClassName == NULL || wc->lpfnWndProc == NULL)
        return 0;
    for (const WindowClassRecord &c : Classes)
        if (c.name == wc->lpszClassName) return 0; // already registered
    Classes.push_back({wc->lpszClassName, wc->lpfnWndProc});
    return (ATOM)Classes.size();
}

HWND__ *LookUpWindow(HWND window) {
    for (int i = 0; i < WindowsUsed; ++i)
        if (&Windows[i] == window) return Windows[i].alive ? &Windows[i] : nullptr;
    return nullptr;
}

HWND WindowFromSdlId(Uint32 id) {
    for (int i = 0; i < WindowsUsed; ++i)
        if (Windows[i].alive && Windows[i].sdl && SDL_GetWindowID(Windows[i].sdl) == id) return &Windows[i];
    return NULL;
}

int LiveWindowCount() {
    int n = 0;
    for (int i = 0; i < WindowsUsed; ++i) n += Windows[i].alive;
    return n;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int x, int y, int width,
                            int height, HWND, HMENU, HINSTANCE, LPVOID param) {
    const WindowClassRecord *wc = nullptr;
    for (const WindowClassRecord &c : Classes)
        if (className && c.name == className) wc = &c;
    if (wc == nullptr || WindowsUsed == (int)(sizeof Windows / sizeof Windows[0]) || TestFailure("window"))
        return NULL;
    if (!EnsureVideo()) return NULL;

    // Outer size and place as asked; the window manager's borders are taken
    // off once the window is shown and they are known.
    SDL_Window *sdl = SDL_CreateWindow(windowName ? windowName : "", x, y, width, height,
                                       SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (sdl == nullptr) {
        fprintf(stderr, "scanvane: cannot create a window: %s\n", SDL_GetError());
        return NULL;
    }
    HWND__ *w = &Windows[WindowsUsed++];
    *w = HWND__();
    w->alive = true;
    w->proc = wc->proc;
    w->sdl = sdl;
    w->dc.window = w;
    w->dc.bkMode = OPAQUE;
    w->dc.textColour = RGB(0, 0, 0);

    // lParam would carry a CREATESTRUCT; nothing here reads it.
    (void)param;
    if (w->proc(w, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(w);
        return NULL;
    }
    return w;
}

BOOL WINAPI IsWindow(HWND window) { return LookUpWindow(window) != nullptr; }

BOOL WINAPI IsWindowVisible(HWND window) {
    HWND__ *w = LookUpWindow(window);
    return w && w->visible;
}

static void FitOuterSize(HWND__ *w) {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right) != 0) return;
    if (top + left + bottom + right == 0) return;
    int width = 0, height = 0;
    SDL_GetWindowSize(w->sdl, &width, &height);
    if (width - left - right > 0 && height - top - bottom > 0)
        SDL_SetWindowSize(w->sdl, width - left - right, height - top - bottom);
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    HWND__ *w = LookUpWindow(window);
    if (w == nullptr) return FALSE;
    BOOL wasVisible = w->visible;
    if (showCommand == SW_HIDE) {
        SDL_HideWindow(w->sdl);
        w->visible = false;
        return wasVisible;
    }
    if (!w->visible) {
        SDL_ShowWindow(w->sdl);
        FitOuterSize(w);
        w->visible = true;
        w->invalid = true;
    }
    return wasVisible;
}

BOOL WINAPI GetClientRect(HWND window, RECT *rect) {
    HWND__ *w = LookUpWindow(window);
    if (w == nullptr || rect == nullptr) return FALSE;
    int width = 0, height = 0;
    // As on Windows, a minimised window has no client area to draw in.
    if (!(SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_MINIMIZED)) SDL_GetWindowSize(w->sdl, &width, &height);
    *rect = {0, 0, width, height};
    return TRUE;
}

// The size given is the outer one, as for CreateWindowExA: the window
// manager's borders, where known, come off it.
BOOL WINAPI SetWindowPos(HWND window, HWND, int, int, int width, int height, UINT flags) {
    HWND__ *w = LookUpWindow(window);
    if (w == nullptr) return FALSE;
    if (flags & SWP_NOSIZE) return TRUE;
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
    width -= left + right, height -= top + bottom;
    if (width < 1 || height < 1) return FALSE;
    SDL_SetWindowSize(w->sdl, width, height);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND window, const RECT *) {
    HWND__ *w = LookUpWindow(window);
    if (w == nullptr) return FALSE;
    w->invalid = false;
    return TRUE;
}

// Immediate: WM_DESTROY reaches the procedure before this returns, and from
// then on nothing is waiting for the window.
BOOL WINAPI DestroyWindow(HWND window) {
    HWND__ *w = LookUpWindow(window);
    if (w == nullptr) return FALSE;
    w->proc(w, WM_DESTROY, 0, 0);
    w->proc(w, WM_NCDESTROY, 0, 0);
    w->alive = false;
    w->visible = false;
    w->invalid = false;
    ForgetWindowMessages(w);
    ReleaseWindowDisplay(w);
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND__ *w = LookUpWindow(window);
    return w ? w->proc(w, message, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT:
        ValidateRect(window, NULL);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4: bit 29 of lParam says Alt was down.
        if (wParam == VK_F4 && (lParam & (1L << 29))) SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    default:
        return 0;
    }
}

HDC WINAPI GetDC(HWND window) {
    HWND__ *w = LookUpWindow(window);
    return w ? &w->dc : NULL;
}

HWND NthLiveWindow(int n) {
    for (int i = 0; i < WindowsUsed; ++i)
        if (Windows[i].alive && n-- == 0) return &Windows[i];
    return NULL;
}
