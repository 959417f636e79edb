// Undo history and autosave on a scene of 100 000 objects saved to a file:
// the memory of one step that moved one object, the time of recording it,
// of undo and of redo (each a full restore of the scene plus the comparison
// with its file), and the frame cost of one autosave (serialise, atomic
// write with flush). Medians of repeated runs; plain timing, since every
// undo builds a new scene.
#include <algorithm>
#include <filesystem>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform_test_hooks.h"
#include "scene/history.h"
#include "scene/recovery.h"
#include "scene/scene.h"

constexpr int64_t OBJECT_COUNT = 100000;
constexpr int RUNS = 9;

static double now_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Quads and data objects in turn, each with its row; arrays reserved once.
static void build_scene() {
    scene_init(&editor.scene);
    SceneState& scene = editor.scene;
    array_reserve(&scene.objects, OBJECT_COUNT);
    array_reserve(&scene.rows, OBJECT_COUNT);
    for (int64_t i = 0; i < OBJECT_COUNT; i++) {
        SceneObject object;
        std::memset(&object, 0, sizeof object);
        object.kind = i % 2 ? OBJECT_DATA : OBJECT_QUAD;
        object.id = i;
        object.visible = true;
        float f = (float)i;
        object.transform = Transform{Vec3{f, -f, f * 0.5f}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
        if (object.kind == OBJECT_QUAD) {
            object.quad.texture_name = S("resource_1");
            object.quad.color = Vec4{1, 1, 1, 1};
            object.quad.uv_rect = Vec4{0, 0, 1, 1};
        } else {
            object.data = S(" weight(1.5)");
        }
        scene_append_object(object);
        scene_append_row(i, object_kind_name(object.kind), 0, Vec4{1, 1, 1, 1});
    }
    scene.next_object_id = OBJECT_COUNT;
}

int main() {
    pool_create(POOL_PERSISTENT, INT64_C(2048) << 20);
    pool_create(POOL_FRAME, INT64_C(128) << 20);
    theme_defaults(&editor.theme);
    platform_set_headless_message_boxes(true);
    char directory[] = "/tmp/tarnisk_history_bench_XXXXXX";
    if (!mkdtemp(directory)) return 1;
    setenv("XDG_STATE_HOME", directory, 1);
    std::string path = std::string(directory) + "/big.scene";
    build_scene();
    if (!scene_save(string_from_cstring(path.c_str()))) return 1;
    history_clear();
    format_print(S("scene: %. objects, file %. bytes\n"),
                 {fmt_int(editor.scene.objects.count), fmt_int(scene_serialized_size(&editor.scene))});

    std::vector<double> unchanged, record, undo, redo, autosave_serialise, autosave, autosave_thread;
    int64_t step_bytes = 0;
    for (int run = 0; run < RUNS; run++) {
        double t0 = now_ms();
        history_check();
        unchanged.push_back(now_ms() - t0);

        editor.scene.objects.data[OBJECT_COUNT / 2].transform.position.x += 1;
        editor.scene.scene_modified = true;
        t0 = now_ms();
        if (!history_check()) { print(S("record failed\n")); return 1; }
        record.push_back(now_ms() - t0);
        step_bytes = history_step_bytes(editor.history.steps[editor.history.position - 1]);

        t0 = now_ms();
        if (!history_undo()) { print(S("undo failed\n")); return 1; }
        undo.push_back(now_ms() - t0);
        t0 = now_ms();
        if (!history_redo()) { print(S("redo failed\n")); return 1; }
        redo.push_back(now_ms() - t0);

        PoolMark mark = pool_mark(POOL_FRAME);
        t0 = now_ms();
        String bytes = scene_serialize();
        autosave_serialise.push_back(now_ms() - t0);
        if (!bytes.data) return 1;
        pool_restore(mark);
        editor.recovery.written_kept = false;
        t0 = now_ms();
        if (!recovery_write()) { print(S("autosave failed\n")); return 1; }
        autosave.push_back(now_ms() - t0);
        t0 = now_ms();
        if (!recovery_wait()) { print(S("autosave failed\n")); return 1; }
        autosave_thread.push_back(now_ms() - t0);
    }
    // The open's share of an undo: the same bytes parsed as a scene.
    std::vector<double> parse;
    for (int run = 0; run < RUNS; run++) {
        PoolMark mark = pool_mark(POOL_PERSISTENT);
        String bytes = scene_serialize();
        SceneState parsed;
        std::memset(&parsed, 0, sizeof parsed);
        SceneToolBytes tools{};
        double t0 = now_ms();
        scene_parse(bytes, &parsed, &tools);
        parse.push_back(now_ms() - t0);
        pool_restore(mark);
        pool_reset(POOL_FRAME);
    }
    format_print(S("parse alone (the open inside undo and redo), ms: %.\n"), {fmt_float(median(parse))});
    format_print(S("one step that moved one object: %. bytes (whole scene file: %. bytes)\n"),
                 {fmt_int(step_bytes), fmt_int(scene_serialized_size(&editor.scene))});
    format_print(S("median of %. runs, ms: check with no change %., record the move %., undo %., redo %.\n"),
                 {fmt_int(RUNS), fmt_float(median(unchanged)), fmt_float(median(record)), fmt_float(median(undo)),
                  fmt_float(median(redo))});
    format_print(S("autosave, ms: serialise %., in the frame (serialise, copy, start the writer) %., "
                   "writer thread (atomic write with flush) %.\n"),
                 {fmt_float(median(autosave_serialise)), fmt_float(median(autosave)), fmt_float(median(autosave_thread))});
    std::filesystem::remove_all(directory);
    return 0;
}
