// Scene file speed on a scene of 100 000 objects (the five kinds in turn,
// paths of 16 points): serialise, save (serialise + write + flush to storage
// + rename), open (read + parse into the spare arena + swap + the old arena
// given back), each against the floor of writing and reading the same bytes
// with one fwrite / fread; and compaction (the scene rebuilt in the spare
// arena and swapped).
//
// Such a scene needs about 35 MiB of scene arena and its file about 20 MiB,
// more than the editor's frame pool: the file goes through the scratch pool
// as it would in the editor. The pools are the editor's own.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform_test_hooks.h"
#include "scene/scene.h"

constexpr int64_t OBJECT_COUNT = 100000;
constexpr int64_t PATH_POINTS = 16;

static std::string scene_file_path;
static int64_t file_bytes;

// Mean seconds per iteration of each measured operation, for the ratios:
// wall time, and the process's CPU time (which other work on a busy machine
// does not inflate).
struct Timing { double seconds; double cpu_seconds; int64_t runs; };
static Timing timing_serialize, timing_save, timing_open, timing_fwrite, timing_fwrite_flush, timing_fread,
    timing_compact;

static double now_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

static double cpu_seconds() {
    timespec time;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return (double)time.tv_sec + (double)time.tv_nsec * 1e-9;
}

// Starts the clocks of one measured run; `record` stops them.
struct Stopwatch { double wall, cpu; };
static Stopwatch stopwatch_start() { return Stopwatch{now_seconds(), cpu_seconds()}; }

static String view(const char* text) { return string_from_cstring(text); }

static void build_scene() {
    scene_init(&editor.scene);
    char name[64];
    for (int64_t i = 0; i < OBJECT_COUNT; i++) {
        SceneObject object;
        std::memset(&object, 0, sizeof object);
        object.kind = (ObjectKind)(i % OBJECT_KIND_COUNT);
        object.id = i;
        object.visible = true;
        float f = (float)i;
        object.transform = Transform{Vec3{f, -f, f * 0.5f}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
        std::snprintf(name, sizeof name, "resource_%lld", (long long)(i % 97));
        switch (object.kind) {
            case OBJECT_QUAD:
                object.quad.texture_name = string_copy(view(name));
                object.quad.color = Vec4{1, 1, 1, 1};
                object.quad.uv_rect = Vec4{0, 0, 1, 1};
                break;
            case OBJECT_TEXT:
                object.text.font_name = string_copy(view(name));
                object.text.text = string_copy(S("a label\nof two lines"));
                object.text.pixels_per_unit = 64;
                object.text.color = Vec4{1, 1, 1, 1};
                break;
            case OBJECT_MESH: object.mesh.mesh_name = string_copy(view(name)); break;
            case OBJECT_DATA: object.data = string_copy(S(" weight(1.5)")); break;
            case OBJECT_PATH: {
                object.path.bezier = true;
                object.path.width = 0.125;
                object.path.color = Vec4{0.5f, 0, 1, 1};
                object.path.points = array_make<PathPoint>(editor.scene.pool);
                array_reserve(&object.path.points, PATH_POINTS);
                for (int64_t p = 0; p < PATH_POINTS; p++) {
                    float g = (float)p;
                    array_push(&object.path.points, PathPoint{Vec3{g, g, 0}, Vec3{g - 1, g, 0}, Vec3{g + 1, g, 0}});
                }
            } break;
        }
        scene_append_object(object);
        scene_append_row(i, object_kind_name(object.kind), 0, Vec4{1, 1, 1, 1});
    }
    editor.scene.next_object_id = OBJECT_COUNT;
}

static void record(Timing* timing, Stopwatch start) {
    timing->seconds += now_seconds() - start.wall;
    timing->cpu_seconds += cpu_seconds() - start.cpu;
    timing->runs++;
}

static void set_bytes(benchmark::State& state) { state.SetBytesProcessed((int64_t)state.iterations() * file_bytes); }

static void BM_SceneSerialize(benchmark::State& state) {
    for (auto _ : state) {
        Stopwatch start = stopwatch_start();
        PoolMark mark = pool_mark(POOL_FRAME);
        PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
        String bytes = scene_serialize();
        if (!bytes.data) bytes = scene_serialize_state(&editor.scene, SceneToolBytes{}, POOL_SCRATCH);
        benchmark::DoNotOptimize(bytes.data);
        pool_restore(mark);
        pool_restore(scratch_mark);
        record(&timing_serialize, start);
    }
    set_bytes(state);
}

static void BM_SceneSave(benchmark::State& state) {
    String path = view(scene_file_path.c_str());
    for (auto _ : state) {
        Stopwatch start = stopwatch_start();
        if (!scene_save(path)) state.SkipWithError("save failed");
        record(&timing_save, start);
    }
    set_bytes(state);
}

static void BM_SceneOpen(benchmark::State& state) {
    String path = view(scene_file_path.c_str());
    // Each open replaces the scene with the same one, as a user opening the
    // file again would.
    for (auto _ : state) {
        Stopwatch start = stopwatch_start();
        if (scene_load(path) != SCENE_LOAD_OK) state.SkipWithError("open failed");
        record(&timing_open, start);
    }
    set_bytes(state);
}

static void BM_SceneCompact(benchmark::State& state) {
    for (auto _ : state) {
        Stopwatch start = stopwatch_start();
        if (!scene_compact()) state.SkipWithError("compaction refused");
        record(&timing_compact, start);
    }
    set_bytes(state);
}

// The parse alone, from bytes already in memory: open minus the read.
static void BM_SceneParse(benchmark::State& state) {
    String bytes = scene_serialize_state(&editor.scene, SceneToolBytes{}, POOL_SCRATCH);
    int8_t spare = scene_spare_pool();
    for (auto _ : state) {
        PoolMark mark = pool_mark(spare);
        SceneState parsed;
        std::memset(&parsed, 0, sizeof parsed);
        SceneToolBytes tools{};
        if (scene_parse(bytes, &parsed, &tools, spare) != SCENE_LOAD_OK) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(parsed.objects.data);
        pool_restore(mark);
    }
    pool_empty(spare);
    pool_empty(POOL_SCRATCH);
    set_bytes(state);
}

static std::string floor_path() { return scene_file_path + ".floor"; }

static void write_floor(benchmark::State& state, bool flush, Timing* timing) {
    PoolMark mark = pool_mark(POOL_SCRATCH);
    String bytes = scene_serialize_state(&editor.scene, SceneToolBytes{}, POOL_SCRATCH);
    for (auto _ : state) {
        Stopwatch start = stopwatch_start();
        FILE* file = std::fopen(floor_path().c_str(), "wb");
        std::fwrite(bytes.data, 1, (size_t)bytes.length, file);
        if (flush) {
            std::fflush(file);
            fsync(fileno(file));
        }
        std::fclose(file);
        record(timing, start);
    }
    pool_restore(mark);
    pool_give_back(POOL_SCRATCH);
    set_bytes(state);
}

static void BM_FloorFwrite(benchmark::State& state) { write_floor(state, false, &timing_fwrite); }
static void BM_FloorFwriteFsync(benchmark::State& state) { write_floor(state, true, &timing_fwrite_flush); }

static void BM_FloorFread(benchmark::State& state) {
    PoolMark mark = pool_mark(POOL_SCRATCH);
    uint8_t* buffer = static_cast<uint8_t*>(pool_alloc(POOL_SCRATCH, file_bytes));
    for (auto _ : state) {
        Stopwatch start = stopwatch_start();
        FILE* file = std::fopen(scene_file_path.c_str(), "rb");
        size_t got = std::fread(buffer, 1, (size_t)file_bytes, file);
        std::fclose(file);
        benchmark::DoNotOptimize(got);
        record(&timing_fread, start);
    }
    pool_restore(mark);
    pool_give_back(POOL_SCRATCH);
    set_bytes(state);
}

BENCHMARK(BM_SceneSerialize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorFwrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorFwriteFsync)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorFread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneCompact)->Unit(benchmark::kMillisecond);

static double mean(const Timing& timing) { return timing.runs ? timing.seconds / (double)timing.runs : 0; }
static double mean_cpu(const Timing& timing) { return timing.runs ? timing.cpu_seconds / (double)timing.runs : 0; }

static void print_ratio(String what, const Timing& measured, const Timing& floor) {
    if (!measured.runs || !floor.runs) return;
    double megabytes = (double)file_bytes / 1048576.0;
    format_print(S("%a: %b MB/s, %c x the floor (CPU time: %d MB/s, %e x)\n"),
                 {fmt_string(what), fmt_float(megabytes / mean(measured)), fmt_float(mean(measured) / mean(floor)),
                  fmt_float(megabytes / mean_cpu(measured)), fmt_float(mean_cpu(measured) / mean_cpu(floor))});
}

int main(int argc, char** argv) {
    if (!pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY) || !pool_create(POOL_FRAME, POOL_FRAME_CAPACITY) ||
        !scene_memory_create()) {
        return 1;
    }
    theme_defaults(&editor.theme);
    platform_set_headless_message_boxes(true);
    char directory[] = "/tmp/tarnisk_scene_bench_XXXXXX";
    if (!mkdtemp(directory)) return 1;
    scene_file_path = std::string(directory) + "/big.scene";
    build_scene();
    // As an opened scene would be: the records of the build's growth gone.
    scene_compact();
    file_bytes = scene_serialized_size(&editor.scene);
    if (!scene_save(view(scene_file_path.c_str()))) return 1;
    format_print(S("scene: %. objects, %. rows, file %. bytes\n"),
                 {fmt_int(editor.scene.objects.count), fmt_int(editor.scene.rows.count), fmt_int(file_bytes)});

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    print_ratio(S("serialise"), timing_serialize, timing_fwrite);
    print_ratio(S("save (with flush to storage) vs one fwrite"), timing_save, timing_fwrite);
    print_ratio(S("save (with flush to storage) vs fwrite + fsync"), timing_save, timing_fwrite_flush);
    print_ratio(S("open vs one fread"), timing_open, timing_fread);
    if (timing_compact.runs) {
        format_print(S("compaction: %. ms (%. ms CPU), arena %. MiB live\n"),
                     {fmt_float(mean(timing_compact) * 1000), fmt_float(mean_cpu(timing_compact) * 1000),
                      fmt_float((double)scene_live_bytes(&editor.scene) / 1048576.0)});
    }
    std::remove(scene_file_path.c_str());
    std::remove(floor_path().c_str());
    rmdir(directory);
    return 0;
}
