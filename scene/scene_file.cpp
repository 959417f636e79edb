// The binary scene file: little-endian, no padding, the mirror image of the
// writer and the reader field by field. Relies on the pools (the file bytes
// live in the frame pool or the scratch pool, the loaded scene in a scene
// arena), the asset lookups for names and the platform's files and message
// boxes.
//
// Layout: magic u32, version u16, object count i64, objects, row count i64,
// rows, next object id i64, four tool bytes, four setting bytes, background
// 4 f32, plane normal 3 f32, plane height f32, snap size 3 f32, snap angle f32.
#include "scene/scene.h"

#include <bit>
#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"

constexpr uint32_t SCENE_MAGIC = 0x577AC291;
constexpr uint16_t SCENE_VERSION = 0;

// Smallest encodings, for refusing counts that cannot fit in what is left.
constexpr int64_t OBJECT_MIN_BYTES = 8 + 1 + 1 + 40 + 8;  // id, kind, visible, transform, data length
constexpr int64_t ROW_MIN_BYTES = 8 + 1;
constexpr int64_t POINT_BYTES = 36;
constexpr int64_t TAIL_BYTES = 8 + 4 + 4 + 16 + 12 + 4 + 12 + 4;

static_assert(sizeof(Transform) == 40, "a transform is ten floats without padding");
static_assert(sizeof(PathPoint) == POINT_BYTES, "a path point is nine floats without padding");

// ---------------------------------------------------------------------------
// Writing. The size is known before the first byte, so the output is one
// block filled by a plain cursor.

struct ByteWriter {
    uint8_t* at;
};

template <typename T>
static inline void put_value(ByteWriter* writer, T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if constexpr (std::endian::native == std::endian::little || sizeof(T) == 1) {
        std::memcpy(writer->at, &value, sizeof(T));
    } else {
        uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (size_t i = 0; i < sizeof(T); i++) writer->at[i] = bytes[sizeof(T) - 1 - i];
    }
    writer->at += sizeof(T);
}

static inline void put_u8(ByteWriter* writer, uint8_t value) { *writer->at++ = value; }

static inline void put_floats(ByteWriter* writer, const float* values, int64_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(writer->at, values, (size_t)count * 4);
        writer->at += count * 4;
    } else {
        for (int64_t i = 0; i < count; i++) put_value(writer, values[i]);
    }
}

static inline void put_string(ByteWriter* writer, String string) {
    int64_t length = string.length > 0 ? string.length : 0;
    put_value<int64_t>(writer, length);
    if (length) std::memcpy(writer->at, string.data, (size_t)length);
    writer->at += length;
}

static inline int64_t string_size(String string) { return 8 + (string.length > 0 ? string.length : 0); }

static int64_t object_size(const SceneObject& object) {
    int64_t size = 8 + 1 + 1 + 40 + string_size(object.data);
    switch (object.kind) {
        case OBJECT_QUAD: size += 16 + string_size(object.quad.texture_name) + 16 + 1; break;
        case OBJECT_TEXT: size += 8 + string_size(object.text.font_name) + 8 + 16 + string_size(object.text.text) + 1; break;
        case OBJECT_MESH: size += string_size(object.mesh.mesh_name); break;
        case OBJECT_PATH: size += 1 + 8 + 16 + 8 + object.path.points.count * POINT_BYTES + 8 + 8; break;
        default: break;
    }
    return size;
}

int64_t scene_serialized_size(const SceneState* scene) {
    int64_t size = 4 + 2 + 8 + 8 + TAIL_BYTES;
    for (int64_t i = 0; i < scene->objects.count; i++) size += object_size(scene->objects.data[i]);
    for (int64_t i = 0; i < scene->rows.count; i++) {
        const HierarchyRow& row = scene->rows.data[i];
        size += ROW_MIN_BYTES + (row.group_start ? string_size(row.name) : 0);
    }
    return size;
}

static void put_object(ByteWriter* w, const SceneObject& object) {
    put_value<int64_t>(w, object.id);
    put_u8(w, object.kind);
    put_u8(w, object.visible ? 1 : 0);
    put_floats(w, &object.transform.position.x, 10);
    switch (object.kind) {
        case OBJECT_QUAD: {
            const QuadBlock& quad = object.quad;
            put_floats(w, &quad.color.x, 4);
            put_string(w, quad.texture_name);
            put_floats(w, &quad.uv_rect.x, 4);
            put_u8(w, quad.billboard ? 1 : 0);
        } break;
        case OBJECT_TEXT: {
            const TextBlock& text = object.text;
            put_value<double>(w, text.pixels_per_unit);
            put_string(w, text.font_name);
            put_floats(w, &text.alignment.x, 2);
            put_floats(w, &text.color.x, 4);
            put_string(w, text.text);
            put_u8(w, text.billboard ? 1 : 0);
        } break;
        case OBJECT_MESH: put_string(w, object.mesh.mesh_name); break;
        case OBJECT_PATH: {
            const PathBlock& path = object.path;
            put_u8(w, (uint8_t)((path.bezier ? 1 : 0) | (path.closed ? 2 : 0)));
            put_value<double>(w, path.width);
            put_floats(w, &path.color.x, 4);
            put_value<int64_t>(w, path.points.count);
            if (path.points.count > 0) put_floats(w, &path.points.data[0].position.x, path.points.count * 9);
            put_value<int64_t>(w, path.index);
            put_value<int64_t>(w, path.sub_index);
        } break;
        default: break;  // data, and kinds this version does not know: no block
    }
    put_string(w, object.data);
}

String scene_serialize_state(const SceneState* scene, SceneToolBytes tools, int8_t pool) {
    int64_t size = scene_serialized_size(scene);
    uint8_t* bytes = static_cast<uint8_t*>(pool_alloc(pool, size));
    if (!bytes) return String{nullptr, 0};
    ByteWriter writer{bytes};
    ByteWriter* w = &writer;
    put_value<uint32_t>(w, SCENE_MAGIC);
    put_value<uint16_t>(w, SCENE_VERSION);
    put_value<int64_t>(w, scene->objects.count);
    for (int64_t i = 0; i < scene->objects.count; i++) put_object(w, scene->objects.data[i]);
    put_value<int64_t>(w, scene->rows.count);
    for (int64_t i = 0; i < scene->rows.count; i++) {
        const HierarchyRow& row = scene->rows.data[i];
        put_value<int64_t>(w, (int64_t)row.object_id);
        put_u8(w, (uint8_t)((row.group_start ? 1 : 0) | (row.group_end ? 2 : 0) | (row.expanded ? 4 : 0) |
                            (row.selected ? 8 : 0)));
        if (row.group_start) put_string(w, row.name);
    }
    put_value<int64_t>(w, scene->next_object_id);
    put_u8(w, tools.placement_mode ? 1 : 0);
    put_u8(w, tools.pivot_per_object ? 1 : 0);
    put_u8(w, tools.gizmo_mode);
    put_u8(w, tools.placement_kind);
    const SceneSettings& settings = scene->settings;
    put_u8(w, settings.view_2d ? 1 : 0);
    put_u8(w, settings.depth ? 1 : 0);
    put_u8(w, settings.wireframe ? 1 : 0);
    put_u8(w, settings.snapping ? 1 : 0);
    put_floats(w, &settings.background.x, 4);
    put_floats(w, &settings.plane_normal.x, 3);
    put_value<float>(w, (float)settings.plane_height);
    put_floats(w, &settings.snap_size.x, 3);
    put_value<float>(w, (float)settings.snap_angle);
    return String{bytes, size};
}

// The tool bytes live with the document in the scene record; these two are
// the only places that know where.
SceneToolBytes scene_tool_bytes(const SceneState* scene) {
    return SceneToolBytes{scene->placement_mode, scene->pivot_per_object, scene->gizmo_mode,
                          scene->placement_template.kind};
}

static void tool_bytes_apply(SceneState* scene, SceneToolBytes tools) {
    scene->placement_mode = tools.placement_mode != 0;
    scene->pivot_per_object = tools.pivot_per_object != 0;
    // Other modules index tables by these two; a byte from a damaged or
    // future file must not reach them out of range.
    scene->gizmo_mode = tools.gizmo_mode <= 3 ? tools.gizmo_mode : 0;
    placement_template_set_kind(scene, tools.placement_kind < OBJECT_KIND_COUNT ? tools.placement_kind : (uint8_t)OBJECT_QUAD);
}

String scene_serialize() { return scene_serialize_state(&editor.scene, scene_tool_bytes(&editor.scene), POOL_FRAME); }

// ---------------------------------------------------------------------------
// Reading. A read past the end marks the reader failed and yields zeros; the
// parse checks once at the end and refuses the whole file.

struct ByteReader {
    const uint8_t* at;
    const uint8_t* end;
    bool failed;
    // Strings are carved from blocks of the scene's pool: one allocation
    // per block instead of one per string.
    uint8_t* strings_at;
    uint8_t* strings_end;
    int8_t pool;
};

constexpr int64_t STRING_BLOCK_BYTES = 65536;

// The longest kind name an object row carries, "object".
constexpr int64_t KIND_NAME_BYTES = 6;

static inline int64_t remaining(const ByteReader* reader) { return reader->end - reader->at; }

static inline bool take(ByteReader* reader, int64_t count) {
    if (count > remaining(reader)) {
        reader->failed = true;
        reader->at = reader->end;
        return false;
    }
    return true;
}

// Unchecked reads, for fields whose bytes one `take` has already vouched
// for: an object's fixed fields are checked as one run, not one by one.
template <typename T>
static inline T read_value(ByteReader* reader) {
    T value;
    if constexpr (std::endian::native == std::endian::little || sizeof(T) == 1) {
        std::memcpy(&value, reader->at, sizeof(T));
    } else {
        uint8_t bytes[sizeof(T)];
        for (size_t i = 0; i < sizeof(T); i++) bytes[i] = reader->at[sizeof(T) - 1 - i];
        std::memcpy(&value, bytes, sizeof(T));
    }
    reader->at += sizeof(T);
    return value;
}

static inline uint8_t read_u8(ByteReader* reader) { return *reader->at++; }

static inline void read_floats(ByteReader* reader, float* values, int64_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(values, reader->at, (size_t)count * 4);
        reader->at += count * 4;
    } else {
        for (int64_t i = 0; i < count; i++) values[i] = read_value<float>(reader);
    }
}

template <typename T>
static inline T get_value(ByteReader* reader) {
    if (!take(reader, sizeof(T))) return T{};
    return read_value<T>(reader);
}

static inline uint8_t get_u8(ByteReader* reader) { return get_value<uint8_t>(reader); }

static inline void get_floats(ByteReader* reader, float* values, int64_t count) {
    if (!take(reader, count * 4)) {
        std::memset(values, 0, (size_t)count * 4);
        return;
    }
    read_floats(reader, values, count);
}

// Strings up to this long are copied as one fixed-size run (a few vector
// moves instead of a library call), when both sides have the room.
constexpr int64_t SHORT_STRING_BYTES = 32;

// The uncommon half of get_string: a new block of the scene's pool, or a
// string too long or too near an end for the fixed-size copy.
static String get_string_slow(ByteReader* reader, int64_t length, bool* out_of_memory) {
    if (length > reader->strings_end - reader->strings_at) {
        int64_t block = length > STRING_BLOCK_BYTES ? length : STRING_BLOCK_BYTES;
        // Near the end of the file a smaller block does.
        if (block > length && block > remaining(reader) + length) block = remaining(reader) + length;
        uint8_t* bytes = static_cast<uint8_t*>(pool_alloc(reader->pool, block));
        if (!bytes) {
            *out_of_memory = true;
            reader->at += length;
            return String{nullptr, 0};
        }
        reader->strings_at = bytes;
        reader->strings_end = bytes + block;
    }
    uint8_t* bytes = reader->strings_at;
    reader->strings_at += length;
    std::memcpy(bytes, reader->at, (size_t)length);
    reader->at += length;
    return String{bytes, length};
}

// A string copied into the scene's pool. A length that does not fit in
// what is left fails the reader; a full pool sets *out_of_memory.
static inline String get_string(ByteReader* reader, bool* out_of_memory) {
    int64_t length = get_value<int64_t>(reader);
    if (length < 0 || length > remaining(reader)) {
        reader->failed = true;
        reader->at = reader->end;
        return String{nullptr, 0};
    }
    if (length == 0) return String{nullptr, 0};
    if (length <= SHORT_STRING_BYTES && remaining(reader) >= SHORT_STRING_BYTES &&
        reader->strings_end - reader->strings_at >= SHORT_STRING_BYTES) {
        // The bytes copied past the string are file bytes landing in the
        // unused rest of the block; the next string overwrites them.
        uint8_t* bytes = reader->strings_at;
        std::memcpy(bytes, reader->at, SHORT_STRING_BYTES);
        reader->strings_at += length;
        reader->at += length;
        return String{bytes, length};
    }
    return get_string_slow(reader, length, out_of_memory);
}

// A count that the remaining bytes could hold, each element taking at least
// `element_bytes`; otherwise the reader fails and the count is 0.
static int64_t get_count(ByteReader* reader, int64_t element_bytes) {
    int64_t count = get_value<int64_t>(reader);
    if (count < 0 || count > remaining(reader) / element_bytes) {
        reader->failed = true;
        reader->at = reader->end;
        return 0;
    }
    return count;
}

// The fixed runs of an object's encoding, each checked with one `take`.
constexpr int64_t OBJECT_HEAD_BYTES = 8 + 1 + 1 + 40;       // id, kind, visible, transform
constexpr int64_t QUAD_TAIL_BYTES = 16 + 1;                 // uv rectangle, billboard
constexpr int64_t TEXT_STYLE_BYTES = 8 + 16;                // alignment, color
constexpr int64_t PATH_HEAD_BYTES = 1 + 8 + 16;             // flags, width, color
constexpr int64_t PATH_TAIL_BYTES = 8 + 8;                  // index, sub index

// A read past the end stops here with the reader failed: the parse refuses
// the file whatever the rest of the record holds.
static void get_object(ByteReader* r, SceneObject* object, bool* out_of_memory) {
    // A copy of a zero record compiles to plain stores, cheaper than a
    // memset call for every object of a large scene.
    static const SceneObject zero_object{};
    std::memcpy(static_cast<void*>(object), &zero_object, sizeof *object);
    if (!take(r, OBJECT_HEAD_BYTES)) return;
    object->id = read_value<int64_t>(r);
    object->kind = read_u8(r);
    object->visible = (read_u8(r) & 1) != 0;
    read_floats(r, &object->transform.position.x, 10);
    switch (object->kind) {
        case OBJECT_QUAD: {
            QuadBlock& quad = object->quad;
            get_floats(r, &quad.color.x, 4);
            quad.texture_name = get_string(r, out_of_memory);
            quad.texture = texture_find(quad.texture_name);
            if (!take(r, QUAD_TAIL_BYTES)) return;
            read_floats(r, &quad.uv_rect.x, 4);
            quad.billboard = read_u8(r) != 0;
        } break;
        case OBJECT_TEXT: {
            TextBlock& text = object->text;
            text.pixels_per_unit = get_value<double>(r);
            text.font_name = get_string(r, out_of_memory);
            text.font = font_find(text.font_name);
            if (!take(r, TEXT_STYLE_BYTES)) return;
            read_floats(r, &text.alignment.x, 2);
            read_floats(r, &text.color.x, 4);
            text.text = get_string(r, out_of_memory);
            text.billboard = get_u8(r) != 0;
        } break;
        case OBJECT_MESH: {
            object->mesh.mesh_name = get_string(r, out_of_memory);
            object->mesh.mesh = mesh_find(object->mesh.mesh_name);
        } break;
        case OBJECT_PATH: {
            PathBlock& path = object->path;
            path.points = array_make<PathPoint>(r->pool);
            if (!take(r, PATH_HEAD_BYTES)) return;
            uint8_t flags = read_u8(r);
            path.bezier = (flags & 1) != 0;
            path.closed = (flags & 2) != 0;
            path.width = read_value<double>(r);
            read_floats(r, &path.color.x, 4);
            int64_t count = get_count(r, POINT_BYTES);
            if (count > 0) {
                if (!array_reserve(&path.points, count)) {
                    *out_of_memory = true;
                    r->at += count * POINT_BYTES;
                } else {
                    read_floats(r, &path.points.data[0].position.x, count * 9);
                    path.points.count = count;
                }
            }
            if (!take(r, PATH_TAIL_BYTES)) return;
            path.index = read_value<int64_t>(r);
            path.sub_index = read_value<int64_t>(r);
        } break;
        default: break;
    }
    object->data = get_string(r, out_of_memory);
}

struct ObjectKey {
    int64_t id;
    uint8_t kind;
    bool visible;
};

static const ObjectKey* find_key(const ObjectKey* keys, int64_t count, int64_t id) {
    int64_t low = 0, high = count;
    while (low < high) {
        int64_t middle = low + (high - low) / 2;
        if (keys[middle].id == id) return &keys[middle];
        if (id < keys[middle].id) high = middle;
        else low = middle + 1;
    }
    return nullptr;
}

SceneLoadResult scene_parse(String bytes, SceneState* out, SceneToolBytes* tools, int8_t pool) {
    ByteReader reader{bytes.data, bytes.data + (bytes.data && bytes.length > 0 ? bytes.length : 0), false, nullptr, nullptr, pool};
    ByteReader* r = &reader;
    if (get_value<uint32_t>(r) != SCENE_MAGIC) return SCENE_LOAD_BAD_MAGIC;
    uint16_t version = get_value<uint16_t>(r);
    if (r->failed) return SCENE_LOAD_DAMAGED;
    if (version != SCENE_VERSION) return SCENE_LOAD_BAD_VERSION;

    PoolMark mark = pool_mark(pool);
    bool out_of_memory = false;
    out->objects = array_make<SceneObject>(pool);
    out->rows = array_make<HierarchyRow>(pool);

    int64_t object_count = get_count(r, OBJECT_MIN_BYTES);
    if (object_count > 0 && !array_reserve(&out->objects, object_count)) out_of_memory = true;
    // What the row pass needs of each object, packed: the objects themselves
    // spread over many cache lines. Scratch in the frame pool, or in the
    // scratch pool when that is full.
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    ObjectKey* keys = pool_alloc_array<ObjectKey>(POOL_FRAME, object_count);
    if (!keys) keys = pool_alloc_array<ObjectKey>(POOL_SCRATCH, object_count);
    if (object_count > 0 && !keys) out_of_memory = true;
    int64_t largest_id = -1;
    bool ascending = true;
    for (int64_t i = 0; i < object_count && !r->failed && !out_of_memory; i++) {
        SceneObject* object = &out->objects.data[out->objects.count++];
        get_object(r, object, &out_of_memory);
        keys[i] = ObjectKey{object->id, object->kind, object->visible};
        if (object->id <= largest_id) ascending = false;
        else largest_id = object->id;
    }
    // The file keeps ascending ids; a file that does not must still find
    // its objects by binary search.
    if (!ascending && !r->failed && !out_of_memory) {
        scene_sort_objects(out);
        for (int64_t i = 0; i < out->objects.count; i++) {
            const SceneObject& object = out->objects.data[i];
            keys[i] = ObjectKey{object.id, object.kind, object.visible};
        }
    }

    // Each row starts as a copy of one of these prepared records (per kind,
    // shown or hidden; group; group end), taken once rather than per row.
    // Copied whole with their zero padding, as a cleared row would be.
    HierarchyRow kind_rows[2][OBJECT_KIND_COUNT + 1];
    String kind_names[OBJECT_KIND_COUNT + 1];
    // Kind names padded to a fixed run, copied without a library call.
    uint8_t kind_name_bytes[OBJECT_KIND_COUNT + 1][KIND_NAME_BYTES] = {};
    std::memset(kind_rows, 0, sizeof kind_rows);
    for (int kind = 0; kind <= OBJECT_KIND_COUNT; kind++) {
        kind_names[kind] = object_kind_name((ObjectKind)kind);
        // Never cut for the names there are; keeps each copy inside its run.
        if (kind_names[kind].length > KIND_NAME_BYTES) kind_names[kind].length = KIND_NAME_BYTES;
        std::memcpy(kind_name_bytes[kind], kind_names[kind].data, (size_t)kind_names[kind].length);
        for (int shown = 0; shown < 2; shown++) {
            HierarchyRow& look = kind_rows[shown][kind];
            look.icon = object_kind_icon((ObjectKind)kind);
            look.color = object_kind_color((ObjectKind)kind);
            if (!shown) look.color.w *= 0.5f;
        }
    }
    HierarchyRow group_row, group_end_row;
    std::memset(&group_row, 0, sizeof group_row);
    std::memset(&group_end_row, 0, sizeof group_end_row);
    group_row.object_id = GROUP_ROW_ID;
    group_row.icon = editor.assets.icons[ICON_GROUP];
    group_row.color = editor.theme.group_color;
    group_end_row.object_id = GROUP_ROW_ID;

    int64_t row_count = get_count(r, ROW_MIN_BYTES);
    if (row_count > 0 && !array_reserve(&out->rows, row_count)) out_of_memory = true;
    // Row names are edited in place, so each row gets its own bytes; the
    // kind names of object rows are carved from one block.
    uint8_t* name_bytes = row_count > 0 ? pool_alloc_array<uint8_t>(pool, row_count * KIND_NAME_BYTES) : nullptr;
    if (row_count > 0 && !name_bytes) out_of_memory = true;
    // Rows mostly follow the objects in order: the object after the last
    // one found is tried before the binary search.
    int64_t next_guess = 0;
    const int64_t loaded_objects = out->objects.count;
    for (int64_t i = 0; i < row_count && !r->failed && !out_of_memory; i++) {
        if (!take(r, ROW_MIN_BYTES)) break;
        HierarchyRow* row = &out->rows.data[out->rows.count++];
        int64_t id = read_value<int64_t>(r);
        uint8_t flags = read_u8(r);
        // An end row never stands for an object, whatever id it carries.
        const ObjectKey* object = nullptr;
        if (!(flags & 2) && id == (int32_t)id) {
            if (next_guess < loaded_objects && keys[next_guess].id == id) {
                object = &keys[next_guess++];
            } else {
                object = find_key(keys, loaded_objects, id);
                if (object) next_guess = (object - keys) + 1;
            }
        }
        if (object) {
            int kind = object->kind < OBJECT_KIND_COUNT ? (int)object->kind : (int)OBJECT_KIND_COUNT;
            std::memcpy(row, &kind_rows[object->visible ? 1 : 0][kind], sizeof *row);
            row->object_id = (int32_t)id;
            if (!(flags & 1)) {
                // A full run always fits: each row before used at most as much.
                std::memcpy(name_bytes, kind_name_bytes[kind], KIND_NAME_BYTES);
                row->name = String{name_bytes, kind_names[kind].length};
                name_bytes += kind_names[kind].length;
            }
        } else {
            std::memcpy(row, (flags & 2) ? &group_end_row : &group_row, sizeof *row);
        }
        row->group_start = (flags & 1) != 0;
        row->group_end = (flags & 2) != 0;
        row->expanded = (flags & 4) != 0;
        row->selected = (flags & 8) != 0;
        // The writer stores a name for every group-start row, object or not.
        if (row->group_start) row->name = get_string(r, &out_of_memory);
    }

    int64_t next_id = get_value<int64_t>(r);
    // Ids handed out later must not collide with any loaded one.
    if (largest_id == INT64_MAX) out->next_object_id = INT64_MAX;  // none left; creation refuses
    else out->next_object_id = next_id > largest_id ? next_id : largest_id + 1;
    tools->placement_mode = get_u8(r) != 0;
    tools->pivot_per_object = get_u8(r) != 0;
    tools->gizmo_mode = get_u8(r);
    tools->placement_kind = get_u8(r);
    SceneSettings& settings = out->settings;
    settings.view_2d = get_u8(r) != 0;
    settings.depth = get_u8(r) != 0;
    settings.wireframe = get_u8(r) != 0;
    settings.snapping = get_u8(r) != 0;
    get_floats(r, &settings.background.x, 4);
    get_floats(r, &settings.plane_normal.x, 3);
    settings.plane_height = get_value<float>(r);
    get_floats(r, &settings.snap_size.x, 3);
    settings.snap_angle = get_value<float>(r);

    pool_restore(frame_mark);
    pool_restore(scratch_mark);
    SceneLoadResult result = SCENE_LOAD_OK;
    if (out_of_memory) result = SCENE_LOAD_OUT_OF_MEMORY;
    else if (r->failed || r->at != r->end) result = SCENE_LOAD_DAMAGED;
    if (result != SCENE_LOAD_OK) {
        pool_restore(mark);
        out->objects = array_make<SceneObject>(pool);
        out->rows = array_make<HierarchyRow>(pool);
    }
    return result;
}

// ---------------------------------------------------------------------------
// Loading into the editor

void scene_message_box(String title, String path, String tail, String reason) {
    // The text goes to the frame pool, or for a moment to the persistent one
    // when the frame pool is full: the report must not get lost.
    PoolMark mark = pool_mark(POOL_PERSISTENT);
    int64_t length = path.length + tail.length + reason.length;
    uint8_t* bytes = static_cast<uint8_t*>(pool_alloc(POOL_FRAME, length));
    if (!bytes) bytes = static_cast<uint8_t*>(pool_alloc(POOL_PERSISTENT, length));
    String text{bytes, bytes ? length : 0};
    if (bytes) {
        if (path.length > 0) std::memcpy(bytes, path.data, (size_t)path.length);
        if (tail.length > 0) std::memcpy(bytes + path.length, tail.data, (size_t)tail.length);
        if (reason.length > 0) std::memcpy(bytes + path.length + tail.length, reason.data, (size_t)reason.length);
    }
    show_simple_message_box(0, &title, &text);
    pool_restore(mark);
}

static void message_box(String title, String path, String tail) { scene_message_box(title, path, tail, String{nullptr, 0}); }

static void keep_path(String path) {
    SceneState* scene = &editor.scene;
    if (string_equal(scene->scene_path, path)) return;
    String copy = path;
    if (!scene_string_copy(&copy, scene->pool)) print(S("out of memory: the scene path was not kept\n"));
    else scene->scene_path = copy;
}

SceneLoadResult scene_load_bytes(String bytes, String path) {
    // Built in the spare arena and swapped in only when whole: a refused
    // file never touches the open scene.
    SceneState built = scene_build_begin();
    SceneToolBytes tools{};
    SceneLoadResult result = scene_parse(bytes, &built, &tools, built.pool);
    if (result == SCENE_LOAD_OK && !scene_build_carry(&built, path)) result = SCENE_LOAD_OUT_OF_MEMORY;
    if (result != SCENE_LOAD_OK) scene_build_abandon();
    switch (result) {
        case SCENE_LOAD_OK: break;
        case SCENE_LOAD_BAD_MAGIC: message_box(S("invalid file"), path, S(" is not a valid scene file!")); return result;
        case SCENE_LOAD_BAD_VERSION: message_box(S("incompatible version"), path, S(" is not compatible!")); return result;
        case SCENE_LOAD_DAMAGED: message_box(S("invalid file"), path, S(" is damaged!")); return result;
        case SCENE_LOAD_OUT_OF_MEMORY: message_box(S("open failed"), path, S(": not enough memory to open it")); return result;
    }
    tool_bytes_apply(&built, tools);
    built.scene_modified = false;
    built.replace_count = editor.scene.replace_count + 1;
    scene_build_commit(&built);
    return SCENE_LOAD_OK;
}

SceneLoadResult scene_load(String path) {
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    String bytes{nullptr, 0};
    // A missing or unreadable file reads as no bytes (and so as no scene).
    FileHandle file = file_open(&path, FILE_READ);
    if (!file_failed(file)) {
        int64_t size = file_size(file);
        uint8_t* block = nullptr;
        if (size > 0) {
            block = static_cast<uint8_t*>(pool_alloc(POOL_FRAME, size));
            // A file larger than the frame pool goes to the scratch pool,
            // which is given back once the scene is built.
            if (!block) block = static_cast<uint8_t*>(pool_alloc(POOL_SCRATCH, size));
            if (!block) {
                file_close(file);
                message_box(S("open failed"), path, S(": the file is too large to open"));
                pool_restore(frame_mark);
                pool_restore(scratch_mark);
                scene_scratch_trim();
                return SCENE_LOAD_OUT_OF_MEMORY;
            }
        }
        if (block && file_read(file, size, block) == size) bytes = String{block, size};
        file_close(file);
    }
    SceneLoadResult result = scene_load_bytes(bytes, path);
    pool_restore(frame_mark);
    pool_restore(scratch_mark);
    scene_scratch_trim();
    return result;
}

// ---------------------------------------------------------------------------
// Saving

static bool write_and_replace(String target, String bytes, String* reason);

bool scene_write_file(String path, String bytes, String* reason) {
    if (path.length <= 0) {
        if (reason) *reason = S("no file name");
        return false;
    }
    // A new file beside the target takes the bytes; only a complete one on
    // storage replaces the target, so a crash mid-save keeps the old file.
    // The names live in the persistent pool only for this call: the frame
    // pool may be full of the bytes themselves.
    PoolMark persistent_mark = pool_mark(POOL_PERSISTENT);
    // Replacing a symbolic link would turn it into a plain file: the file it
    // leads to is the one replaced.
    String target{nullptr, 0};
    bool written = false;
    if (!file_link_target(&path, &target, POOL_PERSISTENT)) {
        String failure = string_copy_to(file_error(), POOL_FRAME);
        if (reason) *reason = failure.length > 0 ? failure : S("the file could not be written");
    } else {
        written = write_and_replace(target, bytes, reason);
    }
    pool_restore(persistent_mark);
    return written;
}

static bool write_and_replace(String target, String bytes, String* reason) {
    String failure{nullptr, 0};
    String temporary{nullptr, 0};
    FileHandle file = file_create_beside(&target, &temporary, POOL_PERSISTENT);
    if (file_failed(file)) {
        failure = string_copy_to(file_error(), POOL_FRAME);
    } else {
        int64_t length = bytes.length > 0 ? bytes.length : 0;
        bool ok = file_write(file, length, bytes.data) == length;
        ok = ok && file_flush(file);
        if (!ok) failure = string_copy_to(file_error(), POOL_FRAME);
        bool closed = file_close(file);
        if (ok && !closed) failure = string_copy_to(file_error(), POOL_FRAME);
        ok = ok && closed;
        if (ok && !file_rename(&temporary, &target)) {
            failure = string_copy_to(file_error(), POOL_FRAME);
            ok = false;
        }
        if (ok) return true;
        file_remove(&temporary);
    }
    if (reason) *reason = failure.length > 0 ? failure : S("the file could not be written");
    return false;
}

// The file bytes of the editor's scene in the frame pool, or in the scratch
// pool when they outgrow it (the caller gives that back).
static String serialize_anywhere() {
    String bytes = scene_serialize();
    if (!bytes.data) bytes = scene_serialize_state(&editor.scene, scene_tool_bytes(&editor.scene), POOL_SCRATCH);
    return bytes;
}

bool scene_matches_file(String path) {
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    String on_disk = file_read_all(path, POOL_FRAME);
    if (!on_disk.data) on_disk = file_read_all(path, POOL_SCRATCH);
    String current = serialize_anywhere();
    bool same = current.data && string_equal(on_disk, current);
    pool_restore(frame_mark);
    pool_restore(scratch_mark);
    scene_scratch_trim();
    return same;
}

bool scene_save(String path) {
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    // A scene whose file outgrows the frame pool is built in the scratch
    // pool and given back right after the write: it must still be savable.
    String bytes = serialize_anywhere();
    String reason{nullptr, 0};
    bool saved = false;
    if (!bytes.data) reason = S("not enough memory to build the scene file");
    else saved = scene_write_file(path, bytes, &reason);
    pool_restore(scratch_mark);
    scene_scratch_trim();
    if (!saved) {
        scene_message_box(S("save failed"), path, S(": "), reason);
        pool_restore(frame_mark);
        return false;
    }
    pool_restore(frame_mark);
    keep_path(path);
    editor.scene.scene_modified = false;
    return true;
}
