// Resource list, textures, the icon table and the three name tables that
// scene objects resolve their texture, font and mesh names through. Relies
// on the platform's image and texture calls, the font and mesh loaders and
// the editor's asset record.
#include <cstring>

#include "app/editor.h"
#include "assets/assets.h"
#include "core/format.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Textures

// Output texel x covers source texels 2x and 2x + 1; the last one of an odd
// row also takes the row's final texel, so every source texel counts.
static void source_span(uint32_t out, uint32_t out_size, uint32_t in_size, uint32_t* first, uint32_t* end) {
    *first = in_size == 1 ? 0 : 2 * out;
    *end = in_size == 1 ? 1 : out + 1 == out_size ? in_size : 2 * out + 2;
}

void image_halve(uint8_t* pixels, uint32_t* width, uint32_t* height) {
    uint32_t in_w = *width, in_h = *height;
    uint32_t out_w = in_w > 1 ? in_w / 2 : 1, out_h = in_h > 1 ? in_h / 2 : 1;
    // In place: output texel i is written after every read of the texels
    // before it, and reads start at source index 2i or later.
    for (uint32_t y = 0; y < out_h; y++) {
        uint32_t y0, y1;
        source_span(y, out_h, in_h, &y0, &y1);
        for (uint32_t x = 0; x < out_w; x++) {
            uint32_t x0, x1;
            source_span(x, out_w, in_w, &x0, &x1);
            uint32_t sum[4] = {0, 0, 0, 0};
            for (uint32_t sy = y0; sy < y1; sy++) {
                const uint8_t* row = pixels + ((size_t)sy * in_w) * 4;
                for (uint32_t sx = x0; sx < x1; sx++) {
                    for (int c = 0; c < 4; c++) sum[c] += row[(size_t)sx * 4 + c];
                }
            }
            uint32_t n = (y1 - y0) * (x1 - x0);
            uint8_t* out = pixels + ((size_t)y * out_w + x) * 4;
            for (int c = 0; c < 4; c++) out[c] = (uint8_t)((sum[c] + n / 2) / n);
        }
    }
    *width = out_w;
    *height = out_h;
}

// Levels below the first are box-filtered here rather than by the driver: a
// software driver builds a blit program for its first mipmap, which cost
// more than all the rest of start-up together, and the levels come out the
// same on every machine.
void texture_image_with_mipmaps(uint8_t* pixels, uint32_t width, uint32_t height) {
    texture_image_2d(1, 0, 13, (int32_t)width, (int32_t)height, 8, 0, pixels);
    for (int32_t level = 1; width > 1 || height > 1; level++) {
        image_halve(pixels, &width, &height);
        texture_image_2d(1, level, 13, (int32_t)width, (int32_t)height, 8, 0, pixels);
    }
}

Texture texture_load(String path, int32_t wrap_s, int32_t wrap_t, int32_t min_filter, int32_t mag_filter) {
    Image image{};
    image_set_buffer_position(0);
    image_load(&image, &path, 4);   // a failed load still gives a 1 x 1 image
    Texture texture = texture_create();
    texture_bind(1, texture);
    bool mipmapped = min_filter >= 2 && min_filter <= 5;
    if (mipmapped) texture_image_with_mipmaps(image.pixels, image.width, image.height);
    else texture_image_2d(1, 0, 13, (int32_t)image.width, (int32_t)image.height, 8, 0, image.pixels);
    texture_parameter_wrap(1, 0, wrap_s);
    texture_parameter_wrap(1, 1, wrap_t);
    texture_parameter_filter(1, 3, min_filter);
    texture_parameter_filter(1, 4, mag_filter);
    texture_parameterf(1, 10, 8.0f);
    texture_unbind(1);
    return texture;
}

static const String icon_paths[ICON_COUNT] = {
    S("textures/white.png"),        S("textures/gradient1.png"),     S("textures/gradient2.png"),
    S("textures/gradient3.png"),    S("textures/maximize2.png"),     S("textures/minimize.png"),
    S("textures/close.png"),        S("textures/star3d.png"),        S("textures/eye.png"),
    S("textures/check.png"),        S("textures/square.png"),        S("textures/cube.png"),
    S("textures/text.png"),         S("textures/question.png"),      S("textures/arrow.png"),
    S("textures/new.png"),          S("textures/open.png"),          S("textures/save.png"),
    S("textures/light.png"),        S("textures/lightning.png"),     S("textures/star.png"),
    S("textures/add_point.png"),    S("textures/place_object.png"),  S("textures/select_object.png"),
    S("textures/center_pivot.png"), S("textures/object_pivot.png"),  S("textures/translate.png"),
    S("textures/rotate.png"),       S("textures/scale.png"),         S("textures/gizmo_rectangle.png"),
    S("textures/sphere.png"),       S("textures/cone.png"),          S("textures/settings.png"),
    S("textures/circle.png"),       S("textures/hue.png"),           S("textures/alpha.png"),
};

void icons_load() {
    AssetState* assets = &editor.assets;
    for (int32_t i = 0; i < ICON_COUNT; i++) assets->icons[i] = texture_load(icon_paths[i], 2, 2, 5, 0);
    Font font{};
    font.font_scale = 256;
    font_load(S("textures/font_info.txt"), &font);
    assets->default_font = font;
}

// ---------------------------------------------------------------------------
// Resource list

// Up to the next space (or the end); the position moves past that space.
static String take_word(String line, int64_t* position) {
    int64_t start = *position;
    int64_t at = start;
    while (at < line.length && line.data[at] != ' ') at++;
    *position = at < line.length ? at + 1 : at;
    return String{line.data + start, at - start};
}

static int32_t take_integer(String line, int64_t* position) {
    TextReader reader{line.data, line.length, line.length, *position};
    int64_t value = scan_integer(&reader);
    *position = reader.position;
    if (*position < line.length && line.data[*position] == ' ') (*position)++;
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return (int32_t)value;
}

bool manifest_parse_line(String line, ManifestEntry* entry) {
    *entry = ManifestEntry{};
    // CR LF files: the CR is not part of the last field (a path).
    if (line.length > 0 && line.data[line.length - 1] == '\r') line.length--;
    int64_t position = 0;
    String keyword = take_word(line, &position);
    if (position == keyword.length) return false;   // no space after the keyword
    if (string_equal(keyword, S("texture"))) entry->kind = MANIFEST_TEXTURE;
    else if (string_equal(keyword, S("font"))) entry->kind = MANIFEST_FONT;
    else if (string_equal(keyword, S("mesh"))) entry->kind = MANIFEST_MESH;
    else return false;
    entry->name = take_word(line, &position);
    if (entry->kind == MANIFEST_TEXTURE) {
        entry->wrap_s = take_integer(line, &position);
        entry->wrap_t = take_integer(line, &position);
        entry->min_filter = take_integer(line, &position);
        entry->mag_filter = take_integer(line, &position);
    }
    entry->path = String{line.data + position, line.length - position};
    return true;
}

static void manifest_apply(const ManifestEntry& entry) {
    AssetState* assets = &editor.assets;
    if (entry.kind == MANIFEST_MESH) {
        Mesh* mesh = pool_alloc_array<Mesh>(POOL_PERSISTENT, 1);
        if (!mesh) {
            format_print(S("not enough memory for mesh: %.\n"), {fmt_string(entry.path)});
            return;
        }
        *mesh = Mesh{};
        if (!mesh_import(mesh, entry.path)) return;
        String name = string_copy(entry.name);
        int64_t index = array_push(&assets->meshes, mesh);
        if (index >= 0) map_insert(&assets->mesh_map, name, index);
    } else if (entry.kind == MANIFEST_FONT) {
        Font* font = pool_alloc_array<Font>(POOL_PERSISTENT, 1);
        if (!font) {
            format_print(S("not enough memory for font: %.\n"), {fmt_string(entry.path)});
            return;
        }
        *font = Font{};
        font->font_scale = 256;
        font_load(entry.path, font);   // entered even when it failed
        String name = string_copy(entry.name);
        int64_t index = array_push(&assets->fonts, font);
        if (index >= 0) map_insert(&assets->font_map, name, index);
    } else if (entry.kind == MANIFEST_TEXTURE) {
        Texture texture =
            texture_load(entry.path, entry.wrap_s, entry.wrap_t, entry.min_filter, entry.mag_filter);
        String name = string_copy(entry.name);
        int64_t index = array_push(&assets->textures, texture);
        if (index >= 0) map_insert(&assets->texture_map, name, index);
    }
}

bool manifest_load(String path) {
    String text = file_read_all(path, POOL_PERSISTENT);
    if (text.length == 0) return false;
    int64_t position = 0;
    String line;
    while (text_next_line(text, &position, &line)) {
        ManifestEntry entry;
        if (manifest_parse_line(line, &entry)) manifest_apply(entry);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Name tables

Texture texture_find(String name) {
    int64_t index = 0;
    const AssetState& assets = editor.assets;
    if (map_lookup(&assets.texture_map, name, &index) && index >= 0 && index < assets.textures.count)
        return assets.textures.data[index];
    return assets.icons[ICON_WHITE];
}

Font* font_find(String name) {
    int64_t index = 0;
    AssetState& assets = editor.assets;
    if (map_lookup(&assets.font_map, name, &index) && index >= 0 && index < assets.fonts.count)
        return assets.fonts.data[index];
    return &assets.default_font;
}

Mesh* mesh_find(String name) {
    int64_t index = 0;
    const AssetState& assets = editor.assets;
    if (map_lookup(&assets.mesh_map, name, &index) && index >= 0 && index < assets.meshes.count)
        return assets.meshes.data[index];
    return nullptr;
}

// ---------------------------------------------------------------------------
// Shutdown

void textures_release() {
    AssetState* assets = &editor.assets;
    for (int64_t i = 0; i < assets->textures.count; i++) {
        if (assets->textures.data[i]) texture_destroy(assets->textures.data[i]);
    }
    assets->textures.count = 0;
    map_clear(&assets->texture_map);
    for (int64_t i = 0; i < assets->fonts.count; i++) {
        Font* font = assets->fonts.data[i];
        if (font->texture) texture_destroy(font->texture);
        font->texture = 0;
    }
    for (int32_t i = 0; i < ICON_COUNT; i++) {
        if (assets->icons[i]) texture_destroy(assets->icons[i]);
        assets->icons[i] = 0;
    }
    if (assets->default_font.texture) texture_destroy(assets->default_font.texture);
    assets->default_font.texture = 0;
}
