// Draw submission: the immediate batch (loose geometry built on the CPU,
// sent in one indexed draw per flush) and mesh drawing part by part, plus
// the render state record kept in the editor. Relies on the platform's
// buffer, vertex array and draw calls, on shader.h for uniforms and on the
// asset records (Mesh, MeshVertex, Font).
#pragma once

#include <cstdint>

#include "assets/assets.h"
#include "core/containers.h"
#include "math/math.h"
#include "render/shader.h"
#include "render/targets.h"

// Text alignment held in the draw state. Horizontal: 2 centre, 3 right,
// anything else left. Vertical: 1 bottom, 2 middle, 4 top, anything else
// baseline. As one 16-bit word the horizontal byte is the low one: 512 is
// left/middle, 514 centre/middle, 256 left/bottom.
struct TextAlign {
    uint8_t horizontal;
    uint8_t vertical;
};
enum : uint8_t { ALIGN_LEFT = 0, ALIGN_CENTER = 2, ALIGN_RIGHT = 3 };
enum : uint8_t { ALIGN_BASELINE = 0, ALIGN_BOTTOM = 1, ALIGN_MIDDLE = 2, ALIGN_TOP = 4 };

inline TextAlign text_align_from_word(uint16_t word) { return TextAlign{(uint8_t)(word & 0xFF), (uint8_t)(word >> 8)}; }
inline uint16_t text_align_word(TextAlign align) { return (uint16_t)(align.horizontal | (align.vertical << 8)); }

struct DrawState {
    uint32_t vertex_array;          // the batch's GPU objects, from batch_setup
    uint32_t vertex_buffer;
    uint32_t index_buffer;
    Array<MeshVertex> vertices;     // POOL_PERSISTENT, reused frame after frame
    Array<uint32_t> indices;        // three per triangle
    Vec4 color;                     // multiplies every vertex color appended
    bool overflow_reported;         // the batch outgrew the pool once (printed once)

    // Text (ui/text)
    Font* font;                     // current font
    TextAlign align;
    double pixel_snap;              // glyph rectangles rounded to multiples; 0 keeps fractions
    // Glyph indices of code points 0-127 for `glyph_cache_font`, read from its
    // glyph map; valid while the map's slots and count are those recorded.
    const Font* glyph_cache_font;
    const IntMapSlot* glyph_cache_slots;
    int64_t glyph_cache_count;
    uint32_t glyph_cache[128];
};

// Everything the rendering code keeps in the editor (editor.render).
struct RenderState {
    ShaderProgram simple;           // the scene and the interface
    ShaderProgram gamma;            // the final pass to the window
    ShaderProgram picking;          // the picking pass
    ShaderProgram color;            // the color picker's square
    ShaderProgram* current_program; // what uniform setters act on
    DrawState draw;
    FrameTarget scene_target;
    FrameTarget picking_target;
};

// CPU side of the batch: empty arrays in POOL_PERSISTENT, white color, left/
// baseline alignment, pixel snap 1. batch_setup calls it; tests call it alone.
void draw_state_init();
// Start-up: the vertex array with the 36-byte vertex layout and both buffers.
void batch_setup();
// Shutdown: both buffers, then the vertex array.
void batch_release();

void batch_begin();   // empties the batch (counts to 0, memory kept)
// Four vertices (p0 (u, v), p1 (u+w, v), p2 (u+w, v+h), p3 (u, v+h)) with
// colors c0..c3 times the current color, and indices n, n+1, n+2, n, n+2, n+3.
void batch_append_quad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec4 c0, Vec4 c1, Vec4 c2, Vec4 c3, Vec4 uv);
// A flat ribbon 2 x width wide from p0 to p1, facing `facing`.
void batch_append_segment(Vec3 p0, Vec3 p1, Vec3 facing, double width, Vec4 c0, Vec4 c1, Vec4 uv);
// Room for `vertex_count` more vertices and `index_count` more indices; false
// (reported once per run) when the pool is full, and nothing may be appended.
bool batch_reserve(int64_t vertex_count, int64_t index_count);
// Two triangles over the four vertices from `first` (room reserved), corners
// in `order`: {0, 1, 2, 0, 2, 3} for a quad, {0, 1, 3, 0, 3, 2} for a ribbon.
void batch_put_indices(uint32_t first, const uint8_t (&order)[6]);
constexpr uint8_t QUAD_CORNERS[6] = {0, 1, 2, 0, 2, 3};
constexpr uint8_t RIBBON_CORNERS[6] = {0, 1, 3, 0, 3, 2};

// What a flush sends: bytes of vertices and of indices, and indices drawn.
struct BatchUpload {
    int64_t vertex_bytes;
    int64_t index_bytes;
    int64_t index_count;
};
BatchUpload batch_upload_size();
// One indexed draw of the whole batch with the current program; callers test
// that the batch holds indices. The batch is kept.
void batch_flush();

// Each part with its material's texture, color (made linear), uv_rect. The
// caller has set the model matrix with set_matrices.
void mesh_draw(const Mesh* mesh);
// Each part flat in identity_color(identity) on the white texture: picking.
void mesh_draw_flat(const Mesh* mesh, uint64_t identity);
