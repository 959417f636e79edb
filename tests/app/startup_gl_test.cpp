// The real program started in-process under the virtual display.
#include <gtest/gtest.h>

#include <string>

#include "app/app.h"
#include "app/editor.h"
#include "platform/platform.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness_has_display()) GTEST_SKIP() << "no DISPLAY: GL tests need an X server (run under xvfb-run)";
    }
};

TEST_F(StartupTest, PlainStartOpensTheDefaultWindow) {
    testing::internal::CaptureStdout();
    bool started = harness_start();
    std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started);
    EXPECT_EQ(printed, "");  // the bundled data loads without a complaint
    EXPECT_EQ(editor.window_width, 1024);
    EXPECT_EQ(editor.window_height, 768);
    EXPECT_EQ(editor.sleep_amount, 12);
    EXPECT_GT(editor.timestep, 0.0);
    EXPECT_TRUE(editor.running);
    EXPECT_EQ(editor.input_enable_stack.count, 1);
    EXPECT_TRUE(harness_frames(3));
    EXPECT_EQ(editor.input_enable_stack.count, 1);  // every frame pops what it pushed
    harness_stop();
}

TEST_F(StartupTest, SleepOptionReachesTheLoop) {
    ASSERT_TRUE(harness_start({"-sleep", "-5"}));
    EXPECT_EQ(editor.sleep_amount, -5);
    EXPECT_TRUE(harness_frames(2));
    harness_stop();
}

TEST_F(StartupTest, CloseRequestOnAnEmptySceneEndsTheLoop) {
    ASSERT_TRUE(harness_start());
    ASSERT_TRUE(harness_frames(1));
    harness_push_quit();
    EXPECT_FALSE(harness_frames(1));
    EXPECT_FALSE(editor.running);
    harness_stop();
}

TEST_F(StartupTest, EscapeAlsoRequestsQuit) {
    ASSERT_TRUE(harness_start());
    ASSERT_TRUE(harness_frames(1));
    harness_key_down(KEY_ESCAPE);
    EXPECT_FALSE(harness_frames(1));
    harness_stop();
}

TEST_F(StartupTest, MousePositionIsFlippedToBottomUp) {
    ASSERT_TRUE(harness_start());
    harness_mouse_move(100, 68);
    ASSERT_TRUE(harness_frames(1));
    EXPECT_EQ(editor.mouse_x, 100.0f);
    EXPECT_EQ(editor.mouse_y, 700.0f);
    harness_stop();
}
