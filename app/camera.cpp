// Camera movement from held keys and mouse-look, and its view and projection.
// Relies on the platform's input and math calls and on math/.
#include "app/camera.h"

#include "app/editor.h"
#include "platform/platform.h"


Camera camera_default() {
    Camera camera{};
    camera.near_plane = 0.05f;
    camera.far_plane = 1000;
    camera.speed = 10;
    camera.sensitivity = 0.5f;
    camera.zoom = 10;
    camera.position = Vec3{0, 0, 10};
    camera.fov = 80;
    return camera;
}

int camera_step(Camera* camera, const CameraInput& input, bool keys_live, double timestep, bool mode_2d) {
    if (!keys_live) return 0;
    int relative = 0;
    // A quick click or a touchpad tap brings both edges in one frame; the
    // button's state at the end of the frame says which came last.
    bool look_on = input.look_pressed && input.look_released ? input.look_held : input.look_pressed;
    if (input.look_pressed || input.look_released) {
        camera->looking = look_on;
        relative = look_on ? 1 : -1;
    }

    double yaw = camera->yaw * DEGREES_TO_RADIANS;
    Vec3 forward{(float)-math_sin(yaw), (float)math_cos(yaw), 0};
    Vec3 right{(float)math_cos(yaw), (float)math_sin(yaw), 0};
    float k = input.shift ? 2.0f : 1.0f;
    if (input.control) k *= 0.5f;
    float step = (float)(camera->speed * k * timestep);
    if (input.forward) camera->position = vec3_add(camera->position, vec3_scale(forward, step));
    if (input.back) camera->position = vec3_sub(camera->position, vec3_scale(forward, step));
    if (input.right) camera->position = vec3_add(camera->position, vec3_scale(right, step));
    if (input.left) camera->position = vec3_sub(camera->position, vec3_scale(right, step));
    if (input.up) camera->position.z += step;
    if (input.down) camera->position.z -= step;
    if (input.reset) {
        camera->yaw = 0;
        camera->pitch = 0;
    }

    if (camera->looking) {
        camera->yaw -= (float)input.mouse_dx * camera->sensitivity;
        camera->pitch -= (float)input.mouse_dy * camera->sensitivity;
        if (camera->pitch < 0) camera->pitch = 0;
        if (camera->pitch > 180) camera->pitch = 180;
        if (camera->yaw < 0) camera->yaw += 360;
        else if (camera->yaw > 360) camera->yaw -= 360;
    }

    if (mode_2d) {
        camera->pitch = 0;
        float s = (camera->position.z + 1) * 0.1f;
        if (s < 0.001f) {
            camera->speed = 0.01f;
            camera->zoom = 0.008f;
        } else if (s <= 1000) {
            camera->zoom = 8 * s;
            camera->speed = 10 * s;
        } else {
            camera->speed = 10000;
            camera->zoom = 8000;
        }
    }
    return relative;
}

Mat4 camera_view_matrix(const Camera& camera) {
    Mat4 pitch = mat4_rotation_x((float)(-camera.pitch * DEGREES_TO_RADIANS));
    Mat4 yaw = mat4_rotation_z((float)(-camera.yaw * DEGREES_TO_RADIANS));
    Mat4 move = mat4_translation(-camera.position.x, -camera.position.y, -camera.position.z);
    return mat4_multiply(mat4_multiply(pitch, yaw), move);
}

Mat4 camera_projection_matrix(const Camera& camera, int32_t window_width, int32_t window_height, bool mode_2d) {
    float aspect = window_height != 0 ? (float)window_width / (float)window_height : 1.0f;
    if (mode_2d) {
        return mat4_ortho(-aspect * camera.zoom, aspect * camera.zoom, -camera.zoom, camera.zoom, -camera.far_plane,
                          camera.far_plane);
    }
    double half = camera.fov * 0.5 * DEGREES_TO_RADIANS;
    float f = (float)(math_cos(half) / math_sin(half));
    float n = camera.near_plane, far = camera.far_plane;
    Mat4 m{};
    m.m[0] = f / aspect;
    m.m[5] = f;
    m.m[10] = -(n + far) / (far - n);
    m.m[11] = -1;
    m.m[14] = -2 * far * n / (far - n);
    return m;
}

Mat3 camera_orientation(const Camera& camera) {
    Mat4 yaw = mat4_rotation_z((float)(camera.yaw * DEGREES_TO_RADIANS));
    Mat4 pitch = mat4_rotation_x((float)(camera.pitch * DEGREES_TO_RADIANS));
    return mat3_from_mat4(mat4_multiply(yaw, pitch));
}

void camera_update() {
    CameraInput input{};
    input.look_pressed = input_mouse_is_pressed(MOUSE_SECONDARY);
    input.look_released = input_mouse_is_released(MOUSE_SECONDARY);
    input.look_held = input_mouse_is_held(MOUSE_SECONDARY);
    input.shift = input_key_is_held(KEY_SHIFT);
    input.control = input_key_is_held(KEY_CONTROL);
    input.forward = input_key_is_held(key_letter('W'));
    input.back = input_key_is_held(key_letter('S'));
    input.right = input_key_is_held(key_letter('D'));
    input.left = input_key_is_held(key_letter('A'));
    input.up = input_key_is_held(key_letter('Q'));
    input.down = input_key_is_held(key_letter('E'));
    input.reset = input_key_is_held(key_letter('R'));
    input_mouse_moved(&input.mouse_dx, &input.mouse_dy);
    int relative = camera_step(&editor.camera, input, editor.viewport_keys, editor.timestep, editor_mode_2d());
    if (relative > 0) input_mouse_set_relative(true);
    if (relative < 0) input_mouse_set_relative(false);
}
