// The text export: one line per hierarchy row, each object a keyword with a
// parenthesised attribute list, groups nested by parentheses. Write-only.
// Relies on the formatter's file number format and the scene file's safe
// write.
#include "scene/scene.h"

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"

static void put_numbers(StringBuilder* builder, const float* values, int count) {
    for (int i = 0; i < count; i++) {
        if (i > 0) builder_put_char(builder, ' ');
        builder_put_float(builder, (double)values[i], number_format_file);
    }
}

// " name(v v v)", with its leading space.
static void put_clause(StringBuilder* builder, String name, const float* values, int count) {
    builder_put_char(builder, ' ');
    builder_put_string(builder, name);
    builder_put_char(builder, '(');
    put_numbers(builder, values, count);
    builder_put_char(builder, ')');
}

static void put_number_clause(StringBuilder* builder, String name, double value) {
    builder_put_char(builder, ' ');
    builder_put_string(builder, name);
    builder_put_char(builder, '(');
    builder_put_float(builder, value, number_format_file);
    builder_put_char(builder, ')');
}

// name("bytes") with the bytes as they are.
static void put_quoted(StringBuilder* builder, String name, String bytes) {
    builder_put_char(builder, ' ');
    builder_put_string(builder, name);
    builder_put_bytes(builder, "(\"", 2);
    builder_put_string(builder, bytes);
    builder_put_bytes(builder, "\")", 2);
}

// Line breaks become \n and backslashes \\, so the text stays on one line
// and a reader can undo it; every other byte is copied.
static void put_escaped(StringBuilder* builder, String text) {
    int64_t run = 0;
    for (int64_t i = 0; i < text.length; i++) {
        uint8_t byte = text.data[i];
        if (byte != '\n' && byte != '\\') continue;
        builder_put_bytes(builder, text.data + run, i - run);
        builder_put_bytes(builder, byte == '\n' ? "\\n" : "\\\\", 2);
        run = i + 1;
    }
    builder_put_bytes(builder, text.data + run, text.length - run);
}

void transform_to_text(StringBuilder* builder, Transform transform) {
    builder_put_bytes(builder, "position(", 9);
    put_numbers(builder, &transform.position.x, 3);
    builder_put_bytes(builder, ") rotation(", 11);
    put_numbers(builder, &transform.rotation.s, 4);
    builder_put_bytes(builder, ") scale(", 8);
    put_numbers(builder, &transform.scale.x, 3);
    builder_put_char(builder, ')');
}

// The object without its closing parenthesis.
static void put_object(StringBuilder* builder, const SceneObject& object) {
    builder_put_string(builder, object_kind_name(object.kind));
    builder_put_char(builder, '(');
    transform_to_text(builder, object.transform);
    switch (object.kind) {
        case OBJECT_QUAD: {
            const QuadBlock& quad = object.quad;
            put_clause(builder, S("color"), &quad.color.x, 4);
            put_quoted(builder, S("texture"), quad.texture_name);
            put_clause(builder, S("uv_rect"), &quad.uv_rect.x, 4);
        } break;
        case OBJECT_TEXT: {
            const TextBlock& text = object.text;
            put_quoted(builder, S("font"), text.font_name);
            put_number_clause(builder, S("pixels_per_unit"), text.pixels_per_unit);
            put_clause(builder, S("alignment"), &text.alignment.x, 2);
            put_clause(builder, S("color"), &text.color.x, 4);
            builder_put_bytes(builder, " text(\"", 7);
            put_escaped(builder, text.text);
            builder_put_bytes(builder, "\")", 2);
        } break;
        case OBJECT_MESH: put_quoted(builder, S("mesh"), object.mesh.mesh_name); break;
        case OBJECT_PATH: {
            const PathBlock& path = object.path;
            if (path.bezier) builder_put_bytes(builder, " bezier(1)", 10);
            if (path.closed) builder_put_bytes(builder, " closed(1)", 10);
            put_number_clause(builder, S("width"), path.width);
            put_clause(builder, S("color"), &path.color.x, 4);
            builder_put_bytes(builder, " points(\n", 9);
            for (int64_t i = 0; i < path.points.count; i++) {
                const PathPoint& point = path.points.data[i];
                builder_put_bytes(builder, "position(", 9);
                put_numbers(builder, &point.position.x, 3);
                builder_put_char(builder, ')');
                if (path.bezier) {
                    put_clause(builder, S("a"), &point.a.x, 3);
                    put_clause(builder, S("b"), &point.b.x, 3);
                }
                builder_put_char(builder, '\n');
            }
            builder_put_char(builder, ')');
        } break;
        default: break;  // data: the transform alone
    }
    // The data text may add attributes of its own, so it goes in verbatim.
    builder_put_string(builder, object.data);
}

void scene_export_to_builder(StringBuilder* builder, SceneState* scene) {
    // Every ")" closes something opened before it: an end row without an
    // open group writes nothing, and groups still open at the end are closed.
    int64_t open_groups = 0;
    for (int64_t i = 0; i < scene->rows.count; i++) {
        const HierarchyRow& row = scene->rows.data[i];
        if (row.group_end && open_groups > 0) {
            builder_put_char(builder, ')');
            open_groups--;
        }
        const SceneObject* object = row.group_end ? nullptr : scene_find_object_in(scene, row.object_id);
        if (object) {
            put_object(builder, *object);
            if (row.group_start) open_groups++;
            else builder_put_char(builder, ')');
        } else if (row.group_start) {
            // A group without an object opens its own record, named so the
            // reader keeps the group's name.
            builder_put_bytes(builder, "group(name(\"", 12);
            put_escaped(builder, row.name);
            builder_put_bytes(builder, "\")", 2);
            open_groups++;
        }
        builder_put_char(builder, '\n');
    }
    for (; open_groups > 0; open_groups--) builder_put_bytes(builder, ")\n", 2);
}

bool scene_export(String path) {
    PoolMark mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    StringBuilder builder = builder_init(POOL_FRAME);
    scene_export_to_builder(&builder, &editor.scene);
    if (builder_failed(&builder)) {
        // Too large for the frame pool: built once more in the scratch
        // pool, whose pages go back right after the write.
        pool_restore(mark);
        builder = builder_init(POOL_SCRATCH);
        scene_export_to_builder(&builder, &editor.scene);
    }
    String reason{nullptr, 0};
    bool written = false;
    if (builder_failed(&builder)) reason = S("not enough memory to build the export");
    else written = scene_write_file(path, builder_to_string(&builder), &reason);
    if (!written) {
        scene_message_box(S("export failed"), path, S(": "), reason);
    }
    pool_restore(scratch_mark);
    scene_scratch_trim();
    pool_restore(mark);
    return written;
}
