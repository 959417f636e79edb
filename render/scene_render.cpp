// The scene pass: objects in hierarchy-row order, the selection highlights
// drawn over everything, the gizmo hook and the placement previews. Corners
// are transformed on the CPU; each object is one flush or one mesh draw.
// Relies on render/draw, ui/text, the camera, the scene and tool state.
#include "render/scene_render.h"

#include "app/editor.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "tools/path_draw.h"
#include "tools/placement.h"
#include "tools/selection.h"
#include "ui/text.h"

static const Vec4 WHITE{1, 1, 1, 1};
static const Vec4 FULL_UV{0, 0, 1, 1};
static const Vec4 CURSOR_COLOR{1, 0, 1, 1};

// Object and theme colors are display-space values; the scene image holds
// linear ones (the final pass converts back), as for meshes and the clear.
static Vec4 linear(Vec4 color) { return color_to_linear(color, editor.gamma_value); }

ViewportToolState viewport_tool_state_default() {
    ViewportToolState state{};
    state.placement_cursor = Transform{Vec3{0, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
    state.pointer_free_of_gizmos = true;
    state.edited_object = scene_ref_none();
    return state;
}

// ---------------------------------------------------------------------------
// Matrices

Mat4 camera_rotation_matrix() { return mat4_from_mat3(camera_orientation(editor.camera)); }

Mat4 object_model_matrix(Transform transform, bool billboard) {
    if (!billboard) return transform_to_matrix(transform);
    Vec3 p = transform.position, s = transform.scale;
    Mat4 m = mat4_multiply(mat4_translation(p.x, p.y, p.z), camera_rotation_matrix());
    m = mat4_multiply(m, mat4_from_mat3(rotor_to_mat3(transform.rotation)));
    return mat4_multiply(m, mat4_scale(s.x, s.y, s.z));
}

Mat4 icon_billboard_matrix(Vec3 position) {
    Mat4 m = mat4_multiply(mat4_translation(position.x, position.y, position.z), mat4_scale(0.5f, 0.5f, 0.5f));
    return mat4_multiply(m, camera_rotation_matrix());
}

// ---------------------------------------------------------------------------
// Objects

// The 2 x 2 square of quads and icons, centred on the local origin in the
// local x-y plane, counter-clockwise seen from +z.
static void square_append(Mat4 m, Vec4 uv) {
    batch_append_quad(mat4_transform_point(m, Vec3{-1, -1, 0}), mat4_transform_point(m, Vec3{1, -1, 0}),
                      mat4_transform_point(m, Vec3{1, 1, 0}), mat4_transform_point(m, Vec3{-1, 1, 0}), WHITE, WHITE,
                      WHITE, WHITE, uv);
}

void quad_object_append(const SceneObject& object, Vec4 uv) {
    square_append(object_model_matrix(object.transform, object.quad.billboard), uv);
}

static void flush_if_any() {
    if (editor.render.draw.indices.count > 0) batch_flush();
}

void draw_quad_object(const SceneObject& object) {
    bind_diffuse_texture(object.quad.texture);
    batch_begin();
    editor.render.draw.color = linear(object.quad.color);
    quad_object_append(object, object.quad.uv_rect);
    flush_if_any();
}

static Font* text_font(const TextBlock& text) { return text.font ? text.font : &editor.assets.default_font; }

bool text_block_has_size(const TextBlock& text) {
    // The scale 1 / ppu is narrowed to float: both it and ppu must stay finite.
    double ppu = text.pixels_per_unit;
    return ppu > 0 && ppu <= 3.0e38 && 1 / ppu <= 3.0e38;
}

TextBlockLayout text_block_layout(const TextBlock& text) {
    const Font* font = text_font(text);
    TextBlockLayout layout;
    layout.scale = (float)(1 / text.pixels_per_unit);
    layout.lines = 1;
    for (int64_t i = 0; i < text.text.length; i++) {
        if (text.text.data[i] == '\n') layout.lines++;
    }
    layout.line_height = (float)(font->line_height * layout.scale * font->font_scale);
    layout.top = (0.5f - text.alignment.y * 0.5f) * (float)layout.lines * layout.line_height;
    return layout;
}

void draw_text_object(const SceneObject& object) {
    const TextBlock& text = object.text;
    if (!text_block_has_size(text)) return;
    DrawState& draw = editor.render.draw;
    TextBlockLayout layout = text_block_layout(text);
    text_font_bind(text_font(text));
    draw.align = TextAlign{ALIGN_LEFT, ALIGN_BOTTOM};
    batch_begin();
    draw.color = linear(text.color);
    Mat4 m = object_model_matrix(object.transform, text.billboard);
    // Each line is aligned on its own width; its frame's origin is the
    // line's baseline start.
    float y = layout.top;
    int64_t start = 0;
    for (int64_t i = 0; i <= text.text.length; i++) {
        if (i < text.text.length && text.text.data[i] != '\n') continue;
        String line{text.text.data + start, i - start};
        start = i + 1;
        y -= layout.line_height;
        float width = text_measure(line, layout.scale, layout.scale).width;
        float x = -(text.alignment.x * 0.5f + 0.5f) * width;
        text_append_transformed(line, mat4_multiply(m, mat4_translation(x, y, 0)), layout.scale);
    }
    flush_if_any();
}

static void icon_placeholder_draw(Vec3 position, Texture icon, Vec4 color) {
    bind_diffuse_texture(icon);
    batch_begin();
    editor.render.draw.color = linear(color);
    square_append(icon_billboard_matrix(position), FULL_UV);
    flush_if_any();
}

void draw_mesh_object(const SceneObject& object) {
    const Mesh* mesh = object.mesh.mesh;
    if (mesh) {
        set_matrices(transform_to_matrix(object.transform));
        mesh_draw(mesh);
        return;
    }
    icon_placeholder_draw(object.transform.position, editor.assets.icons[ICON_MESH], editor.theme.mesh_object_color);
}

void draw_data_object(const SceneObject& object) {
    icon_placeholder_draw(object.transform.position, editor.assets.icons[ICON_DATA], editor.theme.data_object_color);
}

// Kind dispatch shared by the object pass and the placement preview.
static void draw_object(SceneObject* object) {
    switch (object->kind) {
    case OBJECT_QUAD: draw_quad_object(*object); break;
    case OBJECT_TEXT: draw_text_object(*object); break;
    case OBJECT_MESH: draw_mesh_object(*object); break;
    case OBJECT_DATA:
        if (editor.tools.show_data_objects) draw_data_object(*object);
        break;
    case OBJECT_PATH: path_draw(object); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Text rectangles (highlight and picking)

Mat4 text_block_rectangle(const SceneObject& object, float* width, float* height) {
    const TextBlock& text = object.text;
    text_font_bind(text_font(text));
    editor.render.draw.align = TextAlign{ALIGN_LEFT, ALIGN_BOTTOM};
    float s = (float)(1 / text.pixels_per_unit);
    TextExtent extent = text_measure(text.text, s, s);
    *width = extent.width;
    *height = extent.height;
    Mat4 m = object_model_matrix(object.transform, text.billboard);
    float x = -(text.alignment.x * 0.5f + 0.5f) * extent.width;
    float y = -(text.alignment.y * 0.5f + 0.5f) * extent.height;
    return mat4_multiply(m, mat4_translation(x, y, 0));
}

void text_rectangle_append(Mat4 m, float width, float height, bool both_sides) {
    Vec3 p00 = mat4_transform_point(m, Vec3{0, 0, 0}), p10 = mat4_transform_point(m, Vec3{width, 0, 0});
    Vec3 p11 = mat4_transform_point(m, Vec3{width, height, 0}), p01 = mat4_transform_point(m, Vec3{0, height, 0});
    batch_append_quad(p00, p10, p11, p01, WHITE, WHITE, WHITE, WHITE, FULL_UV);
    if (both_sides) batch_append_quad(p01, p11, p10, p00, WHITE, WHITE, WHITE, WHITE, FULL_UV);
}

// ---------------------------------------------------------------------------
// Highlights

// The highlight cubes recolor the cube model's first material; the change
// stays in the model (the box preview relies on its texture).
static void cube_draw(Mat4 model, Vec4 color, bool white_texture) {
    Mesh* cube = &editor.assets.builtin[BUILTIN_CUBE];
    if (cube->material_count > 0) {
        if (white_texture) cube->materials[0].texture = editor.assets.icons[ICON_WHITE];
        cube->materials[0].color = color;
    }
    set_matrices(model);
    mesh_draw(cube);
}

static void highlight_draw(const SceneObject& object) {
    Vec4 color = editor.theme.selection_color;
    const Transform& t = object.transform;
    switch (object.kind) {
    case OBJECT_QUAD:
        cube_draw(mat4_multiply(object_model_matrix(t, object.quad.billboard), mat4_scale(1.1f, 1.1f, 0.3f)), color,
                  true);
        break;
    case OBJECT_MESH: {
        Vec3 lo{-1, -1, -1}, hi{1, 1, 1};
        if (object.mesh.mesh) {
            lo = object.mesh.mesh->bounds_min;
            hi = object.mesh.mesh->bounds_max;
        }
        Vec3 centre = vec3_scale(vec3_add(lo, hi), 0.5f);
        Vec3 size = vec3_scale(vec3_sub(hi, lo), 0.6f);
        Mat4 m = mat4_multiply(transform_to_matrix(t), mat4_translation(centre.x, centre.y, centre.z));
        cube_draw(mat4_multiply(m, mat4_scale(size.x, size.y, size.z)), color, true);
        break;
    }
    case OBJECT_DATA:
    case OBJECT_PATH: cube_draw(transform_to_matrix(t), color, true); break;
    case OBJECT_TEXT: {
        if (!text_block_has_size(object.text)) break;
        float width = 0, height = 0;
        Mat4 m = text_block_rectangle(object, &width, &height);
        bind_diffuse_texture(editor.assets.icons[ICON_WHITE]);
        batch_begin();
        editor.render.draw.color = linear(color);
        text_rectangle_append(m, width, height, true);
        flush_if_any();
        break;
    }
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Gizmo flags

// After the gizmo: a fresh viewport pick drops any drag, and the pick of the
// next frame learns whether a gizmo handle lies under the pointer.
static void gizmo_flags_update() {
    SelectionState& selection = editor.selection;
    if (editor.tools.selection_changed) gizmo_drop_drag(&selection.gizmo);
    editor.tools.selection_changed = false;
    const Gizmo& a = selection.gizmo;
    const Gizmo& b = selection.path_gizmo;
    editor.tools.pointer_free_of_gizmos =
        a.hovered == -1 && !a.uniform_hovered && b.hovered == -1 && !b.uniform_hovered;
}

// ---------------------------------------------------------------------------
// Placement previews

static void placement_previews_draw() {
    ViewportToolState& tools = editor.tools;
    SceneState& scene = editor.scene;
    if (tools.world_box_pending) {
        Vec3 a = tools.world_box_a, b = tools.world_box_b;
        Vec3 centre = vec3_scale(vec3_add(a, b), 0.5f);
        Vec3 half{(float)math_abs(b.x - a.x) * 0.5f, (float)math_abs(b.y - a.y) * 0.5f, (float)math_abs(b.z - a.z) * 0.5f};
        cube_draw(transform_to_matrix(Transform{centre, Rotor{1, 0, 0, 0}, half}), editor.theme.selection_color,
                  false);
    }
    if (!scene.placement_mode && !tools.path_mode) return;
    if (scene.placement_mode && !tools.world_box_pending) {
        SceneObject* preview = &scene.placement_template;
        if (preview->kind == OBJECT_PATH) {
            path_draw(preview);  // points are absolute: the cursor does not move them
        } else {
            SceneObject at_cursor = *preview;
            at_cursor.transform = tools.placement_cursor;
            draw_object(&at_cursor);
        }
    }
    Vec3 p = tools.placement_cursor.position;
    Mesh* sphere = &editor.assets.builtin[BUILTIN_SPHERE];
    if (sphere->material_count > 0) sphere->materials[0].color = CURSOR_COLOR;
    set_matrices(mat4_multiply(mat4_translation(p.x, p.y, p.z), mat4_scale(0.125f, 0.125f, 0.125f)));
    mesh_draw(sphere);
}

// ---------------------------------------------------------------------------
// The pass

void scene_render() {
    SceneState& scene = editor.scene;
    const SceneSettings& settings = scene.settings;
    pipeline_depth_enable(settings.depth);

    if (settings.wireframe) pipeline_polygon_mode(2, 1);
    path_point_gizmo_begin();
    for (int64_t i = 0; i < scene.rows.count; i++) {
        const HierarchyRow& row = scene.rows.data[i];
        if (row.group_end) continue;
        SceneObject* object = scene_find_object(row.object_id);
        if (!object || !object->visible) continue;
        draw_object(object);
    }
    if (settings.wireframe) pipeline_polygon_mode(2, 0);

    // Highlights and the gizmo show through everything in front of them.
    pipeline_depth_enable(false);
    for (int64_t i = 0; i < scene.rows.count; i++) {
        const HierarchyRow& row = scene.rows.data[i];
        if (row.group_end || !row.selected) continue;
        SceneObject* object = scene_find_object(row.object_id);
        if (!object || !object->visible) continue;
        highlight_draw(*object);
    }
    update_selection_transform();
    path_point_gizmo_end();
    pipeline_depth_enable(settings.depth);
    gizmo_flags_update();

    placement_previews_draw();
}
