// The whole program in one process on the dummy driver: start-up with the
// controls box, frames driven by paint messages, keys, the ways it ends and
// the ways it fails. Each run is a child process (it ends with exit); input
// is pushed from a hook the layer calls after every present.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include "app/camera.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "platform/shell/shell.h"
#include "platform_test_support.h"

using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

namespace {

const char ControlsBox[] =
    "message box \"Scanvane V 1.02 - Controls\" (owner: none): Welcome, controls are as follows: \n\n"
    "up - move forward\ndown - move backward\nleft - turn left\nright - turn right\na - move camera up\n"
    "z - move camera down\nesc - quit\n\n\n";

int Frames;
void (*Script)(HWND window, int frame);

void CountFrame(HWND window) {
    ++Frames;
    fprintf(stderr, "frame %d\n", Frames);
    if (Script) Script(window, Frames);
}

// Runs the program with the given show command and command line and
// reports how it ended.
[[noreturn]] void RunProgram(void (*script)(HWND, int), int showCommand = SW_SHOWNORMAL,
                             const char *commandLine = "") {
    Script = script;
    AfterPresentHook = CountFrame;
    int status = WinMain(GetModuleHandleA(NULL), NULL, (LPSTR)commandLine, showCommand);
    bool released = Presentation.direct3d == NULL && Presentation.device == NULL &&
                    Presentation.frameTexture == NULL && LiveDirect3DObjects() == 0;
    fprintf(stderr, "ended after %d frames, status %d, %s, window %s\n", Frames, status,
            released ? "all released" : "objects still held", IsWindow(Shell.mainWindow) ? "alive" : "gone");
    exit(status);
}

void EscapeAtFrame2(HWND window, int frame) {
    if (frame == 2) PushKey(window, SDLK_ESCAPE, true);
}

TEST(ProgramDeathTest, TheControlsBoxComesFirstAndEscapeEndsWithStatus0AfterRelease) {
    EXPECT_EXIT(RunProgram(EscapeAtFrame2), testing::ExitedWithCode(0),
                AllOf(testing::StartsWith(ControlsBox), HasSubstr("ended after 2 frames, status 0, all released, window gone")));
}

TEST(ProgramDeathTest, TheWindowIsShownNormallyWhateverTheShowCommand) {
    EXPECT_EXIT(RunProgram(EscapeAtFrame2, SW_HIDE), testing::ExitedWithCode(0), HasSubstr("ended after 2 frames"));
}

void CloseAtFrame1(HWND window, int frame) {
    if (frame == 1) PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
}

TEST(ProgramDeathTest, TheCloseButtonEndsWithStatus0AfterRelease) {
    EXPECT_EXIT(RunProgram(CloseAtFrame1), testing::ExitedWithCode(0),
                HasSubstr("ended after 1 frames, status 0, all released, window gone"));
}

void QuitToThreadThenToWindow(HWND window, int frame) {
    if (frame == 1) PostMessageA(NULL, WM_QUIT, 0, 0);
    if (frame == 3) PostMessageA(window, WM_QUIT, 0, 0);
}

TEST(ProgramDeathTest, AQuitForTheThreadIsIgnoredAndOneForTheWindowCloses) {
    EXPECT_EXIT(RunProgram(QuitToThreadThenToWindow), testing::ExitedWithCode(0),
                HasSubstr("ended after 3 frames, status 0, all released, window gone"));
}

float ZAfterFocusLoss;

void HoldUpThenLoseFocus(HWND window, int frame) {
    if (frame == 1) PushKey(window, SDLK_UP, true);
    if (frame == 4) PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    if (frame == 5) ZAfterFocusLoss = Camera.z;
    if (frame == 9) {
        fprintf(stderr, "moved %s, then %s\n", ZAfterFocusLoss < StartCamera.z ? "forward" : "not at all",
                Camera.z == ZAfterFocusLoss && !Keys.moveForward ? "stopped" : "kept moving");
        PushKey(window, SDLK_ESCAPE, true);
    }
}

TEST(ProgramDeathTest, LosingTheFocusReleasesTheHeldKeys) {
    EXPECT_EXIT(RunProgram(HoldUpThenLoseFocus), testing::ExitedWithCode(0),
                HasSubstr("moved forward, then stopped"));
}

TEST(ProgramDeathTest, ALockFailureOpensOneBoxAndExitsWith1) {
    setenv("SCANVANE_TEST_FAIL", "lock", 1);
    EXPECT_EXIT(RunProgram(nullptr), testing::ExitedWithCode(1),
                testing::Truly([](const std::string &err) {
                    return Count(err, "message box \"Graphics failure\" (owner: window): Failed to render! "
                                      "Couldn't lock the back buffer texture. Aborting!\n") == 1 &&
                           Count(err, "Graphics failure") == 1;
                }));
}

TEST(ProgramDeathTest, AStartUpFailureEndsBeforeAnyFrame) {
    setenv("SCANVANE_TEST_FAIL", "texture", 1);
    EXPECT_EXIT(RunProgram(nullptr), testing::ExitedWithCode(1),
                AllOf(testing::StartsWith(ControlsBox),
                      HasSubstr("message box \"Graphics failure\" (owner: none): Failed to initialize! Couldn't "
                                "create back buffer texture. Aborting!"),
                      Not(HasSubstr("frame 1"))));
}

TEST(ProgramDeathTest, NoModuleHandleSaysUnableToCreateWindowAndExitsWith0) {
    setenv("SCANVANE_TEST_FAIL", "module", 1);
    EXPECT_EXIT(RunProgram(nullptr), testing::ExitedWithCode(0),
                AllOf(HasSubstr("message box \"Error\" (owner: none): Unable to create window"),
                      Not(HasSubstr("Controls"))));
}

TEST(ProgramDeathTest, NoWindowEndsWithStatus1InsteadOfWaitingForEver) {
    setenv("SCANVANE_TEST_FAIL", "window", 1);
    EXPECT_EXIT(RunProgram(nullptr), testing::ExitedWithCode(1), HasSubstr("ended after 0 frames, status 1"));
}

// At the native size: the window is made 300 x 200, then 5 x 5; each time,
// once the size has settled, the frame starts again at the new size (the
// smallest frame for the tiny window), with the drawing threads following.
// Ends with Escape, or after too many frames without a restart.
void ResizeTwice(HWND window, int frame) {
    static int stage = 0;
    SDL_Window *sdl = LookUpWindow(window)->sdl;
    if (frame == 2) {
        fprintf(stderr, "native frame %dx%d\n", Screen.width, Screen.height);
        SDL_SetWindowSize(sdl, 300, 200);
    } else if (stage == 0 && Screen.width == 300 && Screen.height == 200) {
        fprintf(stderr, "restarted at 300x200\n");
        stage = 1;
        SDL_SetWindowSize(sdl, 5, 5);
    } else if (stage == 1 && Screen.width == MinFrameWidth && Screen.height == MinFrameHeight) {
        fprintf(stderr, "restarted at the smallest frame\n");
        stage = 2;
        PushKey(window, SDLK_ESCAPE, true);
    } else if (frame == 200000) {
        PushKey(window, SDLK_ESCAPE, true);
    }
}

TEST(ProgramDeathTest, TheNativeSizeFollowsTheClientAreaOnceAResizeSettles) {
    EXPECT_EXIT(RunProgram(ResizeTwice, SW_SHOWNORMAL, "--size native --threads 2"), testing::ExitedWithCode(0),
                AllOf(HasSubstr("restarted at 300x200\n"), HasSubstr("restarted at the smallest frame\n"),
                      HasSubstr("status 0, all released")));
}

void ReportSizeAtFrame2(HWND window, int frame) {
    if (frame != 2) return;
    RECT client;
    GetClientRect(window, &client);
    fprintf(stderr, "frame %dx%d in a client area of %dx%d\n", Screen.width, Screen.height, (int)client.right,
            (int)client.bottom);
    PushKey(window, SDLK_ESCAPE, true);
}

TEST(ProgramDeathTest, AChosenSizeIsTheFrameAndTheClientArea) {
    EXPECT_EXIT(RunProgram(ReportSizeAtFrame2, SW_SHOWNORMAL, "--size 333x197"), testing::ExitedWithCode(0),
                HasSubstr("frame 333x197 in a client area of 333x197\n"));
}

} // namespace
