// The real program started in-process under the virtual display.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <unistd.h>

#include "app/app.h"
#include "app/editor.h"
#include "assets/assets.h"
#include "app/panels.h"
#include "scene/scene.h"
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

TEST_F(StartupTest, ResourceListFromTheCommandLine) {
    ASSERT_TRUE(harness_start());
    EXPECT_NE(mesh_find(S("table")), nullptr);
    EXPECT_NE(texture_find(S("checker")), editor.assets.icons[0]);
    harness_stop();

    testing::internal::CaptureStdout();
    bool started = harness_start({"-r", "missing-resources.txt"});
    std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started);
    EXPECT_EQ(printed, "");  // an unreadable list gives no resources, silently
    EXPECT_EQ(mesh_find(S("table")), nullptr);
    EXPECT_EQ(texture_find(S("checker")), editor.assets.icons[0]);  // unknown names fall back to white
    harness_stop();
}

TEST_F(StartupTest, UnknownArgumentIsPrintedAndStartUpGoesOn) {
    testing::internal::CaptureStdout();
    bool started = harness_start({"-full"});
    std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started);
    EXPECT_EQ(printed, "unknown argument: -full\n");
    EXPECT_TRUE(harness_frames(1));
    harness_stop();
}

TEST_F(StartupTest, DisplayPacedTimestepFollowsTheFrameTime) {
    ASSERT_TRUE(harness_start({"-v", "-sleep", "40"}));
    ASSERT_TRUE(harness_frames(3));
    EXPECT_EQ(editor.timestep, std::min(editor.frame_seconds, MAX_TIMESTEP));  // measured, not 1/refresh
    harness_stop();

    ASSERT_TRUE(harness_start({"-sleep", "40"}));
    double fixed = editor.timestep;
    ASSERT_TRUE(harness_frames(3));
    EXPECT_EQ(editor.timestep, fixed);
    EXPECT_GT(editor.frame_seconds, 0.030);  // the sleep paces the loop
    harness_stop();
}

TEST_F(StartupTest, FullscreenCoversTheScreen) {
    ASSERT_TRUE(harness_start({"-f"}));
    EXPECT_EQ(editor.window_width, 1280);  // the virtual screen the tests run on
    EXPECT_EQ(editor.window_height, 1024);
    EXPECT_TRUE(harness_frames(1));
    harness_stop();
}

TEST_F(StartupTest, ResizeRebuildsTargetsAtTheNewSize) {
    ASSERT_TRUE(harness_start());
    ASSERT_TRUE(harness_frames(1));
    ASSERT_TRUE(harness_resize(800, 600));
    ASSERT_TRUE(harness_frames(2));
    EXPECT_EQ(editor.window_width, 800);
    EXPECT_EQ(editor.window_height, 600);
    harness_stop();
}

TEST_F(StartupTest, CloseWithUnsavedObjectsAsksInsteadOfQuitting) {
    ASSERT_TRUE(harness_start());
    scene_create_object(OBJECT_QUAD, transform_default());
    harness_push_quit();
    EXPECT_TRUE(harness_frames(1));
    EXPECT_TRUE(editor.running);
    EXPECT_EQ(editor.panels.list.count, 1);
    harness_push_quit();  // each request asks once more
    EXPECT_TRUE(harness_frames(1));
    EXPECT_EQ(editor.panels.list.count, 2);
    harness_stop();
}

TEST_F(StartupTest, CloseQuitsWhenTheSceneMatchesItsFile) {
    ASSERT_TRUE(harness_start());
    char path[] = "/tmp/tarnisk-quit-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    scene_create_object(OBJECT_DATA, transform_default());
    ASSERT_TRUE(scene_save(string_from_cstring(path)));
    editor.scene.scene_modified = true;  // an edit undone by hand: the file decides
    harness_push_quit();
    EXPECT_FALSE(harness_frames(1));
    harness_stop();
    unlink(path);
}

TEST_F(StartupTest, OpenPanelsAreDrawnIntoTheFrame) {
    ASSERT_TRUE(harness_start());
    ASSERT_TRUE(harness_frames(1));
    uint32_t scene_image = editor.render.scene_target.frame_buffer;
    HarnessPixel before = harness_pixel(scene_image, 250, 300);
    ASSERT_GE(panel_open(0, S("objects"), Vec2{100, 100}, Vec2{300, 400}), 0);
    ASSERT_TRUE(harness_frames(1));
    HarnessPixel inside = harness_pixel(scene_image, 250, 300);
    HarnessPixel outside = harness_pixel(scene_image, 700, 300);
    EXPECT_TRUE(inside.r != before.r || inside.g != before.g || inside.b != before.b);
    EXPECT_EQ(outside.r, before.r);
    EXPECT_EQ(outside.g, before.g);
    EXPECT_EQ(outside.b, before.b);
    harness_stop();
}
