// Immediate-mode widgets: the button state machine, icon and text buttons,
// the toolbar strip with its layout cursor, the vertical scrollbar and list
// rows. Each call reads this frame's pointer, edits the caller's record and
// draws at once. Relies on ui/quad and ui/text for drawing, the theme and
// icons of assets/, and the pointer-area stack kept in the editor.
#pragma once

#include <cstdint>

#include "core/types.h"
#include "math/math.h"

// The pointer as the widgets see it in one frame. Read once from the
// platform and the editor with pointer_input_read; tests build it by hand.
struct PointerInput {
    float x, y;          // window pixels, y up
    bool enabled;        // top of the input_enable_stack is nonzero
    bool pressed;        // primary button went down this frame
    bool held;           // primary button is down
    bool released;       // primary button went up this frame
};

PointerInput pointer_input_read();

enum : uint8_t { BUTTON_IDLE = 0, BUTTON_HOVERED = 1, BUTTON_HELD = 2 };

// Kept by the caller between frames.
struct ButtonState {
    uint8_t state;       // BUTTON_IDLE, BUTTON_HOVERED or BUTTON_HELD
    uint8_t armed;       // pressed inside, not yet released anywhere
    uint8_t clicked;     // released inside this frame
};

// x <= px < x + w and y <= py < y + h (left and bottom inclusive).
bool rect_contains(Vec4 rect, float px, float py);

// Updates `state` for `rect` from this frame's pointer; returns clicked.
bool button_update(ButtonState* state, Vec4 rect);
bool button_update_with(ButtonState* state, Vec4 rect, const PointerInput& pointer);

// The hover / pressed overlay drawn over a button after its content.
void button_draw_overlay(const ButtonState* state, Vec4 rect);

// Base-color square, the icon tinted with `icon_color`, the overlay.
bool icon_button(ButtonState* state, Vec4 rect, uint32_t icon, Vec4 icon_color);
// Base-color rectangle and `text` centred in it with the interface font.
bool text_button(ButtonState* state, Vec4 rect, String text);

// ---------------------------------------------------------------------------
// Toolbar: one row of square buttons along the top edge of the window, laid
// out from the left by a cursor that each button advances.

constexpr int32_t TOOLBAR_BUTTON_COUNT = 19;

struct ToolbarState {
    ButtonState buttons[TOOLBAR_BUTTON_COUNT];  // new, open, save, export, placing, pivot, path,
                                                // four gizmo modes, five kinds, three panels
    float height;                               // 2 x "scale": the strip panels stay below
    float button_size;                          // 2 x "scale"
    float cursor_x;                             // where the next button goes
};

// Sizes from the theme, cursor to 0, pushes whether the pointer is in the
// strip and fills the strip. Every toolbar_begin is closed by toolbar_end.
void toolbar_begin();
void toolbar_end();
// The theme's "offset" of empty space before the next button.
void toolbar_gap();
bool toolbar_button(ButtonState* state, uint32_t icon, uint32_t alternate_icon, bool use_alternate, Vec4 icon_color);
bool toolbar_toggle(ButtonState* state, uint32_t icon, Vec4 icon_color, bool on);

// ---------------------------------------------------------------------------
// Vertical scrollbar. Position 1 puts the thumb at the top of the track,
// 0 at the bottom.

struct Scrollbar {
    float position;            // 0..1
    float visible_fraction;    // part of the content that fits; >= 1 hides the bar
    float min_thumb;           // pixels
    bool dragging;
    float drag_start_position;
    float drag_start_mouse_y;
};

// The thumb rectangle for the current position (height 0 when hidden).
Vec4 scrollbar_thumb(const Scrollbar* bar, Vec4 rect);
// The interaction alone; returns whether the thumb is hovered.
bool scrollbar_step(Scrollbar* bar, Vec4 rect, const PointerInput& pointer);
void scrollbar_update(Scrollbar* bar, Vec4 rect);

// ---------------------------------------------------------------------------
// List rows: an icon and a name, or a separator bar. Drawing only.

struct ListRow {
    Vec4 color;
    uint32_t icon;
    String text;
    bool separator;
};

void list_row_draw(Vec4 clip, float separator_x, float icon_x, float top_y, float separator_width, const ListRow* row);
