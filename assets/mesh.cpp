// OBJ/MTL import: reads the file in blocks and parses it in one pass into
// arrays that grow, merges identical corners (first vertex of a position
// directly, the rest through a hash table), uploads one vertex and one index
// buffer and keeps only the materials, ranges and bounds. Relies on core/
// (pools, formatter, scan_float) and the platform's file, math and buffer
// calls.
//
// Sections: scratch memory, text scanning, MTL, OBJ pass, ranges, build,
// import and upload.
#include "assets/mesh.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Scratch memory. Every array of a build grows as the text is read (there is
// no counting pass), each in a mapping of its own that grows in place or is
// moved by the kernel without copying, and only the pages written become
// resident. Small records that others point into (library texts, copied
// names) come from bump blocks that never move. Under AddressSanitizer the
// C allocator is used instead, so that reads past an array are caught.

#if defined(__SANITIZE_ADDRESS__)
#define MESH_PLAIN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MESH_PLAIN_ALLOCATOR 1
#endif
#endif
#if !defined(MESH_PLAIN_ALLOCATOR) && !defined(__linux__)
#define MESH_PLAIN_ALLOCATOR 1
#endif

static constexpr int64_t PAGE = 4096;
static constexpr int64_t LARGE_PAGE = 2 << 20;

static int64_t page_round(int64_t bytes) { return (bytes + PAGE - 1) & ~(PAGE - 1); }

static uint8_t* span_map(int64_t bytes) {
#if MESH_PLAIN_ALLOCATOR
    return static_cast<uint8_t*>(std::malloc((size_t)bytes));
#else
    void* at = mmap(nullptr, (size_t)bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) return nullptr;
    // Large arrays are written once front to back; large pages cut the
    // first-touch faults, which otherwise cost a good part of an import.
    if (bytes >= LARGE_PAGE) madvise(at, (size_t)bytes, MADV_HUGEPAGE);
    return static_cast<uint8_t*>(at);
#endif
}

static uint8_t* span_remap(uint8_t* base, int64_t old_bytes, int64_t bytes) {
#if MESH_PLAIN_ALLOCATOR
    (void)old_bytes;
    return static_cast<uint8_t*>(std::realloc(base, (size_t)bytes));
#else
    void* at = mremap(base, (size_t)old_bytes, (size_t)bytes, MREMAP_MAYMOVE);
    if (at == MAP_FAILED) return nullptr;
    if (bytes >= LARGE_PAGE) madvise(at, (size_t)bytes, MADV_HUGEPAGE);
    return static_cast<uint8_t*>(at);
#endif
}

static void span_unmap(uint8_t* base, int64_t bytes) {
    if (!base) return;
#if MESH_PLAIN_ALLOCATOR
    (void)bytes;
    std::free(base);
#else
    munmap(base, (size_t)bytes);
#endif
}

// Spans given back by earlier imports (and by this one, once an array is no
// longer needed) stay mapped for the next: writing fresh pages costs a fault
// and a cleared page each, a good part of a large import. Meshes are only
// imported in one burst while the editor loads, and mesh_scratch_trim, which
// the editor calls once that is done, unmaps them; so they are kept as they
// are, not marked free (the kernel takes marked pages back at once, and the
// next import faults them in again).
#if !MESH_PLAIN_ALLOCATOR
static ScratchSpan retained[SCRATCH_SPANS];
static constexpr int64_t RETAIN_LIMIT = (int64_t)512 << 20;
#endif

// Each array goes back to its own slot, where the next import's array of
// the same kind, of much the same size, finds it.
static void span_give_back(int32_t slot, ScratchSpan span) {
    if (!span.base) return;
#if !MESH_PLAIN_ALLOCATOR
    int64_t total = span.capacity;
    for (const ScratchSpan& kept : retained) total += kept.capacity;
    if (!retained[slot].base && total <= RETAIN_LIMIT) {
        retained[slot] = span;
        return;
    }
#endif
    (void)slot;
    span_unmap(span.base, span.capacity);
}

void mesh_scratch_trim() {
#if !MESH_PLAIN_ALLOCATOR
    for (ScratchSpan& span : retained) {
        span_unmap(span.base, span.capacity);
        span = ScratchSpan{};
    }
#endif
}

static ScratchSpan span_take(int32_t slot) {
#if !MESH_PLAIN_ALLOCATOR
    ScratchSpan span = retained[slot];
    retained[slot] = ScratchSpan{};
    return span;
#else
    (void)slot;
    return ScratchSpan{};
#endif
}

// Makes span `slot` hold at least `bytes` (doubling); its contents move with
// it. False when the machine refuses; the span is then unchanged.
static bool scratch_grow(ScratchArena* arena, int32_t slot, int64_t bytes) {
    ScratchSpan& span = arena->spans[slot];
    if (bytes <= span.capacity) return true;
    if (bytes < 0 || (uint64_t)bytes > (uint64_t)SIZE_MAX / 4) return false;
    if (!span.base) {
        span = span_take(slot);
        if (bytes <= span.capacity) return true;
    }
    int64_t capacity = span.capacity > 0 ? span.capacity : (arena->large_start >> slot) & 1 ? LARGE_PAGE : PAGE;
    while (capacity < bytes) capacity *= 2;
    capacity = page_round(capacity);
    uint8_t* base = span.base ? span_remap(span.base, span.capacity, capacity) : span_map(capacity);
    if (!base) {
        arena->bytes_refused = capacity;
        return false;
    }
    span.base = base;
    span.capacity = capacity;
    return true;
}

static void scratch_drop(ScratchArena* arena, int32_t slot) {
    span_give_back(slot, arena->spans[slot]);
    arena->spans[slot] = ScratchSpan{};
}

// Bump allocation, 16-byte aligned, from blocks that never move.
static void* scratch_alloc(ScratchArena* arena, int64_t size) {
    if (size < 0 || (uint64_t)size > (uint64_t)SIZE_MAX / 4) return nullptr;
    ScratchSpan* block = arena->bump_count > 0 ? &arena->bump[arena->bump_count - 1] : nullptr;
    int64_t start = (arena->bump_used + 15) & ~(int64_t)15;
    if (!block || start > block->capacity || size > block->capacity - start) {
        if (arena->bump_count >= SCRATCH_BUMP_BLOCKS) return nullptr;
        // Each block twice the last, so a file with a great many names
        // never runs out of blocks.
        int64_t grown = (int64_t)65536 << (arena->bump_count < 20 ? arena->bump_count : 20);
        int64_t capacity = page_round(size > grown ? size : grown);
        uint8_t* base = span_map(capacity);
        if (!base) {
            arena->bytes_refused = capacity;
            return nullptr;
        }
        block = &arena->bump[arena->bump_count++];
        *block = ScratchSpan{base, capacity};
        start = 0;
    }
    arena->bump_used = start + size;
    return block->base + start;
}

void scratch_release(ScratchArena* arena) {
    for (int32_t slot = 0; slot < SCRATCH_SPANS; slot++) span_give_back(slot, arena->spans[slot]);
    for (int32_t i = 0; i < arena->bump_count; i++) span_unmap(arena->bump[i].base, arena->bump[i].capacity);
    *arena = ScratchArena{};
}

// ---------------------------------------------------------------------------
// Text scanning. Files from real exporters separate fields by tabs or runs
// of spaces, indent keywords, end lines with CR LF and put "#" comments after
// values; all of that is read here the way the exporter meant it.

static inline bool is_blank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

struct Line {
    const uint8_t* at;    // read position inside the line
    const uint8_t* end;   // line end, without the line feed and a CR before it
    // End of the text the line lies in (null: unknown). When the line ends
    // before it, the byte at `end` is the line feed or CR, which stops every
    // run of digits, so digit loops need no bounds check.
    const uint8_t* text_end;
};

// The next line of [*cursor, end); false at the end of the data.
static inline bool next_line(const uint8_t** cursor, const uint8_t* end, Line* line) {
    const uint8_t* start = *cursor;
    if (start >= end) return false;
    const uint8_t* feed = static_cast<const uint8_t*>(std::memchr(start, '\n', (size_t)(end - start)));
    const uint8_t* stop = feed ? feed : end;
    *cursor = feed ? feed + 1 : end;
    if (stop > start && stop[-1] == '\r') stop--;
    *line = Line{start, stop, end};
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

// A run of decimal digits from `p`: appends them to *value (which wraps past
// 19 digits; callers check the count) and returns how many there were.
// `text_end` as in Line.
static inline int64_t digit_run(const uint8_t* p, const uint8_t* end, const uint8_t* text_end, uint64_t* value) {
    const uint8_t* start = p;
    uint64_t v = *value;
    if (end < text_end) {
        for (uint32_t digit; (digit = (uint32_t)*p - '0') <= 9; p++) v = v * 10 + digit;
    } else {
        while (p < end && (unsigned)(*p - '0') <= 9) v = v * 10 + (uint64_t)(*p++ - '0');
    }
    *value = v;
    return p - start;
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

// The same field as read_float, faster for the short decimals that make up
// nearly every OBJ file ("-0.123456"): with at most 19 digits, no exponent
// and at most 22 after the point, the digits as an integer divided by an
// exactly representable power of ten is one correctly rounded operation,
// the very one scan_float performs for such a text. Anything else goes to
// read_float.
static constexpr double DECIMAL_POWERS[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

static inline double read_decimal(Line* line, bool* present) {
    skip_blanks(line);
    const uint8_t* p = line->at;
    const uint8_t* end = line->end;
    bool negative = p < end && *p == '-';
    p += negative;
    uint64_t mantissa = 0;
    int64_t whole = digit_run(p, end, line->text_end, &mantissa), fraction = 0;
    p += whole;
    if (p < end && *p == '.') {
        p++;
        fraction = digit_run(p, end, line->text_end, &mantissa);
        p += fraction;
    }
    int64_t digits = whole + fraction;
    if (digits == 0 || digits > 19 || fraction > 22 || mantissa > (1ull << 53) || (p < end && !is_blank(*p)))
        return read_float(line, present);
    line->at = p;
    *present = true;
    double value = (double)(int64_t)mantissa / DECIMAL_POWERS[fraction];   // exact: at most 2^53
    return negative ? -value : value;
}

// The numbers of a "v" and a "vt" line; a missing one reads as 0.
static inline Vec3 read_position(Line* line) {
    bool present;
    double x = read_decimal(line, &present);
    double y = read_decimal(line, &present);
    double z = read_decimal(line, &present);
    return Vec3{(float)x, (float)y, (float)z};
}

static inline Vec2 read_uv(Line* line) {
    bool present;
    double x = read_decimal(line, &present);
    double y = read_decimal(line, &present);
    return Vec2{(float)x, (float)y};
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
// OBJ: one pass over the text; every array grows as it fills.

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
    Line fields{rest.data, rest.data + rest.length, nullptr};
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

struct CornerKey {             // the four values that make a vertex distinct
    uint32_t position, normal, uv, material;
};

struct MaterialRun {
    int32_t material;
    uint32_t first_index, index_count;
    uint32_t first_vertex, vertex_count;
};

// The spans of one build (ScratchArena::spans).
enum : int32_t {
    SPAN_TEXT,        // the file's text, read in blocks
    SPAN_POSITIONS,
    SPAN_UVS,
    SPAN_INDICES,
    SPAN_KEYS,        // one per vertex; at the end the vertices, in place
    SPAN_TABLE,
    SPAN_SEAMS,       // the vertices in the table, in the order they came
    SPAN_FACE,
    SPAN_RUNS,
    SPAN_MATERIALS,
    SPAN_RANGES,
    SPAN_CONSOLE,
    SPAN_GROUPED,     // indices regrouped by material
    SPAN_HEADS,       // first vertex of each position
    // The second thread's arrays (see "The tail of a large file").
    SPAN_TAIL_TEXT,
    SPAN_TAIL_POSITIONS,
    SPAN_TAIL_UVS,
    SPAN_TAIL_STREAM,
    SPAN_TAIL_NAMES,
    SPAN_END,
};
static_assert((int32_t)SPAN_END <= (int32_t)SCRATCH_SPANS && (int32_t)SCRATCH_SPANS <= 32);

// The arrays that grow with the file pass 2 MB in a large input anyway;
// mapping each that large from the start puts it on large pages at once,
// instead of faulting its first 2 MB in 512 small pages (each fault is dear
// under a hypervisor). Small arrays stay small: a large page would be
// resident whole for a few bytes.
static constexpr int64_t LARGE_INPUT = 8 << 20;
static void scratch_size_for(ScratchArena* arena, int64_t input_bytes) {
    constexpr uint32_t bulk = 1u << SPAN_POSITIONS | 1u << SPAN_UVS | 1u << SPAN_INDICES | 1u << SPAN_KEYS |
                              1u << SPAN_HEADS | 1u << SPAN_TAIL_POSITIONS | 1u << SPAN_TAIL_UVS | 1u << SPAN_TAIL_STREAM;
    arena->large_start = input_bytes >= LARGE_INPUT ? bulk : 0;
}

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

static constexpr uint32_t INDEX_NONE = UINT32_MAX;         // no texture coordinate or normal
static constexpr uint32_t INDEX_INVALID = UINT32_MAX - 1;  // out of range
static constexpr int64_t INDEX_LIMIT = UINT32_MAX - 2;     // no list is ever this long

// ---------------------------------------------------------------------------
// Plain lines. Nearly every line of a large file is "v x y z", "vt u v",
// "vn ..." or "f a/b/c ..." with single spaces, short decimals and positive
// indices. Those are read straight from the text, without finding the line
// end first and without bounds checks; a line of any other form
// (indentation, tabs, a comment, an exponent, a negative or zero index, a
// trailing blank, extra values) is left to the general reading from its
// start, so the result is the same either way. The text must end in a line
// feed: no loop here reads past one, so no byte past the text is read.

// A short decimal as read_decimal takes it, followed by a space (`last`
// false) or the line end (true). Null when the field is not of that form;
// else the first byte after the space or line feed.
static inline const uint8_t* plain_decimal(const uint8_t* p, bool last, float* out) {
    bool negative = *p == '-';
    p += negative;
    const uint8_t* start = p;
    uint64_t mantissa = 0;
    for (uint32_t digit; (digit = (uint32_t)*p - '0') <= 9; p++) mantissa = mantissa * 10 + digit;
    int64_t whole = p - start, fraction = 0;
    if (*p == '.') {
        const uint8_t* point = ++p;
        for (uint32_t digit; (digit = (uint32_t)*p - '0') <= 9; p++) mantissa = mantissa * 10 + digit;
        fraction = p - point;
    }
    int64_t digits = whole + fraction;
    if (digits == 0 || digits > 19 || fraction > 22 || mantissa > (1ull << 53)) return nullptr;
    double value = (double)(int64_t)mantissa / DECIMAL_POWERS[fraction];
    *out = (float)(negative ? -value : value);
    if (!last) return *p == ' ' ? p + 1 : nullptr;
    if (*p == '\n') return p + 1;
    return *p == '\r' && p[1] == '\n' ? p + 2 : nullptr;
}

static constexpr int64_t PLAIN_CORNERS = 16;

// One index field of a plain face: 1 to 9 digits, not 0. Gives the value
// minus one (an index into the list).
static inline const uint8_t* plain_index(const uint8_t* p, uint32_t* out) {
    const uint8_t* start = p;
    uint32_t value = 0;
    for (uint32_t digit; (digit = (uint32_t)*p - '0') <= 9; p++) value = value * 10 + digit;
    if (p == start || p - start > 9 || value == 0) return nullptr;
    *out = value - 1;
    return p;
}

// The corners of a plain face line from `p` (just past "f "), three words
// each: position, texture coordinate and normal as list indices, INDEX_NONE
// for a field the corner does not have. At most PLAIN_CORNERS corners.
static inline const uint8_t* plain_corners(const uint8_t* p, uint32_t* words, int64_t* count) {
    int64_t n = 0;
    while (true) {
        if (n == PLAIN_CORNERS) return nullptr;
        uint32_t* corner = words + 3 * n++;
        corner[1] = corner[2] = INDEX_NONE;
        if (!(p = plain_index(p, &corner[0]))) return nullptr;
        if (*p == '/') {
            if (p[1] == '/') {
                if (!(p = plain_index(p + 2, &corner[2]))) return nullptr;
            } else {
                if (!(p = plain_index(p + 1, &corner[1]))) return nullptr;
                if (*p == '/' && !(p = plain_index(p + 1, &corner[2]))) return nullptr;
            }
        }
        if (*p == ' ') {
            p++;
            continue;
        }
        *count = n;
        if (*p == '\n') return p + 1;
        return *p == '\r' && p[1] == '\n' ? p + 2 : nullptr;
    }
}

// One plain line as read: its kind, what it holds, and the byte after it.
struct PlainLine {
    LineKind kind;               // LINE_V, LINE_VT, LINE_VN or LINE_F
    const uint8_t* next;
    Vec3 position;               // "v"
    Vec2 uv;                     // "vt"
    int64_t count;               // "f": corners, three words each
    uint32_t words[3 * PLAIN_CORNERS];
};

// Reads the plain line at `p`; `end` lies just past a line feed. False when
// the line is for the general reading.
static inline bool plain_read(const uint8_t* p, const uint8_t* end, PlainLine* line) {
    const uint8_t* q;
    if (p[0] == 'f') {
        if (p[1] != ' ' || !(q = plain_corners(p + 2, line->words, &line->count))) return false;
        line->kind = LINE_F;
    } else if (p[0] != 'v') {
        return false;
    } else if (p[1] == ' ') {
        Vec3& v = line->position;
        if (!(q = plain_decimal(p + 2, false, &v.x)) || !(q = plain_decimal(q, false, &v.y)) ||
            !(q = plain_decimal(q, true, &v.z)))
            return false;
        line->kind = LINE_V;
    } else if ((p[1] != 't' && p[1] != 'n') || p[2] != ' ') {
        return false;
    } else if (p[1] == 't') {
        if (!(q = plain_decimal(p + 3, false, &line->uv.x)) || !(q = plain_decimal(q, true, &line->uv.y))) return false;
        line->kind = LINE_VT;
    } else {
        // Normals are not read, only counted.
        q = static_cast<const uint8_t*>(std::memchr(p + 3, '\n', (size_t)(end - p - 3))) + 1;
        line->kind = LINE_VN;
    }
    line->next = q;
    return true;
}

bool mesh_plain_reading = true;

// Where plain reading of `text` must stop: just past its last line feed.
static inline const uint8_t* plain_end(String text) {
    if (!mesh_plain_reading) return text.data;
    const void* feed = text.length > 0 ? memrchr(text.data, '\n', (size_t)text.length) : nullptr;
    return feed ? static_cast<const uint8_t*>(feed) + 1 : text.data;
}

// An index is valid when it is below the final length of its list. The
// first pass does not know the final lengths, so it takes every index below
// INDEX_LIMIT and remembers the highest; only a file whose highest index
// turns out past its list is read a second time with the lengths known
// (forward references that are in range need no second pass).
struct IndexLimits {
    int64_t positions, uvs, normals;
};

struct BuildState {
    ScratchArena* arena;
    BuildOptions options;
    IndexLimits limits;
    int64_t highest_position, highest_uv, highest_normal;   // largest index taken + 1
    Vec3* positions;
    int64_t position_count, position_capacity;
    Vec2* uvs;
    int64_t uv_count, uv_capacity;
    int64_t normal_count;
    // The positions and texture coordinates the second thread read stay in
    // its arrays: from these numbers on the lists go on there (-1: they
    // do not).
    int64_t tail_positions_from, tail_uvs_from;
    uint32_t* indices;
    int64_t index_count, index_capacity;
    CornerKey* keys;             // one per vertex, in vertex order
    int64_t vertex_count, key_capacity;
    // Most positions make one vertex: the first vertex of each position is
    // found through `heads` without hashing; only the others (seams) go into
    // the table. A position past the heads' reach (a far forward reference)
    // puts its vertex in the table, and from then on an empty head is
    // checked against the table too.
    uint32_t* heads;
    int64_t head_count, head_capacity;
    bool table_has_uncovered;
    uint64_t* table;             // high half: hash bits, low half: vertex + 1
    int64_t table_count;
    uint64_t table_mask;         // slots - 1 (a power of two)
    // The vertices in the table (all that are not the head of their
    // position), so that growing the table enters them again without
    // looking at every vertex.
    uint32_t* seams;
    int64_t seam_capacity;
    uint32_t position_shift;     // local placement: slot = position << shift, plus a little
    bool scattered;              // placement by the whole hash
    CornerKey* face;             // corners of the face being read
    int64_t face_capacity;
    MaterialRun* runs;
    int64_t run_count, run_capacity;
    ParsedMaterial* materials;
    MaterialRange* ranges;
    int64_t material_count, material_capacity, range_capacity;
    int32_t current_material;
    int64_t dropped_faces;
    int64_t default_index_count;
    uint8_t* console;            // messages, printed once the build is final
    int64_t console_length, console_capacity;
    bool failed;                 // the machine refused memory
    bool too_large;              // past 32-bit vertex numbers or indices
};

// Makes room for `needed` elements in the array of span `slot`; the array
// may move. False (and the build failed) when the memory is refused.
template <typename State, typename T>
static bool array_room(State* s, int32_t slot, T** data, int64_t* capacity, int64_t needed) {
    if (needed <= *capacity) return true;
    if (s->failed || needed > INT64_MAX / 2 / (int64_t)sizeof(T) ||
        !scratch_grow(s->arena, slot, needed * (int64_t)sizeof(T))) {
        s->failed = true;
        return false;
    }
    *data = reinterpret_cast<T*>(s->arena->spans[slot].base);
    *capacity = s->arena->spans[slot].capacity / (int64_t)sizeof(T);
    return true;
}

static void console_add(BuildState* s, String text) {
    if (!array_room(s, SPAN_CONSOLE, &s->console, &s->console_capacity, s->console_length + text.length)) return;
    if (text.length > 0) std::memcpy(s->console + s->console_length, text.data, (size_t)text.length);
    s->console_length += text.length;
}

// The sign and digits of one index field; false when there are none. Past
// 2^40 the value only has to stay out of every list's range, so it stops
// growing there.
static inline bool index_digits(const uint8_t** at, const uint8_t* end, const uint8_t* text_end, bool* negative,
                                int64_t* value) {
    const uint8_t* p = *at;
    *negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        *negative = *p == '-';
        p++;
    }
    uint64_t digits = 0;
    int64_t count = digit_run(p, end, text_end, &digits);
    if (count == 0) return false;
    *value = (int64_t)digits;
    if (count > 12) {
        int64_t v = 0;
        for (int64_t i = 0; i < count; i++)
            if (v < ((int64_t)1 << 40)) v = v * 10 + (p[i] - '0');
        *value = v;
    }
    *at = p + count;
    return true;
}

// Reads one index field; false when it is not a number. An index in the
// file is 1-based, or negative: relative to the end of the list so far.
static inline bool read_index(const uint8_t** at, const uint8_t* end, const uint8_t* text_end, int64_t so_far,
                              int64_t limit, int64_t* highest, uint32_t* out) {
    bool negative;
    int64_t value;
    if (!index_digits(at, end, text_end, &negative, &value)) return false;
    int64_t index = negative ? so_far - value : value - 1;
    if (value == 0 || index < 0 || index >= limit) {
        *out = INDEX_INVALID;
    } else {
        *out = (uint32_t)index;
        if (index >= *highest) *highest = index + 1;
    }
    return true;
}

// One corner field "p", "p/t", "p//n" or "p/t/n". False when malformed or
// when the position is out of range. Real files name normals they never
// define (or whose "vn" lines were commented out); normals are not drawn, so
// such a normal is ignored, and a texture coordinate out of range reads as
// (0, 0), rather than losing the face.
// The fields of one corner, each read by read(&p, end, text_end, kind, out) with kind
// 0 for the position, 1 the texture coordinate and 2 the normal; the fields
// not there stay as they are. False when the corner is malformed.
template <typename Read>
static inline bool corner_fields(Line* line, uint32_t* position, uint32_t* uv, uint32_t* normal, Read&& read) {
    const uint8_t* p = line->at;
    const uint8_t* end = line->end;
    const uint8_t* text_end = line->text_end;
    bool ok = read(&p, end, text_end, 0, position);
    if (ok && p < end && *p == '/') {
        p++;
        if (p < end && *p == '/') {
            p++;
            ok = read(&p, end, text_end, 2, normal);
        } else {
            ok = read(&p, end, text_end, 1, uv);
            if (ok && p < end && *p == '/') {
                p++;
                ok = read(&p, end, text_end, 2, normal);
            }
        }
    }
    // The field must end here; skip whatever is left of a malformed one.
    if (ok && p < end && !is_blank(*p) && *p != '#') ok = false;
    while (p < end && !is_blank(*p) && *p != '#') p++;
    line->at = p;
    return ok;
}

static inline bool read_corner(BuildState* s, Line* line, CornerKey* key) {
    key->uv = INDEX_NONE;
    key->normal = INDEX_NONE;
    bool ok = corner_fields(line, &key->position, &key->uv, &key->normal,
                            [s](const uint8_t** at, const uint8_t* end, const uint8_t* text_end, int kind, uint32_t* out) {
                                if (kind == 0)
                                    return read_index(at, end, text_end, s->position_count, s->limits.positions,
                                                      &s->highest_position, out);
                                if (kind == 1)
                                    return read_index(at, end, text_end, s->uv_count, s->limits.uvs, &s->highest_uv, out);
                                return read_index(at, end, text_end, s->normal_count, s->limits.normals,
                                                  &s->highest_normal, out);
                            });
    if (key->uv == INDEX_INVALID) key->uv = INDEX_NONE;
    if (key->normal == INDEX_INVALID) key->normal = INDEX_NONE;
    return ok && key->position != INDEX_INVALID;
}

// Where a key's probe starts. Real meshes name positions in runs, so keys
// are first placed by their position index (neighbouring positions share
// cache lines); a file that piles many keys onto few positions makes long
// probes, and the table then switches for good to placement by the hash.
static inline uint64_t home_slot(const BuildState* s, const CornerKey& key, uint64_t hash) {
    if (s->scattered) return hash & s->table_mask;
    return (((uint64_t)key.position << s->position_shift) + (hash & 3)) & s->table_mask;
}

// Sizes the table to `slots` (a power of two) and enters every vertex that
// is not the head of its position again, in the order they came.
static bool table_rebuild(BuildState* s, int64_t slots) {
    if (!scratch_grow(s->arena, SPAN_TABLE, slots * (int64_t)sizeof(uint64_t))) {
        s->failed = true;
        return false;
    }
    s->table = reinterpret_cast<uint64_t*>(s->arena->spans[SPAN_TABLE].base);
    s->table_mask = (uint64_t)slots - 1;
    s->position_shift = 0;
    while (s->position_count > 0 && (s->position_count << (s->position_shift + 1)) <= slots) s->position_shift++;
    std::memset(s->table, 0, (size_t)slots * sizeof(uint64_t));
    for (int64_t i = 0; i < s->table_count; i++) {
        uint32_t vertex = s->seams[i];
        const CornerKey& key = s->keys[vertex];
        uint64_t h = corner_hash(key);
        uint64_t at = home_slot(s, key, h);
        while (s->table[at] != 0) at = (at + 1) & s->table_mask;
        s->table[at] = (h & 0xFFFFFFFF00000000ull) | (uint64_t)(vertex + 1);
    }
    return true;
}

static constexpr int64_t LOCAL_PROBE_LIMIT = 48;

// The vertex number of a corner: an earlier vertex with the same four
// values, else a new one. The caller has made room for one more key and
// table entry, and has extended the heads over the corner's position where
// that is allowed.
static uint32_t vertex_in_table(BuildState* s, const CornerKey& key);

static inline uint32_t vertex_for(BuildState* s, const CornerKey& key) {
    uint32_t position = key.position;
    if (position < s->head_count) {
        uint32_t head = s->heads[position];
        if (head != INDEX_NONE) {
            if (key_equal(s->keys[head], key)) return head;
        } else if (!s->table_has_uncovered) {
            uint32_t vertex = (uint32_t)s->vertex_count++;
            s->keys[vertex] = key;
            s->heads[position] = vertex;
            return vertex;
        }
    }
    return vertex_in_table(s, key);
}

// The rest of vertex_for, out of line: the heads answer nearly every corner
// of a real file, and the call would cost more than they do.
static __attribute__((noinline)) uint32_t vertex_in_table(BuildState* s, const CornerKey& key) {
    uint32_t position = key.position;
    bool covered = position < s->head_count;
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
            table_rebuild(s, (int64_t)s->table_mask + 1);   // same size: cannot fail
            return vertex_for(s, key);
        }
    }
    uint32_t vertex = (uint32_t)s->vertex_count++;
    s->keys[vertex] = key;
    if (covered && s->heads[position] == INDEX_NONE) {
        s->heads[position] = vertex;
        return vertex;
    }
    s->table[at] = tag | (uint64_t)(vertex + 1);
    s->seams[s->table_count++] = vertex;
    if (!covered) s->table_has_uncovered = true;
    return vertex;
}

// Heads reach every position read so far and a little past it (forward
// references); an absurd index stays out, so it cannot claim memory.
static constexpr int64_t HEADS_STEP = 16384;
static bool heads_extend(BuildState* s, int64_t position) {
    if (position < s->head_count || position >= s->position_count + ((int64_t)1 << 20)) return true;
    // Reaching a stretch ahead at a time keeps the per-face cost to a compare.
    int64_t count = position + 1;
    int64_t reach = s->position_count + ((int64_t)1 << 20);
    if (count < s->head_count + HEADS_STEP) count = s->head_count + HEADS_STEP < reach ? s->head_count + HEADS_STEP : reach;
    if (!array_room(s, SPAN_HEADS, &s->heads, &s->head_capacity, count)) return false;
    std::memset(s->heads + s->head_count, 0xFF, (size_t)(count - s->head_count) * sizeof(uint32_t));
    s->head_count = count;
    return true;
}

// The face in s->face; `highest` is the largest position among its corners,
// which every caller has already met while reading them.
static void emit_face(BuildState* s, int64_t corner_count, uint32_t highest) {
    int64_t more_indices = (corner_count - 2) * 3;
    if (s->vertex_count + corner_count >= INDEX_LIMIT || s->index_count + more_indices >= INDEX_LIMIT) {
        s->too_large = true;
        return;
    }
    if (!array_room(s, SPAN_INDICES, &s->indices, &s->index_capacity, s->index_count + more_indices) ||
        !array_room(s, SPAN_KEYS, &s->keys, &s->key_capacity, s->vertex_count + corner_count))
        return;
    if (!heads_extend(s, highest)) return;
    // Keep the table at most half full, counting this face's corners.
    int64_t slots = s->table ? (int64_t)s->table_mask + 1 : 0;
    if ((s->table_count + corner_count) * 2 > slots) {
        int64_t wanted = slots > 0 ? slots : 1024;
        while (wanted < (s->table_count + corner_count) * 2) wanted *= 2;
        if (!table_rebuild(s, wanted)) return;
    }
    if (!array_room(s, SPAN_SEAMS, &s->seams, &s->seam_capacity, s->table_count + corner_count)) return;
    int32_t material = s->current_material;
    if (s->run_count == 0 || s->runs[s->run_count - 1].material != material) {
        if (!array_room(s, SPAN_RUNS, &s->runs, &s->run_capacity, s->run_count + 1)) return;
        s->runs[s->run_count++] = MaterialRun{material, (uint32_t)s->index_count, 0, (uint32_t)s->vertex_count, 0};
    }
    MaterialRun* run = &s->runs[s->run_count - 1];
    for (int64_t i = 0; i < corner_count; i++) s->face[i].material = (uint32_t)material;
    // Fan around the first corner; each corner is merged in file order,
    // which is the order of first use in the triangle list as well.
    uint32_t first = vertex_for(s, s->face[0]);
    uint32_t previous = vertex_for(s, s->face[1]);
    uint32_t* out = s->indices + s->index_count;
    for (int64_t i = 2; i < corner_count; i++) {
        uint32_t next = vertex_for(s, s->face[i]);
        out[0] = first;
        out[1] = previous;
        out[2] = next;
        out += 3;
        previous = next;
    }
    s->index_count += more_indices;
    run->index_count = (uint32_t)(s->index_count - run->first_index);
    run->vertex_count = (uint32_t)(s->vertex_count - run->first_vertex);
}

static void read_face(BuildState* s, Line line) {
    int64_t count = 0;
    bool valid = true;
    while (true) {
        skip_blanks(&line);
        if (at_field_end(line)) break;
        if (count >= s->face_capacity && !array_room(s, SPAN_FACE, &s->face, &s->face_capacity, count + 1)) return;
        if (!read_corner(s, &line, &s->face[count])) valid = false;
        count++;
    }
    if (count < 3 || !valid) {
        s->dropped_faces++;
        return;
    }
    uint32_t highest = 0;
    for (int64_t i = 0; i < count; i++) highest = s->face[i].position > highest ? s->face[i].position : highest;
    emit_face(s, count, highest);
}

// A plain face's corners as read_corner would take them; false when an
// index is past its list (the general reading then decides what to drop).
static inline bool plain_face(BuildState* s, const uint32_t* words, int64_t count) {
    const IndexLimits& limits = s->limits;
    uint32_t highest_position = 0, highest_uv = 0, highest_normal = 0;
    bool uv_used = false, normal_used = false;
    for (int64_t i = 0; i < count; i++) {
        const uint32_t* corner = words + 3 * i;
        if (corner[0] >= limits.positions) return false;
        highest_position = corner[0] > highest_position ? corner[0] : highest_position;
        if (corner[1] != INDEX_NONE) {
            if (corner[1] >= limits.uvs) return false;
            highest_uv = corner[1] > highest_uv ? corner[1] : highest_uv;
            uv_used = true;
        }
        if (corner[2] != INDEX_NONE) {
            if (corner[2] >= limits.normals) return false;
            highest_normal = corner[2] > highest_normal ? corner[2] : highest_normal;
            normal_used = true;
        }
    }
    if (count < 3) return false;
    if (count > s->face_capacity && !array_room(s, SPAN_FACE, &s->face, &s->face_capacity, count)) return false;
    for (int64_t i = 0; i < count; i++) {
        const uint32_t* corner = words + 3 * i;
        s->face[i] = CornerKey{corner[0], corner[2], corner[1], 0};
    }
    if (highest_position >= s->highest_position) s->highest_position = highest_position + 1;
    if (uv_used && highest_uv >= s->highest_uv) s->highest_uv = highest_uv + 1;
    if (normal_used && highest_normal >= s->highest_normal) s->highest_normal = highest_normal + 1;
    emit_face(s, count, highest_position);
    return true;
}

// One plain line from `p` (see "Plain lines"); the byte after it, or null
// when the line is for the general reading.
static inline const uint8_t* plain_line(BuildState* s, const uint8_t* p, const uint8_t* end) {
    PlainLine line;
    if (!plain_read(p, end, &line)) return nullptr;
    switch (line.kind) {
    case LINE_V:
        if (s->position_count == s->position_capacity &&
            !array_room(s, SPAN_POSITIONS, &s->positions, &s->position_capacity, s->position_count + 1))
            return nullptr;
        s->positions[s->position_count++] = line.position;
        break;
    case LINE_VT:
        if (s->uv_count == s->uv_capacity && !array_room(s, SPAN_UVS, &s->uvs, &s->uv_capacity, s->uv_count + 1))
            return nullptr;
        s->uvs[s->uv_count++] = line.uv;
        break;
    case LINE_VN: s->normal_count++; break;
    default:
        if (!plain_face(s, line.words, line.count)) return nullptr;
        break;
    }
    return line.next;
}

static void library_parse(BuildState* s, String text) {
    int64_t count = mtl_count_materials(text);
    int64_t needed = s->material_count + count;
    if (!array_room(s, SPAN_MATERIALS, &s->materials, &s->material_capacity, needed) ||
        !array_room(s, SPAN_RANGES, &s->ranges, &s->range_capacity, needed))
        return;
    int64_t before = s->material_count;
    mtl_parse(text, s->materials, needed, &s->material_count);
    for (int64_t i = before; i < s->material_count; i++) {
        s->ranges[i] = MaterialRange{};
        s->ranges[i].material_name = s->materials[i].name;
    }
}

static void read_libraries(BuildState* s, String rest) {
    const BuildOptions& options = s->options;
    if (!options.read_libraries) {
        library_parse(s, options.library_text);
        return;
    }
    libraries_visit(rest, options.directory, [s, &options](String name, FileHandle* file) {
        if (!file) {
            console_add(s, S("failed to load material: "));
            console_add(s, name);
            console_add(s, S(" (path "));
            console_add(s, options.directory);
            console_add(s, S(")\n"));
            return;
        }
        // The materials' names are views into this text: it never moves.
        String text{nullptr, 0};
        int64_t size = file_size(*file);
        uint8_t* bytes = size > 0 ? static_cast<uint8_t*>(scratch_alloc(s->arena, size)) : nullptr;
        if (size > 0 && !bytes) {
            s->failed = true;
            return;
        }
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
    console_add(s, S("failed to find material "));
    console_add(s, name);
    console_add(s, S("\n"));
}

// The text is read in blocks, so a name that must outlive its line is
// copied. A run of "o" lines under one material reuses the copy's room.
static void name_object(BuildState* s, String name) {
    MaterialRange* range = &s->ranges[s->current_material];
    ScratchArena* arena = s->arena;
    if (range->object_name.length > 0 && arena->bump_count > 0) {
        const ScratchSpan& block = arena->bump[arena->bump_count - 1];
        if (range->object_name.data + range->object_name.length == block.base + arena->bump_used)
            arena->bump_used = range->object_name.data - block.base;
    }
    uint8_t* copy = name.length > 0 ? static_cast<uint8_t*>(scratch_alloc(arena, name.length)) : nullptr;
    if (name.length > 0 && !copy) {
        s->failed = true;
        return;
    }
    if (copy) std::memcpy(copy, name.data, (size_t)name.length);
    range->object_name = String{copy, name.length};
}

// Whole lines of the OBJ text (the last one may lack its line feed).
static void obj_read(BuildState* s, String text) {
    const uint8_t* cursor = text.data;
    const uint8_t* end = text.data + text.length;
    const uint8_t* plain = plain_end(text);
    Line line;
    while (!s->failed && !s->too_large) {
        if (cursor < plain) {
            const uint8_t* next = plain_line(s, cursor, plain);
            if (next) {
                cursor = next;
                continue;
            }
        }
        if (!next_line(&cursor, end, &line)) break;
        switch (classify(&line)) {
        case LINE_V: {
            if (s->position_count == s->position_capacity &&
                !array_room(s, SPAN_POSITIONS, &s->positions, &s->position_capacity, s->position_count + 1))
                return;
            s->positions[s->position_count++] = read_position(&line);
            break;
        }
        case LINE_VT: {
            if (s->uv_count == s->uv_capacity && !array_room(s, SPAN_UVS, &s->uvs, &s->uv_capacity, s->uv_count + 1))
                return;
            s->uvs[s->uv_count++] = read_uv(&line);
            break;
        }
        case LINE_VN:
            // Normals are not uploaded; only their count matters for indices.
            s->normal_count++;
            break;
        case LINE_F: read_face(s, line); break;
        case LINE_O:
            if (s->current_material >= 0) name_object(s, rest_as_name(line));
            break;
        case LINE_MTLLIB: read_libraries(s, rest_as_name(line)); break;
        case LINE_USEMTL: use_material(s, rest_as_name(line)); break;
        default: break;
        }
    }
}

static constexpr int64_t READ_BLOCK = 256 << 10;

// The next `limit` bytes of the file (or all that are left) in blocks that
// stay in the cache, each handed to visit(text, offset) up to its last line
// feed; the unfinished line moves to the front for the next block. `offset`
// counts from where the reading started. Stops when visit returns false;
// false when the memory for a block was refused.
template <typename Visit>
static bool blocks_read(ScratchArena* arena, int32_t slot, FileHandle file, int64_t limit, Visit&& visit) {
    int64_t kept = 0, consumed = 0;
    while (true) {
        int64_t capacity = arena->spans[slot].capacity;
        if (capacity - kept < READ_BLOCK && !scratch_grow(arena, slot, kept + READ_BLOCK)) return false;
        uint8_t* base = arena->spans[slot].base;
        int64_t room = arena->spans[slot].capacity - kept;
        int64_t left = limit - consumed - kept;
        bool last_block = room >= left;
        if (last_block) room = left;
        int64_t got = file_read(file, room, base + kept);
        if (got < 0) got = 0;
        int64_t filled = kept + got;
        if (got < room || last_block) {   // the end of the file or of the part
            if (filled > 0) visit(String{base, filled}, consumed);
            return true;
        }
        const uint8_t* feed = static_cast<const uint8_t*>(memrchr(base, '\n', (size_t)filled));
        int64_t whole = feed ? feed + 1 - base : 0;
        if (whole > 0 && !visit(String{base, whole}, consumed)) return true;
        consumed += whole;
        kept = filled - whole;
        if (kept > 0 && whole > 0) std::memmove(base, base + whole, (size_t)kept);
    }
}

static void obj_read_file(BuildState* s, FileHandle file, int64_t limit) {
    bool read = blocks_read(s->arena, SPAN_TEXT, file, limit, [s](String text, int64_t) {
        obj_read(s, text);
        return !s->failed && !s->too_large;
    });
    if (!read) s->failed = true;
}

// ---------------------------------------------------------------------------
// The tail of a large file, read by a second thread while the first reads
// the head. The tail's vertex lists are read as they are; its faces and its
// "usemtl", "o" and "mtllib" lines go into a stream of words that the first
// thread then builds in file order, exactly as if it had read those lines
// itself, so the result does not depend on the split. Anything the stream
// cannot hold (an index past 2^31, a list past 2^29 in the tail, memory
// refused) stops the tail there; the first thread reads the rest itself.
//
// Stream records: a face is a header (TAIL_FACE, TAIL_MALFORMED when a
// corner field was not well formed, and the corner count) followed by three
// words per corner: position, texture coordinate and normal as read; or,
// with TAIL_POSITIONS_ONLY, by the position alone, which keeps the stream
// of a file without texture coordinates and normals a third as large. A word
// is INDEX_NONE when that field was not there, TAIL_NEVER for the index 0
// and for one past every list, the index itself for a positive one, or TAIL_RELATIVE plus the position
// in the tail's own list plus TAIL_BIAS for a negative one. Other lines are
// a header (the line kind) followed by the offset and length of their name.

enum : uint32_t {
    TAIL_FACE = 0x80000000u,
    TAIL_MALFORMED = 0x40000000u,
    TAIL_POSITIONS_ONLY = 0x20000000u,
    TAIL_COUNT_MASK = 0x1FFFFFFFu,
    TAIL_NEVER = 0xFFFFFFFEu,
    TAIL_RELATIVE = 0x80000000u,
    TAIL_BIAS = 1u << 29,
};

struct TailCounts {
    int64_t stream, positions, uvs, normals;
};

struct TailState {
    ScratchArena* arena;         // `own`, so that the threads never share a record
    ScratchArena own;
    bool failed;
    Vec3* positions;
    int64_t position_count, position_capacity;
    Vec2* uvs;
    int64_t uv_count, uv_capacity;
    int64_t normal_count;
    uint32_t* stream;
    int64_t stream_count, stream_capacity;
    uint8_t* names;
    int64_t names_length, names_capacity;
    bool stopped;                // the rest from stop_offset is not in the stream
    int64_t stop_offset;         // from the start of the tail
    // The input: text in memory, or a file already placed at the tail.
    String text;
    FileHandle file;
    bool from_file;
    // What the first thread may build: the counts at the last whole block
    // the tail published, and whether the tail is done. The tail's arrays
    // only move under `lock`, and the first thread holds it while it reads
    // them; the tail publishes only when it finds the lock free, so it never
    // waits for a build.
    std::mutex lock;
    std::condition_variable published_signal;
    TailCounts published;
    int64_t publish_number;
    bool finished;
};

// array_room for the tail's arrays, which the first thread may be reading.
template <typename T>
static bool tail_room(TailState* t, int32_t slot, T** data, int64_t* capacity, int64_t needed) {
    if (needed <= *capacity) return true;
    std::lock_guard<std::mutex> hold(t->lock);
    return array_room(t, slot, data, capacity, needed);
}

static TailCounts tail_counts(const TailState* t) {
    return TailCounts{t->stream_count, t->position_count, t->uv_count, t->normal_count};
}

// One index field as a stream word; false when it is not a number. Sets
// *odd when the value does not fit a word.
static inline bool tail_index(const uint8_t** at, const uint8_t* end, const uint8_t* text_end, int64_t so_far,
                              uint32_t* out, bool* odd) {
    bool negative;
    int64_t value;
    if (!index_digits(at, end, text_end, &negative, &value)) return false;
    if (value == 0 || (!negative && value - 1 >= INDEX_LIMIT)) {
        *out = TAIL_NEVER;   // past every list, whatever its length
    } else if (!negative) {
        if (value > (int64_t)INT32_MAX) *odd = true;
        *out = (uint32_t)(value - 1);
    } else {
        if (value > (int64_t)TAIL_BIAS || so_far >= (int64_t)TAIL_BIAS) *odd = true;
        *out = TAIL_RELATIVE | (uint32_t)(so_far - value + (int64_t)TAIL_BIAS);
    }
    return true;
}

// The same reading as read_face and read_corner, into the stream. False
// when the line cannot be held there.
static bool tail_face(TailState* t, Line line) {
    int64_t header = t->stream_count;
    if (!tail_room(t, SPAN_TAIL_STREAM, &t->stream, &t->stream_capacity, header + 1)) return false;
    t->stream_count++;
    int64_t count = 0;
    bool malformed = false, odd = false;
    while (true) {
        skip_blanks(&line);
        if (at_field_end(line)) break;
        if (!tail_room(t, SPAN_TAIL_STREAM, &t->stream, &t->stream_capacity, t->stream_count + 3)) return false;
        uint32_t* corner = t->stream + t->stream_count;
        t->stream_count += 3;
        corner[0] = corner[1] = corner[2] = INDEX_NONE;
        bool ok = corner_fields(&line, &corner[0], &corner[1], &corner[2],
                                [t, &odd](const uint8_t** at, const uint8_t* end, const uint8_t* text_end, int kind,
                                          uint32_t* out) {
                                    int64_t so_far = kind == 0 ? t->position_count : kind == 1 ? t->uv_count : t->normal_count;
                                    return tail_index(at, end, text_end, so_far, out, &odd);
                                });
        if (!ok) malformed = true;
        count++;
    }
    if (odd || count > (int64_t)TAIL_COUNT_MASK) return false;
    uint32_t* corners = t->stream + header + 1;
    bool positions_only = true;
    for (int64_t i = 0; i < count && positions_only; i++)
        positions_only = corners[3 * i + 1] == INDEX_NONE && corners[3 * i + 2] == INDEX_NONE;
    uint32_t form = 0;
    if (positions_only) {
        for (int64_t i = 1; i < count; i++) corners[i] = corners[3 * i];
        t->stream_count = header + 1 + count;
        form = TAIL_POSITIONS_ONLY;
    }
    t->stream[header] = TAIL_FACE | form | (malformed ? TAIL_MALFORMED : 0u) | (uint32_t)count;
    return true;
}

// One plain line of the tail (see "Plain lines"), as tail_read would take
// it; null when it is for the general reading.
static inline const uint8_t* tail_plain_line(TailState* t, const uint8_t* p, const uint8_t* end) {
    PlainLine line;
    if (!plain_read(p, end, &line)) return nullptr;
    switch (line.kind) {
    case LINE_V:
        if (!tail_room(t, SPAN_TAIL_POSITIONS, &t->positions, &t->position_capacity, t->position_count + 1))
            return nullptr;
        t->positions[t->position_count++] = line.position;
        break;
    case LINE_VT:
        if (!tail_room(t, SPAN_TAIL_UVS, &t->uvs, &t->uv_capacity, t->uv_count + 1)) return nullptr;
        t->uvs[t->uv_count++] = line.uv;
        break;
    case LINE_VN: t->normal_count++; break;
    default: {
        int64_t count = line.count;
        const uint32_t* words = line.words;
        if (count < 3) return nullptr;
        bool positions_only = true;
        for (int64_t i = 0; i < count && positions_only; i++)
            positions_only = words[3 * i + 1] == INDEX_NONE && words[3 * i + 2] == INDEX_NONE;
        int64_t length = positions_only ? count : 3 * count;
        if (!tail_room(t, SPAN_TAIL_STREAM, &t->stream, &t->stream_capacity, t->stream_count + 1 + length))
            return nullptr;
        uint32_t* out = t->stream + t->stream_count;
        out[0] = TAIL_FACE | (positions_only ? TAIL_POSITIONS_ONLY : 0u) | (uint32_t)count;
        if (positions_only) {
            for (int64_t i = 0; i < count; i++) out[1 + i] = words[3 * i];
        } else {
            std::memcpy(out + 1, words, (size_t)length * sizeof(uint32_t));
        }
        t->stream_count += 1 + length;
        break;
    }
    }
    return line.next;
}

static bool tail_named(TailState* t, LineKind kind, String name) {
    if (t->names_length + name.length > (int64_t)UINT32_MAX) return false;
    if (!tail_room(t, SPAN_TAIL_STREAM, &t->stream, &t->stream_capacity, t->stream_count + 3) ||
        !tail_room(t, SPAN_TAIL_NAMES, &t->names, &t->names_capacity, t->names_length + name.length + 1))
        return false;
    if (name.length > 0) std::memcpy(t->names + t->names_length, name.data, (size_t)name.length);
    uint32_t* record = t->stream + t->stream_count;
    record[0] = (uint32_t)kind;
    record[1] = (uint32_t)t->names_length;
    record[2] = (uint32_t)name.length;
    t->stream_count += 3;
    t->names_length += name.length;
    return true;
}

// Whole lines of the tail; false when it stopped (stop_offset set from
// `offset`, the text's place in the tail).
static bool tail_read(TailState* t, String text, int64_t offset) {
    const uint8_t* cursor = text.data;
    const uint8_t* end = text.data + text.length;
    const uint8_t* plain = plain_end(text);
    Line line;
    while (true) {
        const uint8_t* start = cursor;
        if (cursor < plain) {
            const uint8_t* next = tail_plain_line(t, cursor, plain);
            if (next) {
                cursor = next;
                continue;
            }
        }
        if (!next_line(&cursor, end, &line)) return true;
        int64_t stream_before = t->stream_count;
        bool held = true;
        LineKind kind = classify(&line);
        switch (kind) {
        case LINE_V: {
            held = tail_room(t, SPAN_TAIL_POSITIONS, &t->positions, &t->position_capacity, t->position_count + 1);
            if (!held) break;
            t->positions[t->position_count++] = read_position(&line);
            break;
        }
        case LINE_VT: {
            held = tail_room(t, SPAN_TAIL_UVS, &t->uvs, &t->uv_capacity, t->uv_count + 1);
            if (!held) break;
            t->uvs[t->uv_count++] = read_uv(&line);
            break;
        }
        case LINE_VN: t->normal_count++; break;
        case LINE_F: held = tail_face(t, line); break;
        case LINE_O:
        case LINE_MTLLIB:
        case LINE_USEMTL: held = tail_named(t, kind, rest_as_name(line)); break;
        default: break;
        }
        if (!held) {
            // Anything half written for this line is left out.
            t->stream_count = stream_before;
            t->stopped = true;
            t->stop_offset = offset + (start - text.data);
            return false;
        }
    }
}

static void tail_publish(TailState* t) {
    {
        std::unique_lock<std::mutex> hold(t->lock, std::try_to_lock);
        if (!hold.owns_lock()) return;
        t->published = tail_counts(t);
        t->publish_number++;
    }
    t->published_signal.notify_one();
}

static void tail_run(void* data) {
    TailState* t = static_cast<TailState*>(data);
    if (!t->from_file) {
        // Text in memory is published every few blocks' worth of lines.
        const uint8_t* at = t->text.data;
        const uint8_t* end = t->text.data + t->text.length;
        while (at < end) {
            const uint8_t* stop = end - at > READ_BLOCK ? at + READ_BLOCK : end;
            if (stop < end) {
                const void* feed = std::memchr(stop, '\n', (size_t)(end - stop));
                stop = feed ? static_cast<const uint8_t*>(feed) + 1 : end;
            }
            if (!tail_read(t, String{at, stop - at}, at - t->text.data)) break;
            tail_publish(t);
            at = stop;
        }
    } else {
        int64_t done = 0;
        bool read = blocks_read(t->arena, SPAN_TAIL_TEXT, t->file, INT64_MAX, [t, &done](String text, int64_t offset) {
            if (!tail_read(t, text, offset)) return false;
            done = offset + text.length;
            tail_publish(t);
            return true;
        });
        if (!read && !t->stopped) {
            // The memory for a block was refused: the first thread reads the
            // rest from the first line not in the stream.
            t->stopped = true;
            t->stop_offset = done;
        }
    }
    {
        std::lock_guard<std::mutex> hold(t->lock);
        t->published = tail_counts(t);
        t->publish_number++;
        t->finished = true;
    }
    t->published_signal.notify_one();
}

// Resolves a stream word as read_index does, now that the lists' lengths
// before the tail are known.
static inline uint32_t tail_resolve(uint32_t word, int64_t before, int64_t limit, int64_t* highest) {
    if (word == INDEX_NONE) return INDEX_NONE;
    if (word == TAIL_NEVER) return INDEX_INVALID;
    int64_t index = (word & TAIL_RELATIVE) ? before + (int64_t)(word & ~TAIL_RELATIVE) - (int64_t)TAIL_BIAS : (int64_t)word;
    if (index < 0 || index >= limit) return INDEX_INVALID;
    if (index >= *highest) *highest = index + 1;
    return (uint32_t)index;
}

// Builds a stretch of the tail's stream after the head and what came of
// the tail before it (`from`): its lists are counted in, then its faces and
// named lines are taken in file order. `before` holds the lists' lengths
// where the tail starts.
static void tail_build(BuildState* s, const TailState* t, TailCounts before, TailCounts from, TailCounts to) {
    // The lists' values stay where the tail read them (tail_positions_from).
    s->position_count += to.positions - from.positions;
    s->uv_count += to.uvs - from.uvs;
    s->normal_count += to.normals - from.normals;
    int64_t positions_before = before.positions, uvs_before = before.uvs, normals_before = before.normals;
    const uint32_t* word = t->stream + from.stream;
    const uint32_t* end = t->stream + to.stream;
    while (word < end && !s->failed && !s->too_large) {
        uint32_t header = *word++;
        if (!(header & TAIL_FACE)) {
            String name{t->names + word[0], (int64_t)word[1]};
            word += 2;
            if (header == LINE_O) {
                if (s->current_material >= 0) name_object(s, name);
            } else if (header == LINE_MTLLIB) {
                read_libraries(s, name);
            } else {
                use_material(s, name);
            }
            continue;
        }
        int64_t count = header & TAIL_COUNT_MASK;
        bool valid = !(header & TAIL_MALFORMED);
        uint32_t highest = 0;
        if (count > s->face_capacity && !array_room(s, SPAN_FACE, &s->face, &s->face_capacity, count)) return;
        if (header & TAIL_POSITIONS_ONLY) {
            for (int64_t i = 0; i < count; i++, word++) {
                CornerKey& key = s->face[i];
                key.position = tail_resolve(word[0], positions_before, s->limits.positions, &s->highest_position);
                key.uv = key.normal = INDEX_NONE;
                if (key.position >= INDEX_INVALID) valid = false;
                else if (key.position > highest) highest = key.position;
            }
        } else {
            for (int64_t i = 0; i < count; i++, word += 3) {
                CornerKey& key = s->face[i];
                key.position = tail_resolve(word[0], positions_before, s->limits.positions, &s->highest_position);
                key.uv = tail_resolve(word[1], uvs_before, s->limits.uvs, &s->highest_uv);
                key.normal = tail_resolve(word[2], normals_before, s->limits.normals, &s->highest_normal);
                if (key.uv == INDEX_INVALID) key.uv = INDEX_NONE;
                if (key.normal == INDEX_INVALID) key.normal = INDEX_NONE;
                if (key.position >= INDEX_INVALID) valid = false;
                else if (key.position > highest) highest = key.position;
            }
        }
        if (count < 3 || !valid) {
            s->dropped_faces++;
            continue;
        }
        emit_face(s, count, highest);
    }
}

// The tail's spans live in the build's arena between passes, which gives
// them back; a pass takes them over while its thread runs.
static void tail_take_over(ScratchArena* arena, TailState* t) {
    for (int32_t slot = SPAN_TAIL_TEXT; slot <= SPAN_TAIL_NAMES; slot++) {
        t->own.spans[slot] = arena->spans[slot];
        arena->spans[slot] = ScratchSpan{};
    }
}

static void tail_hand_over(ScratchArena* arena, TailState* t) {
    for (int32_t slot = SPAN_TAIL_TEXT; slot <= SPAN_TAIL_NAMES; slot++) {
        arena->spans[slot] = t->own.spans[slot];
        t->own.spans[slot] = ScratchSpan{};
    }
    if (t->own.bytes_refused > arena->bytes_refused) arena->bytes_refused = t->own.bytes_refused;
}

// On a machine whose processors are all busy a second thread only adds the
// stream's cost (about a tenth) without running beside the first.
MeshSplitting mesh_splitting{(int64_t)1 << 20, 80, false};

// Where the tail starts: the first line that starts at or after the share
// of `size` that the head takes; `size` when there is no tail.
static int64_t tail_start(int64_t size, int32_t head_share) {
    if (size < mesh_splitting.minimum_bytes || size < 2) return size;
    if (!mesh_splitting.even_when_busy && processors_spare() < 1) return size;
    int64_t at = size / 256 * head_share + size % 256 * head_share / 256;
    return at < 1 ? 1 : at;
}

// ---------------------------------------------------------------------------
// ---------------------------------------------------------------------------
// Ranges. A material used in several separate runs of faces would otherwise
// keep only its last run and lose the rest from every draw; such meshes get
// their triangles regrouped by material (stable, faces without a material
// first), so that each material's range covers all of its faces. Vertices
// keep their numbers.

static bool build_ranges(BuildState* s) {
    bool regroup = false;
    int64_t* seen = static_cast<int64_t*>(scratch_alloc(s->arena, (s->material_count + 1) * (int64_t)sizeof(int64_t)));
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
    uint32_t* grouped = nullptr;
    int64_t grouped_capacity = 0;
    if (!array_room(s, SPAN_GROUPED, &grouped, &grouped_capacity, s->index_count > 0 ? s->index_count : 1)) return false;
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

// Empties the state for a (first or second) pass; the spans keep their memory.
static void build_start(BuildState* s, ScratchArena* arena, const BuildOptions& options, IndexLimits limits) {
    BuildState fresh{};
    fresh.arena = arena;
    fresh.options = options;
    fresh.limits = limits;
    fresh.current_material = -1;
    fresh.tail_positions_from = fresh.tail_uvs_from = -1;
    fresh.positions = s->positions;
    fresh.position_capacity = s->position_capacity;
    fresh.uvs = s->uvs;
    fresh.uv_capacity = s->uv_capacity;
    fresh.indices = s->indices;
    fresh.index_capacity = s->index_capacity;
    fresh.keys = s->keys;
    fresh.key_capacity = s->key_capacity;
    fresh.heads = s->heads;
    fresh.head_capacity = s->head_capacity;
    fresh.seams = s->seams;
    fresh.seam_capacity = s->seam_capacity;
    fresh.face = s->face;
    fresh.face_capacity = s->face_capacity;
    fresh.runs = s->runs;
    fresh.run_capacity = s->run_capacity;
    fresh.console = s->console;
    fresh.console_capacity = s->console_capacity;
    // Materials and ranges start over: the library texts are read again.
    fresh.materials = s->materials;
    fresh.ranges = s->ranges;
    fresh.material_capacity = s->material_capacity;
    fresh.range_capacity = s->range_capacity;
    *s = fresh;
}

// True when an index taken in the first pass lies past its final list.
static bool needs_second_pass(const BuildState* s) {
    return s->highest_position > s->position_count || s->highest_uv > s->uv_count ||
           s->highest_normal > s->normal_count;
}

static int64_t scratch_bytes(const ScratchArena* arena) {
    int64_t total = arena->bytes_refused;
    for (const ScratchSpan& span : arena->spans) total += span.capacity;
    for (int32_t i = 0; i < arena->bump_count; i++) total += arena->bump[i].capacity;
    return total;
}

// Ranges, then the vertices from the merged keys; the table, the heads and
// the text are given back first.
static bool build_finish(MeshBuild* build, BuildState* s) {
    ScratchArena* arena = s->arena;
    if (s->failed || s->too_large || !build_ranges(s)) return false;
    scratch_drop(arena, SPAN_TABLE);
    scratch_drop(arena, SPAN_SEAMS);
    scratch_drop(arena, SPAN_HEADS);
    scratch_drop(arena, SPAN_TEXT);
    // The vertices take the keys' span: a vertex is larger than its key, so
    // made from the last to the first, each is written only over keys
    // already used (the peak memory of a large import drops by the keys).
    static_assert(sizeof(MeshVertex) >= sizeof(CornerKey));
    MeshVertex* vertices = nullptr;
    int64_t vertex_capacity = 0;
    if (!array_room(s, SPAN_KEYS, &vertices, &vertex_capacity, s->vertex_count > 0 ? s->vertex_count : 1))
        return false;
    const CornerKey* keys = reinterpret_cast<const CornerKey*>(vertices);
    // Numbers from tail_*_from on are in the second thread's arrays.
    const Vec3* tail_positions = reinterpret_cast<const Vec3*>(arena->spans[SPAN_TAIL_POSITIONS].base);
    const Vec2* tail_uvs = reinterpret_cast<const Vec2*>(arena->spans[SPAN_TAIL_UVS].base);
    uint32_t positions_from = s->tail_positions_from < 0 ? UINT32_MAX : (uint32_t)s->tail_positions_from;
    uint32_t uvs_from = s->tail_uvs_from < 0 ? UINT32_MAX : (uint32_t)s->tail_uvs_from;
    Vec3 low{0, 0, 0}, high{0, 0, 0};
    for (int64_t i = s->vertex_count - 1; i >= 0; i--) {
        const CornerKey key = keys[i];
        MeshVertex v;
        v.position = key.position < positions_from ? s->positions[key.position] : tail_positions[key.position - positions_from];
        v.color = Vec4{1, 1, 1, 1};
        v.uv = key.uv == INDEX_NONE    ? Vec2{0, 0}
               : key.uv < uvs_from     ? s->uvs[key.uv]
                                       : tail_uvs[key.uv - uvs_from];
        if (v.position.x < low.x) low.x = v.position.x;
        if (v.position.y < low.y) low.y = v.position.y;
        if (v.position.z < low.z) low.z = v.position.z;
        if (v.position.x > high.x) high.x = v.position.x;
        if (v.position.y > high.y) high.y = v.position.y;
        if (v.position.z > high.z) high.z = v.position.z;
        vertices[i] = v;
    }
    s->keys = nullptr;
    build->vertices = vertices;
    build->vertex_count = s->vertex_count;
    build->indices = s->indices;
    build->index_count = s->index_count;
    build->materials = s->materials;
    build->ranges = s->ranges;
    build->material_count = s->material_count;
    build->bounds_min = low;
    build->bounds_max = high;
    build->dropped_faces = s->dropped_faces;
    build->default_index_count = s->default_index_count;
    return true;
}

static void report(const BuildState* s, const MeshBuild* build, String path) {
    if (s->console_length > 0) print(String{s->console, s->console_length});
    if (build->dropped_faces > 0) {
        format_print(S("skipped %. faces of %. (corner index out of range or fewer than three corners)\n"),
                     {fmt_int(build->dropped_faces), fmt_string(path)});
    }
}

static void report_failure(MeshBuild* build, const BuildState* s) {
    build->out_of_memory = true;
    build->bytes_needed = s->too_large ? -1 : scratch_bytes(s->arena);
}

// The tail's list values joined to the first thread's own, before it reads
// on past the tail.
static void tail_gather(BuildState* s) {
    const ScratchArena* arena = s->arena;
    if (s->tail_positions_from >= 0) {
        int64_t from = s->tail_positions_from;
        if (!array_room(s, SPAN_POSITIONS, &s->positions, &s->position_capacity, s->position_count)) return;
        std::memcpy(s->positions + from, arena->spans[SPAN_TAIL_POSITIONS].base,
                    (size_t)(s->position_count - from) * sizeof(Vec3));
        s->tail_positions_from = -1;
    }
    if (s->tail_uvs_from >= 0) {
        int64_t from = s->tail_uvs_from;
        if (!array_room(s, SPAN_UVS, &s->uvs, &s->uv_capacity, s->uv_count)) return;
        std::memcpy(s->uvs + from, arena->spans[SPAN_TAIL_UVS].base, (size_t)(s->uv_count - from) * sizeof(Vec2));
        s->tail_uvs_from = -1;
    }
}

// After the head: the tail's stream, then whatever the tail left unread.
// Returns where that rest starts (from the start of the tail), or -1.
static int64_t tail_finish(BuildState* s, TailState* t, ThreadHandle* thread) {
    TailCounts before{0, s->position_count, s->uv_count, s->normal_count};
    TailCounts built{};
    int64_t seen = 0;
    {
        std::unique_lock<std::mutex> hold(t->lock);
        while (true) {
            t->published_signal.wait(hold, [t, seen] { return t->publish_number != seen; });
            seen = t->publish_number;
            TailCounts to = t->published;
            if (!s->failed && !s->too_large) tail_build(s, t, before, built, to);
            built = to;
            if (t->finished) break;
        }
    }
    thread_join(thread);
    tail_hand_over(s->arena, t);
    if (built.positions > 0) s->tail_positions_from = before.positions;
    if (built.uvs > 0) s->tail_uvs_from = before.uvs;
    return t->stopped && !s->failed && !s->too_large ? t->stop_offset : -1;
}

// One pass over text in memory, the tail on a second thread when it is long.
static void text_pass(BuildState* s, String text) {
    int64_t split = tail_start(text.length, mesh_splitting.head_share);
    if (split < text.length) {
        const void* feed = std::memchr(text.data + split - 1, '\n', (size_t)(text.length - split + 1));
        split = feed ? static_cast<const uint8_t*>(feed) + 1 - text.data : text.length;
    }
    scratch_size_for(s->arena, text.length);
    TailState tail{};
    tail.arena = &tail.own;
    scratch_size_for(tail.arena, text.length);
    tail_take_over(s->arena, &tail);
    tail.text = String{text.data + split, text.length - split};
    ThreadHandle thread{};
    if (split < text.length && !thread_start(&thread, tail_run, &tail)) split = text.length;
    obj_read(s, String{text.data, split});
    if (split >= text.length) tail_hand_over(s->arena, &tail);
    if (split < text.length) {
        int64_t rest = tail_finish(s, &tail, &thread);
        if (rest >= 0) {
            tail_gather(s);
            obj_read(s, String{text.data + split + rest, text.length - split - rest});
        }
    }
}

bool mesh_build(MeshBuild* build, ScratchArena* arena, String text, String obj_path, bool read_libraries,
                String library_text) {
    *build = MeshBuild{};
    *arena = ScratchArena{};
    BuildOptions options{directory_of(obj_path), read_libraries, library_text};
    BuildState s{};
    build_start(&s, arena, options, IndexLimits{INDEX_LIMIT, INDEX_LIMIT, INDEX_LIMIT});
    text_pass(&s, text);
    if (!s.failed && !s.too_large && needs_second_pass(&s)) {
        IndexLimits exact{s.position_count, s.uv_count, s.normal_count};
        build_start(&s, arena, options, exact);
        text_pass(&s, text);
    }
    if (!build_finish(build, &s)) {
        report_failure(build, &s);
        return false;
    }
    report(&s, build, obj_path);
    return true;
}

// The first line start at or after `at`; `size` when there is none. The
// file is left anywhere.
static int64_t file_line_start(FileHandle file, int64_t at, int64_t size) {
    // A line feed just before `at` makes `at` itself a line start.
    int64_t from = at - 1;
    if (!file_seek(file, from)) return size;
    uint8_t window[4096];
    while (from < size) {
        int64_t got = file_read(file, (int64_t)sizeof window, window);
        if (got <= 0) return size;
        const void* feed = std::memchr(window, '\n', (size_t)got);
        if (feed) return from + (static_cast<const uint8_t*>(feed) - window) + 1;
        from += got;
    }
    return size;
}

// One pass over the file, the tail on a second thread (through a handle of
// its own) when it is long. False when the file cannot be read.
static bool file_pass(BuildState* s, String path) {
    FileHandle file = file_open(&path, FILE_READ);
    if (file_failed(file)) {
        file_close(file);
        return false;
    }
    int64_t size = file_size(file);
    int64_t split = tail_start(size, mesh_splitting.head_share);
    if (split < size) split = file_line_start(file, split, size);
    scratch_size_for(s->arena, size);
    TailState tail{};
    tail.arena = &tail.own;
    scratch_size_for(tail.arena, size);
    tail_take_over(s->arena, &tail);
    tail.from_file = true;
    ThreadHandle thread{};
    if (split < size) {
        tail.file = file_open(&path, FILE_READ);
        if (file_failed(tail.file) || !file_seek(tail.file, split) || !thread_start(&thread, tail_run, &tail)) {
            file_close(tail.file);
            split = size;
        }
    }
    if (split >= size) tail_hand_over(s->arena, &tail);
    bool ok = file_seek(file, 0);
    if (ok) obj_read_file(s, file, split < size ? split : INT64_MAX);
    if (split < size) {
        int64_t rest = tail_finish(s, &tail, &thread);
        file_close(tail.file);
        if (ok && rest >= 0) {
            tail_gather(s);
            if (file_seek(file, split + rest)) obj_read_file(s, file, INT64_MAX);
            else s->failed = true;
        }
    }
    file_close(file);
    return ok;
}

int32_t mesh_build_file(MeshBuild* build, ScratchArena* arena, String path) {
    *build = MeshBuild{};
    *arena = ScratchArena{};
    BuildOptions options{directory_of(path), true, String{nullptr, 0}};
    BuildState s{};
    build_start(&s, arena, options, IndexLimits{INDEX_LIMIT, INDEX_LIMIT, INDEX_LIMIT});
    if (!file_pass(&s, path)) return 1;
    if (!s.failed && !s.too_large && needs_second_pass(&s)) {
        IndexLimits exact{s.position_count, s.uv_count, s.normal_count};
        build_start(&s, arena, options, exact);
        if (!file_pass(&s, path)) return 1;
    }
    if (!build_finish(build, &s)) {
        report_failure(build, &s);
        return 2;
    }
    report(&s, build, path);
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
    mesh_scratch_trim();
}
