// Immediate-mode widgets: the button state machine, icon and text buttons,
// toolbar buttons and toggles, the scrollbar and list rows. Relies on the
// editor's pointer fields and input_enable_stack, the theme and icon table,
// and ui/quad + ui/text for drawing.
#include "ui/widgets.h"

#include "app/editor.h"
#include "platform/platform.h"
#include "ui/quad.h"
#include "ui/text.h"

PointerInput pointer_input_read() {
    PointerInput pointer;
    pointer.x = editor.mouse_x;
    pointer.y = editor.mouse_y;
    pointer.enabled = input_enable_top() != 0;
    pointer.pressed = input_mouse_is_pressed(MOUSE_PRIMARY);
    pointer.held = input_mouse_is_held(MOUSE_PRIMARY);
    pointer.released = input_mouse_is_released(MOUSE_PRIMARY);
    return pointer;
}

bool rect_contains(Vec4 rect, float px, float py) {
    return rect.x <= px && px < rect.x + rect.z && rect.y <= py && py < rect.y + rect.w;
}

static uint32_t white_texture() { return editor.assets.icons[ICON_WHITE]; }

static Font* interface_font() { return editor.theme.font ? editor.theme.font : &editor.assets.default_font; }

// ---------------------------------------------------------------------------
// Button state machine
//
// A click is a release inside the rectangle; where the press happened does
// not matter. Hover needs the button up, so dragging across a button from
// elsewhere shows nothing; "held" needs the press to have started inside.
// Frame by frame, for a pointer that enters, presses, leaves and comes back:
//
//   frame  pointer          button edge   state    armed  clicked
//   0      outside          up            idle     0      0
//   1      inside           up            hovered  0      0
//   2      inside           pressed       held     1      0
//   3      inside           held          held     1      0
//   4      outside          held          held     1      0    (still armed)
//   5      inside           released      idle     0      1    (click)
//   6      inside           up            hovered  0      0
//
// A press that starts outside and is released inside:
//
//   0      outside          pressed       idle     0      0
//   1      inside           held          idle     0      0    (no hover while held)
//   2      inside           released      idle     0      1    (click)
//
// With the top of input_enable_stack at 0 (another area owns the pointer)
// nothing inside counts: no hover, no arming, no click; an armed button stays
// held until the release, which disarms it anywhere.

bool button_update_with(ButtonState* state, Vec4 rect, const PointerInput& pointer) {
    state->state = BUTTON_IDLE;
    state->clicked = 0;
    if (pointer.enabled && rect_contains(rect, pointer.x, pointer.y)) {
        if (!pointer.held) state->state = BUTTON_HOVERED;
        if (pointer.pressed) state->armed = 1;
        if (pointer.released) state->clicked = 1;
    }
    if (state->armed) state->state = BUTTON_HELD;
    if (pointer.released) {
        state->state = BUTTON_IDLE;
        state->armed = 0;
    }
    return state->clicked != 0;
}

bool button_update(ButtonState* state, Vec4 rect) { return button_update_with(state, rect, pointer_input_read()); }

void button_draw_overlay(const ButtonState* state, Vec4 rect) {
    if (state->state == BUTTON_HOVERED) {
        quad_draw(white_texture(), editor.theme.hover_color, rect.x, rect.y, rect.z, rect.w);
    } else if (state->state == BUTTON_HELD) {
        quad_draw(white_texture(), editor.theme.pressed_color, rect.x, rect.y, rect.z, rect.w);
    }
}

bool icon_button(ButtonState* state, Vec4 rect, uint32_t icon, Vec4 icon_color) {
    bool clicked = button_update(state, rect);
    quad_draw(white_texture(), editor.theme.color, rect.x, rect.y, rect.z, rect.w);
    quad_draw(icon, icon_color, rect.x, rect.y, rect.z, rect.w);
    button_draw_overlay(state, rect);
    return clicked;
}

bool text_button(ButtonState* state, Vec4 rect, String text) {
    bool clicked = button_update(state, rect);
    const Theme& theme = editor.theme;
    quad_draw(white_texture(), theme.color, rect.x, rect.y, rect.z, rect.w);
    text_draw_now(interface_font(), theme.text_color, text, rect.x + rect.z * 0.5f, rect.y + rect.w * 0.5f,
                  theme.text_scale, theme.text_scale, ALIGN_CENTER, ALIGN_MIDDLE);
    button_draw_overlay(state, rect);
    return clicked;
}

// ---------------------------------------------------------------------------
// Toolbar

void toolbar_begin() {
    ToolbarState& toolbar = editor.toolbar;
    toolbar.height = 2 * editor.theme.scale;
    toolbar.button_size = 2 * editor.theme.scale;
    toolbar.cursor_x = 0;
    float top = (float)editor.window_height;
    Vec4 strip = {0, top - toolbar.height, (float)editor.window_width, toolbar.height};
    input_enable_push(rect_contains(strip, editor.mouse_x, editor.mouse_y) ? 1 : 0);
    quad_draw(white_texture(), editor.theme.panel_background, strip.x, strip.y, strip.z, strip.w);
}

void toolbar_end() { input_enable_pop(); }

void toolbar_gap() { editor.toolbar.cursor_x += editor.theme.offset; }

static Vec4 toolbar_next_rect() {
    ToolbarState& toolbar = editor.toolbar;
    float size = toolbar.button_size;
    Vec4 rect = {toolbar.cursor_x, (float)editor.window_height - size, size, size};
    toolbar.cursor_x += size;
    return rect;
}

bool toolbar_button(ButtonState* state, uint32_t icon, uint32_t alternate_icon, bool use_alternate, Vec4 icon_color) {
    Vec4 rect = toolbar_next_rect();
    return icon_button(state, rect, use_alternate ? alternate_icon : icon, icon_color);
}

bool toolbar_toggle(ButtonState* state, uint32_t icon, Vec4 icon_color, bool on) {
    Vec4 rect = toolbar_next_rect();
    bool clicked = icon_button(state, rect, icon, icon_color);
    if (on) quad_draw(white_texture(), editor.theme.selection_color, rect.x, rect.y, rect.z, rect.w);
    return clicked;
}

// ---------------------------------------------------------------------------
// Scrollbar

static float scrollbar_thumb_length(const Scrollbar* bar, float track) {
    float length = bar->visible_fraction * track;
    return length > bar->min_thumb ? length : bar->min_thumb;
}

Vec4 scrollbar_thumb(const Scrollbar* bar, Vec4 rect) {
    if (bar->visible_fraction >= 1) return Vec4{rect.x, rect.y, rect.z, 0};
    float thumb = scrollbar_thumb_length(bar, rect.w);
    return Vec4{rect.x, rect.y + (rect.w - thumb) * bar->position, rect.z, thumb};
}

bool scrollbar_step(Scrollbar* bar, Vec4 rect, const PointerInput& pointer) {
    if (bar->visible_fraction >= 1) return false;
    Vec4 thumb = scrollbar_thumb(bar, rect);
    bool hovered = pointer.enabled && rect_contains(thumb, pointer.x, pointer.y);
    if (hovered && pointer.pressed) {
        bar->dragging = true;
        bar->drag_start_position = bar->position;
        bar->drag_start_mouse_y = pointer.y;
    }
    // A thumb as long as the track (a large minimum length) has no travel:
    // the position stays rather than dividing by zero.
    float travel = rect.w - thumb.w;
    if (bar->dragging && travel > 0) {
        bar->position = (pointer.y - bar->drag_start_mouse_y) / travel + bar->drag_start_position;
    }
    if (!(bar->position >= 0)) bar->position = 0;   // also catches NaN
    if (bar->position > 1) bar->position = 1;
    if (pointer.released) bar->dragging = false;
    return hovered;
}

void scrollbar_update(Scrollbar* bar, Vec4 rect) {
    if (bar->visible_fraction >= 1) return;
    bool hovered = scrollbar_step(bar, rect, pointer_input_read());
    Vec4 thumb = scrollbar_thumb(bar, rect);
    const Theme& theme = editor.theme;
    quad_draw(white_texture(), theme.color, thumb.x, thumb.y, thumb.z, thumb.w);
    if (bar->dragging) {
        quad_draw(white_texture(), theme.pressed_color, thumb.x, thumb.y, thumb.z, thumb.w);
    } else if (hovered) {
        quad_draw(white_texture(), theme.hover_color, thumb.x, thumb.y, thumb.z, thumb.w);
    }
}

// ---------------------------------------------------------------------------
// List rows

void list_row_draw(Vec4 clip, float separator_x, float icon_x, float top_y, float separator_width, const ListRow* row) {
    const Theme& theme = editor.theme;
    static const Vec4 full_uv = {0, 0, 1, 1};
    if (row->separator) {
        quad_draw_clipped(white_texture(), row->color, separator_x, top_y - theme.offset, separator_width,
                          theme.offset, full_uv, clip);
        return;
    }
    float size = theme.scale;
    quad_draw_clipped(row->icon, row->color, icon_x, top_y - size, size, size, full_uv, clip);
    text_draw_now_clipped(interface_font(), row->color, row->text, clip, icon_x + size + theme.text_offset,
                          top_y - size * 0.5f, theme.text_scale, theme.text_scale);
}
