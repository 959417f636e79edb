// The scene: id-sorted objects of five kinds, the hierarchy rows that order
// and group them, the scene-wide settings, the new-object templates, the
// binary scene file and the text export. Relies on the pools and containers,
// the math records, the asset lookups (names resolve to handles) and the
// platform's files and message boxes.
#pragma once

#include <cstdint>

#include "assets/assets.h"
#include "core/containers.h"
#include "math/math.h"

// ---------------------------------------------------------------------------
// Records

typedef uint8_t ObjectKind;
enum : uint8_t { OBJECT_QUAD = 0, OBJECT_TEXT = 1, OBJECT_MESH = 2, OBJECT_DATA = 3, OBJECT_PATH = 4, OBJECT_KIND_COUNT = 5 };

// Every group row (start and end) carries this id; object ids count up from
// 0, so it never names an object.
constexpr int32_t GROUP_ROW_ID = -1;

struct PathPoint {
    Vec3 position;
    Vec3 a;                  // incoming Bezier handle
    Vec3 b;                  // outgoing Bezier handle
};

struct QuadBlock {
    Texture texture;         // resolved from texture_name
    String texture_name;     // what the file stores
    Vec4 color;              // RGBA 0..1
    Vec4 uv_rect;            // x, y, width, height in texture space
    bool billboard;          // turns to face the camera
};

struct TextBlock {
    Font* font;              // resolved from font_name (the default font when unknown)
    String font_name;
    Vec4 color;
    String text;             // may hold line breaks
    Vec2 alignment;          // -1..1 per axis: where the origin sits on the block
    double pixels_per_unit;  // font pixels per world unit
    bool billboard;
};

struct MeshBlock {
    Mesh* mesh;              // null: drawn as nothing
    String mesh_name;
};

struct PathBlock {
    bool bezier;
    bool closed;
    Vec4 color;
    double width;            // half-width of the ribbon
    int64_t index;           // selected point; may lie outside, wrapped where used
    int64_t sub_index;       // 0 position, 1 handle a, 2 handle b
    Array<PathPoint> points; // in its own storage, never shared between objects
};

struct SceneObject {
    ObjectKind kind;
    Transform transform;     // position, rotation, scale: copied as one block
    int64_t id;              // unique in the scene, never reused within a run
    union {                  // only the member of `kind` means anything
        QuadBlock quad;
        TextBlock text;
        MeshBlock mesh;
        PathBlock path;
    };
    String data;             // free text, exported verbatim
    bool visible;
};

struct HierarchyRow {
    Vec4 color;              // kind color (alpha halved when hidden) or group color
    Texture icon;
    int32_t object_id;       // GROUP_ROW_ID for group rows
    String name;
    bool group_start;        // the rows up to the matching end are members
    bool group_end;
    bool expanded;
    bool selected;
};

struct SceneSettings {
    bool view_2d;            // "2d"
    bool depth;              // "depth"
    bool wireframe;          // "wireframe"
    Vec4 background;         // "background", display space
    bool snapping;           // "snapping"
    Vec3 snap_size;          // "snap_size": 0 on an axis leaves it alone
    double snap_angle;       // "snap_angle", degrees; 0 means no snapping
    Vec3 plane_normal;       // "plane_normal"
    double plane_height;     // "plane_height"
};

// What a new object of each kind starts with.
struct SceneTemplates {
    QuadBlock quad;
    TextBlock text;
    MeshBlock mesh;
    PathBlock path;
    String data;             // data text of new data objects
};

// Everything a SceneState points at (records, strings, points, templates,
// path) lives in its arena, `pool`: replacing the scene builds the new one in
// the other arena and gives the old one back whole.
struct SceneState {
    int8_t pool;                  // scene arena of every record and string below
    int64_t compact_at;           // arena fill level at which dead space is measured again
    int64_t replace_count;        // wholesale replacements so far (open, new, undo, redo, recovery);
                                  // a compaction keeps it: the same scene in new memory
    Array<SceneObject> objects;   // ascending id
    Array<HierarchyRow> rows;     // display order and grouping
    int64_t next_object_id;
    bool scene_modified;
    String scene_path;            // empty for a scene never saved or opened
    SceneSettings settings;
    SceneTemplates templates;

    // Tool state that the scene file carries with the document; the tools
    // own its meaning (placement, selection pivot, gizmo).
    bool placement_mode;
    bool pivot_per_object;
    uint8_t gizmo_mode;               // 0..3
    SceneObject placement_template;   // its kind is the placement kind
};

// ---------------------------------------------------------------------------
// Object model (scene/scene.cpp)

String object_kind_name(ObjectKind kind);   // "quad" .. "path", "object" otherwise
Vec4 object_kind_color(ObjectKind kind);    // theme color; gray for unknown kinds
Texture object_kind_icon(ObjectKind kind);  // icon; the white texture for unknown kinds

SceneSettings scene_settings_default();
SceneTemplates scene_templates_default();
// Start-up values of the whole record: empty, id counter 0, default
// settings and templates. Needs the assets and the theme to be loaded.
// Empties both scene arenas (reserving them first if need be).
void scene_init(SceneState* scene);

// The placement preview becomes a `kind` (below OBJECT_KIND_COUNT) with that
// kind's template block.
void placement_template_set_kind(SceneState* scene, ObjectKind kind);

// Binary search over the id-sorted objects; null when no object has the id.
SceneObject* scene_find_object(int64_t id);
SceneObject* scene_find_object_in(SceneState* scene, int64_t id);
// Copies the record to the end; returns its index, -1 when the pool is full.
int64_t scene_append_object(const SceneObject& object);
// A row with all four flags clear and its own copy of `name` (row names are
// edited in place); returns its index, -1 when the pool is full.
int64_t scene_append_row(int64_t id, String name, Texture icon, Vec4 color);
// The start row ("new group", expanded) at `index` and its end row after it.
// Returns the start row's index, -1 when the pool is full.
int64_t scene_insert_group(int64_t index);
// Re-sorts the objects by id (stable); used when appends came out of order.
void scene_sort_objects(SceneState* scene);

// New storage for the object's strings and points, so the copy shares
// nothing with its source. False when the pool is full (the record is then
// left with views of the source's storage and must not be kept). The first
// form copies into the editor's scene arena.
bool scene_object_own_storage(SceneObject* object);
bool scene_object_copy_storage(SceneObject* object, int8_t pool);
// A copy of `string` in `pool`; false only when the pool is full. Empty
// strings take no bytes.
bool scene_string_copy(String* string, int8_t pool);
// The kind block of `kind` from `templates`, copied into new storage.
bool scene_object_from_template(SceneObject* object, const SceneTemplates* templates, ObjectKind kind);

// A new object of `kind` at `transform` from that kind's template, with its
// row; sets scene_modified. Returns the new object's id, -1 when the pool
// was full or the ids that rows can name are used up (nothing is added).
int64_t scene_create_object(ObjectKind kind, Transform transform);
// Duplicates the object of row `row_index`: fresh id, new row with the
// source row's name, selection moved from the source row to the copy.
// Returns the new row's index, -1 when the row has no object, the pool was
// full or the ids are used up.
int64_t scene_duplicate_row(int64_t row_index);

// ---------------------------------------------------------------------------
// Scene file (scene/scene_file.cpp)

enum SceneLoadResult : int32_t {
    SCENE_LOAD_OK = 0,
    SCENE_LOAD_BAD_MAGIC,        // also an empty or unreadable file
    SCENE_LOAD_BAD_VERSION,
    SCENE_LOAD_DAMAGED,          // ends early, counts or lengths beyond the end, bytes after the end
    SCENE_LOAD_OUT_OF_MEMORY,
};

// The tool bytes the file carries beside the document.
struct SceneToolBytes {
    uint8_t placement_mode;
    uint8_t pivot_per_object;
    uint8_t gizmo_mode;
    uint8_t placement_kind;
};

// The tool bytes the scene record carries now.
SceneToolBytes scene_tool_bytes(const SceneState* scene);
// Exact size of the file that scene_serialize_state writes.
int64_t scene_serialized_size(const SceneState* scene);
// The file bytes of `scene` in `pool`; an empty string when the pool is full.
String scene_serialize_state(const SceneState* scene, SceneToolBytes tools, int8_t pool);
// The file bytes of the editor's scene in the frame pool.
String scene_serialize();

// Parses `bytes` into the objects, rows, next_object_id and settings of
// `out` (storage in `pool`) and the tool bytes into `tools`. Nothing of the
// editor changes; on failure `out` holds nothing usable and `pool` is back
// where it was.
SceneLoadResult scene_parse(String bytes, SceneState* out, SceneToolBytes* tools, int8_t pool = POOL_PERSISTENT);
// Parses `bytes` and, when they are a whole scene, replaces the editor's
// scene with it (scene_path = path, scene_modified cleared). Any failure is
// shown in a message box and leaves the scene, its path and its modified
// flag exactly as they were.
SceneLoadResult scene_load_bytes(String bytes, String path);
// Reads the whole file at `path` and loads it as scene_load_bytes does.
SceneLoadResult scene_load(String path);
// Writes the scene beside `path` and renames it over `path` once every byte
// reached the storage; only then sets scene_path and clears scene_modified.
// A failure is shown in a message box ("save failed") and leaves the old
// file, the path and the modified flag as they were.
bool scene_save(String path);

// Whether the file at `path` holds exactly the bytes the editor's scene
// saves as. Large scenes are compared in the scratch pool, which is given
// back afterwards.
bool scene_matches_file(String path);

// Shows a message box whose text is path + tail + reason.
void scene_message_box(String title, String path, String tail, String reason);

// Writes `bytes` to a new, uniquely named file beside `path`, flushes it to
// storage and renames it over `path` (over the file a symbolic link leads
// to, so the link stays). The new file keeps the old one's permission bits.
// On failure the old file stays, the temporary is removed, and *reason (if
// given) tells why.
bool scene_write_file(String path, String bytes, String* reason);

// ---------------------------------------------------------------------------
// Scene memory (scene/scene_memory.cpp)
//
// Two arenas take turns: the open scene lives in one; opening, starting a
// new scene and compaction build the next scene in the other (the spare)
// and swap only once it is complete, then empty the old one: it keeps as
// many pages as the new scene uses, for the next build, and gives the rest
// back to the system. Edits allocate in the current arena; the dead space
// they leave is reclaimed by compaction between frames. Nothing may keep a
// pointer into the scene across frames: keep a SceneRef and find it again.

// Dead space below this never triggers a compaction.
constexpr int64_t SCENE_COMPACT_SLACK = INT64_C(1) << 20;

// Reserves both scene arenas and the scratch pool (those not yet reserved).
// False when the system gives no address space for them.
bool scene_memory_create();
void scene_memory_release();
// The arena that the editor's scene does not live in.
int8_t scene_spare_pool();

// A scene record that will be built in the spare arena (emptied first):
// empty objects and rows there, every other field copied from the editor's
// scene (settings, counters, modes), the templates not yet copied.
SceneState scene_build_begin();
// Copies the templates, the placement template and `path` (the scene's
// path to be) into the built scene's arena. False when the arena is full.
bool scene_build_carry(SceneState* built, String path);
// The built scene becomes the editor's scene; the old arena is emptied
// (pages past the new scene's size go back to the system).
void scene_build_commit(const SceneState* built);
// Gives up a build: the spare arena is emptied, the editor's scene untouched.
void scene_build_abandon();

// After work in the scratch pool has given its bytes back: the pages past
// its use go back to the system, except as many as the scene's arena holds,
// so that saving or comparing the same large scene again reuses them.
void scene_scratch_trim();

// Bytes the scene's records, strings and points take (what a compaction
// would copy), counted as the arena rounds them.
int64_t scene_live_bytes(const SceneState* scene);
// Rebuilds the scene in the spare arena and swaps. The saved bytes do not
// change. False (scene untouched, one console line) when memory is refused.
bool scene_compact();
// Between frames: compacts once the dead space in the arena passes both the
// live size and SCENE_COMPACT_SLACK.
void scene_memory_step();

// Replaces the scene with an empty one (no objects, rows or path, not
// modified); settings, templates, tool state and the id counter stay. A
// refused memory request shows one message box and keeps the scene.
bool scene_replace_with_empty();

// Writes `bytes` into `*target` in the editor's scene arena: in place when
// the old bytes are at least as long, else in new bytes (the old ones become
// dead space). False, target unchanged, when the arena is full.
bool scene_string_assign(String* target, String bytes);
// Renames row `row_index`; sets scene_modified. False for a row that does
// not exist, a group-end row, or a full arena.
bool scene_rename_row(int64_t row_index, String name);

// A reference that survives swaps and moves: it names an object by id (or
// the placement template) and a row by index, checked against the row's
// object id.
constexpr int64_t SCENE_REF_NONE = -1;
constexpr int64_t SCENE_REF_TEMPLATE = -2;   // the placement template, no object of the scene

struct SceneRef {
    int64_t object_id;   // an object id, SCENE_REF_NONE or SCENE_REF_TEMPLATE
    int64_t row_index;   // -1 for none
};

SceneRef scene_ref_none();
SceneRef scene_ref_object_id(int64_t id);
SceneRef scene_ref_template();
// The row and the object id it stands for (GROUP_ROW_ID for a group row).
SceneRef scene_ref_row_index(int64_t row_index);
// The object the reference names, found again now; null when it is gone.
SceneObject* scene_ref_object(SceneRef ref);
// The row found again: at its index when that row still stands for the same
// object, else the row of that object (the index is updated). A group row
// is found only at its index. Null when gone.
HierarchyRow* scene_ref_row(SceneRef* ref);
// Point `point_index` of the referenced path; null when the object is gone,
// is no path or has no such point.
PathPoint* scene_ref_point(SceneRef ref, int64_t point_index);

// ---------------------------------------------------------------------------
// Text export (scene/scene_export.cpp)

void transform_to_text(StringBuilder* builder, Transform transform);
// The export text of `scene` (built in `builder`).
void scene_export_to_builder(StringBuilder* builder, SceneState* scene);
// Writes the export of the editor's scene to `path`; a failure is shown in
// a message box ("export failed"). Touches neither scene_path nor
// scene_modified.
bool scene_export(String path);
