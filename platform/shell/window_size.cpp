// The window's size and the frame's, when the command line chose one: the
// window opened to show a chosen size pixel for pixel, or, at the native
// size, a frame that follows the client area once a resize has settled.
#include "platform/shell/shell.h"

#include "app/frame_cycle.h"
#include "render/frame_size.h"
#include "render/frustum.h"

namespace {

// A resize is taken as done once the client area has kept one size this
// long: dragging a border changes it many times a second, and each restart
// makes a new device and buffers.
constexpr int64_t ResizeSettleMilliseconds = 200;

// At the native size the window opens over this share of the desktop's work
// area, centred in it.
constexpr int NativeShareNumerator = 4, NativeShareDenominator = 5;

// Where the window opens if the work area cannot be read.
constexpr int FallbackWorkWidth = 1024, FallbackWorkHeight = 768;

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : value > high ? high : value;
}

// The frame for a client area: its own size within the sizes drawn (a
// smaller client shows the smallest frame scaled down).
FrameSize FrameForClient(const RECT &client) {
    return {Clamp(client.right - client.left, MinFrameWidth, MaxFrameWidth),
            Clamp(client.bottom - client.top, MinFrameHeight, MaxFrameHeight)};
}

int64_t Milliseconds() {
    LARGE_INTEGER reading, frequency;
    QueryPerformanceCounter(&reading);
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0
               ? (int64_t)((double)reading.QuadPart / (double)frequency.QuadPart * 1000.0)
               : 0;
}

struct PendingResize {
    bool waiting;
    FrameSize size;
    int64_t since; // ms
} Pending;

} // namespace

void OpeningWindowRect(int &x, int &y, int &width, int &height) {
    x = 0, y = 0;
    if (!Options.nativeSize) {
        // The outer size; a chosen size is fitted to the client area once
        // the window's borders are known (FitClientToFrame).
        width = Options.size.width, height = Options.size.height;
        return;
    }
    RECT work = {0, 0, FallbackWorkWidth, FallbackWorkHeight};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, FallbackWorkWidth, FallbackWorkHeight};
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    width = workWidth * NativeShareNumerator / NativeShareDenominator;
    height = workHeight * NativeShareNumerator / NativeShareDenominator;
    x = work.left + (workWidth - width) / 2;
    y = work.top + (workHeight - height) / 2;
}

FrameSize StartFrameSize(HWND window) {
    if (!Options.nativeSize) return Options.size;
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    return FrameForClient(client);
}

void FitClientToFrame(HWND window, int outerWidth, int outerHeight) {
    if (!Options.sizeChosen || Options.nativeSize) return;
    RECT client = {0, 0, 0, 0};
    if (!GetClientRect(window, &client)) return;
    const int growX = Screen.width - (client.right - client.left);
    const int growY = Screen.height - (client.bottom - client.top);
    if (growX != 0 || growY != 0)
        SetWindowPos(window, NULL, 0, 0, outerWidth + growX, outerHeight + growY,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool FollowClientSize(HWND window) {
    if (!Options.nativeSize) return false;
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    // Minimised: nothing to fit; the frame stays as it was.
    if (client.right - client.left <= 0 || client.bottom - client.top <= 0) {
        Pending.waiting = false;
        return false;
    }
    const FrameSize size = FrameForClient(client);
    if (size.width == Screen.width && size.height == Screen.height) {
        Pending.waiting = false;
        return false;
    }
    const int64_t now = Milliseconds();
    if (!Pending.waiting || size.width != Pending.size.width ||
        size.height != Pending.size.height) {
        Pending = {true, size, now};
        return false;
    }
    if (now - Pending.since < ResizeSettleMilliseconds) return false;
    Pending.waiting = false;
    // Not enough memory for the new size: keep drawing at the old one.
    return RestartGraphicsAtSize(size);
}
