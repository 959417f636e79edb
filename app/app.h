// The program's life: start-up, one frame at a time, shutdown. editor_main
// composes them; tests call them one by one to drive the real program.
#pragma once

#include <cstdint>

#include "core/containers.h"

// Start-up in full. False only when no window could be opened (the reason was
// printed); the caller then exits with a failure status.
bool editor_startup(Array<String> arguments);
// One turn of the main loop. Returns false once the loop has ended.
bool editor_step();
// With "-v" the measured frame time becomes the timestep, up to this many seconds.
constexpr double MAX_TIMESTEP = 0.25;
void editor_shutdown();

struct LaunchOptions;
// Reads the command line into the options; unknown arguments are printed.
void launch_options_read(LaunchOptions* options, Array<String> arguments);
// The mode byte display_open receives for these options.
uint8_t display_mode_for(const LaunchOptions& options);

// The whole life; returns the process exit status.
int editor_main(Array<String> arguments);
int editor_main_from_argv(int count, char** values);
