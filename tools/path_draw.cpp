// Path drawing: Bezier sampling, the viewer-facing ribbon with shared joints,
// the handle ribbons and the point markers, all into the immediate batch.
// Relies on render/draw (batch), the camera and the scene records.
#include "tools/path_draw.h"

#include "app/editor.h"
#include "render/draw.h"
#include "render/scene_render.h"
#include "tools/placement.h"

// Steps at least this long (squared) take part in the sharp-corner test;
// shorter ones are too small to give a reliable direction.
static constexpr float SHARP_MIN_LENGTH_SQUARED = 0.001f;
// Unit directions whose dot product falls below this meet at a sharp corner.
static constexpr float SHARP_DOT = 0.8f;
static constexpr float MARKER_POINT_SIZE = 0.25f;
static constexpr float MARKER_HANDLE_SIZE = 0.125f;

static const Vec4 WHITE{1, 1, 1, 1};
static const Vec4 FULL_UV{0, 0, 1, 1};

// ---------------------------------------------------------------------------
// Viewer

PathView path_view_from_camera() {
    Mat3 r = camera_orientation(editor.camera);
    PathView view;
    view.camera_position = editor.camera.position;
    view.right = mat3_column(r, 0);
    view.up = mat3_column(r, 1);
    view.toward_camera = mat3_column(r, 2);
    view.orthographic = editor_mode_2d();
    return view;
}

Vec3 path_view_direction(const PathView& view, Vec3 point) {
    if (view.orthographic) return view.toward_camera;
    Vec3 direction = vec3_normalize(vec3_sub(view.camera_position, point));
    // A sample at the camera itself has no direction; the camera's axis is
    // the nearest sensible one.
    if (direction.x == 0 && direction.y == 0 && direction.z == 0) return view.toward_camera;
    return direction;
}

// ---------------------------------------------------------------------------
// Sampling

int64_t path_sample_count(const PathBlock& path) {
    int64_t count = path.points.count;
    if (count <= 0) return 0;
    if (!path.bezier) return count;
    if (path.closed) return count * PATH_BEZIER_STEPS;
    return (count - 1) * PATH_BEZIER_STEPS + 1;
}

static Vec3 bezier_point(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, float t) {
    float u = 1 - t;
    float w0 = u * u * u, w1 = 3 * t * u * u, w2 = 3 * t * t * u, w3 = t * t * t;
    return Vec3{w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x, w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y,
                w0 * p0.z + w1 * p1.z + w2 * p2.z + w3 * p3.z};
}

int64_t path_sample(const PathBlock& path, Vec3* out) {
    int64_t count = path.points.count;
    const PathPoint* points = path.points.data;
    if (count <= 0) return 0;
    if (!path.bezier) {
        for (int64_t i = 0; i < count; i++) out[i] = points[i].position;
        return count;
    }
    int64_t segments = path.closed ? count : count - 1;
    int64_t written = 0;
    for (int64_t k = 0; k < segments; k++) {
        const PathPoint& from = points[k];
        const PathPoint& to = points[(k + 1) % count];
        for (int64_t i = 0; i < PATH_BEZIER_STEPS; i++) {
            float t = (float)i / (float)PATH_BEZIER_STEPS;
            out[written++] = bezier_point(from.position, from.b, to.a, to.position, t);
        }
    }
    if (!path.closed) out[written++] = points[count - 1].position;
    return written;
}

// ---------------------------------------------------------------------------
// Ribbon

static bool is_zero(Vec3 v) { return v.x == 0 && v.y == 0 && v.z == 0; }

void path_ribbon_append(const Vec3* samples, int64_t count, bool closed, float width, Vec4 color,
                        const PathView& view) {
    if (count < 2) return;
    int64_t steps = closed ? count : count - 1;
    PoolMark mark = pool_mark(POOL_FRAME);
    Vec3* directions = pool_alloc_array<Vec3>(POOL_FRAME, steps);
    Vec3* sides = pool_alloc_array<Vec3>(POOL_FRAME, steps);
    int64_t* shared = pool_alloc_array<int64_t>(POOL_FRAME, count);
    if (!directions || !sides || !shared) {
        pool_restore(mark);
        return;
    }

    // Each step's own side: across the step, in the plane that faces the
    // viewer at the step's start.
    int64_t first_nonzero = -1;
    for (int64_t j = 0; j < steps; j++) {
        Vec3 a = samples[j], b = samples[(j + 1) % count];
        directions[j] = vec3_sub(b, a);
        Vec3 view_direction = path_view_direction(view, a);
        sides[j] = vec3_scale(vec3_normalize(vec3_cross(view_direction, directions[j])), width);
        if (first_nonzero < 0 && !is_zero(sides[j])) first_nonzero = j;
    }
    if (first_nonzero < 0) {  // every step is empty or points at the viewer
        pool_restore(mark);
        return;
    }
    // Empty steps (repeated samples, steps seen end-on) borrow the side of
    // the step before them, so the ribbon keeps its width through them.
    for (int64_t j = first_nonzero + 1; j < steps; j++) {
        if (is_zero(sides[j])) sides[j] = sides[j - 1];
    }
    Vec3 leading = closed ? sides[steps - 1] : sides[first_nonzero];
    for (int64_t j = 0; j < first_nonzero; j++) sides[j] = leading;

    if (!batch_reserve(4 * steps, 6 * steps)) {
        pool_restore(mark);
        return;
    }
    DrawState& draw = editor.render.draw;
    Vec4 tinted{color.x * draw.color.x, color.y * draw.color.y, color.z * draw.color.z, color.w * draw.color.w};
    Vec2 uv{0.5f, 0.5f};
    auto emit_pair = [&](Vec3 at, Vec3 side) -> int64_t {
        int64_t n = draw.vertices.count;
        draw.vertices.data[n] = MeshVertex{vec3_sub(at, side), tinted, uv};
        draw.vertices.data[n + 1] = MeshVertex{vec3_add(at, side), tinted, uv};
        draw.vertices.count += 2;
        return n;
    };

    // Joints: a sample between two steps either shares one pair of vertices
    // (the two sides averaged) or, at a sharp corner, lets each step end on
    // its own side so the corner does not pinch.
    auto incoming = [&](int64_t i) -> int64_t { return i > 0 ? i - 1 : (closed ? steps - 1 : -1); };
    auto outgoing = [&](int64_t i) -> int64_t { return i < steps ? i : -1; };
    auto sharp = [&](int64_t i) -> bool {
        int64_t in = incoming(i), out = outgoing(i);
        if (in < 0 || out < 0) return false;
        Vec3 d0 = directions[in], d1 = directions[out];
        if (vec3_dot(d0, d0) <= SHARP_MIN_LENGTH_SQUARED || vec3_dot(d1, d1) <= SHARP_MIN_LENGTH_SQUARED) return false;
        return vec3_dot(vec3_normalize(d0), vec3_normalize(d1)) < SHARP_DOT;
    };
    for (int64_t i = 0; i < count; i++) shared[i] = -1;
    auto joint = [&](int64_t i) -> int64_t {
        if (shared[i] >= 0) return shared[i];
        int64_t in = incoming(i), out = outgoing(i);
        Vec3 side;
        if (in >= 0 && out >= 0) side = vec3_scale(vec3_add(sides[in], sides[out]), 0.5f);
        else side = sides[in >= 0 ? in : out];
        shared[i] = emit_pair(samples[i], side);
        return shared[i];
    };

    for (int64_t j = 0; j < steps; j++) {
        int64_t a = j, b = (j + 1) % count;
        int64_t start = sharp(a) ? emit_pair(samples[a], sides[j]) : joint(a);
        int64_t end = sharp(b) ? emit_pair(samples[b], sides[j]) : joint(b);
        uint32_t* index = draw.indices.data + draw.indices.count;
        index[0] = (uint32_t)start;
        index[1] = (uint32_t)end;
        index[2] = (uint32_t)(end + 1);
        index[3] = (uint32_t)start;
        index[4] = (uint32_t)(end + 1);
        index[5] = (uint32_t)(start + 1);
        draw.indices.count += 6;
    }
    pool_restore(mark);
}

// ---------------------------------------------------------------------------
// Handles and markers

static void marker_append(const PathView& view, Vec3 at, float size, Vec4 color) {
    // Lifted toward the viewer so the marker is not lost in the ribbon that
    // passes through the same point at the same depth.
    Vec3 toward = path_view_direction(view, at);
    float lift = view.orthographic ? 0.01f : 0.001f + 0.002f * vec3_length(vec3_sub(view.camera_position, at));
    Vec3 c = vec3_add(at, vec3_scale(toward, lift));
    Vec3 r = vec3_scale(view.right, size * 0.5f), u = vec3_scale(view.up, size * 0.5f);
    batch_append_quad(vec3_sub(vec3_sub(c, r), u), vec3_sub(vec3_add(c, r), u), vec3_add(vec3_add(c, r), u),
                      vec3_add(vec3_sub(c, r), u), color, color, color, color, FULL_UV);
}

void path_draw_geometry(const SceneObject& object, const PathView& view, bool selected_marker) {
    const PathBlock& path = object.path;
    int64_t count = path.points.count;
    const PathPoint* points = path.points.data;
    DrawState& draw = editor.render.draw;
    // The path's color is a display-space value; the scene image is linear.
    Vec4 color = color_to_linear(path.color, editor.gamma_value);

    PoolMark mark = pool_mark(POOL_FRAME);
    int64_t sample_capacity = path_sample_count(path);
    Vec3* samples = pool_alloc_array<Vec3>(POOL_FRAME, sample_capacity);
    bind_diffuse_texture(editor.assets.icons[ICON_WHITE]);
    batch_begin();
    draw.color = WHITE;
    if (samples) {
        int64_t sample_count = path_sample(path, samples);
        path_ribbon_append(samples, sample_count, path.closed, (float)path.width, color, view);
    }
    pool_restore(mark);
    if (path.bezier) {
        double handle_width = path.width * 0.5;
        for (int64_t i = 0; i < count; i++) {
            Vec3 facing = path_view_direction(view, points[i].position);
            batch_append_segment(points[i].position, points[i].a, facing, handle_width, color, color, FULL_UV);
            batch_append_segment(points[i].position, points[i].b, facing, handle_width, color, color, FULL_UV);
        }
    }
    if (draw.indices.count > 0) batch_flush();

    if (count == 0) return;
    // The selected point shows white; on a Bezier path the handle that the
    // wheel and the point gizmo act on shows white as well.
    int64_t selected = -1, part = 0;
    if (selected_marker) {
        selected = path.index % count;
        if (selected < 0) selected += count;
        part = path.bezier ? path.sub_index : 0;
    }
    bind_diffuse_texture(editor.assets.icons[ICON_CIRCLE]);
    batch_begin();
    for (int64_t i = 0; i < count; i++) {
        bool is_selected = i == selected;
        marker_append(view, points[i].position, MARKER_POINT_SIZE, is_selected ? WHITE : color);
        if (path.bezier) {
            marker_append(view, points[i].a, MARKER_HANDLE_SIZE, is_selected && part == 1 ? WHITE : color);
            marker_append(view, points[i].b, MARKER_HANDLE_SIZE, is_selected && part == 2 ? WHITE : color);
        }
    }
    if (draw.indices.count > 0) batch_flush();
}

void path_draw(SceneObject* path) {
    // Before the drawing, so the markers show this frame's positions.
    path_point_gizmo(path);
    bool edited = path == scene_ref_object(editor.tools.edited_object);
    path_draw_geometry(*path, path_view_from_camera(), edited);
}
