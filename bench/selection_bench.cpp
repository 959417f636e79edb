// CPU cost of the viewport pick and of the selection's combined transform
// with every object selected, at 1 000 and 10 000 quads in the real program
// (llvmpipe under Xvfb). The pick is a full-window box read back from the
// picking image and applied to the rows; the transform is the gather, the
// gizmo frame and a change carried to every object (about the centre and
// about each origin). Both must grow linearly: compare the per-object
// figures of the two sizes.
// Run under a display: xvfb-run -a -s "-screen 0 1280x1024x24" build-test/bench/selection_bench
#include <cstdio>

#include <benchmark/benchmark.h>

#include "app/app.h"
#include "bench/bench_editor.h"
#include "app/editor.h"
#include "app/editor_frame.h"
#include "platform/platform.h"
#include "render/picking.h"
#include "tools/selection.h"

namespace {


// `count` quads on a grid the camera sees whole, all selected, drawn once
// so the picking image holds them.
void build_scene(int64_t count) {
    // The benchmark library calls each case several times and the
    // persistent pool is never given back, so each size is built once.
    static int64_t built = -1;
    if (built == count) return;
    built = count;
    scene_init(&editor.scene);
    editor.tools = viewport_tool_state_default();
    editor.selection = selection_state_default();
    int64_t side = 1;
    while (side * side < count) side++;
    float spacing = 100.0f / (float)side;
    for (int64_t i = 0; i < count; i++) {
        float x = ((float)(i % side) - (float)side / 2) * spacing, y = ((float)(i / side) - (float)side / 2) * spacing;
        SceneObject object{};
        object.kind = OBJECT_QUAD;
        object.transform = Transform{Vec3{x, y, 0}, Rotor{1, 0, 0, 0}, Vec3{spacing * 0.3f, spacing * 0.3f, 1}};
        scene_object_from_template(&object, &editor.scene.templates, OBJECT_QUAD);
        object.quad.billboard = false;
        object.id = editor.scene.next_object_id++;
        object.visible = true;
        scene_append_object(object);
        int64_t row = scene_append_row(object.id, S("quad"), object_kind_icon(OBJECT_QUAD), object_kind_color(OBJECT_QUAD));
        editor.scene.rows.data[row].selected = true;
    }
    editor.camera = camera_default();
    editor.camera.position = Vec3{0, 0, 70};
    pool_reset(POOL_FRAME);
    editor_frame();
    picking_pass();  // frames without a press leave the picking image alone
}

void report(benchmark::State& state, double cpu, int64_t rounds, int64_t count) {
    state.counters["objects"] = (double)count;
    state.counters["cpu_ms"] = cpu / (double)rounds * 1e3;
    state.counters["cpu_ns_per_object"] = cpu / (double)rounds / (double)count * 1e9;
}

void BM_BoxPick(benchmark::State& state) {
    if (!bench_editor_started) {
        state.SkipWithError("no display: run under xvfb-run");
        return;
    }
    int64_t count = state.range(0);
    build_scene(count);
    PickRegion whole{0, 0, editor.window_width, editor.window_height};
    double cpu = 0;
    int64_t rounds = 0;
    for (auto _ : state) {
        pool_reset(POOL_FRAME);
        double before = thread_cpu_seconds();
        pick_apply(whole, false);
        cpu += thread_cpu_seconds() - before;
        rounds++;
    }
    report(state, cpu, rounds, count);
}

// The scene pass's selection step with a change to carry on every call.
void BM_SelectionTransform(benchmark::State& state) {
    if (!bench_editor_started) {
        state.SkipWithError("no display: run under xvfb-run");
        return;
    }
    int64_t count = state.range(0);
    build_scene(count);
    editor.scene.pivot_per_object = state.range(1) != 0;
    Rotor nudge = rotor_from_axis_angle(Vec3{0, 0, 1}, 0.001f);
    double cpu = 0;
    int64_t rounds = 0;
    for (auto _ : state) {
        pool_reset(POOL_FRAME);
        double before = thread_cpu_seconds();
        update_selection_transform();
        // What a drag adds: the same walk once more, carrying a turn and a move.
        Transform old_combined = editor.scene.objects.data[0].transform;
        Transform new_combined = old_combined;
        new_combined.position.x += 0.001f;
        new_combined.rotation = rotor_multiply(old_combined.rotation, nudge);
        selection_carry(old_combined, new_combined, editor.scene.rows.count);
        cpu += thread_cpu_seconds() - before;
        rounds++;
    }
    report(state, cpu, rounds, count);
}

BENCHMARK(BM_BoxPick)->ArgNames({"objects"})->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
// Arguments: object count, about each origin (1) or the centre (0).
BENCHMARK(BM_SelectionTransform)
    ->ArgNames({"objects", "per_object"})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) { return bench_editor_main(argc, argv); }
