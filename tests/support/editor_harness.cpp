#include "support/editor_harness.h"

#include <cstdlib>
#include <unistd.h>

#include "app/app.h"
#include "platform/platform_test_hooks.h"

static String harness_arguments[64];
static bool harness_running;

bool harness_has_display() { return std::getenv("DISPLAY") != nullptr; }

bool harness_start(std::initializer_list<const char*> arguments) {
    if (chdir(TARNISK_DATA_DIR) != 0) return false;
    platform_set_headless_message_boxes(true);
    platform_clear_message_boxes();
    int64_t count = 0;
    for (const char* argument : arguments) {
        if (count == 64) break;
        harness_arguments[count++] = string_from_cstring(argument);
    }
    Array<String> list{count ? harness_arguments : nullptr, count, count, 0};
    harness_running = editor_startup(list);
    return harness_running;
}

bool harness_frames(int count) {
    for (int i = 0; i < count && harness_running; i++) harness_running = editor_step();
    return harness_running;
}

void harness_stop() { editor_shutdown(); }
