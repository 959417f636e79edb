// Floating panels: windows inside the editor's window that move by their
// title bar, resize from corners and edges, minimise to the title bar and
// close. One array in stacking order (last = topmost). The main loop runs
// panels_update before anything is drawn; the editor frame draws them with
// panels_draw, handing each panel's content area to the kind that hosts it.
// Relies on the widgets (ui/widgets), drawing (ui/quad, ui/text), the theme
// and icons (assets/) and the editor's pointer fields.
#pragma once

#include <cstdint>
#include <type_traits>

#include "core/containers.h"
#include "math/math.h"
#include "ui/widgets.h"

enum PanelKind : uint8_t {
    PANEL_OBJECTS = 0,            // "objects": the object list
    PANEL_PROPERTIES = 1,         // "properties"
    PANEL_GLOBAL_PROPERTIES = 2,  // "global properties"
    PANEL_FILE_DIALOG = 3,        // the caller's title
    PANEL_SAVE_PROMPT = 4,        // "question"
    PANEL_COLOR_PICKER = 5,       // "color"
};

// A resize grip: a square (corners) or strip (edges) centred on its point.
struct DragHandle {
    bool dragging;
    bool hovered;
    Vec2 grab;               // mouse minus the handle point at the press
};

enum : int32_t { CORNER_BOTTOM_LEFT, CORNER_BOTTOM_RIGHT, CORNER_TOP_LEFT, CORNER_TOP_RIGHT };
enum : int32_t { EDGE_LEFT, EDGE_RIGHT, EDGE_BOTTOM, EDGE_TOP };

constexpr int64_t PANEL_CONTENT_SIZE = 376;

// Panels are kept by value and move in memory (stacking swaps, array
// growth): contents must not point into panel records.
struct Panel {
    uint8_t kind;            // PanelKind
    bool collapsed;          // only the title bar shows
    int64_t key;             // identity, from the panel counter
    Vec2 position;           // bottom-left, window pixels
    Vec2 size;               // including the title bar
    Vec2 min_size;           // smallest size a resize leaves
    String title;            // POOL_PERSISTENT copy
    DragHandle corners[4];   // CORNER_*
    Vec2 corner_points[4];
    DragHandle edges[4];     // EDGE_*
    Vec2 edge_points[4];
    // The kind's own state. For file dialogs, save questions and color
    // pickers the first byte is the close request the content sets.
    alignas(8) uint8_t content[PANEL_CONTENT_SIZE];
};

template <typename T>
T* panel_content(Panel* panel) {
    static_assert(sizeof(T) <= PANEL_CONTENT_SIZE, "panel content must fit in the panel record");
    static_assert(std::is_trivially_copyable_v<T>, "panel content is copied with the panel");
    return reinterpret_cast<T*>(panel->content);
}

// Content of the save question (kind 4): drawn by the editor frame.
struct SavePrompt {
    bool close_request;
    uint8_t purpose;         // SAVE_PURPOSE_*: 0 new scene, 1 quit, 2 open afterwards
    ButtonState yes, no, cancel;
};

struct PanelState {
    Array<Panel> list;       // stacking order, grows in POOL_PERSISTENT
    int64_t counter;         // next key
    bool moving;             // a title drag is under way
    int64_t moving_index;
    Vec2 last_mouse;
    double title_height;     // "scale"
    double handle_size;      // half of "scale"
    int64_t hovered_panel;   // index whose title, minimise or close is under the mouse; -1 none
    bool over_title, over_minimize, over_close;
};

// A panel record of `kind` with the next key, `title` copied, content zeroed.
Panel panel_make(uint8_t kind, String title, Vec2 position, Vec2 size);
// Minimum size (200 x 200, wider for the save question), handle layout and
// the kind's content.
void panel_init(Panel* panel);
// Copies the record on top of the stack. Returns its index, -1 when the
// pool is full (reported).
int64_t panel_append(const Panel* panel);
// panel_make + panel_init + panel_append.
int64_t panel_open(uint8_t kind, String title, Vec2 position, Vec2 size);
// Removes the record at `index`; other indices are ignored.
void panel_remove(int64_t index);
void panel_layout(Panel* panel);
// Whether the point belongs to the panel with `key` rather than to one
// stacked above it. Key -1 (the viewport) owns it when no panel contains it.
bool panel_owns_point(int64_t key, float x, float y);
int64_t panel_find(int64_t key);   // index, -1 none
// One handle for this frame: follows the mouse while dragged, hover, press
// and release.
void handle_update(DragHandle* handle, Vec2* point, Vec2 size, const PointerInput& pointer);
// Opens the save question asked before `purpose` (SAVE_PURPOSE_* of
// scene/file_dialog.h); returns its index (-1 when it could not be made).
int64_t save_prompt_open(uint8_t purpose);

// The main-loop step: hover, resize, move, minimise and close.
void panels_update();
void panels_update_with(const PointerInput& pointer);
// Window resized: every panel scaled by new / old and laid out again.
void panels_scale(int32_t old_width, int32_t old_height, int32_t new_width, int32_t new_height);

// Draws every panel from the bottom up: body, title bar, minimise and close
// squares, hover highlight, then (not collapsed) the content through
// `draw_content` scissored to the content rectangle (x, y, width, height -
// title), and the resize icon. While a panel draws, the top of
// input_enable_stack says whether it owns the pointer. `draw_content` may
// open panels (the array can grow) but must not remove any; it may be null.
typedef void PanelContentFunction(int64_t index, Vec4 content_rect);
void panels_draw(PanelContentFunction* draw_content);
