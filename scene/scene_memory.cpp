// Scene memory: the two arenas that take turns holding the open scene, the
// build of a replacement in the spare one and the swap, compaction of the
// dead space that edits leave, and references that find scene records again
// after a swap. Relies on the growing pools (core/memory), the scene model
// and the platform's message boxes.
#include "scene/scene.h"

#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"

static const int8_t GROWING_POOLS[] = {POOL_SCENE_A, POOL_SCENE_B, POOL_SCRATCH};

bool scene_memory_create() {
    bool ok = true;
    for (int8_t id : GROWING_POOLS) {
        if (pool_get(id)->base) continue;
        if (!pool_create_growing(id, POOL_GROWING_RESERVE)) ok = false;
    }
    return ok;
}

void scene_memory_release() {
    for (int8_t id : GROWING_POOLS) pool_release(id);
}

static bool is_arena(int8_t id) { return id == POOL_SCENE_A || id == POOL_SCENE_B; }

int8_t scene_spare_pool() { return editor.scene.pool == POOL_SCENE_A ? POOL_SCENE_B : POOL_SCENE_A; }

// ---------------------------------------------------------------------------
// Building and swapping

SceneState scene_build_begin() {
    int8_t spare = scene_spare_pool();
    // Whatever an abandoned build left there is no one's.
    pool_reset(spare);
    SceneState built = editor.scene;
    built.pool = spare;
    built.objects = array_make<SceneObject>(spare);
    built.rows = array_make<HierarchyRow>(spare);
    built.scene_path = String{nullptr, 0};
    return built;
}

// The kind block of `kind` in `templates`, copied into `pool`.
static bool template_block_copy(SceneTemplates* templates, ObjectKind kind, int8_t pool) {
    SceneObject holder;
    std::memset(&holder, 0, sizeof holder);
    holder.kind = kind;
    switch (kind) {
        case OBJECT_QUAD: holder.quad = templates->quad; break;
        case OBJECT_TEXT: holder.text = templates->text; break;
        case OBJECT_MESH: holder.mesh = templates->mesh; break;
        case OBJECT_PATH: holder.path = templates->path; break;
        default: break;
    }
    if (!scene_object_copy_storage(&holder, pool)) return false;
    switch (kind) {
        case OBJECT_QUAD: templates->quad = holder.quad; break;
        case OBJECT_TEXT: templates->text = holder.text; break;
        case OBJECT_MESH: templates->mesh = holder.mesh; break;
        case OBJECT_PATH: templates->path = holder.path; break;
        default: break;
    }
    return true;
}

bool scene_build_carry(SceneState* built, String path) {
    const SceneState* from = &editor.scene;
    int8_t pool = built->pool;
    built->templates = from->templates;
    const ObjectKind kinds[] = {OBJECT_QUAD, OBJECT_TEXT, OBJECT_MESH, OBJECT_PATH};
    for (ObjectKind kind : kinds) {
        if (!template_block_copy(&built->templates, kind, pool)) return false;
    }
    if (!scene_string_copy(&built->templates.data, pool)) return false;
    // The preview shows its kind's template with that template's storage,
    // so it follows the copied templates rather than being copied itself.
    placement_template_set_kind(built, built->placement_template.kind);
    String copy = path;
    if (!scene_string_copy(&copy, pool)) return false;
    built->scene_path = copy;
    return true;
}

static int64_t allowance_for(int64_t bytes) { return bytes > SCENE_COMPACT_SLACK ? bytes : SCENE_COMPACT_SLACK; }

void scene_build_commit(const SceneState* built) {
    int8_t old = editor.scene.pool;
    editor.scene = *built;
    Pool* arena = pool_get(built->pool);
    int64_t used = arena ? arena->used : 0;
    editor.scene.compact_at = used + allowance_for(used);
    // The old arena keeps as many pages as the new scene uses, ready for
    // the next build of about its size; the rest goes back to the system.
    if (is_arena(old) && old != built->pool) {
        pool_reset(old);
        pool_trim(old, used);
    }
}

void scene_build_abandon() { pool_empty(scene_spare_pool()); }

void scene_scratch_trim() {
    Pool* arena = pool_get(editor.scene.pool);
    pool_trim(POOL_SCRATCH, arena && is_arena(editor.scene.pool) ? arena->committed : 0);
}

// ---------------------------------------------------------------------------
// Compaction

static int64_t rounded(int64_t bytes) { return bytes > 0 ? (bytes + 7) & ~(int64_t)7 : 0; }

static int64_t object_storage_bytes(const SceneObject& object) {
    int64_t bytes = rounded(object.data.length);
    switch (object.kind) {
        case OBJECT_QUAD: bytes += rounded(object.quad.texture_name.length); break;
        case OBJECT_TEXT: bytes += rounded(object.text.font_name.length) + rounded(object.text.text.length); break;
        case OBJECT_MESH: bytes += rounded(object.mesh.mesh_name.length); break;
        case OBJECT_PATH: bytes += rounded(object.path.points.count * (int64_t)sizeof(PathPoint)); break;
        default: break;
    }
    return bytes;
}

int64_t scene_live_bytes(const SceneState* scene) {
    int64_t bytes = rounded(scene->objects.count * (int64_t)sizeof(SceneObject)) +
                    rounded(scene->rows.count * (int64_t)sizeof(HierarchyRow)) + rounded(scene->scene_path.length);
    for (int64_t i = 0; i < scene->objects.count; i++) bytes += object_storage_bytes(scene->objects.data[i]);
    for (int64_t i = 0; i < scene->rows.count; i++) bytes += rounded(scene->rows.data[i].name.length);
    const SceneTemplates& templates = scene->templates;
    bytes += rounded(templates.quad.texture_name.length) + rounded(templates.text.font_name.length) +
             rounded(templates.text.text.length) + rounded(templates.mesh.mesh_name.length) +
             rounded(templates.path.points.count * (int64_t)sizeof(PathPoint)) + rounded(templates.data.length);
    return bytes;
}

bool scene_compact() {
    const SceneState* scene = &editor.scene;
    SceneState built = scene_build_begin();
    bool ok = array_reserve(&built.objects, scene->objects.count) && array_reserve(&built.rows, scene->rows.count);
    for (int64_t i = 0; ok && i < scene->objects.count; i++) {
        SceneObject copy = scene->objects.data[i];
        ok = scene_object_copy_storage(&copy, built.pool);
        built.objects.data[built.objects.count++] = copy;
    }
    for (int64_t i = 0; ok && i < scene->rows.count; i++) {
        HierarchyRow row = scene->rows.data[i];
        ok = scene_string_copy(&row.name, built.pool);
        built.rows.data[built.rows.count++] = row;
    }
    ok = ok && scene_build_carry(&built, scene->scene_path);
    if (!ok) {
        scene_build_abandon();
        print(S("out of memory: the scene was not compacted\n"));
        return false;
    }
    scene_build_commit(&built);
    return true;
}

void scene_memory_step() {
    SceneState* scene = &editor.scene;
    Pool* arena = pool_get(scene->pool);
    if (!is_arena(scene->pool) || !arena || arena->used <= scene->compact_at) return;
    int64_t live = scene_live_bytes(scene);
    int64_t allowance = allowance_for(live);
    if (arena->used - live > allowance && scene_compact()) return;
    // Mostly live, or refused: look again after as much more.
    scene->compact_at = arena->used + allowance;
}

// ---------------------------------------------------------------------------
// Whole-scene replacement and edits

bool scene_replace_with_empty() {
    SceneState built = scene_build_begin();
    if (!scene_build_carry(&built, String{nullptr, 0})) {
        scene_build_abandon();
        String title = S("new scene failed");
        String text = S("not enough memory to start a new scene");
        show_simple_message_box(0, &title, &text);
        return false;
    }
    built.scene_modified = false;
    built.replace_count = editor.scene.replace_count + 1;
    scene_build_commit(&built);
    return true;
}

bool scene_string_assign(String* target, String bytes) {
    int64_t length = bytes.length > 0 ? bytes.length : 0;
    uint8_t* data = const_cast<uint8_t*>(target->data);
    if (!data || target->length < length) {
        // Grows in place when the old bytes are the arena's latest block.
        int64_t old_length = data ? target->length : 0;
        data = static_cast<uint8_t*>(pool_realloc(editor.scene.pool, data, old_length, length));
        if (!data) return false;
    }
    if (length > 0) std::memmove(data, bytes.data, (size_t)length);
    target->data = data;
    target->length = length;
    return true;
}

bool scene_rename_row(int64_t row_index, String name) {
    SceneState* scene = &editor.scene;
    if (row_index < 0 || row_index >= scene->rows.count || scene->rows.data[row_index].group_end) return false;
    if (!scene_string_assign(&scene->rows.data[row_index].name, name)) {
        print(S("out of memory: the row was not renamed\n"));
        return false;
    }
    scene->scene_modified = true;
    return true;
}

// ---------------------------------------------------------------------------
// References

SceneRef scene_ref_none() { return SceneRef{SCENE_REF_NONE, -1}; }
SceneRef scene_ref_object_id(int64_t id) { return SceneRef{id >= 0 ? id : SCENE_REF_NONE, -1}; }
SceneRef scene_ref_template() { return SceneRef{SCENE_REF_TEMPLATE, -1}; }

SceneRef scene_ref_row_index(int64_t row_index) {
    const Array<HierarchyRow>& rows = editor.scene.rows;
    if (row_index < 0 || row_index >= rows.count) return scene_ref_none();
    return SceneRef{rows.data[row_index].object_id, row_index};
}

SceneObject* scene_ref_object(SceneRef ref) {
    if (ref.object_id == SCENE_REF_TEMPLATE) return &editor.scene.placement_template;
    if (ref.object_id < 0) return nullptr;
    return scene_find_object(ref.object_id);
}

HierarchyRow* scene_ref_row(SceneRef* ref) {
    Array<HierarchyRow>& rows = editor.scene.rows;
    if (ref->row_index >= 0 && ref->row_index < rows.count && rows.data[ref->row_index].object_id == ref->object_id) {
        return &rows.data[ref->row_index];
    }
    // A group row has no id of its own to be found by elsewhere.
    if (ref->object_id < 0) return nullptr;
    for (int64_t i = 0; i < rows.count; i++) {
        if (rows.data[i].object_id == ref->object_id && !rows.data[i].group_end) {
            ref->row_index = i;
            return &rows.data[i];
        }
    }
    return nullptr;
}

PathPoint* scene_ref_point(SceneRef ref, int64_t point_index) {
    SceneObject* object = scene_ref_object(ref);
    if (!object || object->kind != OBJECT_PATH) return nullptr;
    if (point_index < 0 || point_index >= object->path.points.count) return nullptr;
    return &object->path.points.data[point_index];
}
