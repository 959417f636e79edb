// Start-up to the first presented frame, on the bundled data, in fresh
// processes (each run forks, so SDL, the GL driver and the pools start cold),
// against the floor program (bench/startup_floor) in the same loop: the two
// alternate, so a busy machine slows both alike and their ratio holds.
// Run under a display: xvfb-run -a build-test/bench/startup_bench [pairs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "app/app.h"
#include "bench/startup_floor.h"

// The main loop sleeps after each present; with "-s 0" the first step ends
// at the present, where the user sees the window filled.
static bool editor_first_frame() {
    String words[2] = {S("-s"), S("0")};
    Array<String> arguments{words, 2, 2, 0};
    if (!editor_startup(arguments)) return false;
    editor_step();
    return true;
}

// Seconds from the fork to the first present of `work`, or -1 when it
// failed; `release` runs after the clock stops.
static double one_run(bool (*work)(), void (*release)()) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        close(pipe_ends[0]);
        auto start = std::chrono::steady_clock::now();
        double seconds = -1;
        if (work()) seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        release();
        if (write(pipe_ends[1], &seconds, sizeof seconds) != sizeof seconds) _exit(1);
        _exit(0);
    }
    close(pipe_ends[1]);
    double seconds = -1;
    if (read(pipe_ends[0], &seconds, sizeof seconds) != sizeof seconds) seconds = -1;
    close(pipe_ends[0]);
    waitpid(child, nullptr, 0);
    return seconds;
}

static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

static void report(const char* name, const std::vector<double>& times) {
    double lowest = *std::min_element(times.begin(), times.end());
    double highest = *std::max_element(times.begin(), times.end());
    std::printf("%-8s median %6.1f ms, min %6.1f ms, max %6.1f ms\n", name, median(times) * 1000, lowest * 1000,
                highest * 1000);
}

int main(int argc, char** argv) {
    int pairs = argc > 1 ? std::atoi(argv[1]) : 9;
    if (pairs < 1) pairs = 1;
    if (chdir(TARNISK_DATA_DIR) != 0) {
        std::printf("cannot enter the data folder %s\n", TARNISK_DATA_DIR);
        return 1;
    }
    std::vector<double> floor_times, editor_times, ratios;
    for (int i = 0; i < pairs; i++) {
        double floor_seconds = one_run(startup_floor_present, startup_floor_close);
        double editor_seconds = one_run(editor_first_frame, editor_shutdown);
        if (floor_seconds < 0 || editor_seconds < 0) {
            std::printf("start-up failed (is there a display?)\n");
            return 1;
        }
        floor_times.push_back(floor_seconds);
        editor_times.push_back(editor_seconds);
        ratios.push_back(editor_seconds / floor_seconds);
    }
    std::printf("start-up to the first presented frame, %d alternating pairs:\n", pairs);
    report("floor", floor_times);
    report("editor", editor_times);
    std::printf("editor / floor: %.2f (ratio of the medians), %.2f (median of the pairs' ratios)\n",
                median(editor_times) / median(floor_times), median(ratios));
    return 0;
}
