// The camera in the real program under real SDL events: mouse-look edges
// that arrive together, and the measured timestep with "-v" on the first
// frame and after a stall.
#include <gtest/gtest.h>

#include <SDL.h>

#include "app/app.h"
#include "app/editor.h"
#include "platform/platform.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"

namespace {

class CameraGlTest : public EditorTest {};

TEST_F(CameraGlTest, RightButtonEdgesInOneFrameLeaveLookAsTheButtonEnds) {
    start();
    ASSERT_TRUE(harness_frames(1));

    // A quick click: down and up before the next poll.
    harness_mouse_down(MOUSE_SECONDARY, 500, 400);
    harness_mouse_up(MOUSE_SECONDARY, 500, 400);
    ASSERT_TRUE(harness_frames(1));
    EXPECT_FALSE(editor.camera.looking);
    EXPECT_FALSE(SDL_GetRelativeMouseMode());
    ASSERT_TRUE(harness_frames(1));
    EXPECT_FALSE(editor.camera.looking);

    // The ordinary way still turns look on and off.
    harness_mouse_down(MOUSE_SECONDARY, 500, 400);
    ASSERT_TRUE(harness_frames(1));
    EXPECT_TRUE(editor.camera.looking);
    bool captures = SDL_GetRelativeMouseMode();   // a display without relative mode cannot capture

    // Held, then let go and pressed again before the next poll: still looking.
    harness_mouse_up(MOUSE_SECONDARY, 500, 400);
    harness_mouse_down(MOUSE_SECONDARY, 500, 400);
    ASSERT_TRUE(harness_frames(1));
    EXPECT_TRUE(editor.camera.looking);
    EXPECT_EQ((bool)SDL_GetRelativeMouseMode(), captures);

    harness_mouse_up(MOUSE_SECONDARY, 500, 400);
    ASSERT_TRUE(harness_frames(1));
    EXPECT_FALSE(editor.camera.looking);
    EXPECT_FALSE(SDL_GetRelativeMouseMode());
}

TEST_F(CameraGlTest, FirstPacedFrameMovesTheCameraByOneFrameAtMost) {
    start({"-v"});
    Vec3 before = editor.camera.position;
    harness_key_down(key_letter('W'));
    ASSERT_TRUE(harness_frames(1));
    EXPECT_GT(editor.timestep, 0.0);
    EXPECT_LE(editor.timestep, MAX_TIMESTEP);
    float moved = before.y - editor.camera.position.y;
    if (moved < 0) moved = -moved;
    EXPECT_LE(moved, editor.camera.speed * MAX_TIMESTEP);
    harness_key_up(key_letter('W'));
}

TEST_F(CameraGlTest, AStallIsCutToTheLargestTimestep) {
    start({"-v"});
    ASSERT_TRUE(harness_frames(2));
    // Ten seconds went by since the last present (a debugger, a suspend).
    editor.counter_previous_present -= 10 * editor.counter_frequency;
    ASSERT_TRUE(harness_frames(1));
    EXPECT_GE(editor.frame_seconds, 10.0);
    EXPECT_EQ(editor.timestep, MAX_TIMESTEP);
    ASSERT_TRUE(harness_frames(1));
    EXPECT_LT(editor.frame_seconds, 10.0);   // the next frame is measured afresh
}

}  // namespace
