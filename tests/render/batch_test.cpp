// The immediate batch's CPU side: what one flush would upload, index order,
// tinting, the ribbon of a path segment, and a pool too small for the batch.
#include <gtest/gtest.h>

#include "app/editor.h"
#include "render/draw.h"
#include "support/pool_fixture.h"

namespace {

class BatchTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        editor.render = RenderState{};
        draw_state_init();
    }
    DrawState& draw = editor.render.draw;
};

const Vec4 WHITE{1, 1, 1, 1};

void append_unit_quad(float x) {
    batch_append_quad(Vec3{x, 0, 0}, Vec3{x + 1, 0, 0}, Vec3{x + 1, 1, 0}, Vec3{x, 1, 0}, WHITE, WHITE, WHITE, WHITE,
                      Vec4{0, 0, 1, 1});
}

void expect_vec4(Vec4 actual, Vec4 expected) {
    EXPECT_FLOAT_EQ(actual.x, expected.x);
    EXPECT_FLOAT_EQ(actual.y, expected.y);
    EXPECT_FLOAT_EQ(actual.z, expected.z);
    EXPECT_FLOAT_EQ(actual.w, expected.w);
}

TEST_F(BatchTest, OneQuadUploadsFourVerticesAndSixIndices) {
    batch_begin();
    batch_append_quad(Vec3{1, 2, 3}, Vec3{4, 2, 3}, Vec3{4, 5, 3}, Vec3{1, 5, 3}, WHITE, WHITE, WHITE, WHITE,
                      Vec4{0.25f, 0.5f, 0.125f, 0.25f});
    BatchUpload upload = batch_upload_size();
    EXPECT_EQ(upload.vertex_bytes, 144);
    EXPECT_EQ(upload.index_bytes, 24);
    EXPECT_EQ(upload.index_count, 6);
    // Corners keep their order; the uv rectangle runs (u, v) .. (u + w, v + h).
    const MeshVertex* v = draw.vertices.data;
    EXPECT_EQ(v[0].position.x, 1);
    EXPECT_EQ(v[1].position.x, 4);
    EXPECT_EQ(v[2].position.y, 5);
    EXPECT_EQ(v[3].position.z, 3);
    EXPECT_EQ(v[0].uv.x, 0.25f);
    EXPECT_EQ(v[0].uv.y, 0.5f);
    EXPECT_EQ(v[1].uv.x, 0.375f);
    EXPECT_EQ(v[1].uv.y, 0.5f);
    EXPECT_EQ(v[2].uv.x, 0.375f);
    EXPECT_EQ(v[2].uv.y, 0.75f);
    EXPECT_EQ(v[3].uv.x, 0.25f);
    EXPECT_EQ(v[3].uv.y, 0.75f);
}

TEST_F(BatchTest, TwoQuadsNumberTheirIndicesFromTheVertexCount) {
    batch_begin();
    append_unit_quad(0);
    append_unit_quad(2);
    const uint32_t expected[] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    ASSERT_EQ(draw.indices.count, 12);
    for (int i = 0; i < 12; i++) EXPECT_EQ(draw.indices.data[i], expected[i]) << "index " << i;
}

TEST_F(BatchTest, CornerColorsAreTintedByTheCurrentColor) {
    batch_begin();
    draw.color = Vec4{1, 0, 0, 0.5f};
    Vec4 corner{0.5f, 1, 1, 1};
    batch_append_quad(Vec3{}, Vec3{}, Vec3{}, Vec3{}, corner, WHITE, Vec4{0, 0, 0, 0}, corner, Vec4{0, 0, 1, 1});
    expect_vec4(draw.vertices.data[0].color, Vec4{0.5f, 0, 0, 0.5f});
    expect_vec4(draw.vertices.data[1].color, Vec4{1, 0, 0, 0.5f});
    expect_vec4(draw.vertices.data[2].color, Vec4{0, 0, 0, 0});
    expect_vec4(draw.vertices.data[3].color, Vec4{0.5f, 0, 0, 0.5f});
}

TEST_F(BatchTest, EmptyingKeepsTheMemorySoRefillingDoesNotAllocate) {
    batch_begin();
    for (int i = 0; i < 100; i++) append_unit_quad((float)i);
    const MeshVertex* vertices = draw.vertices.data;
    const uint32_t* indices = draw.indices.data;
    int64_t used = pool_get(POOL_PERSISTENT)->used;
    for (int frame = 0; frame < 3; frame++) {
        batch_begin();
        EXPECT_EQ(draw.vertices.count, 0);
        EXPECT_EQ(draw.indices.count, 0);
        for (int i = 0; i < 100; i++) append_unit_quad((float)i);
    }
    EXPECT_EQ(draw.vertices.data, vertices);
    EXPECT_EQ(draw.indices.data, indices);
    EXPECT_EQ(pool_get(POOL_PERSISTENT)->used, used);
    EXPECT_EQ(draw.indices.data[599], 399u);
}

TEST_F(BatchTest, SegmentIsARibbonTwiceTheWidthAcrossTheLine) {
    batch_begin();
    draw.color = Vec4{1, 1, 1, 0.5f};
    Vec4 red{1, 0, 0, 1}, blue{0, 0, 1, 1};
    // Along +y, facing +z: the side points along +x.
    batch_append_segment(Vec3{0, 0, 0}, Vec3{0, 4, 0}, Vec3{0, 0, 1}, 0.5, red, blue, Vec4{0, 0, 1, 1});
    const MeshVertex* v = draw.vertices.data;
    ASSERT_EQ(draw.vertices.count, 4);
    EXPECT_FLOAT_EQ(v[0].position.x, -0.5f);
    EXPECT_FLOAT_EQ(v[1].position.x, 0.5f);
    EXPECT_FLOAT_EQ(v[2].position.x, -0.5f);
    EXPECT_FLOAT_EQ(v[2].position.y, 4);
    EXPECT_FLOAT_EQ(v[3].position.x, 0.5f);
    EXPECT_FLOAT_EQ(v[3].position.y, 4);
    expect_vec4(v[0].color, Vec4{1, 0, 0, 0.5f});
    expect_vec4(v[3].color, Vec4{0, 0, 1, 0.5f});
    EXPECT_EQ(v[1].uv.x, 1);
    EXPECT_EQ(v[1].uv.y, 0);
    EXPECT_EQ(v[2].uv.x, 0);
    EXPECT_EQ(v[2].uv.y, 1);
    const uint32_t expected[] = {0, 1, 3, 0, 3, 2};
    for (int i = 0; i < 6; i++) EXPECT_EQ(draw.indices.data[i], expected[i]);
}

class SmallPoolBatchTest : public BatchTest {
protected:
    int64_t persistent_capacity() const override { return 8192; }
};

TEST_F(SmallPoolBatchTest, AFullPoolDropsWholeQuadsAndSaysSoOnce) {
    testing::internal::CaptureStdout();
    batch_begin();
    for (int i = 0; i < 1000; i++) append_unit_quad((float)i);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output, "out of memory: the draw batch cannot grow; geometry is dropped\n");
    // Only whole quads made it in, and every index names a stored vertex.
    ASSERT_GT(draw.vertices.count, 0);
    EXPECT_LT(draw.vertices.count, 4000);
    EXPECT_EQ(draw.vertices.count % 4, 0);
    EXPECT_EQ(draw.indices.count, draw.vertices.count / 4 * 6);
    for (int64_t i = 0; i < draw.indices.count; i++) EXPECT_LT(draw.indices.data[i], (uint32_t)draw.vertices.count);
}

}  // namespace
