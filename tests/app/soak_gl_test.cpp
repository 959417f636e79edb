// The random-input soak: the real program under random real input from a
// fixed seed (keys and shortcuts, clicks and drags anywhere in the window,
// wheel steps, typed text, undo and redo), the scene's invariants checked
// after every frame, and at the end the history and the file round trip.
// TARNISK_SOAK_FRAMES and TARNISK_SOAK_SEED set the length and the seed
// (scripts/soak.sh runs a long one).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "app/editor.h"
#include "core/format.h"
#include "scene/history.h"
#include "support/scratch_editor.h"

namespace {

int64_t environment_number(const char* name, int64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoll(value, nullptr, 10) : fallback;
}

std::string history_bytes() {
    return text(scene_serialize_state(&editor.scene, SceneToolBytes{}, POOL_FRAME));
}

bool finite(Transform t) {
    const float* f = &t.position.x;
    for (int i = 0; i < 10; i++) {
        if (!std::isfinite(f[i])) return false;
    }
    return true;
}

// The invariants every frame must leave: groups nest, ids ascend without
// repeats, rows name existing objects, transforms are numbers.
::testing::AssertionResult scene_invariants() {
    const SceneState& scene = editor.scene;
    int64_t depth = 0;
    for (int64_t i = 0; i < scene.rows.count; i++) {
        const HierarchyRow& row = scene.rows.data[i];
        if (row.group_start && row.group_end) return ::testing::AssertionFailure() << "row " << i << " starts and ends";
        if (row.group_start) depth++;
        if (row.group_end && --depth < 0) return ::testing::AssertionFailure() << "row " << i << " ends no group";
        if (!row.group_start && !row.group_end && !scene_find_object(row.object_id)) {
            return ::testing::AssertionFailure() << "row " << i << " names missing object " << row.object_id;
        }
    }
    if (depth != 0) return ::testing::AssertionFailure() << depth << " groups never end";
    for (int64_t i = 0; i < scene.objects.count; i++) {
        const SceneObject& object = scene.objects.data[i];
        if (i > 0 && object.id <= scene.objects.data[i - 1].id) {
            return ::testing::AssertionFailure() << "object ids out of order at " << i;
        }
        if (!finite(object.transform)) return ::testing::AssertionFailure() << "object " << object.id << " not finite";
    }
    if (editor.history.used > editor.history.budget) return ::testing::AssertionFailure() << "history over budget";
    return ::testing::AssertionSuccess();
}

class Soak : public ScratchEditorTest {
protected:
    std::mt19937_64 random;
    int64_t pick(int64_t count) { return (int64_t)(random() % (uint64_t)count); }

    // Letters, digits and the editing keys; Escape and Control with N or O
    // are left out: they would end the run or start another scene (and with
    // it another history) rather than edit this one.
    int32_t random_key() {
        static const int32_t others[] = {KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN, KEY_SPACE, KEY_ENTER,
                                         KEY_BACKSPACE, KEY_TAB, KEY_DELETE, KEY_HOME, KEY_END, KEY_F2,
                                         KEY_PAGE_UP, KEY_PAGE_DOWN, KEY_INSERT};
        int64_t which = pick(26 + 10 + (int64_t)(sizeof others / sizeof others[0]));
        if (which < 26) return KEY_A + (int32_t)which;
        if (which < 36) return KEY_0 + (int32_t)(which - 26);
        return others[which - 36];
    }

    // Edits of the kinds the tools make, through the scene's own functions.
    void random_edit() {
        SceneState& scene = editor.scene;
        switch (pick(4)) {
            case 0: scene_create_object((ObjectKind)pick(OBJECT_KIND_COUNT), transform_default()); break;
            case 1:
                if (scene.objects.count) {
                    scene.objects.data[pick(scene.objects.count)].transform.position.x += (float)pick(7) - 3;
                    scene.scene_modified = true;
                }
                break;
            case 2:
                if (scene.rows.count) scene.rows.data[pick(scene.rows.count)].selected ^= true;
                break;
            default:
                if (scene.rows.count) scene_duplicate_row(pick(scene.rows.count));
                break;
        }
        history_request_check();
    }

    void random_input() {
        int32_t w = editor.window_width, h = editor.window_height;
        int32_t x = (int32_t)pick(w), y = (int32_t)pick(h);
        switch (pick(12)) {
            case 0: harness_mouse_move(x, y); break;
            case 1: harness_mouse_down(MOUSE_PRIMARY + (int32_t)pick(3), x, y); break;
            case 2:
                for (int32_t b = MOUSE_PRIMARY; b <= MOUSE_SECONDARY; b++) harness_mouse_up(b, x, y);
                break;
            case 3: harness_mouse_wheel((int32_t)pick(5) - 2); break;
            case 4: {
                static const char alphabet[] = "0123456789.-e abcdxyz";
                char typed[4] = {};
                for (int i = 0; i < 3; i++) typed[i] = alphabet[pick(sizeof alphabet - 1)];
                harness_text(typed);
            } break;
            case 5: {
                int32_t key = random_key();
                harness_key_down(key);
                held_keys.push_back(key);
            } break;
            case 6:
                for (int32_t key : held_keys) harness_key_up(key);
                held_keys.clear();
                break;
            case 7: {
                // A shortcut: Control (sometimes with Shift) and a letter, Z and Y most of all.
                static const char letters[] = "ZZZYYSCDGH";
                int32_t key = key_letter(letters[pick(sizeof letters - 1)]);
                bool shift = pick(3) == 0;
                harness_key_down(KEY_CONTROL);
                if (shift) harness_key_down(KEY_SHIFT);
                harness_key_down(key);
                harness_key_up(key);
                if (shift) harness_key_up(KEY_SHIFT);
                harness_key_up(KEY_CONTROL);
            } break;
            case 8: random_edit(); break;
            default: break;   // frames without input
        }
    }
    std::vector<int32_t> held_keys;
};

TEST_F(Soak, RandomInputKeepsTheSceneSoundAndTheHistoryExact) {
    int64_t frame_count = environment_number("TARNISK_SOAK_FRAMES", 5000);
    random.seed((uint64_t)environment_number("TARNISK_SOAK_SEED", 17));
    start({"-s", "0"});
    // A small window: the software renderer's fill is most of a frame's cost.
    ASSERT_TRUE(harness_resize(480, 360));
    ASSERT_TRUE(frames());
    std::string start_bytes = history_bytes();
    for (int64_t frame = 0; frame < frame_count; frame++) {
        random_input();
        ASSERT_TRUE(frames()) << "the program ended at frame " << frame;
        ASSERT_TRUE(scene_invariants()) << "after frame " << frame;
    }
    // Let go of everything, close what is open, and record the last change.
    for (int32_t key : held_keys) harness_key_up(key);
    for (int32_t b = MOUSE_PRIMARY; b <= MOUSE_SECONDARY; b++) harness_mouse_up(b, 700, 700);
    ASSERT_TRUE(frames(2));
    while (editor.panels.list.count) panel_remove(editor.panels.list.count - 1);
    history_check();
    std::string final_bytes = history_bytes();

    int64_t steps = editor.history.position;
    while (history_undo()) {
    }
    EXPECT_EQ(editor.history.position, 0) << "undo stopped early";
    // A soak of this size stays far inside the budget: no step was dropped.
    EXPECT_EQ(history_bytes(), start_bytes);
    while (history_redo()) {
    }
    EXPECT_EQ(history_bytes(), final_bytes);
    ASSERT_TRUE(scene_invariants());

    std::string path = folder + "/soak.scene";
    std::string saved = serialized();
    ASSERT_TRUE(scene_save(string_from_cstring(path.c_str())));
    EXPECT_EQ(read_file(path), saved);
    ASSERT_EQ(scene_load(string_from_cstring(path.c_str())), SCENE_LOAD_OK);
    EXPECT_EQ(serialized(), saved);
    format_print(S("soak: %. frames, %. objects, %. rows, %. steps in %. bytes of history\n"),
                 {fmt_int(frame_count), fmt_int(editor.scene.objects.count), fmt_int(editor.scene.rows.count),
                  fmt_int(steps), fmt_int(editor.history.used)});
}

}  // namespace
