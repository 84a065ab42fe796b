// The presentation operations through the layer: the colour buffer handed
// to the renderer, what reaches the window, release, and every graphics
// failure with its message and exit status.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include "app/platform.h"
#include "platform/shell/shell.h"
#include "platform_test_support.h"
#include "render/frame_size.h"
#include "render/frustum.h"

namespace {

// Presentation state is process-wide; each test starts without objects.
struct ReleaseAfterEachTest : testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo &) override { ReleasePresentation(); }
};
struct InstallRelease {
    InstallRelease() {
        testing::UnitTest::GetInstance()->listeners().Append(new ReleaseAfterEachTest);
    }
} Installed;

const uint32_t Red = 0xFF0000;

uint32_t Pattern(int x, int y) { return (uint32_t)(x * 7 + y * 13) << 4 & 0xFFFFFF; }

HWND PresentationWindow() {
    HWND window = MakeWindow(RecordingProc);
    ShowWindow(window, SW_SHOWNORMAL);
    CreatePresentation(window, {DefaultFrameWidth, DefaultFrameHeight});
    return window;
}

void DrawPatternFrame() {
    uint32_t *colour = BeginFrame();
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x) colour[y * 512 + x] = Pattern(x, y);
    EndFrame();
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// Bounding box of the pure red pixels in the top-left 256 x 64 of the client.
Box RedText(const std::vector<uint32_t> &pixels, int width) {
    Box b;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            if ((pixels[(size_t)y * width + x] & 0xFFFFFF) == Red) {
                b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
            }
    return b;
}

TEST(Presentation, TheColourBufferIsAlignedWithRowsOf2048BytesAndIsShownAsWritten) {
    PresentationWindow();
    uint32_t *colour = BeginFrame();
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ((uintptr_t)colour % 16, 0u);
    EXPECT_EQ(colour, Presentation.colourBuffer);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x) colour[y * 512 + x] = Pattern(x, y);
    EndFrame();
    const uint32_t *shown = LastPresentedImage();
    ASSERT_NE(shown, nullptr);
    int wrong = 0;
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x) wrong += (shown[y * 512 + x] & 0xFFFFFF) != Pattern(x, y);
    EXPECT_EQ(wrong, 0) << "pixels not where a 512-pixel stride puts them";
}

TEST(Presentation, TheColourBufferPointerIsNullAfterEndFrame) {
    PresentationWindow();
    BeginFrame();
    EndFrame();
    EXPECT_EQ(Presentation.colourBuffer, nullptr);
    EXPECT_NE(BeginFrame(), nullptr) << "the next frame locks again";
    EndFrame();
}

TEST(Presentation, ReleaseLeavesAllThreeObjectsNullAndNothingAlive) {
    PresentationWindow();
    DrawPatternFrame();
    ASSERT_EQ(LiveDirect3DObjects(), 3);
    ReleasePresentation();
    EXPECT_EQ(Presentation.frameTexture, nullptr);
    EXPECT_EQ(Presentation.device, nullptr);
    EXPECT_EQ(Presentation.direct3d, nullptr);
    EXPECT_EQ(LiveDirect3DObjects(), 0);
    ReleasePresentation(); // the second way the window can go
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(Presentation, TheCounterTextIsRedOnAnOpaqueBackgroundOverTheImage) {
    HWND window = PresentationWindow();
    DrawPatternFrame();
    DrawOverlayText(0, 0, "Clock Count: ", 13);
    DrawOverlayText(90, 0, "4294967295", 10);
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(ReadClientPixels(window, pixels, width, height));
    ASSERT_EQ(width, 512);
    ASSERT_EQ(height, 384);
    Box text = RedText(pixels, width);
    ASSERT_GE(text.right, 90) << "the number starts at x 90";
    EXPECT_LT(text.left, 4);
    EXPECT_LT(text.top, 6);
    EXPECT_LT(text.bottom, 24);
    // Opaque: the background behind the glyphs is the DC's white, not the image.
    EXPECT_EQ(pixels[(size_t)(text.bottom + 1) * width + 2] & 0xFFFFFF, 0xFFFFFFu);
    // Below the text the image is shown 1:1.
    for (int y = 40; y < 384; y += 17)
        for (int x = 0; x < 512; x += 13)
            ASSERT_EQ(pixels[(size_t)y * width + x] & 0xFFFFFF, Pattern(x, y));
}

TEST(Presentation, AResizedWindowScalesTheImageButNotTheText) {
    HWND window = PresentationWindow();
    DrawPatternFrame();
    DrawOverlayText(0, 0, "Clock Count: ", 13);
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(ReadClientPixels(window, pixels, width, height));
    Box before = RedText(pixels, width);

    SDL_SetWindowSize(LookUpWindow(window)->sdl, 1024, 768);
    DispatchWaiting(window);
    DrawPatternFrame();
    DrawOverlayText(0, 0, "Clock Count: ", 13);
    ASSERT_TRUE(ReadClientPixels(window, pixels, width, height));
    ASSERT_EQ(width, 1024);
    ASSERT_EQ(height, 768);
    Box after = RedText(pixels, width);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    for (int y = 80; y < 768; y += 31)
        for (int x = 0; x < 1024; x += 29)
            ASSERT_EQ(pixels[(size_t)y * width + x] & 0xFFFFFF, Pattern(x / 2, y / 2))
                << x << "," << y;
}

const char CreateFailure[] =
    "message box \"Graphics failure\" \\(owner: none\\): Direct 3D failed to initialise. Aborting!";

// A chosen odd size: the buffer handed over holds the clear's whole last
// four-pixel group and rows the frame's width apart, and is shown row by
// row; after a resize the same holds at the new size.
TEST(Presentation, AChosenOddSizeIsHandedOverWholeAndShownRowByRowAlsoAfterAResize) {
    HWND window = MakeWindow(RecordingProc);
    ShowWindow(window, SW_SHOWNORMAL);
    Presentation.pixelForPixel = true;
    const FrameSize sizes[2] = {{333, 197}, {17, 19}};
    CreatePresentation(window, sizes[0]);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) ResizePresentation(sizes[1]);
        const int w = sizes[pass].width, h = sizes[pass].height;
        uint32_t *colour = BeginFrame();
        ASSERT_NE(colour, nullptr);
        EXPECT_EQ((uintptr_t)colour % 16, 0u);
        // Past the last pixel up to the end of the last group, as the clear writes.
        for (int i = 0; i < FrameBufferPixels(w, h); ++i) colour[i] = 0x123456;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) colour[y * w + x] = Pattern(x, y);
        EndFrame();
        const uint32_t *shown = LastPresentedImage();
        ASSERT_NE(shown, nullptr);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) wrong += (shown[y * w + x] & 0xFFFFFF) != Pattern(x, y);
        EXPECT_EQ(wrong, 0) << w << "x" << h;
    }
    Presentation.pixelForPixel = false;
    SetScreenConstants(DefaultFrameWidth, DefaultFrameHeight);
}

TEST(PresentationDeathTest, NoDirect3DObjectShowsTheBoxAndExitsWith1) {
    setenv("SCANVANE_TEST_FAIL", "create", 1);
    EXPECT_EXIT(PresentationWindow(), testing::ExitedWithCode(1), CreateFailure);
}

TEST(PresentationDeathTest, NoDeviceShowsTheBoxAndExitsWith1) {
    setenv("SCANVANE_TEST_FAIL", "device", 1);
    EXPECT_EXIT(PresentationWindow(), testing::ExitedWithCode(1), CreateFailure);
}

TEST(PresentationDeathTest, NoTextureShowsTheBoxAndExitsWith1) {
    setenv("SCANVANE_TEST_FAIL", "texture", 1);
    EXPECT_EXIT(PresentationWindow(), testing::ExitedWithCode(1),
                "message box \"Graphics failure\" \\(owner: none\\): Failed to initialize! "
                "Couldn't create back "
                "buffer texture. Aborting!");
}

TEST(PresentationDeathTest, ALockFailureShowsTheBoxAndExitsWith1) {
    EXPECT_EXIT(
        {
            PresentationWindow();
            setenv("SCANVANE_TEST_FAIL", "lock", 1);
            BeginFrame();
        },
        testing::ExitedWithCode(1),
        "message box \"Graphics failure\" \\(owner: none\\): Failed to render! Couldn't lock the "
        "back buffer "
        "texture. Aborting!");
}

} // namespace
