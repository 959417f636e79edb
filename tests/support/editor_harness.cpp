#include "support/editor_harness.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>
#include <unistd.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_frame.h"
#include "platform/platform_test_hooks.h"
#include "render/draw.h"
#include "support/platform_harness.h"

static String harness_arguments[64];
static bool harness_running;

bool harness_has_display() { return std::getenv("DISPLAY") != nullptr; }

// Recovery files of one test run must neither meet the user's nor another
// test's: each test process gets a state folder of its own, removed at exit.
// A child process that must share its parent's folder sets
// TARNISK_KEEP_STATE_HOME.
static char harness_state_folder[256];

static void harness_state_folder_remove() {
    std::error_code error;
    std::filesystem::remove_all(harness_state_folder, error);
}

const char* harness_state_home() {
    if (harness_state_folder[0] == 0 && !std::getenv("TARNISK_KEEP_STATE_HOME")) {
        std::snprintf(harness_state_folder, sizeof harness_state_folder, "/tmp/tarnisk-state-XXXXXX");
        if (mkdtemp(harness_state_folder)) {
            setenv("XDG_STATE_HOME", harness_state_folder, 1);
            std::atexit(harness_state_folder_remove);
        } else {
            harness_state_folder[0] = 0;
        }
    }
    return std::getenv("XDG_STATE_HOME");
}

bool harness_start(std::initializer_list<const char*> arguments) {
    harness_state_home();
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

bool harness_save_window_png(const char* path) {
    editor_frame();
    final_pass_to_window();
    int32_t w = editor.window_width, h = editor.window_height;
    std::vector<uint8_t> pixels((size_t)w * h * 4);
    harness_read_pixels(0, 0, 0, w, h, 0, pixels.data());
    stbi_flip_vertically_on_write(1);
    return stbi_write_png(path, w, h, 4, pixels.data(), w * 4) != 0;
}
