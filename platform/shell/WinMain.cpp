// Entry point, window class, window procedure and message loop.
#include "platform/shell/shell.h"

#include <shellapi.h>

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>

#include "app/camera.h"
#include "app/frame_cycle.h"
#include "app/frame_step.h"
#include "app/keys.h"
#include "app/platform.h"
#include "app/version.h"
#include "render/frame_size.h"

ShellState Shell;

void RegisterWindowClass() {
    WNDCLASSEXA &wc = Shell.windowClass;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = Shell.moduleHandle;
    wc.hIcon = LoadIconA(NULL, IDI_WINLOGO);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = NULL;
    wc.lpszMenuName = NULL;
    wc.lpszClassName = "MyWindowClass";
    wc.hIconSm = LoadIconA(NULL, IDI_WINLOGO);
    RegisterClassExA(&wc);
}

// Runs until a check finds nothing waiting for the main window, which is
// the case once it has been destroyed (an undestroyed window always has a
// paint pending, because nothing ever validates it).
void RunMessageLoop() {
    MSG msg;
    do {
        GetMessageA(&msg, NULL, 0, 0);
        DispatchMessageA(&msg);
    } while (PeekMessageA(&msg, Shell.mainWindow, 0, 0, PM_NOREMOVE));
}

void DestroyMainWindow() { DestroyWindow(Shell.mainWindow); }

// How each frame is drawn, from --threads; set once the frame's size is
// known (the bands are cut for it), and again after the size changes.
static FrameStep DrawFrame;

// A machine that cannot start the drawing threads says so and the program
// ends.
static void StartDrawingThreads() {
    std::string error;
    DrawFrame = StartDrawing(DrawingForThreadOption(Options.threads), error);
    if (DrawFrame != nullptr) return;
    MessageBoxA(
        Shell.mainWindow,
        ("Cannot draw on " + std::to_string(Options.threads) + " threads: " + error).c_str(),
        "Scanvane", MB_OK);
    exit(1);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        // The main window handle is still null here, so the box has no owner.
        MessageBoxA(Shell.mainWindow, ControlsText(), ControlsCaption, MB_OK);
        const FrameSize size = StartFrameSize(window);
        // A chosen size whose buffers cannot be had is refused, not a crash.
        try {
            InitGraphics(window, size);
        } catch (const std::bad_alloc &) {
            exit(RefuseStartUp("not enough memory for a " + std::to_string(size.width) + "x" +
                               std::to_string(size.height) + " frame"));
        }
        StartDrawingThreads();
        return 0;
    }
    case WM_PAINT:
        // While a failure box is open its modal loop still delivers paints;
        // a frame now would fail again and open box after box, so the window
        // is validated instead and the box waits alone.
        if (Presentation.failing) {
            ValidateRect(window, NULL);
            return 0;
        }
        if (FollowClientSize(window)) StartDrawingThreads();
        DrawFrame();
        return 0;
    case WM_CLOSE:
    // The loop dispatches whatever GetMessageA returns, so a quit message
    // posted to this window arrives here and closes it like the close box.
    case WM_QUIT:
        ReleasePresentation();
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        // Escape destroys the window without a close; release here as well
        // so the objects go whichever way the window does.
        ReleasePresentation();
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_KILLFOCUS:
        // Key-ups made while another window has the keyboard never arrive.
        ReleaseAllKeys();
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_KEYDOWN:
        OnKeyDown((uint32_t)wParam);
        return 0;
    case WM_KEYUP:
        OnKeyUp((uint32_t)wParam);
        return 0;
    case WM_DROPFILES:
        OpenDroppedFiles(window, wParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // Without arguments the program starts as it always has; what it reads
    // from its environment is checked before the first box all the same.
    const int answered = AnswerCommandLine(commandLine);
    if (answered >= 0) return answered;
    Presentation.pixelForPixel = Options.sizeChosen;
    Shell.moduleHandle = GetModuleHandleA(NULL);
    if (Shell.moduleHandle == NULL) {
        MessageBoxA(Shell.mainWindow, "Unable to create window", "Error", MB_OK);
        return 0;
    }
    RegisterWindowClass();
    int x, y, width, height;
    OpeningWindowRect(x, y, width, height);
    Shell.mainWindow =
        CreateWindowExA(0, Shell.windowClass.lpszClassName, WindowTitle, WS_OVERLAPPEDWINDOW, x, y,
                        width, height, NULL, NULL, Shell.moduleHandle, NULL);
    // Without a window nothing would ever arrive and the loop would wait
    // for ever; end instead, and say so through the exit status.
    if (Shell.mainWindow == NULL) return 1;
    AcceptDroppedFiles(Shell.mainWindow);
    ShowWindow(Shell.mainWindow, SW_SHOWNORMAL);
    FitClientToFrame(Shell.mainWindow, width, height);
    RunMessageLoop();
    return 0;
}
