// Selection and picking: the viewport pick (click, Ctrl toggle, boxes) read
// from the picking image in strips, the combined selection transform with
// its gizmo, the change carried back about each origin or the common
// centre, and duplication with key C. Relies on the scene, render/targets,
// tools/gizmo, the panels and the platform's input and read-back.
#include "tools/selection.h"

#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/scene_render.h"
#include "tools/placement.h"
#include "ui/quad.h"

SelectionState selection_state_default() {
    SelectionState state{};
    state.gizmo = gizmo_default();
    state.path_gizmo = gizmo_default();
    state.picked_sub_id = -1;
    state.picked_object_id = -1;
    return state;
}

// ---------------------------------------------------------------------------
// Picking

static PickRegion region_clipped(int64_t left, int64_t bottom, int64_t width, int64_t height, int32_t window_width,
                                 int32_t window_height) {
    int64_t right = left + width, top = bottom + height;
    if (left < 0) left = 0;
    if (bottom < 0) bottom = 0;
    if (right > window_width) right = window_width;
    if (top > window_height) top = window_height;
    PickRegion region{};
    region.x = (int32_t)(left < window_width ? left : window_width);
    region.y = (int32_t)(bottom < window_height ? bottom : window_height);
    region.width = right > left ? (int32_t)(right - left) : 0;
    region.height = top > bottom ? (int32_t)(top - bottom) : 0;
    return region;
}

PickRegion pick_region(bool box, Vec2 box_start, Vec2 pointer, int32_t window_width, int32_t window_height) {
    if (!box) return region_clipped((int64_t)pointer.x, (int64_t)pointer.y, 1, 1, window_width, window_height);
    float x0 = box_start.x < pointer.x ? box_start.x : pointer.x;
    float y0 = box_start.y < pointer.y ? box_start.y : pointer.y;
    float w = box_start.x < pointer.x ? pointer.x - box_start.x : box_start.x - pointer.x;
    float h = box_start.y < pointer.y ? pointer.y - box_start.y : box_start.y - pointer.y;
    // The part of a box outside the image has no pixels to read (their
    // contents would be undefined), so it is cut off.
    return region_clipped((int64_t)x0, (int64_t)y0, (int64_t)w, (int64_t)h, window_width, window_height);
}

void pick_pixels_apply(const uint16_t* pixels, int64_t count, bool single_pixel) {
    SceneState& scene = editor.scene;
    for (int64_t i = 0; i < count; i++) {
        const uint16_t* p = pixels + 4 * i;
        int64_t row = ((int64_t)p[1] * 65536 + p[0]) - 1;
        if (row < 0 || row >= scene.rows.count) continue;
        HierarchyRow& target = scene.rows.data[row];
        if (target.group_end) {
            format_print(S("%. this should not happen!\n"), {fmt_int(row)});
        } else if (single_pixel) {
            target.selected = !target.selected;
        } else {
            target.selected = true;
        }
        editor.selection.picked_sub_id = (int64_t)p[3] * 65536 + p[2];
        editor.selection.picked_object_id = target.object_id;
    }
}

void pick_region_read(PickRegion region, int64_t chunk_pixels) {
    int64_t width = region.width, height = region.height;
    int64_t total = width * height;
    if (total <= 0) return;
    bool single = total == 1;
    if (chunk_pixels < 1) chunk_pixels = 1;
    if (chunk_pixels > total) chunk_pixels = total;

    // A full-window box on a large screen outgrows the frame pool (8 bytes a
    // pixel); reading in strips keeps one pass's order and result.
    PoolMark mark = pool_mark(POOL_FRAME);
    Pool* pool = pool_get(POOL_FRAME);
    int64_t room = pool ? (pool->capacity - pool->used) / 8 - 8 : 0;
    if (chunk_pixels > room) chunk_pixels = room;
    uint16_t stack_block[4 * 256];
    uint16_t* buffer = chunk_pixels > 256 ? pool_alloc_array<uint16_t>(POOL_FRAME, 4 * chunk_pixels) : nullptr;
    if (!buffer) {
        buffer = stack_block;
        if (chunk_pixels > 256 || chunk_pixels < 1) chunk_pixels = 256;
    }

    if (chunk_pixels >= width) {
        int64_t rows = chunk_pixels / width;
        for (int64_t y = 0; y < height; y += rows) {
            int64_t strip = height - y < rows ? height - y : rows;
            pipeline_read_pixels(region.x, (int32_t)(region.y + y), (int32_t)width, (int32_t)strip, 8, 1, buffer);
            pick_pixels_apply(buffer, width * strip, single);
        }
    } else {
        for (int64_t y = 0; y < height; y++) {
            for (int64_t x = 0; x < width; x += chunk_pixels) {
                int64_t run = width - x < chunk_pixels ? width - x : chunk_pixels;
                pipeline_read_pixels((int32_t)(region.x + x), (int32_t)(region.y + y), (int32_t)run, 1, 8, 1, buffer);
                pick_pixels_apply(buffer, run, single);
            }
        }
    }
    pool_restore(mark);
}

// The strips are sized from what the frame pool has left, capped so one
// read stays a few megabytes.
static const int64_t PICK_CHUNK_PIXELS = 1 << 19;

void pick_in_viewport() {
    SceneState& scene = editor.scene;
    SelectionState& selection = editor.selection;
    if (scene.placement_mode || editor.tools.path_mode) return;
    Vec2 pointer{editor.mouse_x, editor.mouse_y};
    if (editor.viewport_keys && input_key_is_pressed(key_letter('B'))) {
        selection.box_pending = true;
        selection.box_start = pointer;
    }
    if (!input_mouse_is_pressed(MOUSE_PRIMARY)) return;
    if (input_enable_top() == 0 || !editor.tools.pointer_free_of_gizmos) return;
    if (!panel_owns_point(-1, pointer.x, pointer.y)) return;

    bool box = selection.box_pending;
    selection.box_pending = false;
    PickRegion region = pick_region(box, selection.box_start, pointer, editor.window_width, editor.window_height);
    pick_apply(region, input_key_is_held(KEY_CONTROL));
}

void pick_apply(PickRegion region, bool add) {
    SceneState& scene = editor.scene;
    if (!add) {
        for (int64_t i = 0; i < scene.rows.count; i++) scene.rows.data[i].selected = false;
    }
    editor.tools.selection_changed = true;
    frame_buffer_bind(1, editor.render.picking_target.frame_buffer);
    pick_region_read(region, PICK_CHUNK_PIXELS);
    frame_buffer_unbind(1);
}

void selection_box_draw() {
    SelectionState& selection = editor.selection;
    if (editor.scene.placement_mode || !selection.box_pending) return;
    float x0 = selection.box_start.x, y0 = selection.box_start.y, x1 = editor.mouse_x, y1 = editor.mouse_y;
    float x = x0 < x1 ? x0 : x1, y = y0 < y1 ? y0 : y1;
    float w = x0 < x1 ? x1 - x0 : x0 - x1, h = y0 < y1 ? y1 - y0 : y0 - y1;
    quad_draw(editor.assets.icons[ICON_WHITE], editor.theme.selection_color, x, y, w, h);
}

// ---------------------------------------------------------------------------
// The combined transform

// The object a row stands for in the combined transform: selected, found
// and visible. Hidden objects stay selected but take no part.
static SceneObject* counted_object(const HierarchyRow& row) {
    if (!row.selected || row.group_end) return nullptr;
    SceneObject* object = scene_find_object(row.object_id);
    return object && object->visible ? object : nullptr;
}

static bool rotor_equal(Rotor a, Rotor b) { return a.s == b.s && a.xy == b.xy && a.xz == b.xz && a.yz == b.yz; }

// W_new x W_old^-1; with a zero scale component W_old has no inverse, and
// that component's ratio is taken as 1 instead of collapsing every object
// onto one point.
static Mat4 centre_change(const Transform& old_combined, const Transform& new_combined) {
    Mat4 old_inverse = mat4_inverse(transform_to_matrix(old_combined));
    bool singular = true;
    for (int i = 0; i < 16; i++) {
        if (old_inverse.m[i] != 0) singular = false;
    }
    if (!singular) return mat4_multiply(transform_to_matrix(new_combined), old_inverse);
    Vec3 o = old_combined.position, n = new_combined.position, so = old_combined.scale, sn = new_combined.scale;
    Vec3 ratio{so.x != 0 ? sn.x / so.x : 1, so.y != 0 ? sn.y / so.y : 1, so.z != 0 ? sn.z / so.z : 1};
    Mat4 m = mat4_translation(n.x, n.y, n.z);
    m = mat4_multiply(m, mat4_from_mat3(rotor_to_mat3(rotor_normalize(new_combined.rotation))));
    m = mat4_multiply(m, mat4_scale(ratio.x, ratio.y, ratio.z));
    m = mat4_multiply(m, mat4_from_mat3(mat3_transpose(rotor_to_mat3(rotor_normalize(old_combined.rotation)))));
    return mat4_multiply(m, mat4_translation(-o.x, -o.y, -o.z));
}

void selection_carry(const Transform& old_combined, const Transform& new_combined, int64_t row_end) {
    SceneState& scene = editor.scene;
    bool per_object = scene.pivot_per_object;
    bool turned = !rotor_equal(old_combined.rotation, new_combined.rotation);
    Vec3 moved = vec3_sub(new_combined.position, old_combined.position);
    Vec3 scaled = vec3_sub(new_combined.scale, old_combined.scale);
    // The turn as a change of the combined rotation: applied after each
    // object's own rotation it turns every object alike, whatever its start.
    Rotor delta = rotor_multiply(rotor_reverse(old_combined.rotation), new_combined.rotation);
    bool carry_rotation = turned && (per_object || !editor.selection.position_fields_focused);
    Mat4 change = per_object ? mat4_identity() : centre_change(old_combined, new_combined);
    for (int64_t i = 0; i < row_end && i < scene.rows.count; i++) {
        SceneObject* object = counted_object(scene.rows.data[i]);
        if (!object) continue;
        Transform& t = object->transform;
        if (per_object) {
            t.position = vec3_add(t.position, moved);
            if (carry_rotation) t.rotation = rotor_normalize(rotor_multiply(t.rotation, delta));
        } else {
            t.position = mat4_transform_point(change, t.position);
            // Unit delta keeps the object's own rotor length.
            if (carry_rotation) t.rotation = rotor_multiply(t.rotation, delta);
        }
        t.scale = vec3_add(t.scale, scaled);
    }
}

static bool transform_equal(const Transform& a, const Transform& b) {
    return std::memcmp(&a, &b, sizeof(Transform)) == 0;
}

void update_selection_transform() {
    SceneState& scene = editor.scene;
    SelectionState& selection = editor.selection;
    int64_t row_end = scene.rows.count;

    Vec3 position_sum{0, 0, 0}, scale_sum{0, 0, 0};
    Rotor rotation_sum{0, 0, 0, 0};
    int64_t count = 0;
    bool all_billboards = true;
    for (int64_t i = 0; i < row_end; i++) {
        const SceneObject* object = counted_object(scene.rows.data[i]);
        if (!object) continue;
        const Transform& t = object->transform;
        position_sum = vec3_add(position_sum, t.position);
        rotation_sum = Rotor{rotation_sum.s + t.rotation.s, rotation_sum.xy + t.rotation.xy,
                             rotation_sum.xz + t.rotation.xz, rotation_sum.yz + t.rotation.yz};
        scale_sum = vec3_add(scale_sum, t.scale);
        bool billboard = (object->kind == OBJECT_QUAD && object->quad.billboard) ||
                         (object->kind == OBJECT_TEXT && object->text.billboard);
        if (!billboard) all_billboards = false;
        count++;
    }
    selection.gizmo.shown = false;
    if (count == 0) {
        // Not run this frame: a hover left from the last run would keep
        // every viewport click from picking.
        selection.gizmo.hovered = -1;
        selection.gizmo.uniform_hovered = false;
        return;
    }

    float n = (float)count;
    Transform old_combined;
    old_combined.position = Vec3{position_sum.x / n, position_sum.y / n, position_sum.z / n};
    old_combined.rotation = rotor_normalize(
        Rotor{rotation_sum.s / n, rotation_sum.xy / n, rotation_sum.xz / n, rotation_sum.yz / n});
    old_combined.scale = Vec3{scale_sum.x / n, scale_sum.y / n, scale_sum.z / n};

    // Billboards are turned and scaled in the camera's frame.
    Mat4 parent = mat4_identity();
    if (all_billboards && scene.gizmo_mode != GIZMO_POSITION) {
        Vec3 p = old_combined.position;
        parent = mat4_multiply(mat4_translation(p.x, p.y, p.z), camera_rotation_matrix());
        parent = mat4_multiply(parent, mat4_translation(-p.x, -p.y, -p.z));
    }

    selection.gizmo.shown = true;
    Transform new_combined = old_combined;
    GizmoInput input = gizmo_input_read();
    // The path point's gizmo ran first in this pass: where its handles are
    // under the pointer they take the press (they are the smaller target,
    // often inside this gizmo's reach); a drag of this gizmo goes on.
    bool own_drag = selection.gizmo.active != -1 || selection.gizmo.uniform_dragging;
    if (!own_drag && path_gizmo_holds_pointer()) {
        input.pressed = false;
        input.enabled = false;
    }
    GizmoFrame frame = gizmo_step(&selection.gizmo, parent, &new_combined, input);
    gizmo_draw(selection.gizmo, frame, new_combined, input);
    // Nothing changed: leave every object bit for bit as it is (carrying an
    // unchanged transform through a matrix inverse would creep).
    if (!transform_equal(old_combined, new_combined)) selection_carry(old_combined, new_combined, row_end);

    // Copies take the transforms just written and the selection moves onto
    // them, so a drag goes on with the copies and the originals stay behind.
    if (editor.viewport_keys && input_key_is_pressed(key_letter('C'))) {
        for (int64_t i = 0; i < row_end; i++) {
            if (counted_object(scene.rows.data[i])) scene_duplicate_row(i);
        }
    }
}
