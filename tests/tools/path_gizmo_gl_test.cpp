// The path point gizmo in the real program, driven by SDL events: handle
// drags that mirror the other handle or (Ctrl) move alone, its handles
// winning a press over the selection's gizmo, a whole drag undone as one
// step, markers picked into the selected part, and the point rows of the
// property panel rebound when points are added under a field that kept the
// keyboard.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/editor.h"
#include "platform/platform.h"
#include "scene/history.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"
#include "support/property_text.h"
#include "tools/placement.h"
#include "tools/property_panel.h"
#include "tools/selection.h"

namespace {

void expect_vec3(Vec3 got, Vec3 want) {
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.z, want.z);
}

class PathGizmo : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        if (IsSkipped()) return;
        start();
        ASSERT_TRUE(harness_frames(1));
        editor.camera = camera_default();   // at (0, 0, 10), looking straight down
        harness_mouse_move(5, 5);
        frame(5);
    }

    void frame(int count = 1) { ASSERT_TRUE(harness_frames(count)); }

    // A Bezier path whose object origin is `origin`, with `points`, its row
    // the only selected one.
    int64_t bezier_path(Vec3 origin, std::initializer_list<PathPoint> points) {
        Transform t = transform_default();
        t.position = origin;
        int64_t id = scene_create_object(OBJECT_PATH, t);
        EXPECT_GE(id, 0);
        SceneObject* path = scene_find_object(id);
        path->path.bezier = true;
        path->path.points.count = 0;
        for (const PathPoint& p : points) EXPECT_GE(array_push(&path->path.points, p), 0);
        for (int64_t i = 0; i < editor.scene.rows.count; i++) {
            editor.scene.rows.data[i].selected = editor.scene.rows.data[i].object_id == id;
        }
        return id;
    }
    static PathBlock& path_of(int64_t id) { return scene_find_object(id)->path; }

    // Window pixel, SDL style (from the top-left), where the camera shows p.
    static void window_pixel(Vec3 p, int32_t* x, int32_t* y) {
        Mat4 vp = mat4_multiply(camera_projection_matrix(editor.camera, editor.window_width, editor.window_height,
                                                         editor_mode_2d()),
                                camera_view_matrix(editor.camera));
        Vec4 clip = mat4_transform_vec4(vp, Vec4{p.x, p.y, p.z, 1});
        *x = (int32_t)std::lround((clip.x / clip.w + 1) * 0.5f * editor.window_width);
        *y = editor.window_height - (int32_t)std::lround((clip.y / clip.w + 1) * 0.5f * editor.window_height);
    }
    bool pointer_is_there() const {
        return editor.mouse_x == (float)mouse_x && editor.mouse_y == (float)(editor.window_height - mouse_y);
    }
    // The X server is shared: the move is repeated until the editor sees it,
    // and one more frame runs there so hover is known before a press.
    void move_to(Vec3 p) {
        window_pixel(p, &mouse_x, &mouse_y);
        for (int i = 0; i < 20; i++) {
            harness_mouse_move(mouse_x, mouse_y);
            frame(2);
            if (pointer_is_there()) return;
        }
        FAIL() << "the pointer never reached " << mouse_x << ", " << mouse_y;
    }
    void drag(Vec3 from, Vec3 to) {
        move_to(from);
        harness_mouse_down(MOUSE_PRIMARY, mouse_x, mouse_y);
        frame();
        move_to(to);
        harness_mouse_up(MOUSE_PRIMARY, mouse_x, mouse_y);
        frame(2);
    }
    void click_at(Vec3 p, int held_frames = 1) {
        move_to(p);
        harness_mouse_down(MOUSE_PRIMARY, mouse_x, mouse_y);
        frame(held_frames);
        harness_mouse_up(MOUSE_PRIMARY, mouse_x, mouse_y);
        frame(2);
    }
    void key(int32_t code) {
        harness_key_down(code);
        frame();
        harness_key_up(code);
        frame();
    }
    void undo() {
        harness_key_down(KEY_CONTROL);
        key(key_letter('Z'));
        harness_key_up(KEY_CONTROL);
        frame();
    }

    // The object panel at the right of the window.
    PropertyColumn* open_properties() {
        panel = panel_open(PANEL_PROPERTIES, S("properties"), panel_at, panel_size);
        EXPECT_GE(panel, 0);
        if (panel < 0) return nullptr;
        PropertyColumn* column = panel_content<PropertyPanelContent>(&editor.panels.list.data[panel])->column;
        frame(2);
        return column;
    }
    void click_window(float x, float y) {   // window pixels, y up
        int32_t wx = (int32_t)x, wy = editor.window_height - (int32_t)y;
        for (int i = 0; i < 20; i++) {
            harness_mouse_move(wx, wy);
            frame(1);
            if (editor.mouse_x == (float)wx && editor.mouse_y == (float)(editor.window_height - wy)) break;
        }
        harness_mouse_down(MOUSE_PRIMARY, wx, wy);
        frame(1);
        harness_mouse_up(MOUSE_PRIMARY, wx, wy);
        frame(1);
    }
    // Clicks the field, selects its text and types over it.
    void type_into(const TextField& field, const char* text) {
        Vec4 r = field.rect;
        click_window(r.x + r.z / 2, r.y + r.w / 2);
        ASSERT_TRUE(field.focused);
        harness_key_down(KEY_CONTROL);
        harness_key_down(key_letter('A'));
        frame(1);
        harness_key_up(key_letter('A'));
        harness_key_up(KEY_CONTROL);
        frame(1);
        harness_text(text);
        frame(2);
    }
    // The panel's minimise box: the content stops running, the fields keep
    // what they had.
    void toggle_panel() {
        float t = editor.theme.scale;
        click_window(panel_at.x + panel_size.x - 1.5f * t, panel_at.y + panel_size.y - 0.5f * t);
    }

    int32_t mouse_x = 0, mouse_y = 0;
    int64_t panel = -1;
    Vec2 panel_at{560, 20}, panel_size{400, 680};
};

// The camera at height 10 gives the gizmo a size of 2.5: its X arrow runs
// from the selected part to 2.5 units along +x, and its XY square covers
// the first 1.25 units. Presses below land on the arrow past the square.
TEST_F(PathGizmo, HandleDragMirrorsTheOtherHandleAndWithCtrlMovesAlone) {
    editor.scene.settings.snapping = true;
    editor.scene.settings.snap_size = Vec3{0.5f, 0.5f, 0.5f};
    // The object's own origin sits on handle a: both gizmos' arrows lie on
    // one another, and the point's take the press.
    int64_t id = bezier_path(Vec3{-1, 0, 0}, {PathPoint{{0, 0, 0}, {-1, 0, 0}, {1, 0, 0}}});
    path_of(id).sub_index = 1;
    frame(2);
    history_clear();
    int64_t steps = editor.history.count;
    editor.scene.scene_modified = false;

    drag(Vec3{0.5f, 0, 0}, Vec3{1.0f, 0, 0});
    PathPoint point = path_of(id).points.data[0];
    expect_vec3(point.a, Vec3{-0.5f, 0, 0});
    expect_vec3(point.b, Vec3{0.5f, 0, 0});
    expect_vec3(point.position, Vec3{0, 0, 0});
    expect_vec3(scene_find_object(id)->transform.position, Vec3{-1, 0, 0});
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(editor.selection.path_gizmo.active, -1);
    EXPECT_EQ(editor.selection.gizmo.active, -1);

    // Now the arrow starts at -0.5.
    harness_key_down(KEY_CONTROL);
    drag(Vec3{1.0f, 0, 0}, Vec3{0, 0, 0});
    harness_key_up(KEY_CONTROL);
    frame();
    point = path_of(id).points.data[0];
    expect_vec3(point.a, Vec3{-1.5f, 0, 0});
    expect_vec3(point.b, Vec3{0.5f, 0, 0});
    expect_vec3(scene_find_object(id)->transform.position, Vec3{-1, 0, 0});

    // Each drag, many frames long, is one step.
    EXPECT_EQ(editor.history.count, steps + 2);
    undo();
    point = path_of(id).points.data[0];
    expect_vec3(point.a, Vec3{-0.5f, 0, 0});
    expect_vec3(point.b, Vec3{0.5f, 0, 0});
    undo();
    point = path_of(id).points.data[0];
    expect_vec3(point.a, Vec3{-1, 0, 0});
    expect_vec3(point.b, Vec3{1, 0, 0});
}

TEST_F(PathGizmo, DraggingThePointCarriesBothHandlesAndNothingMovesWithoutADrag) {
    editor.scene.settings.snapping = true;
    editor.scene.settings.snap_size = Vec3{0.5f, 0.5f, 0.5f};
    int64_t id = bezier_path(Vec3{-4, 3, 0}, {PathPoint{{0.1f, 0.2f, 0}, {-0.3f, 0.7f, 0}, {0.7f, -0.003f, 0}}});
    frame(2);
    // Frames with the pointer over the gizmo but no drag leave every bit.
    move_to(Vec3{2.0f, 0.2f, 0});
    frame(4);
    PathPoint point = path_of(id).points.data[0];
    expect_vec3(point.position, Vec3{0.1f, 0.2f, 0});
    expect_vec3(point.a, Vec3{-0.3f, 0.7f, 0});
    expect_vec3(point.b, Vec3{0.7f, -0.003f, 0});
    EXPECT_EQ(editor.selection.path_gizmo.hovered, 0);
    EXPECT_FALSE(editor.tools.pointer_free_of_gizmos);

    // Up the Y arrow, past the square, by 1.5: the point lands on the grid
    // (snapping rounds all three components) and takes its handles along,
    // unchanged relative to it.
    drag(Vec3{0.1f, 1.7f, 0}, Vec3{0.1f, 3.2f, 0});
    point = path_of(id).points.data[0];
    expect_vec3(point.position, Vec3{0, 1.5f, 0});
    EXPECT_FLOAT_EQ(point.a.x, -0.4f);
    EXPECT_FLOAT_EQ(point.a.y, 2.0f);
    EXPECT_FLOAT_EQ(point.b.x, 0.6f);
    EXPECT_FLOAT_EQ(point.b.y, 1.297f);
    expect_vec3(scene_find_object(id)->transform.position, Vec3{-4, 3, 0});
}

TEST_F(PathGizmo, NoPointGizmoInPathModeOrForAnUnselectedPath) {
    int64_t id = bezier_path(Vec3{-4, 3, 0}, {PathPoint{{0, 0, 0}, {-1, 0, 0}, {1, 0, 0}}});
    frame(2);
    key(key_letter('T'));
    ASSERT_TRUE(editor.tools.path_mode);
    move_to(Vec3{2.0f, 0, 0});
    EXPECT_EQ(editor.selection.path_gizmo.hovered, -1);
    key(key_letter('T'));
    move_to(Vec3{2.1f, 0, 0});
    EXPECT_EQ(editor.selection.path_gizmo.hovered, 0);
    // Deselected under the pointer: the hover does not outlive the path's
    // gizmo, or no viewport click would pick again.
    editor.scene.rows.data[0].selected = false;
    frame(2);
    EXPECT_EQ(editor.selection.path_gizmo.hovered, -1);
    EXPECT_TRUE(editor.tools.pointer_free_of_gizmos);
    expect_vec3(path_of(id).points.data[0].position, Vec3{0, 0, 0});
}

TEST_F(PathGizmo, ClickingAMarkerSelectsThatPartAndOtherPicksLeaveIt) {
    // Off the grid: a drag step, even without motion, would snap them.
    editor.scene.settings.snapping = true;
    editor.scene.settings.snap_size = Vec3{0.5f, 0.5f, 0.5f};
    int64_t id = bezier_path(Vec3{-4, 3, 0}, {PathPoint{{0, 0, 0}, {-1.1f, 0.1f, 0}, {1, 0, 0}},
                                              PathPoint{{0, -3, 0}, {-1, -3, 0}, {1.1f, -3.1f, 0}}});
    int64_t quad = scene_create_object(OBJECT_QUAD, Transform{{4, 3, 0}, {1, 0, 0, 0}, {1, 1, 1}});
    ASSERT_GE(quad, 0);
    frame(2);
    PathBlock before = path_of(id);
    PathPoint points[2];
    std::memcpy(points, before.points.data, sizeof points);

    click_at(Vec3{1.1f, -3.1f, 0}, 4);   // handle b of point 1, held a few frames
    EXPECT_EQ(path_of(id).index, 1);
    EXPECT_EQ(path_of(id).sub_index, 2);
    EXPECT_EQ(editor.selection.picked_sub_id, -1);
    EXPECT_TRUE(editor.scene.rows.data[0].selected);
    // The press that picked the marker starts no drag on it.
    EXPECT_EQ(std::memcmp(points, path_of(id).points.data, sizeof points), 0);

    click_at(Vec3{-1.1f, 0.1f, 0}, 4);   // handle a of point 0
    EXPECT_EQ(path_of(id).index, 0);
    EXPECT_EQ(path_of(id).sub_index, 1);

    // A pick of another object is no marker of this path.
    click_at(Vec3{3.5f, 2.5f, 0});
    EXPECT_FALSE(editor.scene.rows.data[0].selected);
    EXPECT_TRUE(editor.scene.rows.data[1].selected);
    EXPECT_EQ(path_of(id).index, 0);
    EXPECT_EQ(path_of(id).sub_index, 1);
    EXPECT_EQ(std::memcmp(points, path_of(id).points.data, sizeof points), 0);
}

// A field of a point row keeps the keyboard while its panel is minimised
// (the content is not run, so no click takes it away); points are added and
// inserted meanwhile, the array growing and moving. When the panel opens
// again the rows show the point the index names now, and the typed text
// goes nowhere.
TEST_F(PathGizmo, PointRowsRebindWhenPointsAreAddedUnderAFieldThatKeptTheKeyboard) {
    int64_t id = bezier_path(Vec3{-4, 3, 0}, {PathPoint{{1, 1, 0}, {0, 1, 0}, {2, 1, 0}},
                                              PathPoint{{5, 6, 0}, {4, 6, 0}, {6, 6, 0}},
                                              PathPoint{{8, 8, 0}, {7, 8, 0}, {9, 8, 0}}});
    path_of(id).bezier = false;
    path_of(id).index = 1;
    PropertyColumn* column = open_properties();
    ASSERT_NE(column, nullptr);
    auto row = [&](int64_t r) -> Property& { return column->groups[OBJECT_GROUP_PATH].properties.data[r]; };

    type_into(row(5).components[0], "42");
    ASSERT_EQ(path_of(id).points.data[1].position.x, 42);
    toggle_panel();   // minimised
    ASSERT_TRUE(editor.panels.list.data[panel].collapsed);
    ASSERT_TRUE(row(5).components[0].focused);
    ASSERT_TRUE(editor.viewport_keys);

    key(key_letter('T'));
    ASSERT_TRUE(editor.tools.path_mode);
    editor.scene.settings.plane_height = 100;   // the pointer finds no place: the cursor stays put
    editor.tools.placement_cursor.position = Vec3{-2, -2, 0};
    harness_key_down(KEY_CONTROL);
    key(KEY_SPACE);   // inserted at index 1: the index names the new point
    harness_key_up(KEY_CONTROL);
    frame();
    for (int i = 0; i < 40; i++) key(KEY_SPACE);
    ASSERT_EQ(path_of(id).points.count, 44);
    key(key_letter('T'));

    toggle_panel();   // open again
    ASSERT_FALSE(editor.panels.list.data[panel].collapsed);
    frame(2);
    const PathBlock& path = path_of(id);
    ASSERT_EQ(path.index, 1);
    expect_vec3(path.points.data[1].position, Vec3{-2, -2, 0});
    EXPECT_EQ(path.points.data[2].position.x, 42);
    EXPECT_FALSE(row(5).components[0].focused);
    EXPECT_EQ(text_of(row(5).components[0]), number_text(-2));
}

// The same for any row: a field that kept the keyboard in a minimised panel
// while another object was selected lets go when the panel opens again.
TEST_F(PathGizmo, FieldsLetGoWhenThePanelComesBackForAnotherObject) {
    int64_t first = scene_create_object(OBJECT_QUAD, Transform{{1, 2, 0}, {1, 0, 0, 0}, {1, 1, 1}});
    int64_t second = scene_create_object(OBJECT_QUAD, Transform{{-3, -4, 0}, {1, 0, 0, 0}, {1, 1, 1}});
    ASSERT_GE(second, 0);
    editor.scene.rows.data[0].selected = true;
    PropertyColumn* column = open_properties();
    ASSERT_NE(column, nullptr);
    Property& position = column->groups[OBJECT_GROUP_TRANSFORM].properties.data[0];
    type_into(position.components[0], "7");
    ASSERT_EQ(scene_find_object(first)->transform.position.x, 7);
    toggle_panel();
    ASSERT_TRUE(position.components[0].focused);

    editor.scene.rows.data[0].selected = false;
    editor.scene.rows.data[1].selected = true;
    frame(2);
    toggle_panel();
    frame(2);
    EXPECT_EQ(scene_find_object(second)->transform.position.x, -3);
    EXPECT_EQ(scene_find_object(first)->transform.position.x, 7);
    EXPECT_FALSE(position.components[0].focused);
    EXPECT_EQ(text_of(position.components[0]), number_text(-3));
}

}  // namespace
