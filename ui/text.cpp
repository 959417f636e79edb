// Text: UTF-8 decoding, glyph lookup (with a per-font table for code points
// below 128, filled on first use, so interface text does not hash every
// glyph), measuring and drawing glyph quads. Relies on the Font record, the
// batch and draw state, ui/quad and the platform's floor.
#include "ui/text.h"

#include <cstring>

#include "app/editor.h"
#include "platform/platform.h"
#include "render/shader.h"
#include "ui/quad.h"

// ---------------------------------------------------------------------------
// Decoding and lookup

uint32_t utf8_decode(const uint8_t* data, int64_t remaining, int64_t* length) {
    if (remaining <= 0) return 65533;
    uint32_t b0 = data[0];
    if (b0 < 0x80) {
        *length = 1;
        return b0;
    }
    int64_t size;
    if (b0 >= 0xC0 && b0 <= 0xDF) size = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF) size = 3;
    else if (b0 >= 0xF0) size = 4;
    else return 65533;  // a stray continuation byte: the caller's preset length stands
    if (remaining < size) {
        // Cut short by the end of the text: the rest of the bytes, so that a
        // caller stepping by the length never passes the end.
        *length = remaining;
        return 65533;
    }
    *length = size;
    if (size == 2) return ((b0 & 0x1F) << 6) | (data[1] & 0x3Fu);
    if (size == 3) return ((b0 & 0x0F) << 12) | ((data[1] & 0x3Fu) << 6) | (data[2] & 0x3Fu);
    return ((b0 & 0x07) << 18) | ((data[1] & 0x3Fu) << 12) | ((data[2] & 0x3Fu) << 6) | (data[3] & 0x3Fu);
}

uint32_t glyph_lookup(const Font* font, uint32_t code_point) {
    uint32_t index = 0;
    if (!int_map_lookup(&font->glyph_map, code_point, &index)) return 0;
    return index;
}

static const uint32_t GLYPH_UNKNOWN = 0xFFFFFFFFu;

// The table belongs to one font and one state of its glyph map; a font
// reloaded in place gets new slots, which empties the table.
static void glyph_cache_check(DrawState& draw, const Font* font) {
    if (draw.glyph_cache_font == font && draw.glyph_cache_slots == font->glyph_map.slots &&
        draw.glyph_cache_count == font->glyph_map.count)
        return;
    draw.glyph_cache_font = font;
    draw.glyph_cache_slots = font->glyph_map.slots;
    draw.glyph_cache_count = font->glyph_map.count;
    std::memset(draw.glyph_cache, 0xFF, sizeof draw.glyph_cache);
}

// The glyph of a code point, null when the font has no glyph there (a font
// whose file failed to load has no glyphs at all).
static inline const Glyph* glyph_of(DrawState& draw, const Font* font, uint32_t code_point) {
    uint32_t index;
    if (code_point < 128) {
        index = draw.glyph_cache[code_point];
        if (index == GLYPH_UNKNOWN) index = draw.glyph_cache[code_point] = glyph_lookup(font, code_point);
    } else {
        index = glyph_lookup(font, code_point);
    }
    if ((int64_t)index >= font->glyphs.count) return nullptr;
    return &font->glyphs.data[index];
}

// ---------------------------------------------------------------------------
// Measuring

void text_font_bind(Font* font) {
    editor.render.draw.font = font;
    bind_diffuse_texture(font ? font->texture : 0);
}

struct TextScale {
    double x, y;          // scale x font scale
    double line_height;   // scaled
};

static TextScale text_scale(const Font* font, double scale_x, double scale_y) {
    TextScale s;
    s.x = scale_x * font->font_scale;
    s.y = scale_y * font->font_scale;
    s.line_height = font->line_height * s.y;
    return s;
}

// Space, tab and line feed move the pen without a glyph; a line feed
// returns to `line_start`. True when the code point was one of them.
static inline bool pen_control(const Font* font, const TextScale& s, uint32_t code_point, double line_start,
                               double* pen_x, double* pen_y) {
    switch (code_point) {
    case ' ': *pen_x += font->space_advance * s.x; return true;
    case '\t': *pen_x += font->tab_advance * s.x; return true;
    case '\n':
        *pen_x = line_start;
        *pen_y -= s.line_height;
        return true;
    default: return false;
    }
}

struct Measure {
    double offset_x, offset_y, width, height;
};

static Measure measure(DrawState& draw, const Font* font, String text, TextScale s) {
    double height = s.line_height, line = 0, widest = 0;
    int64_t at = 0;
    while (at < text.length) {
        int64_t length = 1;
        uint32_t code_point = utf8_decode(text.data + at, text.length - at, &length);
        at += length;
        if (code_point == ' ') {
            line += font->space_advance * s.x;
        } else if (code_point == '\t') {
            line += font->tab_advance * s.x;
        } else if (code_point == '\n') {
            line = 0;
            height += s.line_height;
        } else {
            const Glyph* glyph = glyph_of(draw, font, code_point);
            if (glyph) line += glyph->advance * s.x;
        }
        if (line > widest) widest = line;
    }
    Measure m;
    m.width = widest;
    m.height = height;
    switch (draw.align.horizontal) {
    case ALIGN_CENTER: m.offset_x = -widest / 2; break;
    case ALIGN_RIGHT: m.offset_x = -widest; break;
    default: m.offset_x = 0; break;
    }
    switch (draw.align.vertical) {
    case ALIGN_BOTTOM: m.offset_y = height - s.line_height; break;
    case ALIGN_MIDDLE: m.offset_y = height / 2 - s.line_height; break;
    case ALIGN_TOP: m.offset_y = -s.line_height; break;
    default: m.offset_y = 0; break;
    }
    return m;
}

TextExtent text_measure(String text, double scale_x, double scale_y) {
    DrawState& draw = editor.render.draw;
    const Font* font = draw.font;
    if (!font) return TextExtent{0, 0, 0, 0};
    glyph_cache_check(draw, font);
    Measure m = measure(draw, font, text, text_scale(font, scale_x, scale_y));
    return TextExtent{(float)m.offset_x, (float)m.offset_y, (float)m.width, (float)m.height};
}

// ---------------------------------------------------------------------------
// Drawing

static inline double snap(double value, double unit) { return math_floor(value / unit + 0.5) * unit; }

// Shared by the plain and the clipped draw; `clip` null for the plain one.
static float draw_glyphs(String text, float x, float y, double scale_x, double scale_y, const Vec4* clip) {
    DrawState& draw = editor.render.draw;
    const Font* font = draw.font;
    if (!font) return x;
    glyph_cache_check(draw, font);
    TextScale s = text_scale(font, scale_x, scale_y);
    double pen_x = 0, pen_y = 0;
    // Left/baseline text (most labels) starts at the point itself: no need
    // to walk the text twice.
    bool aligned = (draw.align.horizontal == ALIGN_CENTER || draw.align.horizontal == ALIGN_RIGHT) ||
                   (draw.align.vertical == ALIGN_BOTTOM || draw.align.vertical == ALIGN_MIDDLE ||
                    draw.align.vertical == ALIGN_TOP);
    double start_x = 0;
    if (aligned) {
        Measure m = measure(draw, font, text, s);
        start_x = pen_x = m.offset_x;
        pen_y = m.offset_y;
    }
    double unit = draw.pixel_snap;
    int64_t at = 0;
    while (at < text.length) {
        int64_t length = 1;
        uint32_t code_point = utf8_decode(text.data + at, text.length - at, &length);
        at += length;
        if (pen_control(font, s, code_point, start_x, &pen_x, &pen_y)) continue;
        const Glyph* glyph = glyph_of(draw, font, code_point);
        if (!glyph) continue;
        double rx = x + pen_x - glyph->x_offset * s.x;
        double ry = y + pen_y - glyph->y_offset * s.y;
        double rw = glyph->width * s.x;
        double rh = glyph->height * s.y;
        pen_x += glyph->advance * s.x;
        if (unit != 0) {
            rx = snap(rx, unit);
            ry = snap(ry, unit);
            rw = snap(rw, unit);
            rh = snap(rh, unit);
        }
        Vec4 rect{(float)rx, (float)ry, (float)rw, (float)rh};
        Vec4 uv{(float)glyph->u, (float)glyph->v, (float)glyph->width, (float)glyph->height};
        if (clip) {
            Vec4 correction = clip_rect_uv(&rect, *clip);
            if (rect.z <= 0 || rect.w <= 0) continue;
            uv = clip_uv_apply(uv, correction);
        }
        // A zero-sized glyph (glyph 0 of a font without a replacement glyph)
        // would only append an invisible quad.
        if (rect.z == 0 || rect.w == 0) continue;
        quad_append(rect.x, rect.y, rect.z, rect.w, 0, 0, uv);
    }
    return (float)(x + pen_x);
}

float text_draw(String text, float x, float y, double scale_x, double scale_y) {
    return draw_glyphs(text, x, y, scale_x, scale_y, nullptr);
}

float text_draw_clipped(String text, Vec4 clip, float x, float y, double scale_x, double scale_y) {
    return draw_glyphs(text, x, y, scale_x, scale_y, &clip);
}

float text_draw_now(Font* font, Vec4 color, String text, float x, float y, double scale_x, double scale_y,
                    uint8_t align_horizontal, uint8_t align_vertical) {
    DrawState& draw = editor.render.draw;
    text_font_bind(font);
    draw.align = TextAlign{align_horizontal, align_vertical};
    draw.color = color_to_linear(color, editor.gamma_value);
    batch_begin();
    float end = text_draw(text, x, y, scale_x, scale_y);
    if (draw.indices.count > 0) batch_flush();
    return end;
}

float text_draw_now_clipped(Font* font, Vec4 color, String text, Vec4 clip, float x, float y, double scale_x,
                            double scale_y) {
    DrawState& draw = editor.render.draw;
    text_font_bind(font);
    draw.align = TextAlign{ALIGN_LEFT, ALIGN_MIDDLE};
    draw.color = color_to_linear(color, editor.gamma_value);
    batch_begin();
    float end = text_draw_clipped(text, clip, x, y, scale_x, scale_y);
    if (draw.indices.count > 0) batch_flush();
    return end;
}

void text_append_transformed(String text, const Mat4& matrix, double scale) {
    DrawState& draw = editor.render.draw;
    const Font* font = draw.font;
    if (!font) return;
    glyph_cache_check(draw, font);
    TextScale s = text_scale(font, scale, scale);
    const Vec4 white{1, 1, 1, 1};
    double pen_x = 0, pen_y = 0;
    int64_t at = 0;
    while (at < text.length) {
        int64_t length = 1;
        uint32_t code_point = utf8_decode(text.data + at, text.length - at, &length);
        at += length;
        if (pen_control(font, s, code_point, 0, &pen_x, &pen_y)) continue;
        const Glyph* glyph = glyph_of(draw, font, code_point);
        if (!glyph) continue;
        float x0 = (float)(pen_x - glyph->x_offset * s.x);
        float y0 = (float)(pen_y - glyph->y_offset * s.y);
        float x1 = x0 + (float)(glyph->width * s.x);
        float y1 = y0 + (float)(glyph->height * s.y);
        pen_x += glyph->advance * s.x;
        Vec4 uv{(float)glyph->u, (float)glyph->v, (float)glyph->width, (float)glyph->height};
        batch_append_quad(mat4_transform_point(matrix, Vec3{x0, y0, 0}), mat4_transform_point(matrix, Vec3{x1, y0, 0}),
                          mat4_transform_point(matrix, Vec3{x1, y1, 0}), mat4_transform_point(matrix, Vec3{x0, y1, 0}),
                          white, white, white, white, uv);
    }
}
