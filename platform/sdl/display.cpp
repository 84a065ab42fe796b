// The display side of the layer: starts SDL video, turns SDL events into the
// window messages the program expects, and puts composed frames on screen.
#include "platform/sdl/layer.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

bool Started;
bool Refused; // said once why there is no display; not said again

// Drivers that draw into memory only. A window there is never seen and no
// key can reach it, so the program would wait for ever for its Escape.
const char *const InvisibleDrivers[] = {"offscreen", "dummy"};

bool DriverShowsNothing(const char *driver) {
    for (const char *name : InvisibleDrivers)
        if (driver != nullptr && SDL_strcasecmp(driver, name) == 0) return true;
    return false;
}

// What the display libraries print while SDL tries each video driver (the
// Wayland client's "XDG_RUNTIME_DIR is invalid" where there is none) is held
// back: it is passed on where a display starts, and dropped where the
// program says itself that there is none.
struct HeldStandardError {
    int saved = -1;
    FILE *held = nullptr;
    HeldStandardError() {
        fflush(stderr);
        held = tmpfile();
        saved = held ? dup(STDERR_FILENO) : -1;
        if (saved >= 0 && dup2(fileno(held), STDERR_FILENO) < 0) {
            close(saved);
            saved = -1;
        }
    }
    // Back to the real standard error; what was held is written there when
    // passOn.
    void Release(bool passOn) {
        if (saved < 0) return;
        fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        saved = -1;
        if (passOn) {
            char buffer[4096];
            rewind(held);
            for (size_t n; (n = fread(buffer, 1, sizeof buffer, held)) > 0;)
                fwrite(buffer, 1, n, stderr);
        }
    }
    ~HeldStandardError() {
        Release(true);
        if (held) fclose(held);
    }
};

LPARAM KeyLParam(const SDL_KeyboardEvent &k, bool alt) {
    LPARAM l = 1; // repeat count
    l |= (LPARAM)(k.keysym.scancode & 0xFF) << 16;
    if (alt) l |= (LPARAM)1 << 29;
    if (k.type == SDL_KEYUP)
        l |= (LPARAM)3 << 30; // was down, going up
    else if (k.repeat)
        l |= (LPARAM)1 << 30; // auto-repeat: was already down
    return l;
}

void TranslateKey(const SDL_KeyboardEvent &k) {
    HWND window = WindowFromSdlId(k.windowID);
    UINT vk = VirtualKeyFor(k.keysym.sym);
    if (window == NULL || vk == 0) return;
    // As on Windows, keys struck while Alt is held are system keys, which the
    // default handling turns into Alt+F4's close.
    bool alt = (k.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
    UINT message =
        k.type == SDL_KEYDOWN ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    QueueInputMessage(window, message, vk, KeyLParam(k, alt));
}

void TranslateWindowEvent(const SDL_WindowEvent &e) {
    HWND window = WindowFromSdlId(e.windowID);
    HWND__ *w = LookUpWindow(window);
    if (w == nullptr) return;
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE: // the close button, or the window manager's Alt+F4
        QueueInputMessage(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        QueueInputMessage(window, WM_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        QueueInputMessage(window, WM_KILLFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // What was shown is shown again; the window also needs repainting,
        // as a CS_HREDRAW | CS_VREDRAW class asks.
        w->composePending = true;
        w->invalid = true;
        break;
    default:
        break;
    }
}

} // namespace

bool EnsureVideo() {
    if (Started) return true;
    if (Refused) return false;
    // Ctrl+C in a terminal should end the program, not become an SDL event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    HeldStandardError libraryLines;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        libraryLines.Release(true);
        fprintf(stderr, "scanvane: cannot start the display: %s\n", SDL_GetError());
        return false;
    }
    // Without a display SDL falls back to its offscreen driver rather than
    // failing; a program the user cannot see must end and say why.
    const char *driver = SDL_GetCurrentVideoDriver();
    if (!InvisibleDisplayAllowed && DriverShowsNothing(driver)) {
        libraryLines.Release(false);
        fprintf(
            stderr,
            "scanvane: no display to show the window on (SDL's \"%s\" video driver shows nothing); "
            "run it on a desktop or set DISPLAY\n",
            driver);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        Refused = true;
        return false;
    }
    Started = true;
    atexit(SDL_Quit);
    return true;
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT, LPVOID out, UINT) {
    SDL_Rect area;
    if (action != SPI_GETWORKAREA || out == nullptr || !EnsureVideo() ||
        SDL_GetDisplayUsableBounds(0, &area) != 0)
        return FALSE;
    *(RECT *)out = {area.x, area.y, area.x + area.w, area.y + area.h};
    return TRUE;
}

void PumpDisplayEvents() {
    if (!Started) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP)
            TranslateKey(e.key);
        else if (e.type == SDL_WINDOWEVENT)
            TranslateWindowEvent(e.window);
        else if (e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT || e.type == SDL_DROPBEGIN ||
                 e.type == SDL_DROPCOMPLETE)
            TranslateDrop(e.drop);
    }
}

bool WaitForDisplayEvent() {
    if (!Started || LiveWindowCount() == 0) return false;
    SDL_WaitEventTimeout(nullptr, 100);
    return true;
}

void ComposeWindow(HWND__ *w) {
    if (w->renderer == nullptr) return;
    SDL_SetRenderDrawColor(w->renderer, 0, 0, 0, 255);
    SDL_RenderClear(w->renderer);
    // The whole image over the whole client area; text at its own size.
    if (w->shown) SDL_RenderCopy(w->renderer, w->shown, nullptr, nullptr);
    for (const TextRun &t : w->texts) {
        SDL_Rect at = {t.x, t.y, t.width, t.height};
        if (t.opaque) {
            SDL_SetRenderDrawColor(w->renderer, t.background.r, t.background.g, t.background.b,
                                   255);
            SDL_RenderFillRect(w->renderer, &at);
        }
        SDL_RenderCopy(w->renderer, t.texture, nullptr, &at);
    }
}

void FlushWindows() {
    for (int i = 0;; ++i) {
        HWND h = NthLiveWindow(i);
        if (h == NULL) return;
        HWND__ *w = LookUpWindow(h);
        if (!w->composePending || w->renderer == nullptr) continue;
        ComposeWindow(w);
        SDL_RenderPresent(w->renderer); // waits for the retrace where vsync is on
        w->composePending = false;
    }
}

bool ReadClientPixels(HWND window, std::vector<uint32_t> &pixels, int &width, int &height) {
    HWND__ *w = LookUpWindow(window);
    if (w == nullptr || w->renderer == nullptr) return false;
    ComposeWindow(w);
    if (SDL_GetRendererOutputSize(w->renderer, &width, &height) != 0) return false;
    pixels.assign((size_t)width * height, 0);
    return SDL_RenderReadPixels(w->renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(),
                                width * 4) == 0;
}

void ReleaseWindowDisplay(HWND__ *w) {
    ClearTextRuns(w);
    if (w->shown) SDL_DestroyTexture(w->shown);
    if (w->renderer) SDL_DestroyRenderer(w->renderer);
    if (w->sdl) SDL_DestroyWindow(w->sdl);
    w->shown = nullptr;
    w->renderer = nullptr;
    w->sdl = nullptr;
}

UINT VirtualKeyFor(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    switch (key) {
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    default:
        return 0;
    }
}

SDL_Renderer *WindowRenderer(HWND__ *w) {
    if (w->renderer) return w->renderer;
    // Presentation waits for the retrace where the display offers it.
    w->renderer =
        SDL_CreateRenderer(w->sdl, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (w->renderer == nullptr) w->renderer = SDL_CreateRenderer(w->sdl, -1, SDL_RENDERER_SOFTWARE);
    if (w->renderer == nullptr)
        fprintf(stderr, "scanvane: cannot draw into the window: %s\n", SDL_GetError());
    return w->renderer;
}
