// The picking pass: flat identity colors per hierarchy row into the 16-bit
// picking target, with blending off so the colors arrive exactly. Relies on
// render/draw, render/targets, render/scene_render (the same geometry as the
// scene pass) and the scene.
#include "render/picking.h"

#include "app/editor.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/scene_render.h"

static const Vec4 FULL_UV{0, 0, 1, 1};

// ---------------------------------------------------------------------------
// Id order

static bool id_less(const SceneObject& a, const SceneObject& b) { return a.id < b.id; }

void scene_objects_sort_by_id(Array<SceneObject>* objects) {
    int64_t count = objects->count;
    if (count < 2) return;
    SceneObject* items = objects->data;
    int64_t i = 1;
    while (i < count && items[i - 1].id <= items[i].id) i++;
    if (i == count) return;  // the usual case: appends keep the order

    PoolMark mark = pool_mark(POOL_FRAME);
    SceneObject* scratch = pool_alloc_array<SceneObject>(POOL_FRAME, count);
    if (scratch) {
        merge_sort(items, count, scratch, id_less);
        pool_restore(mark);
        return;
    }
    // No room for scratch: insertion sort needs none and is stable; the
    // objects are mostly in order, so it stays close to linear.
    for (; i < count; i++) {
        SceneObject moving = items[i];
        int64_t j = i;
        while (j > 0 && moving.id < items[j - 1].id) {
            items[j] = items[j - 1];
            j--;
        }
        items[j] = moving;
    }
}

// ---------------------------------------------------------------------------
// Drawing

static void sphere_flat(Vec3 position, float scale, uint64_t identity) {
    set_matrices(mat4_multiply(mat4_translation(position.x, position.y, position.z), mat4_scale(scale, scale, scale)));
    mesh_draw_flat(&editor.assets.builtin[BUILTIN_SPHERE], identity);
}

static void flat_begin(uint64_t identity) {
    bind_diffuse_texture(editor.assets.icons[ICON_WHITE]);
    batch_begin();
    editor.render.draw.color = identity_color(identity);
}

static void flush_if_any() {
    if (editor.render.draw.indices.count > 0) batch_flush();
}

static void object_pick_draw(const SceneObject& object, int64_t row) {
    uint64_t identity = identity_value(row, 0);
    switch (object.kind) {
    case OBJECT_QUAD:
        flat_begin(identity);
        quad_object_append(object, FULL_UV);
        flush_if_any();
        break;
    case OBJECT_TEXT: {
        if (!text_block_has_size(object.text)) break;
        float width = 0, height = 0;
        Mat4 m = text_block_rectangle(object, &width, &height);
        flat_begin(identity);
        text_rectangle_append(m, width, height, false);
        flush_if_any();
        break;
    }
    case OBJECT_MESH:
        if (object.mesh.mesh) {
            set_matrices(transform_to_matrix(object.transform));
            mesh_draw_flat(object.mesh.mesh, identity);
        } else {
            sphere_flat(object.transform.position, 0.4f, identity);
        }
        break;
    case OBJECT_DATA:
        if (editor.tools.show_data_objects) sphere_flat(object.transform.position, 0.5f, identity);
        break;
    case OBJECT_PATH: {
        sphere_flat(object.transform.position, 0.4f, identity);
        const PathBlock& path = object.path;
        for (int64_t i = 0; i < path.points.count; i++) {
            const PathPoint& point = path.points.data[i];
            sphere_flat(point.position, 0.25f, identity_value(row, 3 * i));
            if (path.bezier) {
                sphere_flat(point.a, 0.125f, identity_value(row, 3 * i + 1));
                sphere_flat(point.b, 0.125f, identity_value(row, 3 * i + 2));
            }
        }
        break;
    }
    default: break;
    }
}

bool picking_needed() { return input_mouse_is_pressed(MOUSE_PRIMARY) && input_enable_top() != 0; }

void picking_pass() {
    RenderState& render = editor.render;
    SceneState& scene = editor.scene;
    frame_target_bind(&render.picking_target);
    shader_program_use(&render.picking);
    pipeline_blend_enable(false);
    pipeline_depth_enable(scene.settings.depth);
    pipeline_clear_color(0, 0, 0, 0);
    pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);

    scene_objects_sort_by_id(&scene.objects);

    for (int64_t i = 0; i < scene.rows.count; i++) {
        const HierarchyRow& row = scene.rows.data[i];
        if (row.group_end) continue;
        const SceneObject* object = scene_find_object(row.object_id);
        if (!object || !object->visible) continue;
        object_pick_draw(*object, i);
    }
}
