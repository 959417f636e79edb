// The interface quad builder and clipping with uv correction.
#include <gtest/gtest.h>

#include "app/editor.h"
#include "render/draw.h"
#include "support/pool_fixture.h"
#include "ui/quad.h"

namespace {

class QuadTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        editor.render = RenderState{};
        draw_state_init();
        batch_begin();
    }
    DrawState& draw = editor.render.draw;
};

TEST_F(QuadTest, CornersRunCounterClockwiseFromTheOriginShiftedCorner) {
    draw.color = Vec4{0.25f, 0.5f, 0.75f, 1};
    quad_append(10.5f, 20, 30, 40, 0, 0, Vec4{0.5f, 0, 0.5f, 1});
    quad_append(10, 20, 30, 40, 5, 10, Vec4{0, 0, 1, 1});
    ASSERT_EQ(draw.vertices.count, 8);
    const MeshVertex* v = draw.vertices.data;
    const float expected[8][4] = {
        {10.5f, 20, 0.5f, 0}, {40.5f, 20, 1, 0}, {40.5f, 60, 1, 1}, {10.5f, 60, 0.5f, 1},
        {5, 10, 0, 0},        {35, 10, 1, 0},    {35, 50, 1, 1},    {5, 50, 0, 1},
    };
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(v[i].position.x, expected[i][0]) << i;
        EXPECT_EQ(v[i].position.y, expected[i][1]) << i;
        EXPECT_EQ(v[i].position.z, 0) << i;
        EXPECT_EQ(v[i].uv.x, expected[i][2]) << i;
        EXPECT_EQ(v[i].uv.y, expected[i][3]) << i;
        EXPECT_EQ(v[i].color.y, 0.5f) << i;
    }
    EXPECT_EQ(draw.indices.data[9], 4u);
    EXPECT_EQ(draw.indices.data[11], 7u);
}

TEST(ClipRect, InsideIsUntouched) {
    Vec4 rect{10, 10, 20, 20};
    Vec4 c = clip_rect_uv(&rect, Vec4{0, 0, 100, 100});
    EXPECT_EQ(rect.x, 10);
    EXPECT_EQ(rect.z, 20);
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, 0);
    EXPECT_EQ(c.z, 1);
    EXPECT_EQ(c.w, 1);
}

TEST(ClipRect, CutHalvesKeepTheMatchingHalfOfTheTexture) {
    const Vec4 uv{0, 0, 1, 1};
    Vec4 right_cut{0, 0, 10, 10};
    Vec4 c = clip_rect_uv(&right_cut, Vec4{0, 0, 5, 100});
    EXPECT_EQ(right_cut.z, 5);
    Vec4 kept = clip_uv_apply(uv, c);
    EXPECT_EQ(kept.x, 0);
    EXPECT_EQ(kept.y, 0);
    EXPECT_EQ(kept.z, 0.5f);
    EXPECT_EQ(kept.w, 1);

    Vec4 left_cut{-5, 0, 10, 10};
    c = clip_rect_uv(&left_cut, Vec4{0, 0, 100, 100});
    EXPECT_EQ(left_cut.x, 0);
    EXPECT_EQ(left_cut.z, 5);
    kept = clip_uv_apply(Vec4{0.5f, 0, 0.5f, 1}, c);
    EXPECT_EQ(kept.x, 0.75f);
    EXPECT_EQ(kept.z, 0.25f);

    Vec4 bottom_cut{0, -30, 10, 40};
    c = clip_rect_uv(&bottom_cut, Vec4{0, 0, 100, 100});
    EXPECT_EQ(bottom_cut.y, 0);
    EXPECT_EQ(bottom_cut.w, 10);
    EXPECT_EQ(c.y, 0.75f);
    EXPECT_EQ(c.w, 0.25f);
}

TEST(ClipRect, OverhangingBothSidesIsCutOnBoth) {
    Vec4 rect{-10, 0, 40, 10};
    Vec4 c = clip_rect_uv(&rect, Vec4{0, 0, 20, 100});
    EXPECT_EQ(rect.x, 0);
    EXPECT_EQ(rect.z, 20);
    EXPECT_EQ(c.x, 0.25f);
    EXPECT_EQ(c.z, 0.5f);
    Vec4 uv = clip_uv_apply(Vec4{0, 0, 1, 1}, c);
    EXPECT_EQ(uv.x, 0.25f);
    EXPECT_EQ(uv.z, 0.5f);
}

TEST(ClipRect, OutsideLeavesNothingToDraw) {
    Vec4 right{200, 0, 10, 10};
    clip_rect_uv(&right, Vec4{0, 0, 100, 100});
    EXPECT_LE(right.z, 0);
    Vec4 above{0, 150, 10, 10};
    clip_rect_uv(&above, Vec4{0, 0, 100, 100});
    EXPECT_LE(above.w, 0);
    Vec4 left{-50, 0, 10, 10};
    clip_rect_uv(&left, Vec4{0, 0, 100, 100});
    EXPECT_LE(left.z, 0);
}

}  // namespace
