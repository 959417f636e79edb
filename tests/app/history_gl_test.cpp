// Undo and redo end to end: edits recorded by the real main loop, the keys as
// real SDL events, restores that keep the tools and the camera, the modified
// flag against the file, and the history's bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "app/editor.h"
#include "app/editor_ui.h"
#include "scene/history.h"
#include "support/scratch_editor.h"
#include "tools/hierarchy.h"
#include "tools/property_panel.h"
#include "ui/color_picker.h"

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

// ---------------------------------------------------------------------------
// Every kind of edit through real input: the pointer, keys and typed text
// arrive as SDL events and the tools make the change themselves.

class HistoryInput : public History {
protected:
    // The scene as the history records it: without the tool bytes.
    static std::string document() {
        return text(scene_serialize_state(&editor.scene, SceneToolBytes{}, POOL_FRAME));
    }

    // Window pixels from the top-left. The pointer is sent again until the
    // program sees it there: the X server's own motion can land late.
    void point_at(int32_t x, int32_t y) {
        for (int attempt = 0; attempt < 20; attempt++) {
            harness_mouse_move(x, y);
            ASSERT_TRUE(frames(2));
            if (editor.mouse_x == (float)x && editor.mouse_y == (float)(editor.window_height - y)) {
                at_x = x;
                at_y = y;
                return;
            }
        }
        FAIL() << "the pointer never stayed at " << x << ", " << y;
    }
    // Interface coordinates, y up.
    void point(float x, float y) { point_at((int32_t)x, top(y)); }
    void point(Vec4 rect) { point(rect.x + rect.z / 2, rect.y + rect.w / 2); }
    void press(int32_t button = MOUSE_PRIMARY) {
        harness_mouse_down(button, at_x, at_y);
        ASSERT_TRUE(frames());
    }
    void release(int32_t button = MOUSE_PRIMARY) {
        harness_mouse_up(button, at_x, at_y);
        ASSERT_TRUE(frames());
    }
    void click_at(Vec4 rect, int32_t button = MOUSE_PRIMARY) {
        point(rect);
        press(button);
        release(button);
    }
    void key(int32_t which) {
        harness_key_down(which);
        ASSERT_TRUE(frames());
        harness_key_up(which);
        ASSERT_TRUE(frames());
    }
    // The field takes the text in one frame; its value reaches the target at
    // the start of the next.
    void type(const char* typed) {
        harness_text(typed);
        ASSERT_TRUE(frames(2));
    }
    void select_all_typed() {
        ASSERT_TRUE(control('A'));
    }

    // Where the camera shows p, window pixels from the top-left.
    static void window_pixel(Vec3 p, int32_t* x, int32_t* y) {
        Mat4 vp = mat4_multiply(camera_projection_matrix(editor.camera, editor.window_width, editor.window_height,
                                                         editor_mode_2d()),
                                camera_view_matrix(editor.camera));
        Vec4 clip = mat4_transform_vec4(vp, Vec4{p.x, p.y, p.z, 1});
        *x = (int32_t)std::lround((clip.x / clip.w + 1) * 0.5f * editor.window_width);
        *y = editor.window_height - (int32_t)std::lround((clip.y / clip.w + 1) * 0.5f * editor.window_height);
    }
    void point_at_world(Vec3 p) {
        int32_t x, y;
        window_pixel(p, &x, &y);
        point_at(x, y);
    }

    // A quad in front of the default camera, its row selected; this is the
    // start of the history.
    int64_t selected_quad(Vec3 position) {
        int64_t id = scene_create_object(OBJECT_QUAD, Transform{position, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}});
        EXPECT_GE(id, 0);
        scene_find_object(id)->quad.billboard = false;
        for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
        editor.scene.rows.data[editor.scene.rows.count - 1].selected = true;
        history_clear();
        return id;
    }
    SceneObject* object(int64_t id) { return scene_find_object(id); }

    PropertyColumn* open_column(uint8_t kind, Vec2 position, Vec2 size) {
        int64_t index = panel_open(kind, kind == PANEL_PROPERTIES ? S("properties") : S("global properties"),
                                   position, size);
        EXPECT_GE(index, 0);
        PropertyColumn* column = panel_content<PropertyPanelContent>(&editor.panels.list.data[index])->column;
        EXPECT_NE(column, nullptr);
        EXPECT_TRUE(frames(2));
        return column;
    }
    static Property& row(PropertyColumn* column, int32_t group, int64_t index) {
        return column->groups[group].properties.data[index];
    }

    // `action` is one step: one more step, and undo and redo move exactly
    // between the scene before and after it.
    void expect_one_step(const char* what, const std::function<void()>& action) {
        SCOPED_TRACE(what);
        std::string before = document();
        int64_t position = editor.history.position;
        action();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(frames(2));
        std::string after = document();
        EXPECT_NE(after, before) << "nothing changed";
        EXPECT_EQ(editor.history.position, position + 1);
        EXPECT_EQ(editor.history.count, position + 1);
        ASSERT_TRUE(control('Z'));
        EXPECT_EQ(document(), before) << "undo did not give the scene before";
        ASSERT_TRUE(control('Y'));
        EXPECT_EQ(document(), after) << "redo did not give the scene after";
    }
    void expect_no_step(const char* what, const std::function<void()>& action) {
        SCOPED_TRACE(what);
        std::string before = document();
        int64_t position = editor.history.position, count = editor.history.count;
        action();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(frames(2));
        EXPECT_EQ(document(), before);
        EXPECT_EQ(editor.history.position, position);
        EXPECT_EQ(editor.history.count, count);
    }

    int32_t at_x = 0, at_y = 0;
};

TEST_F(HistoryInput, AGizmoDragOfThreeFramesIsOneStepAndUndoPastTheSaveMarksModified) {
    start();
    int64_t id = selected_quad(Vec3{0, 0.3f, 0.4f});
    ASSERT_TRUE(frames(2));
    std::string before = document();
    // The X arrow at 70 % of its length (gizmo size 2.4 at this distance),
    // carried along in three frames of motion.
    point_at_world(Vec3{1.68f, 0.3f, 0.4f});
    press();
    ASSERT_EQ(editor.selection.gizmo.active, 0) << "the press missed the arrow";
    for (int i = 1; i <= 3; i++) {
        int32_t x, y;
        window_pixel(Vec3{1.68f + 0.5f * (float)i, 0.3f, 0.4f}, &x, &y);
        harness_mouse_move(x, y);
        at_x = x;
        at_y = y;
        ASSERT_TRUE(frames());
        EXPECT_EQ(editor.history.count, 0) << "recorded in the middle of the drag";
    }
    float moved = object(id)->transform.position.x;
    EXPECT_GT(moved, 1.0f);
    release();
    ASSERT_TRUE(frames());
    EXPECT_EQ(editor.history.count, 1);
    std::string dragged = document();

    ASSERT_TRUE(control('S'));   // never saved: asks where
    ASSERT_TRUE(type_and_enter("dragged.scene"));
    ASSERT_FALSE(editor.scene.scene_modified);
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(document(), before);
    EXPECT_EQ(object(id)->transform.position.x, 0);
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(text(editor_window_title()), "tarnisk \xE2\x80\x94 dragged.scene *");
    ASSERT_TRUE(control('Z'));   // one step was all there was
    EXPECT_EQ(document(), before);
    ASSERT_TRUE(control('Y', true));
    EXPECT_EQ(document(), dragged);
    EXPECT_FALSE(editor.scene.scene_modified);
    EXPECT_EQ(text(editor_window_title()), "tarnisk \xE2\x80\x94 dragged.scene");
    EXPECT_EQ(read_file(folder + "/dragged.scene"), serialized());
}

TEST_F(HistoryInput, TypingTwelveThenLeavingTheFieldIsOneStep) {
    start();
    int64_t id = selected_quad(Vec3{0, 0, 0});
    PropertyColumn* column = open_column(PANEL_PROPERTIES, Vec2{560, 20}, Vec2{400, 680});
    // A step before the field's: the second undo takes that one, not part of the typing.
    edit([] { editor.scene.objects.data[0].transform.position.y = 5; });
    ASSERT_EQ(editor.history.count, 1);
    TextField* x = &row(column, OBJECT_GROUP_TRANSFORM, 0).components[0];
    TextField* y = &row(column, OBJECT_GROUP_TRANSFORM, 0).components[1];
    Vec4 heading = x->rect;
    heading.y += 1.5f * editor.theme.scale;   // the group's name: no widget there

    struct Leave {
        const char* how;
        std::function<void()> leave;
    };
    const Leave ways[] = {
        {"Enter", [&] { key(KEY_ENTER); }},
        {"a click beside the fields", [&] { click_at(heading); }},
    };
    float old_x = object(id)->transform.position.x;
    for (const Leave& way : ways) {
        SCOPED_TRACE(way.how);
        int64_t steps = editor.history.position;
        click_at(x->rect);
        ASSERT_TRUE(x->focused);
        select_all_typed();
        type("1");
        type("2");
        EXPECT_EQ(object(id)->transform.position.x, 12);
        EXPECT_EQ(editor.history.position, steps) << "recorded while the field had the keyboard";
        way.leave();
        ASSERT_TRUE(frames(2));
        ASSERT_FALSE(x->focused);
        EXPECT_EQ(editor.history.position, steps + 1);
        EXPECT_EQ(editor.history.count, steps + 1);
        EXPECT_EQ(object(id)->transform.position.x, 12);

        ASSERT_TRUE(control('Z'));
        EXPECT_EQ(object(id)->transform.position.x, old_x);
        EXPECT_EQ(object(id)->transform.position.y, 5);
        ASSERT_TRUE(control('Z'));   // the step before: x stays as it was
        EXPECT_EQ(object(id)->transform.position.x, old_x);
        EXPECT_EQ(object(id)->transform.position.y, 0);
        ASSERT_TRUE(control('Y'));
        ASSERT_TRUE(control('Y'));
        EXPECT_EQ(object(id)->transform.position.x, 12);
        ASSERT_TRUE(control('Z'));   // back to x as it was for the next way
        EXPECT_EQ(object(id)->transform.position.x, old_x);
    }

    // From one field into the next: each field's edit is a step of its own.
    int64_t steps = editor.history.position;
    click_at(x->rect);
    select_all_typed();
    type("12");
    click_at(y->rect);
    ASSERT_TRUE(y->focused);
    EXPECT_EQ(editor.history.position, steps + 1);
    select_all_typed();
    type("3");
    click_at(heading);
    ASSERT_TRUE(frames(2));
    EXPECT_EQ(editor.history.position, steps + 2);
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(object(id)->transform.position.x, 12);
    EXPECT_EQ(object(id)->transform.position.y, 5);
    ASSERT_TRUE(control('Z'));
    EXPECT_EQ(object(id)->transform.position.x, old_x);
}

TEST_F(HistoryInput, ControlZInAFocusedFieldLeavesTheSceneAlone) {
    start();
    int64_t id = selected_quad(Vec3{0, 0, 0});
    PropertyColumn* column = open_column(PANEL_PROPERTIES, Vec2{560, 20}, Vec2{400, 680});
    edit([] { editor.scene.objects.data[0].transform.position.y = 5; });
    TextField* x = &row(column, OBJECT_GROUP_TRANSFORM, 0).components[0];
    click_at(x->rect);
    select_all_typed();
    type("7");
    std::string typed = document();
    ASSERT_TRUE(control('Z'));
    ASSERT_TRUE(control('Y'));
    ASSERT_TRUE(control('Z', true));
    EXPECT_TRUE(x->focused);
    EXPECT_EQ(document(), typed);
    EXPECT_EQ(object(id)->transform.position.x, 7);
    EXPECT_EQ(object(id)->transform.position.y, 5);
    EXPECT_EQ(text(text_field_text(x)), "7");
    EXPECT_EQ(editor.history.count, 1);
    key(KEY_ENTER);
    EXPECT_EQ(editor.history.count, 2);
    // Control+Z pressed and let go within one frame (a slow frame, a remote
    // session) still undoes.
    harness_key_down(KEY_CONTROL);
    harness_key_down(key_letter('Z'));
    harness_key_up(key_letter('Z'));
    harness_key_up(KEY_CONTROL);
    ASSERT_TRUE(frames(2));
    EXPECT_EQ(object(id)->transform.position.x, 0);
    EXPECT_EQ(object(id)->transform.position.y, 5);
}

TEST_F(HistoryInput, EachToolEditIsOneStep) {
    start();
    int64_t quad = selected_quad(Vec3{0, 0, 0});
    ASSERT_TRUE(frames(2));
    // An empty spot of the viewport, away from the quad and its gizmo.
    Vec4 empty{150, 150, 1, 1};

    expect_no_step("a click on nothing and keys with no use", [&] {
        click_at(Vec4{300, 200, 1, 1}, MOUSE_SECONDARY);
        key(KEY_F1);
        key(key_letter('K'));
    });
    expect_one_step("duplication", [&] { key(key_letter('C')); });
    // Undo and redo in the tool modes too: Z is also the plane key there.
    key(KEY_TAB);
    ASSERT_TRUE(editor.scene.placement_mode);
    expect_one_step("a placed object", [&] { click_at(empty); });
    key(KEY_TAB);
    ASSERT_FALSE(editor.scene.placement_mode);

    int64_t path = scene_create_object(OBJECT_PATH, transform_default());
    edit([] {
        for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
        editor.scene.rows.data[editor.scene.rows.count - 1].selected = true;
    });
    int64_t points = scene_find_object(path)->path.points.count;
    key(key_letter('T'));
    ASSERT_TRUE(editor.tools.path_mode);
    expect_one_step("an added path point", [&] { click_at(empty); });
    EXPECT_EQ(scene_find_object(path)->path.points.count, points + 1);
    expect_one_step("a removed path point", [&] { click_at(empty, MOUSE_SECONDARY); });
    EXPECT_EQ(scene_find_object(path)->path.points.count, points);
    key(key_letter('T'));
    ASSERT_FALSE(editor.tools.path_mode);

    edit([] {
        for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = i == 0;
    });
    PropertyColumn* column = open_column(PANEL_PROPERTIES, Vec2{560, 20}, Vec2{400, 680});
    expect_one_step("a check box", [&] { click_at(row(column, OBJECT_GROUP_MATERIAL, 3).rect); });
    EXPECT_TRUE(object(quad)->quad.billboard);
    expect_one_step("a second check box click", [&] { click_at(row(column, OBJECT_GROUP_MATERIAL, 3).rect); });
    EXPECT_FALSE(object(quad)->quad.billboard);

    expect_one_step("a color picker drag", [&] {
        click_at(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
        Panel* panel = top_panel();
        ASSERT_EQ(panel->kind, PANEL_COLOR_PICKER);
        float t = editor.theme.scale;
        ColorPickerLayout layout = color_picker_layout(
            Vec4{panel->position.x, panel->position.y, panel->size.x, panel->size.y - t}, t, editor.theme.offset);
        Vec4 square = layout.square;
        point(square.x + 20, square.y + 20);
        press();
        for (int i = 1; i <= 3; i++) {
            harness_mouse_move(at_x + 15, at_y - 10);
            at_x += 15;
            at_y -= 10;
            ASSERT_TRUE(frames());
        }
        release();
        click_at(layout.ok);
    });
    while (panel_count()) panel_remove(panel_count() - 1);

    PropertyColumn* settings = open_column(PANEL_GLOBAL_PROPERTIES, Vec2{560, 20}, Vec2{400, 680});
    expect_one_step("a settings check box", [&] { click_at(row(settings, 0, 2).rect); });
    EXPECT_TRUE(editor.scene.settings.wireframe);
    expect_one_step("a settings field", [&] {
        click_at(row(settings, 1, 4).field.rect);
        select_all_typed();
        type("3");
        key(KEY_ENTER);
    });
    EXPECT_EQ(editor.scene.settings.plane_height, 3);
}

TEST_F(HistoryInput, EachObjectListEditIsOneStep) {
    start();
    for (int i = 0; i < 3; i++) add_object();
    history_clear();
    int64_t index = editor_open_tool_panel(PANEL_OBJECTS);
    ASSERT_GE(index, 0);
    Panel* panel = &editor.panels.list.data[index];
    panel->position = Vec2{100, 100};
    panel->size = Vec2{300, 400};
    panel_layout(panel);
    ASSERT_TRUE(frames(2));
    float s = editor.theme.scale;
    HierarchyLayout layout = hierarchy_layout(panel->position, Vec2{panel->size.x, panel->size.y - s}, s,
                                              editor.theme.offset);
    // Rows from the top of the list, every group open: end rows are only a
    // spacing high.
    auto row_rect = [&](int64_t i) {
        Vec4 list = layout.list;
        float y = list.y + list.w;
        for (int64_t r = 0; r < i; r++) y -= editor.scene.rows.data[r].group_end ? editor.theme.offset : s;
        return Vec4{list.x + 0.75f * s + 10, y - s, 40, s};
    };

    expect_one_step("a row click", [&] { click_at(row_rect(0)); });
    ASSERT_TRUE(editor.scene.rows.data[0].selected);
    expect_one_step("a drop", [&] {
        point(row_rect(0));
        press();
        Vec4 target = row_rect(2);
        point(target.x + 5, target.y + s / 2 + 2);
        point(target.x + 5, target.y + 2);
        release();
    });
    ASSERT_TRUE(editor.scene.rows.data[2].selected) << "the row did not move";
    expect_one_step("a new group", [&] { click_at(layout.new_group); });
    expect_one_step("show / hide", [&] { click_at(layout.show_hide); });
    // Object rows take their kind's name on load, so only a group's name is
    // part of the scene; a rename of one is the step.
    int64_t group = 0;
    while (group < editor.scene.rows.count && !editor.scene.rows.data[group].group_start) group++;
    ASSERT_LT(group, editor.scene.rows.count);
    click_at(row_rect(group));
    ASSERT_TRUE(editor.scene.rows.data[group].selected);
    expect_one_step("a rename", [&] {
        click_at(layout.name);
        select_all_typed();
        type("renamed");
        key(KEY_ENTER);
    });
    EXPECT_EQ(text(editor.scene.rows.data[group].name), "renamed");
    expect_one_step("a delete", [&] { click_at(layout.remove); });
}

}  // namespace
