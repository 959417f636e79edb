// CPU cost of the object list in the real program, with 1 000, 10 000 and
// 100 000 rows. Rows are data objects (not drawn in the viewport, so the
// scene pass stays small), groups of eight with one group in four collapsed,
// every 97th row selected, the list scrolled to the middle so rows above and
// below the view are walked.
//
// BM_ObjectListPanel: the list's own call per frame (panel_cpu_ms, the time
// column), timed around that call alone right after a real editor frame; the
// whole frame is reported beside it (frame_cpu_ms) but never mixed in. Only
// the rows in view are drawn, so the panel's time is a fixed cost for the
// rows in view plus a small, linear cost per row walked: the slope between
// the three sizes is the cost of a row (panel_ns_per_row divides the whole
// call by the rows, so it falls as the fixed part is spread).
// BM_ObjectListFrame: the whole editor frame at 100 000 rows with the list
// open and with none, which shows what opening the list adds.
//
// Each case runs a fixed number of frames: the GL driver's work per frame
// (llvmpipe under Xvfb) is far larger than the list's, and letting the
// library pick the count from the list's microseconds would run for hours.
// Run under a display: xvfb-run -a -s "-screen 0 1280x1024x24" build-test/bench/hierarchy_bench
#include <cstdio>

#include <benchmark/benchmark.h>

#include "app/app.h"
#include "bench/bench_editor.h"
#include "app/editor.h"
#include "app/editor_frame.h"
#include "app/editor_ui.h"
#include "app/panels.h"
#include "platform/platform.h"
#include "tools/hierarchy.h"

namespace {

constexpr int64_t FRAMES = 40;

void add_object_row() {
    SceneObject object{};
    object.kind = OBJECT_DATA;
    object.transform = transform_default();
    // Small: the highlight cubes of the selected rows cost the GL driver
    // their pixels, which says nothing about the list.
    object.transform.scale = Vec3{0.01f, 0.01f, 0.01f};
    object.id = editor.scene.next_object_id++;
    object.visible = true;
    scene_append_object(object);
    scene_append_row(object.id, object_kind_name(OBJECT_DATA), object_kind_icon(OBJECT_DATA),
                     object_kind_color(OBJECT_DATA));
}

// Groups of eight objects, one group in four collapsed, every 97th row selected.
bool build_rows(int64_t count) {
    static int64_t built = -1;
    if (built == count) return true;
    built = -1;
    scene_init(&editor.scene);
    editor.tools = viewport_tool_state_default();
    if (!array_reserve(&editor.scene.objects, count) || !array_reserve(&editor.scene.rows, count)) return false;
    int64_t groups = 0;
    while (editor.scene.rows.count + 10 <= count) {
        int64_t start = scene_insert_group(editor.scene.rows.count);
        if (start < 0) return false;
        editor.scene.rows.data[start].expanded = groups++ % 4 != 0;
        HierarchyRow end = editor.scene.rows.data[--editor.scene.rows.count];   // the end row follows the members
        for (int k = 0; k < 8; k++) add_object_row();
        if (array_push(&editor.scene.rows, end) < 0) return false;
    }
    while (editor.scene.rows.count < count) add_object_row();
    for (int64_t i = 0; i < editor.scene.rows.count; i += 97) editor.scene.rows.data[i].selected = true;
    if (editor.scene.rows.count != count) return false;
    built = count;
    return true;
}

// One object list (or none), scrolled to the middle.
HierarchyPanel* open_list(bool open) {
    editor.panels.list.count = 0;
    if (!open) return nullptr;
    int64_t index = editor_open_tool_panel(PANEL_OBJECTS);
    Panel* panel = &editor.panels.list.data[index];
    panel->position = Vec2{100, 100};
    panel->size = Vec2{300, 600};
    panel_layout(panel);
    HierarchyPanel* list = panel_content<HierarchyPanel>(panel);
    // Clamped to the largest scroll in the first frame, then halved.
    list->scroll = 1e9f;
    editor_frame();
    list->scroll /= 2;
    // The driver builds its code for each new draw state on first use.
    for (int i = 0; i < 3; i++) {
        pool_reset(POOL_FRAME);
        editor_frame();
        final_pass_to_window();
        pipeline_present();
    }
    return list;
}

// The list's own call once more after the frame, timed alone, over the
// frame's interface matrices and with the pointer given to it, as the panel
// frame gives it.
double panel_call_seconds() {
    Panel* panel = &editor.panels.list.data[0];
    Vec2 size = {panel->size.x, panel->size.y - (float)editor.panels.title_height};
    input_enable_push(1);
    double before = thread_cpu_seconds();
    hierarchy_panel(panel_content<HierarchyPanel>(panel), panel->position, size);
    double spent = thread_cpu_seconds() - before;
    input_enable_pop();
    return spent;
}

bool ready(benchmark::State& state, int64_t rows) {
    if (!bench_editor_started) {
        state.SkipWithError("no display: run under xvfb-run");
        return false;
    }
    if (!build_rows(rows)) {
        state.SkipWithError("the rows did not fit in memory");
        return false;
    }
    return true;
}

void BM_ObjectListPanel(benchmark::State& state) {
    int64_t rows = state.range(0);
    if (!ready(state, rows)) return;
    open_list(true);
    double frame_seconds = 0, panel_total = 0;
    for (auto _ : state) {
        pool_reset(POOL_FRAME);
        double before = thread_cpu_seconds();
        editor_frame();
        frame_seconds += thread_cpu_seconds() - before;
        double panel_seconds = panel_call_seconds();
        panel_total += panel_seconds;
        state.SetIterationTime(panel_seconds);
        final_pass_to_window();
        pipeline_present();
    }
    double frames = (double)state.iterations();
    state.counters["rows"] = (double)editor.scene.rows.count;
    state.counters["panel_cpu_ms"] = panel_total / frames * 1e3;
    state.counters["frame_cpu_ms"] = frame_seconds / frames * 1e3;
    state.counters["panel_ns_per_row"] = panel_total / frames / (double)rows * 1e9;
}

void BM_ObjectListFrame(benchmark::State& state) {
    if (!ready(state, 100000)) return;
    open_list(state.range(0) != 0);
    double frame_seconds = 0;
    for (auto _ : state) {
        pool_reset(POOL_FRAME);
        double before = thread_cpu_seconds();
        editor_frame();
        double spent = thread_cpu_seconds() - before;
        frame_seconds += spent;
        state.SetIterationTime(spent);
        final_pass_to_window();
        pipeline_present();
    }
    state.counters["frame_cpu_ms"] = frame_seconds / (double)state.iterations() * 1e3;
}

BENCHMARK(BM_ObjectListPanel)
    ->ArgNames({"rows"})
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(FRAMES)
    ->Unit(benchmark::kMicrosecond);
// Argument: an object list open (1) or none (0).
BENCHMARK(BM_ObjectListFrame)
    ->ArgNames({"open"})
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(FRAMES)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_editor_main(argc, argv); }
