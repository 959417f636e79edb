// Undo and redo end to end: edits recorded by the real main loop, the keys as
// real SDL events, restores that keep the tools and the camera, the modified
// flag against the file, and the history's bounds.
#include <gtest/gtest.h>

#include <string>

#include "app/editor.h"
#include "scene/history.h"
#include "support/scratch_editor.h"

namespace {

class History : public ScratchEditorTest {
protected:
    // An edit made outside user input, recorded as the main loop does.
    void edit(void (*change)()) {
        change();
        history_request_check();
        ASSERT_TRUE(frames());
    }
    void select_last_row() {
        edit([] { editor.scene.rows.data[editor.scene.rows.count - 1].selected = true; });
    }
    void move_first_object() {
        edit([] {
            editor.scene.objects.data[0].transform.position.x += 1;
            editor.scene.scene_modified = true;
        });
    }
    std::string saved_sample() {
        std::string sample = read_file(std::string(TARNISK_DATA_DIR) + "/samples/sample.scene");
        write_file(folder + "/work.scene", sample);
        return sample;
    }
};

TEST_F(History, KeysUndoAndRedoEachStepWithItsSelection) {
    start();
    std::string empty = serialized();
    add_object();
    ASSERT_TRUE(frames());
    std::string one = serialized();
    select_last_row();
    std::string selected = serialized();
    ASSERT_NE(one, selected);
    EXPECT_EQ(editor.history.count, 2);

    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(serialized(), one);
    EXPECT_FALSE(editor.scene.rows.data[0].selected);
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(serialized(), empty);
    EXPECT_FALSE(editor.scene.scene_modified);
    ASSERT_TRUE(control('Z'));   // nothing left: the scene stays
    EXPECT_EQ(serialized(), empty);

    ASSERT_TRUE(control('Y'));
    EXPECT_EQ(serialized(), one);
    EXPECT_TRUE(editor.scene.scene_modified);
    ASSERT_TRUE(control('Z', true));
    EXPECT_EQ(serialized(), selected);
    EXPECT_TRUE(editor.scene.rows.data[0].selected);
    ASSERT_TRUE(control('Y'));
    EXPECT_EQ(serialized(), selected);

    // A new edit after an undo ends the redo branch.
    ASSERT_TRUE(control('Z'));
    move_first_object();
    EXPECT_EQ(editor.history.count, 2);
    ASSERT_TRUE(control('Y'));
    EXPECT_NE(serialized(), selected);
}

TEST_F(History, ADragOfSeveralFramesIsOneStep) {
    start();
    add_object();
    ASSERT_TRUE(frames());
    std::string before = serialized();
    int64_t steps = editor.history.count;
    harness_mouse_move(600, 500);
    ASSERT_TRUE(frames());
    harness_mouse_down(MOUSE_PRIMARY, 600, 500);
    for (int i = 0; i < 3; i++) {
        harness_mouse_move(600 + 10 * (i + 1), 500);
        editor.scene.objects.data[0].transform.position.x += 0.5f;
        ASSERT_TRUE(frames());
        EXPECT_EQ(editor.history.count, steps) << "recorded while the button was held";
    }
    harness_mouse_up(MOUSE_PRIMARY, 630, 500);
    ASSERT_TRUE(frames());
    EXPECT_EQ(editor.history.count, steps + 1);
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(serialized(), before);
}

TEST_F(History, UndoPastASaveMarksModifiedAndRedoBackClearsIt) {
    std::string sample = saved_sample();
    std::string path = folder + "/work.scene";
    start({path.c_str()});
    move_first_object();
    ASSERT_TRUE(editor.scene.scene_modified);
    ASSERT_TRUE(control('S'));
    ASSERT_FALSE(editor.scene.scene_modified);
    std::string saved = read_file(path);

    ASSERT_TRUE(control('Z'));
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(serialized(), sample);
    ASSERT_TRUE(control('Y'));
    EXPECT_FALSE(editor.scene.scene_modified);
    EXPECT_EQ(serialized(), saved);
    // Path and file stay what they were.
    EXPECT_EQ(text(editor.scene.scene_path), path);
    EXPECT_EQ(read_file(path), saved);
}

TEST_F(History, KeysDoNothingWhileAFieldHasTheKeyboardOrAButtonIsHeld) {
    start();
    add_object();
    ASSERT_TRUE(frames());
    std::string edited = serialized();
    ASSERT_TRUE(control('S', true));   // save as: the name field takes the keyboard
    ASSERT_TRUE(dialog() && dialog()->file_name.focused);
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(serialized(), edited);
    ASSERT_TRUE(dialog_button(false));

    harness_mouse_move(600, 500);
    ASSERT_TRUE(frames());
    harness_mouse_down(MOUSE_PRIMARY, 600, 500);
    ASSERT_TRUE(frames());
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(serialized(), edited);
    harness_mouse_up(MOUSE_PRIMARY, 600, 500);
    ASSERT_TRUE(frames());
    ASSERT_TRUE(control('Z'));
    EXPECT_NE(serialized(), edited);
}

TEST_F(History, ToolsAndCameraAreNoStepsAndStayOnUndo) {
    start();
    add_object();
    ASSERT_TRUE(frames());
    int64_t steps = editor.history.count;
    edit([] {
        editor.scene.gizmo_mode = 2;
        editor.scene.pivot_per_object = true;
    });
    EXPECT_EQ(editor.history.count, steps);
    editor.camera.position = Vec3{3, 4, 5};
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(editor.scene.objects.count, 0);
    EXPECT_EQ(editor.scene.gizmo_mode, 2);
    EXPECT_TRUE(editor.scene.pivot_per_object);
    EXPECT_EQ(editor.camera.position.x, 3);
}

TEST_F(History, OpenAndNewClearTheHistory) {
    saved_sample();
    start();
    add_object();
    ASSERT_TRUE(frames());
    ASSERT_EQ(editor.history.count, 1);
    ASSERT_TRUE(control('N'));
    ASSERT_TRUE(answer(1));   // "no": discard
    EXPECT_EQ(editor.history.count, 0);
    std::string empty = serialized();
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(serialized(), empty);

    add_object();
    ASSERT_TRUE(frames());
    ASSERT_TRUE(control('S'));   // never saved: asks where
    ASSERT_TRUE(type_and_enter("kept.scene"));
    ASSERT_TRUE(control('O'));
    ASSERT_TRUE(type_and_enter("work.scene"));
    ASSERT_EQ(text(editor.scene.scene_path), "work.scene");
    EXPECT_EQ(editor.history.count, 0);
    std::string opened = serialized();
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(serialized(), opened);
}

TEST_F(History, StepsCostWhatChangedAndTheOldestGoFirst) {
    start();
    for (int i = 0; i < 300; i++) ASSERT_GE(scene_create_object(OBJECT_QUAD, transform_default()), 0);
    history_clear();
    std::string before = serialized();
    move_first_object();
    ASSERT_EQ(editor.history.count, 1);
    EXPECT_LT(history_step_bytes(editor.history.steps[0]), 128) << "a move stored more than the move";

    editor.history.budget = 4 * history_step_bytes(editor.history.steps[0]);
    for (int i = 0; i < 10; i++) move_first_object();
    EXPECT_LE(editor.history.used, editor.history.budget);
    EXPECT_LT(editor.history.count, 11);
    std::string last = serialized();
    int64_t undone = 0;
    while (editor.history.position > 0 && history_undo()) undone++;
    EXPECT_EQ(undone, editor.history.count);
    EXPECT_NE(serialized(), before);   // the oldest steps are gone
    while (history_redo()) {
    }
    EXPECT_EQ(serialized(), last);
}

}  // namespace
