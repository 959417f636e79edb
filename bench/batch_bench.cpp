// Interface drawing cost per frame: 10 000 rectangles (each its own draw
// call, as every widget rectangle is) and 10 000 glyphs in 500 labels with
// the bundled font. "Append" builds the batch only (layout cost); "Frame"
// also flushes every rectangle and every label to the GL driver.
// Run under a display: xvfb-run -a build-render/bench/batch_bench
#include <cstdio>
#include <cstdlib>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "app/editor.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/shader.h"
#include "render/targets.h"
#include "ui/quad.h"
#include "ui/text.h"

namespace {

constexpr int QUADS = 10000;
constexpr int LABELS = 500;   // of 20 glyphs each
const String LABEL = S("Scale_z:+1.000000000");         // 20 glyphs
const String LABEL_GLYPHS = S("Rotation_y:-45.0deg!");  // 20 glyphs

Font font;
uint32_t white;
bool ready;

bool setup() {
    if (chdir(TARNISK_DATA_DIR) != 0) return false;
    static uint8_t image_block[16 << 20];
    editor = Editor{};
    editor.gamma_value = 2.2;
    system_init(63);
    String title = S("batch bench");
    if (!display_open(1024, 768, &title, 0x54, 1)) return false;
    int32_t refresh = 0;
    display_get_info(&editor.window_width, &editor.window_height, &refresh);
    if (!pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY) || !pool_create(POOL_FRAME, POOL_FRAME_CAPACITY))
        return false;
    image_set_buffer(sizeof image_block, image_block);
    image_set_flip(true);
    shaders_load_all();
    batch_setup();
    frame_targets_create();
    font = Font{};
    font.font_scale = 256;
    if (!font_load(S("textures/font_info.txt"), &font)) return false;
    white = texture_load(S("textures/white.png"), 2, 2, 0, 0);
    editor.projection_matrix = mat4_ortho(0, (float)editor.window_width, 0, (float)editor.window_height, -1, 1);
    editor.view_matrix = mat4_identity();
    frame_target_bind(&editor.render.scene_target);
    shader_program_use(&editor.render.simple);
    pipeline_blend_enable(true);
    pipeline_blend_factor(3, 9);
    return true;
}

void BM_AppendOnly(benchmark::State& state) {
    if (!ready) {
        state.SkipWithError("no display or no bundled font");
        return;
    }
    DrawState& draw = editor.render.draw;
    for (auto _ : state) {
        batch_begin();
        for (int i = 0; i < QUADS; i++) quad_append((float)(i % 1000), (float)(i / 1000 * 20), 30, 18, 0, 0, Vec4{0, 0, 1, 1});
        draw.font = &font;
        draw.align = TextAlign{ALIGN_LEFT, ALIGN_MIDDLE};
        for (int i = 0; i < LABELS; i++) text_draw(LABEL_GLYPHS, (float)(i % 10 * 100), (float)(i / 10 * 15), 0.25, 0.25);
        benchmark::DoNotOptimize(draw.vertices.data);
    }
    state.counters["quads"] = (double)draw.vertices.count / 4;
}

void BM_FrameWithFlushes(benchmark::State& state) {
    if (!ready) {
        state.SkipWithError("no display or no bundled font");
        return;
    }
    const Vec4 color{0.2f, 0.3f, 0.4f, 0.9f};
    int64_t glyphs = 0;
    for (auto _ : state) {
        pipeline_clear_color(0, 0, 0, 1);
        pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);
        for (int i = 0; i < QUADS; i++) quad_draw(white, color, (float)(i % 1000), (float)(i / 1000 * 20), 30, 18);
        glyphs = 0;
        for (int i = 0; i < LABELS; i++) {
            text_draw_now(&font, Vec4{1, 1, 1, 1}, i % 2 ? LABEL : LABEL_GLYPHS, (float)(i % 10 * 100),
                          (float)(i / 10 * 15), 0.25, 0.25, ALIGN_LEFT, ALIGN_MIDDLE);
            glyphs += editor.render.draw.vertices.count / 4;
        }
        // As the main loop does: the frame goes out, so its GPU work is paid
        // within the frame and does not pile up in the driver.
        pipeline_present();
    }
    state.counters["glyphs"] = (double)glyphs;
}

BENCHMARK(BM_AppendOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameWithFlushes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ready = setup();
    if (!ready) std::printf("set-up failed: the benchmark needs a display (xvfb-run) and textures/font_info.txt\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (ready) {
        display_close();
        system_release();
    }
    return 0;
}
