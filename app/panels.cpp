// Floating panels: the stack of panel records, their resize handles, the
// main-loop step that moves, resizes, minimises and closes them, and their
// frames. Relies on the widgets' pointer record, ui/quad + ui/text, the
// theme and icon table, and the platform's scissor.
#include "app/panels.h"

#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"
#include "ui/quad.h"
#include "tools/property_panel.h"
#include "ui/text.h"

static PanelState& state() { return editor.panels; }

static double title_height() {
    double t = state().title_height;
    return t > 0 ? t : editor.theme.scale;
}

static double handle_size() {
    double h = state().handle_size;
    return h > 0 ? h : editor.theme.scale * 0.5;
}

// ---------------------------------------------------------------------------
// Records

Panel panel_make(uint8_t kind, String title, Vec2 position, Vec2 size) {
    Panel panel;
    std::memset(&panel, 0, sizeof(panel));
    panel.kind = kind;
    panel.key = state().counter++;
    panel.position = position;
    panel.size = size;
    panel.title = string_copy(title);
    return panel;
}

void panel_init(Panel* panel) {
    panel->min_size = Vec2{200, 200};
    // The question's three buttons need the width.
    if (panel->kind == PANEL_SAVE_PROMPT) panel->min_size.x = 400;
    panel_layout(panel);
    property_panel_init(panel);
    // The other kinds' hosts fill their content after this call (the object
    // list, file dialog and color picker know their own).
}

int64_t panel_append(const Panel* panel) {
    int64_t index = array_push(&state().list, *panel);
    if (index < 0) print(S("cannot open panel: out of memory\n"));
    return index;
}

int64_t panel_open(uint8_t kind, String title, Vec2 position, Vec2 size) {
    Panel panel = panel_make(kind, title, position, size);
    panel_init(&panel);
    return panel_append(&panel);
}

void panel_remove(int64_t index) {
    PanelState& panels = state();
    if (index < 0 || index >= panels.list.count) return;
    array_remove(&panels.list, index);
    // Indices held across frames follow the records they name.
    if (panels.moving) {
        if (panels.moving_index == index) panels.moving = false;
        else if (panels.moving_index > index) panels.moving_index--;
    }
    if (panels.hovered_panel == index) panels.hovered_panel = -1;
    else if (panels.hovered_panel > index) panels.hovered_panel--;
}

void panel_layout(Panel* panel) {
    float x = panel->position.x, y = panel->position.y, w = panel->size.x, h = panel->size.y;
    panel->corner_points[CORNER_BOTTOM_LEFT] = Vec2{x, y};
    panel->corner_points[CORNER_BOTTOM_RIGHT] = Vec2{x + w, y};
    panel->corner_points[CORNER_TOP_LEFT] = Vec2{x, y + h};
    panel->corner_points[CORNER_TOP_RIGHT] = Vec2{x + w, y + h};
    panel->edge_points[EDGE_LEFT] = Vec2{x, y + h / 2};
    panel->edge_points[EDGE_RIGHT] = Vec2{x + w, y + h / 2};
    panel->edge_points[EDGE_BOTTOM] = Vec2{x + w / 2, y};
    panel->edge_points[EDGE_TOP] = Vec2{x + w / 2, y + h};
}

// The panel's own rectangle grown by half a handle on every side, so that
// the outer halves of the handles belong to it; a collapsed panel is only its
// title bar.
static bool panel_contains(const Panel* panel, float x, float y) {
    float grow = (float)handle_size() * 0.5f;
    float t = (float)title_height();
    Vec4 rect = {panel->position.x, panel->position.y, panel->size.x, panel->size.y};
    if (panel->collapsed) {
        rect.y += rect.w - t;
        rect.w = t;
    }
    rect = Vec4{rect.x - grow, rect.y - grow, rect.z + 2 * grow, rect.w + 2 * grow};
    return rect_contains(rect, x, y);
}

bool panel_owns_point(int64_t key, float x, float y) {
    const Array<Panel>& list = state().list;
    for (int64_t i = list.count - 1; i >= 0; i--) {
        if (list.data[i].key == key) return true;
        if (panel_contains(&list.data[i], x, y)) return false;
    }
    return true;
}

int64_t panel_find(int64_t key) {
    const Array<Panel>& list = state().list;
    for (int64_t i = 0; i < list.count; i++) {
        if (list.data[i].key == key) return i;
    }
    return -1;
}

void handle_update(DragHandle* handle, Vec2* point, Vec2 size, const PointerInput& pointer) {
    if (handle->dragging) *point = Vec2{pointer.x - handle->grab.x, pointer.y - handle->grab.y};
    Vec4 rect = {point->x - size.x * 0.5f, point->y - size.y * 0.5f, size.x, size.y};
    handle->hovered = rect_contains(rect, pointer.x, pointer.y);
    if (pointer.pressed && handle->hovered) {
        handle->dragging = true;
        handle->grab = Vec2{pointer.x - point->x, pointer.y - point->y};
    }
    if (pointer.released) handle->dragging = false;
}

static bool any_handle_dragging(const Panel* panel) {
    for (int32_t i = 0; i < 4; i++) {
        if (panel->corners[i].dragging || panel->edges[i].dragging) return true;
    }
    return false;
}

static bool any_handle_hovered(const Panel* panel) {
    for (int32_t i = 0; i < 4; i++) {
        if (panel->corners[i].hovered || panel->edges[i].hovered) return true;
    }
    return false;
}

int64_t save_prompt_open(uint8_t purpose) {
    float w = (float)editor.window_width, h = (float)editor.window_height;
    Panel panel = panel_make(PANEL_SAVE_PROMPT, S("question"), Vec2{w / 2 - 240, h / 2 - 120}, Vec2{480, 240});
    panel_init(&panel);
    panel_content<SavePrompt>(&panel)->purpose = purpose;
    return panel_append(&panel);
}

// ---------------------------------------------------------------------------
// The main-loop step

// Corners and edges change the geometry; the minimum size holds the side
// opposite the dragged one still; the top stays below the toolbar.
static void panel_resize(Panel* panel, const PointerInput& pointer) {
    float hs = (float)handle_size();
    DragHandle* corners = panel->corners;
    DragHandle* edges = panel->edges;
    Vec2* cp = panel->corner_points;
    Vec2* ep = panel->edge_points;

    for (int32_t i = 0; i < 4; i++) handle_update(&corners[i], &cp[i], Vec2{hs, hs}, pointer);
    if (corners[CORNER_BOTTOM_LEFT].dragging || corners[CORNER_TOP_RIGHT].dragging) {
        panel->position = cp[CORNER_BOTTOM_LEFT];
        panel->size = Vec2{cp[CORNER_TOP_RIGHT].x - cp[CORNER_BOTTOM_LEFT].x,
                           cp[CORNER_TOP_RIGHT].y - cp[CORNER_BOTTOM_LEFT].y};
    } else if (corners[CORNER_BOTTOM_RIGHT].dragging || corners[CORNER_TOP_LEFT].dragging) {
        panel->position = Vec2{cp[CORNER_TOP_LEFT].x, cp[CORNER_BOTTOM_RIGHT].y};
        panel->size = Vec2{cp[CORNER_BOTTOM_RIGHT].x - cp[CORNER_TOP_LEFT].x,
                           cp[CORNER_TOP_LEFT].y - cp[CORNER_BOTTOM_RIGHT].y};
    }

    Vec2 vertical = {hs, panel->size.y - hs};
    Vec2 horizontal = {panel->size.x - hs, hs};
    handle_update(&edges[EDGE_LEFT], &ep[EDGE_LEFT], vertical, pointer);
    handle_update(&edges[EDGE_RIGHT], &ep[EDGE_RIGHT], vertical, pointer);
    handle_update(&edges[EDGE_BOTTOM], &ep[EDGE_BOTTOM], horizontal, pointer);
    handle_update(&edges[EDGE_TOP], &ep[EDGE_TOP], horizontal, pointer);
    if (edges[EDGE_LEFT].dragging || edges[EDGE_RIGHT].dragging) {
        panel->position.x = ep[EDGE_LEFT].x;
        panel->size.x = ep[EDGE_RIGHT].x - ep[EDGE_LEFT].x;
    }
    if (edges[EDGE_BOTTOM].dragging || edges[EDGE_TOP].dragging) {
        panel->position.y = ep[EDGE_BOTTOM].y;
        panel->size.y = ep[EDGE_TOP].y - ep[EDGE_BOTTOM].y;
    }

    bool left = edges[EDGE_LEFT].dragging || corners[CORNER_BOTTOM_LEFT].dragging || corners[CORNER_TOP_LEFT].dragging;
    bool bottom =
        edges[EDGE_BOTTOM].dragging || corners[CORNER_BOTTOM_LEFT].dragging || corners[CORNER_BOTTOM_RIGHT].dragging;
    bool top = edges[EDGE_TOP].dragging || corners[CORNER_TOP_LEFT].dragging || corners[CORNER_TOP_RIGHT].dragging;
    if (panel->size.x < panel->min_size.x) {
        if (left) panel->position.x += panel->size.x - panel->min_size.x;
        panel->size.x = panel->min_size.x;
    }
    if (panel->size.y < panel->min_size.y) {
        if (bottom) panel->position.y += panel->size.y - panel->min_size.y;
        panel->size.y = panel->min_size.y;
    }

    float limit = (float)editor.window_height - editor.toolbar.height;
    float excess = panel->position.y + panel->size.y - limit;
    if (excess > 0) {
        // Dragging the top past the toolbar stops the top there; lowering the
        // whole panel instead would drag its bottom down with the mouse.
        if (top) {
            float room = panel->size.y - panel->min_size.y;
            float shrink = excess < room ? excess : (room > 0 ? room : 0);
            panel->size.y -= shrink;
            excess -= shrink;
        }
        panel->position.y -= excess;
    }
    panel_layout(panel);
}

void panels_update_with(const PointerInput& pointer) {
    PanelState& panels = state();
    panels.title_height = editor.theme.scale;
    panels.handle_size = editor.theme.scale * 0.5;
    panels.hovered_panel = -1;
    panels.over_title = panels.over_minimize = panels.over_close = false;
    float t = (float)panels.title_height;
    float mx = pointer.x, my = pointer.y;

    // Panels below the one under the mouse are not walked this frame; their
    // hover from an earlier frame must not linger (the resize icon).
    for (int64_t i = 0; i < panels.list.count; i++) {
        Panel* panel = &panels.list.data[i];
        for (int32_t h = 0; h < 4; h++) panel->corners[h].hovered = panel->edges[h].hovered = false;
    }

    for (int64_t i = panels.list.count - 1; i >= 0; i--) {
        Panel* panel = &panels.list.data[i];
        if (!panel_owns_point(panel->key, mx, my)) break;
        panel_resize(panel, pointer);

        float x = panel->position.x, y = panel->position.y, w = panel->size.x, h = panel->size.y;
        bool in_title_rows = y + h - t <= my && my < y + h;
        bool in_title = in_title_rows && x <= mx && mx < x + w - 2 * t;
        bool in_minimize = in_title_rows && x + w - 2 * t <= mx && mx < x + w - t;
        bool in_close = in_title_rows && x + w - t <= mx && mx < x + w;
        if (panels.hovered_panel == -1 && (in_title || in_minimize || in_close)) {
            panels.over_title = in_title;
            panels.over_minimize = in_minimize;
            panels.over_close = in_close;
            panels.hovered_panel = i;
        }

        if (pointer.pressed) {
            if (any_handle_dragging(panel)) break;
            if (in_title) {
                int64_t top = panels.list.count - 1;
                Panel swapped = panels.list.data[top];
                panels.list.data[top] = *panel;
                panels.list.data[i] = swapped;
                if (panels.hovered_panel == i) panels.hovered_panel = top;
                panels.moving = true;
                panels.moving_index = top;
                panels.last_mouse = Vec2{mx, my};
                break;
            }
            if (in_minimize) {
                panel->collapsed = !panel->collapsed;
            } else if (in_close) {
                // One click closes one panel: the panel beneath must not take
                // the same press.
                panel_remove(i);
                break;
            }
        }

        bool closes_itself = panel->kind == PANEL_FILE_DIALOG || panel->kind == PANEL_SAVE_PROMPT ||
                             panel->kind == PANEL_COLOR_PICKER;
        if (closes_itself && panel->content[0]) panel_remove(i);
    }

    if (panels.moving) {
        if (panels.moving_index < 0 || panels.moving_index >= panels.list.count) {
            panels.moving = false;
        } else {
            Panel* panel = &panels.list.data[panels.moving_index];
            panel->position.x += mx - panels.last_mouse.x;
            panel->position.y += my - panels.last_mouse.y;
            panels.last_mouse = Vec2{mx, my};
            panel_layout(panel);
        }
        if (pointer.released) panels.moving = false;
    }

    // A resize released while another panel had the mouse was not seen by
    // the walk; without this the handle would keep following the mouse.
    if (pointer.released) {
        for (int64_t i = 0; i < panels.list.count; i++) {
            Panel* panel = &panels.list.data[i];
            for (int32_t h = 0; h < 4; h++) panel->corners[h].dragging = panel->edges[h].dragging = false;
        }
    }
}

void panels_update() {
    PointerInput pointer = pointer_input_read();
    pointer.enabled = true;   // panels decide ownership among themselves
    panels_update_with(pointer);
}

void panels_scale(int32_t old_width, int32_t old_height, int32_t new_width, int32_t new_height) {
    // A zero size (a minimised window on some systems) would flatten every
    // panel for good; such a resize is passed over.
    if (old_width <= 0 || old_height <= 0 || new_width <= 0 || new_height <= 0) return;
    float sx = (float)new_width / (float)old_width;
    float sy = (float)new_height / (float)old_height;
    Array<Panel>& list = state().list;
    for (int64_t i = 0; i < list.count; i++) {
        Panel* panel = &list.data[i];
        panel->position.x *= sx;
        panel->size.x *= sx;
        panel->position.y *= sy;
        panel->size.y *= sy;
        panel_layout(panel);
    }
}

// ---------------------------------------------------------------------------
// Drawing

static int32_t round_to_int(float value) { return (int32_t)math_floor(value + 0.5); }

static void panel_draw_frame(int64_t index) {
    PanelState& panels = state();
    const Theme& theme = editor.theme;
    const Panel* panel = &panels.list.data[index];
    uint32_t white = editor.assets.icons[ICON_WHITE];
    float t = (float)title_height();
    float x = panel->position.x, y = panel->position.y, w = panel->size.x, h = panel->size.y;
    Font* font = theme.font ? theme.font : &editor.assets.default_font;

    if (!panel->collapsed) quad_draw(white, theme.panel_background, x, y, w, h);
    quad_draw(editor.assets.icons[ICON_GRADIENT1], Vec4{1, 1, 1, 1}, x, y + h - t, w, t);
    text_draw_now(font, theme.text_color, panel->title, x + theme.offset, y + h - t / 2, theme.text_scale,
                  theme.text_scale, ALIGN_LEFT, ALIGN_MIDDLE);
    uint32_t minimize_icon = editor.assets.icons[panel->collapsed ? ICON_MAXIMIZE : ICON_MINIMIZE];
    quad_draw(minimize_icon, theme.minimize_color, x + w - 2 * t, y + h - t, t, t);
    quad_draw(editor.assets.icons[ICON_CLOSE], theme.close_color, x + w - t, y + h - t, t, t);

    bool quiet = !any_handle_dragging(panel) && !input_mouse_is_held(MOUSE_PRIMARY) && !panels.moving;
    if (panels.hovered_panel == index && quiet) {
        if (panels.over_title) quad_draw(white, theme.hover_color, x, y + h - t, w - 2 * t, t);
        if (panels.over_minimize) quad_draw(white, theme.hover_color, x + w - 2 * t, y + h - t, t, t);
        if (panels.over_close) quad_draw(white, theme.hover_color, x + w - t, y + h - t, t, t);
    }
}

void panels_draw(PanelContentFunction* draw_content) {
    PanelState& panels = state();
    float t = (float)title_height();
    // Contents may open panels: the array can grow and move, so every record
    // is looked up by index again after its content ran.
    for (int64_t i = 0; i < panels.list.count; i++) {
        input_enable_push(panel_owns_point(panels.list.data[i].key, editor.mouse_x, editor.mouse_y) ? 1 : 0);
        panel_draw_frame(i);
        const Panel* panel = &panels.list.data[i];
        if (!panel->collapsed && draw_content) {
            Vec4 content = {panel->position.x, panel->position.y, panel->size.x, panel->size.y - t};
            int32_t left = round_to_int(content.x), bottom = round_to_int(content.y);
            int32_t right = round_to_int(content.x + content.z), top = round_to_int(content.y + content.w);
            pipeline_scissor_enable(true);
            pipeline_scissor(left, bottom, right > left ? right - left : 0, top > bottom ? top - bottom : 0);
            draw_content(i, content);
            pipeline_scissor_enable(false);
            panel = &panels.list.data[i];
        }
        if (any_handle_hovered(panel)) {
            quad_draw(editor.assets.icons[ICON_TRANSLATE], editor.theme.hover_color, editor.mouse_x - 16,
                      editor.mouse_y - 16, 32, 32);
        }
        input_enable_pop();
    }
}
