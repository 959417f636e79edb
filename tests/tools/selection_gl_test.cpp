// Gizmo drags and viewport picks in the real program under the virtual
// display: the pointer and keys arrive as SDL events, the main loop runs the
// frames, and the resulting selection and transforms are checked.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_frame.h"
#include "platform/platform.h"
#include "render/picking.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"
#include "tools/selection.h"

namespace {

class SelectionGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness_has_display()) GTEST_SKIP() << "no DISPLAY: GL tests need an X server (run under xvfb-run)";
        ASSERT_TRUE(harness_start());
        ASSERT_TRUE(harness_frames(1));
        scene_init(&editor.scene);
        editor.tools = viewport_tool_state_default();
        editor.selection = selection_state_default();
        editor.camera = camera_default();  // at (0, 0, 10), looking straight down
        // Under load the server's own pointer events from mapping the window
        // can arrive late; let them land before the scripted pointer starts.
        harness_mouse_move(5, 5);
        frame(5);
    }
    void TearDown() override {
        if (harness_has_display()) harness_stop();
    }

    static int64_t add_quad(Vec3 p, float scale = 1, Rotor rotation = Rotor{1, 0, 0, 0}) {
        SceneObject object{};
        object.kind = OBJECT_QUAD;
        object.transform = Transform{p, rotation, Vec3{scale, scale, scale}};
        object.quad = editor.scene.templates.quad;
        object.quad.billboard = false;
        object.id = editor.scene.next_object_id++;
        object.visible = true;
        EXPECT_GE(scene_append_object(object), 0);
        return scene_append_row(object.id, S("quad"), object_kind_icon(OBJECT_QUAD), object_kind_color(OBJECT_QUAD));
    }
    static Transform& transform_of(int64_t row) {
        return scene_find_object(editor.scene.rows.data[row].object_id)->transform;
    }
    static bool selected(int64_t row) { return editor.scene.rows.data[row].selected; }
    static std::vector<int64_t> selection() {
        std::vector<int64_t> rows;
        for (int64_t i = 0; i < editor.scene.rows.count; i++) {
            if (selected(i)) rows.push_back(i);
        }
        return rows;
    }

    // Window pixel, SDL style (from the top-left), where the camera shows p.
    static void window_pixel(Vec3 p, int32_t* x, int32_t* y) {
        Mat4 vp = mat4_multiply(camera_projection_matrix(editor.camera, editor.window_width, editor.window_height,
                                                         editor_mode_2d()),
                                camera_view_matrix(editor.camera));
        Vec4 clip = mat4_transform_vec4(vp, Vec4{p.x, p.y, p.z, 1});
        *x = (int32_t)std::lround((clip.x / clip.w + 1) * 0.5f * editor.window_width);
        *y = editor.window_height - (int32_t)std::lround((clip.y / clip.w + 1) * 0.5f * editor.window_height);
    }
    void frame(int count = 1) { ASSERT_TRUE(harness_frames(count)); }
    void move_to(Vec3 p) {
        window_pixel(p, &mouse_x, &mouse_y);
        harness_mouse_move(mouse_x, mouse_y);
        // A second frame lets the server's own motion from the pointer warp
        // arrive before anything is pressed at the new place; under load it
        // can come later still, so the move is repeated until it holds.
        frame(2);
        for (int i = 0; i < 20 && !pointer_is_there(); i++) {
            harness_mouse_move(mouse_x, mouse_y);
            frame(2);
        }
    }
    bool pointer_is_there() const {
        return editor.mouse_x == (float)mouse_x && editor.mouse_y == (float)(editor.window_height - mouse_y);
    }
    void press_at(Vec3 p) {
        move_to(p);
        harness_mouse_down(MOUSE_PRIMARY, mouse_x, mouse_y);
        frame();
    }
    void release() {
        harness_mouse_up(MOUSE_PRIMARY, mouse_x, mouse_y);
        frame();
    }
    void drag(Vec3 from, Vec3 to) {
        press_at(from);
        move_to(to);
        release();
    }
    void click_at(Vec3 p, bool control = false) {
        if (control) harness_key_down(KEY_CONTROL);
        press_at(p);
        release();
        if (control) harness_key_up(KEY_CONTROL);
        frame();
    }
    void tap(int32_t key) {
        harness_key_down(key);
        frame();
        harness_key_up(key);
    }
    void box(Vec3 from, Vec3 to, bool control = false) {
        move_to(from);
        tap(key_letter('B'));
        if (control) harness_key_down(KEY_CONTROL);
        press_at(to);
        release();
        if (control) harness_key_up(KEY_CONTROL);
        frame();
    }
    static void snapping(Vec3 size, double angle = 0) {
        editor.scene.settings.snapping = true;
        editor.scene.settings.snap_size = size;
        editor.scene.settings.snap_angle = angle;
    }

    int32_t mouse_x = 0, mouse_y = 0;
};

// ---------------------------------------------------------------------------
// Gizmo drags

TEST_F(SelectionGlTest, AxisDragSnapsEveryComponentWithItsOwnStep) {
    int64_t row = add_quad(Vec3{0, 0.3f, 0.4f});
    editor.scene.rows.data[row].selected = true;
    snapping(Vec3{1, 0, 1});
    frame();
    // Gizmo size 9.6 x 0.25 = 2.4: grab the X arrow at 70 %, outside the
    // plane squares, and carry it 2.3 units along.
    drag(Vec3{1.68f, 0.3f, 0.4f}, Vec3{1.68f + 2.3f, 0.3f, 0.4f});
    Transform t = transform_of(row);
    EXPECT_EQ(t.position.x, 2);
    EXPECT_EQ(t.position.y, 0.3f);  // step 0: left alone
    EXPECT_EQ(t.position.z, 0);     // not dragged, still rounded
    EXPECT_EQ(editor.selection.gizmo.active, -1);
}

TEST_F(SelectionGlTest, RingDragSnapsTheAngleFromThePress) {
    int64_t row = add_quad(Vec3{0, 0, 0});
    editor.scene.rows.data[row].selected = true;
    editor.scene.gizmo_mode = GIZMO_ROTATION;
    snapping(Vec3{0, 0, 0}, 15);
    frame();
    const float r = 2.5f;  // the gizmo size at ten units from the camera
    const double to_radians = DEGREES_TO_RADIANS;
    press_at(Vec3{r, 0, 0});
    ASSERT_EQ(editor.selection.gizmo.active, 2);
    move_to(Vec3{(float)(r * std::cos(20 * to_radians)), (float)(r * std::sin(20 * to_radians)), 0});
    Rotor want = rotor_from_axis_angle(Vec3{0, 0, 1}, (float)(15 * to_radians));
    Rotor got = transform_of(row).rotation;
    EXPECT_NEAR(got.s, want.s, 1e-6);
    EXPECT_NEAR(got.xy, want.xy, 1e-6);
    EXPECT_EQ(got.xz, 0);
    EXPECT_EQ(got.yz, 0);
    move_to(Vec3{(float)(r * std::cos(3 * to_radians)), (float)(r * std::sin(3 * to_radians)), 0});
    got = transform_of(row).rotation;
    EXPECT_EQ(got.s, 1);
    EXPECT_EQ(got.xy, 0);
    release();
}

TEST_F(SelectionGlTest, ScaleDragMultipliesByTheAxisLengthsMoved) {
    int64_t row = add_quad(Vec3{0, 0, 0});
    transform_of(row).scale = Vec3{2, 1, 1};
    editor.scene.rows.data[row].selected = true;
    editor.scene.gizmo_mode = GIZMO_SCALE;
    snapping(Vec3{1, 1, 1});
    frame();
    drag(Vec3{1.25f, 0, 0}, Vec3{1.25f + 2.5f, 0, 0});
    Transform t = transform_of(row);
    EXPECT_EQ(t.scale.x, 4);
    EXPECT_EQ(t.scale.y, 1);
    EXPECT_EQ(t.scale.z, 1);
    EXPECT_EQ(t.position.x, 0);
}

TEST_F(SelectionGlTest, RectangleCornerDragKeepsTheOppositeCorner) {
    int64_t row = add_quad(Vec3{0, 0, 0});
    editor.scene.rows.data[row].selected = true;
    editor.scene.gizmo_mode = GIZMO_RECTANGLE;
    frame();
    drag(Vec3{1, 1, 0}, Vec3{2, 1.5f, 0});
    Transform t = transform_of(row);
    EXPECT_NEAR(t.position.x - t.scale.x, -1, 1e-5);
    EXPECT_NEAR(t.position.y - t.scale.y, -1, 1e-5);
    EXPECT_NEAR(t.position.x + t.scale.x, 2, 0.03);    // the corner went with the pointer
    EXPECT_NEAR(t.position.y + t.scale.y, 1.5, 0.03);

    // With snapping, the centre and the half-extents land on half steps.
    transform_of(row) = Transform{Vec3{0, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
    snapping(Vec3{1, 1, 1});
    frame();
    drag(Vec3{1, 1, 0}, Vec3{2.3f, 1.4f, 0});
    t = transform_of(row);
    EXPECT_EQ(t.position.x, 0.5f);
    EXPECT_EQ(t.position.y, 0);
    EXPECT_EQ(t.scale.x, 1.5f);
    EXPECT_EQ(t.scale.y, 1);
    EXPECT_EQ(t.scale.z, 1);
}

TEST_F(SelectionGlTest, KeyCDuringADragLeavesCopiesBehindAndDragsTheCopies) {
    int64_t row = add_quad(Vec3{0, 0, 0});
    editor.scene.rows.data[row].selected = true;
    frame();
    press_at(Vec3{1.75f, 0, 0});
    move_to(Vec3{2.75f, 0, 0});
    float left_at = transform_of(row).position.x;
    EXPECT_NEAR(left_at, 1, 0.03);
    tap(key_letter('C'));
    ASSERT_EQ(editor.scene.rows.count, 2);
    EXPECT_FALSE(selected(row));
    EXPECT_TRUE(selected(1));
    EXPECT_EQ(transform_of(1).position.x, left_at);
    move_to(Vec3{3.75f, 0, 0});
    release();
    EXPECT_EQ(transform_of(row).position.x, left_at);
    EXPECT_NEAR(transform_of(1).position.x, 2, 0.03);
}

TEST_F(SelectionGlTest, ADragFollowsThePointerAcrossAPanelAndEndsOnReleaseOverIt) {
    int64_t row = add_quad(Vec3{0, 0, 0});
    editor.scene.rows.data[row].selected = true;
    int32_t px = 0, py = 0;
    window_pixel(Vec3{4, 0, 0}, &px, &py);
    // A panel under the path of the drag (panel corners are y-up pixels).
    panel_open(0, S("objects"), Vec2{(float)px - 40, (float)(editor.window_height - py) - 150}, Vec2{300, 300});
    frame();
    press_at(Vec3{1.75f, 0, 0});
    ASSERT_EQ(editor.selection.gizmo.active, 0);
    move_to(Vec3{4, 0, 0});
    EXPECT_FALSE(panel_owns_point(-1, editor.mouse_x, editor.mouse_y));
    EXPECT_NEAR(transform_of(row).position.x, 2.25f, 0.03);
    release();
    EXPECT_EQ(editor.selection.gizmo.active, -1);
    float stopped = transform_of(row).position.x;
    move_to(Vec3{5, 0, 0});
    EXPECT_EQ(transform_of(row).position.x, stopped);
}

// ---------------------------------------------------------------------------
// Pivots

class PivotGlTest : public SelectionGlTest {
protected:
    // Two quads at x = -2 and 2, turned 0 and 90 degrees about Z, rotated
    // together by a snapped 90-degree ring drag about Z.
    void turn_quarter(bool per_object, int64_t count) {
        editor.scene.pivot_per_object = per_object;
        editor.scene.gizmo_mode = GIZMO_ROTATION;
        snapping(Vec3{0, 0, 0}, 15);
        rows[0] = add_quad(Vec3{-2, 0, 0});
        if (count > 1) rows[1] = add_quad(Vec3{2, 0, 0}, 1, quarter(1));
        for (int64_t i = 0; i < count; i++) editor.scene.rows.data[rows[i]].selected = true;
        frame();
        Vec3 centre = count > 1 ? Vec3{0, 0, 0} : Vec3{-2, 0, 0};
        float r = 2.5f;
        press_at(vec3_add(centre, Vec3{r, 0, 0}));
        ASSERT_EQ(editor.selection.gizmo.active, 2);
        move_to(vec3_add(centre, Vec3{0, r, 0}));
        release();
    }
    static Rotor quarter(int turns) {
        return rotor_from_axis_angle(Vec3{0, 0, 1}, (float)(turns * 90 * DEGREES_TO_RADIANS));
    }
    static void expect_transform(const Transform& t, Vec3 position, Rotor rotation) {
        EXPECT_NEAR(t.position.x, position.x, 1e-5);
        EXPECT_NEAR(t.position.y, position.y, 1e-5);
        EXPECT_NEAR(t.position.z, position.z, 1e-5);
        EXPECT_NEAR(t.rotation.s, rotation.s, 1e-5);
        EXPECT_NEAR(t.rotation.xy, rotation.xy, 1e-5);
        EXPECT_NEAR(t.rotation.xz, rotation.xz, 1e-5);
        EXPECT_NEAR(t.rotation.yz, rotation.yz, 1e-5);
        EXPECT_NEAR(rotor_length(t.rotation), 1, 1e-6);  // never stretched
        EXPECT_EQ(t.scale.x, 1);
    }
    int64_t rows[2] = {-1, -1};
};

TEST_F(PivotGlTest, AboutTheCommonCentreBothSwingAroundIt) {
    turn_quarter(false, 2);
    expect_transform(transform_of(rows[0]), Vec3{0, -2, 0}, quarter(1));
    expect_transform(transform_of(rows[1]), Vec3{0, 2, 0}, quarter(2));
}

TEST_F(PivotGlTest, AboutTheirOwnOriginsEachTurnsInPlaceWithoutStretching) {
    turn_quarter(true, 2);
    expect_transform(transform_of(rows[0]), Vec3{-2, 0, 0}, quarter(1));
    expect_transform(transform_of(rows[1]), Vec3{2, 0, 0}, quarter(2));
}

TEST_F(PivotGlTest, OneObjectTurnsAlikeInBothModes) {
    turn_quarter(true, 1);
    Transform per_object = transform_of(rows[0]);
    expect_transform(per_object, Vec3{-2, 0, 0}, quarter(1));
    transform_of(rows[0]) = Transform{Vec3{-2, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
    editor.scene.pivot_per_object = false;
    frame();
    press_at(Vec3{-2 + 2.5f, 0, 0});
    move_to(Vec3{-2, 2.5f, 0});
    release();
    expect_transform(transform_of(rows[0]), per_object.position, per_object.rotation);
}

TEST_F(PivotGlTest, AnUntouchedSelectionStaysBitForBitAboutTheCentre) {
    editor.scene.pivot_per_object = false;
    rows[0] = add_quad(Vec3{-2.1f, 0.7f, 0.3f}, 1, quarter(1));
    rows[1] = add_quad(Vec3{1.9f, -0.2f, 0}, 1.5f, rotor_from_axis_angle(Vec3{1, 0, 0}, 0.7f));
    editor.scene.rows.data[rows[0]].selected = editor.scene.rows.data[rows[1]].selected = true;
    Transform a = transform_of(rows[0]), b = transform_of(rows[1]);
    move_to(Vec3{3, 3, 0});
    frame(20);
    EXPECT_EQ(std::memcmp(&a, &transform_of(rows[0]), sizeof(Transform)), 0);
    EXPECT_EQ(std::memcmp(&b, &transform_of(rows[1]), sizeof(Transform)), 0);
}

// ---------------------------------------------------------------------------
// Picking

class PickGlTest : public SelectionGlTest {
protected:
    void SetUp() override {
        SelectionGlTest::SetUp();
        if (IsSkipped()) return;
        left = add_quad(Vec3{-5, 0, 0});
        right = add_quad(Vec3{5, 0, 0});
        under = add_quad(Vec3{0, 0, 0});
        over = add_quad(Vec3{1, 0, 0.5f});  // covers the right half of `under`
        frame();
    }
    // Lower-left quarters: away from any gizmo handle of a selected quad.
    static Vec3 inside(Vec3 centre) { return vec3_add(centre, Vec3{-0.5f, -0.5f, 0}); }
    int64_t left = -1, right = -1, under = -1, over = -1;
};

TEST_F(PickGlTest, ClicksSelectToggleAndClear) {
    click_at(inside(Vec3{-5, 0, 0}));
    EXPECT_EQ(selection(), std::vector<int64_t>{left});
    click_at(inside(Vec3{-5, 0, 0}));  // the one selected object, clicked again, stays
    EXPECT_EQ(selection(), std::vector<int64_t>{left});
    click_at(inside(Vec3{5, 0, 0}), true);
    EXPECT_EQ(selection(), (std::vector<int64_t>{left, right}));
    click_at(inside(Vec3{-5, 0, 0}), true);
    EXPECT_EQ(selection(), std::vector<int64_t>{right});
    click_at(Vec3{-5, 5, 0}, true);  // background with Ctrl: nothing changes
    EXPECT_EQ(selection(), std::vector<int64_t>{right});
    click_at(Vec3{-5, 5, 0});
    EXPECT_TRUE(selection().empty());
    EXPECT_EQ(editor.selection.picked_sub_id, 0);
}

TEST_F(PickGlTest, BoxesSelectWhatShowsInsideThemAndCtrlBoxesAdd) {
    // Only the left half of `under` shows; a box over it picks it alone.
    box(Vec3{-0.9f, -0.9f, 0}, Vec3{-0.1f, 0.9f, 0});
    EXPECT_EQ(selection(), std::vector<int64_t>{under});
    // Over its covered half only the quad in front is there to pick (the
    // press lies below the selected quad's gizmo).
    box(Vec3{0.8f, 0.9f, 0}, Vec3{0.2f, -0.9f, 0});
    EXPECT_EQ(selection(), std::vector<int64_t>{over});
    box(Vec3{-6, -1.5f, 0}, Vec3{-4, 1.5f, 0}, true);
    EXPECT_EQ(selection(), (std::vector<int64_t>{left, over}));
    // A zero-sized box reads nothing and clears the selection.
    box(Vec3{-5, -0.5f, 0}, Vec3{-5, -0.5f, 0});
    EXPECT_TRUE(selection().empty());
    EXPECT_FALSE(editor.selection.box_pending);
}

TEST_F(PickGlTest, NoPickWhileTheGizmoOrAPanelIsUnderThePointer) {
    click_at(inside(Vec3{-5, 0, 0}));
    ASSERT_EQ(selection(), std::vector<int64_t>{left});
    // The X arrow of the selected quad lies over the background: pressing it
    // starts a drag instead of clearing the selection.
    press_at(Vec3{-5 + 1.75f, 0, 0});
    EXPECT_EQ(editor.selection.gizmo.active, 0);
    release();
    EXPECT_EQ(selection(), std::vector<int64_t>{left});

    int32_t px = 0, py = 0;
    window_pixel(Vec3{5, 0, 0}, &px, &py);
    panel_open(0, S("objects"), Vec2{(float)px - 100, (float)(editor.window_height - py) - 100}, Vec2{200, 200});
    frame();
    click_at(Vec3{5, 0, 0});
    EXPECT_EQ(selection(), std::vector<int64_t>{left});
}

// The whole window read in every strip shape gives one read's selection,
// also with almost no room left in the frame pool.
TEST_F(PickGlTest, BigBoxesReadInStripsSelectAsOneRead) {
    PickRegion whole{0, 0, editor.window_width, editor.window_height};
    // Frames without a press leave the picking image alone: draw it here.
    editor_camera_matrices();
    picking_pass();
    auto pick_with = [&](int64_t chunk) {
        for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
        frame_buffer_bind(1, editor.render.picking_target.frame_buffer);
        pick_region_read(whole, chunk);
        frame_buffer_unbind(1);
        return selection();
    };
    std::vector<int64_t> all{left, right, under, over};
    EXPECT_EQ(pick_with(int64_t{1} << 40), all);
    EXPECT_EQ(pick_with(5000), all);  // strips of four rows
    EXPECT_EQ(pick_with(300), all);   // rows in pieces
    EXPECT_EQ(pick_with(1), all);
    Pool* pool = pool_get(POOL_FRAME);
    ASSERT_NE(pool_alloc(POOL_FRAME, pool->capacity - pool->used - 64), nullptr);
    EXPECT_EQ(pick_with(int64_t{1} << 40), all);
}

}  // namespace
