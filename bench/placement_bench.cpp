// Placing 10 000 objects one per frame in the real program: the placement
// step (keys, cursor, the new object and its row) must cost the same with
// 10 000 objects as with none, and the whole editor frame must grow only
// linearly with the objects placed so far. Each frame takes a real Space
// press from the event queue; the step is timed on the thread's CPU clock,
// and the full editor frame is timed at every 1 000th object.
// Run under a display: xvfb-run -a -s "-screen 0 1280x1024x24" build-test/bench/placement_bench
#include <cstdio>

#include <SDL.h>
#include <benchmark/benchmark.h>

#include "app/app.h"
#include "bench/bench_editor.h"
#include "app/editor.h"
#include "app/editor_frame.h"
#include "platform/platform.h"
#include "tools/placement.h"

namespace {

constexpr int64_t PLACED = 10000;
constexpr int64_t BUCKET = 1000;

void push_space(bool down) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = SDL_SCANCODE_SPACE;
    SDL_PushEvent(&event);
}

void BM_PlaceOnePerFrame(benchmark::State& state) {
    if (!bench_editor_started) {
        state.SkipWithError("no display: run under xvfb-run");
        return;
    }
    double step_first = 0, step_last = 0, frame_at_1000 = 0, frame_at_10000 = 0;
    for (auto _ : state) {
        scene_init(&editor.scene);
        editor.tools = viewport_tool_state_default();
        editor.scene.placement_mode = true;
        editor.scene.settings.snapping = true;
        editor.camera = camera_default();
        editor.camera.position = Vec3{0, 0, 70};
        editor.mouse_x = (float)editor.window_width / 2;
        editor.mouse_y = (float)editor.window_height / 2;
        step_first = step_last = 0;
        for (int64_t i = 0; i < PLACED; i++) {
            pool_reset(POOL_FRAME);
            push_space(true);
            push_space(false);
            input_poll();
            // Each object somewhere else on the plane, as a user would place them.
            editor.mouse_x = (float)(i % 97) * 8 + 100;
            editor.mouse_y = (float)(i % 89) * 6 + 100;
            double before = thread_cpu_seconds();
            viewport_tools_update();
            double spent = thread_cpu_seconds() - before;
            if (i < BUCKET) step_first += spent;
            if (i >= PLACED - BUCKET) step_last += spent;
            if ((i + 1) % BUCKET == 0) {
                double frame_before = thread_cpu_seconds();
                editor_frame();
                double frame = thread_cpu_seconds() - frame_before;
                if (i + 1 == BUCKET) frame_at_1000 = frame;
                if (i + 1 == PLACED) frame_at_10000 = frame;
                state.PauseTiming();
                final_pass_to_window();
                pipeline_present();
                state.ResumeTiming();
            }
        }
        if (editor.scene.objects.count != PLACED) state.SkipWithError("not every press placed an object");
    }
    state.counters["step_us_first_1000"] = step_first / BUCKET * 1e6;
    state.counters["step_us_last_1000"] = step_last / BUCKET * 1e6;
    state.counters["frame_ms_at_1000"] = frame_at_1000 * 1e3;
    state.counters["frame_ms_at_10000"] = frame_at_10000 * 1e3;
    state.counters["frame_us_per_object_1000"] = frame_at_1000 / 1000 * 1e6;
    state.counters["frame_us_per_object_10000"] = frame_at_10000 / 10000 * 1e6;
}

BENCHMARK(BM_PlaceOnePerFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_editor_main(argc, argv); }
