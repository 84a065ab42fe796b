// GDI text on a window: drawn over whatever was last presented, at a fixed
// size whatever the window's size, until the next present covers it.
#include "platform/sdl/layer.h"

#include <stdio.h>

#include <SDL_ttf.h>

namespace {

TTF_Font *Font;
bool FontTried;

const char *const FontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
    "/usr/local/share/fonts/DejaVuSans.ttf",
};

// Close to the height of the Windows system font the program's text uses.
const int FontPoints = 12;

// The box behind opaque text: a device context's default background colour.
// The program never changes it, so the subset has no SetBkColor.
const COLORREF BackgroundColour = RGB(255, 255, 255);

TTF_Font *TextFont() {
    if (FontTried) return Font;
    FontTried = true;
    if (TTF_WasInit() == 0 && TTF_Init() != 0) {
        fprintf(stderr, "scanvane: no text: %s\n", TTF_GetError());
        return nullptr;
    }
    for (const char *file : FontFiles)
        if ((Font = TTF_OpenFont(file, FontPoints)) != nullptr) return Font;
    fprintf(stderr, "scanvane: no text: DejaVu Sans not found (Debian: fonts-dejavu-core)\n");
    return nullptr;
}

SDL_Color ColourOf(COLORREF c) {
    return SDL_Color{(Uint8)(c & 0xFF), (Uint8)((c >> 8) & 0xFF), (Uint8)((c >> 16) & 0xFF), 255};
}

} // namespace

int WINAPI SetBkMode(HDC dc, int mode) {
    if (dc == NULL || LookUpWindow(dc->window) == nullptr) return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour) {
    if (dc == NULL || LookUpWindow(dc->window) == nullptr) return 0xFFFFFFFF;
    COLORREF previous = dc->textColour;
    dc->textColour = colour;
    return previous;
}

BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int count) {
    HWND__ *w = dc ? LookUpWindow(dc->window) : nullptr;
    if (w == nullptr || text == nullptr || count < 0) return FALSE;
    if (count == 0) return TRUE;
    TTF_Font *font = TextFont();
    SDL_Renderer *renderer = WindowRenderer(w);
    if (font == nullptr || renderer == nullptr) return FALSE;

    std::string run(text, (size_t)count); // single-byte characters, as Latin-1
    // Crisp glyphs, like the bitmap system font; an opaque background is a
    // filled box behind them, drawn when the window is composed.
    SDL_Surface *surface = TTF_RenderText_Solid(font, run.c_str(), ColourOf(dc->textColour));
    if (surface == nullptr) return FALSE;
    SDL_Texture *texture = SDL_CreateTextureFromSurface(renderer, surface);
    TextRun r = {x, y, texture, surface->w, surface->h, dc->bkMode == OPAQUE, ColourOf(BackgroundColour)};
    SDL_FreeSurface(surface);
    if (texture == nullptr) return FALSE;
    w->texts.push_back(r);
    w->composePending = true;
    return TRUE;
}

void ClearTextRuns(HWND__ *w) {
    for (TextRun &t : w->texts) SDL_DestroyTexture(t.texture);
    w->texts.clear();
}
