// The object list: the scene's rows indented by group depth, collapsible
// groups, selection by click, Ctrl and Shift, drag and drop of rows and whole
// groups, new groups, show / hide, delete and rename. Relies on the scene's
// rows and objects, the widgets, quads, text and text fields of ui/, the
// theme and icons, and this frame's pointer and keys.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "math/math.h"
#include "scene/scene.h"
#include "ui/text_field.h"
#include "ui/widgets.h"

// Shown flags kept by the row walk: the top level and 63 nested groups.
// Rows deeper than this are treated as not shown, and no drop or new group
// may make a row that deep.
constexpr int32_t HIERARCHY_MAX_DEPTH = 64;
constexpr float HIERARCHY_WHEEL_STEP = 72;              // pixels per wheel notch
constexpr int64_t HIERARCHY_DRAG_DISTANCE_SQUARED = 64;  // 8 pixels before a press becomes a drag
constexpr float HIERARCHY_MARKER_HEIGHT = 6;

// The drag is shared by every object list, so rows picked up in one list can
// be dropped in another. Only row indices are kept; they are read again in
// the frame of the drop.
struct HierarchyDrag {
    Array<int32_t> drag_rows;    // rows moved by the drop under way, in list order
    bool dragging;               // the selected rows follow the pointer
    bool pressed;                // a press on a row that has not turned into a drag yet
    int64_t press_x, press_y;    // where that press was, whole pixels
};

// Content of one object list panel.
struct HierarchyPanel {
    float scroll;                // pixels the list is scrolled, 0 = top
    float content_height;        // height of the rows laid out last frame
    ButtonState new_group, show_hide, remove;
    TextField name;              // the single selected row's name
    int64_t name_row;            // the row the field shows, and its object id:
    int32_t name_object_id;      // a different row takes the keyboard from it
};

// Rectangles (x, y, width, height; y up) of one panel's parts.
struct HierarchyLayout {
    Vec4 list;
    Vec4 new_group;
    Vec4 show_hide;
    Vec4 name;
    Vec4 remove;
};

HierarchyLayout hierarchy_layout(Vec2 position, Vec2 size, float unit, float spacing);

// The row after which the group starting at `start` is closed: its matching
// end row, or the last row when a damaged list never closes it. `start`
// itself for a row that opens no group.
int64_t hierarchy_group_end(const Array<HierarchyRow>* rows, int64_t start);

// True when every group start has its matching end after it and no end row
// closes a group that was never opened. *max_depth (if given) is the depth
// the deepest row is laid out at (the top level is 1; end rows count at
// their members' depth).
bool hierarchy_nesting_valid(const Array<HierarchyRow>* rows, int32_t* max_depth);

// Selection by a press on row `index` with the keys held.
void hierarchy_select(Array<HierarchyRow>* rows, int64_t index, bool control, bool shift);

// The insertion index for the pointer over row `index`: the row's own index
// in its upper half, the next one in its lower half, and past the whole group
// for a collapsed group start.
int64_t hierarchy_drop_index(const Array<HierarchyRow>* rows, int64_t index, bool upper_half);

// What the drop did.
enum HierarchyDropResult : int32_t {
    HIERARCHY_DROP_MOVED = 0,
    HIERARCHY_DROP_NOTHING_SELECTED,
    HIERARCHY_DROP_INTO_ITSELF,    // the insertion point lies inside a dragged group
    HIERARCHY_DROP_TOO_DEEP,       // the rows would nest deeper than the walk can show
    HIERARCHY_DROP_OUT_OF_MEMORY,
};

// Lists the selected rows and the members of selected groups in `drag_rows`.
void hierarchy_collect_drag(const Array<HierarchyRow>* rows, Array<int32_t>* drag_rows);
// Moves the rows of `drag_rows` (ascending indices) together to insertion
// index `target`, keeping their order and the order of the rest.
HierarchyDropResult hierarchy_drop(SceneState* scene, Array<int32_t>* drag_rows, int64_t target);

// The panel's buttons. Each returns whether it changed the scene.
bool hierarchy_new_group(SceneState* scene);
bool hierarchy_show_hide(SceneState* scene);
bool hierarchy_delete(SceneState* scene);
// Sets the name of row `index` of the editor's scene (its own copy in the
// scene arena); false when the row cannot carry a name or the arena is full.
bool hierarchy_rename(int64_t index, String name);

// The whole panel for one frame inside (position, size), window pixels, y up.
void hierarchy_panel(HierarchyPanel* panel, Vec2 position, Vec2 size);
// Once per frame after the panels: a held press that moved 8 pixels becomes
// a drag, a release ends both, and the scene counts as modified while a drag
// is under way.
void hierarchy_drag_update();
