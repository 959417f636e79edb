// Scene file management: new scene, save or ask where, and the file dialog
// panel (folder browsing, name field, ok / cancel and what each mode does).
// Relies on the scene file and export, app/panels, ui/widgets, ui/text_field,
// ui/quad + ui/text and the platform's folder listing and message boxes.
#include "scene/file_dialog.h"

#include <cstring>

#include "app/editor.h"
#include "app/panels.h"
#include "core/format.h"
#include "platform/platform.h"
#include "scene/history.h"
#include "scene/scene.h"
#include "ui/quad.h"
#include "ui/text.h"

// ---------------------------------------------------------------------------
// New scene

void scene_new() {
    // Built in the spare arena and swapped in, so the old scene's memory goes
    // back whole; refused memory keeps the scene (one message box).
    if (!scene_replace_with_empty()) return;
    editor.tools.edited_object = scene_ref_none();
    editor.properties.edited_id = EDITED_NONE;
    editor.tools.world_box_pending = false;
    editor.untitled_source = String{nullptr, 0};
    history_clear();
}

// The file the scene is compared with: its own, or the template a
// never-saved scene started from (so quitting it untouched does not ask).
static String compared_file() {
    const SceneState& scene = editor.scene;
    return scene.scene_path.length > 0 ? scene.scene_path : editor.untitled_source;
}

bool scene_bytes_unsaved(String bytes) {
    String compared = compared_file();
    if (compared.length == 0) return editor.scene.objects.count > 0;
    // A large scene's file may not fit the frame pool beside its bytes: it
    // goes to the scratch pool for the moment of the compare.
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    String on_disk = file_read_all(compared, POOL_FRAME);
    if (!on_disk.data) on_disk = file_read_all(compared, POOL_SCRATCH);
    bool unsaved = !string_equal(on_disk, bytes) || bytes.length == 0;
    pool_restore(scratch_mark);
    pool_restore(frame_mark);
    scene_scratch_trim();
    return unsaved;
}

bool scene_has_unsaved_changes() {
    SceneState& scene = editor.scene;
    String compared = compared_file();
    scene.scene_modified = compared.length == 0 ? scene.objects.count > 0 : !scene_matches_file(compared);
    return scene.scene_modified;
}

// ---------------------------------------------------------------------------
// Listing

static bool is_name(String name, const char* text) { return string_equal(name, string_from_cstring(text)); }

// Copies `names` into the dialog's byte buffer and points `out` at the copies.
// The buffer was reserved for every name beforehand, so it does not move.
static void keep_names(FileDialog* dialog, Array<String>* out, const Array<String>& names) {
    out->count = 0;
    if (!array_reserve(out, names.count)) return;
    for (int64_t i = 0; i < names.count; i++) {
        String name = names.data[i];
        uint8_t* bytes = dialog->name_bytes.data + dialog->name_bytes.count;
        if (name.length > 0) std::memcpy(bytes, name.data, (size_t)name.length);
        dialog->name_bytes.count += name.length;
        array_push(out, String{bytes, name.length});
    }
}

void file_dialog_list(FileDialog* dialog, String directory) {
    PoolMark mark = pool_mark(POOL_FRAME);
    // `directory` may view the dialog's own buffers, which are rewritten below.
    String path = string_copy_to(directory, POOL_FRAME);
    if (directory.length > 0 && !path.data) path = String{nullptr, 0};
    DirectoryContent content{};
    directory_get_content(&content, &path, POOL_FRAME);

    Array<String> folders = array_make<String>(POOL_FRAME);
    Array<String> files = array_make<String>(POOL_FRAME);
    int64_t total = path.length;
    for (int64_t i = 0; i < content.directory_count; i++) {
        String name = content.directories[i];
        if (is_name(name, ".") || is_name(name, "..")) continue;
        array_push(&folders, name);
        total += name.length;
    }
    for (int64_t i = 0; i < content.file_count; i++) {
        array_push(&files, content.files[i]);
        total += content.files[i].length;
    }
    merge_sort_strings(&folders, POOL_FRAME);
    merge_sort_strings(&files, POOL_FRAME);
    // The way back comes first, and is there even when the folder could not
    // be read, so a bad folder never traps the dialog.
    if (path.length > 0) {
        array_insert(&folders, 0, S(".."));
        total += 2;
    }

    dialog->folders.count = 0;
    dialog->files.count = 0;
    dialog->name_bytes.count = 0;
    dialog->directory_bytes.count = 0;
    dialog->scroll = 0;
    bool room = array_reserve(&dialog->name_bytes, total > 0 ? total : 1) &&
                array_reserve(&dialog->directory_bytes, path.length > 0 ? path.length : 1);
    if (!room) {
        print(S("cannot list the folder: out of memory\n"));
        dialog->directory = String{nullptr, 0};
        pool_restore(mark);
        return;
    }
    if (path.length > 0) std::memcpy(dialog->directory_bytes.data, path.data, (size_t)path.length);
    dialog->directory_bytes.count = path.length;
    dialog->directory = String{dialog->directory_bytes.data, path.length};
    keep_names(dialog, &dialog->folders, folders);
    keep_names(dialog, &dialog->files, files);
    pool_restore(mark);
}

int64_t file_dialog_open(String title, uint8_t mode) {
    float w = (float)editor.window_width, h = (float)editor.window_height;
    Panel panel = panel_make(PANEL_FILE_DIALOG, title, Vec2{w / 2 - 150, h / 2 - 200}, Vec2{300, 400});
    panel_init(&panel);
    FileDialog* dialog = panel_content<FileDialog>(&panel);
    dialog->mode = mode;
    dialog->file_name.single_line = true;
    // The newest dialog takes the keyboard, so a name can be typed at once.
    Array<Panel>& list = editor.panels.list;
    for (int64_t i = 0; i < list.count; i++) {
        if (list.data[i].kind == PANEL_FILE_DIALOG) panel_content<FileDialog>(&list.data[i])->file_name.focused = false;
    }
    dialog->file_name.focused = true;
    file_dialog_list(dialog, String{nullptr, 0});
    return panel_append(&panel);
}

// ---------------------------------------------------------------------------
// Saving

bool scene_save_or_ask(bool from_prompt, uint8_t purpose) {
    String path = editor.scene.scene_path;
    if (path.length > 0) return scene_save(path);
    uint8_t mode = FILE_DIALOG_SAVE;
    if (from_prompt) {
        if (purpose == SAVE_PURPOSE_QUIT) mode = FILE_DIALOG_SAVE_THEN_QUIT;
        else if (purpose == SAVE_PURPOSE_NEW) mode = FILE_DIALOG_SAVE_THEN_NEW;
        else mode = FILE_DIALOG_SAVE_THEN_OPEN;
    }
    file_dialog_open(S("save scene"), mode);
    return false;
}

void save_purpose_carry_out(uint8_t purpose) {
    switch (purpose) {
        case SAVE_PURPOSE_QUIT: editor.running = false; break;
        case SAVE_PURPOSE_NEW: scene_new(); break;
        case SAVE_PURPOSE_OPEN: file_dialog_open(S("open scene"), FILE_DIALOG_OPEN); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// The dialog

FileDialogLayout file_dialog_layout(Vec4 rect) {
    const Theme& theme = editor.theme;
    float s = theme.scale, p = theme.offset;
    FileDialogLayout layout;
    layout.ok = Vec4{rect.x + p, rect.y + p, 4 * s, s};
    layout.cancel = Vec4{rect.x + rect.z - p - 4 * s, rect.y + p, 4 * s, s};
    layout.field = Vec4{rect.x + p, rect.y + 2 * p + s, rect.z - 2 * p, s};
    float list_bottom = rect.y + 3 * p + 2 * s;
    float list_top = rect.y + rect.w - p;
    layout.list = Vec4{rect.x + p, list_bottom, rect.z - 2 * p, list_top > list_bottom ? list_top - list_bottom : 0};
    const Font& font = editor.assets.default_font;
    layout.row_height = (float)(font.line_height * font.font_scale * theme.text_scale);
    if (!(layout.row_height > 0)) layout.row_height = s;   // a font that failed to load
    return layout;
}

String file_dialog_path(const FileDialog* dialog) {
    String name = text_field_text(&dialog->file_name);
    if (name.length > 0 && name.data[name.length - 1] == '\n') name.length--;
    StringBuilder builder = builder_init(POOL_FRAME);
    builder_put_string(&builder, dialog->directory);
    if (dialog->directory.length > 0) builder_put_string(&builder, S("/"));
    builder_put_string(&builder, name);
    return builder_to_string(&builder);
}

static void refuse(String text) {
    String title = S("invalid file name");
    show_simple_message_box(0, &title, &text);
}

// "ok": refuses a name that names nothing or a folder (the dialog stays);
// otherwise closes and carries out the mode. Carrying it out may open another
// dialog (the panel array can move), so `dialog` is not touched after that.
static void file_dialog_accept(FileDialog* dialog) {
    String name = text_field_text(&dialog->file_name);
    if (name.length > 0 && name.data[name.length - 1] == '\n') name.length--;
    String path = file_dialog_path(dialog);
    if (name.length == 0 || directory_exists(&path)) {
        if (name.length == 0) {
            refuse(S("type a file name, or click a file in the list"));
        } else {
            StringBuilder builder = builder_init(POOL_FRAME);
            format_to_builder(&builder, S("%. is a folder: type a file name"), {fmt_string(path)});
            refuse(builder_to_string(&builder));
        }
        // The name is what needs fixing: typing goes straight back to it.
        dialog->file_name.focused = true;
        return;
    }
    uint8_t mode = dialog->mode;
    text_field_set_text(&dialog->file_name, String{nullptr, 0});
    dialog->close_request = true;
    // Only a save that worked goes on to quit, empty the scene or open:
    // otherwise the scene would be lost with nothing written.
    switch (mode) {
        case FILE_DIALOG_OPEN:
            if (scene_load(path) == SCENE_LOAD_OK) {
                editor.untitled_source = String{nullptr, 0};
                history_clear();
            }
            break;
        case FILE_DIALOG_SAVE: scene_save(path); break;
        case FILE_DIALOG_SAVE_THEN_QUIT:
            if (scene_save(path)) save_purpose_carry_out(SAVE_PURPOSE_QUIT);
            break;
        case FILE_DIALOG_SAVE_THEN_NEW:
            if (scene_save(path)) save_purpose_carry_out(SAVE_PURPOSE_NEW);
            break;
        case FILE_DIALOG_SAVE_THEN_OPEN:
            if (scene_save(path)) save_purpose_carry_out(SAVE_PURPOSE_OPEN);
            break;
        case FILE_DIALOG_EXPORT: scene_export(path); break;
        default: break;
    }
}

// The directory one step up: cut at the last "/" (or "\"), else the root.
static String directory_parent(String directory) {
    for (int64_t i = directory.length - 1; i >= 0; i--) {
        if (directory.data[i] == '/') return String{directory.data, i};
    }
    for (int64_t i = directory.length - 1; i >= 0; i--) {
        if (directory.data[i] == '\\') return String{directory.data, i};
    }
    return String{nullptr, 0};
}

static String directory_child(String directory, String folder) {
    StringBuilder builder = builder_init(POOL_FRAME);
    builder_put_string(&builder, directory);
    if (directory.length > 0) builder_put_string(&builder, S("/"));
    builder_put_string(&builder, folder);
    return builder_to_string(&builder);
}

void file_dialog_update(FileDialog* dialog, Vec4 rect) {
    const Theme& theme = editor.theme;
    Font* font = theme.font ? theme.font : &editor.assets.default_font;
    FileDialogLayout layout = file_dialog_layout(rect);
    Vec4 list = layout.list;
    float row = layout.row_height;
    PointerInput pointer = pointer_input_read();
    bool over_list = pointer.enabled && rect_contains(list, pointer.x, pointer.y);

    int64_t rows = dialog->folders.count + dialog->files.count;
    float overflow = rows * row - list.w;
    if (over_list) dialog->scroll -= 16.0f * (float)input_mouse_wheel();
    // The list scrolls no further than its last row.
    if (dialog->scroll > overflow) dialog->scroll = overflow;
    if (!(dialog->scroll > 0)) dialog->scroll = 0;

    float top = list.y + list.w + dialog->scroll;
    int64_t hovered = -1;
    if (over_list) {
        float below = (top - pointer.y) / row;
        if (below >= 0 && below < (float)rows) hovered = (int64_t)below;
    }
    uint32_t white = editor.assets.icons[ICON_WHITE];
    static const Vec4 full_uv = {0, 0, 1, 1};
    for (int64_t i = 0; i < rows; i++) {
        float row_top = top - (float)i * row;
        if (row_top - row >= list.y + list.w || row_top <= list.y) continue;
        bool folder = i < dialog->folders.count;
        String name = folder ? dialog->folders.data[i] : dialog->files.data[i - dialog->folders.count];
        if (i == hovered) quad_draw_clipped(white, theme.hover_color, list.x, row_top - row, list.z, row, full_uv, list);
        text_draw_now_clipped(font, folder ? theme.directory_color : theme.file_color, name, list,
                              list.x + theme.text_offset, row_top - row * 0.5f, theme.text_scale, theme.text_scale);
    }

    String go_to{nullptr, 0};
    bool navigate = false;
    if (hovered >= 0 && pointer.pressed) {
        if (hovered < dialog->folders.count) {
            String folder = dialog->folders.data[hovered];
            go_to = is_name(folder, "..") ? directory_parent(dialog->directory)
                                          : directory_child(dialog->directory, folder);
            navigate = true;
        } else {
            text_field_set_text(&dialog->file_name, dialog->files.data[hovered - dialog->folders.count]);
            dialog->file_name.cursor = dialog->file_name.anchor = (int32_t)dialog->file_name.text.count;
        }
    }

    text_field_update(&dialog->file_name, layout.field);
    // Browsing is part of naming the file: the keyboard stays on the name.
    if (hovered >= 0 && pointer.pressed) dialog->file_name.focused = true;
    bool accept = text_button(&dialog->ok, layout.ok, S("ok"));
    bool cancel = text_button(&dialog->cancel, layout.cancel, S("cancel"));
    if (dialog->file_name.submitted) {
        dialog->file_name.submitted = false;
        accept = true;
    }

    // The rows were drawn from the old listing; the new one shows next frame.
    if (navigate) file_dialog_list(dialog, go_to);
    if (cancel) {
        text_field_set_text(&dialog->file_name, String{nullptr, 0});
        dialog->close_request = true;
    } else if (accept) {
        file_dialog_accept(dialog);
    }
}
