// The editor frame in its fixed order: camera matrices, picking pass (only
// in frames that pick), scene pass into the scene target, then window-pixel
// matrices and the status texts. Relies on render/ (targets, programs, scene
// and picking passes), ui/text, the camera and the editor state.
#include "app/editor_frame.h"

#include "app/panels.h"
#include "app/editor_ui.h"

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/picking.h"
#include "render/scene_render.h"
#include "tools/selection.h"
#include "ui/text.h"

static const Vec4 STATS_COLOR{0.5f, 0.5f, 1, 0.7f};

static int64_t frames_composed;

int64_t editor_frame_count() { return frames_composed; }

void editor_camera_matrices() {
    bool mode_2d = editor_mode_2d();
    editor.projection_matrix =
        camera_projection_matrix(editor.camera, editor.window_width, editor.window_height, mode_2d);
    editor.view_matrix = camera_view_matrix(editor.camera);
}

String editor_camera_line(int8_t pool) {
    const Camera& camera = editor.camera;
    StringBuilder builder = builder_init(pool);
    format_to_builder(&builder, S("position %.,%.,%. yaw %. pitch %."),
                      {fmt_float(camera.position.x), fmt_float(camera.position.y), fmt_float(camera.position.z),
                       fmt_float(camera.yaw), fmt_float(camera.pitch)});
    return builder_to_string(&builder);
}

static void scene_pass() {
    RenderState& render = editor.render;
    frame_target_bind(&render.scene_target);
    shader_program_use(&render.simple);
    pipeline_blend_enable(true);
    pipeline_blend_factor(3, 9);
    Vec4 background = color_to_linear(editor.scene.settings.background, editor.gamma_value);
    pipeline_clear_color(background.x, background.y, background.z, background.w);
    pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);
    scene_render();
}

static void interface_matrices() {
    editor.projection_matrix = mat4_ortho(0, (float)editor.window_width, 0, (float)editor.window_height, -1, 1);
    editor.view_matrix = mat4_identity();
    pipeline_depth_enable(false);
}

static void status_texts() {
    float text_scale = editor.theme.text_scale;
    Font* font = &editor.assets.default_font;
    text_draw_now(font, editor.palette[COLOR_RED], editor_camera_line(POOL_FRAME), (float)editor.window_width - 16, 16,
                  text_scale, text_scale, ALIGN_RIGHT, ALIGN_BOTTOM);
    if (editor.scene.placement_mode) {
        StringBuilder builder = builder_init(POOL_FRAME);
        format_to_builder(&builder, S("object: %."), {fmt_string(object_kind_name(editor.scene.placement_template.kind))});
        text_draw_now(font, editor.palette[COLOR_WHITE], builder_to_string(&builder), 16, 16, text_scale, text_scale,
                      ALIGN_LEFT, ALIGN_BOTTOM);
    }

    // F2 toggles regardless of keyboard focus.
    if (input_key_is_pressed(KEY_F2)) editor.show_stats = !editor.show_stats;
    if (editor.show_stats) {
        StringBuilder builder = builder_init(POOL_FRAME);
        format_to_builder(&builder, S("%. ms rendering\n%. ms total"),
                          {fmt_float(editor.work_seconds * 1000), fmt_float(editor.frame_seconds * 1000)});
        text_draw_now(font, STATS_COLOR, builder_to_string(&builder), 16, 64, 0.5, 0.5, ALIGN_LEFT, ALIGN_BOTTOM);
    }
}

void editor_frame() {
    frames_composed++;
    editor_camera_matrices();
    // Lookups by id need the id order in every frame, picking or not.
    scene_objects_sort_by_id(&editor.scene.objects);
    // Redrawing every object for a picture read only on a press would double
    // the frame's cost; the pass in the press frame gives the same pixels.
    if (picking_needed()) picking_pass();
    pick_in_viewport();
    scene_pass();
    interface_matrices();
    status_texts();
    selection_box_draw();
    editor_interface();
}

// Panels, toolbar, actions and title: everything drawn over the viewport
// that the user acts on.
void editor_interface() {
    panels_draw(editor_panel_content);
    hierarchy_drag_update();
    ToolbarClicks clicks = editor_toolbar();
    editor_actions(clicks);
    editor_window_title_update();
}
