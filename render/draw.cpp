// The immediate batch and mesh drawing. The batch's arrays live in the
// persistent pool and keep their memory, so appending costs no allocation
// once they have grown to the largest draw. Relies on the platform's buffer
// and draw calls and on the uniform setters of render/shader.
#include "render/draw.h"

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Set-up

void draw_state_init() {
    DrawState& draw = editor.render.draw;
    draw.vertices = array_make<MeshVertex>(POOL_PERSISTENT);
    draw.indices = array_make<uint32_t>(POOL_PERSISTENT);
    draw.color = Vec4{1, 1, 1, 1};
    draw.overflow_reported = false;
    draw.font = nullptr;
    draw.align = TextAlign{ALIGN_LEFT, ALIGN_BASELINE};
    draw.pixel_snap = 1.0;
    draw.glyph_cache_font = nullptr;
    draw.glyph_cache_slots = nullptr;
    draw.glyph_cache_count = 0;
}

void batch_setup() {
    draw_state_init();
    DrawState& draw = editor.render.draw;
    draw.vertex_array = vertex_array_create();
    draw.vertex_buffer = buffer_create();
    draw.index_buffer = buffer_create();
    vertex_array_bind(draw.vertex_array);
    buffer_bind(0, draw.vertex_buffer);
    attribute_enable(0, true);
    attribute_format(0, 3, 6, false, (int32_t)sizeof(MeshVertex), 0);
    attribute_enable(1, true);
    attribute_format(1, 4, 6, false, (int32_t)sizeof(MeshVertex), 12);
    attribute_enable(2, true);
    attribute_format(2, 2, 6, false, (int32_t)sizeof(MeshVertex), 28);
    buffer_bind(1, draw.index_buffer);
    vertex_array_unbind();
}

void batch_release() {
    DrawState& draw = editor.render.draw;
    if (draw.vertex_buffer) buffer_destroy(draw.vertex_buffer);
    if (draw.index_buffer) buffer_destroy(draw.index_buffer);
    if (draw.vertex_array) vertex_array_destroy(draw.vertex_array);
    draw.vertex_buffer = draw.index_buffer = draw.vertex_array = 0;
}

// ---------------------------------------------------------------------------
// Appending

void batch_begin() {
    DrawState& draw = editor.render.draw;
    draw.vertices.count = 0;
    draw.indices.count = 0;
}

template <typename T>
static bool reserve_more(Array<T>* array, int64_t more) {
    int64_t needed = array->count + more;
    if (needed <= array->capacity) return true;
    int64_t capacity = array->capacity > 0 ? array->capacity : 64;
    while (capacity < needed) capacity *= 2;
    return array_reserve(array, capacity);
}

bool batch_reserve(int64_t vertex_count, int64_t index_count) {
    DrawState& draw = editor.render.draw;
    if (reserve_more(&draw.vertices, vertex_count) && reserve_more(&draw.indices, index_count)) return true;
    if (!draw.overflow_reported) {
        print(S("out of memory: the draw batch cannot grow; geometry is dropped\n"));
        draw.overflow_reported = true;
    }
    return false;
}

static inline Vec4 tint(Vec4 c, Vec4 t) { return Vec4{c.x * t.x, c.y * t.y, c.z * t.z, c.w * t.w}; }

void batch_append_quad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec4 c0, Vec4 c1, Vec4 c2, Vec4 c3, Vec4 uv) {
    if (!batch_reserve(4, 6)) return;
    DrawState& draw = editor.render.draw;
    Vec4 t = draw.color;
    uint32_t n = (uint32_t)draw.vertices.count;
    MeshVertex* v = draw.vertices.data + n;
    v[0] = MeshVertex{p0, tint(c0, t), Vec2{uv.x, uv.y}};
    v[1] = MeshVertex{p1, tint(c1, t), Vec2{uv.x + uv.z, uv.y}};
    v[2] = MeshVertex{p2, tint(c2, t), Vec2{uv.x + uv.z, uv.y + uv.w}};
    v[3] = MeshVertex{p3, tint(c3, t), Vec2{uv.x, uv.y + uv.w}};
    draw.vertices.count += 4;
    batch_put_indices(n, QUAD_CORNERS);
}

void batch_put_indices(uint32_t first, const uint8_t (&order)[6]) {
    DrawState& draw = editor.render.draw;
    uint32_t* indices = draw.indices.data + draw.indices.count;
    for (int k = 0; k < 6; k++) indices[k] = first + order[k];
    draw.indices.count += 6;
}

void batch_append_segment(Vec3 p0, Vec3 p1, Vec3 facing, double width, Vec4 c0, Vec4 c1, Vec4 uv) {
    if (!batch_reserve(4, 6)) return;
    DrawState& draw = editor.render.draw;
    Vec3 side = vec3_scale(vec3_normalize(vec3_cross(facing, vec3_sub(p0, p1))), (float)width);
    Vec4 t = draw.color;
    Vec4 a = tint(c0, t), b = tint(c1, t);
    uint32_t n = (uint32_t)draw.vertices.count;
    MeshVertex* v = draw.vertices.data + n;
    v[0] = MeshVertex{vec3_sub(p0, side), a, Vec2{uv.x, uv.y}};
    v[1] = MeshVertex{vec3_add(p0, side), a, Vec2{uv.x + uv.z, uv.y}};
    v[2] = MeshVertex{vec3_sub(p1, side), b, Vec2{uv.x, uv.y + uv.w}};
    v[3] = MeshVertex{vec3_add(p1, side), b, Vec2{uv.x + uv.z, uv.y + uv.w}};
    draw.vertices.count += 4;
    batch_put_indices(n, RIBBON_CORNERS);
}

// ---------------------------------------------------------------------------
// Flushing

BatchUpload batch_upload_size() {
    const DrawState& draw = editor.render.draw;
    return BatchUpload{draw.vertices.count * (int64_t)sizeof(MeshVertex), draw.indices.count * (int64_t)sizeof(uint32_t),
                       draw.indices.count};
}

void batch_flush() {
    DrawState& draw = editor.render.draw;
    shader_set_float(UNIFORM_GAMMA, (float)editor.gamma_value);
    shader_set_vec4(UNIFORM_DIFFUSE, Vec4{1, 1, 1, 1});
    shader_set_vec4(UNIFORM_UV_RECT, Vec4{0, 0, 1, 1});
    static const Mat4 identity = mat4_identity();
    set_matrices(identity);
    BatchUpload upload = batch_upload_size();
    vertex_array_bind(draw.vertex_array);
    buffer_bind(0, draw.vertex_buffer);
    buffer_data(0, upload.vertex_bytes, draw.vertices.data, 3);
    buffer_bind(1, draw.index_buffer);
    buffer_data(1, upload.index_bytes, draw.indices.data, 3);
    draw_elements(4, 2, 0, upload.index_count);
    // The vertex array stays bound: unbinding it after every flush made the
    // driver revalidate the whole vertex state on the next bind, which cost
    // five times the rest of the frame's CPU time with thousands of flushes.
    // Every draw binds its own vertex array first, and the index buffer is
    // bound again above, so nothing relies on the unbind.
}

// ---------------------------------------------------------------------------
// Meshes

static void mesh_part_draw(const Material& material, uint32_t first_index, uint32_t index_count) {
    texture_unit(0);
    texture_bind(1, material.texture);
    shader_set_float(UNIFORM_GAMMA, (float)editor.gamma_value);
    shader_set_vec4(UNIFORM_DIFFUSE, color_to_linear(material.color, editor.gamma_value));
    shader_set_int(UNIFORM_DIFFUSE_MAP, 0);
    shader_set_vec4(UNIFORM_UV_RECT, material.uv_rect);
    draw_elements(4, 2, first_index, index_count);
}

void mesh_draw(const Mesh* mesh) {
    if (!mesh || !mesh->vertex_array) return;
    vertex_array_bind(mesh->vertex_array);
    // Faces without a material (no library, a missing one, or faces before
    // the first "usemtl") lie outside every range; without this part a good
    // share of real models, scans above all, would never show.
    const Material plain{Vec4{1, 1, 1, 1}, editor.assets.icons[ICON_WHITE], String{}, Vec4{0, 0, 1, 1}};
    if (mesh->default_index_count > 0) mesh_part_draw(plain, 0, (uint32_t)mesh->default_index_count);
    for (int64_t i = 0; i < mesh->range_count; i++) {
        // A range without its material (never made by the importer) draws
        // like the faces without one rather than reading past the table.
        const Material& material = i < mesh->material_count ? mesh->materials[i] : plain;
        mesh_part_draw(material, mesh->ranges[i].first_index, mesh->ranges[i].index_count);
    }
    vertex_array_unbind();
}

void mesh_draw_flat(const Mesh* mesh, uint64_t identity) {
    if (!mesh || !mesh->vertex_array) return;
    vertex_array_bind(mesh->vertex_array);
    texture_unit(0);
    texture_bind(1, editor.assets.icons[ICON_WHITE]);
    Vec4 color = identity_color(identity);
    shader_set_vec4(UNIFORM_DIFFUSE, color);
    // The faces without a material are picked like the rest.
    if (mesh->default_index_count > 0) draw_elements(4, 2, 0, mesh->default_index_count);
    for (int64_t i = 0; i < mesh->range_count; i++) {
        draw_elements(4, 2, mesh->ranges[i].first_index, mesh->ranges[i].index_count);
    }
    vertex_array_unbind();
}
