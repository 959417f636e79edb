// CPU cost of the editor frame (scene pass, status text, and in frames with
// a left-button press over the viewport the picking pass) for scenes of
// 1 000 and 10 000 objects of all five kinds, in the real program started on
// the bundled data, drawn by whatever GL driver the display has (llvmpipe
// under Xvfb). The per-object figure must stay flat as the scene grows:
// every object is one flush or one mesh draw, nothing is quadratic. Almost
// all of the time is the driver's: on llvmpipe a Bezier path of three points
// costs about half a millisecond in a press frame, nearly all of it the ten
// sphere models (512 faces each) that mark its origin, points and handles in
// the picking image; quads alone cost a few microseconds each.
// Run under a display: xvfb-run -a -s "-screen 0 1280x1024x24" build-test/bench/scene_render_bench
#include <cstdio>

#include <SDL.h>
#include <benchmark/benchmark.h>

#include "app/app.h"
#include "bench/bench_editor.h"
#include "app/editor.h"
#include "app/editor_frame.h"
#include "platform/platform.h"

namespace {


Transform at(float x, float y, float scale) {
    return Transform{Vec3{x, y, 0}, Rotor{1, 0, 0, 0}, Vec3{scale, scale, scale}};
}

// `count` objects on a square grid that the camera sees whole, kinds in
// turn: textured quad, text, table mesh, data marker, three-point Bezier path
// (or quads only, which shows the cost of one flush per object alone).
void build_scene(int64_t count, bool mixed) {
    scene_init(&editor.scene);
    editor.tools = viewport_tool_state_default();
    editor.tools.show_data_objects = true;
    int64_t side = 1;
    while (side * side < count) side++;
    float spacing = 100.0f / (float)side;
    Mesh* table = mesh_find(S("table"));
    Texture checker = texture_find(S("checker"));
    for (int64_t i = 0; i < count; i++) {
        ObjectKind kind = mixed ? (ObjectKind)(i % OBJECT_KIND_COUNT) : (ObjectKind)OBJECT_QUAD;
        float x = ((float)(i % side) - (float)side / 2) * spacing, y = ((float)(i / side) - (float)side / 2) * spacing;
        SceneObject object{};
        object.kind = kind;
        object.transform = at(x, y, spacing * 0.3f);
        scene_object_from_template(&object, &editor.scene.templates, kind);
        if (kind == OBJECT_QUAD) object.quad.texture = checker;
        if (kind == OBJECT_TEXT) object.text.text = S("label");
        if (kind == OBJECT_MESH) object.mesh.mesh = table;
        if (kind == OBJECT_PATH) {
            object.path.bezier = true;
            object.path.width = spacing * 0.02;
            float h = spacing * 0.3f;
            PathPoint points[] = {{{x - h, y, 0}, {x - h, y - h, 0}, {x - h, y + h, 0}},
                                  {{x, y + h, 0}, {x - h, y + h, 0}, {x + h, y + h, 0}},
                                  {{x + h, y, 0}, {x + h, y + h, 0}, {x + h, y - h, 0}}};
            for (const PathPoint& p : points) array_push(&object.path.points, p);
        }
        object.id = editor.scene.next_object_id++;
        object.visible = true;
        scene_append_object(object);
        int64_t row = scene_append_row(object.id, object_kind_name(kind), object_kind_icon(kind), object_kind_color(kind));
        if (row >= 0 && i % 50 == 0) editor.scene.rows.data[row].selected = true;  // some highlights too
    }
    editor.camera = camera_default();
    editor.camera.position = Vec3{0, 0, 70};
}

void push_primary_button(bool down) {
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = editor.window_width / 2;
    event.button.y = editor.window_height / 2;
    SDL_PushEvent(&event);
}

// Real button events taken up by the poll. The measured loop polls no more,
// so a press stays the current frame's press for every measured frame. The
// release first: the library runs each case more than once, and only a
// button that was up can be pressed.
void set_press(bool press) {
    push_primary_button(false);
    if (press) push_primary_button(true);
    input_poll();
    if (!press) input_poll();   // the release's edge gone too
}

void BM_EditorFrame(benchmark::State& state) {
    if (!bench_editor_started) {
        state.SkipWithError("no display: run under xvfb-run");
        return;
    }
    int64_t count = state.range(0);
    // The persistent pool holds a few scenes only: the press cases reuse the
    // scene of the case before them.
    static int64_t built_count = -1, built_mixed = -1;
    if (built_count != count || built_mixed != state.range(1)) {
        build_scene(count, state.range(1) != 0);
        built_count = count;
        built_mixed = state.range(1);
    }
    bool press = state.range(2) != 0;
    set_press(press);
    double cpu = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        pool_reset(POOL_FRAME);
        double before = thread_cpu_seconds();
        editor_frame();
        cpu += thread_cpu_seconds() - before;
        frames++;
        // Let the driver finish the frame outside the measured work, as the
        // main loop's present does.
        state.PauseTiming();
        final_pass_to_window();
        pipeline_present();
        state.ResumeTiming();
    }
    state.counters["objects"] = (double)count;
    state.counters["cpu_ms_per_frame"] = cpu / (double)frames * 1e3;
    state.counters["cpu_us_per_object"] = cpu / (double)frames / (double)count * 1e6;
}

// Arguments: object count, mixed kinds (1) or quads only (0), frames with a
// left-button press over the viewport (1: every frame draws the picking
// pass) or without (0: the usual frame).
BENCHMARK(BM_EditorFrame)
    ->ArgNames({"objects", "mixed", "press"})
    ->Args({1000, 1, 0})
    ->Args({10000, 1, 0})
    ->Args({10000, 1, 1})
    ->Args({1000, 0, 0})
    ->Args({10000, 0, 0})
    ->Args({10000, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) { return bench_editor_main(argc, argv); }
