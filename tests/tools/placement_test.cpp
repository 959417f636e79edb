// The placement and path rules without a window: grid snapping, boxes, kind
// stepping, point handles (including a point on the last one), adding,
// inserting and removing with wrapped indices, the wheel walk and the
// handle mirroring.
#include <gtest/gtest.h>

#include <cmath>

#include "support/pool_fixture.h"
#include "tools/placement.h"

namespace {

void expect_vec3(Vec3 got, Vec3 want) {
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.z, want.z);
}

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

TEST(PlacementRules, SnapRoundsEachAxisToItsStepAndZeroLeavesItAlone) {
    expect_vec3(placement_snap(Vec3{2.3f, 2.5f, 0.7f}, Vec3{1, 1, 0}), Vec3{2, 3, 0.7f});
    expect_vec3(placement_snap(Vec3{-2.6f, 0.74f, 5}, Vec3{1, 0.5f, 2}), Vec3{-3, 0.5f, 6});
    // Halves round up, also below zero.
    expect_vec3(placement_snap(Vec3{-2.5f, 0, 0}, Vec3{1, 1, 1}), Vec3{-2, 0, 0});
}

TEST(PlacementRules, BoxIsCentredWithHalfSizeScaleWhateverTheCornerOrder) {
    Vec3 lo{1, 2, 0}, hi{5, 8, 2};
    Vec3 corners[4][2] = {{lo, hi}, {hi, lo}, {Vec3{1, 8, 0}, Vec3{5, 2, 2}}, {Vec3{5, 2, 2}, Vec3{1, 8, 0}}};
    for (auto& c : corners) {
        Transform t = placement_box_transform(c[0], c[1]);
        expect_vec3(t.position, Vec3{3, 5, 1});
        expect_vec3(t.scale, Vec3{2, 3, 1});
        EXPECT_EQ(t.rotation.s, 1);
        EXPECT_EQ(t.rotation.xy, 0);
    }
}

TEST(PlacementRules, KindStepsWrapBothWays) {
    EXPECT_EQ(placement_kind_step(OBJECT_QUAD, -1), OBJECT_PATH);
    EXPECT_EQ(placement_kind_step(OBJECT_PATH, +1), OBJECT_QUAD);
    EXPECT_EQ(placement_kind_step(OBJECT_TEXT, +1), OBJECT_MESH);
}

TEST(PathPoints, HandlesLieOneUnitAlongTheDirectionFromThePrevious) {
    PathPoint p = path_point_make(Vec3{3, 4, 0}, Vec3{0, 0, 0});
    expect_vec3(p.position, Vec3{3, 4, 0});
    expect_vec3(p.a, Vec3{3 - 0.6f, 4 - 0.8f, 0});
    expect_vec3(p.b, Vec3{3 + 0.6f, 4 + 0.8f, 0});
}

TEST(PathPoints, NoDirectionGivesFiniteHandlesOnThePoint) {
    // On the previous point, and so far from it that the difference overflows.
    PathPoint same = path_point_make(Vec3{1, 2, 3}, Vec3{1, 2, 3});
    expect_vec3(same.a, Vec3{1, 2, 3});
    expect_vec3(same.b, Vec3{1, 2, 3});
    PathPoint far = path_point_make(Vec3{3e38f, 0, 0}, Vec3{-3e38f, 0, 0});
    EXPECT_TRUE(finite(far.a) && finite(far.b));
    PathPoint tiny = path_point_make(Vec3{1e-30f, 0, 0}, Vec3{0, 0, 0});
    EXPECT_TRUE(finite(tiny.a) && finite(tiny.b));
}

class PathEditing : public PoolTest {
protected:
    PathBlock path{};
    void SetUp() override {
        PoolTest::SetUp();
        path.points = array_make<PathPoint>(POOL_PERSISTENT);
    }
    void add_points(int n) {
        for (int i = 0; i < n; i++) ASSERT_TRUE(path_point_add(&path, Vec3{(float)i, 0, 0}, false));
    }
};

TEST_F(PathEditing, FirstPointTakesItsDirectionFromTheOrigin) {
    ASSERT_TRUE(path_point_add(&path, Vec3{0, 2, 0}, false));
    ASSERT_EQ(path.points.count, 1);
    expect_vec3(path.points.data[0].a, Vec3{0, 1, 0});
    expect_vec3(path.points.data[0].b, Vec3{0, 3, 0});
    // A second point on the first stays finite all the way.
    ASSERT_TRUE(path_point_add(&path, Vec3{0, 2, 0}, false));
    expect_vec3(path.points.data[1].a, Vec3{0, 2, 0});
    expect_vec3(path.points.data[1].b, Vec3{0, 2, 0});
}

TEST_F(PathEditing, InsertWrapsTheIndexAndNamesTheNewPoint) {
    add_points(4);
    path.index = -1;
    ASSERT_TRUE(path_point_add(&path, Vec3{9, 9, 0}, true));
    EXPECT_EQ(path.index, 3);
    ASSERT_EQ(path.points.count, 5);
    expect_vec3(path.points.data[3].position, Vec3{9, 9, 0});
    expect_vec3(path.points.data[4].position, Vec3{3, 0, 0});
    // Into an empty path the insert goes first.
    PathBlock empty{};
    empty.points = array_make<PathPoint>(POOL_PERSISTENT);
    empty.index = 5;
    ASSERT_TRUE(path_point_add(&empty, Vec3{1, 0, 0}, true));
    EXPECT_EQ(empty.index, 0);
    EXPECT_EQ(empty.points.count, 1);
}

TEST_F(PathEditing, RemoveWrapsTheIndexAndEmptyPathsAreLeftAlone) {
    add_points(3);
    path.index = 7;
    ASSERT_TRUE(path_point_remove(&path));
    EXPECT_EQ(path.index, 1);
    ASSERT_EQ(path.points.count, 2);
    EXPECT_EQ(path.points.data[0].position.x, 0);
    EXPECT_EQ(path.points.data[1].position.x, 2);
    path.index = -5;
    ASSERT_TRUE(path_point_remove(&path));
    EXPECT_EQ(path.index, 1);
    ASSERT_TRUE(path_point_remove(&path));
    EXPECT_FALSE(path_point_remove(&path));
    EXPECT_EQ(path.points.count, 0);
}

TEST_F(PathEditing, WheelWalksPartsOnBezierPathsAndPointsOtherwise) {
    add_points(3);
    for (int i = 0; i < 5; i++) path_wheel_step(&path, +1, true);
    EXPECT_EQ(path.index, 1);
    EXPECT_EQ(path.sub_index, 2);
    path_wheel_step(&path, -3, true);   // only the sign counts
    EXPECT_EQ(path.sub_index, 1);
    path.sub_index = 0;
    path_wheel_step(&path, -1, true);
    EXPECT_EQ(path.index, 0);
    EXPECT_EQ(path.sub_index, 2);
    path_wheel_step(&path, -1, false);
    path_wheel_step(&path, -1, false);
    EXPECT_EQ(path.index, -2);   // wrapped only where it is used
    path_selection_wrap(&path);
    EXPECT_EQ(path.index, 1);
    EXPECT_EQ(path.sub_index, 0);   // no handles without bezier
}

TEST_F(PathEditing, TargetFollowsTheSelectedPart) {
    add_points(2);
    path.index = 3;
    path.sub_index = 2;
    EXPECT_EQ(path_selected_target(&path), &path.points.data[1].position);   // no handles without bezier
    path.bezier = true;
    EXPECT_EQ(path_selected_target(&path), &path.points.data[1].b);
    path.sub_index = 1;
    EXPECT_EQ(path_selected_target(&path), &path.points.data[1].a);
    PathBlock empty{};
    EXPECT_EQ(path_selected_target(&empty), nullptr);
}

TEST(PathHandles, MovingThePointCarriesBothHandles) {
    PathPoint p{Vec3{1, 0, 0}, Vec3{0, 0, 0}, Vec3{2, 0, 0}};
    p.position = Vec3{1, 5, 0};
    path_point_follow(&p, Vec3{1, 0, 0}, 0, true, false);
    expect_vec3(p.a, Vec3{0, 5, 0});
    expect_vec3(p.b, Vec3{2, 5, 0});
}

TEST(PathHandles, HandleDragMirrorsTheOtherUnlessAlone) {
    PathPoint p{Vec3{1, 0, 0}, Vec3{0, 0, 0}, Vec3{2, 0, 0}};
    p.a = Vec3{1, 3, 0};
    path_point_follow(&p, Vec3{1, 0, 0}, 1, true, false);
    expect_vec3(p.a, Vec3{1, 3, 0});
    expect_vec3(p.b, Vec3{1, -3, 0});
    p.b = Vec3{4, 0, 0};
    path_point_follow(&p, Vec3{1, 0, 0}, 2, true, true);
    expect_vec3(p.a, Vec3{1, 3, 0});
    expect_vec3(p.b, Vec3{4, 0, 0});
    // No change this frame: the handles keep their own lengths.
    path_point_follow(&p, Vec3{1, 0, 0}, 1, false, false);
    expect_vec3(p.b, Vec3{4, 0, 0});
}

}  // namespace
