// Property panels: lists of named, typed values under collapsible headings,
// each shown with the widget of its type and kept in step with the value it
// edits; the object panel (the edited object, a template in placement mode),
// the scene settings panel, and the color picker panel a color swatch opens.
// Relies on the text fields, widgets and color picker (ui/), the scene
// records and asset lookups, the floating panels and the editor state.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "math/math.h"
#include "ui/color_picker.h"
#include "ui/text_field.h"
#include "ui/widgets.h"

struct Panel;
struct SceneObject;

enum PropertyType : uint8_t {
    PROPERTY_BOOL = 0,        // one byte; check box
    PROPERTY_INTEGER = 1,     // int64_t; single-line field
    PROPERTY_NUMBER = 2,      // double; single-line field
    PROPERTY_VEC2 = 3,        // two floats
    PROPERTY_VEC3 = 4,
    PROPERTY_VEC4 = 5,
    PROPERTY_ROTATION = 6,    // Rotor, shown as s, xy, xz, yz
    PROPERTY_COLOR = 7,       // Vec4 RGBA, with a swatch that opens the picker
    PROPERTY_RECTANGLE = 8,   // four floats: x, y, w, h
    PROPERTY_NAME = 9,        // String; single-line field
    PROPERTY_TEXT = 10,       // String; multi-line field
    PROPERTY_HEADING = 11,    // no value: its name only
    PROPERTY_TYPE_COUNT = 12,
};

// What a color swatch's picker is bound to (ColorBinding::kind). The picker
// finds its color again every frame through these, never through a pointer
// kept from the frame that opened it.
enum : uint8_t {
    COLOR_BIND_NONE = 0,
    COLOR_BIND_OBJECT = 1,       // id: object id; field: the object's kind (quad, text or path color)
    COLOR_BIND_TEMPLATE = 2,     // field: the placement template's kind
    COLOR_BIND_BACKGROUND = 3,   // the scene settings' background
};
// ColorBinding::scene is the scene's replace_count when the picker opened:
// after an open, a new scene, an undo or a redo an id may name another
// object (or the same one in a state the picker must not write over), so a
// picker of an earlier scene resolves to nothing and closes.

struct Property {
    uint8_t type;                 // PropertyType
    String name;                  // POOL_PERSISTENT copy
    TextField components[4];      // vector types
    TextField field;              // integer, number, name, text
    ButtonState check;
    bool shown_value;             // what the check box shows
    ButtonState swatch;
    void* target;                 // the edited value; null: shown, edits nothing
    ColorBinding binding;         // color: what a picker opened from the swatch edits
    Vec4 rect;                    // where its check box, swatch or field was drawn last
    bool hidden;                  // left out this frame: neither synchronised nor drawn
    bool changed;                 // this frame
};

struct PropertyGroup {
    String name;
    Array<Property> properties;   // POOL_PERSISTENT, capacity 1 doubling
    ButtonState heading;
    bool collapsed;
    bool changed;                 // some property took a value from its widget this frame
    bool modified;                // ... and that value differs from what the target held
    bool wants_wheel;             // the pointer is over one of its multi-line fields
};

// A zero-initialised row of `type` named `name` (copied). Returns it, null
// when the pool is full.
Property* property_add(PropertyGroup* group, uint8_t type, String name);
PropertyGroup property_group_make(String name);

// Step 1 alone: values move from widgets that were used last frame (a click
// on a check box, a field with the keyboard) into their targets, and from
// the targets into every other widget.
void property_group_sync(PropertyGroup* group);
// One frame of a group: synchronisation, then the heading and the rows from
// *cursor_y downwards (a row's bottom edge at the cursor); *cursor_y ends
// below the space used.
void property_group_update(PropertyGroup* group, float label_width, Vec2 position, float width, float* cursor_y);

// Every field of the group gives up the keyboard and a check box click not
// yet taken is dropped: for rows that are not drawn, which would otherwise
// go on writing their old text into whatever they are bound to next.
void property_group_release(PropertyGroup* group);

// False for a type outside the table: a debug build stops on it; a release
// build prints one line (once per run) and the row is left out.
bool property_type_check(uint8_t type);

// ---------------------------------------------------------------------------
// Object and settings panels

enum : int32_t { OBJECT_GROUP_TRANSFORM, OBJECT_GROUP_MATERIAL, OBJECT_GROUP_MESH, OBJECT_GROUP_TEXT,
                 OBJECT_GROUP_DATA, OBJECT_GROUP_PATH, OBJECT_GROUP_COUNT };

// A scrolled column of groups. Lives in POOL_PERSISTENT; panels keep a
// pointer to it in their content (panel records move, this does not).
struct PropertyColumn {
    PropertyGroup groups[OBJECT_GROUP_COUNT];
    int32_t group_count;
    Scrollbar scrollbar;          // position 1: the top of the column shows
    float content_height;         // what does not fit, measured last frame
    bool wheel_blocked;           // a group wanted the wheel last frame
    int64_t edited_id;            // the object the rows were bound to when they last ran (EDITED_* or an id)
    // The path point the point rows were bound to when they last ran: a
    // field that held the keyboard for another point must not write into
    // this one.
    int64_t point_object_id;      // the path's object id, EDITED_TEMPLATE, or EDITED_NONE
    int64_t point_index;
    int64_t point_count;          // the path's points then: an insert or removal shifts them
    int64_t drawn_frame;          // editor frame that last drew the column
};

// Content of the properties (kind 1) and global properties (kind 2) panels.
struct PropertyPanelContent {
    PropertyColumn* column;
};

// The groups of the tables, in table order.
void object_property_tables(PropertyColumn* column);
// "rendering" and "placement", bound to the scene settings.
void settings_property_tables(PropertyColumn* column);

// Builds the column of a kind 1 or 2 panel into its content (others: nothing).
void property_panel_init(Panel* panel);

// Per frame, inside the content rectangle.
void object_property_panel(PropertyColumn* column, Vec4 rect);
void settings_property_panel(PropertyColumn* column, Vec4 rect);
void color_picker_panel(ColorPicker* picker, Vec4 rect);
// The content of kinds 1, 2 and 5 (others: nothing).
void property_panel_content(int64_t index, Vec4 rect);

// Opens the 480 x 480 "color" panel centred in the window, started from
// `color`. Returns its index, -1 when it could not be made.
int64_t color_picker_open(Vec4 color, ColorBinding binding);
// The color a binding names now; null when it is gone (its object deleted,
// of another kind, the template of another kind).
Vec4* color_binding_resolve(ColorBinding binding);

// ---------------------------------------------------------------------------
// The edited object

// Editor state of the property panels.
struct PropertyPanelState {
    int64_t edited_id;               // EDITED_NONE, EDITED_TEMPLATE or an object id
    bool position_fields_focused;    // a "position" field of a "transform" group has the keyboard
    bool position_focus_seen;        // ... gathered over this frame's panels, taken at the next
};
constexpr int64_t EDITED_NONE = -1;
constexpr int64_t EDITED_TEMPLATE = -2;

// The main loop's choice, in frames where the keyboard is free: with
// placement mode on the placement template (its transform taken from the
// placement cursor), otherwise the object of the single selected row.
void edited_object_update();
// What the panels edit this frame, found again from the kept id; null when
// nothing is edited or the object is gone.
SceneObject* edited_object_find();
