#include "bench/bench_editor.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <time.h>
#include <unistd.h>

#include "app/app.h"

bool bench_editor_started = false;

double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

int bench_editor_main(int argc, char** argv) {
    if (chdir(TARNISK_DATA_DIR) != 0) {
        std::printf("cannot enter the data folder %s\n", TARNISK_DATA_DIR);
        return 1;
    }
    Array<String> none{nullptr, 0, 0, 0};
    bench_editor_started = editor_startup(none);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (bench_editor_started) editor_shutdown();
    return 0;
}
