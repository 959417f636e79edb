// Transform gizmos: set-up, hit tests in handle order, press / drag /
// release for axes, planes, rings, the uniform-scale sphere and rectangle
// corners, snapping, and the handles drawn with the built-in models. Relies
// on math/, the camera, render/draw, the panels and the platform's input.
#include "tools/gizmo.h"

#include "app/editor.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/shader.h"

// ---------------------------------------------------------------------------
// Section index: colors and small helpers; the mouse ray; frame set-up;
// handles by mode; drawing; the editor entry points.

static const Vec4 AXIS_COLORS[3] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
static const Vec4 AXIS_HOVER_COLORS[3] = {{1, 0.5f, 0.5f, 1}, {0.5f, 1, 0.5f, 1}, {0.5f, 0.5f, 1, 1}};
static const Vec4 HIGHLIGHT_COLOR{1, 1, 0, 0.5f};
static const Vec4 CORNER_COLOR{1, 0.8f, 0, 1};
static const Vec4 CORNER_HOVER_COLOR{1, 1, 0.5f, 1};

// Corner i of the rectangle mode: x sign, y sign.
static const float CORNER_SIGNS[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
// The two axes spanning plane handles 3, 4, 5: YZ, XZ (Z then X), XY.
static const int PLANE_AXES[3][2] = {{1, 2}, {2, 0}, {0, 1}};

Gizmo gizmo_default() {
    Gizmo gizmo{};
    gizmo.active = -1;
    gizmo.hovered = -1;
    gizmo.start_rotation = rotor_identity();
    return gizmo;
}

void gizmo_drop_drag(Gizmo* gizmo) {
    gizmo->active = -1;
    gizmo->uniform_dragging = false;
}

static float snap_step(float v, float step) {
    if (step == 0) return v;
    return (float)math_floor(v / step + 0.5f) * step;
}

static Vec3 snap_vec3(Vec3 v, Vec3 step) {
    return Vec3{snap_step(v.x, step.x), snap_step(v.y, step.y), snap_step(v.z, step.z)};
}

static Vec3 unit_axis(int a) {
    Vec3 e{0, 0, 0};
    if (a == 0) e.x = 1;
    else if (a == 1) e.y = 1;
    else e.z = 1;
    return e;
}

// Clip space to normalised device coordinates; no division when w is 0.
static Vec2 project(const Mat4& view_projection, Vec3 p) {
    Vec4 clip = mat4_transform_vec4(view_projection, Vec4{p.x, p.y, p.z, 1});
    if (clip.w != 0) return Vec2{clip.x / clip.w, clip.y / clip.w};
    return Vec2{clip.x, clip.y};
}

static bool ray_hit_plane(const GizmoInput& input, Vec3 normal, Vec3 through, Vec3* hit) {
    float s = 0;
    return ray_plane_intersect(normal, vec3_dot(normal, through), input.ray_origin, input.ray_direction, hit, &s);
}

// ---------------------------------------------------------------------------
// The mouse ray

Vec2 mouse_pointer_ndc() {
    if (editor.window_width == 0 || editor.window_height == 0) return Vec2{0, 0};
    return Vec2{2 * editor.mouse_x / (float)editor.window_width - 1, 2 * editor.mouse_y / (float)editor.window_height - 1};
}

void mouse_ray_for(Vec2 pointer, int32_t window_width, int32_t window_height, bool mode_2d, Vec3* origin,
                   Vec3* direction) {
    const Camera& camera = editor.camera;
    Mat3 r = camera_orientation(camera);
    Vec3 right = mat3_column(r, 0), up = mat3_column(r, 1);
    Vec3 forward = vec3_negate(mat3_column(r, 2));  // the camera looks down its -z
    float aspect = window_height != 0 ? (float)window_width / (float)window_height : 1.0f;
    if (mode_2d) {
        Vec3 o = vec3_add(camera.position, vec3_scale(right, camera.zoom * aspect * pointer.x));
        o = vec3_add(o, vec3_scale(up, camera.zoom * pointer.y));
        o.z = camera.far_plane;
        *origin = o;
        *direction = forward;
        return;
    }
    double half = camera.fov * 0.5 * DEGREES_TO_RADIANS;
    float tangent = (float)(math_sin(half) / math_cos(half));
    Vec3 d{forward.x / tangent, forward.y / tangent, forward.z / tangent};
    d = vec3_add(d, vec3_scale(right, aspect * pointer.x));
    d = vec3_add(d, vec3_scale(up, pointer.y));
    *origin = camera.position;
    *direction = vec3_normalize(d);
}

Vec3 mouse_ray_origin() {
    Vec3 origin, direction;
    mouse_ray_for(mouse_pointer_ndc(), editor.window_width, editor.window_height, editor_mode_2d(), &origin, &direction);
    return origin;
}

Vec3 mouse_ray_direction() {
    Vec3 origin, direction;
    mouse_ray_for(mouse_pointer_ndc(), editor.window_width, editor.window_height, editor_mode_2d(), &origin, &direction);
    return direction;
}

bool mouse_plane_hit(Vec3 normal, float d, Vec3* hit) {
    Vec3 origin, direction;
    mouse_ray_for(mouse_pointer_ndc(), editor.window_width, editor.window_height, editor_mode_2d(), &origin, &direction);
    float s = 0;
    return ray_plane_intersect(normal, d, origin, direction, hit, &s);
}

// ---------------------------------------------------------------------------
// Frame set-up

static Mat3 orthonormalised(Mat3 m) {
    Vec3 x = vec3_normalize(mat3_column(m, 0));
    Vec3 y = mat3_column(m, 1);
    y = vec3_normalize(vec3_sub(y, vec3_scale(x, vec3_dot(y, x))));
    return mat3_from_columns(x, y, vec3_cross(x, y));
}

GizmoFrame gizmo_frame(uint8_t mode, Mat4 parent, const Transform& transform, const GizmoInput& input) {
    GizmoFrame frame{};
    frame.parent = parent;
    frame.origin = mat4_transform_point(parent, transform.position);
    Mat3 m3 = mat3_from_mat4(parent);
    Mat3 upright = orthonormalised(m3);
    Mat3 axes = m3;
    if (mode == GIZMO_ROTATION) axes = mat3_multiply(upright, rotor_to_mat3(transform.rotation));
    else if (mode != GIZMO_POSITION) axes = mat3_multiply(m3, rotor_to_mat3(transform.rotation));
    for (int a = 0; a < 3; a++) frame.axes[a] = vec3_normalize(mat3_column(axes, a));
    frame.parent_inverse = mat3_inverse(m3);
    frame.rotation_inverse = mat3_inverse(upright);

    Vec3 seen = frame.origin;
    if (input.mode_2d) seen.z = 0;
    float along = vec3_dot(vec3_sub(seen, input.camera_position), input.camera_forward);
    frame.size = (along < 0 ? -along : along) * 0.25f;
    return frame;
}

// ---------------------------------------------------------------------------
// Axis handles (position and scale modes)

static bool axis_hovered(const GizmoInput& input, Vec3 p0, Vec3 p1, float reach) {
    Vec2 a = project(input.view_projection, p0), b = project(input.view_projection, p1);
    Vec2 d = vec2_sub(b, a), r = vec2_sub(input.pointer, a);
    float length_squared = d.x * d.x + d.y * d.y;
    // A projected axis of zero length leaves a zero direction for the
    // sideways test instead of dividing by zero.
    Vec3 unit = vec3_normalize(Vec3{d.x, d.y, 0});
    float across = -unit.y * r.x + unit.x * r.y;
    float along = (r.x * d.x + r.y * d.y) / (length_squared > 0.001f ? length_squared : 0.001f);
    float band = 32.0f / (float)input.window_height;
    return across > -band && across < band && along > 0 && along < 1 + reach;
}

// Where the pointer lies along the axis, in axis lengths from p0, through
// the plane that holds the axis and faces the viewer.
static bool axis_parameter(const GizmoInput& input, Vec3 origin, Vec3 p0, Vec3 p1, float* t) {
    Vec3 d = vec3_sub(p1, p0);
    float length_squared = vec3_dot(d, d);
    if (length_squared == 0) return false;
    Vec3 n = vec3_normalize(vec3_cross(vec3_cross(vec3_sub(origin, input.camera_position), d), d));
    Vec3 q;
    if (!ray_hit_plane(input, n, p0, &q)) return false;
    *t = vec3_dot(vec3_sub(q, p0), d) / length_squared;
    return true;
}

static void axis_segment(const Gizmo& gizmo, const GizmoFrame& frame, int a, int64_t was_active, Vec3* p0, Vec3* p1) {
    if (was_active == a) {
        *p0 = gizmo.start_origin;
        *p1 = gizmo.start_tip;
        return;
    }
    *p0 = frame.origin;
    *p1 = vec3_add(frame.origin, vec3_scale(frame.axes[a], frame.size));
}

static Vec3 axis_vector(const GizmoFrame& frame, bool scale_mode, int a, Vec3 p0, Vec3 p1) {
    if (scale_mode) return unit_axis(a);
    return mat3_transform(frame.parent_inverse, vec3_sub(p1, p0));
}

static bool axis_offered(const GizmoInput& input, int a) { return !(input.mode_2d && a == 2); }

// The last offered axis under the pointer (tested in handle order), -1 none.
static int64_t axis_candidate(const Gizmo& gizmo, const GizmoFrame& frame, const GizmoInput& input, int64_t was_active,
                              float reach) {
    int64_t candidate = -1;
    for (int a = 0; a < 3; a++) {
        if (!axis_offered(input, a)) continue;
        Vec3 p0, p1;
        axis_segment(gizmo, frame, a, was_active, &p0, &p1);
        if (axis_hovered(input, p0, p1, reach)) candidate = a;
    }
    return candidate;
}

static void axis_press(Gizmo* gizmo, const GizmoFrame& frame, const GizmoInput& input, int a, Vec3 value,
                       bool scale_mode) {
    Vec3 p0, p1;
    axis_segment(*gizmo, frame, a, -1, &p0, &p1);
    float t = 0;
    axis_parameter(input, frame.origin, p0, p1, &t);
    gizmo->active = a;
    gizmo->start_offset = vec3_scale(axis_vector(frame, scale_mode, a, p0, p1), t);
    gizmo->start_origin = p0;
    gizmo->start_tip = p1;
    gizmo->start_value = value;
}

// The dragged value, or false when the pointer's ray misses the axis plane.
static bool axis_drag(const Gizmo& gizmo, const GizmoFrame& frame, const GizmoInput& input, int a, bool scale_mode,
                      Vec3* value) {
    Vec3 p0 = gizmo.start_origin, p1 = gizmo.start_tip;
    float t = 0;
    if (!axis_parameter(input, frame.origin, p0, p1, &t)) return false;
    Vec3 f = scale_mode ? gizmo.start_value : Vec3{1, 1, 1};
    Vec3 moved = vec3_mul(vec3_scale(axis_vector(frame, scale_mode, a, p0, p1), t), f);
    *value = vec3_sub(vec3_add(gizmo.start_value, moved), vec3_mul(gizmo.start_offset, f));
    if (input.snapping) *value = snap_vec3(*value, input.snap_size);
    return true;
}

// ---------------------------------------------------------------------------
// Plane handles (position mode: 3 YZ, 4 XZ, 5 XY)

static bool plane_offered(const GizmoInput& input, int h) { return !input.mode_2d || h == 5; }

static bool plane_hit(const GizmoFrame& frame, const GizmoInput& input, int h, Vec3* q, bool* inside) {
    Vec3 u = frame.axes[PLANE_AXES[h - 3][0]], v = frame.axes[PLANE_AXES[h - 3][1]];
    Vec3 n = vec3_normalize(vec3_cross(u, v));
    if (!ray_hit_plane(input, n, frame.origin, q)) return false;
    Vec3 g = mat3_transform(mat3_inverse(mat3_from_columns(u, v, n)), vec3_sub(*q, frame.origin));
    float half = 0.5f * frame.size;
    *inside = g.x >= -0.01f && g.y >= -0.01f && g.x < half && g.y < half;
    return true;
}

static void position_mode(Gizmo* gizmo, const GizmoFrame& frame, const GizmoInput& input, Transform* transform) {
    int64_t was_active = gizmo->active;
    int64_t candidate = -1;
    if (input.enabled) {
        candidate = axis_candidate(*gizmo, frame, input, was_active, 0.4f);
        for (int h = 3; h < 6; h++) {
            if (!plane_offered(input, h)) continue;
            Vec3 q;
            bool inside = false;
            if (plane_hit(frame, input, h, &q, &inside) && inside) candidate = h;
        }
    }
    if (was_active == -1 && candidate != -1) {
        gizmo->hovered = candidate;
        if (input.pressed) {
            if (candidate < 3) {
                axis_press(gizmo, frame, input, (int)candidate, transform->position, false);
            } else {
                Vec3 q;
                bool inside = false;
                plane_hit(frame, input, (int)candidate, &q, &inside);
                gizmo->active = candidate;
                gizmo->start_offset = mat3_transform(frame.parent_inverse, q);
                gizmo->start_value = transform->position;
            }
        }
    }
    if (was_active < 0 || !input.enabled || input.released) return;
    if (was_active < 3) {
        Vec3 value;
        if (axis_drag(*gizmo, frame, input, (int)was_active, false, &value)) transform->position = value;
    } else if (was_active < 6) {
        Vec3 q;
        bool inside = false;
        if (!plane_hit(frame, input, (int)was_active, &q, &inside)) return;
        Vec3 value = vec3_sub(vec3_add(gizmo->start_value, mat3_transform(frame.parent_inverse, q)), gizmo->start_offset);
        if (input.snapping) value = snap_vec3(value, input.snap_size);
        transform->position = value;
    }
}

// ---------------------------------------------------------------------------
// Rotation rings

static bool ring_offered(const GizmoInput& input, int k) { return !input.mode_2d || k == 2; }

static bool ring_hit(const GizmoFrame& frame, const GizmoInput& input, int k, Vec3* q) {
    return ray_hit_plane(input, frame.axes[k], frame.origin, q);
}

// The turn that takes the press vector onto the current one, snapped to the
// angle step when snapping is on.
static Rotor ring_step(const GizmoFrame& frame, const GizmoInput& input, Vec3 from, Vec3 to, bool* opposite) {
    Vec3 a = vec3_normalize(mat3_transform(frame.rotation_inverse, from));
    Vec3 b = vec3_normalize(mat3_transform(frame.rotation_inverse, to));
    Vec3 c = vec3_cross(a, b);
    float w = 1 + vec3_dot(a, b);
    *opposite = !(w > 0.001f);
    Rotor step = rotor_normalize(Rotor{w, c.z, -c.y, c.x});
    if (!input.snapping) return step;
    // Rounding can leave the scalar a hair above 1, where acos has no value.
    double s = step.s > 1 ? 1.0 : (step.s < -1 ? -1.0 : (double)step.s);
    float theta = (float)(2 * math_acos(s));
    Vec3 axis = vec3_normalize(Vec3{step.yz, -step.xz, step.xy});
    float h = (float)(input.snap_angle * DEGREES_TO_RADIANS);
    if (h != 0) theta = h * (float)math_floor(theta / h + 0.5f);
    float sine = (float)math_sin(theta * 0.5);
    return Rotor{(float)math_cos(theta * 0.5), axis.z * sine, -axis.y * sine, axis.x * sine};
}

static void rotation_mode(Gizmo* gizmo, const GizmoFrame& frame, const GizmoInput& input, Transform* transform) {
    int64_t was_active = gizmo->active;
    int64_t candidate = -1;
    Vec3 candidate_hit{0, 0, 0};
    if (input.enabled) {
        float inner = frame.size - 0.1f * frame.size, outer = frame.size + 0.1f * frame.size;
        for (int k = 0; k < 3; k++) {
            if (!ring_offered(input, k)) continue;
            Vec3 q;
            if (!ring_hit(frame, input, k, &q)) continue;
            float distance = vec3_length(vec3_sub(q, frame.origin));
            if (distance > inner && distance < outer) {
                candidate = k;
                candidate_hit = q;
            }
        }
    }
    if (was_active == -1 && candidate != -1) {
        gizmo->hovered = candidate;
        if (input.pressed) {
            gizmo->active = candidate;
            gizmo->start_origin = vec3_sub(candidate_hit, frame.origin);
            gizmo->start_rotation = transform->rotation;
        }
    }
    if (was_active < 0 || was_active > 2 || !input.enabled || input.released) return;
    Vec3 q;
    if (!ring_hit(frame, input, (int)was_active, &q)) return;
    Vec3 now = vec3_sub(q, frame.origin);
    bool opposite = false;
    Rotor step = ring_step(frame, input, gizmo->start_origin, now, &opposite);
    if (opposite) return;
    transform->rotation = rotor_multiply(gizmo->start_rotation, step);
    // Snapped turns are measured from the press; free turns go step by step.
    if (!input.snapping) {
        gizmo->start_origin = now;
        gizmo->start_rotation = transform->rotation;
    }
}

// ---------------------------------------------------------------------------
// Scale mode: axis sticks and the uniform-scale sphere

static float pointer_distance(const GizmoFrame& frame, const GizmoInput& input) {
    Vec2 centre = project(input.view_projection, frame.origin);
    float aspect = input.window_height != 0 ? (float)input.window_width / (float)input.window_height : 1.0f;
    Vec2 d{input.pointer.x * aspect - centre.x * aspect, input.pointer.y - centre.y};
    return vec3_length(Vec3{d.x, d.y, 0});
}

static bool sphere_hit(const GizmoFrame& frame, const GizmoInput& input) {
    float radius = frame.size / 3;
    Vec3 oc = vec3_sub(input.ray_origin, frame.origin);
    float b = vec3_dot(oc, input.ray_direction);
    float c = vec3_dot(oc, oc) - radius * radius;
    float discriminant = b * b - c;
    if (discriminant < 0) return false;
    float nearer = -b - (float)math_sqrt(discriminant);
    return nearer >= 0;
}

static void scale_mode(Gizmo* gizmo, const GizmoFrame& frame, const GizmoInput& input, Transform* transform) {
    int64_t was_active = gizmo->active;
    bool was_uniform = gizmo->uniform_dragging;
    int64_t candidate = -1;
    if (input.enabled) {
        candidate = axis_candidate(*gizmo, frame, input, was_active, 0.2f);
    }
    // The sphere sits over the sticks' roots: it wins there, so one press
    // never starts both drags.
    bool on_sphere = input.enabled && input.panel_free && sphere_hit(frame, input);
    if (on_sphere && !was_uniform && was_active == -1) {
        gizmo->uniform_hovered = true;
        candidate = -1;
        if (input.pressed) {
            gizmo->uniform_dragging = true;
            gizmo->uniform_start_scale = transform->scale;
            gizmo->uniform_start_distance = pointer_distance(frame, input) * 4;
        }
    }
    if (was_active == -1 && !was_uniform && candidate != -1) {
        gizmo->hovered = candidate;
        if (input.pressed) axis_press(gizmo, frame, input, (int)candidate, transform->scale, true);
    }
    if (input.released || !input.enabled) return;
    if (was_uniform && input.panel_free) {
        float distance = pointer_distance(frame, input) * 4;
        if (gizmo->uniform_start_distance == 0) {
            // Pressed exactly on the centre: the ratio would be infinite, so
            // the drag is measured from where the pointer first leaves it.
            gizmo->uniform_start_distance = distance;
            return;
        }
        Vec3 value = vec3_scale(gizmo->uniform_start_scale, distance / gizmo->uniform_start_distance);
        if (input.snapping) value = snap_vec3(value, input.snap_size);
        transform->scale = value;
    } else if (was_active >= 0 && was_active < 3) {
        Vec3 value;
        if (axis_drag(*gizmo, frame, input, (int)was_active, true, &value)) transform->scale = value;
    }
}

// ---------------------------------------------------------------------------
// Rectangle corners

// The pointer on the object's plane, and that point in the object's frame.
static bool rectangle_hit(const GizmoFrame& frame, const GizmoInput& input, Vec3* q, Vec2* local) {
    if (!ray_hit_plane(input, frame.axes[2], frame.origin, q)) return false;
    Vec3 d = vec3_sub(*q, frame.origin);
    *local = Vec2{vec3_dot(d, frame.axes[0]), vec3_dot(d, frame.axes[1])};
    return true;
}

static void rectangle_mode(Gizmo* gizmo, const GizmoFrame& frame, const GizmoInput& input, Transform* transform) {
    int64_t was_active = gizmo->active;
    float h = frame.size * 0.125f;
    Vec3 q;
    Vec2 local;
    bool hit = rectangle_hit(frame, input, &q, &local);
    int64_t candidate = -1;
    if (hit && input.enabled) {
        for (int i = 0; i < 4; i++) {
            float cx = CORNER_SIGNS[i][0] * transform->scale.x, cy = CORNER_SIGNS[i][1] * transform->scale.y;
            if (cx - h <= local.x && local.x < cx + h && cy - h <= local.y && local.y < cy + h) candidate = i;
        }
    }
    if (was_active == -1 && candidate != -1) {
        gizmo->hovered = candidate;
        if (input.pressed) {
            gizmo->active = candidate;
            gizmo->rect_start_position = transform->position;
            gizmo->rect_start_scale = transform->scale;
            gizmo->start_offset = vec3_sub(q, frame.origin);
        }
    }
    if (was_active < 0 || was_active > 3 || !hit || !input.enabled || input.released) return;
    // The pointer's movement since the press, from the start hit.
    Vec3 start_origin = mat4_transform_point(frame.parent, gizmo->rect_start_position);
    Vec3 d = vec3_sub(vec3_sub(q, start_origin), gizmo->start_offset);
    Vec3 position = vec3_add(gizmo->rect_start_position, vec3_scale(mat3_transform(frame.parent_inverse, d), 0.5f));
    Vec3 local_d{vec3_dot(d, frame.axes[0]), vec3_dot(d, frame.axes[1]), vec3_dot(d, frame.axes[2])};
    Vec3 signs{CORNER_SIGNS[was_active][0], CORNER_SIGNS[was_active][1], 0};
    Vec3 scale = vec3_add(gizmo->rect_start_scale, vec3_scale(vec3_mul(local_d, signs), 0.5f));
    if (input.snapping) {
        Vec3 half = vec3_scale(input.snap_size, 0.5f);
        position = snap_vec3(position, half);
        scale = snap_vec3(scale, half);
    }
    transform->position = position;
    transform->scale = scale;
}

// ---------------------------------------------------------------------------
// One frame

GizmoFrame gizmo_step(Gizmo* gizmo, Mat4 parent, Transform* transform, const GizmoInput& input) {
    GizmoFrame frame = gizmo_frame(input.mode, parent, *transform, input);
    gizmo->hovered = -1;
    gizmo->uniform_hovered = false;
    bool dragging = gizmo->active != -1 || gizmo->uniform_dragging;
    if (dragging || input.panel_free) {
        switch (input.mode) {
        case GIZMO_POSITION: position_mode(gizmo, frame, input, transform); break;
        case GIZMO_ROTATION: rotation_mode(gizmo, frame, input, transform); break;
        case GIZMO_SCALE: scale_mode(gizmo, frame, input, transform); break;
        case GIZMO_RECTANGLE: rectangle_mode(gizmo, frame, input, transform); break;
        default: break;
        }
    }
    if (input.released) gizmo_drop_drag(gizmo);
    return frame;
}

// ---------------------------------------------------------------------------
// Drawing

// The handle models point along +X; this turns X onto axis a (and the torus
// into the plane normal to it), scaled by `size`, at `at`.
static Mat4 handle_matrix(const GizmoFrame& frame, int a, float size, Vec3 at) {
    Vec3 x = vec3_scale(frame.axes[a], size), y = vec3_scale(frame.axes[(a + 1) % 3], size);
    Vec3 z = vec3_scale(frame.axes[(a + 2) % 3], size);
    Mat4 m = mat4_from_mat3(mat3_from_columns(x, y, z));
    m.m[12] = at.x;
    m.m[13] = at.y;
    m.m[14] = at.z;
    return m;
}

static void model_draw(int32_t model, Mat4 matrix, Vec4 color) {
    Mesh* mesh = &editor.assets.builtin[model];
    if (mesh->material_count > 0) {
        mesh->materials[0].color = color;
        mesh->materials[0].texture = editor.assets.icons[ICON_WHITE];
    }
    set_matrices(matrix);
    mesh_draw(mesh);
}

static Vec4 axis_color(const Gizmo& gizmo, int a) {
    bool lit = gizmo.hovered == a || gizmo.active == a;
    return lit ? AXIS_HOVER_COLORS[a] : AXIS_COLORS[a];
}

static void plane_square_draw(const GizmoFrame& frame, int h) {
    float half = frame.size * 0.5f;
    Vec3 u = vec3_scale(frame.axes[PLANE_AXES[h - 3][0]], half), v = vec3_scale(frame.axes[PLANE_AXES[h - 3][1]], half);
    Vec3 o = frame.origin, ou = vec3_add(o, u), ov = vec3_add(o, v), ouv = vec3_add(ou, v);
    Vec4 white{1, 1, 1, 1};
    bind_diffuse_texture(editor.assets.icons[ICON_WHITE]);
    set_matrices(mat4_identity());
    batch_begin();
    editor.render.draw.color = color_to_linear(HIGHLIGHT_COLOR, editor.gamma_value);
    // Both windings: the square shows from either side with culling on.
    batch_append_quad(o, ou, ouv, ov, white, white, white, white, Vec4{0, 0, 1, 1});
    batch_append_quad(ov, ouv, ou, o, white, white, white, white, Vec4{0, 0, 1, 1});
    if (editor.render.draw.indices.count > 0) batch_flush();
}

void gizmo_draw(const Gizmo& gizmo, const GizmoFrame& frame, const Transform& transform, const GizmoInput& input) {
    float s = frame.size;
    switch (input.mode) {
    case GIZMO_POSITION:
        for (int a = 0; a < 3; a++) {
            if (axis_offered(input, a)) model_draw(BUILTIN_ARROW, handle_matrix(frame, a, s, frame.origin), axis_color(gizmo, a));
        }
        for (int h = 3; h < 6; h++) {
            if (plane_offered(input, h) && (gizmo.hovered == h || gizmo.active == h)) plane_square_draw(frame, h);
        }
        break;
    case GIZMO_ROTATION:
        for (int k = 0; k < 3; k++) {
            if (ring_offered(input, k)) model_draw(BUILTIN_TORUS, handle_matrix(frame, k, s, frame.origin), axis_color(gizmo, k));
        }
        break;
    case GIZMO_SCALE:
        for (int a = 0; a < 3; a++) {
            if (!axis_offered(input, a)) continue;
            Vec4 color = axis_color(gizmo, a);
            model_draw(BUILTIN_CYLINDER, handle_matrix(frame, a, s, frame.origin), color);
            Vec3 tip = vec3_add(frame.origin, vec3_scale(frame.axes[a], s));
            model_draw(BUILTIN_CUBE, handle_matrix(frame, a, s / 8, tip), color);
        }
        if (gizmo.uniform_hovered || gizmo.uniform_dragging) {
            model_draw(BUILTIN_SPHERE, handle_matrix(frame, 0, s / 3, frame.origin), HIGHLIGHT_COLOR);
        }
        break;
    case GIZMO_RECTANGLE:
        for (int i = 0; i < 4; i++) {
            Vec3 corner = vec3_add(frame.origin, vec3_scale(frame.axes[0], CORNER_SIGNS[i][0] * transform.scale.x));
            corner = vec3_add(corner, vec3_scale(frame.axes[1], CORNER_SIGNS[i][1] * transform.scale.y));
            bool lit = gizmo.hovered == i || gizmo.active == i;
            model_draw(BUILTIN_CUBE, handle_matrix(frame, 0, s * 0.125f, corner), lit ? CORNER_HOVER_COLOR : CORNER_COLOR);
        }
        break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Editor entry points

GizmoInput gizmo_input_read() {
    GizmoInput input{};
    const SceneSettings& settings = editor.scene.settings;
    input.mode = editor.scene.gizmo_mode < GIZMO_MODE_COUNT ? editor.scene.gizmo_mode : (uint8_t)GIZMO_POSITION;
    input.mode_2d = editor_mode_2d();
    input.snapping = settings.snapping;
    input.snap_size = settings.snap_size;
    input.snap_angle = settings.snap_angle;
    const Camera& camera = editor.camera;
    input.camera_position = camera.position;
    input.camera_forward = vec3_negate(mat3_column(camera_orientation(camera), 2));
    input.window_width = editor.window_width;
    input.window_height = editor.window_height;
    input.view_projection =
        mat4_multiply(camera_projection_matrix(camera, editor.window_width, editor.window_height, input.mode_2d),
                      camera_view_matrix(camera));
    input.pointer = mouse_pointer_ndc();
    mouse_ray_for(input.pointer, editor.window_width, editor.window_height, input.mode_2d, &input.ray_origin,
                  &input.ray_direction);
    input.pressed = input_mouse_is_pressed(MOUSE_PRIMARY);
    input.released = input_mouse_is_released(MOUSE_PRIMARY);
    input.enabled = input_enable_top() != 0;
    input.panel_free = panel_owns_point(-1, editor.mouse_x, editor.mouse_y);
    return input;
}

void gizmo_update(Gizmo* gizmo, Mat4 parent, Transform* transform) {
    GizmoInput input = gizmo_input_read();
    GizmoFrame frame = gizmo_step(gizmo, parent, transform, input);
    gizmo_draw(*gizmo, frame, *transform, input);
}

void gizmo_mode_keys() {
    for (int k = 0; k < GIZMO_MODE_COUNT; k++) {
        if (!input_key_is_pressed(key_digit(k + 1))) continue;
        editor.scene.gizmo_mode = (uint8_t)k;
        gizmo_drop_drag(&editor.selection.gizmo);
    }
}
