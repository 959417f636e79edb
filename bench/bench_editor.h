// The real editor, started once on the bundled data for a benchmark program
// that drives it frame by frame, and the thread clock such benchmarks time
// their own steps with (the driver's threads and the present stay out).
#pragma once

// False when the editor could not start (no display): each case then skips.
extern bool bench_editor_started;

// CPU seconds of the calling thread.
double thread_cpu_seconds();

// The whole program: enters the data folder, starts the editor, runs the
// registered benchmarks with these arguments, shuts the editor down.
int bench_editor_main(int argc, char** argv);
