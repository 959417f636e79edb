// Path drawing without a GPU: Bezier sampling, the ribbon's shared and split
// joints, its orientation toward the viewer, and the marker colors. The
// batch's CPU arrays hold what a flush would send.
#include <gtest/gtest.h>

#include <cmath>

#include "app/editor.h"
#include "render/draw.h"
#include "support/pool_fixture.h"
#include "tools/path_draw.h"

namespace {

class PathDrawTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        draw_state_init();
        editor.gamma_value = 2.2;
        batch_begin();
    }
    PathBlock path(std::initializer_list<PathPoint> points, bool bezier, bool closed) {
        PathBlock block{};
        block.bezier = bezier;
        block.closed = closed;
        block.color = Vec4{0, 1, 0, 1};
        block.width = 0.1;
        block.points = array_make<PathPoint>(POOL_PERSISTENT);
        for (const PathPoint& p : points) array_push(&block.points, p);
        return block;
    }
    // Looking straight down from high above, orthographic: every sample sees
    // the viewer along +z.
    PathView top_view() {
        PathView view{};
        view.camera_position = Vec3{0, 0, 100};
        view.toward_camera = Vec3{0, 0, 1};
        view.right = Vec3{1, 0, 0};
        view.up = Vec3{0, 1, 0};
        view.orthographic = true;
        return view;
    }
    const Array<MeshVertex>& vertices() { return editor.render.draw.vertices; }
    const Array<uint32_t>& indices() { return editor.render.draw.indices; }
};

PathPoint point_at(float x, float y, float z = 0) {
    Vec3 p{x, y, z};
    return PathPoint{p, p, p};
}

// Signed area of a triangle seen along -view (positive: counter-clockwise
// for the viewer, the side that culling keeps).
float facing_area(Vec3 a, Vec3 b, Vec3 c, Vec3 view) {
    return vec3_dot(vec3_cross(vec3_sub(b, a), vec3_sub(c, a)), view);
}

void expect_all_triangles_face(const Array<MeshVertex>& v, const Array<uint32_t>& idx, Vec3 view) {
    ASSERT_EQ(idx.count % 3, 0);
    for (int64_t t = 0; t < idx.count; t += 3) {
        float area = facing_area(v.data[idx.data[t]].position, v.data[idx.data[t + 1]].position,
                                 v.data[idx.data[t + 2]].position, view);
        EXPECT_GT(area, 0) << "triangle " << t / 3;
    }
}

TEST_F(PathDrawTest, BezierSegmentsAreSampledAt32StepsAndEndOnTheLastPoint) {
    PathBlock open = path({PathPoint{{0, 0, 0}, {0, 0, 0}, {1, 0, 0}}, PathPoint{{4, 0, 0}, {3, 2, 0}, {4, 0, 0}}},
                          true, false);
    ASSERT_EQ(path_sample_count(open), 33);
    Vec3 samples[33];
    ASSERT_EQ(path_sample(open, samples), 33);
    EXPECT_EQ(samples[0].x, 0);
    // t = 1/2: (P0 + 3 b0 + 3 a1 + P1) / 8 with b0 = (1,0), a1 = (3,2).
    EXPECT_NEAR(samples[16].x, (0 + 3 * 1 + 3 * 3 + 4) / 8.0, 1e-6);
    EXPECT_NEAR(samples[16].y, (3 * 2) / 8.0, 1e-6);
    EXPECT_EQ(samples[32].x, 4);

    // Closed: a last segment back to the first point, no extra end sample.
    PathBlock closed = path({point_at(0, 0), point_at(1, 0), point_at(1, 1)}, true, true);
    ASSERT_EQ(path_sample_count(closed), 96);
    Vec3 loop[96];
    ASSERT_EQ(path_sample(closed, loop), 96);
    EXPECT_EQ(loop[64].x, 1);
    EXPECT_EQ(loop[64].y, 1);
    EXPECT_NEAR(loop[80].x, 0.5, 1e-6);  // halfway home on a handle-less segment
    EXPECT_NEAR(loop[80].y, 0.5, 1e-6);

    // One point: itself when open, a 32-step loop through its handles when closed.
    PathBlock single = path({point_at(2, 3)}, true, false);
    EXPECT_EQ(path_sample_count(single), 1);
    PathBlock single_closed = path({point_at(2, 3)}, true, true);
    EXPECT_EQ(path_sample_count(single_closed), 32);

    PathBlock plain = path({point_at(0, 0), point_at(5, 1)}, false, true);
    Vec3 corners[2];
    ASSERT_EQ(path_sample(plain, corners), 2);
    EXPECT_EQ(corners[1].x, 5);
    EXPECT_EQ(path_sample_count(path({}, true, true)), 0);
}

TEST_F(PathDrawTest, StraightRibbonSharesOnePairPerSampleAtFullWidth) {
    Vec3 samples[] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    path_ribbon_append(samples, 3, false, 0.25f, Vec4{1, 0, 0, 1}, top_view());
    ASSERT_EQ(vertices().count, 6);
    ASSERT_EQ(indices().count, 12);
    for (int64_t i = 0; i < 6; i++) {
        EXPECT_NEAR(std::abs(vertices().data[i].position.y), 0.25, 1e-6) << i;
        EXPECT_EQ(vertices().data[i].color.x, 1);
    }
    expect_all_triangles_face(vertices(), indices(), Vec3{0, 0, 1});
}

TEST_F(PathDrawTest, GentleBendAveragesSidesAndSharpCornerSplits) {
    // 10 degrees: one shared pair at the joint, its side between the two.
    Vec3 gentle[] = {{0, 0, 0}, {1, 0, 0}, {1 + 0.9848f, 0.1736f, 0}};
    path_ribbon_append(gentle, 3, false, 1, Vec4{1, 1, 1, 1}, top_view());
    EXPECT_EQ(vertices().count, 6);
    Vec3 joint_side = vec3_sub(vertices().data[3].position, Vec3{1, 0, 0});
    EXPECT_LT(joint_side.x, 0);  // leans back against the turn
    EXPECT_NEAR(vec3_length(joint_side), 0.996, 1e-3);  // |sum| / 2 of two unit sides 10 degrees apart

    // 90 degrees: each step ends on its own side, two pairs at the corner.
    batch_begin();
    Vec3 corner[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    path_ribbon_append(corner, 3, false, 0.5f, Vec4{1, 1, 1, 1}, top_view());
    ASSERT_EQ(vertices().count, 8);
    EXPECT_EQ(indices().count, 12);
    for (int64_t i = 0; i < 8; i++) {
        Vec3 p = vertices().data[i].position;
        bool across_x_step = std::abs(std::abs(p.y) - 0.5f) < 1e-6f;
        bool across_y_step = std::abs(std::abs(p.x - 1) - 0.5f) < 1e-6f;
        EXPECT_TRUE(across_x_step || across_y_step) << i;
    }
    expect_all_triangles_face(vertices(), indices(), Vec3{0, 0, 1});

    // A corner on steps too short to judge stays joined.
    batch_begin();
    Vec3 tiny[] = {{0, 0, 0}, {0.01f, 0, 0}, {0.01f, 0.01f, 0}};
    path_ribbon_append(tiny, 3, false, 0.5f, Vec4{1, 1, 1, 1}, top_view());
    EXPECT_EQ(vertices().count, 6);
}

TEST_F(PathDrawTest, ClosedRibbonWrapsItsJoints) {
    // A smooth closed loop: one pair per sample and a last step back to the first pair.
    const int n = 32;
    Vec3 circle[n];
    for (int i = 0; i < n; i++) {
        double angle = 2 * 3.14159265358979 * i / n;
        circle[i] = Vec3{(float)std::cos(angle), (float)std::sin(angle), 0};
    }
    path_ribbon_append(circle, n, true, 0.1f, Vec4{1, 1, 1, 1}, top_view());
    EXPECT_EQ(vertices().count, 2 * n);
    ASSERT_EQ(indices().count, 6 * n);
    EXPECT_EQ(indices().data[6 * (n - 1) + 1], 0u);  // the last step ends on the first pair
    expect_all_triangles_face(vertices(), indices(), Vec3{0, 0, 1});

    // A closed square: all four corners are sharp, each step its own quad.
    batch_begin();
    Vec3 square[] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
    path_ribbon_append(square, 4, true, 0.1f, Vec4{1, 1, 1, 1}, top_view());
    EXPECT_EQ(vertices().count, 16);
    EXPECT_EQ(indices().count, 24);
}

TEST_F(PathDrawTest, RibbonFacesAPerspectiveViewerFromEitherSide) {
    Vec3 samples[] = {{-2, 0, 0}, {0, 0.5f, 0}, {2, 0, 0}, {3, 1, 0}};
    for (float z : {10.0f, -10.0f}) {
        batch_begin();
        PathView view = top_view();
        view.orthographic = false;
        view.camera_position = Vec3{0, -3, z};
        path_ribbon_append(samples, 4, false, 0.2f, Vec4{1, 1, 1, 1}, view);
        ASSERT_GT(indices().count, 0);
        for (int64_t t = 0; t < indices().count; t += 3) {
            Vec3 a = vertices().data[indices().data[t]].position;
            Vec3 b = vertices().data[indices().data[t + 1]].position;
            Vec3 c = vertices().data[indices().data[t + 2]].position;
            Vec3 centre = vec3_scale(vec3_add(vec3_add(a, b), c), 1.0f / 3);
            EXPECT_GT(facing_area(a, b, c, vec3_sub(view.camera_position, centre)), 0) << z << " " << t;
        }
    }
}

TEST_F(PathDrawTest, RepeatedSamplesKeepTheWidthAndAPointAloneDrawsNoRibbon) {
    Vec3 repeated[] = {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    path_ribbon_append(repeated, 5, false, 0.3f, Vec4{1, 1, 1, 1}, top_view());
    ASSERT_EQ(vertices().count, 10);
    for (int64_t i = 0; i < 10; i++) EXPECT_NEAR(std::abs(vertices().data[i].position.y), 0.3, 1e-6) << i;

    batch_begin();
    Vec3 still[] = {{1, 1, 1}, {1, 1, 1}};
    path_ribbon_append(still, 2, false, 0.3f, Vec4{1, 1, 1, 1}, top_view());
    EXPECT_EQ(vertices().count, 0);

    // Seen end-on (the path runs straight at the viewer): no side, nothing drawn.
    Vec3 end_on[] = {{0, 0, 0}, {0, 0, 1}};
    path_ribbon_append(end_on, 2, false, 0.3f, Vec4{1, 1, 1, 1}, top_view());
    EXPECT_EQ(vertices().count, 0);
}

TEST_F(PathDrawTest, SelectedPointAndHandleMarkersAreWhite) {
    SceneObject object{};
    object.kind = OBJECT_PATH;
    object.path = path({PathPoint{{0, 0, 0}, {-1, 0, 0}, {1, 0, 0}}, PathPoint{{5, 0, 0}, {4, 0, 0}, {6, 0, 0}}},
                       true, false);
    object.path.index = -1;  // wraps to the last point
    object.path.sub_index = 2;
    path_draw_geometry(object, top_view(), true);
    // The batch keeps the markers: three squares per point (point, a, b).
    ASSERT_EQ(vertices().count, 2 * 3 * 4);
    auto marker_color = [&](int marker) { return vertices().data[marker * 4].color; };
    EXPECT_EQ(marker_color(0).x, 0);  // point 0: path green
    EXPECT_EQ(marker_color(3).x, 1);  // point 1: white
    EXPECT_EQ(marker_color(4).x, 0);  // its handle a
    EXPECT_EQ(marker_color(5).x, 1);  // its handle b, the selected part
    Vec3 p = vertices().data[12].position;  // point 1's marker: side 0.25, lifted toward the viewer
    EXPECT_NEAR(p.x, 5 - 0.125, 1e-6);
    EXPECT_GT(p.z, 0);

    batch_begin();
    path_draw_geometry(object, top_view(), false);
    for (int m = 0; m < 6; m++) EXPECT_EQ(marker_color(m).x, 0) << m;
}

}  // namespace
