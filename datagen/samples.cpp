// Sample textures for the bundled resource list (checker, bricks, wood), all
// tileable, and the resource list itself.
#include <cmath>
#include <cstdint>

#include "datagen.h"

namespace {

uint32_t hash2(int x, int y, uint32_t seed) {
    uint32_t h = seed ^ (uint32_t)x * 0x27d4eb2du ^ (uint32_t)y * 0x165667b1u;
    h ^= h >> 15;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

float hash01(int x, int y, uint32_t seed) { return (hash2(x, y, seed) & 0xFFFFFF) / (float)0xFFFFFF; }

// Value noise on a lattice that repeats every `px` cells across and `py`
// cells down, so textures built from it tile.
float noise(float x, float y, int px, int py, uint32_t seed) {
    int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
    float fx = x - x0, fy = y - y0;
    auto at = [&](int i, int j) {
        return hash01(((i % px) + px) % px, ((j % py) + py) % py, seed);
    };
    float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    float a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
    float b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
    return a + (b - a) * sy;
}

Color mix(Color a, Color b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, 1};
}

Canvas checker() {
    Canvas c = canvas_make(256, 256);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            bool light = ((x / 32) + (y / 32)) % 2 == 0;
            float v = light ? 0.86f : 0.32f;
            canvas_set(c, x, y, {v, v, v, 1});
        }
    return c;
}

Canvas bricks() {
    const int size = 256, bw = 64, bh = 32, mortar = 3;
    Canvas c = canvas_make(size, size);
    const Color brick = {0.60f, 0.26f, 0.17f, 1}, mortar_color = {0.74f, 0.71f, 0.66f, 1};
    for (int y = 0; y < size; y++) {
        int row = y / bh;
        for (int x = 0; x < size; x++) {
            int sx = (x + (row % 2) * (bw / 2)) % size;
            int col = sx / bw;
            int lx = sx % bw, ly = y % bh;
            float grain = noise(x / 4.0f, y / 4.0f, size / 4, size / 4, 7) * 0.6f + noise(x / 16.0f, y / 16.0f, size / 16, size / 16, 9) * 0.4f;
            Color out;
            if (lx < mortar || ly < mortar) {
                out = mix(mortar_color, {0.55f, 0.53f, 0.5f, 1}, grain * 0.5f);
            } else {
                float tone = hash01(col, row, 3) - 0.5f;
                Color base = {brick.r + tone * 0.16f, brick.g + tone * 0.08f, brick.b + tone * 0.05f, 1};
                out = mix(base, {0.35f, 0.15f, 0.1f, 1}, grain * 0.45f);
                // Edges of each brick catch less light.
                int edge = std::min(std::min(lx - mortar, bw - 1 - lx), std::min(ly - mortar, bh - 1 - ly));
                if (edge < 2) out = mix(out, {0.2f, 0.1f, 0.07f, 1}, 0.25f * (2 - edge) / 2.0f);
            }
            canvas_set(c, x, y, out);
        }
    }
    return c;
}

Canvas wood() {
    const int size = 256;
    Canvas c = canvas_make(size, size);
    const Color light = {0.78f, 0.58f, 0.36f, 1}, dark = {0.50f, 0.31f, 0.17f, 1};
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            // Grain runs along x; rings wobble with low-frequency noise.
            float wobble = noise(x / 64.0f, y / 32.0f, size / 64, size / 32, 11) * 1.6f +
                           noise(x / 16.0f, y / 8.0f, size / 16, size / 8, 12) * 0.25f;
            float rings = std::sin((y / (float)size * 10.0f + wobble) * 2 * 3.14159265f) * 0.5f + 0.5f;
            float fibre = noise(x / 32.0f, y / 2.0f, size / 32, size / 2, 13);
            float t = std::pow(rings, 3.0f) * 0.75f + fibre * 0.25f;
            canvas_set(c, x, y, mix(light, dark, t));
        }
    return c;
}

}  // namespace

bool samples_generate(const std::string& data_dir) {
    if (!make_directories(data_dir + "/samples")) return false;
    bool ok = true;
    ok = canvas_write_png(checker(), data_dir + "/samples/checker.png") && ok;
    ok = canvas_write_png(bricks(), data_dir + "/samples/bricks.png") && ok;
    ok = canvas_write_png(wood(), data_dir + "/samples/wood.png") && ok;
    // Textures come first: the meshes' materials look their maps up by name
    // while they are imported.
    std::string list =
        "texture checker 0 0 5 1 samples/checker.png\n"
        "texture bricks 0 0 5 1 samples/bricks.png\n"
        "texture wood 0 0 5 1 samples/wood.png\n"
        "font serif samples/serif_info.txt\n"
        "mesh table samples/table.obj\n"
        "mesh house samples/house.obj\n";
    ok = write_text_file(data_dir + "/resources.txt", list) && ok;
    return ok;
}
