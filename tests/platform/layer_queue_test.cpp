// The window system as the shell relies on it: creation, the order in which
// the thread's queue hands out messages, the never-ending paint of a window
// that is never validated, keys, closing and destruction.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform_test_support.h"

namespace {

// Like the shell's procedure: paints are taken but never validated.
LRESULT CALLBACK NeverValidates(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Received.push_back({window, message, wParam, lParam});
    if (message == WM_PAINT) return 0;
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool WasReceived(UINT message) {
    return std::any_of(Received.begin(), Received.end(), [&](const ReceivedMessage &r) { return r.message == message; });
}

std::vector<UINT> Only(const std::vector<UINT> &seen, std::initializer_list<UINT> wanted) {
    std::vector<UINT> out;
    for (UINT m : seen)
        if (std::find(wanted.begin(), wanted.end(), m) != wanted.end()) out.push_back(m);
    return out;
}

struct CreationSeen {
    bool inside, visible, waiting;
    HWND window;
} Creation;

LRESULT CALLBACK CreationProbe(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        MSG m;
        Creation = {true, IsWindowVisible(window) != 0, PeekMessageA(&m, window, 0, 0, PM_NOREMOVE) != 0, window};
        MessageBoxA(NULL, "during creation", "Box", MB_OK);
    }
    return NeverValidates(window, message, wParam, lParam);
}

TEST(LayerWindow, CreationRunsInsideCreateWindowWhileTheWindowIsHidden) {
    testing::internal::CaptureStderr();
    HWND window = MakeWindow(CreationProbe, "CreationProbeClass");
    std::string boxes = testing::internal::GetCapturedStderr();
    ASSERT_NE(window, (HWND)NULL);
    EXPECT_TRUE(Creation.inside);
    EXPECT_EQ(Creation.window, window);
    EXPECT_FALSE(Creation.visible);
    EXPECT_FALSE(Creation.waiting) << "a hidden window has no paint pending";
    EXPECT_NE(boxes.find("message box \"Box\" (owner: none): during creation"), std::string::npos) << boxes;

    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, window, 0, 0, PM_NOREMOVE)) << "still hidden after creation";
    ShowWindow(window, SW_SHOWNORMAL);
    ASSERT_TRUE(PeekMessageA(&m, window, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, (UINT)WM_PAINT);
    EXPECT_EQ(m.hwnd, window);
}

TEST(LayerQueue, AWindowNeverValidatedGetsPaintAfterPaint) {
    HWND window = MakeWindow(NeverValidates);
    ShowWindow(window, SW_SHOWNORMAL);
    for (int frame = 0; frame < 5; ++frame) {
        MSG m;
        do GetMessageA(&m, NULL, 0, 0);
        while (m.message != WM_PAINT && (DispatchMessageA(&m), true));
        EXPECT_EQ(m.hwnd, window);
        DispatchMessageA(&m);
        EXPECT_TRUE(PeekMessageA(&m, window, 0, 0, PM_NOREMOVE)) << "after frame " << frame;
    }
}

TEST(LayerQueue, TheCheckForOneWindowFindsNothingOnceItIsValidEvenIfItExists) {
    HWND main = MakeWindow(NeverValidates);
    HWND other = MakeWindow(NeverValidates);
    ShowWindow(main, SW_SHOWNORMAL);
    ShowWindow(other, SW_SHOWNORMAL);
    ValidateRect(main, NULL);
    PostMessageA(NULL, 0x0400, 0, 0);  // for the thread
    PostMessageA(other, 0x0400, 0, 0); // for another window
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, main, 0, 0, PM_NOREMOVE));
    EXPECT_TRUE(IsWindow(main));
    EXPECT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE)) << "the others are still waiting";
}

TEST(LayerQueue, KeysAndPostedMessagesComeBeforeThePendingPaint) {
    HWND window = MakeWindow(NeverValidates);
    ShowWindow(window, SW_SHOWNORMAL);
    PushKey(window, SDLK_UP, true);
    PostMessageA(window, 0x0400, 0, 0);
    std::vector<UINT> seen = DispatchWaiting(NULL);
    EXPECT_EQ(Only(seen, {0x0400, WM_KEYDOWN, WM_PAINT}), (std::vector<UINT>{0x0400, WM_KEYDOWN, WM_PAINT}));
}

TEST(LayerKeys, ArrowsAZAndEscapeArriveWithTheirVirtualKeyCodes) {
    HWND window = MakeWindow(RecordingProc);
    ShowWindow(window, SW_SHOWNORMAL);
    const SDL_Keycode keys[] = {SDLK_LEFT, SDLK_UP, SDLK_RIGHT, SDLK_DOWN, SDLK_a, SDLK_z, SDLK_ESCAPE};
    const WPARAM codes[] = {37, 38, 39, 40, 65, 90, 27};
    for (SDL_Keycode k : keys) PushKey(window, k, true), PushKey(window, k, false);
    Received.clear();
    DispatchWaiting(window, 64);
    std::vector<std::pair<UINT, WPARAM>> keyMessages;
    for (const ReceivedMessage &r : Received)
        if (r.message == WM_KEYDOWN || r.message == WM_KEYUP) keyMessages.push_back({r.message, r.wParam});
    std::vector<std::pair<UINT, WPARAM>> expected;
    for (WPARAM c : codes) expected.push_back({WM_KEYDOWN, c}), expected.push_back({WM_KEYUP, c});
    EXPECT_EQ(keyMessages, expected);
}

TEST(LayerKeys, AutoRepeatRepeatsKeyDown) {
    HWND window = MakeWindow(RecordingProc);
    ShowWindow(window, SW_SHOWNORMAL);
    PushKey(window, SDLK_LEFT, true);
    PushKey(window, SDLK_LEFT, true, true);
    PushKey(window, SDLK_LEFT, true, true);
    PushKey(window, SDLK_LEFT, false);
    Received.clear();
    DispatchWaiting(window);
    std::vector<ReceivedMessage> keys;
    for (const ReceivedMessage &r : Received)
        if (r.message == WM_KEYDOWN || r.message == WM_KEYUP) keys.push_back(r);
    ASSERT_EQ(keys.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(keys[i].message, (UINT)WM_KEYDOWN);
        EXPECT_EQ(keys[i].wParam, (WPARAM)VK_LEFT);
        EXPECT_EQ((keys[i].lParam >> 30) & 1, i == 0 ? 0 : 1) << "previous-state bit of key-down " << i;
    }
    EXPECT_EQ(keys[3].message, (UINT)WM_KEYUP);
}

TEST(LayerQueue, AQuitPostedToTheThreadIsRetrievedAndGoesToNoWindow) {
    HWND window = MakeWindow(NeverValidates);
    ShowWindow(window, SW_SHOWNORMAL);
    PostMessageA(NULL, WM_QUIT, 0, 0);
    MSG m;
    EXPECT_EQ(GetMessageA(&m, NULL, 0, 0), 0) << "WM_QUIT is reported as such";
    EXPECT_EQ(m.message, (UINT)WM_QUIT);
    EXPECT_EQ(m.hwnd, (HWND)NULL);
    Received.clear();
    DispatchMessageA(&m);
    EXPECT_TRUE(Received.empty());
    EXPECT_TRUE(PeekMessageA(&m, window, 0, 0, PM_NOREMOVE)) << "the window's paint still waits";
    EXPECT_EQ(m.message, (UINT)WM_PAINT);
}

TEST(LayerQueue, AQuitPostedToTheWindowReachesItsProcedure) {
    HWND window = MakeWindow(NeverValidates);
    ShowWindow(window, SW_SHOWNORMAL);
    PostMessageA(window, WM_QUIT, 0, 0);
    MSG m;
    GetMessageA(&m, NULL, 0, 0);
    EXPECT_EQ(m.message, (UINT)WM_QUIT);
    EXPECT_EQ(m.hwnd, window);
    Received.clear();
    DispatchMessageA(&m);
    ASSERT_EQ(Received.size(), 1u);
    EXPECT_EQ(Received[0].message, (UINT)WM_QUIT);
    EXPECT_EQ(Received[0].window, window);
}

TEST(LayerWindow, DestroyIsImmediateAndLeavesNothingWaitingForTheWindow) {
    HWND window = MakeWindow(NeverValidates);
    ShowWindow(window, SW_SHOWNORMAL);
    PushKey(window, SDLK_ESCAPE, true);
    MSG m;
    do GetMessageA(&m, window, 0, 0);
    while (m.message != WM_KEYDOWN);
    PostMessageA(window, 0x0400, 0, 0);   // would be next, but the window goes first
    PushKey(window, SDLK_ESCAPE, false);
    Received.clear();
    DispatchMessageA(&m);                 // the procedure destroys its window
    EXPECT_TRUE(WasReceived(WM_DESTROY));
    EXPECT_FALSE(WasReceived(WM_CLOSE));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PeekMessageA(&m, window, 0, 0, PM_NOREMOVE));
    for (int i = 0; i < 32 && PeekMessageA(&m, NULL, 0, 0, PM_REMOVE); ++i)
        EXPECT_NE(m.hwnd, window) << "message " << m.message;
}

TEST(LayerWindow, TheCloseButtonArrivesAsCloseThroughTheDefaultHandling) {
    HWND window = MakeWindow(RecordingProc);
    ShowWindow(window, SW_SHOWNORMAL);
    Received.clear();
    PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    DispatchWaiting(window);
    std::vector<UINT> seen;
    for (const ReceivedMessage &r : Received) seen.push_back(r.message);
    EXPECT_EQ(Only(seen, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}),
              (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(window)) << "the default handling of WM_CLOSE destroys";
}

TEST(LayerWindow, AltF4ArrivesAsCloseThroughTheDefaultHandling) {
    HWND window = MakeWindow(RecordingProc);
    ShowWindow(window, SW_SHOWNORMAL);
    Received.clear();
    PushKey(window, SDLK_LALT, true, false, KMOD_LALT);
    PushKey(window, SDLK_F4, true, false, KMOD_LALT);
    DispatchWaiting(window);
    std::vector<UINT> seen;
    for (const ReceivedMessage &r : Received) seen.push_back(r.message);
    EXPECT_EQ(Only(seen, {WM_KEYDOWN, WM_CLOSE, WM_DESTROY}), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}))
        << "Alt+F4 is a system key, not a key-down";
    EXPECT_FALSE(IsWindow(window));
}

TEST(LayerWindow, LosingTheFocusArrivesAsKillFocusBeforeTheNextPaint) {
    HWND window = MakeWindow(NeverValidates);
    ShowWindow(window, SW_SHOWNORMAL);
    PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    std::vector<UINT> seen = DispatchWaiting(window);
    EXPECT_EQ(Only(seen, {WM_KILLFOCUS, WM_PAINT}), (std::vector<UINT>{WM_KILLFOCUS, WM_PAINT}));
}

TEST(LayerQueue, WaitingWithNoWindowLeftReturnsInsteadOfHanging) {
    HWND window = MakeWindow(RecordingProc);
    DestroyWindow(window);
    MSG m;
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {}
    ASSERT_EQ(LiveWindowCount(), 0);
    EXPECT_EQ(GetMessageA(&m, NULL, 0, 0), -1);
}

} // namespace
