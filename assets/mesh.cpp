// OBJ/MTL import: reads the file whole into one scratch block sized to the
// model, parses it in place, merges identical corners through a hash table,
// uploads one vertex and one index buffer and keeps only the materials,
// ranges and bounds. Relies on core/ (pools, formatter, scan_float) and the
// platform's file, math and buffer calls.
//
// Sections: scratch arena, text scanning, MTL, OBJ counting pass, OBJ build
// pass, ranges, import and upload.
#include "assets/mesh.h"

#include <cstdlib>
#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Scratch arena

bool scratch_create(ScratchArena* arena, int64_t capacity) {
    *arena = ScratchArena{};
    if (capacity < 16) capacity = 16;
    if ((uint64_t)capacity > (uint64_t)SIZE_MAX / 2) return false;
    arena->base = static_cast<uint8_t*>(std::malloc((size_t)capacity));
    if (!arena->base) return false;
    arena->capacity = capacity;
    return true;
}

bool scratch_resize(ScratchArena* arena, int64_t capacity) {
    if (capacity < arena->used) return false;
    if (capacity < 16) capacity = 16;
    if ((uint64_t)capacity > (uint64_t)SIZE_MAX / 2) return false;
    uint8_t* base = static_cast<uint8_t*>(std::realloc(arena->base, (size_t)capacity));
    if (!base) return false;
    arena->base = base;
    arena->capacity = capacity;
    return true;
}

void* scratch_alloc(ScratchArena* arena, int64_t size) {
    if (size < 0 || !arena->base) return nullptr;
    int64_t start = (arena->used + 15) & ~(int64_t)15;
    if (start > arena->capacity || size > arena->capacity - start) return nullptr;
    arena->used = start + size;
    return arena->base + start;
}

void scratch_release(ScratchArena* arena) {
    std::free(arena->base);
    *arena = ScratchArena{};
}

template <typename T>
static T* scratch_array(ScratchArena* arena, int64_t count) {
    if (count < 0 || (uint64_t)count > (uint64_t)INT64_MAX / 2 / sizeof(T)) return nullptr;
    return static_cast<T*>(scratch_alloc(arena, count * (int64_t)sizeof(T)));
}

// ---------------------------------------------------------------------------
// Text scanning. Files from real exporters separate fields by tabs or runs
// of spaces, indent keywords, end lines with CR LF and put "#" comments after
// values; all of that is read here the way the exporter meant it.

static inline bool is_blank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

struct Line {
    const uint8_t* at;    // read position inside the line
    const uint8_t* end;   // line end, without the line feed and a CR before it
};

// The next line of [*cursor, end); false at the end of the data.
static inline bool next_line(const uint8_t** cursor, const uint8_t* end, Line* line) {
    const uint8_t* start = *cursor;
    if (start >= end) return false;
    const uint8_t* feed = static_cast<const uint8_t*>(std::memchr(start, '\n', (size_t)(end - start)));
    const uint8_t* stop = feed ? feed : end;
    *cursor = feed ? feed + 1 : end;
    if (stop > start && stop[-1] == '\r') stop--;
    *line = Line{start, stop};
    return true;
}

static inline void skip_blanks(Line* line) {
    while (line->at < line->end && is_blank(*line->at)) line->at++;
}

// True when the line (after its indentation) starts with `keyword` followed
// by a blank; the position then sits on the first field.
static inline bool take_keyword(Line* line, const char* keyword, int64_t length) {
    if (line->end - line->at <= length) return false;
    if (std::memcmp(line->at, keyword, (size_t)length) != 0 || !is_blank(line->at[length])) return false;
    line->at += length;
    skip_blanks(line);
    return true;
}

// The rest of the line as a name, trailing blanks dropped. A "#" belongs to
// the name: exporters write names such as "Material #25", and cutting there
// would make "Material #1" and "Material #2" one material.
static String rest_as_name(Line line) {
    skip_blanks(&line);
    const uint8_t* stop = line.end;
    while (stop > line.at && is_blank(stop[-1])) stop--;
    return String{line.at, stop - line.at};
}

static inline bool at_field_end(const Line& line) {
    return line.at >= line.end || *line.at == '#';
}

static inline bool looks_like_number(const uint8_t* p, const uint8_t* end) {
    if (p < end && (*p == '-' || *p == '+')) p++;
    if (p < end && *p == '.') p++;
    return p < end && (unsigned)(*p - '0') <= 9;
}

// One floating-point field; `present` tells whether there was one. The
// editor's scan_float reads the digits; an exponent ("1.5e-05"), which some
// exporters write, is applied here with the C library on the whole token.
static double read_float(Line* line, bool* present) {
    skip_blanks(line);
    *present = false;
    if (at_field_end(*line)) return 0.0;
    const uint8_t* start = line->at;
    if (*line->at == '+') line->at++;
    TextReader reader{line->at, line->end - line->at, line->end - line->at, 0};
    double value = scan_float(&reader);
    line->at += reader.position;
    *present = line->at > start;
    if (line->at < line->end && (*line->at == 'e' || *line->at == 'E')) {
        const uint8_t* p = line->at + 1;
        if (p < line->end && (*p == '-' || *p == '+')) p++;
        if (p < line->end && (unsigned)(*p - '0') <= 9) {
            while (p < line->end && (unsigned)(*p - '0') <= 9) p++;
            char text[96];
            int64_t length = p - start;
            if (length < (int64_t)sizeof(text)) {
                std::memcpy(text, start, (size_t)length);
                text[length] = 0;
                value = std::strtod(text, nullptr);
            }
            line->at = p;
        }
    }
    // A field that is not a number is passed over, so the next one is read.
    if (!*present) {
        while (line->at < line->end && !is_blank(*line->at)) line->at++;
    }
    return value;
}

// ---------------------------------------------------------------------------
// MTL

static Vec4 vec4(float x, float y, float z, float w) { return Vec4{x, y, z, w}; }

static float gamma_power(double c) { return (float)math_pow(c, 2.2); }

int64_t mtl_count_materials(String text) {
    const uint8_t* cursor = text.data;
    const uint8_t* end = text.data + text.length;
    Line line;
    int64_t count = 0;
    while (next_line(&cursor, end, &line)) {
        skip_blanks(&line);
        if (take_keyword(&line, "newmtl", 6)) count++;
    }
    return count;
}

// Texture options come before the name ("-o 0.1 0.2", "-clamp on", "-bm 3").
static String map_name(Line line) {
    skip_blanks(&line);
    while (line.at < line.end && *line.at == '-') {
        const uint8_t* option = line.at;
        const uint8_t* option_end = option;
        while (option_end < line.end && !is_blank(*option_end)) option_end++;
        String name{option, option_end - option};
        int fixed = -1;   // arguments of the option; -2: one to three numbers
        if (string_equal(name, S("-blendu")) || string_equal(name, S("-blendv")) || string_equal(name, S("-cc")) ||
            string_equal(name, S("-clamp")) || string_equal(name, S("-bm")) || string_equal(name, S("-boost")) ||
            string_equal(name, S("-texres")) || string_equal(name, S("-imfchan")) || string_equal(name, S("-type")) ||
            string_equal(name, S("-colorspace"))) {
            fixed = 1;
        } else if (string_equal(name, S("-mm"))) {
            fixed = 2;
        } else if (string_equal(name, S("-o")) || string_equal(name, S("-s")) || string_equal(name, S("-t"))) {
            fixed = -2;
        }
        if (fixed == -1) break;   // not an option: a name that starts with "-"
        line.at = option_end;
        int taken = 0;
        while (true) {
            skip_blanks(&line);
            if (line.at >= line.end) break;
            if (fixed >= 0 && taken >= fixed) break;
            if (fixed == -2 && (taken >= 3 || !looks_like_number(line.at, line.end))) break;
            while (line.at < line.end && !is_blank(*line.at)) line.at++;
            taken++;
        }
        skip_blanks(&line);
    }
    return rest_as_name(line);
}

bool mtl_parse(String text, ParsedMaterial* materials, int64_t capacity, int64_t* count) {
    const uint8_t* cursor = text.data;
    const uint8_t* end = text.data + text.length;
    ParsedMaterial* current = *count > 0 ? &materials[*count - 1] : nullptr;
    bool fits = true;
    Line line;
    while (next_line(&cursor, end, &line)) {
        skip_blanks(&line);
        if (line.at >= line.end) continue;
        uint8_t first = *line.at;
        if (first == 'n' && take_keyword(&line, "newmtl", 6)) {
            if (*count >= capacity) {
                fits = false;
                current = nullptr;
                continue;
            }
            current = &materials[(*count)++];
            *current = ParsedMaterial{};
            current->name = rest_as_name(line);
            current->ambient = vec4(0, 0, 0, 1);
            current->diffuse = vec4(1, 1, 1, 1);
            current->diffuse_raw = vec4(1, 1, 1, 1);
            current->specular = vec4(0, 0, 0, 1);
            current->emissive = vec4(0, 0, 0, 1);
            current->dissolve = 1;
            continue;
        }
        if (!current) continue;
        if (first == 'K' && line.end - line.at >= 3 && is_blank(line.at[2])) {
            uint8_t which = line.at[1];
            if (which != 'a' && which != 'd' && which != 's' && which != 'e') continue;
            line.at += 2;
            bool present = false;
            double r = read_float(&line, &present);
            if (!present) continue;   // "Kd spectral ..." and the like
            bool has_g = false, has_b = false;
            double g = read_float(&line, &has_g);
            double b = read_float(&line, &has_b);
            if (!has_g && !has_b) g = b = r;   // a single value stands for gray
            Vec4 color = vec4(gamma_power(r), gamma_power(g), gamma_power(b), 1);
            if (which == 'a') current->ambient = color;
            if (which == 'd') {
                current->diffuse = color;
                current->diffuse_raw = vec4((float)r, (float)g, (float)b, 1);
            }
            if (which == 's') current->specular = color;
            if (which == 'e') current->emissive = color;
        } else if (first == 'N' && take_keyword(&line, "Ns", 2)) {
            bool present;
            current->shininess = (float)read_float(&line, &present);
        } else if (first == 'd' && take_keyword(&line, "d", 1)) {
            bool present;
            current->dissolve = (float)read_float(&line, &present);
        } else if (first == 'm' && line.end - line.at >= 7 && std::memcmp(line.at, "map_K", 5) == 0 &&
                   is_blank(line.at[6])) {
            uint8_t which = line.at[5];
            line.at += 6;
            String name = map_name(line);
            if (which == 'a' || which == 'd') current->diffuse_map = name;
            else if (which == 's') current->specular_map = name;
            else if (which == 'e') current->emissive_map = name;
        }
    }
    return fits;
}

// ---------------------------------------------------------------------------
// OBJ: the counting pass sizes every array of the build exactly (or by a
// safe bound), so the build pass never grows anything.

enum LineKind : uint8_t { LINE_OTHER, LINE_V, LINE_VT, LINE_VN, LINE_F, LINE_O, LINE_MTLLIB, LINE_USEMTL };

static inline LineKind classify(Line* line) {
    skip_blanks(line);
    if (line->at >= line->end) return LINE_OTHER;
    switch (*line->at) {
    case 'v':
        if (take_keyword(line, "v", 1)) return LINE_V;
        if (take_keyword(line, "vt", 2)) return LINE_VT;
        if (take_keyword(line, "vn", 2)) return LINE_VN;
        return LINE_OTHER;
    case 'f':
        return take_keyword(line, "f", 1) ? LINE_F : LINE_OTHER;
    case 'o':
        return take_keyword(line, "o", 1) ? LINE_O : LINE_OTHER;
    case 'm':
        return take_keyword(line, "mtllib", 6) ? LINE_MTLLIB : LINE_OTHER;
    case 'u':
        return take_keyword(line, "usemtl", 6) ? LINE_USEMTL : LINE_OTHER;
    default:
        return LINE_OTHER;
    }
}

// Corner fields of a face line, up to a comment.
static int64_t count_corner_fields(Line line) {
    int64_t count = 0;
    while (true) {
        skip_blanks(&line);
        if (at_field_end(line)) return count;
        count++;
        while (line.at < line.end && !is_blank(*line.at) && *line.at != '#') line.at++;
    }
}

struct ObjCounts {
    int64_t positions, uvs, normals;
    int64_t corners;          // corner fields of faces with three or more
    int64_t triangles;
    int64_t max_corners;      // widest face
    int64_t usemtl_lines;
    int64_t library_bytes;    // library files to read into the arena
    int64_t material_bound;   // upper bound on "newmtl" lines over all libraries
};

static String directory_of(String path) {
    int64_t cut = -1;
    for (int64_t i = path.length - 1; i >= 0; i--) {
        if (path.data[i] == '/') {
            cut = i;
            break;
        }
    }
    if (cut < 0) {
        for (int64_t i = path.length - 1; i >= 0; i--) {
            if (path.data[i] == '\\') {
                cut = i;
                break;
            }
        }
    }
    return String{path.data, cut + 1};
}

// The library file: the name as written, else beside the OBJ file. Returns
// the opened handle (failed when neither exists).
static FileHandle library_open(String name, String directory) {
    FileHandle file = file_open(&name, FILE_READ);
    if (!file_failed(file)) return file;
    file_close(file);
    PoolMark mark = pool_mark(POOL_FRAME);
    String joined = string_concat(directory, name, POOL_FRAME);
    file = file_open(&joined, FILE_READ);
    pool_restore(mark);
    return file;
}

// Calls visit(name, file) for each library of an "mtllib" line; `file` is
// null when that library cannot be opened (the visitor never closes it).
// One line may name several libraries, yet a single name may contain
// blanks: the whole rest of the line is tried first, then each name.
template <typename Visit>
static void libraries_visit(String rest, String directory, Visit&& visit) {
    FileHandle whole = library_open(rest, directory);
    bool single = true;
    for (int64_t i = 0; i < rest.length && single; i++) single = !is_blank(rest.data[i]);
    if (!file_failed(whole) || single) {
        visit(rest, file_failed(whole) ? nullptr : &whole);
        file_close(whole);
        return;
    }
    file_close(whole);
    Line fields{rest.data, rest.data + rest.length};
    while (true) {
        skip_blanks(&fields);
        if (fields.at >= fields.end) break;
        const uint8_t* start = fields.at;
        while (fields.at < fields.end && !is_blank(*fields.at)) fields.at++;
        String name{start, fields.at - start};
        FileHandle file = library_open(name, directory);
        visit(name, file_failed(file) ? nullptr : &file);
        file_close(file);
    }
}

struct BuildOptions {
    String directory;
    bool read_libraries;
    String library_text;
};

static void obj_count(String text, const BuildOptions& options, ObjCounts* counts) {
    *counts = ObjCounts{};
    const uint8_t* cursor = text.data;
    const uint8_t* end = text.data + text.length;
    Line line;
    while (next_line(&cursor, end, &line)) {
        switch (classify(&line)) {
        case LINE_V: counts->positions++; break;
        case LINE_VT: counts->uvs++; break;
        case LINE_VN: counts->normals++; break;
        case LINE_F: {
            int64_t corners = count_corner_fields(line);
            if (corners >= 3) {
                counts->corners += corners;
                counts->triangles += corners - 2;
                if (corners > counts->max_corners) counts->max_corners = corners;
            }
            break;
        }
        case LINE_USEMTL: counts->usemtl_lines++; break;
        case LINE_MTLLIB:
            // "newmtl x" and its line feed take at least eight bytes.
            if (options.read_libraries) {
                libraries_visit(rest_as_name(line), options.directory, [counts](String, FileHandle* file) {
                    int64_t size = file ? file_size(*file) : 0;
                    if (size < 0) size = 0;
                    if (file) counts->library_bytes += size + 16;
                    counts->material_bound += size / 8 + 1;
                });
            } else {
                counts->material_bound += options.library_text.length / 8 + 1;
            }
            break;
        default: break;
        }
    }
}

// Bytes the build pass needs beyond the OBJ text; -1 when the model is too
// large to address with 32-bit vertex numbers and range fields.
static int64_t build_bytes(const ObjCounts& c) {
    if (c.corners >= (int64_t)UINT32_MAX || c.triangles * 3 >= (int64_t)UINT32_MAX) return -1;
    int64_t table_slots = 16;
    while (table_slots < c.corners * 2) table_slots *= 2;
    int64_t bytes = 0;
    bytes += c.positions * (int64_t)sizeof(Vec3) + 16;
    bytes += c.uvs * (int64_t)sizeof(Vec2) + 16;
    bytes += c.triangles * 3 * 4 + 16;                       // indices
    if (c.usemtl_lines >= 2) bytes += c.triangles * 3 * 4 + 16;   // regrouped indices
    bytes += c.corners * 16 + 16;                            // merged corner keys
    bytes += table_slots * 8 + 16;                           // hash table
    bytes += c.corners * (int64_t)sizeof(MeshVertex) + 16;   // vertices
    bytes += c.max_corners * 16 + 16;                        // one face's corners
    bytes += (c.usemtl_lines + 1) * 48 + 16;                 // material runs
    bytes += c.library_bytes;
    bytes += c.material_bound * (int64_t)(sizeof(ParsedMaterial) + sizeof(MaterialRange) + 8) + 64;
    return bytes + 4096;
}

// ---------------------------------------------------------------------------
// OBJ build pass

struct CornerKey {             // the four values that make a vertex distinct
    uint32_t position, normal, uv, material;
};

struct MaterialRun {
    int32_t material;
    uint32_t first_index, index_count;
    uint32_t first_vertex, vertex_count;
};

static inline uint64_t corner_hash(const CornerKey& key) {
    uint64_t h = (uint64_t)key.position * 0x9E3779B97F4A7C15ull;
    h ^= ((uint64_t)key.uv | ((uint64_t)key.normal << 32)) * 0xC2B2AE3D27D4EB4Full;
    h ^= (uint64_t)key.material * 0x165667B19E3779F9ull;
    h ^= h >> 31;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 29;
    return h;
}

static inline bool key_equal(const CornerKey& a, const CornerKey& b) {
    return a.position == b.position && a.normal == b.normal && a.uv == b.uv && a.material == b.material;
}

// Reads one index field; false when it is not a number. An index in the
// file is 1-based, or negative: relative to the end of the list so far.
static inline bool read_index(const uint8_t** at, const uint8_t* end, int64_t so_far, int64_t total, uint32_t* out) {
    const uint8_t* p = *at;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        p++;
    }
    if (p >= end || (unsigned)(*p - '0') > 9) return false;
    int64_t value = 0;
    while (p < end && (unsigned)(*p - '0') <= 9) {
        if (value < ((int64_t)1 << 40)) value = value * 10 + (*p - '0');
        p++;
    }
    *at = p;
    int64_t index = negative ? so_far - value : value - 1;
    // Index 0 and anything outside the list are invalid; the face is dropped.
    if (value == 0 || index < 0 || index >= total) *out = UINT32_MAX - 1;
    else *out = (uint32_t)index;
    return true;
}

static constexpr uint32_t INDEX_NONE = UINT32_MAX;         // no texture coordinate or normal
static constexpr uint32_t INDEX_INVALID = UINT32_MAX - 1;  // out of range

// One corner field "p", "p/t", "p//n" or "p/t/n". False when malformed or
// when the position is out of range. Real files name normals they never
// define (or whose "vn" lines were commented out); normals are not drawn, so
// such a normal is ignored, and a texture coordinate out of range reads as
// (0, 0), rather than losing the face.
static bool read_corner(Line* line, const ObjCounts& totals, int64_t positions, int64_t uvs, int64_t normals,
                        CornerKey* key) {
    const uint8_t* p = line->at;
    const uint8_t* end = line->end;
    key->uv = INDEX_NONE;
    key->normal = INDEX_NONE;
    bool ok = read_index(&p, end, positions, totals.positions, &key->position);
    if (ok && p < end && *p == '/') {
        p++;
        if (p < end && *p == '/') {
            p++;
            ok = read_index(&p, end, normals, totals.normals, &key->normal);
        } else {
            ok = read_index(&p, end, uvs, totals.uvs, &key->uv);
            if (ok && p < end && *p == '/') {
                p++;
                ok = read_index(&p, end, normals, totals.normals, &key->normal);
            }
        }
    }
    // The field must end here; skip whatever is left of a malformed one.
    if (ok && p < end && !is_blank(*p) && *p != '#') ok = false;
    while (p < end && !is_blank(*p) && *p != '#') p++;
    line->at = p;
    if (key->uv == INDEX_INVALID) key->uv = INDEX_NONE;
    if (key->normal == INDEX_INVALID) key->normal = INDEX_NONE;
    return ok && key->position != INDEX_INVALID;
}

struct BuildState {
    ScratchArena* arena;
    ObjCounts totals;
    Vec3* positions;
    Vec2* uvs;
    int64_t position_count, uv_count, normal_count;
    uint32_t* indices;
    int64_t index_count, index_capacity;
    CornerKey* keys;             // one per vertex, in vertex order
    int64_t vertex_count, key_capacity;
    uint64_t* table;             // high half: hash bits, low half: vertex + 1
    uint64_t table_mask;         // slots in use - 1 (a power of two)
    int64_t table_limit;         // slots reserved: the table grows in place
    uint32_t position_shift;     // local placement: slot = position << shift, plus a little
    bool scattered;              // placement by the whole hash
    CornerKey* face;             // corners of the face being read
    MaterialRun* runs;
    int64_t run_count, run_capacity;
    ParsedMaterial* materials;
    MaterialRange* ranges;
    int64_t material_count, material_capacity;
    int32_t current_material;
    int64_t dropped_faces;
    int64_t default_index_count;
};

// Where a key's probe starts. Real meshes name positions in runs, so keys
// are first placed by their position index (neighbouring positions share
// cache lines); a file that piles many keys onto few positions makes long
// probes, and the table then switches for good to placement by the hash.
static inline uint64_t home_slot(const BuildState* s, const CornerKey& key, uint64_t hash) {
    if (s->scattered) return hash & s->table_mask;
    return (((uint64_t)key.position << s->position_shift) + (hash & 3)) & s->table_mask;
}

static void table_rebuild(BuildState* s, int64_t slots) {
    s->table_mask = (uint64_t)slots - 1;
    s->position_shift = 0;
    while (s->totals.positions > 0 && ((int64_t)s->totals.positions << (s->position_shift + 1)) <= slots)
        s->position_shift++;
    std::memset(s->table, 0, (size_t)slots * sizeof(uint64_t));
    for (int64_t vertex = 0; vertex < s->vertex_count; vertex++) {
        const CornerKey& key = s->keys[vertex];
        uint64_t h = corner_hash(key);
        uint64_t at = home_slot(s, key, h);
        while (s->table[at] != 0) at = (at + 1) & s->table_mask;
        s->table[at] = (h & 0xFFFFFFFF00000000ull) | (uint64_t)(vertex + 1);
    }
}

static constexpr int64_t LOCAL_PROBE_LIMIT = 48;

static inline uint32_t vertex_for(BuildState* s, const CornerKey& key) {
    uint64_t h = corner_hash(key);
    uint64_t tag = h & 0xFFFFFFFF00000000ull;
    uint64_t at = home_slot(s, key, h);
    int64_t probes = 0;
    while (true) {
        uint64_t slot = s->table[at];
        if (slot == 0) break;
        if ((slot & 0xFFFFFFFF00000000ull) == tag) {
            uint32_t vertex = (uint32_t)(slot & 0xFFFFFFFFull) - 1;
            if (key_equal(s->keys[vertex], key)) return vertex;
        }
        at = (at + 1) & s->table_mask;
        if (++probes > LOCAL_PROBE_LIMIT && !s->scattered) {
            s->scattered = true;
            table_rebuild(s, (int64_t)s->table_mask + 1);
            return vertex_for(s, key);
        }
    }
    uint32_t vertex = (uint32_t)s->vertex_count++;
    s->keys[vertex] = key;
    s->table[at] = tag | (uint64_t)(vertex + 1);
    // Keep the table at most half full; it doubles inside its reserve.
    int64_t slots = (int64_t)s->table_mask + 1;
    if (s->vertex_count * 2 > slots && slots * 2 <= s->table_limit) table_rebuild(s, slots * 2);
    return vertex;
}

static void emit_face(BuildState* s, int64_t corner_count) {
    int32_t material = s->current_material;
    if (s->run_count == 0 || s->runs[s->run_count - 1].material != material) {
        if (s->run_count >= s->run_capacity) {
            s->dropped_faces++;   // cannot happen: runs start only at "usemtl"
            return;
        }
        s->runs[s->run_count++] =
            MaterialRun{material, (uint32_t)s->index_count, 0, (uint32_t)s->vertex_count, 0};
    }
    MaterialRun* run = &s->runs[s->run_count - 1];
    uint32_t vertices[3];
    for (int64_t i = 0; i < corner_count; i++) s->face[i].material = (uint32_t)material;
    // Fan around the first corner; each corner is merged in file order,
    // which is the order of first use in the triangle list as well.
    uint32_t first = vertex_for(s, s->face[0]);
    uint32_t previous = vertex_for(s, s->face[1]);
    for (int64_t i = 2; i < corner_count; i++) {
        uint32_t next = vertex_for(s, s->face[i]);
        vertices[0] = first;
        vertices[1] = previous;
        vertices[2] = next;
        std::memcpy(s->indices + s->index_count, vertices, sizeof(vertices));
        s->index_count += 3;
        previous = next;
    }
    run->index_count = (uint32_t)(s->index_count - run->first_index);
    run->vertex_count = (uint32_t)(s->vertex_count - run->first_vertex);
}

static void read_face(BuildState* s, Line line) {
    int64_t count = 0;
    bool valid = true;
    while (true) {
        skip_blanks(&line);
        if (at_field_end(line)) break;
        if (count >= s->totals.max_corners) {
            valid = false;
            break;
        }
        if (!read_corner(&line, s->totals, s->position_count, s->uv_count, s->normal_count, &s->face[count])) valid = false;
        count++;
    }
    if (count < 3 || !valid) {
        s->dropped_faces++;
        return;
    }
    if (s->index_count + (count - 2) * 3 > s->index_capacity || s->vertex_count + count > s->key_capacity) {
        s->dropped_faces++;
        return;
    }
    emit_face(s, count);
}

static void library_parse(BuildState* s, String text) {
    int64_t before = s->material_count;
    mtl_parse(text, s->materials, s->material_capacity, &s->material_count);
    for (int64_t i = before; i < s->material_count; i++) {
        s->ranges[i] = MaterialRange{};
        s->ranges[i].material_name = s->materials[i].name;
    }
}

static void read_libraries(BuildState* s, String rest, const BuildOptions& options) {
    if (!options.read_libraries) {
        library_parse(s, options.library_text);
        return;
    }
    libraries_visit(rest, options.directory, [s, &options](String name, FileHandle* file) {
        if (!file) {
            format_print(S("failed to load material: %. (path %.)\n"),
                         {fmt_string(name), fmt_string(options.directory)});
            return;
        }
        String text{nullptr, 0};
        int64_t size = file_size(*file);
        uint8_t* bytes = size > 0 ? static_cast<uint8_t*>(scratch_alloc(s->arena, size)) : nullptr;
        if (bytes && file_read(*file, size, bytes) == size) text = String{bytes, size};
        library_parse(s, text);
    });
}

static void use_material(BuildState* s, String name) {
    if (s->current_material >= 0 && string_equal(s->materials[s->current_material].name, name)) return;
    for (int64_t i = 0; i < s->material_count; i++) {
        if (string_equal(s->materials[i].name, name)) {
            s->current_material = (int32_t)i;
            return;
        }
    }
    format_print(S("failed to find material %.\n"), {fmt_string(name)});
}

static void obj_read(BuildState* s, String text, const BuildOptions& options) {
    const uint8_t* cursor = text.data;
    const uint8_t* end = text.data + text.length;
    Line line;
    while (next_line(&cursor, end, &line)) {
        switch (classify(&line)) {
        case LINE_V: {
            bool present;
            Vec3 p;
            p.x = (float)read_float(&line, &present);
            p.y = (float)read_float(&line, &present);
            p.z = (float)read_float(&line, &present);
            if (s->position_count < s->totals.positions) s->positions[s->position_count++] = p;
            break;
        }
        case LINE_VT: {
            bool present;
            Vec2 t;
            t.x = (float)read_float(&line, &present);
            t.y = (float)read_float(&line, &present);
            if (s->uv_count < s->totals.uvs) s->uvs[s->uv_count++] = t;
            break;
        }
        case LINE_VN:
            // Normals are not uploaded; only their count matters for indices.
            s->normal_count++;
            break;
        case LINE_F: read_face(s, line); break;
        case LINE_O:
            if (s->current_material >= 0) s->ranges[s->current_material].object_name = rest_as_name(line);
            break;
        case LINE_MTLLIB: read_libraries(s, rest_as_name(line), options); break;
        case LINE_USEMTL: use_material(s, rest_as_name(line)); break;
        default: break;
        }
    }
}

// ---------------------------------------------------------------------------
// Ranges. A material used in several separate runs of faces would otherwise
// keep only its last run and lose the rest from every draw; such meshes get
// their triangles regrouped by material (stable, faces without a material
// first), so that each material's range covers all of its faces. Vertices
// keep their numbers.

static bool build_ranges(BuildState* s) {
    bool regroup = false;
    int64_t* seen = scratch_array<int64_t>(s->arena, s->material_count + 1);
    if (!seen) return false;
    std::memset(seen, 0, (size_t)(s->material_count + 1) * sizeof(int64_t));
    for (int64_t r = 0; r < s->run_count; r++) {
        int32_t m = s->runs[r].material;
        if (m >= 0 && seen[m]++ > 0) regroup = true;
    }
    if (!regroup) {
        // Only faces before the first material have none, so they are run 0.
        if (s->run_count > 0 && s->runs[0].material < 0) s->default_index_count = s->runs[0].index_count;
        for (int64_t r = 0; r < s->run_count; r++) {
            const MaterialRun& run = s->runs[r];
            if (run.material < 0) continue;
            MaterialRange* range = &s->ranges[run.material];
            range->first_vertex = run.first_vertex;
            range->first_index = run.first_index;
            range->vertex_count = run.vertex_count;
            range->index_count = run.index_count;
        }
        return true;
    }
    uint32_t* grouped = scratch_array<uint32_t>(s->arena, s->index_count);
    if (!grouped && s->index_count > 0) return false;
    int64_t out = 0;
    for (int32_t m = -1; m < (int32_t)s->material_count; m++) {
        int64_t start = out;
        bool first = true;
        uint32_t vertex_total = 0;
        for (int64_t r = 0; r < s->run_count; r++) {
            const MaterialRun& run = s->runs[r];
            if (run.material != m) continue;
            std::memcpy(grouped + out, s->indices + run.first_index, (size_t)run.index_count * 4);
            out += run.index_count;
            if (m >= 0 && first) s->ranges[m].first_vertex = run.first_vertex;
            first = false;
            vertex_total += run.vertex_count;
        }
        if (m < 0) s->default_index_count = out;
        if (m >= 0 && !first) {
            s->ranges[m].first_index = (uint32_t)start;
            s->ranges[m].index_count = (uint32_t)(out - start);
            s->ranges[m].vertex_count = vertex_total;
        }
    }
    s->indices = grouped;
    return true;
}

// ---------------------------------------------------------------------------
// Build

static bool build_into(MeshBuild* build, ScratchArena* arena, String text, const ObjCounts& counts,
                       const BuildOptions& options) {
    BuildState s{};
    s.arena = arena;
    s.totals = counts;
    int64_t table_slots = 16;
    while (table_slots < counts.corners * 2) table_slots *= 2;
    s.positions = scratch_array<Vec3>(arena, counts.positions);
    s.uvs = scratch_array<Vec2>(arena, counts.uvs);
    s.index_capacity = counts.triangles * 3;
    s.indices = scratch_array<uint32_t>(arena, s.index_capacity);
    s.key_capacity = counts.corners;
    s.keys = scratch_array<CornerKey>(arena, s.key_capacity);
    s.table = scratch_array<uint64_t>(arena, table_slots);
    s.table_limit = table_slots;
    s.face = scratch_array<CornerKey>(arena, counts.max_corners);
    s.run_capacity = counts.usemtl_lines + 1;
    s.runs = scratch_array<MaterialRun>(arena, s.run_capacity);
    s.material_capacity = counts.material_bound;
    s.materials = scratch_array<ParsedMaterial>(arena, s.material_capacity);
    s.ranges = scratch_array<MaterialRange>(arena, s.material_capacity);
    s.current_material = -1;
    if (!s.positions || !s.uvs || !s.indices || !s.keys || !s.table || !s.face || !s.runs || !s.materials || !s.ranges)
        return false;
    // Most meshes have about as many vertices as positions or texture
    // coordinates; start there and double when needed, touching only the
    // part of the reserve in use.
    int64_t start_slots = 1024;
    int64_t expected = counts.positions > counts.uvs ? counts.positions : counts.uvs;
    while (start_slots < expected * 2 && start_slots < table_slots) start_slots *= 2;
    if (start_slots > table_slots) start_slots = table_slots;
    table_rebuild(&s, start_slots);

    obj_read(&s, text, options);
    if (!build_ranges(&s)) return false;

    MeshVertex* vertices = scratch_array<MeshVertex>(arena, s.vertex_count);
    if (!vertices) return false;
    Vec3 low{0, 0, 0}, high{0, 0, 0};
    for (int64_t i = 0; i < s.vertex_count; i++) {
        const CornerKey& key = s.keys[i];
        MeshVertex& v = vertices[i];
        v.position = s.positions[key.position];
        v.color = Vec4{1, 1, 1, 1};
        v.uv = key.uv == INDEX_NONE ? Vec2{0, 0} : s.uvs[key.uv];
        if (v.position.x < low.x) low.x = v.position.x;
        if (v.position.y < low.y) low.y = v.position.y;
        if (v.position.z < low.z) low.z = v.position.z;
        if (v.position.x > high.x) high.x = v.position.x;
        if (v.position.y > high.y) high.y = v.position.y;
        if (v.position.z > high.z) high.z = v.position.z;
    }
    build->vertices = vertices;
    build->vertex_count = s.vertex_count;
    build->indices = s.indices;
    build->index_count = s.index_count;
    build->materials = s.materials;
    build->ranges = s.ranges;
    build->material_count = s.material_count;
    build->bounds_min = low;
    build->bounds_max = high;
    build->dropped_faces = s.dropped_faces;
    build->default_index_count = s.default_index_count;
    return true;
}

static void report_dropped(const MeshBuild* build, String path) {
    if (build->dropped_faces > 0) {
        format_print(S("skipped %. faces of %. (corner index out of range or fewer than three corners)\n"),
                     {fmt_int(build->dropped_faces), fmt_string(path)});
    }
}

bool mesh_build(MeshBuild* build, ScratchArena* arena, String text, String obj_path, bool read_libraries,
                String library_text) {
    *build = MeshBuild{};
    *arena = ScratchArena{};
    BuildOptions options{directory_of(obj_path), read_libraries, library_text};
    ObjCounts counts;
    obj_count(text, options, &counts);
    int64_t bytes = build_bytes(counts);
    build->bytes_needed = bytes;
    if (bytes < 0 || !scratch_create(arena, bytes) || !build_into(build, arena, text, counts, options)) {
        build->out_of_memory = true;
        return false;
    }
    report_dropped(build, obj_path);
    return true;
}

int32_t mesh_build_file(MeshBuild* build, ScratchArena* arena, String path) {
    *build = MeshBuild{};
    *arena = ScratchArena{};
    FileHandle file = file_open(&path, FILE_READ);
    if (file_failed(file)) {
        file_close(file);
        return 1;
    }
    int64_t size = file_size(file);
    if (size < 0) size = 0;
    // The file's bytes first; the block grows once the counting pass knows
    // the model's size (the text is addressed by offset across the move).
    if (!scratch_create(arena, size + 16) || (size > 0 && !scratch_alloc(arena, size))) {
        file_close(file);
        build->out_of_memory = true;
        build->bytes_needed = size;
        return 2;
    }
    int64_t got = size > 0 ? file_read(file, size, arena->base) : 0;
    file_close(file);
    if (got < 0) got = 0;
    BuildOptions options{directory_of(path), true, String{nullptr, 0}};
    ObjCounts counts;
    obj_count(String{arena->base, got}, options, &counts);
    int64_t bytes = build_bytes(counts);
    build->bytes_needed = bytes < 0 ? -1 : size + bytes;
    if (bytes < 0 || !scratch_resize(arena, size + bytes) ||
        !build_into(build, arena, String{arena->base, got}, counts, options)) {
        build->out_of_memory = true;
        return 2;
    }
    report_dropped(build, path);
    return 0;
}

// ---------------------------------------------------------------------------
// Import and upload

static void mesh_upload(Mesh* mesh, const MeshBuild* build) {
    mesh->vertex_array = vertex_array_create();
    mesh->vertex_buffer = buffer_create();
    mesh->index_buffer = buffer_create();
    vertex_array_bind(mesh->vertex_array);
    buffer_bind(0, mesh->vertex_buffer);
    attribute_enable(0, true);
    attribute_format(0, 3, 6, false, 36, 0);
    attribute_enable(1, true);
    attribute_format(1, 4, 6, false, 36, 12);
    attribute_enable(2, true);
    attribute_format(2, 2, 6, false, 36, 28);
    buffer_data(0, build->vertex_count * 36, build->vertices, 0);
    buffer_bind(1, mesh->index_buffer);
    buffer_data(1, build->index_count * 4, build->indices, 0);
    vertex_array_unbind();
}

// The materials and ranges that drawing reads, in the persistent pool.
static bool mesh_keep(Mesh* mesh, const MeshBuild* build) {
    int64_t count = build->material_count;
    Material* materials = pool_alloc_array<Material>(POOL_PERSISTENT, count);
    MaterialRange* ranges = pool_alloc_array<MaterialRange>(POOL_PERSISTENT, count);
    if (count > 0 && (!materials || !ranges)) return false;
    for (int64_t i = 0; i < count; i++) {
        const ParsedMaterial& parsed = build->materials[i];
        MaterialRange range = build->ranges[i];
        range.object_name = string_copy(range.object_name);
        range.material_name = string_copy(range.material_name);
        ranges[i] = range;
        Material material{};
        // The renderer turns every color linear when it draws; the material
        // keeps "Kd" as written so that the 2.2 power applies once.
        material.color = parsed.diffuse_raw;
        material.texture_name = string_copy(parsed.diffuse_map);
        material.texture = texture_find(material.texture_name);
        material.uv_rect = Vec4{0, 0, 1, 1};
        materials[i] = material;
        if ((range.object_name.length > 0 && !range.object_name.data) ||
            (range.material_name.length > 0 && !range.material_name.data) ||
            (material.texture_name.length > 0 && !material.texture_name.data))
            return false;
    }
    mesh->materials = materials;
    mesh->material_count = count;
    mesh->ranges = ranges;
    mesh->range_count = count;
    mesh->vertex_count = build->vertex_count;
    mesh->index_count = build->index_count;
    mesh->default_index_count = build->default_index_count;
    mesh->vertices = nullptr;
    mesh->indices = nullptr;
    mesh->bounds_min = build->bounds_min;
    mesh->bounds_max = build->bounds_max;
    return true;
}

bool mesh_import(Mesh* mesh, String path) {
    MeshBuild build;
    ScratchArena arena;
    int32_t status = mesh_build_file(&build, &arena, path);
    if (status == 1) return false;
    if (status == 2) {
        scratch_release(&arena);
        if (build.bytes_needed < 0) {
            format_print(S("mesh too large: %. (more than 4 billion corners)\n"), {fmt_string(path)});
        } else {
            format_print(S("not enough memory for mesh: %. (%. MB needed)\n"),
                         {fmt_string(path), fmt_int(build.bytes_needed >> 20)});
        }
        return false;
    }
    PoolMark mark = pool_mark(POOL_PERSISTENT);
    Mesh kept = *mesh;
    if (!mesh_keep(&kept, &build)) {
        pool_restore(mark);
        scratch_release(&arena);
        format_print(S("not enough memory for mesh: %. (persistent pool full)\n"), {fmt_string(path)});
        return false;
    }
    mesh_upload(&kept, &build);
    scratch_release(&arena);
    *mesh = kept;
    return true;
}

bool mesh_load_builtin(Mesh* slot, String path) {
    *slot = Mesh{};
    bool ok = mesh_import(slot, path);
    if (!ok) format_print(S("failed to load mesh: %.\n"), {fmt_string(path)});
    array_push(&editor.assets.meshes, slot);
    return ok;
}

void builtin_meshes_load() {
    static const String paths[BUILTIN_COUNT] = {S("models/arrow.obj"), S("models/cylinder.obj"), S("models/cube.obj"),
                                                S("models/torus.obj"), S("models/sphere.obj")};
    for (int32_t i = 0; i < BUILTIN_COUNT; i++) mesh_load_builtin(&editor.assets.builtin[i], paths[i]);
}

void meshes_release() {
    AssetState* assets = &editor.assets;
    for (int64_t i = 0; i < assets->meshes.count; i++) {
        Mesh* mesh = assets->meshes.data[i];
        if (mesh->vertex_buffer) buffer_destroy(mesh->vertex_buffer);
        if (mesh->index_buffer) buffer_destroy(mesh->index_buffer);
        if (mesh->vertex_array) vertex_array_destroy(mesh->vertex_array);
        mesh->vertex_buffer = mesh->index_buffer = mesh->vertex_array = 0;
    }
    assets->meshes.count = 0;
    map_clear(&assets->mesh_map);
}
