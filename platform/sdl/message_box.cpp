// Message boxes block until dismissed (Return or the button). SDL draws them
// as a window of their own; where it cannot, the text goes to stderr.
#include "platform/sdl/layer.h"

#include <stdio.h>

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT) {
    HWND__ *o = LookUpWindow(owner);
    text = text ? text : "";
    caption = caption ? caption : "Error";
    FlushWindows(); // what was drawn stays visible behind the box

    if (TestBoxesLogged()) {
        fprintf(stderr, "message box \"%s\" (owner: %s): %s\n", caption, o ? "window" : "none", text);
        // A real box's modal loop dispatches what arrives while it is open;
        // do the same, bounded, for whatever is waiting now.
        for (int i = 0; i < 64; ++i) {
            MSG m;
            if (!PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) break;
            DispatchMessageA(&m);
        }
        return IDOK;
    }
    if (SDL_ShowSimpleMessageBox(0, caption, text, o ? o->sdl : nullptr) != 0)
        fprintf(stderr, "%s: %s\n", caption, text);
    return IDOK;
}
