// The viewport's free-flying camera (world up is +z) and the matrices the
// editor frame builds from it. In 2D mode it looks straight down and its
// height is the zoom.
#pragma once

#include "math/math.h"

struct Camera {
    float near_plane;    // 0.05
    float far_plane;     // 1000
    float speed;         // units per second
    float sensitivity;   // degrees of turn per pixel of mouse motion
    float zoom;          // half-height of the 2D view in world units
    Vec3 position;
    bool looking;        // mouse-look on the secondary button
    float yaw;           // degrees about +z, kept in 0..360
    float pitch;         // degrees, 0 straight down .. 180; 90 level
    float fov;           // vertical field of view, degrees
};

Camera camera_default();

// Input the camera reads in one frame; camera_update fills it from the
// platform, tests may fill it themselves.
struct CameraInput {
    bool look_pressed, look_released;
    bool look_held;      // decides when both edges arrive in one frame
    bool shift, control;
    bool forward, back, right, left, up, down, reset;
    int32_t mouse_dx, mouse_dy;
};

// One frame of movement. Does nothing when `keys_live` is false (a text
// field had the keyboard). Returns what to do with relative mouse mode:
// +1 switch on, -1 switch off, 0 leave it.
int camera_step(Camera* camera, const CameraInput& input, bool keys_live, double timestep, bool mode_2d);
void camera_update();  // reads the editor state and the platform

Mat4 camera_view_matrix(const Camera& camera);
Mat4 camera_projection_matrix(const Camera& camera, int32_t window_width, int32_t window_height, bool mode_2d);
Mat3 camera_orientation(const Camera& camera);  // rotation z by yaw times x by pitch
