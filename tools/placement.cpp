// Placement and path tools: the cursor on the reference plane, boxes,
// templates, new objects, path points added, removed and walked, and the
// selected point's gizmo. Relies on the scene records, the viewport tool
// state, the camera's mouse ray, the panels' hit test and the platform input.
#include "tools/placement.h"

#include <cmath>
#include <cstring>

#include "app/editor.h"
#include "app/panels.h"
#include "core/format.h"
#include "platform/platform.h"
#include "tools/gizmo.h"
#include "tools/selection.h"

static constexpr double PLANE_SPEED = 8;   // plane height units per second while Z or X is held

// ---------------------------------------------------------------------------
// Rules

static float snap_component(float v, float g) {
    if (g == 0) return v;
    return (float)(math_floor(v / g + 0.5) * g);
}

Vec3 placement_snap(Vec3 value, Vec3 step) {
    return Vec3{snap_component(value.x, step.x), snap_component(value.y, step.y), snap_component(value.z, step.z)};
}

Transform placement_box_transform(Vec3 a, Vec3 b) {
    Transform t;
    t.position = vec3_scale(vec3_add(a, b), 0.5f);
    t.rotation = Rotor{1, 0, 0, 0};
    t.scale = Vec3{(float)math_abs(b.x - a.x) * 0.5f, (float)math_abs(b.y - a.y) * 0.5f,
                   (float)math_abs(b.z - a.z) * 0.5f};
    return t;
}

ObjectKind placement_kind_step(ObjectKind kind, int32_t step) {
    int32_t k = ((int32_t)kind + step) % OBJECT_KIND_COUNT;
    if (k < 0) k += OBJECT_KIND_COUNT;
    return (ObjectKind)k;
}

static bool vec3_finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

PathPoint path_point_make(Vec3 position, Vec3 previous) {
    Vec3 u = vec3_normalize(vec3_sub(position, previous));
    PathPoint point{position, vec3_sub(position, u), vec3_add(position, u)};
    // Points far apart overflow the difference; a NaN handle would spread
    // into every curve sample, the file and the export.
    if (!vec3_finite(point.a) || !vec3_finite(point.b)) point.a = point.b = position;
    return point;
}

static int64_t wrap_index(int64_t index, int64_t count) {
    if (count <= 0) return 0;
    int64_t i = index % count;
    return i < 0 ? i + count : i;
}

bool path_point_add(PathBlock* path, Vec3 position, bool insert) {
    Array<PathPoint>& points = path->points;
    Vec3 last = points.count > 0 ? points.data[points.count - 1].position : Vec3{0, 0, 0};
    PathPoint point = path_point_make(position, last);
    if (!insert) return array_push(&points, point) >= 0;
    path->index = wrap_index(path->index, points.count);
    return array_insert(&points, path->index, point) >= 0;
}

bool path_point_remove(PathBlock* path) {
    if (path->points.count == 0) return false;
    path->index = wrap_index(path->index, path->points.count);
    array_remove(&path->points, path->index);
    return true;
}

void path_wheel_step(PathBlock* path, int32_t step, bool parts) {
    int32_t s = step > 0 ? 1 : step < 0 ? -1 : 0;
    if (!parts) {
        path->index += s;
        return;
    }
    int64_t sub = path->sub_index + s;
    if (sub < 0) {
        path->index--;
        path->sub_index = 2;
    } else if (sub > 2) {
        path->index++;
        path->sub_index = 0;
    } else {
        path->sub_index = sub;
    }
}

void path_selection_wrap(PathBlock* path) {
    if (path->points.count == 0) {
        path->index = 0;
        if (!path->bezier) path->sub_index = 0;
        return;
    }
    path->index = wrap_index(path->index, path->points.count);
    if (!path->bezier) path->sub_index = 0;
}

Vec3* path_selected_target(PathBlock* path) {
    if (path->points.count == 0) return nullptr;
    PathPoint* point = &path->points.data[wrap_index(path->index, path->points.count)];
    if (!path->bezier) return &point->position;
    switch (path->sub_index) {
    case 1: return &point->a;
    case 2: return &point->b;
    default: return &point->position;
    }
}

void path_point_follow(PathPoint* point, Vec3 before, int64_t sub_index, bool changed, bool alone) {
    Vec3 da = vec3_sub(point->a, before), db = vec3_sub(point->b, before);
    if (changed && !alone) {
        if (sub_index == 1) db = vec3_negate(da);
        if (sub_index == 2) da = vec3_negate(db);
    }
    Vec3 q1 = point->position;
    point->a = vec3_add(q1, da);
    point->b = vec3_add(q1, db);
}

// ---------------------------------------------------------------------------
// Editor state

static bool over_viewport() {
    return panel_owns_point(-1, editor.mouse_x, editor.mouse_y) && input_enable_top() != 0;
}

static bool tool_mode_on() { return editor.scene.placement_mode || editor.tools.path_mode; }

// The one selected row's object; null when zero or several rows are selected.
static SceneObject* single_selected_object() {
    const Array<HierarchyRow>& rows = editor.scene.rows;
    int64_t found = -1;
    for (int64_t i = 0; i < rows.count; i++) {
        if (!rows.data[i].selected) continue;
        if (found >= 0) return nullptr;
        found = i;
    }
    return found >= 0 ? scene_find_object(rows.data[found].object_id) : nullptr;
}

static SceneObject* selected_path() {
    SceneObject* object = single_selected_object();
    return object && object->kind == OBJECT_PATH ? object : nullptr;
}

static SceneObject* edited_object() { return scene_ref_object(editor.tools.edited_object); }
static void edited_object_set(SceneObject* object) {
    if (!object) editor.tools.edited_object = scene_ref_none();
    else if (object == &editor.scene.placement_template) editor.tools.edited_object = scene_ref_template();
    else editor.tools.edited_object = scene_ref_object_id(object->id);
}

// The mouse ray against the plane {p : normal . p = d}.
static bool cursor_plane_hit(Vec3 normal, float d, Vec3* hit) {
    if (editor.window_width == 0 || editor.window_height == 0) return false;
    Vec2 pointer{2 * editor.mouse_x / (float)editor.window_width - 1,
                 2 * editor.mouse_y / (float)editor.window_height - 1};
    const Camera& camera = editor.camera;
    Mat3 r = camera_orientation(camera);
    Vec3 right = mat3_column(r, 0), up = mat3_column(r, 1);
    Vec3 forward = vec3_negate(mat3_column(r, 2));
    float aspect = (float)editor.window_width / (float)editor.window_height;
    Vec3 origin, direction;
    if (editor_mode_2d()) {
        origin = vec3_add(camera.position, vec3_scale(right, camera.zoom * aspect * pointer.x));
        origin = vec3_add(origin, vec3_scale(up, camera.zoom * pointer.y));
        origin.z = camera.far_plane;
        direction = forward;
    } else {
        double half = camera.fov * 0.5 * 0.017453292519943295;
        float tangent = (float)(std::sin(half) / std::cos(half));
        direction = vec3_scale(forward, 1 / tangent);
        direction = vec3_add(direction, vec3_scale(right, aspect * pointer.x));
        direction = vec3_normalize(vec3_add(direction, vec3_scale(up, pointer.y)));
        origin = camera.position;
    }
    float s = 0;
    return ray_plane_intersect(normal, d, origin, direction, hit, &s);
}

// ---------------------------------------------------------------------------
// Modes, kinds and templates

void placement_mode_toggle() {
    editor.scene.placement_mode = !editor.scene.placement_mode;
    editor.tools.path_mode = false;
}

void path_mode_toggle() {
    editor.tools.path_mode = !editor.tools.path_mode;
    editor.scene.placement_mode = false;
}

// The edited object becomes the template of its kind: the kind block and the
// data text in storage of their own, so later edits of the object leave the
// template alone.
static void template_pick_up(const SceneObject& source) {
    SceneState& scene = editor.scene;
    SceneObject copy = source;
    if (copy.kind >= OBJECT_KIND_COUNT || !scene_object_own_storage(&copy)) {
        print(S("out of memory: the template was not picked up\n"));
        return;
    }
    SceneTemplates& templates = scene.templates;
    switch (copy.kind) {
    case OBJECT_QUAD: templates.quad = copy.quad; break;
    case OBJECT_TEXT: templates.text = copy.text; break;
    case OBJECT_MESH: templates.mesh = copy.mesh; break;
    case OBJECT_PATH: templates.path = copy.path; break;
    default: break;
    }
    templates.data = copy.data;
    copy.id = -1;  // the preview is no object of the scene
    scene.placement_template = copy;
    scene.placement_mode = true;
    editor.tools.path_mode = false;
}

static void mode_and_kind_keys() {
    SceneState& scene = editor.scene;
    if (input_key_is_pressed(KEY_TAB)) placement_mode_toggle();
    if (input_key_is_pressed(key_letter('T'))) path_mode_toggle();
    if (input_key_is_pressed(key_letter('P')) && !scene.placement_mode && edited_object()) {
        template_pick_up(*edited_object());
    }
    ObjectKind kind = scene.placement_template.kind;
    if (input_key_is_pressed(key_letter('N'))) kind = placement_kind_step(kind, -1);
    if (input_key_is_pressed(key_letter('M'))) kind = placement_kind_step(kind, +1);
    if (kind != scene.placement_template.kind) placement_template_set_kind(&scene, kind);
}

// ---------------------------------------------------------------------------
// Placement

static void cursor_update() {
    SceneState& scene = editor.scene;
    const SceneSettings& settings = scene.settings;
    Vec3 hit;
    if (!cursor_plane_hit(settings.plane_normal, (float)settings.plane_height, &hit)) return;
    // A ray grazing the plane meets it beyond any float: keep the last place.
    if (!vec3_finite(hit)) return;
    if (settings.snapping) hit = placement_snap(hit, settings.snap_size);
    editor.tools.placement_cursor.position = hit;
}

static void object_place() {
    ViewportToolState& tools = editor.tools;
    if (tools.world_box_pending) {
        tools.placement_cursor = placement_box_transform(tools.world_box_a, tools.world_box_b);
        tools.world_box_pending = false;
    }
    scene_create_object(editor.scene.placement_template.kind, tools.placement_cursor);
}

// Placement mode edits the template; otherwise the one selected object (in
// path mode: the path being edited). Chosen afresh each frame, so no pointer
// into the scene outlives a change of it.
static void edited_object_choose() {
    SceneState& scene = editor.scene;
    if (scene.placement_mode) edited_object_set(&scene.placement_template);
    else edited_object_set(single_selected_object());
}

void placement_update() {
    SceneState& scene = editor.scene;
    ViewportToolState& tools = editor.tools;
    edited_object_choose();
    mode_and_kind_keys();
    edited_object_choose();

    if (!tool_mode_on()) {
        // A box started in a mode that has since been left sizes the object.
        SceneObject* object = edited_object();
        if (tools.world_box_pending && object && input_mouse_is_pressed(MOUSE_PRIMARY) && over_viewport()) {
            object->transform = placement_box_transform(tools.world_box_a, tools.world_box_b);
            tools.world_box_pending = false;
            scene.scene_modified = true;
        }
        return;
    }

    if (input_key_is_pressed(key_letter('B'))) {
        tools.world_box_pending = true;
        tools.world_box_a = tools.placement_cursor.position;
    }
    if (tools.world_box_pending) tools.world_box_b = tools.placement_cursor.position;

    if (scene.placement_mode) {
        placement_template_set_kind(&scene, scene.placement_template.kind);
        scene.placement_template.transform = tools.placement_cursor;
    }

    // With Control, Z is undo (and X left to shortcuts): the plane stays.
    if (!input_key_is_held(KEY_CONTROL)) {
        if (input_key_is_held(key_letter('Z'))) scene.settings.plane_height += PLANE_SPEED * editor.timestep;
        if (input_key_is_held(key_letter('X'))) scene.settings.plane_height -= PLANE_SPEED * editor.timestep;
    }
    cursor_update();

    bool add = (input_mouse_is_pressed(MOUSE_PRIMARY) && over_viewport()) || input_key_is_pressed(KEY_SPACE);
    if (add && scene.placement_mode) object_place();
}

// ---------------------------------------------------------------------------
// Paths

void path_tool_update() {
    SceneState& scene = editor.scene;
    ViewportToolState& tools = editor.tools;
    if (tools.path_mode) {
        bool remove =
            (input_mouse_is_pressed(MOUSE_SECONDARY) && over_viewport()) || input_key_is_pressed(KEY_DELETE);
        SceneObject* path = selected_path();
        if (remove && path && path_point_remove(&path->path)) scene.scene_modified = true;
        bool add = (input_mouse_is_pressed(MOUSE_PRIMARY) && over_viewport()) || input_key_is_pressed(KEY_SPACE);
        // Found again: the removal above leaves the record where it was, but
        // nothing here keeps a point or object pointer past a change.
        path = selected_path();
        if (add && path) {
            bool insert = input_key_is_held(KEY_CONTROL);
            if (path_point_add(&path->path, tools.placement_cursor.position, insert)) scene.scene_modified = true;
            else print(S("out of memory: the point was not added\n"));
        }
    }

    int32_t wheel = input_mouse_wheel();
    SceneObject* edited = edited_object();
    if (wheel != 0 && edited && edited->kind == OBJECT_PATH && panel_owns_point(-1, editor.mouse_x, editor.mouse_y)) {
        path_wheel_step(&edited->path, wheel, !tools.path_mode && edited->path.bezier);
    }
}

void viewport_tools_update() {
    placement_update();
    path_tool_update();
}

// ---------------------------------------------------------------------------
// The point gizmo

// What the point gizmo's frame leaves for its drawing after the objects:
// values only, taken and used within one scene pass.
struct PointGizmoFrame {
    bool ran;            // a path ran the gizmo in this pass
    GizmoFrame frame;
    Transform transform;
    GizmoInput input;
};
static PointGizmoFrame point_gizmo_frame;

static bool gizmo_dragging(const Gizmo& gizmo) { return gizmo.active != -1 || gizmo.uniform_dragging; }

bool path_gizmo_holds_pointer() {
    const Gizmo& gizmo = editor.selection.path_gizmo;
    return gizmo.hovered != -1 || gizmo.uniform_hovered || gizmo_dragging(gizmo);
}

void path_point_gizmo_begin() {
    Gizmo& gizmo = editor.selection.path_gizmo;
    gizmo.hovered = -1;
    gizmo.uniform_hovered = false;
    point_gizmo_frame.ran = false;
}

void path_point_gizmo_end() {
    Gizmo& gizmo = editor.selection.path_gizmo;
    if (!point_gizmo_frame.ran) {
        // The path it served was not drawn (deselected, hidden, deleted, a
        // mode turned on): a drag may not wait for a release it never sees.
        gizmo_drop_drag(&gizmo);
        gizmo.shown = false;
        return;
    }
    gizmo_draw(gizmo, point_gizmo_frame.frame, point_gizmo_frame.transform, point_gizmo_frame.input);
    point_gizmo_frame.ran = false;
}

void path_point_gizmo(SceneObject* path) {
    SelectionState& selection = editor.selection;
    PathBlock& block = path->path;
    bool is_template = path == &editor.scene.placement_template;
    bool edited = path == edited_object();

    // A marker picked on this path names the part the gizmo acts on. A pick
    // of another object leaves the value for the path it came from.
    bool handed_off = false;
    if (selection.picked_sub_id != -1 && edited && !is_template && selection.picked_object_id == path->id) {
        int64_t sub = selection.picked_sub_id;
        block.index = sub / 3;
        block.sub_index = sub % 3;
        selection.picked_sub_id = -1;
        handed_off = true;
    }
    path_selection_wrap(&block);

    // Placement mode's click places objects, path mode's adds points: the
    // gizmo serves only outside both.
    if (editor.tools.path_mode || editor.scene.placement_mode || !edited || is_template) return;
    if (block.points.count == 0) return;

    GizmoInput input = gizmo_input_read();
    // A point has neither rotation nor scale: its gizmo always moves it.
    input.mode = GIZMO_POSITION;
    // The press that picked a marker moves the gizmo onto it; it must not
    // start a drag there as well. A drag of the selection's gizmo keeps the
    // pointer to itself.
    if (handed_off) input.pressed = false;
    if (gizmo_dragging(selection.gizmo)) {
        input.pressed = false;
        input.enabled = false;
    }

    PathPoint* point = &block.points.data[block.index];
    Vec3* target = path_selected_target(&block);
    Vec3 before = point->position;
    Vec3 old_target = *target;
    Transform transform{old_target, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
    selection.path_gizmo.shown = true;
    GizmoFrame frame = gizmo_step(&selection.path_gizmo, mat4_identity(), &transform, input);
    *target = transform.position;
    bool changed = std::memcmp(&old_target, &transform.position, sizeof(Vec3)) != 0;
    // Untouched, the handles are left bit for bit: carrying them by a zero
    // move would still round them a little every frame.
    if (changed) {
        if (block.bezier) {
            path_point_follow(point, before, block.sub_index, true, input_key_is_held(KEY_CONTROL));
        }
        editor.scene.scene_modified = true;
    }
    point_gizmo_frame.ran = true;
    point_gizmo_frame.frame = frame;
    point_gizmo_frame.transform = transform;
    point_gizmo_frame.input = input;
}
