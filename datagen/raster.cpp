// Canvas, shapes and file output of the data generator; relies on
// stb_image_write / stb_image (Debian's libstb-dev) for PNG files.
#include "raster.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

float dot(V2 a, V2 b) { return a.x * b.x + a.y * b.y; }
float length(V2 a) { return std::sqrt(a.x * a.x + a.y * a.y); }

V2 rotate(V2 p, float degrees) {
    float r = degrees * 3.14159265358979f / 180.0f;
    float c = std::cos(r), s = std::sin(r);
    return {p.x * c - p.y * s, p.x * s + p.y * c};
}

Canvas canvas_make(int width, int height, Color fill) {
    Canvas c;
    c.width = width;
    c.height = height;
    c.px.resize((size_t)width * height * 4);
    for (size_t i = 0; i < (size_t)width * height; i++) {
        c.px[i * 4 + 0] = fill.r * fill.a;
        c.px[i * 4 + 1] = fill.g * fill.a;
        c.px[i * 4 + 2] = fill.b * fill.a;
        c.px[i * 4 + 3] = fill.a;
    }
    return c;
}

Color canvas_get(const Canvas& c, int x, int y) {
    const float* p = &c.px[((size_t)y * c.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

void canvas_set(Canvas& c, int x, int y, Color v) {
    float* p = &c.px[((size_t)y * c.width + x) * 4];
    p[0] = v.r;
    p[1] = v.g;
    p[2] = v.b;
    p[3] = v.a;
}

float sdf_coverage(const Sdf& shape, int x, int y) {
    int inside = 0;
    for (int j = 0; j < 4; j++) {
        for (int i = 0; i < 4; i++) {
            V2 p = {x + (i + 0.5f) / 4.0f, y + (j + 0.5f) / 4.0f};
            if (shape(p) < 0) inside++;
        }
    }
    return inside / 16.0f;
}

static void blend_over(float* p, Color straight, float coverage) {
    float a = straight.a * coverage;
    p[0] = straight.r * a + p[0] * (1 - a);
    p[1] = straight.g * a + p[1] * (1 - a);
    p[2] = straight.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

void canvas_fill(Canvas& c, const Sdf& shape, Color color) {
    for (int y = 0; y < c.height; y++) {
        for (int x = 0; x < c.width; x++) {
            float cov = sdf_coverage(shape, x, y);
            if (cov > 0) blend_over(&c.px[((size_t)y * c.width + x) * 4], color, cov);
        }
    }
}

void canvas_fill_shaded(Canvas& c, const Sdf& shape, const std::function<Color(V2)>& shade) {
    for (int y = 0; y < c.height; y++) {
        for (int x = 0; x < c.width; x++) {
            float cov = sdf_coverage(shape, x, y);
            if (cov > 0) {
                Color col = shade({x + 0.5f, y + 0.5f});
                blend_over(&c.px[((size_t)y * c.width + x) * 4], col, cov);
            }
        }
    }
}

void canvas_erase(Canvas& c, const Sdf& shape) {
    for (int y = 0; y < c.height; y++) {
        for (int x = 0; x < c.width; x++) {
            float cov = sdf_coverage(shape, x, y);
            if (cov <= 0) continue;
            float* p = &c.px[((size_t)y * c.width + x) * 4];
            for (int k = 0; k < 4; k++) p[k] *= 1 - cov;
        }
    }
}

void canvas_blit(Canvas& dst, const Canvas& src, int ox, int oy, Color tint) {
    for (int y = 0; y < src.height; y++) {
        for (int x = 0; x < src.width; x++) {
            int dx = ox + x, dy = oy + y;
            if (dx < 0 || dy < 0 || dx >= dst.width || dy >= dst.height) continue;
            Color s = canvas_get(src, x, y);
            // Tinting a premultiplied color: rgb by tint rgb and alpha by tint
            // alpha, as the editor's shaders multiply texture and vertex color.
            s = {s.r * tint.r * tint.a, s.g * tint.g * tint.a, s.b * tint.b * tint.a, s.a * tint.a};
            float* p = &dst.px[((size_t)dy * dst.width + dx) * 4];
            p[0] = s.r + p[0] * (1 - s.a);
            p[1] = s.g + p[1] * (1 - s.a);
            p[2] = s.b + p[2] * (1 - s.a);
            p[3] = s.a + p[3] * (1 - s.a);
        }
    }
}

Canvas canvas_resize(const Canvas& src, int width, int height) {
    Canvas out = canvas_make(width, height);
    float sx = (float)src.width / width, sy = (float)src.height / height;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            float x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
            float acc[4] = {0, 0, 0, 0}, area = 0;
            for (int j = (int)std::floor(y0); j < (int)std::ceil(y1); j++) {
                float wy = std::min(y1, (float)j + 1) - std::max(y0, (float)j);
                for (int i = (int)std::floor(x0); i < (int)std::ceil(x1); i++) {
                    float wx = std::min(x1, (float)i + 1) - std::max(x0, (float)i);
                    Color s = canvas_get(src, std::min(i, src.width - 1), std::min(j, src.height - 1));
                    float w = wx * wy;
                    acc[0] += s.r * w;
                    acc[1] += s.g * w;
                    acc[2] += s.b * w;
                    acc[3] += s.a * w;
                    area += w;
                }
            }
            canvas_set(out, x, y, {acc[0] / area, acc[1] / area, acc[2] / area, acc[3] / area});
        }
    }
    return out;
}

static uint8_t to_byte(float v) {
    v = std::clamp(v, 0.0f, 1.0f);
    return (uint8_t)std::lround(v * 255.0f);
}

bool canvas_write_png(const Canvas& c, const std::string& path) {
    size_t n = (size_t)c.width * c.height;
    std::vector<float> straight(n * 4);
    std::vector<uint8_t> known(n);
    for (size_t i = 0; i < n; i++) {
        float a = c.px[i * 4 + 3];
        if (a > 0.0001f) {
            for (int k = 0; k < 3; k++) straight[i * 4 + k] = std::min(1.0f, c.px[i * 4 + k] / a);
            known[i] = 1;
        }
        straight[i * 4 + 3] = a;
    }
    // Bleed colors outwards into the transparent area, one ring per pass.
    bool any_known = std::any_of(known.begin(), known.end(), [](uint8_t k) { return k != 0; });
    for (int pass = 0; any_known && pass < std::max(c.width, c.height); pass++) {
        std::vector<uint8_t> next = known;
        bool changed = false;
        for (int y = 0; y < c.height; y++) {
            for (int x = 0; x < c.width; x++) {
                size_t i = (size_t)y * c.width + x;
                if (known[i]) continue;
                float acc[3] = {0, 0, 0};
                int count = 0;
                for (int dy = -1; dy <= 1; dy++) {
                    for (int dx = -1; dx <= 1; dx++) {
                        int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= c.width || ny >= c.height) continue;
                        size_t j = (size_t)ny * c.width + nx;
                        if (!known[j]) continue;
                        for (int k = 0; k < 3; k++) acc[k] += straight[j * 4 + k];
                        count++;
                    }
                }
                if (count) {
                    for (int k = 0; k < 3; k++) straight[i * 4 + k] = acc[k] / count;
                    next[i] = 1;
                    changed = true;
                }
            }
        }
        known.swap(next);
        if (!changed) break;
    }
    std::vector<uint8_t> bytes(n * 4);
    for (size_t i = 0; i < n * 4; i++) bytes[i] = to_byte(straight[i]);
    if (!any_known) std::fill(bytes.begin(), bytes.end(), 0);
    if (!stbi_write_png(path.c_str(), c.width, c.height, 4, bytes.data(), c.width * 4)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool canvas_read_png(Canvas* out, const std::string& path) {
    int w, h, n;
    uint8_t* data = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!data) return false;
    *out = canvas_make(w, h);
    for (int i = 0; i < w * h; i++) {
        float a = data[i * 4 + 3] / 255.0f;
        for (int k = 0; k < 3; k++) out->px[i * 4 + k] = data[i * 4 + k] / 255.0f * a;
        out->px[i * 4 + 3] = a;
    }
    stbi_image_free(data);
    return true;
}

// ---------------------------------------------------------------------------
// Shapes

Sdf sd_circle(V2 c, float r) {
    return [=](V2 p) { return length(p - c) - r; };
}

Sdf sd_box(V2 c, V2 h, float r) {
    return [=](V2 p) {
        V2 d = {std::fabs(p.x - c.x) - h.x + r, std::fabs(p.y - c.y) - h.y + r};
        V2 outside = {std::max(d.x, 0.0f), std::max(d.y, 0.0f)};
        return length(outside) + std::min(std::max(d.x, d.y), 0.0f) - r;
    };
}

static float segment_distance(V2 p, V2 a, V2 b) {
    V2 pa = p - a, ba = b - a;
    float len2 = dot(ba, ba);
    float t = len2 > 0 ? std::clamp(dot(pa, ba) / len2, 0.0f, 1.0f) : 0.0f;
    return length(pa - ba * t);
}

Sdf sd_capsule(V2 a, V2 b, float r) {
    return [=](V2 p) { return segment_distance(p, a, b) - r; };
}

Sdf sd_polygon(std::vector<V2> v) {
    return [v](V2 p) {
        float d = dot(p - v[0], p - v[0]);
        float s = 1.0f;
        size_t n = v.size();
        for (size_t i = 0, j = n - 1; i < n; j = i, i++) {
            V2 e = v[j] - v[i];
            V2 w = p - v[i];
            float t = std::clamp(dot(w, e) / dot(e, e), 0.0f, 1.0f);
            V2 b = w - e * t;
            d = std::min(d, dot(b, b));
            bool c1 = p.y >= v[i].y, c2 = p.y < v[j].y, c3 = e.x * w.y > e.y * w.x;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
        }
        return s * std::sqrt(d);
    };
}

Sdf sd_ellipse(V2 c, V2 r) {
    return [=](V2 p) {
        V2 q = {(p.x - c.x) / r.x, (p.y - c.y) / r.y};
        float k = length(q);
        // First-order distance estimate: value over gradient length.
        V2 g = {q.x / (r.x * std::max(k, 1e-6f)), q.y / (r.y * std::max(k, 1e-6f))};
        return (k - 1.0f) / std::max(length(g), 1e-6f);
    };
}

Sdf sd_arc(V2 c, float radius, float from, float to, float thickness) {
    float a0 = from * 3.14159265358979f / 180.0f, a1 = to * 3.14159265358979f / 180.0f;
    return [=](V2 p) {
        V2 d = p - c;
        float angle = std::atan2(-d.y, d.x);  // screen y is down
        float span = a1 - a0;
        float rel = std::fmod(angle - a0, 2 * 3.14159265358979f);
        if (rel < 0) rel += 2 * 3.14159265358979f;
        if (rel <= span) return std::fabs(length(d) - radius) - thickness / 2;
        V2 e0 = c + V2{std::cos(a0), -std::sin(a0)} * radius;
        V2 e1 = c + V2{std::cos(a1), -std::sin(a1)} * radius;
        return std::min(length(p - e0), length(p - e1)) - thickness / 2;
    };
}

Sdf sd_stroke(Sdf s, float w) {
    return [=](V2 p) { return std::fabs(s(p)) - w / 2; };
}
Sdf sd_union(Sdf a, Sdf b) {
    return [=](V2 p) { return std::min(a(p), b(p)); };
}
Sdf sd_intersect(Sdf a, Sdf b) {
    return [=](V2 p) { return std::max(a(p), b(p)); };
}
Sdf sd_subtract(Sdf a, Sdf b) {
    return [=](V2 p) { return std::max(a(p), -b(p)); };
}
Sdf sd_offset(Sdf a, float amount) {
    return [=](V2 p) { return a(p) - amount; };
}

Sdf sd_bezier(V2 p0, V2 p1, V2 p2, float radius, int segments) {
    std::vector<V2> pts;
    for (int i = 0; i <= segments; i++) {
        float t = (float)i / segments, u = 1 - t;
        pts.push_back(p0 * (u * u) + p1 * (2 * u * t) + p2 * (t * t));
    }
    return [pts, radius](V2 p) {
        float d = 1e9f;
        for (size_t i = 0; i + 1 < pts.size(); i++) d = std::min(d, segment_distance(p, pts[i], pts[i + 1]));
        return d - radius;
    };
}

Sdf sd_arrow_head(V2 tip, V2 dir, float len, float half_width) {
    float l = length(dir);
    V2 d = dir * (1.0f / l);
    V2 n = {-d.y, d.x};
    V2 base = tip - d * len;
    return sd_polygon({tip, base + n * half_width, base - n * half_width});
}

// ---------------------------------------------------------------------------
// Text files

void append_number(std::string& out, double value, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    out += s;
}

bool write_text_file(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

bool make_directories(const std::string& path) {
    std::string partial;
    for (size_t i = 0; i <= path.size(); i++) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
        if (i < path.size()) partial += path[i];
    }
    return true;
}
