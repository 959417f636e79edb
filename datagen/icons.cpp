// The interface icons: white and light-gray shapes on transparency, 64x64,
// which the editor tints with theme colors; plus the gradients, the color
// picker strips, the white texture and the colored window icon.
#include <cmath>
#include <cstdio>

#include "datagen.h"

namespace {

const int N = 64;
const Color W = {1, 1, 1, 1};
const Color LIGHT = {0.80f, 0.80f, 0.80f, 1};
const Color MID = {0.62f, 0.62f, 0.62f, 1};

// A polygon whose convex corners are rounded with the given radius: its
// edges are moved inwards by the radius, then the distance field is grown
// back by the same amount.
Sdf soft_polygon(std::vector<V2> points, float radius) {
    size_t n = points.size();
    float area = 0;
    for (size_t i = 0; i < n; i++) {
        V2 a = points[i], b = points[(i + 1) % n];
        area += a.x * b.y - b.x * a.y;
    }
    float side = area > 0 ? 1.0f : -1.0f;
    std::vector<V2> inset;
    for (size_t i = 0; i < n; i++) {
        V2 prev = points[(i + n - 1) % n], cur = points[i], next = points[(i + 1) % n];
        V2 e0 = cur - prev, e1 = next - cur;
        e0 = e0 * (1.0f / length(e0));
        e1 = e1 * (1.0f / length(e1));
        // Inward normals of both edges; their miter point lies on both
        // moved edges.
        V2 n0 = V2{-e0.y, e0.x} * side, n1 = V2{-e1.y, e1.x} * side;
        V2 bis = n0 + n1;
        float cos_half = dot(bis * (1.0f / length(bis)), n0);
        inset.push_back(cur + bis * (radius / (length(bis) * cos_half)));
    }
    return sd_offset(sd_polygon(inset), radius);
}

Sdf star_shape(V2 c, float outer, float inner) {
    std::vector<V2> pts;
    for (int i = 0; i < 10; i++) {
        float r = (i % 2 == 0) ? outer : inner;
        V2 d = rotate({0, -r}, i * 36.0f);
        pts.push_back(c + d);
    }
    return sd_polygon(pts);
}

Canvas blank() { return canvas_make(N, N); }

// ---------------------------------------------------------------------------
// Icons, in the order the editor loads them.

Canvas icon_white() { return canvas_make(4, 4, W); }

// Vertical gradient, `top` at the first row, `bottom` at the last.
Canvas gradient(Color top, Color bottom, int w = 4, int h = 64) {
    Canvas c = canvas_make(w, h);
    for (int y = 0; y < h; y++) {
        float t = (y + 0.5f) / h;
        Color col = {top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
                     top.b + (bottom.b - top.b) * t, top.a + (bottom.a - top.a) * t};
        for (int x = 0; x < w; x++) canvas_set(c, x, y, {col.r * col.a, col.g * col.a, col.b * col.a, col.a});
    }
    return c;
}

Canvas icon_maximize() {  // a triangle pointing right: expand / collapsed group
    Canvas c = blank();
    canvas_fill(c, soft_polygon({{20, 9}, {50, 32}, {20, 55}}, 2.5f), W);
    return c;
}

Canvas icon_minimize() {  // a triangle pointing down: collapse / expanded group
    Canvas c = blank();
    canvas_fill(c, soft_polygon({{9, 20}, {55, 20}, {32, 50}}, 2.5f), W);
    return c;
}

Canvas icon_close() {
    Canvas c = blank();
    canvas_fill(c, sd_union(sd_capsule({15, 15}, {49, 49}, 5), sd_capsule({49, 15}, {15, 49}, 5)), W);
    return c;
}

Canvas icon_star3d() {  // a bevelled star: facets alternate light and shade
    Canvas c = blank();
    V2 centre = {32, 34};
    float outer = 30, inner = 12.5f;
    std::vector<V2> pts;
    for (int i = 0; i < 10; i++) pts.push_back(centre + rotate({0, -((i % 2 == 0) ? outer : inner)}, i * 36.0f));
    for (int i = 0; i < 10; i++) {
        V2 a = pts[i], b = pts[(i + 1) % 10];
        // Facets on the lit side (upper left) are brighter.
        V2 mid = (a + b) * 0.5f - centre;
        float lit = dot(mid * (1.0f / length(mid)), V2{-0.6f, -0.8f});
        bool even = i % 2 == 0;
        float level = even ? 1.0f : 0.68f;
        level = std::min(1.0f, level + 0.12f * lit);
        canvas_fill(c, sd_polygon({centre, a, b}), {level, level, level, 1});
    }
    return c;
}

Canvas icon_eye() {
    Canvas c = blank();
    float R = 33.63f, d = 18.63f;
    Sdf lens = sd_intersect(sd_circle({32, 32 + d}, R), sd_circle({32, 32 - d}, R));
    canvas_fill(c, sd_stroke(sd_offset(lens, -2.5f), 5), W);
    canvas_fill(c, sd_circle({32, 32}, 10), W);
    canvas_erase(c, sd_circle({28.5f, 28.5f}, 3.2f));
    return c;
}

Canvas icon_check() {
    Canvas c = blank();
    Sdf mark = sd_union(sd_capsule({11, 34}, {26, 49}, 5), sd_capsule({26, 49}, {53, 16}, 5));
    canvas_fill(c, mark, W);
    return c;
}

Canvas icon_square() {  // a quad: a square split into its two triangles
    Canvas c = blank();
    Sdf sq = sd_box({32, 32}, {23, 23}, 3);
    canvas_fill(c, sq, W);
    canvas_fill(c, sd_intersect(sq, sd_polygon({{55, 9}, {55, 55}, {9, 55}})), LIGHT);
    canvas_erase(c, sd_capsule({55, 9}, {9, 55}, 1.3f));
    return c;
}

void draw_cube(Canvas& c, Color top, Color left, Color right) {
    V2 t = {32, 5}, ul = {8, 18}, ur = {56, 18}, m = {32, 31}, ll = {8, 45}, lr = {56, 45}, b = {32, 59};
    canvas_fill(c, sd_polygon({t, ur, m, ul}), top);
    canvas_fill(c, sd_polygon({ul, m, b, ll}), left);
    canvas_fill(c, sd_polygon({m, ur, lr, b}), right);
    // Thin gaps along the three inner edges keep the faces apart when small.
    canvas_erase(c, sd_union(sd_capsule(ul, m, 0.9f), sd_union(sd_capsule(m, ur, 0.9f), sd_capsule(m, b, 0.9f))));
}

Canvas icon_cube() {
    Canvas c = blank();
    draw_cube(c, W, {0.78f, 0.78f, 0.78f, 1}, {0.56f, 0.56f, 0.56f, 1});
    return c;
}

Canvas icon_text() {  // a capital T with serifs
    Canvas c = blank();
    Sdf t = sd_union(sd_box({32, 12}, {22, 5}, 1.5f), sd_box({32, 32}, {5.5f, 24}, 1));
    t = sd_union(t, sd_box({32, 53}, {11, 3.5f}, 1.5f));
    t = sd_union(t, sd_box({11.5f, 15}, {3, 8}, 1.5f));
    t = sd_union(t, sd_box({52.5f, 15}, {3, 8}, 1.5f));
    canvas_fill(c, t, W);
    return c;
}

Canvas icon_question() {
    Canvas c = blank();
    V2 centre = {32, 21};
    float r = 12.5f;
    Sdf hook = sd_arc(centre, r, -60, 190, 8);
    V2 end = centre + V2{std::cos(-60 * 3.14159265f / 180), -std::sin(-60 * 3.14159265f / 180)} * r;
    Sdf stem = sd_union(sd_capsule(end, {32, 38}, 4), sd_capsule({32, 38}, {32, 42}, 4));
    canvas_fill(c, sd_union(hook, stem), W);
    canvas_fill(c, sd_circle({32, 54}, 5), W);
    return c;
}

Canvas icon_path_arrow() {  // a curved path with a start point and an arrow head
    Canvas c = blank();
    V2 p0 = {11, 53}, p1 = {16, 12}, p2 = {47, 17};
    canvas_fill(c, sd_bezier(p0, p1, p2, 3.5f), W);
    V2 dir = p2 - p1;
    V2 tip = p2 + dir * (9.0f / length(dir));
    canvas_erase(c, sd_circle(p2, 3.6f));
    canvas_fill(c, soft_polygon({tip, tip - rotate(dir * (17.0f / length(dir)), 28), tip - rotate(dir * (17.0f / length(dir)), -28)}, 1.5f), W);
    canvas_fill(c, sd_circle(p0, 6.5f), W);
    return c;
}

Sdf page_shape() { return soft_polygon({{13, 5}, {38, 5}, {51, 18}, {51, 59}, {13, 59}}, 2); }

Canvas icon_new() {  // a page with a folded corner and a plus
    Canvas c = blank();
    canvas_fill(c, page_shape(), W);
    canvas_erase(c, sd_capsule({37, 6}, {50, 19}, 2.4f));
    canvas_fill(c, soft_polygon({{36.5f, 5}, {51, 19.5f}, {36.5f, 19.5f}}, 1.2f), MID);
    canvas_erase(c, sd_union(sd_capsule({23, 40}, {41, 40}, 3.4f), sd_capsule({32, 31}, {32, 49}, 3.4f)));
    return c;
}

Canvas icon_open() {  // an open folder
    Canvas c = blank();
    Sdf back = sd_union(sd_box({29, 35}, {23, 17}, 3), sd_box({17, 16}, {11, 5}, 2.5f));
    canvas_fill(c, back, LIGHT);
    std::vector<V2> front = {{17, 27}, {61, 27}, {51, 54}, {5, 54}};
    canvas_erase(c, sd_offset(sd_polygon(front), 2.8f));
    canvas_fill(c, soft_polygon(front, 1.5f), W);
    return c;
}

Canvas icon_save() {  // a floppy disk
    Canvas c = blank();
    canvas_fill(c, soft_polygon({{7, 7}, {47, 7}, {57, 17}, {57, 57}, {7, 57}}, 3), W);
    canvas_erase(c, sd_box({28, 18}, {12, 7}, 1.5f));
    canvas_fill(c, sd_box({34, 18}, {3, 4.5f}, 1), W);
    canvas_erase(c, sd_circle({32, 42}, 8));
    return c;
}

Canvas icon_light() {  // a light bulb
    Canvas c = blank();
    Sdf bulb = sd_union(sd_circle({32, 24}, 17), sd_polygon({{20, 34}, {44, 34}, {40, 45}, {24, 45}}));
    canvas_fill(c, bulb, W);
    canvas_fill(c, sd_box({32, 50}, {8, 2.2f}, 1.5f), LIGHT);
    canvas_fill(c, sd_box({32, 56}, {6, 2.2f}, 1.5f), LIGHT);
    canvas_erase(c, sd_arc({32, 24}, 10, 100, 170, 3));
    return c;
}

Canvas icon_lightning() {
    Canvas c = blank();
    canvas_fill(c, soft_polygon({{38, 3}, {13, 36}, {29, 36}, {22, 61}, {51, 25}, {35, 25}, {44, 3}}, 1), W);
    return c;
}

Canvas icon_star() {  // the export star: flat, five points
    Canvas c = blank();
    canvas_fill(c, sd_offset(star_shape({32, 34}, 28.5f, 11.5f), 1.5f), W);
    return c;
}

Canvas icon_add_point() {  // a path point with its two Bezier handles
    Canvas c = blank();
    canvas_fill(c, sd_bezier({4, 60}, {32, 0}, {60, 60}, 3.2f), MID);
    canvas_erase(c, sd_box({32, 30}, {15, 12}, 0));
    canvas_fill(c, sd_capsule({10, 30}, {54, 30}, 2.6f), W);
    canvas_fill(c, sd_circle({9, 30}, 7), W);
    canvas_fill(c, sd_circle({55, 30}, 7), W);
    Sdf diamond = sd_polygon({{32, 17}, {45, 30}, {32, 43}, {19, 30}});
    canvas_erase(c, sd_offset(diamond, 3));
    canvas_fill(c, diamond, W);
    return c;
}

Canvas icon_place_object() {  // an arrow coming down onto the placement plane
    Canvas c = blank();
    canvas_fill(c, soft_polygon({{4, 49}, {32, 38}, {60, 49}, {32, 60}}, 1.5f), LIGHT);
    Sdf head = sd_polygon({{32, 47}, {20, 31}, {44, 31}});
    Sdf arrow = sd_union(sd_capsule({32, 5}, {32, 34}, 4.5f), head);
    canvas_erase(c, sd_offset(arrow, 3));
    canvas_fill(c, arrow, W);
    return c;
}

Canvas icon_select_object() {  // a mouse pointer
    Canvas c = blank();
    std::vector<V2> p = {{0, 0}, {0, 17}, {4, 13}, {7, 20}, {10, 19}, {7, 12}, {12, 12}};
    for (V2& q : p) q = q * 2.65f + V2{17, 5};
    canvas_fill(c, soft_polygon(p, 1), W);
    return c;
}

void two_objects(Canvas& c) {
    canvas_fill(c, sd_stroke(sd_box({16, 16}, {11, 11}, 2.5f), 5), LIGHT);
    canvas_fill(c, sd_stroke(sd_box({48, 48}, {11, 11}, 2.5f), 5), LIGHT);
}

Canvas icon_center_pivot() {  // one pivot between two objects
    Canvas c = blank();
    two_objects(c);
    Sdf target = sd_union(sd_circle({32, 32}, 8), sd_union(sd_capsule({17, 32}, {47, 32}, 2.6f),
                                                           sd_capsule({32, 17}, {32, 47}, 2.6f)));
    canvas_erase(c, sd_offset(target, 3));
    canvas_fill(c, target, W);
    return c;
}

Canvas icon_object_pivot() {  // a pivot at the centre of each object
    Canvas c = blank();
    two_objects(c);
    canvas_fill(c, sd_circle({16, 16}, 5.5f), W);
    canvas_fill(c, sd_circle({48, 48}, 5.5f), W);
    return c;
}

Canvas icon_translate() {  // four-way arrow
    Canvas c = blank();
    Sdf s = sd_union(sd_capsule({14, 32}, {50, 32}, 3.5f), sd_capsule({32, 14}, {32, 50}, 3.5f));
    s = sd_union(s, sd_arrow_head({3, 32}, {-1, 0}, 13, 10));
    s = sd_union(s, sd_arrow_head({61, 32}, {1, 0}, 13, 10));
    s = sd_union(s, sd_arrow_head({32, 3}, {0, -1}, 13, 10));
    s = sd_union(s, sd_arrow_head({32, 61}, {0, 1}, 13, 10));
    canvas_fill(c, s, W);
    return c;
}

Canvas icon_rotate() {  // a circular arrow turning clockwise
    Canvas c = blank();
    V2 centre = {32, 33};
    float r = 21;
    canvas_fill(c, sd_arc(centre, r, 60, 320, 7), W);
    float a = 60 * 3.14159265f / 180;
    V2 end = centre + V2{std::cos(a), -std::sin(a)} * r;
    V2 dir = {std::sin(a), std::cos(a)};  // clockwise tangent on screen
    canvas_fill(c, soft_polygon({end + dir * 10.0f, end - dir * 5.0f + V2{-dir.y, dir.x} * 12.0f,
                                 end - dir * 5.0f - V2{-dir.y, dir.x} * 12.0f},
                                1.2f),
                W);
    return c;
}

Canvas icon_scale() {  // a small box growing into a large one
    Canvas c = blank();
    canvas_fill(c, sd_stroke(sd_box({32, 32}, {25, 25}, 2), 3.5f), LIGHT);
    canvas_erase(c, sd_box({18, 46}, {14, 14}, 0));
    canvas_fill(c, sd_box({17, 47}, {10, 10}, 2), W);
    Sdf arrow = sd_union(sd_capsule({27, 37}, {46, 18}, 3.5f), sd_arrow_head({53, 11}, {1, -1}, 16, 9));
    canvas_erase(c, sd_offset(arrow, 2.5f));
    canvas_fill(c, arrow, W);
    return c;
}

Canvas icon_gizmo_rectangle() {  // a rectangle with its four corner handles
    Canvas c = blank();
    canvas_fill(c, sd_stroke(sd_box({32, 32}, {22, 17}, 0), 3), LIGHT);
    V2 corners[4] = {{10, 15}, {54, 15}, {10, 49}, {54, 49}};
    for (V2 k : corners) {
        canvas_erase(c, sd_box(k, {9, 9}, 1));
        canvas_fill(c, sd_box(k, {6.5f, 6.5f}, 1.2f), W);
    }
    return c;
}

Canvas icon_sphere() {  // a shaded ball lit from the upper left
    Canvas c = blank();
    V2 centre = {32, 32};
    float r = 27;
    canvas_fill_shaded(c, sd_circle(centre, r), [=](V2 p) {
        V2 d = (p - centre) * (1.0f / r);
        float z2 = 1 - d.x * d.x - d.y * d.y;
        float z = z2 > 0 ? std::sqrt(z2) : 0;
        float lx = -0.45f, ly = -0.55f, lz = 0.70f;
        float lambert = std::max(0.0f, d.x * lx + d.y * ly + z * lz);
        float level = 0.42f + 0.58f * lambert;
        float highlight = std::pow(std::max(0.0f, lambert), 24.0f) * 0.25f;
        level = std::min(1.0f, level + highlight);
        return Color{level, level, level, 1};
    });
    return c;
}

Canvas icon_cone() {
    Canvas c = blank();
    Sdf cone = sd_union(sd_polygon({{32, 4}, {9, 48}, {55, 48}}), sd_ellipse({32, 48}, {23, 9}));
    canvas_fill_shaded(c, cone, [](V2 p) {
        float t = std::clamp((p.x - 9) / 46.0f, 0.0f, 1.0f);
        float level = 1.0f - 0.55f * t * t - 0.05f * t;
        return Color{level, level, level, 1};
    });
    return c;
}

Canvas icon_settings() {  // a gear
    Canvas c = blank();
    Sdf gear = sd_circle({32, 32}, 19);
    for (int i = 0; i < 8; i++) {
        float a = i * 45.0f;
        V2 offset = rotate({0, -23}, a);
        V2 centre = V2{32, 32} + offset;
        Sdf tooth = sd_box({0, 0}, {5.5f, 6}, 1.5f);
        gear = sd_union(gear, [=](V2 p) { return tooth(rotate(p - centre, -a)); });
    }
    canvas_fill(c, sd_subtract(gear, sd_circle({32, 32}, 8.5f)), W);
    return c;
}

Canvas icon_circle() {
    Canvas c = blank();
    canvas_fill(c, sd_circle({32, 32}, 30), W);
    return c;
}

// The hue strip: hue 0 at the bottom row rising to hue 1 at the top, equal
// across the width. Images are loaded flipped, so texture v equals the hue.
Canvas picker_hue() {
    int w = 8, h = 256;
    Canvas c = canvas_make(w, h);
    for (int y = 0; y < h; y++) {
        float hue = 1.0f - (y + 0.5f) / h;
        float t = std::fmod(hue * 6.0f, 6.0f);
        float x = 1.0f - std::fabs(std::fmod(t, 2.0f) - 1.0f);
        Color col;
        if (t < 1) col = {1, x, 0, 1};
        else if (t < 2) col = {x, 1, 0, 1};
        else if (t < 3) col = {0, 1, x, 1};
        else if (t < 4) col = {0, x, 1, 1};
        else if (t < 5) col = {x, 0, 1, 1};
        else col = {1, 0, x, 1};
        for (int i = 0; i < w; i++) canvas_set(c, i, y, col);
    }
    return c;
}

// The alpha strip: a checkerboard at the bottom (transparent) fading into
// solid white at the top (opaque); alpha = texture v.
Canvas picker_alpha() {
    int w = 16, h = 256, cell = 8;
    Canvas c = canvas_make(w, h);
    for (int y = 0; y < h; y++) {
        float alpha = 1.0f - (y + 0.5f) / h;
        for (int x = 0; x < w; x++) {
            bool dark = ((x / cell) + (y / cell)) % 2 == 0;
            float check = dark ? 0.45f : 0.8f;
            float v = check + (1.0f - check) * alpha;
            canvas_set(c, x, y, {v, v, v, 1});
        }
    }
    return c;
}

Canvas window_icon() {
    Canvas c = blank();
    draw_cube(c, {0.62f, 0.96f, 0.50f, 1}, {0.25f, 0.72f, 0.22f, 1}, {0.12f, 0.48f, 0.14f, 1});
    return c;
}

struct IconDef {
    const char* file;
    Canvas (*draw)();
    const char* description;
};

Canvas gradient1() { return gradient({0.40f, 0.42f, 0.52f, 1}, {0.17f, 0.18f, 0.24f, 1}); }
Canvas gradient2() { return gradient({1, 1, 1, 1}, {1, 1, 1, 0}); }
Canvas gradient3() { return gradient({0.85f, 0.85f, 0.85f, 1}, {0.35f, 0.35f, 0.35f, 1}); }

const IconDef ICONS[] = {
    {"textures/white.png", icon_white, "4x4 opaque white (fallback and untextured rectangles)"},
    {"textures/gradient1.png", gradient1, "4x64 opaque vertical gradient, slate blue-grey (0.40, 0.42, 0.52) at the top to (0.17, 0.18, 0.24) at the bottom: panel title bars, dark enough for white title text"},
    {"textures/gradient2.png", gradient2, "4x64 white, opaque at the top fading to transparent at the bottom"},
    {"textures/gradient3.png", gradient3, "4x64 opaque grey gradient, light (0.85) at the top to dark (0.35) at the bottom"},
    {"textures/maximize2.png", icon_maximize, "triangle pointing right (expand; collapsed group)"},
    {"textures/minimize.png", icon_minimize, "triangle pointing down (collapse; expanded group)"},
    {"textures/close.png", icon_close, "a bold X"},
    {"textures/star3d.png", icon_star3d, "five-pointed star with bevelled facets in two shades (group)"},
    {"textures/eye.png", icon_eye, "an eye: almond outline and iris (visibility)"},
    {"textures/check.png", icon_check, "a check mark"},
    {"textures/square.png", icon_square, "a square split along its diagonal into two shades (quad object)"},
    {"textures/cube.png", icon_cube, "isometric cube, three faces in three shades (mesh object)"},
    {"textures/text.png", icon_text, "a capital T with serifs (text object)"},
    {"textures/question.png", icon_question, "a question mark (data object)"},
    {"textures/arrow.png", icon_path_arrow, "a curved path from a round start point ending in an arrow head (path object)"},
    {"textures/new.png", icon_new, "a page with a folded corner and a plus cut out (new scene)"},
    {"textures/open.png", icon_open, "an open folder, back in light grey, front in white (open)"},
    {"textures/save.png", icon_save, "a floppy disk (save)"},
    {"textures/light.png", icon_light, "a light bulb (loaded, not drawn)"},
    {"textures/lightning.png", icon_lightning, "a lightning bolt (loaded, not drawn)"},
    {"textures/star.png", icon_star, "a flat five-pointed star (export)"},
    {"textures/add_point.png", icon_add_point, "a path point (diamond) on a curve with its two round Bezier handles (path mode)"},
    {"textures/place_object.png", icon_place_object, "an arrow coming down onto a plane (placing on)"},
    {"textures/select_object.png", icon_select_object, "a mouse pointer (placing off: select)"},
    {"textures/center_pivot.png", icon_center_pivot, "two square outlines with one pivot cross between them (pivot at the selection's centre)"},
    {"textures/object_pivot.png", icon_object_pivot, "two square outlines, each with a dot at its own centre (pivot per object)"},
    {"textures/translate.png", icon_translate, "a four-way arrow (move; also the panel resize cursor)"},
    {"textures/rotate.png", icon_rotate, "a circular arrow turning clockwise (rotate)"},
    {"textures/scale.png", icon_scale, "a small filled square in the corner of a large outline, with a diagonal arrow outwards (scale)"},
    {"textures/gizmo_rectangle.png", icon_gizmo_rectangle, "a rectangle outline with four square corner handles (rectangle gizmo)"},
    {"textures/sphere.png", icon_sphere, "a shaded ball lit from the upper left (object list panel)"},
    {"textures/cone.png", icon_cone, "a shaded cone (property panel)"},
    {"textures/settings.png", icon_settings, "a gear with eight teeth (scene settings panel)"},
    {"textures/circle.png", icon_circle, "a filled circle, radius 30 of 64 (round marker)"},
    {"textures/hue.png", picker_hue, "8x256 hue strip: hue 0 (red) in the bottom row rising to hue 1 (red) in the top row, full saturation and value, equal across the width; texture v = hue"},
    {"textures/alpha.png", picker_alpha, "16x256 opaque strip: a grey checkerboard of 8-pixel cells at the bottom fading into white at the top; texture v = alpha"},
    {"textures/green_cube.png", window_icon, "the window icon: an isometric cube in three greens (not tinted)"},
};

}  // namespace

bool icons_generate(const std::string& data_dir, std::vector<IconInfo>* out) {
    if (!make_directories(data_dir + "/textures")) return false;
    bool ok = true;
    for (const IconDef& d : ICONS) {
        Canvas c = d.draw();
        ok = canvas_write_png(c, data_dir + "/" + d.file) && ok;
        out->push_back({d.file, d.description});
    }
    return ok;
}

bool icons_contact_sheet(const std::string& data_dir, const std::string& path) {
    // Each cell: the icon at 64 px in white, then at 24 px tinted white and in
    // a theme accent, all on the panel background.
    const Color tints[] = {{1, 1, 1, 1}, {1, 0.8f, 0, 1}, {0, 1, 0.4f, 1}, {0.3f, 0.3f, 1, 1}};
    int count = sizeof ICONS / sizeof ICONS[0];
    int cols = 6, cell_w = 64 + 8 + 4 * 28, cell_h = 64 + 8;
    int rows = (count + cols - 1) / cols;
    Canvas sheet = canvas_make(cols * cell_w + 8, rows * cell_h + 8, {0.05f, 0.05f, 0.06f, 1});
    for (int i = 0; i < count; i++) {
        Canvas icon;
        if (!canvas_read_png(&icon, data_dir + "/" + ICONS[i].file)) return false;
        int x = 8 + (i % cols) * cell_w, y = 8 + (i / cols) * cell_h;
        Canvas big = canvas_resize(icon, 64, 64);
        canvas_blit(sheet, big, x, y);
        Canvas small = canvas_resize(icon, 24, 24);
        for (int t = 0; t < 4; t++) canvas_blit(sheet, small, x + 72 + t * 28, y + 20, tints[t]);
    }
    if (!canvas_write_png(sheet, path)) return false;

    // The same icons at 24 px on the panel color, magnified 3x without
    // smoothing, to judge the pixels the toolbar really shows.
    int zcols = 12, zcell = 28;
    int zrows = (count + zcols - 1) / zcols;
    Canvas small_sheet = canvas_make(zcols * zcell + 4, zrows * zcell + 4, {0.05f, 0.05f, 0.06f, 1});
    for (int i = 0; i < count; i++) {
        Canvas icon;
        if (!canvas_read_png(&icon, data_dir + "/" + ICONS[i].file)) return false;
        canvas_blit(small_sheet, canvas_resize(icon, 24, 24), 4 + (i % zcols) * zcell, 4 + (i / zcols) * zcell);
    }
    Canvas zoom = canvas_make(small_sheet.width * 3, small_sheet.height * 3);
    for (int y = 0; y < zoom.height; y++)
        for (int x = 0; x < zoom.width; x++) canvas_set(zoom, x, y, canvas_get(small_sheet, x / 3, y / 3));
    std::string zoom_path = path.substr(0, path.rfind('.')) + "_24px_x3.png";
    return canvas_write_png(zoom, zoom_path);
}
