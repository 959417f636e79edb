// Gizmo handle logic and the selection's carry-over without a window: rays
// and pointers are given exactly, so rounding rules can be checked at their
// edges.
#include <gtest/gtest.h>

#include <cmath>

#include "app/editor.h"
#include "support/pool_fixture.h"
#include "tools/gizmo.h"
#include "tools/selection.h"

namespace {

// A camera eight units along -y looking along +y: gizmo size 2 at the origin.
GizmoInput side_view(uint8_t mode, bool mode_2d) {
    GizmoInput input{};
    input.mode = mode;
    input.mode_2d = mode_2d;
    input.camera_position = Vec3{0, -8, 0};
    input.camera_forward = Vec3{0, 1, 0};
    // Screen x is world x / 10, screen y is world z / 10.
    Mat4 vp{};
    vp.m[0] = 0.1f;
    vp.m[9] = 0.1f;
    vp.m[15] = 1;
    input.view_projection = vp;
    input.window_width = input.window_height = 1000;
    input.enabled = input.panel_free = true;
    // Parallel to the XZ plane, behind the YZ plane: no plane handle is hit.
    input.ray_origin = Vec3{5, 5, 5};
    input.ray_direction = Vec3{1, 0, 0};
    return input;
}

Transform origin_transform() { return Transform{Vec3{0, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}}; }

int64_t hovered_with(GizmoInput input) {
    Gizmo gizmo = gizmo_default();
    Transform t = origin_transform();
    gizmo_step(&gizmo, mat4_identity(), &t, input);
    return gizmo.hovered;
}

TEST(GizmoTest, AxisDragSnapsHalfWayUp) {
    GizmoInput input = side_view(GIZMO_POSITION, false);
    input.snapping = true;
    input.snap_size = Vec3{1, 0, 1};
    Gizmo gizmo = gizmo_default();
    Transform t = origin_transform();
    // The X arrow runs from screen (0, 0) to (0.2, 0); grab it half way.
    input.pointer = Vec2{0.1f, 0};
    input.ray_origin = Vec3{1, -8, 0};
    input.ray_direction = Vec3{0, 1, 0};
    input.pressed = true;
    gizmo_step(&gizmo, mat4_identity(), &t, input);
    ASSERT_EQ(gizmo.active, 0);
    input.pressed = false;
    input.ray_origin = Vec3{3.5f, -8, 0.2f};  // exactly 2.5 units further
    gizmo_step(&gizmo, mat4_identity(), &t, input);
    EXPECT_EQ(t.position.x, 3);
    input.ray_origin = Vec3{3.3f, -8, 0.2f};
    gizmo_step(&gizmo, mat4_identity(), &t, input);
    EXPECT_EQ(t.position.x, 2);
    input.released = true;
    gizmo_step(&gizmo, mat4_identity(), &t, input);
    EXPECT_EQ(gizmo.active, -1);
}

TEST(GizmoTest, TwoDModeOffersOnlyHandlesWithinXY) {
    // The Z arrow (screen (0, 0) to (0, 0.2)) and the Z scale stick.
    GizmoInput z_arrow = side_view(GIZMO_POSITION, false);
    z_arrow.pointer = Vec2{0, 0.1f};
    EXPECT_EQ(hovered_with(z_arrow), 2);
    z_arrow.mode_2d = true;
    EXPECT_EQ(hovered_with(z_arrow), -1);
    GizmoInput z_stick = z_arrow;
    z_stick.mode = GIZMO_SCALE;
    z_stick.mode_2d = false;
    EXPECT_EQ(hovered_with(z_stick), 2);
    z_stick.mode_2d = true;
    EXPECT_EQ(hovered_with(z_stick), -1);

    // The YZ and XZ squares, hit by rays along X and Y.
    GizmoInput yz = side_view(GIZMO_POSITION, false);
    yz.pointer = Vec2{0.9f, 0.9f};
    yz.ray_origin = Vec3{-5, 0.3f, 0.3f};
    yz.ray_direction = Vec3{1, 0, 0};
    EXPECT_EQ(hovered_with(yz), 3);
    yz.mode_2d = true;
    EXPECT_EQ(hovered_with(yz), -1);
    GizmoInput xz = yz;
    xz.mode_2d = false;
    xz.ray_origin = Vec3{0.3f, -5, 0.3f};
    xz.ray_direction = Vec3{0, 1, 0};
    EXPECT_EQ(hovered_with(xz), 4);
    xz.mode_2d = true;
    EXPECT_EQ(hovered_with(xz), -1);

    // The X and Y rings (radius 2), hit in their own planes.
    GizmoInput x_ring = side_view(GIZMO_ROTATION, false);
    x_ring.pointer = Vec2{0.9f, 0.9f};
    x_ring.ray_origin = Vec3{-5, 0, 2};
    x_ring.ray_direction = Vec3{1, 0, 0};
    EXPECT_EQ(hovered_with(x_ring), 0);
    x_ring.mode_2d = true;
    EXPECT_EQ(hovered_with(x_ring), -1);
    GizmoInput y_ring = x_ring;
    y_ring.mode_2d = false;
    y_ring.ray_origin = Vec3{0, -5, 2};
    y_ring.ray_direction = Vec3{0, 1, 0};
    EXPECT_EQ(hovered_with(y_ring), 1);
    y_ring.mode_2d = true;
    EXPECT_EQ(hovered_with(y_ring), -1);
}

TEST(GizmoTest, UniformScalePressedOnTheCentreStaysFiniteAndScalesFromWhereItLeaves) {
    GizmoInput input = side_view(GIZMO_SCALE, false);
    input.ray_origin = Vec3{0, -8, 0};
    input.ray_direction = Vec3{0, 1, 0};
    input.pointer = Vec2{0, 0};  // exactly on the projected centre
    input.pressed = true;
    Gizmo gizmo = gizmo_default();
    Transform t = origin_transform();
    t.scale = Vec3{2, 2, 2};
    gizmo_step(&gizmo, mat4_identity(), &t, input);
    ASSERT_TRUE(gizmo.uniform_dragging);
    EXPECT_EQ(gizmo.active, -1);  // the sticks' roots under the sphere did not start too
    input.pressed = false;
    input.pointer = Vec2{0.05f, 0};
    gizmo_step(&gizmo, mat4_identity(), &t, input);
    EXPECT_EQ(t.scale.x, 2);
    input.pointer = Vec2{0.1f, 0};
    gizmo_step(&gizmo, mat4_identity(), &t, input);
    EXPECT_FLOAT_EQ(t.scale.x, 4);
    EXPECT_FLOAT_EQ(t.scale.z, 4);
}

// ---------------------------------------------------------------------------
// Carrying a change over to the selected objects

class SelectionCarryTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        reset();
    }
    static void reset() {
        editor.scene = SceneState{};
        editor.scene.objects = array_make<SceneObject>(POOL_PERSISTENT);
        editor.scene.rows = array_make<HierarchyRow>(POOL_PERSISTENT);
        editor.selection = selection_state_default();
    }
    void add(Transform t) {
        SceneObject object{};
        object.kind = OBJECT_DATA;
        object.transform = t;
        object.id = editor.scene.next_object_id++;
        object.visible = true;
        ASSERT_GE(scene_append_object(object), 0);
        int64_t row = scene_append_row(object.id, S("data"), 0, Vec4{1, 1, 1, 1});
        ASSERT_GE(row, 0);
        editor.scene.rows.data[row].selected = true;
    }
    // The combined transform as the scene pass forms it.
    static Transform combined() {
        Transform sum{Vec3{0, 0, 0}, Rotor{0, 0, 0, 0}, Vec3{0, 0, 0}};
        float n = (float)editor.scene.objects.count;
        for (int64_t i = 0; i < editor.scene.objects.count; i++) {
            const Transform& t = editor.scene.objects.data[i].transform;
            sum.position = vec3_add(sum.position, t.position);
            sum.rotation = Rotor{sum.rotation.s + t.rotation.s, sum.rotation.xy + t.rotation.xy,
                                 sum.rotation.xz + t.rotation.xz, sum.rotation.yz + t.rotation.yz};
            sum.scale = vec3_add(sum.scale, t.scale);
        }
        Transform c;
        c.position = vec3_scale(sum.position, 1 / n);
        c.rotation = rotor_normalize(Rotor{sum.rotation.s / n, sum.rotation.xy / n, sum.rotation.xz / n,
                                           sum.rotation.yz / n});
        c.scale = vec3_scale(sum.scale, 1 / n);
        return c;
    }
    static Mat3 matrix(int64_t i) { return rotor_to_mat3(editor.scene.objects.data[i].transform.rotation); }
    static void expect_matrix(Mat3 got, Mat3 want) {
        for (int k = 0; k < 9; k++) EXPECT_NEAR(got.m[k], want.m[k], 1e-5) << "element " << k;
    }
};

// Objects turned about different axes, turned together 90 degrees about Z:
// every object turns by exactly that, in either pivot mode.
TEST_F(SelectionCarryTest, DifferentlyTurnedObjectsTurnRigidlyInBothModes) {
    Rotor about_x = rotor_from_axis_angle(Vec3{1, 0, 0}, (float)(90 * DEGREES_TO_RADIANS));
    Rotor about_z = rotor_from_axis_angle(Vec3{0, 0, 1}, (float)(90 * DEGREES_TO_RADIANS));
    Mat3 turn = rotor_to_mat3(about_z);
    for (bool per_object : {true, false}) {
        reset();
        editor.scene.pivot_per_object = per_object;
        add(Transform{Vec3{-2, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}});
        add(Transform{Vec3{2, 0, 0}, about_x, Vec3{1, 1, 1}});
        Transform before = combined();
        Transform after = before;
        after.rotation = rotor_multiply(before.rotation, about_z);
        selection_carry(before, after, editor.scene.rows.count);
        expect_matrix(matrix(0), turn);
        expect_matrix(matrix(1), mat3_multiply(turn, rotor_to_mat3(about_x)));
        for (int64_t i = 0; i < 2; i++) {
            EXPECT_NEAR(rotor_length(editor.scene.objects.data[i].transform.rotation), 1, 1e-6);
        }
        Vec3 second = editor.scene.objects.data[1].transform.position;
        // In place, or swung a quarter turn about the centre (0, 0, 0).
        EXPECT_NEAR(second.x, per_object ? 2 : 0, 1e-5) << "per object: " << per_object;
        EXPECT_NEAR(second.y, per_object ? 0 : 2, 1e-5) << "per object: " << per_object;
    }
}

// A flat selection (scale z of 0) has no inverse matrix: a move about the
// centre still moves every object by the same amount.
TEST_F(SelectionCarryTest, FlatSelectionsMoveInsteadOfCollapsing) {
    add(Transform{Vec3{-2, 1, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 0}});
    add(Transform{Vec3{2, -1, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 0}});
    Transform before = combined();
    Transform after = before;
    after.position = vec3_add(before.position, Vec3{0.5f, 0, 0});
    selection_carry(before, after, editor.scene.rows.count);
    Vec3 a = editor.scene.objects.data[0].transform.position, b = editor.scene.objects.data[1].transform.position;
    EXPECT_FLOAT_EQ(a.x, -1.5f);
    EXPECT_FLOAT_EQ(a.y, 1);
    EXPECT_FLOAT_EQ(b.x, 2.5f);
    EXPECT_FLOAT_EQ(b.y, -1);
}

TEST(PickRegionTest, BoxesAreSortedTruncatedAndCutToTheWindow) {
    PickRegion r = pick_region(true, Vec2{300.7f, 40}, Vec2{100, 240.9f}, 1024, 768);
    EXPECT_EQ(r.x, 100);
    EXPECT_EQ(r.y, 40);
    EXPECT_EQ(r.width, 200);
    EXPECT_EQ(r.height, 200);
    r = pick_region(true, Vec2{1000, 700}, Vec2{1100, 800}, 1024, 768);
    EXPECT_EQ(r.width, 24);
    EXPECT_EQ(r.height, 68);
    r = pick_region(true, Vec2{5, 5}, Vec2{5, 5}, 1024, 768);
    EXPECT_EQ(r.width * r.height, 0);
    r = pick_region(false, Vec2{0, 0}, Vec2{12.5f, 7}, 1024, 768);
    EXPECT_EQ(r.x, 12);
    EXPECT_EQ(r.width * r.height, 1);
}

}  // namespace
