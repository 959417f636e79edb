// Bitmap fonts: rasterises printable ASCII, Latin-1 and U+FFFD with FreeType
// into one white-on-transparent image and writes the description file the
// editor reads ("s", "i" and "g" lines). Also a small text renderer that
// follows the editor's layout rules, to look at the result.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "datagen.h"

namespace {

struct Glyph {
    int code;
    int left, top;        // FreeType bearing of the bitmap
    int width, rows;      // bitmap size
    int advance;          // whole pixels
    std::vector<uint8_t> coverage;
    int box_x = 0, box_y = 0;  // top-left of the padded box in the image
};

std::vector<int> wanted_code_points() {
    std::vector<int> codes;
    for (int c = 32; c <= 126; c++) codes.push_back(c);
    for (int c = 0xA0; c <= 0xFF; c++) codes.push_back(c);
    codes.push_back(0xFFFD);
    return codes;
}

// Shelf packing, tallest boxes first. Returns false if the boxes do not fit.
bool pack(std::vector<Glyph*>& glyphs, int pad, int width, int height) {
    std::vector<Glyph*> order = glyphs;
    std::stable_sort(order.begin(), order.end(), [&](Glyph* a, Glyph* b) { return a->rows > b->rows; });
    int x = 0, y = 0, shelf = 0;
    for (Glyph* g : order) {
        int w = g->width + 2 * pad, h = g->rows + 2 * pad;
        if (x + w > width) {
            x = 0;
            y += shelf;
            shelf = 0;
        }
        if (y + h > height || w > width) return false;
        g->box_x = x;
        g->box_y = y;
        x += w;
        shelf = std::max(shelf, h);
    }
    return true;
}

}  // namespace

bool font_generate(const std::string& data_dir, const FontParams& params, FontFacts* facts) {
    const int pad = 1;
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library)) return false;
    if (FT_New_Face(library, params.ttf.c_str(), 0, &face)) {
        std::fprintf(stderr, "cannot open font %s\n", params.ttf.c_str());
        FT_Done_FreeType(library);
        return false;
    }
    FT_Set_Pixel_Sizes(face, 0, params.pixel_size);

    std::vector<Glyph> glyphs;
    for (int code : wanted_code_points()) {
        FT_UInt index = FT_Get_Char_Index(face, code);
        if (index == 0) {
            std::fprintf(stderr, "%s has no glyph for U+%04X; it will draw as the replacement\n",
                         params.ttf.c_str(), code);
            continue;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER)) {
            std::fprintf(stderr, "cannot render U+%04X\n", code);
            continue;
        }
        FT_GlyphSlot slot = face->glyph;
        Glyph g;
        g.code = code;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = (int)slot->bitmap.width;
        g.rows = (int)slot->bitmap.rows;
        g.advance = (int)((slot->advance.x + 32) >> 6);
        for (int y = 0; y < g.rows; y++)
            for (int x = 0; x < g.width; x++) g.coverage.push_back(slot->bitmap.buffer[y * slot->bitmap.pitch + x]);
        glyphs.push_back(g);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    std::vector<Glyph*> boxed;
    for (Glyph& g : glyphs)
        if (g.width > 0 && g.rows > 0) boxed.push_back(&g);
    if (!pack(boxed, pad, params.image_width, params.image_height)) {
        std::fprintf(stderr, "%d px glyphs of %s do not fit into %dx%d\n", params.pixel_size, params.ttf.c_str(),
                     params.image_width, params.image_height);
        return false;
    }

    Canvas image = canvas_make(params.image_width, params.image_height);
    for (Glyph* g : boxed) {
        for (int y = 0; y < g->rows; y++) {
            for (int x = 0; x < g->width; x++) {
                float a = g->coverage[y * g->width + x] / 255.0f;
                canvas_set(image, g->box_x + pad + x, g->box_y + pad + y, {a, a, a, a});
            }
        }
    }

    std::string dir = params.description_path.substr(0, params.description_path.rfind('/') + 1);
    if (!make_directories(data_dir + "/" + dir)) return false;
    std::string text = "s " + std::to_string(params.image_width) + " " + std::to_string(params.image_height) + "\n";
    text += "i " + params.image_name + "\n";

    int space_advance = 0, line_height = 0, ascent = 0, descent = 0, count = 0;
    auto glyph_line = [&](int code, int xoff, int yoff, int advance, int u, int v, int w, int h) {
        text += "g " + std::to_string(code) + " " + std::to_string(xoff) + " " + std::to_string(yoff) + " " +
                std::to_string(advance) + " " + std::to_string(u) + " " + std::to_string(v) + " " +
                std::to_string(w) + " " + std::to_string(h) + "\n";
        line_height = std::max(line_height, h);
        count++;
    };
    for (Glyph& g : glyphs) {
        if (g.code == 32) space_advance = g.advance;
        if (g.width > 0 && g.rows > 0) descent = std::max(descent, g.rows - g.top + pad);
    }
    // Tab: four spaces wide, nothing drawn.
    glyph_line(9, 0, 0, space_advance * 4, 0, 0, 0, 0);
    for (Glyph& g : glyphs) {
        if (g.width == 0 || g.rows == 0) {
            glyph_line(g.code, 0, 0, g.advance, 0, 0, 0, 0);
            continue;
        }
        int w = g.width + 2 * pad, h = g.rows + 2 * pad;
        // The image is loaded bottom row first, so v counts from the bottom.
        int v = params.image_height - (g.box_y + h);
        int xoff = pad - g.left;
        // The editor lays a line out as the band from the pen's y up to one
        // line height (bottom alignment puts the pen on the last line's
        // bottom, middle alignment centres the band), so the pen line is
        // the lowest descender, not the typographic baseline: every box is
        // lifted by the deepest descent and stays inside the band.
        int yoff = (g.rows - g.top) + pad - descent;
        glyph_line(g.code, xoff, yoff, g.advance, g.box_x, v, w, h);
        ascent = std::max(ascent, g.top + pad);
    }

    bool ok = canvas_write_png(image, data_dir + "/" + dir + params.image_name);
    ok = write_text_file(data_dir + "/" + params.description_path, text) && ok;

    facts->description_path = params.description_path;
    facts->image_path = dir + params.image_name;
    facts->source = params.ttf;
    facts->pixel_size = params.pixel_size;
    facts->image_width = params.image_width;
    facts->image_height = params.image_height;
    facts->glyph_count = count;
    facts->line_height_px = line_height;
    facts->ascent_px = ascent;
    facts->descent_px = descent;
    facts->padding_px = pad;
    return ok;
}

// ---------------------------------------------------------------------------
// Preview: the description is read back from disk the way the editor reads it
// (values divided by the "s" size, glyph 0 a copy of U+FFFD), and text is laid
// out with font scale 256, the given scale and a pixel snap of 1.

namespace {

struct LoadedGlyph {
    double xoff, yoff, advance, u, v, w, h;
};

struct LoadedFont {
    std::vector<LoadedGlyph> glyphs;  // [0] = replacement
    std::map<int, int> map;
    double space = 0, tab = 0, line_height = 0;
    Canvas image;
};

bool load_font(const std::string& data_dir, const std::string& path, LoadedFont* font) {
    FILE* f = std::fopen((data_dir + "/" + path).c_str(), "rb");
    if (!f) return false;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    std::string dir = path.substr(0, path.rfind('/') + 1);
    double sw = 1, sh = 1;
    font->glyphs.push_back({0, 0, 0, 0, 0, 0, 0});
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() < 2 || line[1] != ' ') return false;
        if (line[0] == 's') {
            std::sscanf(line.c_str() + 2, "%lf %lf", &sw, &sh);
        } else if (line[0] == 'i') {
            if (!canvas_read_png(&font->image, data_dir + "/" + dir + line.substr(2))) return false;
        } else if (line[0] == 'g') {
            int code;
            double v[7];
            if (std::sscanf(line.c_str() + 2, "%d %lf %lf %lf %lf %lf %lf %lf", &code, &v[0], &v[1], &v[2], &v[3],
                            &v[4], &v[5], &v[6]) != 8)
                return false;
            LoadedGlyph g = {v[0] / sw, v[1] / sh, v[2] / sw, v[3] / sw, v[4] / sh, v[5] / sw, v[6] / sh};
            font->glyphs.push_back(g);
            font->map[code] = (int)font->glyphs.size() - 1;
            if (code == 32) font->space = g.advance;
            if (code == 9) font->tab = g.advance;
            font->line_height = std::max(font->line_height, g.h);
        } else {
            return false;
        }
    }
    auto it = font->map.find(0xFFFD);
    if (it != font->map.end()) font->glyphs[0] = font->glyphs[it->second];
    return true;
}

int utf8_next(const std::string& s, size_t* i) {
    unsigned char b0 = s[*i];
    size_t left = s.size() - *i;
    if (b0 < 0x80) {
        *i += 1;
        return b0;
    }
    int len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 1;
    if (len == 1 || left < (size_t)len) {
        *i += 1;
        return 0xFFFD;
    }
    int cp = b0 & (0x7F >> len);
    for (int k = 1; k < len; k++) cp = (cp << 6) | (s[*i + k] & 0x3F);
    *i += len;
    return cp;
}

// Bilinear sample of the image at texture coordinates with v from the bottom.
Color sample(const Canvas& img, double u, double v) {
    double tx = u * img.width - 0.5, ty = v * img.height - 0.5;
    int x0 = (int)std::floor(tx), y0 = (int)std::floor(ty);
    double fx = tx - x0, fy = ty - y0;
    Color acc = {0, 0, 0, 0};
    for (int j = 0; j < 2; j++) {
        for (int i = 0; i < 2; i++) {
            int x = std::clamp(x0 + i, 0, img.width - 1);
            int y = std::clamp(y0 + j, 0, img.height - 1);
            Color c = canvas_get(img, x, img.height - 1 - y);
            double w = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
            acc.r += c.r * w;
            acc.g += c.g * w;
            acc.b += c.b * w;
            acc.a += c.a * w;
        }
    }
    return acc;
}

}  // namespace

bool font_preview(const std::string& data_dir, const std::string& description_path,
                  const std::vector<std::string>& lines, double text_scale, const std::string& path) {
    LoadedFont font;
    if (!load_font(data_dir, description_path, &font)) {
        std::fprintf(stderr, "preview: cannot read %s\n", description_path.c_str());
        return false;
    }
    double s = text_scale * 256.0;
    double line_px = font.line_height * s;
    int width = 760, height = (int)std::ceil(line_px * (lines.size() + 1));
    Canvas out = canvas_make(width, height, {0.09f, 0.09f, 0.11f, 1});
    Color text_color = {1, 1, 1, 1};
    double x = 10, y = height - line_px;  // y up, baseline of the first line
    for (const std::string& line : lines) {
        double pen = 0;
        for (size_t i = 0; i < line.size();) {
            int cp = utf8_next(line, &i);
            if (cp == 32) {
                pen += font.space * s;
                continue;
            }
            if (cp == 9) {
                pen += font.tab * s;
                continue;
            }
            auto it = font.map.find(cp);
            const LoadedGlyph& g = font.glyphs[it == font.map.end() ? 0 : it->second];
            double r[4] = {x + pen - g.xoff * s, y - g.yoff * s, g.w * s, g.h * s};
            for (double& v : r) v = std::floor(v + 0.5);
            for (int py = (int)r[1]; py < (int)(r[1] + r[3]); py++) {
                for (int px = (int)r[0]; px < (int)(r[0] + r[2]); px++) {
                    double u = g.u + (px + 0.5 - r[0]) / r[2] * g.w;
                    double v = g.v + (py + 0.5 - r[1]) / r[3] * g.h;
                    Color c = sample(font.image, u, v);
                    int iy = height - 1 - py;
                    if (px < 0 || px >= width || iy < 0 || iy >= height) continue;
                    float* d = &out.px[((size_t)iy * width + px) * 4];
                    float a = c.a * text_color.a;
                    d[0] = text_color.r * a + d[0] * (1 - a);
                    d[1] = text_color.g * a + d[1] * (1 - a);
                    d[2] = text_color.b * a + d[2] * (1 - a);
                }
            }
            pen += g.advance * s;
        }
        y -= line_px;
    }
    return canvas_write_png(out, path);
}
