// What the test harness may ask of the platform: message boxes recorded
// instead of shown (a modal box would block an automated run forever).
#pragma once

#include <cstdint>

#include "core/types.h"

struct RecordedMessageBox {
    char title[256];
    char text[1024];
};

// While on, show_simple_message_box records (and prints) instead of showing.
void platform_set_headless_message_boxes(bool on);
int64_t platform_message_box_count();
const RecordedMessageBox* platform_message_box(int64_t index);  // null outside range
void platform_clear_message_boxes();

// The window's title as the window system has it (empty without a window).
const char* platform_window_title();
