// The interface theme: built-in defaults, overridden key by key from an
// optional text file, then the values derived from it. Relies on core/
// (file reading, scan_float) and the editor's default font and icons.
#include <cstddef>
#include <cstring>

#include "app/editor.h"
#include "assets/assets.h"
#include "core/format.h"

void theme_defaults(Theme* theme) {
    *theme = Theme{};
    theme->color = Vec4{0.3f, 0.3f, 1, 1};
    theme->hover_color = Vec4{1, 1, 1, 0.2f};
    theme->pressed_color = Vec4{0, 0, 0, 0.5f};
    theme->scale = 24;
    theme->offset = 12;
    theme->text_scale = 0.67f;
    theme->text_color = Vec4{1, 1, 1, 1};
    theme->text_offset = 8;
    theme->check_color = Vec4{1, 1, 1, 1};
    theme->selection_color = Vec4{0.5f, 0.5f, 1, 0.5f};
    theme->directory_color = Vec4{0.5f, 0, 1, 1};
    theme->file_color = Vec4{1, 0.8f, 0, 1};
    theme->minimize_color = Vec4{1, 0.4f, 0, 1};
    theme->close_color = Vec4{1, 0, 0, 1};
    theme->quad_object_color = Vec4{1, 0, 0, 1};
    theme->text_object_color = Vec4{0, 0, 1, 1};
    theme->mesh_object_color = Vec4{0, 1, 0, 1};
    theme->data_object_color = Vec4{1, 0.8f, 0, 1};
    theme->path_object_color = Vec4{0.5f, 0, 1, 1};
    theme->group_color = Vec4{1, 0, 0.5f, 1};
    theme->new_color = Vec4{1, 0.8f, 0, 1};
    theme->open_color = Vec4{0, 1, 0.4f, 1};
    theme->save_color = Vec4{0.2f, 0.2f, 1, 1};
    theme->export_color = Vec4{0.5f, 0, 1, 1};
    theme->placement_color = Vec4{1, 1, 0.5f, 1};
    theme->pivot_color = Vec4{1, 0.4f, 0, 1};
    theme->position_color = Vec4{1, 0, 0, 1};
    theme->rotation_color = Vec4{0, 1, 0, 1};
    theme->scale_color = Vec4{0, 0, 1, 1};
    theme->rectangle_color = Vec4{1, 0.8f, 0, 1};
    theme->show_objects_colors = Vec4{0.8f, 0.8f, 1, 1};
    theme->show_properties_color = Vec4{0.8f, 0.8f, 1, 1};
    theme->show_global_properties_color = Vec4{0.8f, 0.8f, 1, 1};
    theme->show_color = Vec4{1, 0.5f, 0, 1};
    theme->cursor_width = 6;
    theme->cursor_color = Vec4{1, 0, 0, 1};
    theme->panel_background = Vec4{0, 0, 0, 0.95f};
}

struct ThemeKey {
    String name;
    size_t offset;   // of a Vec4 (color) or a float (size) inside Theme
};

#define THEME_KEY(field) ThemeKey{S(#field), offsetof(Theme, field)}

static const ThemeKey color_keys[] = {
    THEME_KEY(color),
    THEME_KEY(hover_color),
    THEME_KEY(pressed_color),
    THEME_KEY(text_color),
    THEME_KEY(check_color),
    THEME_KEY(selection_color),
    THEME_KEY(directory_color),
    THEME_KEY(file_color),
    THEME_KEY(minimize_color),
    THEME_KEY(close_color),
    THEME_KEY(quad_object_color),
    THEME_KEY(text_object_color),
    THEME_KEY(mesh_object_color),
    THEME_KEY(data_object_color),
    THEME_KEY(path_object_color),
    THEME_KEY(group_color),
    THEME_KEY(new_color),
    THEME_KEY(open_color),
    THEME_KEY(save_color),
    THEME_KEY(export_color),
    THEME_KEY(placement_color),
    THEME_KEY(pivot_color),
    THEME_KEY(position_color),
    THEME_KEY(rotation_color),
    THEME_KEY(scale_color),
    THEME_KEY(rectangle_color),
    THEME_KEY(show_objects_colors),
    THEME_KEY(show_properties_color),
    THEME_KEY(show_global_properties_color),
    THEME_KEY(show_color),
    THEME_KEY(cursor_color),
};

static const ThemeKey size_keys[] = {
    THEME_KEY(scale), THEME_KEY(offset), THEME_KEY(text_scale), THEME_KEY(text_offset), THEME_KEY(cursor_width),
};

#undef THEME_KEY

static float token_float(String token) {
    TextReader reader{token.data, token.length, token.length, 0};
    return (float)scan_float(&reader);
}

// One line: tokens split at every single space (two spaces make an empty
// token); five or more tokens are a color, two to four a size.
static void theme_apply_line(Theme* theme, String line) {
    String tokens[5];
    int64_t count = 0;
    int64_t start = 0;
    for (int64_t i = 0; i <= line.length; i++) {
        if (i == line.length || line.data[i] == ' ') {
            if (count < 5) tokens[count] = String{line.data + start, i - start};
            count++;
            start = i + 1;
        }
    }
    uint8_t* base = reinterpret_cast<uint8_t*>(theme);
    if (count >= 5) {
        for (const ThemeKey& key : color_keys) {
            if (!string_equal(tokens[0], key.name)) continue;
            Vec4 value{token_float(tokens[1]), token_float(tokens[2]), token_float(tokens[3]), token_float(tokens[4])};
            std::memcpy(base + key.offset, &value, sizeof(value));
            return;
        }
    } else if (count >= 2) {
        for (const ThemeKey& key : size_keys) {
            if (!string_equal(tokens[0], key.name)) continue;
            float value = token_float(tokens[1]);
            std::memcpy(base + key.offset, &value, sizeof(value));
            return;
        }
    }
}

void theme_apply(Theme* theme, String text) {
    int64_t position = 0;
    String line;
    while (text_next_line(text, &position, &line)) theme_apply_line(theme, line);
}

void theme_load(Theme* theme, String path) {
    PoolMark mark = pool_mark(POOL_FRAME);
    theme_apply(theme, file_read_all(path, POOL_FRAME));
    pool_restore(mark);
    theme->font = &editor.assets.default_font;
    theme->list_row_height = theme->scale;
    theme->list_indent = theme->offset;
    theme->list_group_end_height = theme->offset;
    theme->list_arrow_size = 0.75f * theme->scale;
    theme->list_arrow_collapsed = editor.assets.icons[ICON_MAXIMIZE];
    theme->list_arrow_expanded = editor.assets.icons[ICON_MINIMIZE];
}
