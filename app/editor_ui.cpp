// The toolbar, the Control shortcuts, the panel contents by kind, the save
// question and the window title. Relies on ui/widgets, app/panels,
// scene/file_dialog, ui/text and the editor state.
#include "app/editor_ui.h"

#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"
#include "scene/file_dialog.h"
#include "scene/history.h"
#include "scene/recovery.h"
#include "scene/scene.h"
#include "tools/placement.h"
#include "tools/hierarchy.h"
#include "ui/text.h"

// ---------------------------------------------------------------------------
// Toolbar

static uint32_t icon(int32_t which) { return editor.assets.icons[which]; }

static bool toolbar_plain(int32_t button, int32_t icon_index, Vec4 color) {
    return toolbar_button(&editor.toolbar.buttons[button], icon(icon_index), icon(icon_index), false, color);
}

ToolbarClicks editor_toolbar() {
    ToolbarClicks clicks;
    std::memset(&clicks, 0, sizeof clicks);
    const Theme& theme = editor.theme;
    const SceneState& scene = editor.scene;
    ButtonState* buttons = editor.toolbar.buttons;
    bool* clicked = clicks.clicked;

    toolbar_begin();
    clicked[TOOLBAR_NEW] = toolbar_plain(TOOLBAR_NEW, ICON_NEW, theme.new_color);
    clicked[TOOLBAR_OPEN] = toolbar_plain(TOOLBAR_OPEN, ICON_OPEN, theme.open_color);
    clicked[TOOLBAR_SAVE] = toolbar_plain(TOOLBAR_SAVE, ICON_SAVE, theme.save_color);
    clicked[TOOLBAR_EXPORT] = toolbar_plain(TOOLBAR_EXPORT, ICON_EXPORT, theme.export_color);
    toolbar_gap();
    clicked[TOOLBAR_PLACEMENT] = toolbar_button(&buttons[TOOLBAR_PLACEMENT], icon(ICON_SELECT_OBJECT),
                                                icon(ICON_PLACE_OBJECT), scene.placement_mode, theme.placement_color);
    clicked[TOOLBAR_PIVOT] = toolbar_button(&buttons[TOOLBAR_PIVOT], icon(ICON_CENTER_PIVOT), icon(ICON_OBJECT_PIVOT),
                                            scene.pivot_per_object, theme.pivot_color);
    clicked[TOOLBAR_PATH] =
        toolbar_toggle(&buttons[TOOLBAR_PATH], icon(ICON_ADD_POINT), theme.path_object_color, editor.tools.path_mode);
    toolbar_gap();

    if (editor.selection.gizmo.shown) {
        static const int32_t gizmo_icons[4] = {ICON_TRANSLATE, ICON_ROTATE, ICON_SCALE, ICON_GIZMO_RECTANGLE};
        const Vec4 gizmo_colors[4] = {theme.position_color, theme.rotation_color, theme.scale_color,
                                      theme.rectangle_color};
        for (int32_t i = 0; i < 4; i++) {
            int32_t button = TOOLBAR_GIZMO_FIRST + i;
            clicked[button] =
                toolbar_toggle(&buttons[button], icon(gizmo_icons[i]), gizmo_colors[i], scene.gizmo_mode == i);
        }
        toolbar_gap();
    }
    if (scene.placement_mode) {
        static const int32_t kind_icons[5] = {ICON_QUAD, ICON_TEXT, ICON_MESH, ICON_DATA, ICON_PATH};
        const Vec4 kind_colors[5] = {theme.quad_object_color, theme.text_object_color, theme.mesh_object_color,
                                     theme.data_object_color, theme.path_object_color};
        for (int32_t i = 0; i < 5; i++) {
            int32_t button = TOOLBAR_KIND_FIRST + i;
            clicked[button] = toolbar_toggle(&buttons[button], icon(kind_icons[i]), kind_colors[i],
                                             scene.placement_template.kind == i);
        }
        toolbar_gap();
    }

    clicked[TOOLBAR_SHOW_OBJECTS] = toolbar_plain(TOOLBAR_SHOW_OBJECTS, ICON_SHOW_OBJECTS, theme.show_objects_colors);
    clicked[TOOLBAR_SHOW_PROPERTIES] =
        toolbar_plain(TOOLBAR_SHOW_PROPERTIES, ICON_SHOW_PROPERTIES, theme.show_properties_color);
    clicked[TOOLBAR_SHOW_GLOBAL_PROPERTIES] =
        toolbar_plain(TOOLBAR_SHOW_GLOBAL_PROPERTIES, ICON_SETTINGS, theme.show_global_properties_color);
    toolbar_end();
    return clicks;
}

// ---------------------------------------------------------------------------
// Actions

static bool control_shortcut(char letter) {
    return input_key_is_held(KEY_CONTROL) && input_key_is_pressed(key_letter(letter));
}

int64_t editor_open_tool_panel(uint8_t kind) {
    static const char* titles[3] = {"objects", "properties", "global properties"};
    if (kind > PANEL_GLOBAL_PROPERTIES) return -1;
    Panel panel = panel_make(kind, string_from_cstring(titles[kind]), Vec2{0, 0}, Vec2{300, 400});
    panel_init(&panel);
    if (kind == PANEL_OBJECTS) {
        HierarchyPanel* content = panel_content<HierarchyPanel>(&panel);
        content->name.single_line = true;
        content->name_row = -1;
    }
    return panel_append(&panel);
}

void editor_actions(const ToolbarClicks& clicks) {
    const bool* clicked = clicks.clicked;
    SceneState& scene = editor.scene;
    bool shift = input_key_is_held(KEY_SHIFT);

    history_keys();
    if (control_shortcut('N') || clicked[TOOLBAR_NEW]) {
        if (!scene.scene_modified) scene_new();
        else save_prompt_open(SAVE_PURPOSE_NEW);
    }
    bool save_key = control_shortcut('S');
    if ((save_key && !shift) || clicked[TOOLBAR_SAVE]) scene_save_or_ask(false, 0);
    // Save as: always asks where, and the scene's file becomes the new one.
    if (save_key && shift) file_dialog_open(S("save scene"), FILE_DIALOG_SAVE);
    if (control_shortcut('O') || clicked[TOOLBAR_OPEN]) {
        // Opening replaces the scene: unsaved work is asked about first.
        if (scene.scene_modified) save_prompt_open(SAVE_PURPOSE_OPEN);
        else file_dialog_open(S("open scene"), FILE_DIALOG_OPEN);
    }
    if (clicked[TOOLBAR_EXPORT]) file_dialog_open(S("export data"), FILE_DIALOG_EXPORT);

    if (clicked[TOOLBAR_PATH]) path_mode_toggle();
    if (clicked[TOOLBAR_PLACEMENT]) placement_mode_toggle();
    if (clicked[TOOLBAR_PIVOT]) scene.pivot_per_object = !scene.pivot_per_object;
    for (int32_t i = 0; i < 4; i++) {
        if (clicked[TOOLBAR_GIZMO_FIRST + i]) scene.gizmo_mode = (uint8_t)i;
    }
    for (int32_t i = 0; i < 5; i++) {
        // Choosing the kind it already has keeps the template as it is.
        if (clicked[TOOLBAR_KIND_FIRST + i] && scene.placement_template.kind != i) {
            placement_template_set_kind(&scene, (ObjectKind)i);
        }
    }
    if (clicked[TOOLBAR_SHOW_GLOBAL_PROPERTIES]) editor_open_tool_panel(PANEL_GLOBAL_PROPERTIES);
    if (clicked[TOOLBAR_SHOW_PROPERTIES]) editor_open_tool_panel(PANEL_PROPERTIES);
    if (clicked[TOOLBAR_SHOW_OBJECTS]) editor_open_tool_panel(PANEL_OBJECTS);
}

// ---------------------------------------------------------------------------
// Panel contents

String save_prompt_text() {
    String path = editor.scene.scene_path;
    StringBuilder builder = builder_init(POOL_FRAME);
    format_to_builder(&builder, S("do you want to save %.?\n"), {fmt_string(path.length > 0 ? path : S("this scene"))});
    return builder_to_string(&builder);
}

void save_prompt_update(SavePrompt* prompt, Vec4 rect) {
    const Theme& theme = editor.theme;
    float s = theme.scale, p = theme.offset;
    Font* font = theme.font ? theme.font : &editor.assets.default_font;
    uint8_t purpose = prompt->purpose;
    bool recover = purpose == SAVE_PURPOSE_RECOVER;
    text_draw_now(font, theme.text_color, recover ? recovery_question_text() : save_prompt_text(), rect.x + rect.z / 2,
                  rect.y + rect.w - 32, theme.text_scale, theme.text_scale, ALIGN_CENTER, ALIGN_MIDDLE);
    bool yes = text_button(&prompt->yes, Vec4{rect.x + p, rect.y + p, 4 * s, s}, S("yes"));
    bool no = text_button(&prompt->no, Vec4{rect.x + 2 * p + 4 * s, rect.y + p, 4 * s, s}, S("no"));
    // Recovery is answered yes or no; there is nothing to go back to.
    bool cancel = !recover && text_button(&prompt->cancel, Vec4{rect.x + rect.z - p - 4 * s, rect.y + p, 4 * s, s}, S("cancel"));
    if (!yes && !no && !cancel) return;
    prompt->close_request = true;
    if (recover) {
        recovery_answer(yes);
        return;
    }
    // Carrying out may open a panel (the array can move): `prompt` is not
    // used past this point.
    if (yes) {
        // Only a save that happened goes on; a failed one has shown why and
        // the scene stays as it is.
        if (scene_save_or_ask(true, purpose)) save_purpose_carry_out(purpose);
    } else if (no) {
        save_purpose_carry_out(purpose);
    }
}

void editor_panel_content(int64_t index, Vec4 rect) {
    Panel* panel = &editor.panels.list.data[index];
    switch (panel->kind) {
        case PANEL_PROPERTIES:
        case PANEL_GLOBAL_PROPERTIES:
        case PANEL_COLOR_PICKER: property_panel_content(index, rect); break;
        case PANEL_FILE_DIALOG: file_dialog_update(panel_content<FileDialog>(panel), rect); break;
        case PANEL_SAVE_PROMPT: save_prompt_update(panel_content<SavePrompt>(panel), rect); break;
        case PANEL_OBJECTS:
            hierarchy_panel(panel_content<HierarchyPanel>(panel), Vec2{rect.x, rect.y}, Vec2{rect.z, rect.w});
            break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// Window title

static String file_name_of(String path) {
    for (int64_t i = path.length - 1; i >= 0; i--) {
        if (path.data[i] == '/' || path.data[i] == '\\') return String{path.data + i + 1, path.length - i - 1};
    }
    return path;
}

String editor_window_title() {
    StringBuilder builder = builder_init(POOL_FRAME);
    builder_put_string(&builder, S("tarnisk"));
    String path = editor.scene.scene_path;
    if (path.length > 0) {
        builder_put_string(&builder, S(" \xE2\x80\x94 "));   // em dash
        builder_put_string(&builder, file_name_of(path));
    }
    if (editor.scene.scene_modified) builder_put_string(&builder, S(" *"));
    return builder_to_string(&builder);
}

void editor_window_title_update() {
    String title = editor_window_title();
    String shown{(const uint8_t*)editor.window_title, editor.window_title_length};
    if (string_equal(title, shown)) return;
    display_set_title(&title);
    int64_t length = title.length < (int64_t)sizeof editor.window_title ? title.length : (int64_t)sizeof editor.window_title;
    std::memcpy(editor.window_title, title.data, (size_t)length);
    editor.window_title_length = length;
}
