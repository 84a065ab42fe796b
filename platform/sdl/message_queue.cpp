// The thread's message queue. Retrieval order follows Windows: posted
// messages first, then input, and a paint only when nothing else waits for
// the windows asked about; a paint stays pending until the window is
// validated, so an unvalidated window gets one paint after another.
#include "platform/sdl/layer.h"

#include <string.h>

#include <deque>

namespace {

std::deque<MSG> Posted; // PostMessageA, in order; hwnd null for the thread
std::deque<MSG> Input;  // keys, focus and close requests from the display

// A null filter takes the thread's messages and every window's; a window
// filter takes only that window's.
bool Matches(const MSG &m, HWND filter, UINT low, UINT high) {
    if (filter != NULL && m.hwnd != filter) return false;
    if (low == 0 && high == 0) return true;
    return m.message >= low && m.message <= high;
}

bool TakeFrom(std::deque<MSG> &queue, MSG *out, HWND filter, UINT low, UINT high, bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!Matches(*it, filter, low, high)) continue;
        *out = *it;
        if (remove) queue.erase(it);
        return true;
    }
    return false;
}

bool PendingPaint(MSG *out, HWND filter, UINT low, UINT high) {
    if (!(low == 0 && high == 0) && !(WM_PAINT >= low && WM_PAINT <= high)) return false;
    // Windows are looked up through the handle the caller gave, or by
    // scanning the live ones.
    auto check = [&](HWND h) {
        HWND__ *w = LookUpWindow(h);
        if (w == nullptr || !w->visible || !w->invalid) return false;
        memset(out, 0, sizeof *out);
        out->hwnd = h;
        out->message = WM_PAINT;
        out->time = SDL_WasInit(0) ? SDL_GetTicks() : 0;
        return true;
    };
    if (filter != NULL) return check(filter);
    for (int i = 0;; ++i) {
        HWND h = NthLiveWindow(i);
        if (h == NULL) return false;
        if (check(h)) return true;
    }
}

bool Take(MSG *out, HWND filter, UINT low, UINT high, bool remove) {
    PumpDisplayEvents();
    // A filter naming a window that no longer exists finds nothing.
    if (filter != NULL && LookUpWindow(filter) == nullptr) return false;
    return TakeFrom(Posted, out, filter, low, high, remove) ||
           TakeFrom(Input, out, filter, low, high, remove) || PendingPaint(out, filter, low, high);
}

} // namespace

static MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m;
    memset(&m, 0, sizeof m);
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    return m;
}

void QueueInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m = MakeMessage(window, message, wParam, lParam);
    m.time = SDL_GetTicks();
    Input.push_back(m);
}

void ForgetWindowMessages(HWND window) {
    for (std::deque<MSG> *q : {&Posted, &Input})
        for (auto it = q->begin(); it != q->end();) {
            if (it->hwnd != window) {
                ++it;
                continue;
            }
            ForgetDrop(*it);
            it = q->erase(it);
        }
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != NULL && LookUpWindow(window) == nullptr) return FALSE;
    Posted.push_back(MakeMessage(window, message, wParam, lParam));
    return TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT low, UINT high, UINT removeFlags) {
    FlushWindows();
    return Take(msg, window, low, high, (removeFlags & PM_REMOVE) != 0);
}

// Returns 0 for WM_QUIT, -1 when nothing could ever arrive (no window is
// left and nothing waits): waiting then would hang the thread for good.
BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT low, UINT high) {
    for (;;) {
        FlushWindows();
        if (Take(msg, window, low, high, true)) return msg->message != WM_QUIT;
        if (!WaitForDisplayEvent()) {
            memset(msg, 0, sizeof *msg);
            return -1;
        }
    }
}

// A message for no window (a thread message such as WM_QUIT) goes nowhere.
LRESULT WINAPI DispatchMessageA(const MSG *msg) {
    if (msg == nullptr || msg->hwnd == NULL) return 0;
    HWND__ *w = LookUpWindow(msg->hwnd);
    return w ? w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}
