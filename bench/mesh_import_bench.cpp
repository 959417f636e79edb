// Import speed of large OBJ files, as ratios against references run in the
// same process (the machine is shared, so only ratios mean anything):
// one fread of the file, and a widely used library's whole-file loader when
// it was found at configure time. Two generated files of about 100 MB (a
// sheet of quads with positions, texture coordinates and normals, and one
// with positions only), then the sheet at growing sizes to show the time
// grows linearly. Also the resident-memory peak of one import against the
// file size.
//   mesh_import_bench [rounds=5] [--one-thread|--two-threads] [--head-share=N] [--benchmark_filter=...]
//   (by default a large file is read by two threads when a processor is
//   spare; the switches fix one way, --head-share the first thread's share
//   of 256; the filter runs the per-size Google Benchmark cases instead)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <sys/mman.h>
#include <string>
#include <thread>
#include <vector>

#if TARNISK_HAVE_TINYOBJ
#include <tiny_obj_loader.h>
#endif

#include "assets/mesh.h"
#include "core/memory.h"

namespace {

struct Sheet {
    int grid;
    bool uvs_and_normals;
};

std::string sheet_path(Sheet s) {
    return "/tmp/tarnisk_bench_" + std::string(s.uvs_and_normals ? "ptn_" : "p_") + std::to_string(s.grid) + ".obj";
}

// A grid x grid sheet of quads in four material bands, written once.
int64_t write_sheet(Sheet s) {
    std::string path = sheet_path(s);
    if (FILE* mtl = std::fopen("/tmp/tarnisk_bench_grid.mtl", "wb")) {
        std::fputs("newmtl red\nKd 1 0 0\nnewmtl green\nKd 0 1 0\nnewmtl blue\nKd 0 0 1\nnewmtl white\nKd 1 1 1\n", mtl);
        std::fclose(mtl);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fprintf(file, "# generated sheet %d x %d\nmtllib tarnisk_bench_grid.mtl\no sheet\n", s.grid, s.grid);
    int points = s.grid + 1;
    for (int y = 0; y < points; y++) {
        for (int x = 0; x < points; x++) {
            double h = 0.25 * std::sin(x * 0.05) * std::cos(y * 0.07);
            std::fprintf(file, "v %.6f %.6f %.6f\n", x * 0.01 - 4.0, y * 0.01 - 4.0, h);
        }
    }
    if (s.uvs_and_normals) {
        for (int y = 0; y < points; y++)
            for (int x = 0; x < points; x++)
                std::fprintf(file, "vt %.6f %.6f\n", (double)x / s.grid, (double)y / s.grid);
        for (int y = 0; y < points; y++)
            for (int x = 0; x < points; x++)
                std::fprintf(file, "vn %.6f %.6f %.6f\n", 0.01 * x / s.grid, 0.01 * y / s.grid, 0.99995);
    }
    static const char* materials[] = {"red", "green", "blue", "white"};
    for (int y = 0; y < s.grid; y++) {
        if (y % (s.grid / 4 > 0 ? s.grid / 4 : 1) == 0) std::fprintf(file, "usemtl %s\n", materials[(y * 4 / s.grid) & 3]);
        for (int x = 0; x < s.grid; x++) {
            int a = y * points + x + 1, b = a + 1, c = a + points + 1, d = a + points;
            if (s.uvs_and_normals)
                std::fprintf(file, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c, d, d, d);
            else
                std::fprintf(file, "f %d %d %d %d\n", a, b, c, d);
        }
    }
    int64_t size = std::ftell(file);
    std::fclose(file);
    return size;
}

int64_t sheet_bytes(Sheet s) {
    FILE* file = std::fopen(sheet_path(s).c_str(), "rb");
    if (!file) return write_sheet(s);
    std::fseek(file, 0, SEEK_END);
    int64_t size = std::ftell(file);
    std::fclose(file);
    return size;
}

int64_t status_field(const char* key) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    int64_t kilobytes = 0;
    size_t length = std::strlen(key);
    while (std::fgets(line, sizeof(line), status)) {
        if (std::strncmp(line, key, length) == 0) kilobytes = std::atoll(line + length);
    }
    std::fclose(status);
    return kilobytes * 1024;
}
// Resident-set high-water mark; reset_peak makes it start over.
int64_t peak_resident() { return status_field("VmHWM:"); }
int64_t current_resident() { return status_field("VmRSS:"); }
void reset_peak() {
    if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", clear);
        std::fclose(clear);
    }
}

String view(const std::string& text) { return String{reinterpret_cast<const uint8_t*>(text.data()), (int64_t)text.size()}; }

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One whole import as the editor does it (mesh_build_file); also the
// resident peak it added.
double time_import(const std::string& path, int64_t* peak_added, int64_t* triangles) {
    reset_peak();
    int64_t before = current_resident();
    auto start = std::chrono::steady_clock::now();
    MeshBuild build;
    ScratchArena arena;
    int32_t status = mesh_build_file(&build, &arena, view(path));
    benchmark::DoNotOptimize(build.vertices);
    double seconds = seconds_since(start);
    if (peak_added) *peak_added = peak_resident() - before;
    if (triangles) *triangles = build.index_count / 3;
    if (status != 0) std::printf("import failed: %s\n", path.c_str());
    scratch_release(&arena);
    return seconds;
}

// One fread of the whole file into a block kept between runs: the floor.
double time_fread(const std::string& path, std::vector<char>* block) {
    auto start = std::chrono::steady_clock::now();
    FILE* file = std::fopen(path.c_str(), "rb");
    size_t got = file ? std::fread(block->data(), 1, block->size(), file) : 0;
    if (file) std::fclose(file);
    benchmark::DoNotOptimize(got);
    benchmark::DoNotOptimize(block->data());
    return seconds_since(start);
}

#if TARNISK_HAVE_TINYOBJ
double time_library(const std::string& path) {
    auto start = std::chrono::steady_clock::now();
    {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), "/tmp/", true);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(attrib.vertices.data());
    }
    return seconds_since(start);
}
#endif

// What the machine charges for memory the process has not used before: as
// many bytes as the first import added, mapped (on large pages, as the
// importer's arrays are) and written once. The first import pays this on
// top of a later one's time; on a VM whose host backs guest memory lazily
// it is most of that import.
double time_fresh_memory(int64_t bytes) {
    if (bytes <= 0) return 0;
    auto start = std::chrono::steady_clock::now();
    void* at = mmap(nullptr, (size_t)bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) return 0;
    madvise(at, (size_t)bytes, MADV_HUGEPAGE);
    volatile uint8_t* p = static_cast<uint8_t*>(at);
    for (int64_t i = 0; i < bytes; i += 4096) p[i] = 1;
    double seconds = seconds_since(start);
    munmap(at, (size_t)bytes);
    return seconds;
}

// A fixed piece of arithmetic on one thread (*one, seconds), then on two
// threads at once; returns the second time over the first, 1.0 when both
// processors are free. On a shared VM the host at times slows the
// processors (or takes one): the import, which computes, slows with them
// far more than one fread, which copies; these show when that happened.
// Four independent chains, so that the processor's throughput, which a
// neighbour on the same core shares, bounds the time, not one chain's latency.
void spin(uint64_t* out) {
    uint64_t x = *out, y = x + 1, z = x + 2, w = x + 3;
    for (int64_t i = 0; i < 10000000; i++) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        y = y * 6364136223846793005ull + 1442695040888963407ull;
        z = z * 6364136223846793005ull + 1442695040888963407ull;
        w = w * 6364136223846793005ull + 1442695040888963407ull;
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        benchmark::DoNotOptimize(z);
        benchmark::DoNotOptimize(w);
    }
    *out = x ^ y ^ z ^ w;
}
double processor_pair(double* one_out) {
    uint64_t a = 1, b = 2;
    auto start = std::chrono::steady_clock::now();
    spin(&a);
    double one = seconds_since(start);
    start = std::chrono::steady_clock::now();
    std::thread other(spin, &b);
    spin(&a);
    other.join();
    double two = seconds_since(start);
    benchmark::DoNotOptimize(a + b);
    *one_out = one;
    return two / one;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Interleaved rounds, best of each (and the median), so that a busy
// neighbour on the shared machine slows all three alike or not at all.
void report_ratios(const char* label, Sheet sheet, int rounds) {
    std::string path = sheet_path(sheet);
    int64_t bytes = sheet_bytes(sheet);
    std::vector<char> block((size_t)bytes);
    std::vector<double> reads, imports, libraries, pairs, spins;
    int64_t peak = 0, triangles = 0;
    // The first import of a run writes fresh scratch pages (the editor's
    // first mesh); the rounds after it reuse the scratch, as the meshes after
    // the first one at start-up do. The peak is that of the first.
    mesh_scratch_trim();
    double first = time_import(path, &peak, &triangles);
    double fresh = time_fresh_memory(peak);
    for (int r = 0; r < rounds; r++) {
        reads.push_back(time_fread(path, &block));
        imports.push_back(time_import(path, nullptr, nullptr));
        double spin_one = 0;
        pairs.push_back(processor_pair(&spin_one));
        spins.push_back(spin_one);
#if TARNISK_HAVE_TINYOBJ
        libraries.push_back(time_library(path));
#endif
    }
    double best_read = *std::min_element(reads.begin(), reads.end());
    double best_import = *std::min_element(imports.begin(), imports.end());
    double best_library = libraries.empty() ? 0 : *std::min_element(libraries.begin(), libraries.end());
    double mb = (double)bytes / 1e6;
    std::printf("%s: %.1f MB, %lld triangles\n", label, mb, (long long)triangles);
    std::printf("  fread            %8.1f ms  %7.0f MB/s\n", best_read * 1e3, mb / best_read);
    std::printf("  import           %8.1f ms  %7.0f MB/s\n", best_import * 1e3, mb / best_import);
    std::printf("  import vs fread  %8.2fx  (throughput of the import / throughput of one fread; medians: %.2fx)\n",
                best_read / best_import, median(reads) / median(imports));
    std::printf("  fixed arithmetic %8.1f ms  (one thread, best of the rounds; median %.1f ms: how fast the\n"
                "                               processors ran while the import did)\n",
                *std::min_element(spins.begin(), spins.end()) * 1e3, median(spins) * 1e3);
    std::printf("  two processors   %8.2fx  (median of the rounds, worst %.2fx: the same arithmetic on two threads\n"
                "                               at once against one; 1.00 when both processors are free)\n",
                median(pairs), *std::max_element(pairs.begin(), pairs.end()));
    std::printf("  first import     %8.1f ms  (fresh scratch: %.2fx fread)\n", first * 1e3, best_read / first);
    std::printf("  fresh memory     %8.1f ms  (writing as many never-used bytes as the first import added)\n",
                fresh * 1e3);
#if TARNISK_HAVE_TINYOBJ
    std::printf("  library LoadObj  %8.1f ms  %7.0f MB/s\n", best_library * 1e3, mb / best_library);
    std::printf("  import vs LoadObj %7.2fx  (its time / the import's time; medians: %.2fx)\n", best_library / best_import,
                median(libraries) / median(imports));
#else
    std::printf("  import vs LoadObj     n/a  (the library was not found at configure time)\n");
#endif
    std::printf("  peak memory      %8.2fx the file (%.1f MB resident added by one import)\n", (double)peak / (double)bytes,
                (double)peak / 1e6);
}

void report_growth(int rounds) {
    std::printf("growth (positions, texture coordinates, normals):\n");
    double base = 0;
    for (int grid : {100, 200, 400, 800}) {
        Sheet sheet{grid, true};
        int64_t bytes = sheet_bytes(sheet);
        double best = 1e30;
        for (int r = 0; r < rounds; r++) best = std::min(best, time_import(sheet_path(sheet), nullptr, nullptr));
        double per_mb = best / ((double)bytes / 1e6);
        if (base == 0) base = per_mb;
        std::printf("  %6.1f MB  %8.2f ms  %6.3f ms/MB  (%.2fx the smallest's time per MB)\n", (double)bytes / 1e6,
                    best * 1e3, per_mb * 1e3, per_mb / base);
    }
}

// Per-size cases for Google Benchmark's own statistics.
void BM_MeshImport(benchmark::State& state) {
    Sheet sheet{(int)state.range(0), true};
    int64_t bytes = sheet_bytes(sheet);
    std::string path = sheet_path(sheet);
    for (auto _ : state) time_import(path, nullptr, nullptr);
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_MeshImport)->Arg(100)->Arg(200)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond)->UseRealTime();

// The positions-only file of the ratios (grid 1280), for profiling.
void BM_MeshImportPositionsOnly(benchmark::State& state) {
    Sheet sheet{(int)state.range(0), false};
    int64_t bytes = sheet_bytes(sheet);
    std::string path = sheet_path(sheet);
    for (auto _ : state) time_import(path, nullptr, nullptr);
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_MeshImportPositionsOnly)->Arg(1280)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // Large blocks always come from and go back to the system, so that the
    // resident-set peak of one import is not hidden by memory kept resident
    // from the run before.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    // The importer prints through the editor's formatter and joins paths in
    // the frame pool, as it does inside the editor.
    pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY);
    pool_create(POOL_FRAME, POOL_FRAME_CAPACITY);
    bool google = false;
    int rounds = 5;
    for (int i = 1; i < argc; i++) {
        if (std::strncmp(argv[i], "--benchmark", 11) == 0) google = true;
        else if (std::strcmp(argv[i], "--one-thread") == 0) mesh_splitting.minimum_bytes = INT64_MAX;
        else if (std::strcmp(argv[i], "--two-threads") == 0) mesh_splitting.even_when_busy = true;
        else if (std::strncmp(argv[i], "--head-share=", 13) == 0) mesh_splitting.head_share = std::atoi(argv[i] + 13);
        else if (std::atoi(argv[i]) > 0) rounds = std::atoi(argv[i]);
    }
    if (google) {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    // The machine's load while the ratios were taken: two threads read a
    // large file, which only pays when a second core is free.
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    report_ratios("positions, texture coordinates, normals", Sheet{800, true}, rounds);
    report_ratios("positions only", Sheet{1280, false}, rounds);
    report_growth(rounds);
    return 0;
}
