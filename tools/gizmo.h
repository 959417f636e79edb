// Transform gizmos: the on-screen handles that move, turn and scale a
// transform given in the space of a parent matrix, and the mouse ray they
// (and the placement plane) are hit with. Relies on math/, the camera, the
// scene settings, the built-in handle models and the panels' hit test.
#pragma once

#include <cstdint>

#include "math/math.h"
#include "scene/scene.h"

enum : uint8_t { GIZMO_POSITION = 0, GIZMO_ROTATION = 1, GIZMO_SCALE = 2, GIZMO_RECTANGLE = 3, GIZMO_MODE_COUNT = 4 };

// Lives across frames; one for the selection, one for the path tool's point.
struct Gizmo {
    bool shown;                  // the caller has something for it this frame
    int64_t active;              // handle being dragged, -1 none
    int64_t hovered;             // handle under the pointer this frame, -1 none
    bool uniform_dragging;       // the centre sphere of scale mode is dragged
    bool uniform_hovered;        // ... is under the pointer this frame
    Vec3 start_offset;           // axis: axis vector x start parameter; plane: start hit; corner: hit - position
    Vec3 start_origin;           // axis: origin at the press; ring: centre-to-hit vector
    Vec3 start_tip;              // axis: tip at the press
    Vec3 start_value;            // position or scale at the press
    Vec3 rect_start_position;    // rectangle mode at the press
    Vec3 rect_start_scale;
    Rotor start_rotation;        // rotation mode at the press
    Vec3 uniform_start_scale;    // uniform scaling at the press
    float uniform_start_distance;  // 4 x pointer distance at the press
};

// Nothing dragged or hovered.
Gizmo gizmo_default();
// What a mode change does to a gizmo: any drag is dropped.
void gizmo_drop_drag(Gizmo* gizmo);

// Everything one gizmo frame reads besides its own record, gathered once so
// the handle logic runs without a window.
struct GizmoInput {
    uint8_t mode;               // GIZMO_*
    bool mode_2d;               // only the handles that move within XY
    bool snapping;
    Vec3 snap_size;             // 0 on a component leaves it alone
    double snap_angle;          // degrees
    Vec3 camera_position;
    Vec3 camera_forward;        // the viewing direction
    Mat4 view_projection;
    Vec3 ray_origin, ray_direction;   // the mouse ray, direction unit
    Vec2 pointer;               // normalised device coordinates, -1..1
    int32_t window_width, window_height;
    bool pressed, released;     // primary button edges this frame
    bool enabled;               // top of the input-enable stack: may act on the viewport
    bool panel_free;            // no panel under the pointer
};

// Where the handles are this frame: origin, unit axes and size.
struct GizmoFrame {
    Mat4 parent;                // M
    Vec3 origin;                // O: M applied to the position
    Vec3 axes[3];               // unit handle axes (G's columns)
    float size;                 // s
    Mat3 parent_inverse;        // inverse of M's upper 3 x 3 (zero when singular)
    Mat3 rotation_inverse;      // inverse of M's orthonormalised 3 x 3
};

GizmoFrame gizmo_frame(uint8_t mode, Mat4 parent, const Transform& transform, const GizmoInput& input);
// The handle logic of one frame: hover, press, drag, snapping, release.
// Writes the changed transform; returns the frame it drew from.
GizmoFrame gizmo_step(Gizmo* gizmo, Mat4 parent, Transform* transform, const GizmoInput& input);
// Draws the mode's handles for the frame `gizmo_step` returned.
void gizmo_draw(const Gizmo& gizmo, const GizmoFrame& frame, const Transform& transform, const GizmoInput& input);

// The editor's input for a gizmo this frame (mode from the scene).
GizmoInput gizmo_input_read();
// One frame of a gizmo in the viewport: input from the editor, the handle
// logic, then the handles drawn into the bound scene target.
void gizmo_update(Gizmo* gizmo, Mat4 parent, Transform* transform);

// Keys 1 to 4: the gizmo mode, dropping any drag of the selection gizmo.
void gizmo_mode_keys();

// The mouse ray through the pointer: from the camera in 3D; straight down
// from the camera's far height in 2D.
Vec3 mouse_ray_origin();
Vec3 mouse_ray_direction();
// The ray for a pointer at normalised device coordinates, for a camera
// record and window size; what the two above use.
void mouse_ray_for(Vec2 pointer, int32_t window_width, int32_t window_height, bool mode_2d, Vec3* origin,
                   Vec3* direction);
// The mouse ray against the plane {p : normal . p = d}.
bool mouse_plane_hit(Vec3 normal, float d, Vec3* hit);
// The pointer in normalised device coordinates.
Vec2 mouse_pointer_ndc();
