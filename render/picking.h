// The picking pass: every visible object drawn flat in the identity color of
// its hierarchy row (path points and handles as sub-elements) into the
// picking target, which a click or a selection box then reads back. Relies
// on render/draw, render/targets, the scene renderer's geometry and the scene.
#pragma once

#include <cstdint>

#include "scene/scene.h"

// Binds the picking target and the "picking" program (made current), clears
// it, keeps the objects in ascending id order, and draws the rows. The
// camera matrices must already be set.
void picking_pass();

// Whether this frame reads the picking image. Only a primary-button press
// with the pointer over the viewport picks (a click, or the press that
// closes a selection box), so only those frames draw the picking pass; in
// every other frame the picking image keeps an older frame's contents, and
// nothing may read it.
bool picking_needed();

// Puts `objects` back in ascending id order (stable). Costs one pass when
// they already are; otherwise merge-sorts with frame-pool scratch, or sorts
// in place when the frame pool has no room.
void scene_objects_sort_by_id(Array<SceneObject>* objects);
