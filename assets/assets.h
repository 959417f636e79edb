// Assets: the resource list and its name tables, textures and the icon
// table, bitmap fonts, OBJ/MTL meshes and the interface theme. Relies on the
// pools and containers (core/), the formatter for console lines and the
// platform layer for files, images and GPU objects.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "math/math.h"

// ---------------------------------------------------------------------------
// Textures

typedef uint32_t Texture;   // platform texture handle, 0 = none

// Positions in the icon table (AssetState::icons), in load order.
enum : int32_t {
    ICON_WHITE = 0,          // fallback texture, untextured rectangles
    ICON_GRADIENT1,          // panel title bars
    ICON_GRADIENT2,
    ICON_GRADIENT3,
    ICON_MAXIMIZE,           // expand; collapsed group arrow
    ICON_MINIMIZE,           // collapse; expanded group arrow
    ICON_CLOSE,
    ICON_GROUP,              // "textures/star3d.png": group rows
    ICON_EYE,                // visibility toggle
    ICON_CHECK,              // check box mark
    ICON_QUAD,               // "textures/square.png": quad objects
    ICON_MESH,               // "textures/cube.png": mesh objects
    ICON_TEXT,               // "textures/text.png": text objects
    ICON_DATA,               // "textures/question.png": data objects
    ICON_PATH,               // "textures/arrow.png": path objects
    ICON_NEW,
    ICON_OPEN,
    ICON_SAVE,
    ICON_LIGHT,
    ICON_LIGHTNING,
    ICON_EXPORT,             // "textures/star.png"
    ICON_ADD_POINT,          // path mode
    ICON_PLACE_OBJECT,       // placing on
    ICON_SELECT_OBJECT,      // placing off
    ICON_CENTER_PIVOT,
    ICON_OBJECT_PIVOT,
    ICON_TRANSLATE,          // gizmo mode 0
    ICON_ROTATE,             // gizmo mode 1
    ICON_SCALE,              // gizmo mode 2
    ICON_GIZMO_RECTANGLE,    // gizmo mode 3
    ICON_SHOW_OBJECTS,       // "textures/sphere.png"
    ICON_SHOW_PROPERTIES,    // "textures/cone.png"
    ICON_SETTINGS,
    ICON_CIRCLE,             // round marker
    ICON_HUE,                // color picker square and hue strip
    ICON_ALPHA,              // color picker alpha strip, color swatch
    ICON_COUNT,              // 36
};

// ---------------------------------------------------------------------------
// Fonts. Glyph values are normalised: horizontal ones by the image width,
// vertical ones by the image height.

struct Glyph {
    double x_offset, y_offset;
    double advance;
    double u, v;
    double width, height;
};

struct Font {
    double space_advance;    // advance of code point 32, 0 without one
    double tab_advance;      // advance of code point 9, 0 without one
    double line_height;      // largest glyph height
    double font_scale;       // 256: normalised units to pixels at scale 1
    Texture texture;
    Array<Glyph> glyphs;     // glyph 0 is the replacement glyph
    IntMap glyph_map;        // code point -> glyph index (never 0)
};

// ---------------------------------------------------------------------------
// Meshes

struct MeshVertex {          // 36 bytes, the GPU layout of meshes and the batch
    Vec3 position;
    Vec4 color;
    Vec2 uv;
};

struct Material {            // draw-time material of one range
    Vec4 color;              // "Kd" as written (display space; made linear when drawn)
    Texture texture;         // manifest texture of the diffuse map, or the fallback
    String texture_name;
    Vec4 uv_rect;            // (0, 0, 1, 1)
};

struct MaterialRange {
    uint32_t first_vertex;
    uint32_t first_index;
    uint32_t vertex_count;   // vertices first created in this range
    uint32_t index_count;
    String object_name;      // last "o" line while the material was current
    String material_name;
};

// Only what later code reads stays in memory: the vertices and indices live
// on the GPU after the upload (the pointers are null then, the counts stay).
struct Mesh {
    MeshVertex* vertices;
    int64_t vertex_count;
    Material* materials;
    int64_t material_count;
    MaterialRange* ranges;   // one per material, same order
    int64_t range_count;
    uint32_t* indices;
    int64_t index_count;
    // Faces read before any material (or with no library at all) come first
    // in the index list and belong to no range; they draw with the default
    // material: white, untextured.
    int64_t default_index_count;
    uint32_t vertex_array;
    uint32_t vertex_buffer;
    uint32_t index_buffer;
    Vec3 bounds_min;         // box over every vertex and the origin
    Vec3 bounds_max;
};

// The five built-in models, in load order.
enum : int32_t { BUILTIN_ARROW, BUILTIN_CYLINDER, BUILTIN_CUBE, BUILTIN_TORUS, BUILTIN_SPHERE, BUILTIN_COUNT };

// ---------------------------------------------------------------------------
// Theme: every interface color and basic size.

struct Theme {
    Vec4 color;                          // accent of widgets and fields
    Vec4 hover_color;
    Vec4 pressed_color;
    float scale;                         // basic widget and row height
    float offset;                        // basic margin
    float text_scale;
    Vec4 text_color;
    float text_offset;
    Vec4 check_color;
    Vec4 selection_color;
    Vec4 directory_color;
    Vec4 file_color;
    Vec4 minimize_color;
    Vec4 close_color;
    Vec4 quad_object_color;
    Vec4 text_object_color;
    Vec4 mesh_object_color;
    Vec4 data_object_color;
    Vec4 path_object_color;
    Vec4 group_color;
    Vec4 new_color;
    Vec4 open_color;
    Vec4 save_color;
    Vec4 export_color;
    Vec4 placement_color;
    Vec4 pivot_color;
    Vec4 position_color;
    Vec4 rotation_color;
    Vec4 scale_color;
    Vec4 rectangle_color;
    Vec4 show_objects_colors;            // key spelled with a final s
    Vec4 show_properties_color;
    Vec4 show_global_properties_color;
    Vec4 show_color;
    float cursor_width;
    Vec4 cursor_color;
    Vec4 panel_background;               // no key: (0, 0, 0, 0.95)

    // Derived after the file is read (theme_load).
    Font* font;                          // the default font
    float list_row_height;               // "scale"
    float list_indent;                   // "offset" per group level
    float list_group_end_height;         // "offset"
    float list_arrow_size;               // 0.75 x "scale"
    Texture list_arrow_collapsed;        // maximize icon
    Texture list_arrow_expanded;         // minimize icon
};

// ---------------------------------------------------------------------------
// The asset state record inside the editor (editor.assets).

struct AssetState {
    Texture icons[ICON_COUNT];
    Font default_font;
    Array<Texture> textures;             // manifest textures
    StringMap texture_map;               // name -> index in textures
    Array<Font*> fonts;                  // manifest fonts (records never move)
    StringMap font_map;
    Array<Mesh*> meshes;                 // every loaded mesh, built-ins first
    StringMap mesh_map;                  // name -> index in meshes
    Mesh builtin[BUILTIN_COUNT];         // arrow, cylinder, cube, torus, sphere
};

// ---------------------------------------------------------------------------
// Textures, icons and the resource list (assets/textures.cpp)

// One line of the resource list, taken apart (views into the line).
enum : int32_t { MANIFEST_NONE, MANIFEST_TEXTURE, MANIFEST_FONT, MANIFEST_MESH };
struct ManifestEntry {
    int32_t kind;
    String name;
    int32_t wrap_s, wrap_t, min_filter, mag_filter;   // textures only
    String path;
};
// False for lines that name no resource ("data", unknown keywords, blank).
bool manifest_parse_line(String line, ManifestEntry* entry);

Texture texture_load(String path, int32_t wrap_s, int32_t wrap_t, int32_t min_filter, int32_t mag_filter);
// Uploads RGBA `pixels` as level 0 of the bound 2D texture and every smaller
// level down to 1 x 1, each the box average of the one above. Overwrites the
// pixels.
void texture_image_with_mipmaps(uint8_t* pixels, uint32_t width, uint32_t height);
// One mipmap step in place on RGBA bytes: each side halves (rounded down, at
// least 1); an odd side's last output texel averages the three it covers.
void image_halve(uint8_t* pixels, uint32_t* width, uint32_t* height);
// The 36 icons in their fixed order, then the default font.
void icons_load();
// Reads the resource list; false when the file could not be read (silent).
bool manifest_load(String path);
// Unknown names: the white icon texture, the default font, null.
Texture texture_find(String name);
Font* font_find(String name);
Mesh* mesh_find(String name);
// Shutdown: every texture (manifest, fonts, icons, default font).
void textures_release();
// Shutdown: every mesh's buffers and vertex array; empties the mesh table.
void meshes_release();

// ---------------------------------------------------------------------------
// Fonts (assets/font.cpp)

// Writes the whole record on success; on failure leaves it as prepared and
// prints one console line (except for a malformed line).
bool font_load(String path, Font* font);
// The description alone, without files or GPU: fills `font` (glyphs in the
// persistent pool, texture 0) and the image path of its last "i" line
// (joined with `directory` when needed). With `check_files` false the image
// path is taken as written and never looked for.
bool font_parse(String text, String directory, Font* font, String* image_path, bool check_files);

// ---------------------------------------------------------------------------
// Meshes (assets/mesh.cpp)

// False only when the OBJ file cannot be opened (or does not fit in memory,
// which is reported); the mesh is then left as the caller cleared it.
bool mesh_import(Mesh* mesh, String path);
// Gives back the scratch memory that imports keep for the next one (the
// editor calls it once its start-up loading is done).
void mesh_scratch_trim();
// Clears the slot, imports ("failed to load mesh: " on failure) and appends
// the slot to the mesh table without a name.
bool mesh_load_builtin(Mesh* slot, String path);
// The five built-in models into AssetState::builtin, in their fixed order.
void builtin_meshes_load();

// ---------------------------------------------------------------------------
// Theme (assets/theme.cpp)

void theme_defaults(Theme* theme);
// Applies the lines of a theme file held in memory (no derived values).
void theme_apply(Theme* theme, String text);
// Reads `path` ("theme.txt" at start-up), applies it and sets the derived
// values; a missing file changes nothing else.
void theme_load(Theme* theme, String path);
