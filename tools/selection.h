// Selection and picking: clicks and boxes in the viewport resolved through
// the picking image, the selection's combined transform handed to the gizmo
// and carried back to each selected object, and duplication. Relies on the
// scene rows and objects, the picking target, tools/gizmo and the panels.
#pragma once

#include <cstdint>

#include "math/math.h"
#include "tools/gizmo.h"

struct SelectionState {
    Gizmo gizmo;                  // the selection's gizmo
    Gizmo path_gizmo;             // the path tool's point gizmo (the path tool drives it)
    bool box_pending;             // key B started a selection box
    Vec2 box_start;               // its first corner, window pixels from the bottom-left
    int64_t picked_sub_id;        // sub-element of the last picked pixel, -1 none; the path tool consumes it
    int64_t picked_object_id;     // object id of that pixel's row: only that path takes the sub-element
    bool position_fields_focused; // a position field of the property panel has the keyboard
};

// Nothing selected or pending, both gizmos idle.
SelectionState selection_state_default();

// A region of the picking image, window pixels from the bottom-left.
struct PickRegion {
    int32_t x, y, width, height;
};
// The pixel under `pointer`, or the box from `box_start` to it: per-axis
// minimum and differences truncated to whole pixels, kept inside the window.
PickRegion pick_region(bool box, Vec2 box_start, Vec2 pointer, int32_t window_width, int32_t window_height);

// Applies `count` picked pixels (four 16-bit channels each) to the rows:
// a lone pixel toggles its row, box pixels set theirs; group-end rows are
// reported and left alone; the last valid pixel gives picked_sub_id.
void pick_pixels_apply(const uint16_t* pixels, int64_t count, bool single_pixel);
// Reads `region` of the bound read frame buffer and applies it, in strips
// of at most `chunk_pixels` pixels (row order as one read), so a box larger
// than any buffer gives the same result. The strip buffer comes from the
// frame pool when it has room, otherwise from a small stack block.
void pick_region_read(PickRegion region, int64_t chunk_pixels);

// Resolves `region` of the picking image into the selection: cleared first
// unless `add` (Ctrl), then toggled (one pixel) or set (a box).
void pick_apply(PickRegion region, bool add);
// The viewport pick of this frame (click, Ctrl toggle, B box, Ctrl box),
// after the picking pass and before the scene pass.
void pick_in_viewport();

// The combined transform of the counted objects before and after the
// gizmo, carried over to each of them (rows in `first`..`end`).
void selection_carry(const Transform& old_combined, const Transform& new_combined, int64_t row_end);
// Gathers the selection, runs its gizmo, carries the change over and
// duplicates on key C. Part of the scene pass, after the objects.
void update_selection_transform();

// The pending selection box as a rectangle from its start to the mouse.
void selection_box_draw();
