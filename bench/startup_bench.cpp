// Start-up to the first presented frame, on the bundled data, in fresh
// processes (each run forks, so SDL, the GL driver and the pools start cold).
// Run under a display: xvfb-run -a build-test/bench/startup_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "app/app.h"

static double one_run() {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        close(pipe_ends[0]);
        auto start = std::chrono::steady_clock::now();
        Array<String> none{nullptr, 0, 0, 0};
        double seconds = -1;
        if (editor_startup(none)) {
            editor_step();
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            editor_shutdown();
        }
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

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    if (chdir(TARNISK_DATA_DIR) != 0) {
        std::printf("cannot enter the data folder %s\n", TARNISK_DATA_DIR);
        return 1;
    }
    std::vector<double> times;
    for (int i = 0; i < runs; i++) {
        double t = one_run();
        if (t < 0) {
            std::printf("start-up failed (is there a display?)\n");
            return 1;
        }
        times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to first presented frame: median %.1f ms, min %.1f ms, max %.1f ms over %d runs\n",
                times[times.size() / 2] * 1000, times.front() * 1000, times.back() * 1000, runs);
    return 0;
}
