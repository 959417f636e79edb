// The placement and path tools: new objects at a cursor on the reference
// plane (optionally sized by a box), templates picked up from objects, path
// points added, removed and walked, and the selected point's own gizmo.
// Relies on the scene records, the viewport tool state, the camera's mouse
// ray and the panels' hit test.
#pragma once

#include <cstdint>

#include "math/math.h"
#include "scene/scene.h"

// ---------------------------------------------------------------------------
// Rules without input, shared by the frame steps and the tests

// Each component rounded to the nearest multiple of its step; a step of 0
// leaves the component alone.
Vec3 placement_snap(Vec3 value, Vec3 step);
// The transform a box from `a` to `b` gives: centred, unrotated, half the
// box size as scale, whatever the corner order.
Transform placement_box_transform(Vec3 a, Vec3 b);
// The kind `step` (+1 or -1) away from `kind`, wrapping within the five kinds.
ObjectKind placement_kind_step(ObjectKind kind, int32_t step);

// A new point at `position` whose handles lie one unit either side of it
// along the direction from `previous`. With no direction (the same place, or
// a difference too large to measure) both handles sit on the point.
PathPoint path_point_make(Vec3 position, Vec3 previous);
// Adds a point at `position`: appended, or with `insert` placed at the
// wrapped `index` (stored back), which then names it. False when the pool
// refused the room.
bool path_point_add(PathBlock* path, Vec3 position, bool insert);
// Removes the point at the wrapped `index` (stored back). False for an empty
// path.
bool path_point_remove(PathBlock* path);
// One wheel step of sign `step`: through the parts of the points (position,
// handle a, handle b) when `parts`, otherwise from point to point.
void path_wheel_step(PathBlock* path, int32_t step, bool parts);
// `index` wrapped into the points (0 when there are none), and `sub_index`
// kept 0 for a path without handles.
void path_selection_wrap(PathBlock* path);
// The position the point gizmo acts on: the selected point's position or one
// of its handles. Null for a path without points.
Vec3* path_selected_target(PathBlock* path);
// Carries the gizmo's move of the selected part (`sub_index`) over to the
// point, whose position was `before`: moving the position takes both handles
// along; moving a handle (`changed`) mirrors the other through the point
// unless `alone`.
void path_point_follow(PathPoint* point, Vec3 before, int64_t sub_index, bool changed, bool alone);

// ---------------------------------------------------------------------------
// Frame steps

// Key 45 and the toolbar's placement button: the two modes are never on together.
void placement_mode_toggle();
void path_mode_toggle();

// The viewport shortcuts and both tools for this frame, run by the main loop
// while no text field has the keyboard: mode and kind keys, template pick-up,
// the choice of the edited object, the box, the plane height, the cursor,
// adding and removing, box fitting and the wheel.
void viewport_tools_update();
void placement_update();
void path_tool_update();

// The scene pass's hook for each drawn path, before it is drawn: a marker
// picked on it becomes the selected part, the selection is wrapped, and
// outside both tool modes the edited path's selected part (a point or one
// of its handles) follows the second gizmo, in position mode; a moved
// handle mirrors the other one unless Ctrl is held. The gizmo's handles are
// drawn later, over the scene (path_point_gizmo_end).
void path_point_gizmo(SceneObject* path);
// The scene pass brackets the objects with these: hover is taken afresh
// each pass, and a drag whose path was not drawn in the pass is dropped.
// The end draws the gizmo (depth testing off).
void path_point_gizmo_begin();
void path_point_gizmo_end();
// A point gizmo handle is under the pointer or being dragged: the
// selection's gizmo leaves the press to it.
bool path_gizmo_holds_pointer();
