// The scene renderer's geometry without a GPU: billboards parallel to the
// image plane, text block layout and per-line alignment, highlight and
// picking rectangles, and the id re-sort of the picking pass.
#include <gtest/gtest.h>

#include <cmath>

#include "app/editor.h"
#include "render/draw.h"
#include "render/picking.h"
#include "render/scene_render.h"
#include "support/pool_fixture.h"

namespace {

class SceneRenderTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        draw_state_init();
        editor.gamma_value = 2.2;
        editor.camera = camera_default();
        // A font of one glyph, 'a': advance and width 0.05, height 0.1 of the
        // image, so at font scale 256 and 64 pixels per unit a line is 0.4
        // units high and an 'a' 0.2 units wide.
        font = Font{};
        font.font_scale = 256;
        font.line_height = 0.1;
        font.space_advance = 0.05;
        font.glyphs = array_make<Glyph>(POOL_PERSISTENT);
        font.glyph_map = int_map_make(POOL_PERSISTENT);
        array_push(&font.glyphs, Glyph{0, 0, 0.05, 0, 0, 0.05, 0.1});
        array_push(&font.glyphs, Glyph{0, 0, 0.05, 0.5, 0, 0.05, 0.1});
        int_map_insert(&font.glyph_map, 'a', 1);
    }
    SceneObject text_object(const char* text, Vec2 alignment) {
        SceneObject object{};
        object.kind = OBJECT_TEXT;
        object.transform = Transform{Vec3{0, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
        object.text.font = &font;
        object.text.color = Vec4{1, 1, 1, 1};
        object.text.text = string_from_cstring(text);
        object.text.alignment = alignment;
        object.text.pixels_per_unit = 64;
        object.visible = true;
        return object;
    }
    const Array<MeshVertex>& vertices() { return editor.render.draw.vertices; }
    Font font;
};

// All corners of a camera-facing square land at one depth in view space.
void expect_parallel_to_image(Mat4 model) {
    Mat4 model_view = mat4_multiply(camera_view_matrix(editor.camera), model);
    Vec3 corners[] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    float depth = mat4_transform_point(model_view, corners[0]).z;
    for (Vec3 c : corners) EXPECT_NEAR(mat4_transform_point(model_view, c).z, depth, 1e-4);
    // ... and counter-clockwise on screen (the culled side faces away).
    Vec3 a = mat4_transform_point(model_view, corners[0]), b = mat4_transform_point(model_view, corners[1]),
         c = mat4_transform_point(model_view, corners[2]);
    EXPECT_GT(vec3_cross(vec3_sub(b, a), vec3_sub(c, a)).z, 0);
}

TEST_F(SceneRenderTest, BillboardsFaceTheCameraWhereverItTurns) {
    struct View { float yaw, pitch; } views[] = {{0, 0}, {30, 70}, {200, 90}, {359, 150}};
    Transform t{Vec3{1, 2, 3}, rotor_from_axis_angle(Vec3{0, 0, 1}, 0.5f), Vec3{2, 3, 1}};
    for (View v : views) {
        editor.camera.yaw = v.yaw;
        editor.camera.pitch = v.pitch;
        expect_parallel_to_image(icon_billboard_matrix(Vec3{4, -2, 1}));
        expect_parallel_to_image(object_model_matrix(t, true));
    }
    // The icon is 1 x 1 units whatever the object's scale.
    Mat4 icon = icon_billboard_matrix(Vec3{0, 0, 0});
    EXPECT_NEAR(vec3_length(vec3_sub(mat4_transform_point(icon, Vec3{1, 1, 0}),
                                     mat4_transform_point(icon, Vec3{-1, 1, 0}))),
                1, 1e-5);
    // Without billboard the object's own transform holds, camera or not.
    Mat4 plain = object_model_matrix(t, false), expected = transform_to_matrix(t);
    for (int i = 0; i < 16; i++) EXPECT_EQ(plain.m[i], expected.m[i]);
}

TEST_F(SceneRenderTest, TwoCentredLinesSitAtZeroAndMinusOneLineHeight) {
    SceneObject object = text_object("aa\na", Vec2{0, 0});
    TextBlockLayout layout = text_block_layout(object.text);
    EXPECT_EQ(layout.lines, 2);
    EXPECT_NEAR(layout.line_height, 0.4, 1e-6);
    EXPECT_NEAR(layout.top, 0.4, 1e-6);

    draw_text_object(object);
    ASSERT_EQ(vertices().count, 12);  // three glyph quads
    // First line "aa" (0.4 wide): centred, baseline at y = 0.
    EXPECT_NEAR(vertices().data[0].position.x, -0.2, 1e-6);
    EXPECT_NEAR(vertices().data[0].position.y, 0, 1e-6);
    EXPECT_NEAR(vertices().data[4].position.x, 0, 1e-6);
    // Second line "a" (0.2 wide): centred on its own width, at y = -d.
    EXPECT_NEAR(vertices().data[8].position.x, -0.1, 1e-6);
    EXPECT_NEAR(vertices().data[8].position.y, -0.4, 1e-6);
    EXPECT_NEAR(vertices().data[10].position.y, 0, 1e-6);  // glyph top reaches the line above
}

TEST_F(SceneRenderTest, AlignmentCornersPlaceTheBlockOnTheOrigin) {
    // (-1, -1): left edge and bottom line at the origin; (1, 1): right edge and top.
    SceneObject low = text_object("aa", Vec2{-1, -1});
    draw_text_object(low);
    EXPECT_NEAR(vertices().data[0].position.x, 0, 1e-6);
    EXPECT_NEAR(vertices().data[0].position.y, 0, 1e-6);
    SceneObject high = text_object("aa", Vec2{1, 1});
    draw_text_object(high);
    EXPECT_NEAR(vertices().data[4 + 1].position.x, 0, 1e-6);  // right edge of the last glyph
    EXPECT_NEAR(vertices().data[4 + 2].position.y, 0, 1e-6);  // top

    // The highlight rectangle covers the same block, from both sides.
    float width = 0, height = 0;
    SceneObject two = text_object("aa\na", Vec2{0, 0});
    Mat4 m = text_block_rectangle(two, &width, &height);
    EXPECT_NEAR(width, 0.4, 1e-6);
    EXPECT_NEAR(height, 0.8, 1e-6);
    batch_begin();
    text_rectangle_append(m, width, height, true);
    ASSERT_EQ(vertices().count, 8);
    EXPECT_NEAR(vertices().data[0].position.x, -0.2, 1e-6);
    EXPECT_NEAR(vertices().data[0].position.y, -0.4, 1e-6);
    EXPECT_NEAR(vertices().data[2].position.y, 0.4, 1e-6);
    Vec3 front = vec3_cross(vec3_sub(vertices().data[1].position, vertices().data[0].position),
                            vec3_sub(vertices().data[2].position, vertices().data[0].position));
    Vec3 back = vec3_cross(vec3_sub(vertices().data[5].position, vertices().data[4].position),
                           vec3_sub(vertices().data[6].position, vertices().data[4].position));
    EXPECT_GT(front.z, 0);
    EXPECT_LT(back.z, 0);
}

TEST_F(SceneRenderTest, TextWithoutAUsableScaleDrawsNothing) {
    for (double ppu : {0.0, -3.0, 1e-320, 1e300 * 1e300}) {
        SceneObject object = text_object("aa", Vec2{0, 0});
        object.text.pixels_per_unit = ppu;
        batch_begin();
        draw_text_object(object);
        EXPECT_EQ(vertices().count, 0) << ppu;
        EXPECT_FALSE(text_block_has_size(object.text)) << ppu;
    }
}

TEST_F(SceneRenderTest, ObjectsReturnToIdOrderWithOrWithoutScratchRoom) {
    for (bool starve : {false, true}) {
        Array<SceneObject> objects = array_make<SceneObject>(POOL_PERSISTENT);
        int64_t ids[] = {5, 1, 9, 3, 7, 2};
        for (int64_t id : ids) {
            SceneObject object{};
            object.id = id;
            object.transform.position.x = (float)id;  // rides along with its record
            array_push(&objects, object);
        }
        PoolMark mark = pool_mark(POOL_FRAME);
        if (starve) pool_alloc(POOL_FRAME, POOL_FRAME_CAPACITY - pool_get(POOL_FRAME)->used - 8);
        scene_objects_sort_by_id(&objects);
        pool_restore(mark);
        for (int64_t i = 1; i < objects.count; i++) EXPECT_LT(objects.data[i - 1].id, objects.data[i].id) << starve;
        for (int64_t i = 0; i < objects.count; i++) EXPECT_EQ(objects.data[i].transform.position.x, objects.data[i].id);
    }
}

}  // namespace
