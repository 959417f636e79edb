// Interface quads: building, drawing one at once, clipping with uv
// correction. Relies on the batch (render/draw) and bind_diffuse_texture.
#include "ui/quad.h"

#include "app/editor.h"
#include "render/draw.h"
#include "render/shader.h"

void quad_append(float x, float y, float width, float height, float origin_x, float origin_y, Vec4 uv) {
    if (!batch_reserve(4, 6)) return;
    // The corners T(x, y) · Rz(0) · T(-origin) · S(width, height) would give:
    // with the rotation fixed at 0 every product is exact, so the sums below
    // round the same way as the matrix route, without building matrices for
    // each of the thousands of rectangles a frame draws.
    float left = x - origin_x, bottom = y - origin_y;
    float right = left + width, top = bottom + height;
    DrawState& draw = editor.render.draw;
    Vec4 c = draw.color;
    uint32_t n = (uint32_t)draw.vertices.count;
    MeshVertex* v = draw.vertices.data + n;
    v[0] = MeshVertex{Vec3{left, bottom, 0}, c, Vec2{uv.x, uv.y}};
    v[1] = MeshVertex{Vec3{right, bottom, 0}, c, Vec2{uv.x + uv.z, uv.y}};
    v[2] = MeshVertex{Vec3{right, top, 0}, c, Vec2{uv.x + uv.z, uv.y + uv.w}};
    v[3] = MeshVertex{Vec3{left, top, 0}, c, Vec2{uv.x, uv.y + uv.w}};
    draw.vertices.count += 4;
    batch_put_indices(n, QUAD_CORNERS);
}

void quad_draw(uint32_t texture, Vec4 color, float x, float y, float width, float height, float origin_x,
               float origin_y) {
    bind_diffuse_texture(texture);
    editor.render.draw.color = color_to_linear(color, editor.gamma_value);
    batch_begin();
    quad_append(x, y, width, height, origin_x, origin_y, Vec4{0, 0, 1, 1});
    if (editor.render.draw.indices.count > 0) batch_flush();
}

// One axis of clip_rect_uv: position p and size s against [c, c + cs).
// Returns the uv offset and writes the uv scale. A rectangle that overhangs
// both ends (a selection band wider than a scrolled text field) is cut at
// both, so nothing of it shows outside the clip rectangle.
static float clip_axis(float* p, float* s, float c, float cs, float* scale) {
    float full = *s;
    float offset = 0;
    *scale = 1;
    if (*p < c) {
        float cut = c - *p;
        *p = c;
        *s -= cut;
        offset = cut / full;
        *scale = 1 - offset;
    }
    if (*p + *s > c + cs) {
        float excess = *p + *s - c - cs;
        *s -= excess;
        *scale -= excess / full;
    }
    return offset;
}

Vec4 clip_rect_uv(Vec4* rect, Vec4 clip) {
    Vec4 result;
    result.x = clip_axis(&rect->x, &rect->z, clip.x, clip.z, &result.z);
    result.y = clip_axis(&rect->y, &rect->w, clip.y, clip.w, &result.w);
    return result;
}

Vec4 clip_uv_apply(Vec4 uv, Vec4 clip_result) {
    return Vec4{uv.x + clip_result.x * uv.z, uv.y + clip_result.y * uv.w, clip_result.z * uv.z, clip_result.w * uv.w};
}

void quad_draw_clipped(uint32_t texture, Vec4 color, float x, float y, float width, float height, Vec4 uv, Vec4 clip) {
    bind_diffuse_texture(texture);
    editor.render.draw.color = color_to_linear(color, editor.gamma_value);
    batch_begin();
    Vec4 rect{x, y, width, height};
    Vec4 correction = clip_rect_uv(&rect, clip);
    if (rect.z > 0 && rect.w > 0) quad_append(rect.x, rect.y, rect.z, rect.w, 0, 0, clip_uv_apply(uv, correction));
    if (editor.render.draw.indices.count > 0) batch_flush();
}
