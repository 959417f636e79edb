// Bitmap fonts: reads a font description ("s" image size, "i" image path,
// "g" glyph lines), builds the glyph array and map and loads the image as a
// texture. Relies on core/ (pools, maps, formatter) and the platform's
// file, image and texture calls.
#include <cstring>

#include "assets/assets.h"
#include "core/format.h"
#include "platform/platform.h"

static String directory_part(String path) {
    for (int64_t i = path.length - 1; i >= 0; i--) {
        if (path.data[i] == '/') return String{path.data, i + 1};
    }
    return String{nullptr, 0};
}

// Fields are separated by spaces; a run of them counts as one.
static void skip_spaces(TextReader* reader) {
    while (reader->position < reader->length && reader->data[reader->position] == ' ') reader->position++;
}

static double next_float(TextReader* reader) {
    skip_spaces(reader);
    return scan_float(reader);
}

static int64_t count_glyph_lines(String text) {
    int64_t count = 0;
    for (int64_t i = 0; i + 1 < text.length; i++) {
        if ((i == 0 || text.data[i - 1] == '\n') && text.data[i] == 'g' && text.data[i + 1] == ' ') count++;
    }
    return count;
}

bool font_parse(String text, String directory, Font* font, String* image_path, bool check_files) {
    Font result{};
    result.font_scale = 256;
    result.glyphs = array_make<Glyph>(POOL_PERSISTENT);
    result.glyph_map = int_map_make(POOL_PERSISTENT);
    if (!array_reserve(&result.glyphs, count_glyph_lines(text) + 1) || array_push(&result.glyphs, Glyph{}) < 0) {
        print(S("not enough memory for font glyphs\n"));
        return false;
    }
    *image_path = String{nullptr, 0};
    double image_width = 1, image_height = 1;

    int64_t position = 0;
    String line;
    while (text_next_line(text, &position, &line)) {
        const uint8_t* start = line.data;
        int64_t length = line.length;

        if (length < 2 || start[1] != ' ') return false;   // malformed or empty line
        TextReader reader{start, length, length, 2};
        switch (start[0]) {
        case 's': {
            double width = next_float(&reader);
            double height = next_float(&reader);
            // A zero size would turn every glyph into infinities.
            if (width > 0) image_width = width;
            if (height > 0) image_height = height;
            break;
        }
        case 'i': {
            String path{start + 2, length - 2};
            if (check_files) {
                if (!file_exists(&path) && directory.length > 0) path = string_concat(directory, path, POOL_FRAME);
                if (!file_exists(&path)) {
                    format_print(S("failed to load font image: %.\n"), {fmt_string(path)});
                    return false;
                }
            }
            *image_path = path;
            break;
        }
        case 'g': {
            skip_spaces(&reader);
            uint32_t code = (uint32_t)scan_integer(&reader);
            Glyph glyph;
            glyph.x_offset = next_float(&reader) / image_width;
            glyph.y_offset = next_float(&reader) / image_height;
            glyph.advance = next_float(&reader) / image_width;
            glyph.u = next_float(&reader) / image_width;
            glyph.v = next_float(&reader) / image_height;
            glyph.width = next_float(&reader) / image_width;
            glyph.height = next_float(&reader) / image_height;
            int64_t index = array_push(&result.glyphs, glyph);
            if (index < 0 || !int_map_insert(&result.glyph_map, code, (uint32_t)index)) {
                print(S("not enough memory for font glyphs\n"));
                return false;
            }
            if (code == 32) result.space_advance = glyph.advance;
            if (code == 9) result.tab_advance = glyph.advance;
            if (glyph.height > result.line_height) result.line_height = glyph.height;
            break;
        }
        default:
            format_print(S("unknown %.\n"), {fmt_string(String{start, 1})});
            return false;
        }
    }
    uint32_t replacement = 0;
    if (int_map_lookup(&result.glyph_map, 0xFFFD, &replacement)) result.glyphs.data[0] = result.glyphs.data[replacement];
    *font = result;
    return true;
}

static Texture font_texture(String path) {
    Image image{};
    image_set_buffer_position(0);
    image_load(&image, &path, 4);
    Texture texture = texture_create();
    texture_bind(1, texture);
    texture_image_with_mipmaps(image.pixels, image.width, image.height);
    texture_parameter_wrap(1, 0, 2);
    texture_parameter_wrap(1, 1, 2);
    texture_parameter_filter(1, 3, 1);
    texture_parameter_filter(1, 4, 1);
    texture_unbind(1);
    return texture;
}

bool font_load(String path, Font* font) {
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark persistent_mark = pool_mark(POOL_PERSISTENT);
    FileHandle file = file_open(&path, FILE_READ);
    bool opened = !file_failed(file);
    file_close(file);
    String text = opened ? file_read_all(path, POOL_FRAME) : String{nullptr, 0};
    if (!opened) {
        format_print(S("failed to open %.\n"), {fmt_string(path)});
        return false;
    }
    Font result;
    String image_path;
    if (!font_parse(text, directory_part(path), &result, &image_path, true)) {
        pool_restore(frame_mark);
        pool_restore(persistent_mark);   // the glyphs of the failed font
        return false;
    }
    if (image_path.length > 0) result.texture = font_texture(image_path);
    pool_restore(frame_mark);
    *font = result;
    return true;
}
