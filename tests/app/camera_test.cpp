// Camera movement: speed factors, directions, clamps and wraps, 2D zoom, and
// the focus rule that freezes it while a text field has the keyboard.
#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"

static CameraInput no_input() { return CameraInput{}; }

TEST(Camera, SpeedFactorFromShiftAndControl) {
    struct Case { bool shift, control; float factor; } cases[] = {
        {false, false, 1}, {true, false, 2}, {false, true, 0.5f}, {true, true, 1}};
    for (const Case& c : cases) {
        Camera camera = camera_default();
        CameraInput input = no_input();
        input.shift = c.shift;
        input.control = c.control;
        input.forward = true;
        camera_step(&camera, input, true, 0.1, false);
        EXPECT_NEAR(camera.position.y, 10 * c.factor * 0.1f, 1e-5) << c.shift << c.control;
    }
}

TEST(Camera, DirectionsFollowYawAndIgnorePitch) {
    Camera camera = camera_default();
    camera.yaw = 90;
    camera.pitch = 45;
    CameraInput input = no_input();
    input.forward = true;
    camera_step(&camera, input, true, 1.0, false);
    EXPECT_NEAR(camera.position.x, -10, 1e-4);  // W at yaw 90 goes toward -x
    EXPECT_NEAR(camera.position.y, 0, 1e-4);
    EXPECT_NEAR(camera.position.z, 10, 1e-6);

    camera = camera_default();
    input = no_input();
    input.right = input.up = true;
    camera_step(&camera, input, true, 0.5, false);
    EXPECT_NEAR(camera.position.x, 5, 1e-5);
    EXPECT_NEAR(camera.position.z, 15, 1e-5);

    input = no_input();
    input.left = input.back = input.down = true;
    camera_step(&camera, input, true, 0.5, false);
    EXPECT_NEAR(camera.position.x, 0, 1e-5);
    EXPECT_NEAR(camera.position.y, -5, 1e-5);
    EXPECT_NEAR(camera.position.z, 10, 1e-5);
}

TEST(Camera, MouseLookClampsPitchAndWrapsYawOnce) {
    Camera camera = camera_default();
    CameraInput input = no_input();
    input.look_pressed = true;
    EXPECT_EQ(camera_step(&camera, input, true, 0.016, false), 1);
    EXPECT_TRUE(camera.looking);

    input = no_input();
    camera.yaw = 359;
    input.mouse_dx = -10;  // yaw -= dx * 0.5 = +5
    input.mouse_dy = -1000;
    camera_step(&camera, input, true, 0.016, false);
    EXPECT_FLOAT_EQ(camera.yaw, 4);
    EXPECT_FLOAT_EQ(camera.pitch, 180);
    input.mouse_dx = 0;
    input.mouse_dy = 1000;
    camera_step(&camera, input, true, 0.016, false);
    EXPECT_FLOAT_EQ(camera.pitch, 0);

    input = no_input();
    input.look_released = true;
    EXPECT_EQ(camera_step(&camera, input, true, 0.016, false), -1);
    EXPECT_FALSE(camera.looking);
    input = no_input();
    input.mouse_dx = 40;  // no look: motion turns nothing
    camera_step(&camera, input, true, 0.016, false);
    EXPECT_FLOAT_EQ(camera.yaw, 4);
}

TEST(Camera, ResetLooksStraightDown) {
    Camera camera = camera_default();
    camera.yaw = 30;
    camera.pitch = 60;
    CameraInput input = no_input();
    input.reset = true;
    camera_step(&camera, input, true, 0.016, false);
    EXPECT_EQ(camera.yaw, 0);
    EXPECT_EQ(camera.pitch, 0);
}

TEST(Camera, TwoDimensionalZoomFollowsHeight) {
    Camera camera = camera_default();
    camera.position.z = 9;
    camera.pitch = 50;
    camera_step(&camera, no_input(), true, 0.016, true);
    EXPECT_FLOAT_EQ(camera.speed, 10);
    EXPECT_FLOAT_EQ(camera.zoom, 8);
    EXPECT_EQ(camera.pitch, 0);

    camera.position.z = -1;
    camera_step(&camera, no_input(), true, 0.016, true);
    EXPECT_FLOAT_EQ(camera.speed, 0.01f);
    EXPECT_FLOAT_EQ(camera.zoom, 0.008f);

    camera.position.z = 20000;
    camera_step(&camera, no_input(), true, 0.016, true);
    EXPECT_FLOAT_EQ(camera.speed, 10000);
    EXPECT_FLOAT_EQ(camera.zoom, 8000);
}

TEST(Camera, FrozenWhileATextFieldHasTheKeyboard) {
    Camera camera = camera_default();
    CameraInput input = no_input();
    input.look_pressed = input.forward = true;
    EXPECT_EQ(camera_step(&camera, input, false, 1.0, false), 0);
    EXPECT_FALSE(camera.looking);
    EXPECT_FLOAT_EQ(camera.position.y, 0);
}

TEST(Camera, MatricesPutTheOriginInFrontOfTheDefaultCamera) {
    Camera camera = camera_default();  // at (0, 0, 10) looking straight down
    Mat4 view = camera_view_matrix(camera);
    Vec3 origin = mat4_transform_point(view, Vec3{0, 0, 0});
    EXPECT_NEAR(origin.z, -10, 1e-5);  // in front of the camera (looking down -z in view space)
    Mat4 projection = camera_projection_matrix(camera, 1024, 768, false);
    float f = (float)(std::cos(40 * M_PI / 180) / std::sin(40 * M_PI / 180));
    EXPECT_NEAR(projection.m[0], f / (1024.0f / 768.0f), 1e-5);
    EXPECT_NEAR(projection.m[5], f, 1e-5);
    EXPECT_EQ(projection.m[11], -1);
    EXPECT_NEAR(projection.m[14], -2 * 1000 * 0.05f / (1000 - 0.05f), 1e-6);
    EXPECT_EQ(projection.m[15], 0);

    Mat4 ortho = camera_projection_matrix(camera, 800, 400, true);
    Vec3 corner = mat4_transform_point(ortho, Vec3{20, 10, 0});  // aspect 2, zoom 10
    EXPECT_NEAR(corner.x, 1, 1e-5);
    EXPECT_NEAR(corner.y, 1, 1e-5);
}
