// CPU cost of the object list with 100 000 rows in the real program: the
// whole editor frame with one object list open and with none, and the list's
// own call measured alone after the open frame. Rows are
// data objects (not drawn in the viewport, so the scene pass stays small),
// one in ten inside a group, every fourth group collapsed, some selected.
// Only the rows in view are drawn: the rest cost the walk's arithmetic.
// Run under a display: xvfb-run -a -s "-screen 0 1280x1024x24" build-test/bench/hierarchy_bench
#include <cstdio>

#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_frame.h"
#include "app/editor_ui.h"
#include "platform/platform.h"
#include "tools/hierarchy.h"

namespace {

bool started;
constexpr int64_t ROWS = 100000;

double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

void add_object_row() {
    SceneObject object{};
    object.kind = OBJECT_DATA;
    object.transform = transform_default();
    object.id = editor.scene.next_object_id++;
    object.visible = true;
    scene_append_object(object);
    scene_append_row(object.id, object_kind_name(OBJECT_DATA), object_kind_icon(OBJECT_DATA),
                     object_kind_color(OBJECT_DATA));
}

// Groups of eight objects, one group in four collapsed, every 97th row selected.
bool build_rows() {
    scene_init(&editor.scene);
    editor.tools = viewport_tool_state_default();
    if (!array_reserve(&editor.scene.objects, ROWS) || !array_reserve(&editor.scene.rows, ROWS)) return false;
    int64_t groups = 0;
    while (editor.scene.rows.count + 10 <= ROWS) {
        int64_t start = scene_insert_group(editor.scene.rows.count);
        if (start < 0) return false;
        editor.scene.rows.data[start].expanded = groups++ % 4 != 0;
        HierarchyRow end = editor.scene.rows.data[--editor.scene.rows.count];   // the end row follows the members
        for (int k = 0; k < 8; k++) add_object_row();
        if (array_push(&editor.scene.rows, end) < 0) return false;
    }
    for (int64_t i = 0; i < editor.scene.rows.count; i += 97) editor.scene.rows.data[i].selected = true;
    return editor.scene.rows.count == ROWS;
}

void BM_ObjectList(benchmark::State& state) {
    if (!started) {
        state.SkipWithError("no display: run under xvfb-run");
        return;
    }
    static int built = -1;
    if (built < 0) built = build_rows() ? 1 : 0;
    if (!built) {
        state.SkipWithError("the rows did not fit in memory");
        return;
    }
    bool open = state.range(0) != 0;
    editor.panels.list.count = 0;
    if (open) {
        int64_t index = editor_open_tool_panel(PANEL_OBJECTS);
        Panel* panel = &editor.panels.list.data[index];
        panel->position = Vec2{100, 100};
        panel->size = Vec2{300, 600};
        panel_layout(panel);
        // Scrolled to the middle: rows above and below the view are walked.
        panel_content<HierarchyPanel>(panel)->scroll = 1e9f;
    }
    double cpu = 0, panel_seconds = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        pool_reset(POOL_FRAME);
        double before = thread_cpu_seconds();
        editor_frame();
        cpu += thread_cpu_seconds() - before;
        frames++;
        if (open) {
            // The list's call once more on its own, over the frame's
            // interface matrices, with the pointer given to it.
            Panel* panel = &editor.panels.list.data[0];
            Vec2 size = {panel->size.x, panel->size.y - (float)editor.panels.title_height};
            input_enable_push(1);
            before = thread_cpu_seconds();
            hierarchy_panel(panel_content<HierarchyPanel>(panel), panel->position, size);
            panel_seconds += thread_cpu_seconds() - before;
            input_enable_pop();
        }
        state.PauseTiming();
        final_pass_to_window();
        pipeline_present();
        state.ResumeTiming();
    }
    state.counters["rows"] = (double)editor.scene.rows.count;
    state.counters["frame_cpu_ms"] = cpu / (double)frames * 1e3;
    state.counters["panel_cpu_ms"] = panel_seconds / (double)frames * 1e3;
    state.counters["panel_ns_per_row"] = panel_seconds / (double)frames / (double)editor.scene.rows.count * 1e9;
}

// Argument: an object list open (1) or none (0).
BENCHMARK(BM_ObjectList)->ArgNames({"open"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (chdir(TARNISK_DATA_DIR) != 0) {
        std::printf("cannot enter the data folder %s\n", TARNISK_DATA_DIR);
        return 1;
    }
    Array<String> none{nullptr, 0, 0, 0};
    started = editor_startup(none);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (started) editor_shutdown();
    return 0;
}
