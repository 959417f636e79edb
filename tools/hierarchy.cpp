// The object list panel: layout, the row walk with its shown-flag stack,
// selection, drag and drop, the three buttons and the name field. Relies on
// the scene's rows and objects (scene/), ui/ widgets, quads, text and text
// fields, the theme and icons, and the editor's pointer and keys.
#include "tools/hierarchy.h"

#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "core/memory.h"
#include "platform/platform.h"
#include "ui/quad.h"

static uint32_t icon(int32_t which) { return editor.assets.icons[which]; }

static const Vec4 FULL_UV = {0, 0, 1, 1};

// ---------------------------------------------------------------------------
// Layout

HierarchyLayout hierarchy_layout(Vec2 position, Vec2 size, float unit, float spacing) {
    float x = position.x, y = position.y, w = size.x, h = size.y;
    float s = unit, p = spacing;
    HierarchyLayout layout;
    layout.list = Vec4{x + p, y + p, w - s, h - 2 * s - 4 * p};
    float buttons_y = layout.list.y + layout.list.w + p;
    layout.new_group = Vec4{layout.list.x, buttons_y, s, s};
    layout.show_hide = Vec4{layout.list.x + s + p, buttons_y, s, s};
    float name_y = buttons_y + s + p;
    layout.name = Vec4{x + p, name_y, w - s - 3 * p, s};
    layout.remove = Vec4{layout.name.x + layout.name.z + 16, name_y, s, s};
    return layout;
}

// ---------------------------------------------------------------------------
// Nesting

int64_t hierarchy_group_end(const Array<HierarchyRow>* rows, int64_t start) {
    if (start < 0 || start >= rows->count || !rows->data[start].group_start) return start;
    int64_t depth = 0;
    for (int64_t i = start; i < rows->count; i++) {
        const HierarchyRow& row = rows->data[i];
        if (row.group_start) depth++;
        else if (row.group_end && --depth == 0) return i;
    }
    return rows->count - 1;
}

// Depth bookkeeping of the row walk, shared by drawing, validation and the
// drop's depth check so the three agree on what "too deep" means.
struct NestingWalk {
    int32_t depth = 1;
    int32_t max_depth = 0;
    bool balanced = true;

    // The depth the row is laid out at; end rows count at their members' depth.
    int32_t step(const HierarchyRow& row) {
        int32_t at = depth;
        if (at > max_depth) max_depth = at;
        if (row.group_start) {
            depth++;
        } else if (row.group_end) {
            if (depth > 1) depth--;
            else balanced = false;
        }
        return at;
    }
    bool valid() const { return balanced && depth == 1; }
};

bool hierarchy_nesting_valid(const Array<HierarchyRow>* rows, int32_t* max_depth) {
    NestingWalk walk;
    for (int64_t i = 0; i < rows->count; i++) walk.step(rows->data[i]);
    if (max_depth) *max_depth = walk.max_depth;
    return walk.valid();
}

// ---------------------------------------------------------------------------
// Selection

void hierarchy_select(Array<HierarchyRow>* rows, int64_t index, bool control, bool shift) {
    if (index < 0 || index >= rows->count) return;
    HierarchyRow* data = rows->data;
    if (control) {
        data[index].selected = !data[index].selected;
        return;
    }
    if (shift) {
        int64_t anchor = -1;
        for (int64_t i = rows->count - 1; i >= 0; i--) {
            if (data[i].selected) {
                anchor = i;
                break;
            }
        }
        // No anchor: the range is the clicked row alone.
        if (anchor < 0) anchor = index;
        int64_t from = anchor < index ? anchor : index;
        int64_t to = anchor < index ? index : anchor;
        for (int64_t i = from; i <= to; i++) {
            if (!data[i].group_end) data[i].selected = true;
        }
        return;
    }
    // A press on one of several selected rows keeps them, so it can drag them all.
    if (data[index].selected) return;
    for (int64_t i = 0; i < rows->count; i++) data[i].selected = false;
    data[index].selected = true;
}

// ---------------------------------------------------------------------------
// Drag and drop

int64_t hierarchy_drop_index(const Array<HierarchyRow>* rows, int64_t index, bool upper_half) {
    if (upper_half) return index;
    const HierarchyRow& row = rows->data[index];
    if (row.group_start && !row.expanded) return hierarchy_group_end(rows, index) + 1;
    return index + 1;
}

void hierarchy_collect_drag(const Array<HierarchyRow>* rows, Array<int32_t>* drag_rows) {
    drag_rows->count = 0;
    int64_t group_last = -1;   // last member of the selected group being listed
    for (int64_t i = 0; i < rows->count; i++) {
        const HierarchyRow& row = rows->data[i];
        // An end row is moved with its group, never alone: a lone end row
        // moved elsewhere would close the wrong group.
        bool listed = i <= group_last || (row.selected && !row.group_end);
        if (!listed) continue;
        if (array_push(drag_rows, (int32_t)i) < 0) {
            drag_rows->count = 0;
            return;
        }
        if (i > group_last && row.group_start) group_last = hierarchy_group_end(rows, i);
    }
}

// The rows in the order a drop leaves them: the rest before `target`, then
// the dragged rows, then the rest from `target` on.
template <typename Visit>
static void drop_order(const Array<HierarchyRow>* rows, const uint8_t* dragged, const Array<int32_t>* drag_rows,
                       int64_t target, Visit visit) {
    for (int64_t i = 0; i < target; i++) {
        if (!dragged[i]) visit(rows->data[i]);
    }
    for (int64_t k = 0; k < drag_rows->count; k++) visit(rows->data[drag_rows->data[k]]);
    for (int64_t i = target; i < rows->count; i++) {
        if (!dragged[i]) visit(rows->data[i]);
    }
}

HierarchyDropResult hierarchy_drop(SceneState* scene, Array<int32_t>* drag_rows, int64_t target) {
    Array<HierarchyRow>* rows = &scene->rows;
    int64_t count = rows->count;
    int64_t moved = drag_rows->count;
    if (moved == 0) return HIERARCHY_DROP_NOTHING_SELECTED;
    if (target < 0) target = 0;
    if (target > count) target = count;

    for (int64_t k = 0; k < moved; k++) {
        int64_t r = drag_rows->data[k];
        if (r < 0 || r >= count || (k > 0 && r <= drag_rows->data[k - 1])) return HIERARCHY_DROP_NOTHING_SELECTED;
        if (rows->data[r].group_start && r < target && target <= hierarchy_group_end(rows, r)) {
            return HIERARCHY_DROP_INTO_ITSELF;
        }
    }

    PoolMark mark = pool_mark(POOL_FRAME);
    uint8_t* dragged = pool_alloc_array<uint8_t>(POOL_FRAME, count);
    HierarchyRow* held = pool_alloc_array<HierarchyRow>(POOL_FRAME, moved);
    if (!dragged || !held) {
        pool_restore(mark);
        print(S("out of memory: the rows were not moved\n"));
        return HIERARCHY_DROP_OUT_OF_MEMORY;
    }
    std::memset(dragged, 0, (size_t)count);
    for (int64_t k = 0; k < moved; k++) dragged[drag_rows->data[k]] = 1;

    // A list that is already deeper than the walk shows may still be
    // rearranged, as long as it gets no deeper.
    int32_t depth_before = 0;
    hierarchy_nesting_valid(rows, &depth_before);
    NestingWalk after;
    drop_order(rows, dragged, drag_rows, target, [&](const HierarchyRow& row) { after.step(row); });
    if (after.max_depth > HIERARCHY_MAX_DEPTH && after.max_depth > depth_before) {
        pool_restore(mark);
        format_print(S("groups nest at most %. deep: the rows were not moved\n"), {fmt_int(HIERARCHY_MAX_DEPTH - 1)});
        return HIERARCHY_DROP_TOO_DEEP;
    }

    // In place: hold the dragged rows aside, close the gaps, open room at the
    // insertion point and put them there. Linear in the row count however
    // many rows move.
    for (int64_t k = 0; k < moved; k++) held[k] = rows->data[drag_rows->data[k]];
    int64_t kept = 0, insert_at = 0;
    for (int64_t i = 0; i < count; i++) {
        if (i == target) insert_at = kept;
        if (!dragged[i]) rows->data[kept++] = rows->data[i];
    }
    if (target == count) insert_at = kept;
    std::memmove(rows->data + insert_at + moved, rows->data + insert_at,
                 (size_t)(kept - insert_at) * sizeof(HierarchyRow));
    std::memcpy(rows->data + insert_at, held, (size_t)moved * sizeof(HierarchyRow));
    pool_restore(mark);
    // The indices now name the moved rows where they landed.
    for (int64_t k = 0; k < moved; k++) drag_rows->data[k] = (int32_t)(insert_at + k);
    scene->scene_modified = true;
    return HIERARCHY_DROP_MOVED;
}

// ---------------------------------------------------------------------------
// Buttons

bool hierarchy_new_group(SceneState* scene) {
    Array<HierarchyRow>* rows = &scene->rows;
    int64_t last = -1;
    for (int64_t i = rows->count - 1; i >= 0; i--) {
        if (rows->data[i].selected) {
            last = i;
            break;
        }
    }
    // The group's end row is laid out one level below its start row.
    NestingWalk walk;
    for (int64_t i = 0; i <= last; i++) walk.step(rows->data[i]);
    if (walk.depth + 1 > HIERARCHY_MAX_DEPTH) {
        format_print(S("groups nest at most %. deep: no group was added here\n"), {fmt_int(HIERARCHY_MAX_DEPTH - 1)});
        return false;
    }
    if (scene_insert_group(last + 1) < 0) return false;
    scene->scene_modified = true;
    return true;
}

static void set_row_visibility(SceneState* scene, HierarchyRow* row, SceneObject* object, bool visible) {
    if (object) object->visible = visible;
    row->color.w = visible ? 1.0f : 0.5f;
    (void)scene;
}

bool hierarchy_show_hide(SceneState* scene) {
    Array<HierarchyRow>* rows = &scene->rows;
    bool changed = false;
    int64_t i = 0;
    while (i < rows->count) {
        HierarchyRow* row = &rows->data[i];
        if (!row->selected || row->group_end) {
            i++;
            continue;
        }
        SceneObject* object = scene_find_object_in(scene, row->object_id);
        // A row without an object (a group) counts as visible after the toggle.
        bool visible = object ? !object->visible : true;
        set_row_visibility(scene, row, object, visible);
        changed = true;
        if (!row->group_start) {
            i++;
            continue;
        }
        int64_t end = hierarchy_group_end(rows, i);
        for (int64_t j = i + 1; j < end; j++) {
            HierarchyRow* member = &rows->data[j];
            SceneObject* member_object = scene_find_object_in(scene, member->object_id);
            if (member_object) set_row_visibility(scene, member, member_object, visible);
        }
        i = end + 1;
    }
    if (changed) scene->scene_modified = true;
    return changed;
}

bool hierarchy_delete(SceneState* scene) {
    Array<HierarchyRow>* rows = &scene->rows;
    Array<SceneObject>* objects = &scene->objects;
    PoolMark mark = pool_mark(POOL_FRAME);
    uint8_t* gone_rows = pool_alloc_array<uint8_t>(POOL_FRAME, rows->count);
    uint8_t* gone_objects = pool_alloc_array<uint8_t>(POOL_FRAME, objects->count);
    if ((rows->count > 0 && !gone_rows) || (objects->count > 0 && !gone_objects)) {
        pool_restore(mark);
        print(S("out of memory: nothing was deleted\n"));
        return false;
    }
    if (rows->count > 0) std::memset(gone_rows, 0, (size_t)rows->count);
    if (objects->count > 0) std::memset(gone_objects, 0, (size_t)objects->count);

    // A deleted group takes its members along, objects and nested groups too.
    bool any = false;
    int64_t i = 0;
    while (i < rows->count) {
        const HierarchyRow& row = rows->data[i];
        // An end row goes only with its start row.
        if (!row.selected || row.group_end) {
            i++;
            continue;
        }
        int64_t last = row.group_start ? hierarchy_group_end(rows, i) : i;
        for (int64_t j = i; j <= last; j++) {
            gone_rows[j] = 1;
            SceneObject* object = scene_find_object_in(scene, rows->data[j].object_id);
            if (object) gone_objects[object - objects->data] = 1;
        }
        any = true;
        i = last + 1;
    }
    if (!any) {
        pool_restore(mark);
        return false;
    }
    int64_t kept = 0;
    for (int64_t j = 0; j < rows->count; j++) {
        if (!gone_rows[j]) rows->data[kept++] = rows->data[j];
    }
    rows->count = kept;
    kept = 0;
    for (int64_t j = 0; j < objects->count; j++) {
        if (!gone_objects[j]) objects->data[kept++] = objects->data[j];
    }
    objects->count = kept;
    pool_restore(mark);
    scene->scene_modified = true;
    return true;
}

bool hierarchy_rename(int64_t index, String name) {
    const Array<HierarchyRow>& rows = editor.scene.rows;
    // The field hands its text over every frame: only a change costs arena bytes.
    if (index >= 0 && index < rows.count && !rows.data[index].group_end && string_equal(rows.data[index].name, name)) {
        return true;
    }
    return scene_rename_row(index, name);
}

// ---------------------------------------------------------------------------
// The panel

static void fill(Vec4 color, Vec4 rect, Vec4 clip) {
    quad_draw_clipped(icon(ICON_WHITE), color, rect.x, rect.y, rect.z, rect.w, FULL_UV, clip);
}

static bool inside(Vec4 rect, float x, float y) { return rect_contains(rect, x, y); }

// The single selected row, -1 when none or several are.
static int64_t single_selected(const Array<HierarchyRow>* rows) {
    int64_t found = -1;
    for (int64_t i = 0; i < rows->count; i++) {
        if (!rows->data[i].selected) continue;
        if (found >= 0) return -1;
        found = i;
    }
    return found;
}

static void name_field(HierarchyPanel* panel, Vec4 rect) {
    SceneState* scene = &editor.scene;
    int64_t index = single_selected(&scene->rows);
    TextField* field = &panel->name;
    field->single_line = true;
    if (index < 0 || scene->rows.data[index].group_end) {
        // Hidden: it must not keep the keyboard, nor carry its text over to
        // the next row that gets selected.
        field->focused = false;
        panel->name_row = -1;
        return;
    }
    HierarchyRow* row = &scene->rows.data[index];
    if (index != panel->name_row || row->object_id != panel->name_object_id) {
        field->focused = false;
        panel->name_row = index;
        panel->name_object_id = row->object_id;
    }
    if (!field->focused) text_field_set_text(field, row->name);
    text_field_update(field, rect);
    if (field->focused) {
        hierarchy_rename(index, text_field_text(field));
        scene->scene_modified = true;
    }
}

void hierarchy_panel(HierarchyPanel* panel, Vec2 position, Vec2 size) {
    const Theme& theme = editor.theme;
    float s = theme.scale, p = theme.offset, a = 0.75f * s;
    SceneState* scene = &editor.scene;
    Array<HierarchyRow>* rows = &scene->rows;
    HierarchyDrag* drag = &editor.hierarchy;
    HierarchyLayout layout = hierarchy_layout(position, size, s, p);
    Vec4 list = layout.list;
    float left = list.x, list_top = list.y + list.w, list_bottom = list.y;
    PointerInput pointer = pointer_input_read();
    bool in_list = pointer.enabled && inside(list, pointer.x, pointer.y);

    // Scrolling first, clamped every frame so removed or collapsed rows
    // never leave the list scrolled past its end.
    float overflow = panel->content_height - list.w;
    int32_t wheel = input_mouse_wheel();
    if (overflow > 0 && in_list && wheel != 0) panel->scroll -= (float)wheel * HIERARCHY_WHEEL_STEP;
    float most = overflow > 0 ? overflow : 0;
    if (!(panel->scroll >= 0)) panel->scroll = 0;
    if (panel->scroll > most) panel->scroll = most;
    panel->content_height = 0;

    bool control = input_key_is_held(KEY_CONTROL);
    bool shift = input_key_is_held(KEY_SHIFT) && !control;
    bool shown_flags[HIERARCHY_MAX_DEPTH];
    shown_flags[0] = true;
    NestingWalk walk;
    float cursor = list_top + panel->scroll;
    bool have_target = false;
    int64_t target = -1;
    float marker_y = 0;
    bool drop_now = false;

    for (int64_t i = 0; i < rows->count; i++) {
        HierarchyRow* row = &rows->data[i];
        int32_t depth = walk.step(*row);
        bool shown = depth <= HIERARCHY_MAX_DEPTH && shown_flags[depth - 1];
        if (row->group_start && depth < HIERARCHY_MAX_DEPTH) shown_flags[depth] = shown && row->expanded;
        if (!shown) continue;
        float height = row->group_end ? p : s;
        float top = cursor, bottom = cursor - height;
        cursor = bottom;
        panel->content_height += height;
        // Rows out of view cost only this arithmetic.
        if (bottom >= list_top || top <= list_bottom) continue;

        Vec4 band = {list.x, bottom, list.z, height};
        if (row->selected) fill(theme.selection_color, band, list);
        bool over_row = in_list && pointer.y >= bottom && pointer.y < top;

        if (row->group_start) {
            Vec4 arrow = {left, bottom + (height - a) / 2, a, a};
            if (in_list && inside(arrow, pointer.x, pointer.y)) {
                fill(pointer.held ? theme.pressed_color : theme.hover_color, arrow, list);
                if (pointer.released) row->expanded = !row->expanded;
            }
            quad_draw_clipped(icon(row->expanded ? ICON_MINIMIZE : ICON_MAXIMIZE), row->color, arrow.x, arrow.y,
                              arrow.z, arrow.w, FULL_UV, list);
        }
        if (!row->group_end) {
            ListRow content = {row->color, row->icon, row->name, false};
            list_row_draw(list, left, left + a + (float)(depth - 1) * p, top, list.z, &content);
        }
        if (!over_row) continue;

        if (pointer.pressed && !row->group_end && pointer.x >= left + a) {
            drag->pressed = true;
            drag->press_x = (int64_t)pointer.x;
            drag->press_y = (int64_t)pointer.y;
            hierarchy_select(rows, i, control, shift);
        }
        if (drag->dragging) {
            bool upper = pointer.y >= bottom + height / 2;
            target = hierarchy_drop_index(rows, i, upper);
            marker_y = upper ? top : bottom;
            have_target = true;
            if (pointer.released) drop_now = true;
        }
        if (pointer.x >= left + a) {
            Vec4 hover = {left + a, bottom, list.x + list.z - (left + a), height};
            fill(pointer.held ? theme.pressed_color : theme.hover_color, hover, list);
        }
    }

    if (drag->dragging) {
        int64_t first = -1;
        for (int64_t i = 0; i < rows->count && first < 0; i++) {
            if (rows->data[i].selected && !rows->data[i].group_end) first = i;
        }
        if (first >= 0) {
            if (have_target) {
                fill(theme.text_color, Vec4{list.x, marker_y - HIERARCHY_MARKER_HEIGHT / 2, list.z, HIERARCHY_MARKER_HEIGHT},
                     list);
            }
            const HierarchyRow& row = rows->data[first];
            ListRow preview = {row.color, row.icon, row.name, false};
            Vec4 window = {0, 0, (float)editor.window_width, (float)editor.window_height};
            list_row_draw(window, pointer.x - s / 2, pointer.x - s / 2, pointer.y + s / 2, list.z, &preview);
        }
    }
    if (drop_now) {
        hierarchy_collect_drag(rows, &drag->drag_rows);
        hierarchy_drop(scene, &drag->drag_rows, target);
        drag->drag_rows.count = 0;
    }

    if (icon_button(&panel->new_group, layout.new_group, icon(ICON_GROUP), theme.group_color)) {
        hierarchy_new_group(scene);
    }
    if (icon_button(&panel->show_hide, layout.show_hide, icon(ICON_EYE), theme.show_color)) {
        hierarchy_show_hide(scene);
    }
    name_field(panel, layout.name);
    if (icon_button(&panel->remove, layout.remove, icon(ICON_CLOSE), theme.close_color)) {
        hierarchy_delete(scene);
    }
}

void hierarchy_drag_update() {
    HierarchyDrag* drag = &editor.hierarchy;
    bool held = input_mouse_is_held(MOUSE_PRIMARY);
    bool released = input_mouse_is_released(MOUSE_PRIMARY);
    if (drag->pressed && held) {
        int64_t dx = (int64_t)editor.mouse_x - drag->press_x;
        int64_t dy = (int64_t)editor.mouse_y - drag->press_y;
        if (dx * dx + dy * dy >= HIERARCHY_DRAG_DISTANCE_SQUARED) {
            drag->dragging = true;
            drag->pressed = false;
        }
    }
    if (drag->dragging) editor.scene.scene_modified = true;
    if (released) {
        drag->pressed = false;
        drag->dragging = false;
    }
}
