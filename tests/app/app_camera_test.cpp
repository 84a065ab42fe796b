// Camera motion and the key handlers: rates, order, and what keys do.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/app/app_test_support.h"

class CameraTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetApplication(); }

    // Holds the keys for seconds in total, split into equal frames.
    static void Hold(std::initializer_list<uint32_t> keys, double seconds, int frames) {
        for (uint32_t key : keys) OnKeyDown(key);
        for (int i = 0; i < frames; i++) AdvanceCamera(seconds / frames);
        for (uint32_t key : keys) OnKeyUp(key);
    }
};

TEST_F(CameraTest, NothingMovesWithoutKeysOrWithoutTime) {
    AdvanceCamera(5.0);
    EXPECT_EQ(std::memcmp(&Camera, &StartCamera, sizeof Camera), 0);
    for (uint32_t key : {KeyLeft, KeyUp, KeyRight, KeyDown, KeyA, KeyZ}) OnKeyDown(key);
    AdvanceCamera(0.0);
    EXPECT_EQ(std::memcmp(&Camera, &StartCamera, sizeof Camera), 0);
}

// Per-frame single-precision rounding adds up over many frames; a hundredth
// of a unit is far below any visible effect and far above that drift.
TEST_F(CameraTest, OneSecondTurnsOneHundredDegreesOverAnyNumberOfFrames) {
    for (int frames : {1, 3, 60, 1000}) {
        Camera = StartCamera;
        Hold({KeyRight}, 1.0, frames);
        EXPECT_NEAR(Camera.heading, 100.0f, 1e-2f) << frames << " frames";
        Hold({KeyLeft}, 1.0, frames);
        EXPECT_NEAR(Camera.heading, 0.0f, 1e-2f) << frames << " frames";
    }
}

TEST_F(CameraTest, OneSecondMovesAndLiftsEightyUnits) {
    for (int frames : {1, 7, 1000}) {
        Camera = StartCamera;
        Hold({KeyUp}, 1.0, frames);
        EXPECT_EQ(Camera.x, 40.0f); // heading 0: sin is exactly 0
        EXPECT_NEAR(Camera.z, -100.0f, 1e-2f) << frames << " frames";
        Hold({KeyDown}, 0.5, frames);
        EXPECT_NEAR(Camera.z, -60.0f, 1e-2f) << frames << " frames";
        Hold({KeyA}, 1.0, frames);
        EXPECT_NEAR(Camera.height, 80.0f, 1e-2f) << frames << " frames";
        Hold({KeyZ}, 2.0, frames);
        EXPECT_NEAR(Camera.height, -80.0f, 1e-2f) << frames << " frames";
        EXPECT_EQ(Camera.heading, 0.0f);
    }
}

TEST_F(CameraTest, HalfASecondForwardIsExact) {
    Hold({KeyUp}, 0.5, 1);
    EXPECT_EQ(Camera.x, 40.0f);
    EXPECT_EQ(Camera.z, -60.0f);
    EXPECT_EQ(Camera.height, 0.0f);
}

// Turn and move held together for one frame: the move follows the new
// heading. Moving first would go 72 units down -z instead.
TEST_F(CameraTest, TurnsBeforeItMoves) {
    Hold({KeyRight, KeyUp}, 0.9, 1);
    EXPECT_EQ(Camera.heading, 90.0f);
    EXPECT_NEAR(Camera.x, 112.0f, 1e-4f);
    EXPECT_NEAR(Camera.z, -20.0f, 1e-4f);
}

TEST_F(CameraTest, OppositeKeysCancel) {
    Hold({KeyLeft, KeyRight}, 1.0, 50);
    EXPECT_NEAR(Camera.heading, 0.0f, 1e-4f);
    Camera.heading = 30.0f;
    Hold({KeyUp, KeyDown}, 1.0, 50);
    EXPECT_NEAR(Camera.x, 40.0f, 1e-4f);
    EXPECT_NEAR(Camera.z, -20.0f, 1e-4f);
    Hold({KeyA, KeyZ}, 1.0, 50);
    EXPECT_NEAR(Camera.height, 0.0f, 1e-4f);
}

TEST_F(CameraTest, HeadingIsNeverWrapped) {
    Hold({KeyRight}, 4.0, 400);
    EXPECT_NEAR(Camera.heading, 400.0f, 1e-2f);
    Camera.heading = 0.0f;
    Hold({KeyLeft}, 5.0, 5);
    EXPECT_NEAR(Camera.heading, -500.0f, 1e-2f);
}

TEST_F(CameraTest, ForwardFollowsTheHeading) {
    Camera.heading = 90.0f;
    Hold({KeyUp}, 0.5, 1);
    EXPECT_NEAR(Camera.x, 80.0f, 1e-4f); // towards +x
    EXPECT_NEAR(Camera.z, -20.0f, 1e-4f);

    Camera = StartCamera;
    Hold({KeyLeft}, 0.9, 1);
    EXPECT_EQ(Camera.heading, -90.0f);
    Hold({KeyUp}, 0.5, 1);
    EXPECT_NEAR(Camera.x, 0.0f, 1e-4f); // towards -x
    EXPECT_NEAR(Camera.z, -20.0f, 1e-4f);

    Camera = StartCamera;
    Camera.heading = 180.0f;
    Hold({KeyDown}, 0.5, 1); // back while facing +z goes to -z
    EXPECT_NEAR(Camera.x, 40.0f, 1e-4f);
    EXPECT_NEAR(Camera.z, -60.0f, 1e-4f);
}

TEST_F(CameraTest, EachKeySetsAndClearsItsOwnFlag) {
    struct {
        uint32_t code;
        bool MotionKeys::*flag;
    } table[] = {{37, &MotionKeys::turnLeft}, {38, &MotionKeys::moveForward},
                 {39, &MotionKeys::turnRight}, {40, &MotionKeys::moveBack},
                 {65, &MotionKeys::rise},      {90, &MotionKeys::fall}};
    for (const auto &row : table) {
        OnKeyDown(row.code);
        for (const auto &other : table) EXPECT_EQ(Keys.*other.flag, other.code == row.code) << row.code;
        OnKeyUp(row.code);
        for (const auto &other : table) EXPECT_FALSE(Keys.*other.flag) << row.code;
    }
}

TEST_F(CameraTest, RepeatedKeyDownKeepsTheSameSpeed) {
    for (int i = 0; i < 30; i++) OnKeyDown(KeyUp); // auto-repeat
    AdvanceCamera(0.5);
    EXPECT_EQ(Camera.z, -60.0f);
    OnKeyUp(KeyUp); // one key-up ends it, however many downs came before
    AdvanceCamera(0.5);
    EXPECT_EQ(Camera.z, -60.0f);
}

TEST_F(CameraTest, OtherCodesAreIgnored) {
    for (uint32_t code = 0; code < 512; code++) {
        if (code == 27 || code == 37 || code == 38 || code == 39 || code == 40 || code == 65 ||
            code == 90)
            continue;
        OnKeyDown(code); // includes 97 and 122: lower-case letters are not key codes
    }
    MotionKeys none{};
    EXPECT_EQ(std::memcmp(&Keys, &none, sizeof Keys), 0);
    EXPECT_FALSE(Headless.windowDestroyed);
    // Nor does a stray key-up release a held key.
    OnKeyDown(KeyUp);
    OnKeyUp(KeyDown);
    OnKeyUp(97);
    EXPECT_TRUE(Keys.moveForward);
}

TEST_F(CameraTest, EscapeDestroysTheWindowOnKeyDownOnly) {
    OnKeyUp(KeyEscape);
    EXPECT_FALSE(Headless.windowDestroyed);
    OnKeyDown(KeyEscape);
    EXPECT_TRUE(Headless.windowDestroyed);
    MotionKeys none{};
    EXPECT_EQ(std::memcmp(&Keys, &none, sizeof Keys), 0); // Escape has no flag
}

TEST_F(CameraTest, ReleaseAllKeysStopsEverything) {
    for (uint32_t key : {KeyLeft, KeyUp, KeyRight, KeyDown, KeyA, KeyZ}) OnKeyDown(key);
    ReleaseAllKeys();
    AdvanceCamera(1.0);
    EXPECT_EQ(std::memcmp(&Camera, &StartCamera, sizeof Camera), 0);
}
