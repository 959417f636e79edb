// Number printing as the text export does it (every float through
// builder_put_float with number_format_file), next to the C library's
// snprintf("%.12f") on the same values, and number reading with scan_float.
// Run: build/bench/format_bench   (prints the print/snprintf ratio at the end)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "core/containers.h"
#include "core/format.h"
#include "core/memory.h"

static const int64_t VALUE_COUNT = 1000000;

// The same values for every benchmark: uniform in [-range, range].
static double* values_in_range(int64_t range) {
    static std::map<int64_t, double*> made;
    auto found = made.find(range);
    if (found != made.end()) return found->second;
    double* values = pool_alloc_array<double>(POOL_PERSISTENT, VALUE_COUNT);
    if (!values) return nullptr;
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> distribution(-(double)range, (double)range);
    for (int64_t i = 0; i < VALUE_COUNT; i++) values[i] = distribution(random);
    made[range] = values;
    return values;
}

static void BM_BuilderPutFloat(benchmark::State& state) {
    double* values = values_in_range(state.range(0));
    if (!values) {
        state.SkipWithError("pool full");
        return;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        PoolMark mark = pool_mark(POOL_PERSISTENT);
        StringBuilder builder = builder_init(POOL_PERSISTENT);
        for (int64_t i = 0; i < VALUE_COUNT; i++) {
            builder_put_float(&builder, values[i], number_format_file);
            builder_put_char(&builder, ' ');
        }
        if (builder_failed(&builder)) state.SkipWithError("pool full");
        bytes = builder.length;
        benchmark::DoNotOptimize(builder.data);
        pool_restore(mark);
    }
    state.counters["bytes"] = (double)bytes;
    state.SetItemsProcessed(state.iterations() * VALUE_COUNT);
}

static void BM_Snprintf(benchmark::State& state) {
    double* values = values_in_range(state.range(0));
    // Room for "%.12f" of any value below 1e16 and a blank.
    static char* buffer = static_cast<char*>(pool_alloc(POOL_PERSISTENT, VALUE_COUNT * 32));
    if (!values || !buffer) {
        state.SkipWithError("pool full");
        return;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        char* at = buffer;
        for (int64_t i = 0; i < VALUE_COUNT; i++) {
            at += std::snprintf(at, 31, "%.12f", values[i]);
            *at++ = ' ';
        }
        bytes = at - buffer;
        benchmark::DoNotOptimize(buffer);
    }
    state.counters["bytes"] = (double)bytes;
    state.SetItemsProcessed(state.iterations() * VALUE_COUNT);
}

// Reading back what the export wrote: one number after another, as the OBJ
// importer does with vertex lines.
static void BM_ScanFloat(benchmark::State& state) {
    double* values = values_in_range(state.range(0));
    PoolMark mark = pool_mark(POOL_PERSISTENT);
    StringBuilder builder = builder_init(POOL_PERSISTENT);
    for (int64_t i = 0; values && i < VALUE_COUNT; i++) {
        builder_put_float(&builder, values[i], number_format_default);
        builder_put_char(&builder, ' ');
    }
    if (!values || builder_failed(&builder)) {
        pool_restore(mark);
        state.SkipWithError("pool full");
        return;
    }
    String text = builder_to_string(&builder);
    for (auto _ : state) {
        TextReader reader = reader_make(text);
        double sum = 0;
        while (reader.position < reader.length) {
            sum += scan_float(&reader);
            reader.position++;  // the blank
        }
        benchmark::DoNotOptimize(sum);
    }
    pool_restore(mark);
    state.SetBytesProcessed(state.iterations() * text.length);
    state.SetItemsProcessed(state.iterations() * VALUE_COUNT);
}

BENCHMARK(BM_BuilderPutFloat)->Arg(1000)->Arg(1000000000000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Snprintf)->Arg(1000)->Arg(1000000000000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanFloat)->Arg(1000)->Unit(benchmark::kMillisecond);

// Remembers each benchmark's time so that the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
    std::map<std::string, double> times, cpu_times;
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& run : reports) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
            cpu_times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(reports);
    }
};

int main(int argc, char** argv) {
    if (!pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY) || !pool_create(POOL_FRAME, POOL_FRAME_CAPACITY)) {
        std::printf("cannot create the pools\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* range : {"1000", "1000000000000000"}) {
        std::string ours = std::string("BM_BuilderPutFloat/") + range;
        std::string theirs = std::string("BM_Snprintf/") + range;
        if (reporter.times.count(ours) && reporter.times.count(theirs)) {
            std::printf("values in +-%s: builder_put_float %.1f ms, snprintf %.1f ms, ratio %.2f (CPU time: %.1f ms, %.1f ms, ratio %.2f)\n",
                        range, reporter.times[ours], reporter.times[theirs], reporter.times[ours] / reporter.times[theirs],
                        reporter.cpu_times[ours], reporter.cpu_times[theirs], reporter.cpu_times[ours] / reporter.cpu_times[theirs]);
        }
    }
    benchmark::Shutdown();
    pool_release(POOL_PERSISTENT);
    pool_release(POOL_FRAME);
    return 0;
}
