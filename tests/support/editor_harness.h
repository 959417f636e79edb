// Drives the real program in-process: start-up with given arguments from the
// data folder, frames one at a time, shutdown. Message boxes are recorded.
#pragma once

#include <initializer_list>

#include "core/containers.h"

// Starts the editor as `tarnisk args...` run from the data folder. False when
// no window could be opened.
bool harness_start(std::initializer_list<const char*> arguments = {});
// Runs up to `count` frames; returns false once the main loop has ended.
bool harness_frames(int count = 1);
void harness_stop();
// True when a display is there to open windows on (tests skip otherwise).
bool harness_has_display();
