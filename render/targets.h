// Off-screen targets: the scene image (sampled by the final gamma pass) and
// the picking image (16 bits per channel, read back by the pick), both the
// size of the window, plus the identity colors that the picking pass writes.
// Relies on the platform's frame buffer, render buffer and texture calls.
#pragma once

#include <cstdint>

#include "core/types.h"
#include "math/math.h"

struct FrameTarget {
    uint32_t frame_buffer;   // 0 when absent
    uint32_t color_texture;  // color attachment 0
    uint32_t depth_buffer;   // depth render buffer
};

// Format codes of the two targets (platform codes).
enum : int32_t {
    SCENE_COLOR_FORMAT = 29,    // RGBA 16-bit float: dark linear colors keep their steps
    SCENE_DEPTH_FORMAT = 3,     // depth 32F
    PICKING_COLOR_FORMAT = 14,  // RGBA 16-bit unsigned normalised: n / 65535 reads back as n
    PICKING_DEPTH_FORMAT = 1,   // depth 24
};

// Start-up and every resize: both targets destroyed and rebuilt at the
// window's size (editor.window_width x window_height).
void frame_targets_create();
void frame_target_create(FrameTarget* target, int32_t width, int32_t height, int32_t color_format, int32_t depth_format);
// Destroys the handles that are not 0 and clears them.
void frame_target_destroy(FrameTarget* target);
// Draws go to the target; the viewport covers the window.
void frame_target_bind(const FrameTarget* target);

// The console line for a frame buffer status code; empty for 0 (complete).
String frame_buffer_status_message(int32_t status);

// Identity value: four 16-bit lanes, lane 0 lowest. Lanes 0-1 hold the
// hierarchy row index + 1, lanes 2-3 the sub-element (0 for a whole object;
// 3 x point + 0/1/2 for a path point and its handles a and b).
uint64_t identity_value(int64_t row_index, int64_t sub_element);
// (lane 0, lane 1, lane 2, lane 3) / 65535 as a color for the picking image.
Vec4 identity_color(uint64_t identity);

// One picking pixel as read back with format 8, type 1 (red, green, blue,
// alpha as unsigned 16-bit). The cleared background decodes as row -1.
struct PickedIdentity {
    int64_t row_index;
    int64_t sub_element;
};
PickedIdentity identity_decode(const uint16_t rgba[4]);

// Main-loop end of a frame: window-pixel matrices, then the scene image is
// copied to the window through the "gamma" program.
void final_pass_to_window();
