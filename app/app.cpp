// Start-up, the main loop one frame at a time, and shutdown. Everything the
// program owns is released here in a fixed order; the frame order lives in
// editor_step so tests can drive the real program frame by frame.
#include "app/app.h"

#include <cstdlib>

#include "app/editor.h"
#include "app/editor_frame.h"
#include "app/panels.h"
#include "assets/assets.h"
#include "core/format.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/shader.h"
#include "render/scene_render.h"
#include "render/targets.h"
#include "scene/file_dialog.h"
#include "scene/history.h"
#include "scene/recovery.h"
#include "scene/scene.h"
#include "tools/placement.h"

// ---------------------------------------------------------------------------
// Command line

void launch_options_read(LaunchOptions* options, Array<String> arguments) {
    for (int64_t i = 0; i < arguments.count; i++) {
        String argument = arguments.data[i];
        bool has_value = i + 1 < arguments.count;
        if (string_equal(argument, S("-v"))) {
            options->display_paced = true;
        } else if (string_equal(argument, S("-f")) || string_equal(argument, S("-fullscreen"))) {
            options->fullscreen = true;
        } else if (string_equal(argument, S("-s")) || string_equal(argument, S("-sleep"))) {
            if (has_value) {
                TextReader reader = reader_make(arguments.data[++i]);
                options->sleep_amount = scan_integer(&reader);
            }
        } else if (string_equal(argument, S("-r"))) {
            if (has_value) options->resources_path = arguments.data[++i];
        } else if (string_equal(argument, S("-autosave"))) {
            if (has_value) {
                TextReader reader = reader_make(arguments.data[++i]);
                int64_t seconds = scan_integer(&reader);
                options->autosave_interval = seconds > 0 ? seconds : 0;
            }
        } else if (string_equal(argument, S("-template"))) {
            if (has_value) options->template_path = arguments.data[++i];
        } else if (argument.length > 0 && argument.data[0] != '-' && options->scene_path.length == 0) {
            options->scene_path = argument;
        } else {
            format_print(S("unknown argument: %a\n"), {fmt_string(argument)});
        }
    }
}

uint8_t display_mode_for(const LaunchOptions& options) {
    uint8_t mode = 0x04;
    if (!options.display_paced) mode |= 0x40;
    mode |= options.fullscreen ? 0x20 : 0x10;
    return mode;
}

// ---------------------------------------------------------------------------
// Start-up

static void editor_initial_values() {
    // A second start in the same process (tests) must not leak the first's pools.
    pool_release(POOL_PERSISTENT);
    pool_release(POOL_FRAME);
    scene_memory_release();
    editor = Editor{};
    editor.timestep = 1.0 / 60.0;
    editor.sleep_amount = 12;
    editor.gamma_value = 2.2;
    editor.viewport_keys = true;
    editor.camera = camera_default();
    editor.tools = viewport_tool_state_default();
    editor.selection = selection_state_default();
    editor.properties.edited_id = EDITED_NONE;
    static const Vec4 palette[COLOR_COUNT] = {
        {0, 0, 0, 1},       {0.25f, 0.25f, 0.25f, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.75f, 0.75f, 0.75f, 1},
        {1, 1, 1, 1},       {1, 0, 0, 1},             {0, 1, 0, 1},          {0, 0, 1, 1},
        {1, 1, 0, 1},       {0, 1, 1, 1},             {1, 0, 1, 1},          {0.5f, 0, 1, 1},
        {1, 0.5f, 0, 1},
    };
    for (int i = 0; i < COLOR_COUNT; i++) editor.palette[i] = palette[i];
    editor.options.sleep_amount = 12;
    editor.options.autosave_interval = RECOVERY_DEFAULT_INTERVAL;
    editor.options.resources_path = S("resources.txt");
    editor.input_enable_stack = array_make<uint8_t>(POOL_PERSISTENT);
    theme_defaults(&editor.theme);
}

// SCENE from the command line, or else the template: its content as a new
// scene, so the first save asks where to save and the template stays as it is.
// A file that cannot be opened shows the same messages as the open dialog and
// the editor starts with an empty scene.
static void startup_open_scene() {
    const LaunchOptions& options = editor.options;
    if (options.scene_path.length > 0) {
        scene_load(options.scene_path);
    } else if (options.template_path.length > 0 && scene_load(options.template_path) == SCENE_LOAD_OK) {
        // Its own bytes: the scene's path lives in the scene arena, which a
        // later swap empties.
        editor.untitled_source = string_copy(editor.scene.scene_path);
        editor.scene.scene_path = String{nullptr, 0};
    }
}

bool editor_startup(Array<String> arguments) {
    editor_initial_values();
    launch_options_read(&editor.options, arguments);
    editor.sleep_amount = editor.options.sleep_amount;

    system_init(63);
    String title = S("tarnisk");
    if (!display_open(1024, 768, &title, display_mode_for(editor.options), 1)) {
        format_print(S("cannot open window: %.\n"), {fmt_string(display_error())});
        system_release();
        return false;
    }
    int32_t refresh = 0;
    display_get_info(&editor.window_width, &editor.window_height, &refresh);
    if (refresh != 0) editor.timestep = 1.0 / refresh;

    bool memory_ok = pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY) &&
                     pool_create(POOL_FRAME, POOL_FRAME_CAPACITY) && scene_memory_create();
    editor.image_block = static_cast<uint8_t*>(std::malloc(67108864));
    if (!memory_ok || !editor.image_block) {
        print(S("cannot start: out of memory\n"));
        std::free(editor.image_block);
        editor.image_block = nullptr;
        pool_release(POOL_PERSISTENT);
        pool_release(POOL_FRAME);
        scene_memory_release();
        display_close();
        system_release();
        return false;
    }
    editor.input_enable_stack = array_make<uint8_t>(POOL_PERSISTENT);
    image_set_buffer(67108864, editor.image_block);

    Image icon{};
    String icon_path = S("textures/green_cube.png");
    if (image_load(&icon, &icon_path, 4)) display_set_icon((int32_t)icon.width, (int32_t)icon.height, icon.pixels);
    image_set_flip(true);

    icons_load();
    builtin_meshes_load();
    manifest_load(editor.options.resources_path);
    mesh_scratch_trim();

    // No image is decoded after this point.
    image_set_buffer(0, nullptr);
    std::free(editor.image_block);
    editor.image_block = nullptr;

    shaders_load_all();
    batch_setup();
    frame_targets_create();
    theme_load(&editor.theme, S("theme.txt"));

    scene_init(&editor.scene);
    startup_open_scene();
    history_clear();
    editor.recovery.interval = editor.options.autosave_interval;
    recovery_startup();

    input_text_enable(true);
    pipeline_cull_enable(true);
    input_enable_push(1);

    editor.counter_frequency = system_performance_frequency();
    editor.running = true;
    // The first frame's time is measured from here; from counter 0 it would
    // be the machine's uptime.
    editor.counter_previous_present = system_performance_counter();
    return true;
}

// ---------------------------------------------------------------------------
// One frame

static bool mouse_in_viewport() {
    return editor.mouse_y < editor.window_height - editor.toolbar.height && editor.mouse_x >= 0 && editor.mouse_y >= 0 &&
           editor.mouse_x < editor.window_width;
}

bool editor_step() {
    pool_reset(POOL_FRAME);
    // Between frames nothing holds a pointer into the scene, so this is
    // where its arena may be compacted and swapped.
    scene_memory_step();
    input_poll();

    if (display_is_closed() || input_key_is_pressed(KEY_ESCAPE)) {
        if (!scene_has_unsaved_changes()) editor.running = false;
        else save_prompt_open(SAVE_PURPOSE_QUIT);
    }

    int32_t old_width = editor.window_width, old_height = editor.window_height;
    if (display_is_resized(&editor.window_width, &editor.window_height)) {
        frame_targets_create();
        panels_scale(old_width, old_height, editor.window_width, editor.window_height);
    }

    input_enable_push(mouse_in_viewport() ? 1 : 0);
    editor.viewport_keys = editor.text_focus == 0;
    editor.text_focus = 0;
    editor.text_focus_field = nullptr;
    int32_t mouse_x = 0, mouse_y = 0;
    input_mouse_position(&mouse_x, &mouse_y);
    editor.mouse_x = (float)mouse_x;
    editor.mouse_y = (float)(editor.window_height - mouse_y);

    camera_update();
    panels_update();
    if (editor.viewport_keys) gizmo_mode_keys();
    if (editor.viewport_keys) viewport_tools_update();
    edited_object_update();

    int64_t work_start = system_performance_counter();
    editor_frame();
    int64_t work_end = system_performance_counter();
    editor.work_seconds = editor.counter_frequency ? (double)(work_end - work_start) / editor.counter_frequency : 0;
    input_enable_pop();
    history_frame();
    recovery_frame();

    final_pass_to_window();

    int64_t now = system_performance_counter();
    editor.frame_seconds =
        editor.counter_frequency ? (double)(now - editor.counter_previous_present) / editor.counter_frequency : 0;
    if (!editor.options.display_paced) {
        pipeline_present();
        system_sleep(editor.sleep_amount);
    } else {
        // A stall (a dialog, a debugger, a suspended machine) must not
        // throw the camera across the scene on the next frame.
        editor.timestep = editor.frame_seconds < MAX_TIMESTEP ? editor.frame_seconds : MAX_TIMESTEP;
        pipeline_present();
    }
    if (!editor.running) return false;
    editor.counter_previous_present = now;
    return true;
}

// ---------------------------------------------------------------------------
// Shutdown

void editor_shutdown() {
    history_release();
    recovery_release();
    textures_release();
    meshes_release();
    batch_release();
    pool_release(POOL_PERSISTENT);
    pool_release(POOL_FRAME);
    scene_memory_release();
    display_close();
    system_release();
}

int editor_main(Array<String> arguments) {
    if (!editor_startup(arguments)) return 1;
    while (editor_step()) {
    }
    editor_shutdown();
    return 0;
}

int editor_main_from_argv(int count, char** values) {
    // The arguments are viewed, not copied: they outlive the program's run.
    // The views themselves live in one block for the whole run (the pools
    // do not exist before start-up reads the command line).
    Array<String> arguments{nullptr, 0, 0, POOL_PERSISTENT};
    String* views = count > 0 ? static_cast<String*>(std::malloc(sizeof(String) * (size_t)count)) : nullptr;
    if (views) {
        for (int i = 0; i < count; i++) views[i] = string_from_cstring(values[i]);
        arguments = Array<String>{views, count, count, POOL_PERSISTENT};
    }
    int status = editor_main(arguments);
    std::free(views);
    return status;
}
