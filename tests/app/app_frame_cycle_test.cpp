// The frame cycle: clock arithmetic, view matrix, the per-frame reset of the
// scene's flag words, the counter text, and what one frame draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/frame_step.h"
#include "app/scene.h"
#include "render/bands.h"
#include "render/crc32.h"
#include "render/frustum.h"
#include "render/matrix.h"
#include "tests/app/app_test_support.h"

namespace {

constexpr size_t Pixels = 512 * 384;

// The start view's golden (tests/goldens/goldens.txt, "start").
constexpr uint32_t StartViewColourCrc = 0x19f6fe9bu, StartViewDepthCrc = 0x1bdded33u;
// And at other sizes ("odd", "hd").
struct SizedGolden {
    FrameSize size;
    uint32_t colourCrc, depthCrc;
};
constexpr SizedGolden StartViewAtOtherSizes[] = {
    {{333, 197}, 0xc280cf74u, 0x3c2868e5u},
    {{1920, 1080}, 0xc6b7135bu, 0x207df2a9u}, // larger than every buffer before it
};

struct Frame {
    std::vector<uint32_t> colour;
    std::vector<float> depth;
};

Frame Capture() {
    return {std::vector<uint32_t>(Headless.colour, Headless.colour + Pixels),
            std::vector<float>(DepthBuffer, DepthBuffer + Pixels)};
}

uint32_t ColourCrc() { return Crc32(0, Headless.colour, Pixels * 4); }
uint32_t DepthCrc() { return Crc32(0, DepthBuffer, Pixels * 4); }

// Over the frame at whatever size is drawn.
uint32_t ColourCrcAtSize() {
    return Crc32(0, Headless.colour, (size_t)Screen.width * Screen.height * 4);
}
uint32_t DepthCrcAtSize() {
    return Crc32(0, DepthBuffer, (size_t)Screen.width * Screen.height * 4);
}

class FrameCycleTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetApplication(); }
};

} // namespace

TEST_F(FrameCycleTest, FirstFrameTimesFromZero) {
    Scripted.frequency = 1000;
    QueueFrameReadings(5000, 5003, 5010);
    OnKeyDown(KeyA);
    RenderFrame();
    EXPECT_EQ(Clock.frameTime, 5.0);
    EXPECT_EQ(Clock.previousReading, 5000);
    EXPECT_EQ(Clock.clockCount, 7u);
    EXPECT_EQ(Clock.lapMark, 5010u);
    EXPECT_EQ(Camera.height, 400.0f); // the whole first step is applied
}

TEST_F(FrameCycleTest, FrameTimeIsTicksOverFrequencyAcrossFrames) {
    Scripted.frequency = 1000000;
    QueueFrameReadings(1000000, 1000001, 1000002);
    QueueFrameReadings(1016667, 1016668, 1016669);
    RenderFrame();
    RenderFrame();
    EXPECT_EQ(Clock.frameTime, 16667.0 / 1000000.0);
    EXPECT_EQ(Clock.previousReading, 1016667);
}

TEST_F(FrameCycleTest, LowWordWrapGivesTheTrueFrameTime) {
    Scripted.frequency = 16;
    QueueFrameReadings(0x4FFFFFFF0ll, 0x4FFFFFFF1ll, 0x4FFFFFFF2ll);
    QueueFrameReadings(0x500000010ll, 0x500000011ll, 0x500000012ll);
    RenderFrame();
    RenderFrame();
    EXPECT_EQ(Clock.frameTime, 2.0);                 // 0x20 ticks at 16 per second
    EXPECT_EQ(Clock.previousReading, 0x500000010ll); // all 64 bits kept
    // Only the low words count: a gap of 2^32 + 16 ticks is seen as 16.
    QueueFrameReadings(0x600000020ll, 0x600000021ll, 0x600000022ll);
    RenderFrame();
    EXPECT_EQ(Clock.frameTime, 1.0);
}

TEST_F(FrameCycleTest, LowWordWrapGivesTheTrueClockCount) {
    QueueFrameReadings(0x2FFFFFFF0ll, 0x2FFFFFFFEll, 0x300000003ll);
    RenderFrame();
    EXPECT_EQ(Clock.clockCount, 5u);
    EXPECT_EQ(Clock.lapMark, 3u);
    EXPECT_STREQ(Headless.overlayCalls[1].text, "5");
}

TEST_F(FrameCycleTest, OnlyTheLowWordOfTheFrequencyCounts) {
    Scripted.frequency = 0x100000000ll + 1000; // high bits ignored
    QueueFrameReadings(500, 500, 500);
    RenderFrame();
    EXPECT_EQ(Clock.frameTime, 0.5);
}

// A counter without a usable frequency would divide by zero; such a frame
// takes no time, so the camera stays where it is.
TEST_F(FrameCycleTest, FrequencyWithZeroLowWordGivesZeroFrameTime) {
    for (int64_t frequency : {0ll, 0x100000000ll, 0x7FFFFFFF00000000ll}) {
        ResetApplication();
        Scripted.frequency = frequency;
        QueueFrameReadings(123456, 123457, 123458);
        OnKeyDown(KeyUp);
        OnKeyDown(KeyRight);
        RenderFrame();
        EXPECT_EQ(Clock.frameTime, 0.0) << frequency;
        EXPECT_EQ(std::memcmp(&Camera, &StartCamera, sizeof Camera), 0) << frequency;
        EXPECT_EQ(ColourCrc(), StartViewColourCrc) << frequency;
    }
}

TEST_F(FrameCycleTest, ViewMatrixAtTheStart) {
    RenderFrame();
    const float expected[16] = {1, 0, 0, -40, 0, 1, 0, 0, 0, 0, 1, 20, 0, 0, 0, 1};
    for (int i = 0; i < 16; i++) EXPECT_EQ(CurrentMatrix.m[i], expected[i]) << "element " << i;
}

TEST_F(FrameCycleTest, ViewMatrixAtHeading90KeepsTheTinyCosine) {
    Camera.heading = 90.0f;
    RenderFrame();
    // The single-precision angle is not exactly pi/2, so its cosine is not 0.
    const float c = (float)std::cos((double)(90.0f * 0.017453292f));
    EXPECT_NE(c, 0.0f);
    EXPECT_NEAR(c, -4.37e-8f, 0.01e-8f);
    EXPECT_EQ(ViewRotation.m[0], c);
    EXPECT_EQ(ViewRotation.m[10], c);
    EXPECT_EQ(ViewRotation.m[2], 1.0f);
    EXPECT_EQ(ViewRotation.m[8], -1.0f);
    EXPECT_EQ(CurrentMatrix.m[0], c);
    EXPECT_EQ(CurrentMatrix.m[2], 1.0f);
    EXPECT_EQ(CurrentMatrix.m[8], -1.0f);
    EXPECT_EQ(CurrentMatrix.m[10], c);
    EXPECT_EQ(CurrentMatrix.m[5], 1.0f);
    // Rows (c, 0, s, -c*x - s*z) and (-s, 0, c, s*x - c*z) at x 40, z -20.
    EXPECT_NEAR(CurrentMatrix.m[3], 20.0f, 1e-5f);
    EXPECT_NEAR(CurrentMatrix.m[11], 40.0f, 1e-5f);
    EXPECT_EQ(CurrentMatrix.m[7], 0.0f);
    // Facing +x: a point ahead of the eye lands on the -z axis.
    const float p[4] = {140, 0, -20, 1};
    float q[3];
    for (int r = 0; r < 3; r++)
        q[r] = CurrentMatrix.m[4 * r] * p[0] + CurrentMatrix.m[4 * r + 1] * p[1] +
               CurrentMatrix.m[4 * r + 2] * p[2] + CurrentMatrix.m[4 * r + 3] * p[3];
    EXPECT_NEAR(q[0], 0.0f, 1e-4f);
    EXPECT_NEAR(q[2], -100.0f, 1e-4f);
}

TEST_F(FrameCycleTest, TheTwoReferenceViews) {
    RenderFrame();
    EXPECT_EQ(ColourCrc(), StartViewColourCrc);
    EXPECT_EQ(DepthCrc(), StartViewDepthCrc);
    Camera = {120, -40, 30, 300};
    RenderFrame();
    EXPECT_EQ(ColourCrc(), 0x289ad1beu);
    EXPECT_EQ(DepthCrc(), 0x9002da44u);
}

// Flag words left set from elsewhere would make the pipeline skip planes it
// never clipped against; every frame starts them from 0.
TEST_F(FrameCycleTest, ClipFlagsAreResetBeforeEachRecord) {
    for (TriangleRecord &record : SceneTriangles) record.clipFlags = 0xFFFFFFFFu;
    RenderFrame();
    EXPECT_EQ(ColourCrc(), StartViewColourCrc);
    EXPECT_EQ(DepthCrc(), StartViewDepthCrc);
    for (int i = 0; i < SceneTriangleCount; i++) EXPECT_EQ(SceneTriangles[i].clipFlags, 0u) << i;
}

TEST_F(FrameCycleTest, TwoFramesWithoutKeysDrawTheSameImage) {
    QueueFrameReadings(1000, 1010, 1030);
    RenderFrame();
    Frame first = Capture();
    QueueFrameReadings(800000, 800010, 800500); // a long frame, another count
    RenderFrame();
    Frame second = Capture();
    EXPECT_TRUE(first.colour == second.colour);
    EXPECT_TRUE(std::memcmp(first.depth.data(), second.depth.data(), Pixels * 4) == 0);
    EXPECT_STREQ(Headless.overlayCalls[1].text, "490");
    // With a key held the same two frames differ, so the comparison can fail.
    OnKeyDown(KeyLeft);
    QueueFrameReadings(900000, 900001, 900002);
    RenderFrame();
    EXPECT_FALSE(Capture().colour == second.colour);
}

TEST_F(FrameCycleTest, CounterTextLabelAndNumberPositions) {
    QueueFrameReadings(100, 200, 200); // an empty timed section
    RenderFrame();
    ASSERT_EQ(Headless.overlayCallCount, 2);
    const OverlayCall &label = Headless.overlayCalls[0], &number = Headless.overlayCalls[1];
    EXPECT_EQ(label.x, 0);
    EXPECT_EQ(label.y, 0);
    EXPECT_EQ(label.count, 13);
    EXPECT_STREQ(label.text, "Clock Count: ");
    EXPECT_EQ(number.x, 90);
    EXPECT_EQ(number.y, 0);
    EXPECT_EQ(number.count, 1);
    EXPECT_STREQ(number.text, "0");
    // Both drawn over the finished image, after the colour buffer is handed back.
    EXPECT_FALSE(label.duringFrame);
    EXPECT_FALSE(number.duringFrame);
}

TEST_F(FrameCycleTest, LargestClockCountShowsAllTenDigits) {
    QueueFrameReadings(100, 0x700000201ll, 0x700000200ll); // one tick back: 2^32 - 1
    RenderFrame();
    EXPECT_EQ(Clock.clockCount, 4294967295u);
    ASSERT_EQ(Headless.overlayCallCount, 2);
    EXPECT_EQ(Headless.overlayCalls[1].x, 90);
    EXPECT_EQ(Headless.overlayCalls[1].count, 10);
    EXPECT_STREQ(Headless.overlayCalls[1].text, "4294967295");
}

// The counter the headless tool feeds must give frame times that are exactly
// the decimal seconds a script names.
TEST_F(FrameCycleTest, FedCounterGivesExactFrameTimes) {
    InstallHeadlessCounter();
    Headless.counter.startReading = 0;
    for (uint32_t micros : {0u, 1u, 16667u, 250000u, 4294967295u}) {
        FeedFrameTime(micros);
        RenderFrame();
        EXPECT_EQ(Clock.frameTime, micros / 1e6) << micros;
    }
}

// Each way of drawing, chosen as the programs choose it, draws the start
// view's golden; a refused choice leaves no threads behind and the next
// choice still starts.
TEST_F(FrameCycleTest, EveryWayOfDrawingDrawsTheStartView) {
    EXPECT_EQ(DrawingForThreadOption(1).way, DrawingWay::AsShipped);
    EXPECT_EQ(DrawingForThreadOption(0).way, DrawingWay::EveryHardwareThread);
    EXPECT_EQ(DrawingForThreadOption(5).way, DrawingWay::Bands);
    EXPECT_EQ(DrawingThreads(DrawingForThreadOption(5)), 5);
    EXPECT_EQ(DrawingThreads(DrawOnEveryHardwareThread), ProcessorThreads());
    std::string error;
    for (const DrawingChoice &refused :
         {DrawInBands(0), DrawInBands(MaxBandThreads + 1), DrawInBands(-3)}) {
        EXPECT_EQ(StartDrawing(refused, error), nullptr) << refused.threads;
        EXPECT_NE(error.find("threads"), std::string::npos) << error;
    }
    EXPECT_EQ(StartDrawing(DrawAsShipped, error), &RenderFrame);
    const DrawingChoice ways[] = {
        DrawAsShipped, DrawInBands(1), DrawInBands(2), DrawInBands(3), DrawOnEveryHardwareThread,
        DrawAsShipped};
    for (const DrawingChoice &way : ways) {
        ResetApplication();
        error.clear();
        const FrameStep step = StartDrawing(way, error);
        ASSERT_NE(step, nullptr) << error;
        step();
        EXPECT_EQ(ColourCrc(), StartViewColourCrc) << (int)way.way << " " << way.threads;
        EXPECT_EQ(DepthCrc(), StartViewDepthCrc) << (int)way.way << " " << way.threads;
    }
    StopDrawing();
}

// A restart at another size reaches the presentation and the target: the
// frame drawn is that size's golden, in one thread and in bands (started
// again for the new size), and back at the old size it is the old golden.
TEST_F(FrameCycleTest, RestartingAtAnotherSizeDrawsThatSizesFrame) {
    struct BackToTheStartSize {
        ~BackToTheStartSize() {
            StopDrawing();
            RestartGraphicsAtSize({DefaultFrameWidth, DefaultFrameHeight});
        }
    } restore;
    std::string error;
    for (const SizedGolden &golden : StartViewAtOtherSizes) {
        ASSERT_TRUE(RestartGraphicsAtSize(golden.size));
        EXPECT_EQ(Screen.width, golden.size.width);
        EXPECT_EQ(Screen.height, golden.size.height);
        for (const DrawingChoice &way : {DrawAsShipped, DrawInBands(3)}) {
            ResetApplication();
            const FrameStep step = StartDrawing(way, error);
            ASSERT_NE(step, nullptr) << error;
            step();
            EXPECT_EQ(ColourCrcAtSize(), golden.colourCrc)
                << golden.size.width << " " << way.threads;
            EXPECT_EQ(DepthCrcAtSize(), golden.depthCrc) << golden.size.width << " " << way.threads;
        }
    }
    ASSERT_TRUE(RestartGraphicsAtSize({DefaultFrameWidth, DefaultFrameHeight}));
    ResetApplication();
    StartDrawing(DrawAsShipped, error)();
    EXPECT_EQ(ColourCrc(), StartViewColourCrc);
    EXPECT_EQ(DepthCrc(), StartViewDepthCrc);
}
