// Property panels: the two-step synchronisation of typed rows with their
// targets, their widgets, the object and settings columns and the color
// picker panel. Relies on the text fields, widgets and color picker, the
// formatter's number text, the scene records and asset lookups, the panels
// and the editor state.
#include "tools/property_panel.h"

#include <cassert>
#include <cstring>

#include "app/editor.h"
#include "app/editor_frame.h"
#include "app/panels.h"
#include "core/format.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "ui/quad.h"
#include "ui/text.h"

// ---------------------------------------------------------------------------
// Rows

PropertyGroup property_group_make(String name) {
    PropertyGroup group{};
    group.name = string_copy(name);
    group.properties = array_make<Property>(POOL_PERSISTENT);
    return group;
}

Property* property_add(PropertyGroup* group, uint8_t type, String name) {
    // A Property is too large to build on the stack for every row; it is
    // appended zeroed and filled in place.
    static const Property zero{};
    int64_t index = array_push(&group->properties, zero);
    if (index < 0) {
        print(S("cannot add property: out of memory\n"));
        return nullptr;
    }
    Property* property = &group->properties.data[index];
    property->type = type;
    property->name = string_copy(name);
    property->field.single_line = type != PROPERTY_TEXT;
    for (TextField& component : property->components) component.single_line = true;
    return property;
}

bool property_type_check(uint8_t type) {
    if (type < PROPERTY_TYPE_COUNT) return true;
    // The built-in tables never hold one: a row of another type is a fault in
    // the program, not in anything the user did, and must not cost the scene.
    assert(type < PROPERTY_TYPE_COUNT && "property of unknown type");
    static bool reported;
    if (!reported) {
        reported = true;
        format_print(S("property of unknown type %. left out\n"), {fmt_int(type)});
    }
    return false;
}

static int32_t component_count(uint8_t type) {
    switch (type) {
        case PROPERTY_VEC2: return 2;
        case PROPERTY_VEC3: return 3;
        case PROPERTY_VEC4:
        case PROPERTY_ROTATION:
        case PROPERTY_COLOR:
        case PROPERTY_RECTANGLE: return 4;
        default: return 0;
    }
}

static String number_text(double value) {
    StringBuilder builder = builder_init(POOL_FRAME);
    builder_put_float(&builder, value, number_format_default);
    return builder_to_string(&builder);
}

static String integer_text(int64_t value) {
    StringBuilder builder = builder_init(POOL_FRAME);
    builder_put_integer(&builder, value, number_format_default);
    return builder_to_string(&builder);
}

static double field_float(const TextField* field) {
    TextReader reader = reader_make(text_field_text(field));
    return scan_float(&reader);
}

// A string target takes the field's text only when it differs, so a field
// holding the keyboard costs nothing per frame while nothing is typed. The
// bytes go to the scene's arena, where every string of an object or
// template lives: what a longer text leaves behind is dead space that
// compaction gives back, where a copy into the persistent pool would stay
// for the whole run.
static bool string_store(String* target, String text) {
    if (string_equal(*target, text)) return false;
    if (!scene_string_assign(target, text)) {
        print(S("out of memory: the text was not stored\n"));
        return false;
    }
    return true;
}

static void sync_property(Property* p, bool* modified) {
    p->changed = false;
    if (p->hidden) {
        // A row that comes back must not write what it held before it went.
        p->field.focused = false;
        for (TextField& component : p->components) component.focused = false;
        return;
    }
    if (!p->target) return;
    switch (p->type) {
        case PROPERTY_BOOL: {
            bool* target = static_cast<bool*>(p->target);
            if (p->check.clicked) {
                // Taken once: a row not drawn next frame must not keep
                // writing its old click over the value.
                p->check.clicked = 0;
                if (*target != p->shown_value) *modified = true;
                *target = p->shown_value;
                p->changed = true;
            } else {
                p->shown_value = *target;
            }
            break;
        }
        case PROPERTY_INTEGER: {
            int64_t* target = static_cast<int64_t*>(p->target);
            if (p->field.focused) {
                TextReader reader = reader_make(text_field_text(&p->field));
                int64_t value = scan_integer(&reader);
                if (value != *target) *modified = true;
                *target = value;
                p->changed = true;
            } else {
                text_field_set_text(&p->field, integer_text(*target));
            }
            break;
        }
        case PROPERTY_NUMBER: {
            double* target = static_cast<double*>(p->target);
            if (p->field.focused) {
                double value = field_float(&p->field);
                if (std::memcmp(&value, target, sizeof value) != 0) *modified = true;
                *target = value;
                p->changed = true;
            } else {
                text_field_set_text(&p->field, number_text(*target));
            }
            break;
        }
        case PROPERTY_VEC2:
        case PROPERTY_VEC3:
        case PROPERTY_VEC4:
        case PROPERTY_ROTATION:
        case PROPERTY_COLOR:
        case PROPERTY_RECTANGLE: {
            float* target = static_cast<float*>(p->target);
            int32_t count = component_count(p->type);
            for (int32_t i = 0; i < count; i++) {
                TextField* component = &p->components[i];
                if (component->focused) {
                    float value = (float)field_float(component);
                    if (std::memcmp(&value, &target[i], sizeof value) != 0) *modified = true;
                    target[i] = value;
                    p->changed = true;
                } else {
                    text_field_set_text(component, number_text(target[i]));
                }
            }
            break;
        }
        case PROPERTY_NAME:
        case PROPERTY_TEXT: {
            String* target = static_cast<String*>(p->target);
            if (p->field.focused) {
                if (string_store(target, text_field_text(&p->field))) *modified = true;
                p->changed = true;
            } else {
                text_field_set_text(&p->field, *target);
            }
            break;
        }
        default: break;
    }
}

void property_group_release(PropertyGroup* group) {
    for (int64_t i = 0; i < group->properties.count; i++) {
        Property* p = &group->properties.data[i];
        p->field.focused = false;
        for (TextField& component : p->components) component.focused = false;
        p->check.clicked = 0;
    }
}

void property_group_sync(PropertyGroup* group) {
    group->changed = false;
    group->modified = false;
    group->wants_wheel = false;
    // A collapsed group draws no rows, so none of them can hold the keyboard.
    if (group->collapsed) property_group_release(group);
    for (int64_t i = 0; i < group->properties.count; i++) {
        Property* p = &group->properties.data[i];
        sync_property(p, &group->modified);
        group->changed |= p->changed;
    }
}

static Font* interface_font() { return editor.theme.font ? editor.theme.font : &editor.assets.default_font; }

static void label(String text, float x, float y) {
    const Theme& theme = editor.theme;
    text_draw_now(interface_font(), theme.text_color, text, x, y, theme.text_scale, theme.text_scale, ALIGN_LEFT,
                  ALIGN_MIDDLE);
}

static const String VECTOR_LABELS[4] = {S("x"), S("y"), S("z"), S("w")};
static const String ROTATION_LABELS[4] = {S("s"), S("xy"), S("xz"), S("yz")};
static const String COLOR_LABELS[4] = {S("r"), S("g"), S("b"), S("a")};
static const String RECTANGLE_LABELS[4] = {S("x"), S("y"), S("w"), S("h")};

void property_group_update(PropertyGroup* group, float label_width, Vec2 position, float width, float* cursor_y) {
    property_group_sync(group);

    const Theme& theme = editor.theme;
    const uint32_t* icons = editor.assets.icons;
    float S = theme.scale, P = theme.offset;
    float x = position.x;
    float y = *cursor_y;

    Vec4 heading{x + S / 2, y, S, S};
    uint32_t heading_icon = icons[group->collapsed ? ICON_MAXIMIZE : ICON_MINIMIZE];
    if (icon_button(&group->heading, heading, heading_icon, theme.minimize_color)) group->collapsed = !group->collapsed;
    label(group->name, x + 2 * S, y + S / 2);
    y -= S;
    if (group->collapsed) {
        // The click that collapsed it came before its fields could see it.
        property_group_release(group);
        *cursor_y = y;
        return;
    }

    float C = x + S / 2 + label_width;
    float D = width - 2.5f * S - label_width;
    PointerInput pointer = pointer_input_read();
    for (int64_t i = 0; i < group->properties.count; i++) {
        Property* p = &group->properties.data[i];
        if (p->hidden || !property_type_check(p->type)) continue;
        if (p->type != PROPERTY_HEADING) label(p->name, x + S / 2, y + S / 2);
        switch (p->type) {
            case PROPERTY_HEADING:
                label(p->name, C, y + S / 2);
                y -= P + S;
                break;
            case PROPERTY_BOOL: {
                Vec4 tint = p->shown_value ? theme.check_color : Vec4{0, 0, 0, 0};
                p->rect = Vec4{C, y, S, S};
                if (icon_button(&p->check, p->rect, icons[ICON_CHECK], tint)) p->shown_value = !p->shown_value;
                y -= P + S;
                break;
            }
            case PROPERTY_VEC2:
            case PROPERTY_VEC3:
            case PROPERTY_VEC4: {
                int32_t rows = component_count(p->type);
                p->rect = Vec4{C, y, D, rows * S};
                vector_field_labelled(p->components, p->rect, VECTOR_LABELS, rows);
                y -= rows * S + P;
                break;
            }
            case PROPERTY_ROTATION:
            case PROPERTY_RECTANGLE:
            case PROPERTY_COLOR: {
                const String* labels = p->type == PROPERTY_ROTATION    ? ROTATION_LABELS
                                       : p->type == PROPERTY_RECTANGLE ? RECTANGLE_LABELS
                                                                       : COLOR_LABELS;
                vector_field_labelled(p->components, Vec4{C, y, D, 4 * S}, labels, 4);
                y -= 4 * S + P;
                if (p->type != PROPERTY_COLOR) break;
                Vec4 color = p->target ? *static_cast<Vec4*>(p->target) : Vec4{1, 1, 1, 1};
                p->rect = Vec4{C, y, D, S};
                if (icon_button(&p->swatch, p->rect, icons[ICON_ALPHA], color) && p->target) {
                    // Opening a panel may move the panel array; the groups
                    // live outside it, so `p` stays valid.
                    color_picker_open(color, p->binding);
                }
                y -= S + P;
                break;
            }
            case PROPERTY_TEXT: {
                y -= 7 * S;
                p->rect = Vec4{C, y, D, 8 * S};
                text_field_update(&p->field, p->rect);
                if (pointer.enabled && rect_contains(p->rect, pointer.x, pointer.y)) group->wants_wheel = true;
                y -= S + P;
                break;
            }
            case PROPERTY_INTEGER:
            case PROPERTY_NUMBER:
            case PROPERTY_NAME:
                p->rect = Vec4{C, y, D, S};
                text_field_update(&p->field, p->rect);
                y -= S + P;
                break;
            default: break;
        }
    }
    *cursor_y = y;
}

// ---------------------------------------------------------------------------
// Tables

struct PropertyRowSpec {
    uint8_t type;
    String name;
};

static PropertyGroup* column_add(PropertyColumn* column, String name, const PropertyRowSpec* rows, int32_t count) {
    PropertyGroup* group = &column->groups[column->group_count++];
    *group = property_group_make(name);
    for (int32_t i = 0; i < count; i++) property_add(group, rows[i].type, rows[i].name);
    return group;
}

template <int32_t N>
static PropertyGroup* column_add(PropertyColumn* column, String name, const PropertyRowSpec (&rows)[N]) {
    return column_add(column, name, rows, N);
}

static const PropertyRowSpec TRANSFORM_ROWS[] = {
    {PROPERTY_VEC3, S("position")}, {PROPERTY_ROTATION, S("rotation")}, {PROPERTY_VEC3, S("scale")}};
static const PropertyRowSpec MATERIAL_ROWS[] = {{PROPERTY_COLOR, S("color")},
                                                {PROPERTY_NAME, S("texture")},
                                                {PROPERTY_RECTANGLE, S("uv_rect")},
                                                {PROPERTY_BOOL, S("billboard")}};
static const PropertyRowSpec MESH_ROWS[] = {{PROPERTY_NAME, S("mesh")}};
static const PropertyRowSpec TEXT_ROWS[] = {{PROPERTY_COLOR, S("color")}, {PROPERTY_NAME, S("font")},
                                            {PROPERTY_NUMBER, S("ppu")},  {PROPERTY_VEC2, S("alignment")},
                                            {PROPERTY_TEXT, S("text")},   {PROPERTY_BOOL, S("billboard")}};
static const PropertyRowSpec DATA_ROWS[] = {{PROPERTY_TEXT, S("data")}};
static const PropertyRowSpec PATH_ROWS[] = {{PROPERTY_BOOL, S("closed")},   {PROPERTY_BOOL, S("bezier")},
                                            {PROPERTY_NUMBER, S("width")},  {PROPERTY_COLOR, S("color")},
                                            {PROPERTY_INTEGER, S("index")}, {PROPERTY_VEC3, S("position")},
                                            {PROPERTY_VEC3, S("a")},        {PROPERTY_VEC3, S("b")}};
static const PropertyRowSpec RENDERING_ROWS[] = {{PROPERTY_BOOL, S("2d")},
                                                 {PROPERTY_BOOL, S("depth")},
                                                 {PROPERTY_BOOL, S("wireframe")},
                                                 {PROPERTY_COLOR, S("background")}};
static const PropertyRowSpec PLACEMENT_ROWS[] = {{PROPERTY_BOOL, S("snapping")},
                                                 {PROPERTY_VEC3, S("snap_size")},
                                                 {PROPERTY_NUMBER, S("snap_angle")},
                                                 {PROPERTY_VEC3, S("plane_normal")},
                                                 {PROPERTY_NUMBER, S("plane_height")}};

void object_property_tables(PropertyColumn* column) {
    column_add(column, S("transform"), TRANSFORM_ROWS);
    column_add(column, S("material"), MATERIAL_ROWS);
    column_add(column, S("mesh"), MESH_ROWS);
    column_add(column, S("text"), TEXT_ROWS);
    column_add(column, S("data"), DATA_ROWS);
    column_add(column, S("path"), PATH_ROWS);
}

// Rows are looked up by their place in the table; a table cut short by a
// full pool simply has fewer rows to bind.
static void bind(PropertyGroup* group, int64_t row, void* target) {
    if (row < group->properties.count) group->properties.data[row].target = target;
}

static void bind_color(PropertyGroup* group, int64_t row, ColorBinding binding) {
    if (row < group->properties.count) group->properties.data[row].binding = binding;
}

static bool row_changed(const PropertyGroup* group, int64_t row) {
    return row < group->properties.count && group->properties.data[row].changed;
}

void settings_property_tables(PropertyColumn* column) {
    // The settings are a field of the editor record, which never moves, and
    // an open or a new scene replaces their values in place.
    SceneSettings* settings = &editor.scene.settings;
    PropertyGroup* g = column_add(column, S("rendering"), RENDERING_ROWS);
    bind_color(g, 3, ColorBinding{COLOR_BIND_BACKGROUND, 0, 0, 0});
    bind(g, 0, &settings->view_2d);
    bind(g, 1, &settings->depth);
    bind(g, 2, &settings->wireframe);
    bind(g, 3, &settings->background);
    g = column_add(column, S("placement"), PLACEMENT_ROWS);
    bind(g, 0, &settings->snapping);
    bind(g, 1, &settings->snap_size);
    bind(g, 2, &settings->snap_angle);
    bind(g, 3, &settings->plane_normal);
    bind(g, 4, &settings->plane_height);
}

static PropertyColumn* column_create(bool object_panel) {
    PropertyColumn* column = pool_alloc_array<PropertyColumn>(POOL_PERSISTENT, 1);
    if (!column) {
        print(S("cannot open property panel: out of memory\n"));
        return nullptr;
    }
    std::memset(static_cast<void*>(column), 0, sizeof *column);
    column->edited_id = EDITED_NONE;
    column->point_object_id = EDITED_NONE;
    if (object_panel) object_property_tables(column);
    else settings_property_tables(column);
    column->scrollbar.position = 1;
    column->scrollbar.min_thumb = editor.theme.scale;
    return column;
}

void property_panel_init(Panel* panel) {
    if (panel->kind != PANEL_PROPERTIES && panel->kind != PANEL_GLOBAL_PROPERTIES) return;
    panel_content<PropertyPanelContent>(panel)->column = column_create(panel->kind == PANEL_PROPERTIES);
}

// ---------------------------------------------------------------------------
// Columns

// Scrollbar and wheel; returns the cursor where the column's first group goes.
static float column_scroll(PropertyColumn* column, Vec4 rect, bool wheel_allowed) {
    const Theme& theme = editor.theme;
    float S = theme.scale, P = theme.offset;
    Scrollbar* bar = &column->scrollbar;
    float content = column->content_height > 0 ? column->content_height : 0;
    bar->visible_fraction = rect.w / (content + rect.w);
    PointerInput pointer = pointer_input_read();
    Vec4 wheel_area{rect.x + P, rect.y, rect.z - 2 * P, rect.w};
    int32_t wheel = input_mouse_wheel();
    // Another panel lying over this one takes its own wheel.
    if (wheel_allowed && wheel != 0 && pointer.enabled && rect_contains(wheel_area, pointer.x, pointer.y)) {
        bar->position += (float)wheel * 0.125f;
    }
    if (!(bar->position >= 0)) bar->position = 0;
    if (bar->position > 1) bar->position = 1;
    scrollbar_update(bar, Vec4{rect.x + rect.z - S - P, rect.y + P, S, rect.w - 2 * P});
    return rect.y + rect.w - S - P + (1 - bar->position) * content;
}

static void column_measure(PropertyColumn* column, Vec4 rect, float start, float end) {
    float used = start - end + editor.theme.offset - rect.w;
    column->content_height = used > 0 ? used : 0;
}

static void unbind_all(PropertyColumn* column) {
    for (int32_t g = 0; g < column->group_count; g++) {
        Array<Property>& rows = column->groups[g].properties;
        for (int64_t i = 0; i < rows.count; i++) rows.data[i].target = nullptr;
    }
}

static bool any_focused(const TextField* fields, int32_t count) {
    for (int32_t i = 0; i < count; i++) {
        if (fields[i].focused) return true;
    }
    return false;
}

static ColorBinding object_color_binding(const SceneObject* object, bool is_template) {
    if (is_template) return ColorBinding{COLOR_BIND_TEMPLATE, object->kind, 0, 0};
    return ColorBinding{COLOR_BIND_OBJECT, object->kind, object->id, 0};
}

static void row_focus_drop(Property* p) {
    p->field.focused = false;
    for (TextField& component : p->components) component.focused = false;
}

// The column now edits `edited_id`. A field can keep the keyboard while the
// column does not run (its panel minimised: no click reaches it to take the
// keyboard away), and meanwhile the selection can change; when the column
// runs again for another object, no field may write its old text into it.
static void column_rebind(PropertyColumn* column, int64_t edited_id) {
    if (column->edited_id == edited_id) return;
    column->edited_id = edited_id;
    for (int32_t g = 0; g < column->group_count; g++) {
        Array<Property>& rows = column->groups[g].properties;
        for (int64_t i = 0; i < rows.count; i++) row_focus_drop(&rows.data[i]);
    }
}

// The point rows, bound to the selected point found again through the path's
// reference. When that is another point than the rows last showed (another
// path, another index, or points added or removed so that the index now
// names a different one), a field still holding the keyboard lets go and
// takes the new point's values instead of writing its old text into it.
static void bind_point_rows(PropertyColumn* column, PropertyGroup* group, SceneObject* object, bool is_template) {
    PathBlock& path = object->path;
    SceneRef ref = is_template ? scene_ref_template() : scene_ref_object_id(object->id);
    PathPoint* point = scene_ref_point(ref, path.index);
    int64_t object_id = is_template ? EDITED_TEMPLATE : object->id;
    bool same = column->point_object_id == object_id && column->point_index == path.index &&
                column->point_count == path.points.count;
    column->point_object_id = object_id;
    column->point_index = path.index;
    column->point_count = path.points.count;
    for (int64_t row = 5; row < 8 && row < group->properties.count; row++) {
        Property* p = &group->properties.data[row];
        // The rows are there only for a point that exists: rows left
        // unbound would go on showing the last point's numbers.
        p->hidden = point == nullptr;
        if (!same) row_focus_drop(p);
    }
    if (!point) return;
    bind(group, 5, &point->position);
    bind(group, 6, &point->a);
    bind(group, 7, &point->b);
}

// The kind's group bound to `object`; null for data objects.
static PropertyGroup* bind_kind_group(PropertyColumn* column, SceneObject* object, bool is_template) {
    PropertyGroup* group = nullptr;
    ColorBinding binding = object_color_binding(object, is_template);
    switch (object->kind) {
        case OBJECT_QUAD: {
            group = &column->groups[OBJECT_GROUP_MATERIAL];
            QuadBlock& quad = object->quad;
            bind(group, 0, &quad.color);
            bind(group, 1, &quad.texture_name);
            bind(group, 2, &quad.uv_rect);
            bind(group, 3, &quad.billboard);
            bind_color(group, 0, binding);
            break;
        }
        case OBJECT_TEXT: {
            group = &column->groups[OBJECT_GROUP_TEXT];
            TextBlock& text = object->text;
            bind(group, 0, &text.color);
            bind(group, 1, &text.font_name);
            bind(group, 2, &text.pixels_per_unit);
            bind(group, 3, &text.alignment);
            bind(group, 4, &text.text);
            bind(group, 5, &text.billboard);
            bind_color(group, 0, binding);
            break;
        }
        case OBJECT_MESH:
            group = &column->groups[OBJECT_GROUP_MESH];
            bind(group, 0, &object->mesh.mesh_name);
            break;
        case OBJECT_PATH: {
            group = &column->groups[OBJECT_GROUP_PATH];
            PathBlock& path = object->path;
            bind(group, 0, &path.closed);
            bind(group, 1, &path.bezier);
            bind(group, 2, &path.width);
            bind(group, 3, &path.color);
            bind(group, 4, &path.index);
            bind_color(group, 3, binding);
            bind_point_rows(column, group, object, is_template);
            break;
        }
        default: break;
    }
    return group;
}

// A name typed into the kind group is looked up again; unknown names give
// the lookups' fallbacks.
static void resolve_names(PropertyGroup* group, SceneObject* object) {
    switch (object->kind) {
        case OBJECT_QUAD:
            if (row_changed(group, 1)) object->quad.texture = texture_find(object->quad.texture_name);
            break;
        case OBJECT_TEXT:
            if (row_changed(group, 1)) object->text.font = font_find(object->text.font_name);
            break;
        case OBJECT_MESH:
            if (row_changed(group, 0)) object->mesh.mesh = mesh_find(object->mesh.mesh_name);
            break;
        default: break;
    }
}

static void copy_into_template(const SceneObject* object) {
    SceneTemplates& templates = editor.scene.templates;
    switch (object->kind) {
        case OBJECT_QUAD: templates.quad = object->quad; break;
        case OBJECT_TEXT: templates.text = object->text; break;
        case OBJECT_MESH: templates.mesh = object->mesh; break;
        default: break;   // a path's points stay its own
    }
}

// A column that missed a frame (its panel minimised) starts it with no
// field holding the keyboard: what it edits may have changed meanwhile.
static void column_frame_begin(PropertyColumn* column) {
    int64_t frame = editor_frame_count();
    if (column->drawn_frame != frame - 1) {
        for (int32_t g = 0; g < column->group_count; g++) property_group_release(&column->groups[g]);
    }
    column->drawn_frame = frame;
}

// Groups left out this frame (another kind's, or all of them when nothing
// is edited) give up the keyboard, so a field typed into for one object
// cannot write into the next one when its group comes back.
static void release_unshown(PropertyColumn* column, const bool* shown) {
    for (int32_t g = 0; g < column->group_count; g++) {
        if (!shown[g]) property_group_release(&column->groups[g]);
    }
}

void object_property_panel(PropertyColumn* column, Vec4 rect) {
    column_frame_begin(column);
    float cursor = column_scroll(column, rect, !column->wheel_blocked);
    column->wheel_blocked = false;
    bool shown[OBJECT_GROUP_COUNT] = {};
    SceneObject* object = edited_object_find();
    bool is_template = object && object == &editor.scene.placement_template;
    column_rebind(column, !object ? EDITED_NONE : is_template ? EDITED_TEMPLATE : object->id);
    if (!object || column->group_count != OBJECT_GROUP_COUNT) {
        column->content_height = 0;
        release_unshown(column, shown);
        return;
    }
    bool placing = editor.scene.placement_mode && is_template;
    float label_width = 5 * editor.theme.scale;
    Vec2 at{rect.x, 0};
    float start = cursor;

    PropertyGroup* transform = &column->groups[OBJECT_GROUP_TRANSFORM];
    bind(transform, 0, &object->transform.position);
    bind(transform, 1, &object->transform.rotation);
    bind(transform, 2, &object->transform.scale);
    property_group_update(transform, label_width, at, rect.z, &cursor);
    shown[OBJECT_GROUP_TRANSFORM] = true;
    // Several object panels may be open: any of them holding a position
    // field counts.
    if (transform->properties.count > 0 && any_focused(transform->properties.data[0].components, 3)) {
        editor.properties.position_focus_seen = true;
    }
    if (transform->changed && placing) editor.tools.placement_cursor = object->transform;
    bool modified = transform->modified;
    bool wants_wheel = transform->wants_wheel;

    PropertyGroup* kind_group = bind_kind_group(column, object, is_template);
    if (kind_group) {
        property_group_update(kind_group, label_width, at, rect.z, &cursor);
        shown[kind_group - column->groups] = true;
        resolve_names(kind_group, object);
        if (kind_group->changed && placing) copy_into_template(object);
        modified |= kind_group->modified;
        wants_wheel |= kind_group->wants_wheel;
    }

    PropertyGroup* data = &column->groups[OBJECT_GROUP_DATA];
    bind(data, 0, &object->data);
    property_group_update(data, label_width, at, rect.z, &cursor);
    shown[OBJECT_GROUP_DATA] = true;
    if (data->changed && placing && object->kind == OBJECT_DATA) editor.scene.templates.data = object->data;
    modified |= data->modified;
    wants_wheel |= data->wants_wheel;

    if (modified && !is_template) editor.scene.scene_modified = true;
    column->wheel_blocked = wants_wheel;
    column_measure(column, rect, start, cursor);
    release_unshown(column, shown);
    // Targets are found again next frame; none outlives this one.
    unbind_all(column);
}

void settings_property_panel(PropertyColumn* column, Vec4 rect) {
    column_frame_begin(column);
    float cursor = column_scroll(column, rect, true);
    float start = cursor;
    bool modified = false;
    for (int32_t g = 0; g < column->group_count; g++) {
        PropertyGroup* group = &column->groups[g];
        property_group_update(group, 6 * editor.theme.scale, Vec2{rect.x, 0}, rect.z, &cursor);
        modified |= group->modified;
    }
    if (modified) editor.scene.scene_modified = true;
    column_measure(column, rect, start, cursor);
}

// ---------------------------------------------------------------------------
// Color picker panel

Vec4* color_binding_resolve(ColorBinding binding) {
    SceneState& scene = editor.scene;
    if (binding.scene != scene.replace_count) return nullptr;
    switch (binding.kind) {
        case COLOR_BIND_BACKGROUND: return &scene.settings.background;
        case COLOR_BIND_OBJECT:
        case COLOR_BIND_TEMPLATE: {
            SceneObject* object =
                binding.kind == COLOR_BIND_OBJECT ? scene_find_object(binding.id) : &scene.placement_template;
            if (!object || object->kind != binding.field) return nullptr;
            switch (object->kind) {
                case OBJECT_QUAD: return &object->quad.color;
                case OBJECT_TEXT: return &object->text.color;
                case OBJECT_PATH: return &object->path.color;
                default: return nullptr;
            }
        }
        default: return nullptr;
    }
}

static bool same_color(ColorBinding a, ColorBinding b) {
    return a.kind == b.kind && a.field == b.field && a.id == b.id && a.scene == b.scene;
}

int64_t color_picker_open(Vec4 color, ColorBinding binding) {
    binding.scene = editor.scene.replace_count;
    // Every open picker writes its color every frame: an older one on the
    // same color would go on writing its own and, once the new one closes,
    // undo the pick. The new one takes over, the old ones close unwritten.
    Array<Panel>& panels = editor.panels.list;
    for (int64_t i = 0; i < panels.count; i++) {
        if (panels.data[i].kind != PANEL_COLOR_PICKER) continue;
        ColorPicker* other = panel_content<ColorPicker>(&panels.data[i]);
        if (same_color(other->target, binding)) other->done = 1;
    }
    float w = (float)editor.window_width, h = (float)editor.window_height;
    Panel panel = panel_make(PANEL_COLOR_PICKER, S("color"), Vec2{w / 2 - 240, h / 2 - 240}, Vec2{480, 480});
    panel_init(&panel);
    *panel_content<ColorPicker>(&panel) = color_picker_make(color, binding);
    return panel_append(&panel);
}

void color_picker_panel(ColorPicker* picker, Vec4 rect) {
    // Closing (replaced by a newer picker on the same color): the panel goes
    // at the start of the next frame and writes nothing more.
    if (picker->done) return;
    Vec4* target = color_binding_resolve(picker->target);
    if (!target) {
        // What it edited is gone: close, and write nowhere.
        picker->done = 1;
        return;
    }
    Vec4 before = *target;
    Vec4 color = color_picker_update(picker, target, Vec2{rect.x, rect.y}, Vec2{rect.z, rect.w});
    // Also with placement mode left meanwhile: the preview is set from the
    // kind's template again when it comes back, and the pick must survive.
    if (picker->target.kind == COLOR_BIND_TEMPLATE) copy_into_template(&editor.scene.placement_template);
    bool differs = std::memcmp(&before, &color, sizeof color) != 0;
    if (differs && picker->target.kind != COLOR_BIND_TEMPLATE) editor.scene.scene_modified = true;
}

void property_panel_content(int64_t index, Vec4 rect) {
    Panel* panel = &editor.panels.list.data[index];
    switch (panel->kind) {
        case PANEL_PROPERTIES:
        case PANEL_GLOBAL_PROPERTIES: {
            PropertyColumn* column = panel_content<PropertyPanelContent>(panel)->column;
            if (!column) return;
            // The panel record may move while the column runs (a swatch
            // opens a picker): only the column is used from here on.
            if (panel->kind == PANEL_PROPERTIES) object_property_panel(column, rect);
            else settings_property_panel(column, rect);
            break;
        }
        case PANEL_COLOR_PICKER: color_picker_panel(panel_content<ColorPicker>(panel), rect); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// The edited object

static int64_t single_selected_object() {
    const Array<HierarchyRow>& rows = editor.scene.rows;
    int64_t found = EDITED_NONE;
    int64_t selected = 0;
    for (int64_t i = 0; i < rows.count; i++) {
        if (!rows.data[i].selected) continue;
        if (++selected > 1) return EDITED_NONE;
        found = rows.data[i].group_end || rows.data[i].object_id == GROUP_ROW_ID ? EDITED_NONE : rows.data[i].object_id;
    }
    return found;
}

void edited_object_update() {
    PropertyPanelState& state = editor.properties;
    // Gathered from every panel drawn last frame, so a closed panel leaves
    // no flag behind. The selection's carry rule reads its own copy.
    state.position_fields_focused = state.position_focus_seen;
    state.position_focus_seen = false;
    editor.selection.position_fields_focused = state.position_fields_focused;
    // While a field has the keyboard the choice stays, so typing goes on
    // into the object it started in.
    if (editor.viewport_keys) {
        if (editor.scene.placement_mode && !editor.tools.path_mode) {
            state.edited_id = EDITED_TEMPLATE;
            editor.scene.placement_template.transform = editor.tools.placement_cursor;
        } else {
            state.edited_id = single_selected_object();
        }
    }
    int64_t id = state.edited_id;
    editor.tools.edited_object = id == EDITED_TEMPLATE ? scene_ref_template()
                                 : id >= 0           ? scene_ref_object_id(id)
                                                     : scene_ref_none();
}

SceneObject* edited_object_find() {
    int64_t id = editor.properties.edited_id;
    if (id == EDITED_TEMPLATE) return &editor.scene.placement_template;
    if (id < 0) return nullptr;
    return scene_find_object(id);
}
