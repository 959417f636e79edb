// Path drawing in the scene pass: Bezier sampling, the viewer-facing ribbon,
// the handle ribbons and the point markers. Relies on the immediate batch
// (render/draw), the camera (for the viewer direction) and the scene records.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "math/math.h"
#include "scene/scene.h"

// Segments of a Bezier path are evaluated at t = i / PATH_BEZIER_STEPS.
constexpr int64_t PATH_BEZIER_STEPS = 32;

// Where the viewer is, as the ribbon and the markers need it.
struct PathView {
    Vec3 camera_position;
    Vec3 toward_camera;    // the camera's back axis (rotation column z)
    Vec3 right, up;        // the camera's x and y axes, for markers
    bool orthographic;     // 2D: every point sees the camera along toward_camera
};

PathView path_view_from_camera();
// Unit vector from `point` to the viewer.
Vec3 path_view_direction(const PathView& view, Vec3 point);

// Number of samples path_sample produces for `path`.
int64_t path_sample_count(const PathBlock& path);
// Writes the curve's samples into `out` (room for path_sample_count):
// Bezier segments at 32 steps each (closed: back to the first point; open:
// the last point's position at the end), or the plain point positions.
// Returns the count written.
int64_t path_sample(const PathBlock& path, Vec3* out);

// Appends the ribbon through `samples` to the immediate batch: half-width
// `width`, facing the viewer, joints shared (averaged sides) except at sharp
// corners, where each step keeps its own side. Colors are tinted by the
// batch's current color like every append.
void path_ribbon_append(const Vec3* samples, int64_t count, bool closed, float width, Vec4 color,
                        const PathView& view);

// The whole drawing of one path object (or the placement template): ribbon,
// handle ribbons, markers. `selected_marker` is the point (or, for a Bezier
// path, its part by sub_index) drawn in white; pass false for none.
void path_draw_geometry(const SceneObject& path, const PathView& view, bool selected_marker);
// The scene pass entry: runs the path tool's point gizmo hook, then draws.
void path_draw(SceneObject* path);
