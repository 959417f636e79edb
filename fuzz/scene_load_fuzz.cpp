// Feeds arbitrary bytes to the scene file reader. Whatever comes in, the
// reader must stay inside the bytes, refuse what does not parse to the last
// byte, and turn what it accepts into a scene that saves and reads back the
// same. Seed: tests/data/scene/every_kind.scene.
#include <cstdint>
#include <cstring>

#include "app/editor.h"
#include "platform/platform_test_hooks.h"
#include "scene/scene.h"

static void fresh_state() {
    pool_reset(POOL_PERSISTENT);
    pool_reset(POOL_FRAME);
    std::memset(&editor.assets, 0, sizeof editor.assets);
    scene_init(&editor.scene);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY);
        pool_create(POOL_FRAME, POOL_FRAME_CAPACITY);
        scene_memory_create();
        theme_defaults(&editor.theme);
        platform_set_headless_message_boxes(true);
        ready = true;
    }
    fresh_state();
    String bytes{data, (int64_t)size};

    // The parse alone first: refusals would print a message box line each.
    SceneState parsed;
    std::memset(&parsed, 0, sizeof parsed);
    SceneToolBytes tools{};
    int64_t used = pool_get(POOL_PERSISTENT)->used;
    if (scene_parse(bytes, &parsed, &tools) != SCENE_LOAD_OK) {
        if (pool_get(POOL_PERSISTENT)->used != used) __builtin_trap();  // a refusal gives its memory back
        return 0;
    }
    if (scene_load_bytes(bytes, S("fuzz.scene")) != SCENE_LOAD_OK) __builtin_trap();

    // Once loaded, the scene is in the form the editor keeps: saving and
    // reading it back must give the same bytes again.
    String first = scene_serialize();
    if (!first.data) return 0;
    if (scene_load_bytes(first, S("fuzz.scene")) != SCENE_LOAD_OK) __builtin_trap();
    String second = scene_serialize();
    if (second.length != first.length || std::memcmp(first.data, second.data, (size_t)first.length) != 0) __builtin_trap();

    StringBuilder builder = builder_init(POOL_FRAME);
    scene_export_to_builder(&builder, &editor.scene);
    platform_clear_message_boxes();
    return 0;
}
