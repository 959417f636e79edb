// Scene and picking targets, their status messages, the identity colors of
// the picking pass and the final pass to the window. Relies on the platform's
// frame buffer calls, the batch (render/draw) and the quad builder (ui/quad).
#include "render/targets.h"

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/shader.h"
#include "ui/quad.h"

// ---------------------------------------------------------------------------
// Targets

String frame_buffer_status_message(int32_t status) {
    switch (status) {
    case 0: return String{nullptr, 0};
    case 1: return S("frame buffer error: undefined\n");
    case 2:
    case 6: return S("frame buffer error: incomplete attachment\n");
    case 3: return S("frame buffer error: missing attachment\n");
    case 4: return S("frame buffer error: incomplete draw buffer\n");
    case 5: return S("frame buffer error: incomplete read attachment\n");
    case 7: return S("frame buffer error: incomplete layer attachment\n");
    case 8: return S("frame buffer error: unsupported\n");
    default: return S("frame buffer error\n");
    }
}

void frame_target_create(FrameTarget* target, int32_t width, int32_t height, int32_t color_format, int32_t depth_format) {
    target->frame_buffer = frame_buffer_create();
    target->color_texture = texture_create();
    target->depth_buffer = render_buffer_create();

    render_buffer_bind(target->depth_buffer);
    render_buffer_storage(depth_format, width, height);
    render_buffer_unbind();

    texture_bind(1, target->color_texture);
    texture_image_2d(1, 0, color_format, width, height, 8, 0, nullptr);
    texture_parameter_wrap(1, 0, 2);
    texture_parameter_wrap(1, 1, 2);
    texture_parameter_filter(1, 3, 0);
    texture_parameter_filter(1, 4, 0);
    texture_unbind(1);

    frame_buffer_bind(0, target->frame_buffer);
    frame_buffer_texture(0, 3, 0, target->color_texture, 0);
    frame_buffer_render_buffer(0, 0, 0, target->depth_buffer);
    const int32_t attachments[1] = {0};
    pipeline_draw_buffers(1, attachments);

    int32_t status = frame_buffer_get_status(0);
    if (status != 0) print(frame_buffer_status_message(status));
    frame_buffer_unbind(0);
}

void frame_target_destroy(FrameTarget* target) {
    if (target->frame_buffer) frame_buffer_destroy(target->frame_buffer);
    if (target->color_texture) texture_destroy(target->color_texture);
    if (target->depth_buffer) render_buffer_destroy(target->depth_buffer);
    // Cleared so that a second destroy (the next resize) cannot free handles
    // that the platform has meanwhile given to someone else.
    *target = FrameTarget{};
}

void frame_targets_create() {
    RenderState& render = editor.render;
    int32_t width = editor.window_width, height = editor.window_height;
    frame_target_destroy(&render.scene_target);
    frame_target_create(&render.scene_target, width, height, SCENE_COLOR_FORMAT, SCENE_DEPTH_FORMAT);
    frame_target_destroy(&render.picking_target);
    frame_target_create(&render.picking_target, width, height, PICKING_COLOR_FORMAT, PICKING_DEPTH_FORMAT);
}

void frame_target_bind(const FrameTarget* target) {
    frame_buffer_bind(0, target->frame_buffer);
    pipeline_viewport(0, 0, editor.window_width, editor.window_height);
}

// ---------------------------------------------------------------------------
// Identities

uint64_t identity_value(int64_t row_index, int64_t sub_element) {
    return ((uint64_t)(row_index + 1) & 0xFFFFFFFFu) | (((uint64_t)sub_element & 0xFFFFFFFFu) << 32);
}

Vec4 identity_color(uint64_t identity) {
    float lanes[4];
    for (int lane = 0; lane < 4; lane++) {
        uint16_t value = (uint16_t)(identity >> (16 * lane));
        lanes[lane] = (float)((double)value / 65535.0);
    }
    return Vec4{lanes[0], lanes[1], lanes[2], lanes[3]};
}

PickedIdentity identity_decode(const uint16_t rgba[4]) {
    PickedIdentity picked;
    picked.row_index = ((int64_t)rgba[1] * 65536 + rgba[0]) - 1;
    picked.sub_element = (int64_t)rgba[3] * 65536 + rgba[2];
    return picked;
}

// ---------------------------------------------------------------------------
// Final pass

void final_pass_to_window() {
    editor.projection_matrix = mat4_ortho(0, (float)editor.window_width, 0, (float)editor.window_height, -1, 1);
    editor.view_matrix = mat4_identity();

    frame_buffer_unbind(0);
    pipeline_viewport(0, 0, editor.window_width, editor.window_height);
    pipeline_blend_enable(false);
    RenderState& render = editor.render;
    shader_program_use(&render.gamma);
    shader_set_float(UNIFORM_GAMMA, (float)editor.gamma_value);
    bind_diffuse_texture(render.scene_target.color_texture);
    // The interface's last string is still in the batch (a flush keeps it);
    // without emptying it, it would be drawn again over the copy.
    batch_begin();
    render.draw.color = Vec4{1, 1, 1, 1};
    quad_append(0, 0, (float)editor.window_width, (float)editor.window_height, 0, 0, Vec4{0, 0, 1, 1});
    if (render.draw.indices.count > 0) batch_flush();
}
