// Import speed of large OBJ files: a generated grid of quads with positions,
// texture coordinates, normals and a few materials, at several sizes (the
// largest over a million triangles, about 100 MB). Reports MB/s, the peak
// memory around one import and, for scale, one plain fread of the same file.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>

#include "assets/mesh.h"
#include "core/memory.h"

static std::string bench_path(int grid) { return "/tmp/tarnisk_bench_grid_" + std::to_string(grid) + ".obj"; }

// A grid x grid sheet of quads, four materials in bands, written once.
static int64_t write_grid(int grid) {
    std::string path = bench_path(grid);
    std::string mtl_path = "/tmp/tarnisk_bench_grid.mtl";
    if (FILE* mtl = std::fopen(mtl_path.c_str(), "wb")) {
        std::fputs("newmtl red\nKd 1 0 0\nnewmtl green\nKd 0 1 0\nnewmtl blue\nKd 0 0 1\nnewmtl white\nKd 1 1 1\n", mtl);
        std::fclose(mtl);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fprintf(file, "# generated grid %d x %d\nmtllib tarnisk_bench_grid.mtl\no sheet\n", grid, grid);
    int points = grid + 1;
    for (int y = 0; y < points; y++) {
        for (int x = 0; x < points; x++) {
            double h = 0.25 * std::sin(x * 0.05) * std::cos(y * 0.07);
            std::fprintf(file, "v %.6f %.6f %.6f\n", x * 0.01 - 4.0, y * 0.01 - 4.0, h);
        }
    }
    for (int y = 0; y < points; y++)
        for (int x = 0; x < points; x++) std::fprintf(file, "vt %.6f %.6f\n", (double)x / grid, (double)y / grid);
    for (int y = 0; y < points; y++)
        for (int x = 0; x < points; x++) std::fprintf(file, "vn %.6f %.6f %.6f\n", 0.01 * x / grid, 0.01 * y / grid, 0.99995);
    static const char* materials[] = {"red", "green", "blue", "white"};
    for (int y = 0; y < grid; y++) {
        if (y % (grid / 4 > 0 ? grid / 4 : 1) == 0) std::fprintf(file, "usemtl %s\n", materials[(y * 4 / grid) & 3]);
        for (int x = 0; x < grid; x++) {
            int a = y * points + x + 1, b = a + 1, c = a + points + 1, d = a + points;
            std::fprintf(file, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c, d, d, d);
        }
    }
    int64_t size = std::ftell(file);
    std::fclose(file);
    return size;
}

static int64_t file_bytes(int grid) {
    FILE* file = std::fopen(bench_path(grid).c_str(), "rb");
    if (!file) return write_grid(grid);
    std::fseek(file, 0, SEEK_END);
    int64_t size = std::ftell(file);
    std::fclose(file);
    return size;
}

// Resident-set high-water mark in bytes; reset_peak makes it start over.
static int64_t peak_resident() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    int64_t kilobytes = 0;
    while (std::fgets(line, sizeof(line), status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) kilobytes = std::atoll(line + 6);
    }
    std::fclose(status);
    return kilobytes * 1024;
}
static int64_t current_resident() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    int64_t kilobytes = 0;
    while (std::fgets(line, sizeof(line), status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) kilobytes = std::atoll(line + 6);
    }
    std::fclose(status);
    return kilobytes * 1024;
}
static void reset_peak() {
    if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", clear);
        std::fclose(clear);
    }
}

static void BM_MeshImport(benchmark::State& state) {
    int grid = (int)state.range(0);
    int64_t bytes = file_bytes(grid);
    std::string path = bench_path(grid);
    String path_view{reinterpret_cast<const uint8_t*>(path.data()), (int64_t)path.size()};
    int64_t triangles = 0, peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        reset_peak();
        int64_t before = current_resident();
        state.ResumeTiming();
        MeshBuild build;
        ScratchArena arena;
        int32_t status = mesh_build_file(&build, &arena, path_view);
        triangles = build.index_count / 3;
        benchmark::DoNotOptimize(build.vertices);
        state.PauseTiming();
        int64_t used = peak_resident() - before;
        if (used > peak) peak = used;
        if (status != 0) state.SkipWithError("import failed");
        scratch_release(&arena);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_MB"] = (double)bytes / 1e6;
    state.counters["triangles"] = (double)triangles;
    state.counters["peak_MB"] = (double)peak / 1e6;
    state.counters["peak_x_file"] = (double)peak / (double)bytes;
}

// One fread of the whole file into one block: the floor for any import.
static void BM_FileRead(benchmark::State& state) {
    int grid = (int)state.range(0);
    int64_t bytes = file_bytes(grid);
    std::string path = bench_path(grid);
    char* block = static_cast<char*>(std::malloc((size_t)bytes));
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "rb");
        size_t got = file ? std::fread(block, 1, (size_t)bytes, file) : 0;
        if (file) std::fclose(file);
        benchmark::DoNotOptimize(got);
        benchmark::DoNotOptimize(block);
    }
    std::free(block);
    state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK(BM_FileRead)->Arg(800)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeshImport)->Arg(100)->Arg(200)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    // Large blocks always come from and go back to the system, so that the
    // resident-set peak of one import is not hidden by memory kept resident
    // from the run before.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    // The importer prints through the editor's formatter and joins paths in
    // the frame pool, as it does inside the editor.
    pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY);
    pool_create(POOL_FRAME, POOL_FRAME_CAPACITY);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
