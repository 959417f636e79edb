// The scene object model: kinds, templates, creation, duplication, lookup
// and the append operations every tool uses. Relies on the scene arena for
// all strings and point arrays, the asset lookups and the theme colors.
#include "scene/scene.h"

#include <cstring>

#include "app/editor.h"
#include "core/format.h"

static bool copy_owned(String* string, int8_t pool);

// ---------------------------------------------------------------------------
// Kinds

String object_kind_name(ObjectKind kind) {
    switch (kind) {
        case OBJECT_QUAD: return S("quad");
        case OBJECT_TEXT: return S("text");
        case OBJECT_MESH: return S("mesh");
        case OBJECT_DATA: return S("data");
        case OBJECT_PATH: return S("path");
        default: return S("object");
    }
}

Vec4 object_kind_color(ObjectKind kind) {
    const Theme& theme = editor.theme;
    switch (kind) {
        case OBJECT_QUAD: return theme.quad_object_color;
        case OBJECT_TEXT: return theme.text_object_color;
        case OBJECT_MESH: return theme.mesh_object_color;
        case OBJECT_DATA: return theme.data_object_color;
        case OBJECT_PATH: return theme.path_object_color;
        default: return Vec4{0.5f, 0.5f, 0.5f, 1};
    }
}

Texture object_kind_icon(ObjectKind kind) {
    const Texture* icons = editor.assets.icons;
    switch (kind) {
        case OBJECT_QUAD: return icons[ICON_QUAD];
        case OBJECT_TEXT: return icons[ICON_TEXT];
        case OBJECT_MESH: return icons[ICON_MESH];
        case OBJECT_DATA: return icons[ICON_DATA];
        case OBJECT_PATH: return icons[ICON_PATH];
        default: return icons[ICON_WHITE];
    }
}

// ---------------------------------------------------------------------------
// Defaults

SceneSettings scene_settings_default() {
    SceneSettings settings{};
    settings.view_2d = false;
    settings.depth = true;
    settings.wireframe = false;
    settings.background = Vec4{0, 0, 0.5f, 1};
    settings.snapping = false;
    settings.snap_size = Vec3{1, 1, 1};
    settings.snap_angle = 5;
    settings.plane_normal = Vec3{0, 0, 1};
    settings.plane_height = 0;
    return settings;
}

// A template's strings are edited in place by the property panel, so they
// live in the scene arena rather than in constant storage.
SceneTemplates scene_templates_default() {
    int8_t pool = editor.scene.pool;
    SceneTemplates templates;
    std::memset(&templates, 0, sizeof templates);
    templates.quad.texture = texture_find(String{nullptr, 0});
    templates.quad.color = Vec4{1, 1, 1, 1};
    templates.quad.uv_rect = Vec4{0, 0, 1, 1};
    templates.text.font = font_find(String{nullptr, 0});
    templates.text.color = Vec4{1, 1, 1, 1};
    templates.text.text = S("text");
    // Never a view of constant storage: it is written in place.
    if (!copy_owned(&templates.text.text, pool)) templates.text.text = String{nullptr, 0};
    templates.text.alignment = Vec2{0, 0};
    // 64 font pixels make one world unit: a line of the default font is
    // then about a unit high.
    templates.text.pixels_per_unit = 64;
    templates.mesh.mesh = nullptr;
    templates.path.color = editor.theme.path_object_color;
    templates.path.points = array_make<PathPoint>(pool);
    return templates;
}

void scene_init(SceneState* scene) {
    // The start-up scene begins both arenas afresh.
    scene_memory_create();
    pool_empty(POOL_SCENE_A);
    pool_empty(POOL_SCENE_B);
    std::memset(scene, 0, sizeof *scene);
    scene->pool = POOL_SCENE_A;
    scene->objects = array_make<SceneObject>(scene->pool);
    scene->rows = array_make<HierarchyRow>(scene->pool);
    scene->next_object_id = 0;
    scene->scene_path = String{nullptr, 0};
    scene->settings = scene_settings_default();
    scene->templates = scene_templates_default();
    SceneObject& preview = scene->placement_template;
    preview.kind = OBJECT_QUAD;
    preview.transform = transform_default();
    preview.quad = scene->templates.quad;
    preview.visible = true;
    preview.id = -1;  // the preview is no object of the scene
}

void placement_template_set_kind(SceneState* scene, ObjectKind kind) {
    // The preview must never hold the block of another kind than its own.
    SceneObject& preview = scene->placement_template;
    preview.kind = kind;
    switch (kind) {
        case OBJECT_QUAD: preview.quad = scene->templates.quad; break;
        case OBJECT_TEXT: preview.text = scene->templates.text; break;
        case OBJECT_MESH: preview.mesh = scene->templates.mesh; break;
        case OBJECT_PATH: preview.path = scene->templates.path; break;
        default: break;
    }
    preview.data = kind == OBJECT_DATA ? scene->templates.data : String{nullptr, 0};
}

// ---------------------------------------------------------------------------
// Lookup and append

SceneObject* scene_find_object_in(SceneState* scene, int64_t id) {
    int64_t low = 0, high = scene->objects.count;
    SceneObject* objects = scene->objects.data;
    while (low < high) {
        int64_t middle = low + (high - low) / 2;
        int64_t found = objects[middle].id;
        if (found == id) return &objects[middle];
        if (id < found) high = middle;
        else low = middle + 1;
    }
    return nullptr;
}

SceneObject* scene_find_object(int64_t id) { return scene_find_object_in(&editor.scene, id); }

int64_t scene_append_object(const SceneObject& object) {
    int64_t index = array_push(&editor.scene.objects, object);
    if (index < 0) print(S("out of memory: the object was not added\n"));
    return index;
}

// Row names are edited in place by the hierarchy panel, so every row holds
// its own copy of its name; `name` here is already such a copy.
static int64_t row_push(Array<HierarchyRow>* rows, int64_t id, String name, Texture icon, Vec4 color) {
    HierarchyRow row;
    std::memset(&row, 0, sizeof row);
    row.color = color;
    row.icon = icon;
    row.object_id = (int32_t)id;
    row.name = name;
    return array_push(rows, row);
}

int64_t scene_append_row(int64_t id, String name, Texture icon, Vec4 color) {
    String owned = name;
    int64_t index = copy_owned(&owned, editor.scene.pool) ? row_push(&editor.scene.rows, id, owned, icon, color) : -1;
    if (index < 0) print(S("out of memory: the row was not added\n"));
    return index;
}

int64_t scene_insert_group(int64_t index) {
    Array<HierarchyRow>* rows = &editor.scene.rows;
    if (index < 0) index = 0;
    if (index > rows->count) index = rows->count;
    String name = S("new group");
    // Room for both rows first, so a full pool never leaves a start row
    // without its end.
    if (!copy_owned(&name, editor.scene.pool) || !array_reserve(rows, rows->count + 2)) {
        print(S("out of memory: the group was not added\n"));
        return -1;
    }
    HierarchyRow start;
    std::memset(&start, 0, sizeof start);
    start.color = editor.theme.group_color;
    start.icon = editor.assets.icons[ICON_GROUP];
    start.object_id = GROUP_ROW_ID;
    start.name = name;
    start.group_start = true;
    start.expanded = true;
    HierarchyRow end;
    std::memset(&end, 0, sizeof end);
    end.object_id = GROUP_ROW_ID;
    end.group_end = true;
    array_insert(rows, index, start);
    array_insert(rows, index + 1, end);
    return index;
}

void scene_sort_objects(SceneState* scene) {
    int64_t count = scene->objects.count;
    if (count < 2) return;
    bool sorted = true;
    for (int64_t i = 1; i < count && sorted; i++) sorted = scene->objects.data[i - 1].id <= scene->objects.data[i].id;
    if (sorted) return;
    PoolMark mark = pool_mark(POOL_FRAME);
    SceneObject* scratch = pool_alloc_array<SceneObject>(POOL_FRAME, count);
    if (scratch) {
        merge_sort(scene->objects.data, count, scratch,
                   [](const SceneObject& a, const SceneObject& b) { return a.id < b.id; });
    } else {
        print(S("out of memory: the objects were not sorted\n"));
    }
    pool_restore(mark);
}

// ---------------------------------------------------------------------------
// Copies

static bool copy_owned(String* string, int8_t pool) {
    if (string->length <= 0) {
        *string = String{nullptr, 0};
        return true;
    }
    uint8_t* bytes = static_cast<uint8_t*>(pool_alloc(pool, string->length));
    if (!bytes) return false;
    std::memcpy(bytes, string->data, (size_t)string->length);
    string->data = bytes;
    return true;
}

bool scene_string_copy(String* string, int8_t pool) { return copy_owned(string, pool); }

static bool copy_points(Array<PathPoint>* points, int8_t pool) {
    Array<PathPoint> copy = array_make<PathPoint>(pool);
    if (points->count > 0) {
        if (!array_reserve(&copy, points->count)) return false;
        std::memcpy(copy.data, points->data, (size_t)points->count * sizeof(PathPoint));
        copy.count = points->count;
    }
    *points = copy;
    return true;
}

bool scene_object_copy_storage(SceneObject* object, int8_t pool) {
    bool ok = copy_owned(&object->data, pool);
    switch (object->kind) {
        case OBJECT_QUAD: ok = ok && copy_owned(&object->quad.texture_name, pool); break;
        case OBJECT_TEXT: ok = ok && copy_owned(&object->text.font_name, pool) && copy_owned(&object->text.text, pool); break;
        case OBJECT_MESH: ok = ok && copy_owned(&object->mesh.mesh_name, pool); break;
        case OBJECT_PATH: ok = ok && copy_points(&object->path.points, pool); break;
        default: break;
    }
    return ok;
}

bool scene_object_own_storage(SceneObject* object) { return scene_object_copy_storage(object, editor.scene.pool); }

bool scene_object_from_template(SceneObject* object, const SceneTemplates* templates, ObjectKind kind) {
    object->kind = kind;
    switch (kind) {
        case OBJECT_QUAD: object->quad = templates->quad; break;
        case OBJECT_TEXT: object->text = templates->text; break;
        case OBJECT_MESH: object->mesh = templates->mesh; break;
        case OBJECT_PATH: object->path = templates->path; break;
        default: break;
    }
    object->data = kind == OBJECT_DATA ? templates->data : String{nullptr, 0};
    return scene_object_own_storage(object);
}

// ---------------------------------------------------------------------------
// Creation and duplication

// Rows name their objects with 32 bits, so ids stop there.
static bool id_available(const SceneState* scene) {
    if (scene->next_object_id >= 0 && scene->next_object_id <= INT32_MAX) return true;
    print(S("no object ids left: the object was not added\n"));
    return false;
}

int64_t scene_create_object(ObjectKind kind, Transform transform) {
    SceneState* scene = &editor.scene;
    if (!id_available(scene)) return -1;
    SceneObject object;
    std::memset(&object, 0, sizeof object);
    object.transform = transform;
    object.visible = true;
    object.id = scene->next_object_id;
    // Room in both arrays first, so a full pool never leaves an object
    // without its row. Growth doubles: room for exactly one more would copy
    // the whole array on every new object.
    if (!scene_object_from_template(&object, &scene->templates, kind) ||
        !array_reserve_one(&scene->objects) ||
        !array_reserve_one(&scene->rows)) {
        print(S("out of memory: the object was not created\n"));
        return -1;
    }
    String name = object_kind_name(kind);
    if (!copy_owned(&name, scene->pool)) {
        print(S("out of memory: the object was not created\n"));
        return -1;
    }
    scene->next_object_id++;
    scene_append_object(object);
    row_push(&scene->rows, object.id, name, object_kind_icon(kind), object_kind_color(kind));
    scene->scene_modified = true;
    return object.id;
}

int64_t scene_duplicate_row(int64_t row_index) {
    SceneState* scene = &editor.scene;
    if (row_index < 0 || row_index >= scene->rows.count || scene->rows.data[row_index].group_end) return -1;
    const SceneObject* source = scene_find_object(scene->rows.data[row_index].object_id);
    if (!source || !id_available(scene)) return -1;
    SceneObject copy = *source;  // the append below may move the source
    // Names are edited in place, so the copy's row gets its own bytes too.
    String name = scene->rows.data[row_index].name;
    if (!scene_object_own_storage(&copy) || !copy_owned(&name, scene->pool) ||
        !array_reserve_one(&scene->objects) ||
        !array_reserve_one(&scene->rows)) {
        print(S("out of memory: the object was not duplicated\n"));
        return -1;
    }
    copy.id = scene->next_object_id++;
    scene_append_object(copy);
    Vec4 color = object_kind_color(copy.kind);
    if (!copy.visible) color.w *= 0.5f;
    int64_t new_row = row_push(&scene->rows, copy.id, name, object_kind_icon(copy.kind), color);
    scene->rows.data[row_index].selected = false;
    scene->rows.data[new_row].selected = true;
    scene->scene_modified = true;
    return new_row;
}
