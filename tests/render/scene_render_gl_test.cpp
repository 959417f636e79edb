// The scene and picking passes of the real program under the virtual
// display: scenes built in code, frames run by the main loop, the scene and
// picking images read back where the camera says each object lands.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_frame.h"
#include "assets/assets.h"
#include "platform/platform.h"
#include "render/picking.h"
#include "render/targets.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"

namespace {

struct Rgba {
    float r, g, b, a;
};

class SceneRenderGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness_has_display()) GTEST_SKIP() << "no DISPLAY: GL tests need an X server (run under xvfb-run)";
        ASSERT_TRUE(harness_start());
        ASSERT_TRUE(harness_frames(1));
        // Each test builds its own scene from an empty one.
        scene_init(&editor.scene);
        editor.tools = viewport_tool_state_default();
        editor.camera = camera_default();
        background = linear(editor.scene.settings.background);
    }
    void TearDown() override {
        if (harness_has_display()) harness_stop();
    }

    static Vec4 linear(Vec4 c) { return color_to_linear(c, editor.gamma_value); }
    static Transform at(float x, float y, float z, float scale = 1) {
        return Transform{Vec3{x, y, z}, Rotor{1, 0, 0, 0}, Vec3{scale, scale, scale}};
    }
    // Appends the object with a fresh id and its row; returns the row index.
    static int64_t add(SceneObject object) {
        object.id = editor.scene.next_object_id++;
        object.visible = true;
        EXPECT_GE(scene_append_object(object), 0);
        return scene_append_row(object.id, object_kind_name(object.kind), object_kind_icon(object.kind),
                                object_kind_color(object.kind));
    }
    static SceneObject quad(Transform t, Vec4 color) {
        SceneObject object{};
        object.kind = OBJECT_QUAD;
        object.transform = t;
        object.quad = editor.scene.templates.quad;
        object.quad.color = color;
        return object;
    }
    static SceneObject of_kind(ObjectKind kind, Transform t) {
        SceneObject object{};
        object.kind = kind;
        object.transform = t;
        EXPECT_TRUE(scene_object_from_template(&object, &editor.scene.templates, kind));
        return object;
    }

    // One turn of the main loop, which composes the editor frame.
    void frame() {
        int64_t composed = editor_frame_count();
        ASSERT_TRUE(harness_frames(1));
        // A main loop that does not run the editor frame yet gets it here.
        if (editor_frame_count() == composed) editor_frame();
    }

    // Window pixel (from the bottom-left) where the camera puts `p`.
    static Vec2 project(Vec3 p) {
        Mat4 view_projection =
            mat4_multiply(camera_projection_matrix(editor.camera, editor.window_width, editor.window_height,
                                                   editor_mode_2d()),
                          camera_view_matrix(editor.camera));
        Vec4 clip = mat4_transform_vec4(view_projection, Vec4{p.x, p.y, p.z, 1});
        return Vec2{(clip.x / clip.w + 1) * 0.5f * editor.window_width,
                    (clip.y / clip.w + 1) * 0.5f * editor.window_height};
    }
    static Rgba scene_pixel(Vec2 at) {
        Rgba pixel{};
        harness_read_pixels(editor.render.scene_target.frame_buffer, (int32_t)at.x, (int32_t)at.y, 1, 1, 6, &pixel);
        return pixel;
    }
    static Rgba scene_pixel(Vec3 world) { return scene_pixel(project(world)); }
    // The editor draws the picking image only in frames with a press over
    // the viewport; these checks read it after ordinary frames, so they
    // draw it first as such a frame would, with the same camera and scene.
    static PickedIdentity picked(Vec2 at) {
        editor_camera_matrices();
        picking_pass();
        HarnessPixel16 p = harness_pixel16(editor.render.picking_target.frame_buffer, (int32_t)at.x, (int32_t)at.y);
        uint16_t rgba[4] = {p.r, p.g, p.b, p.a};
        return identity_decode(rgba);
    }
    static PickedIdentity picked(Vec3 world) { return picked(project(world)); }

    static void expect_color(Rgba got, Vec4 want, const char* where) {
        EXPECT_NEAR(got.r, want.x, 0.01) << where;
        EXPECT_NEAR(got.g, want.y, 0.01) << where;
        EXPECT_NEAR(got.b, want.z, 0.01) << where;
    }

    Vec4 background;
};

TEST_F(SceneRenderGlTest, UnitQuadCoversTheProjectedSquareInItsColor) {
    add(quad(at(0, 0, 0), Vec4{1, 0, 0, 1}));
    frame();
    // Seen from (0, 0, 10) with a vertical view of 80 degrees, one world unit
    // is 384 / (10 tan 40) = 45.8 pixels: the 2 x 2 quad spans about 92.
    Vec2 centre = project(Vec3{0, 0, 0});
    EXPECT_NEAR(centre.x, 512, 0.5);
    EXPECT_NEAR(centre.y, 384, 0.5);
    EXPECT_NEAR(project(Vec3{1, 0, 0}).x - 512, 45.8, 0.2);
    expect_color(scene_pixel(Vec2{512 + 2, 384 + 7}), Vec4{1, 0, 0, 1}, "centre");
    expect_color(scene_pixel(Vec2{512 + 43, 384 + 43}), Vec4{1, 0, 0, 1}, "inside the corner");
    expect_color(scene_pixel(Vec2{512 - 43, 384 - 40}), Vec4{1, 0, 0, 1}, "inside the opposite corner");
    expect_color(scene_pixel(Vec2{512 + 49, 384}), background, "right of it");
    expect_color(scene_pixel(Vec2{512, 384 - 49}), background, "below it");
    EXPECT_EQ(picked(Vec2{512 + 2, 384 + 7}).row_index, 0);
    EXPECT_EQ(picked(Vec2{512 + 49, 384}).row_index, -1);
}

TEST_F(SceneRenderGlTest, HiddenObjectsAreNeitherDrawnNorPickedNorHighlighted) {
    int64_t row = add(quad(at(0, 0, 0), Vec4{1, 0, 0, 1}));
    editor.scene.objects.data[0].visible = false;
    editor.scene.rows.data[row].selected = true;
    frame();
    expect_color(scene_pixel(Vec3{0.3f, 0.1f, 0}), background, "hidden quad");
    EXPECT_EQ(picked(Vec3{0.3f, 0.1f, 0}).row_index, -1);
}

TEST_F(SceneRenderGlTest, SelectedQuadsHighlightShowsThroughWhatIsInFront) {
    int64_t back = add(quad(at(0, 0, 0), Vec4{1, 0, 0, 1}));
    add(quad(at(0, 0, 2, 3), Vec4{0, 1, 0, 1}));  // nearer and larger: covers the first
    frame();
    expect_color(scene_pixel(Vec3{0.3f, 0.1f, 0}), Vec4{0, 1, 0, 1}, "front quad before selecting");
    EXPECT_EQ(picked(Vec3{0.3f, 0.1f, 0}).row_index, 1);

    editor.scene.rows.data[back].selected = true;
    // The pointer away from the selection's gizmo, which would light up.
    harness_mouse_move(5, 5);
    frame();
    // The highlight (selection color, half transparent) is blended over the green.
    Vec4 s = linear(editor.theme.selection_color);
    Vec4 want{s.x * s.w + 0 * (1 - s.w), s.y * s.w + 1 * (1 - s.w), s.z * s.w + 0 * (1 - s.w), 1};
    // (Below and left of the centre: the selection's gizmo arrows start there.)
    expect_color(scene_pixel(Vec3{-0.3f, -0.4f, 0}), want, "highlight over the front quad");
    // The slab is 10 % larger than the quad it marks, no more.
    expect_color(scene_pixel(Vec3{1.05f, 0.2f, 0}), want, "inside the margin");
    expect_color(scene_pixel(Vec3{1.25f, 0.2f, 0}), Vec4{0, 1, 0, 1}, "past the margin");
}

TEST_F(SceneRenderGlTest, WireframeEmptiesInteriorsButNotHighlights) {
    int64_t row = add(quad(at(0, 0, 0, 3), Vec4{1, 0, 0, 1}));
    editor.scene.settings.wireframe = true;
    frame();
    // Off the edges and off the diagonal that splits the quad in two triangles.
    Vec3 inside{1.0f, -0.5f, 0};
    expect_color(scene_pixel(inside), background, "wireframe interior");
    Vec2 edge = project(Vec3{3, 0.2f, 0});
    bool edge_drawn = false;
    for (int dx = -2; dx <= 2; dx++) edge_drawn |= scene_pixel(Vec2{edge.x + dx, edge.y}).r > 0.5f;
    EXPECT_TRUE(edge_drawn) << "the right edge is a line";

    editor.scene.rows.data[row].selected = true;
    frame();
    Vec4 s = linear(editor.theme.selection_color);
    Vec4 want{s.x * s.w + background.x * (1 - s.w), s.y * s.w + background.y * (1 - s.w),
              s.z * s.w + background.z * (1 - s.w), 1};
    expect_color(scene_pixel(inside), want, "filled highlight");
}

TEST_F(SceneRenderGlTest, WithoutDepthLaterRowsCoverEarlierOnes) {
    add(quad(at(0, 0, 1), Vec4{1, 0, 0, 1}));   // nearer the camera
    add(quad(at(0, 0, -1), Vec4{0, 1, 0, 1}));  // farther, later row
    frame();
    expect_color(scene_pixel(Vec2{514, 391}), Vec4{1, 0, 0, 1}, "depth on: the nearer quad");
    EXPECT_EQ(picked(Vec2{514, 391}).row_index, 0);

    editor.scene.settings.depth = false;
    frame();
    expect_color(scene_pixel(Vec2{514, 391}), Vec4{0, 1, 0, 1}, "depth off: the later row");
    EXPECT_EQ(picked(Vec2{514, 391}).row_index, 1);
}

TEST_F(SceneRenderGlTest, BillboardedQuadFacesTheCameraAfterItTurns) {
    SceneObject flat = quad(at(0, 10, 0), Vec4{1, 0, 0, 1});
    add(flat);
    // Look level along +y: the flat quad is seen edge-on, a billboard face-on.
    editor.camera.position = Vec3{0, 0, 0};
    editor.camera.pitch = 90;
    frame();
    Vec2 centre = project(Vec3{0, 10, 0});
    EXPECT_NEAR(centre.x, 512, 0.5);
    expect_color(scene_pixel(Vec2{centre.x + 20, centre.y + 20}), background, "flat quad edge-on");

    editor.scene.objects.data[0].quad.billboard = true;
    frame();
    expect_color(scene_pixel(Vec2{centre.x + 20, centre.y + 20}), Vec4{1, 0, 0, 1}, "billboard");
    expect_color(scene_pixel(Vec2{centre.x + 43, centre.y - 43}), Vec4{1, 0, 0, 1}, "billboard corner");
    expect_color(scene_pixel(Vec2{centre.x + 50, centre.y}), background, "billboard edge");

    // Turn the camera by a quarter: the billboard follows.
    editor.camera.yaw = 90;  // forward is -x now
    editor.scene.objects.data[0].transform.position = Vec3{-10, 0, 0};
    frame();
    centre = project(Vec3{-10, 0, 0});
    EXPECT_NEAR(centre.x, 512, 0.5);
    expect_color(scene_pixel(Vec2{centre.x - 40, centre.y + 40}), Vec4{1, 0, 0, 1}, "after the turn");
    EXPECT_EQ(picked(Vec2{centre.x - 40, centre.y + 40}).row_index, 0);
}

TEST_F(SceneRenderGlTest, EveryKindIsDrawnAndPickedUnderItsRow) {
    editor.tools.show_data_objects = true;
    int64_t group = scene_insert_group(0);  // rows 0 and 1: an empty group
    ASSERT_EQ(group, 0);
    int64_t quad_row = add(quad(at(-6, 3, 0), Vec4{1, 1, 0, 1}));
    SceneObject text = of_kind(OBJECT_TEXT, at(0, 3, 0));
    text.text.text = S("WWW");
    text.text.pixels_per_unit = 32;
    int64_t text_row = add(text);
    SceneObject loaded = of_kind(OBJECT_MESH, at(6, 3, 0));
    loaded.mesh.mesh = &editor.assets.builtin[BUILTIN_CUBE];
    int64_t mesh_row = add(loaded);
    int64_t placeholder_row = add(of_kind(OBJECT_MESH, at(-6, -3, 0)));
    int64_t data_row = add(of_kind(OBJECT_DATA, at(0, -3, 0)));
    SceneObject path = of_kind(OBJECT_PATH, at(6, -3, 0));
    path.path.bezier = true;
    path.path.width = 0.1;
    path.path.color = Vec4{1, 0, 1, 1};
    array_push(&path.path.points, PathPoint{{4, -5, 0}, {3, -5, 0}, {5, -5, 0}});
    array_push(&path.path.points, PathPoint{{8, -5, 0}, {7, -6.5f, 0}, {9, -3.5f, 0}});
    int64_t path_row = add(path);
    frame();

    struct Expect {
        const char* what;
        Vec3 where;
        int64_t row, sub;
        bool drawn;  // a path's origin is pickable but not drawn
    } expects[] = {
        {"quad", {-6, 3, 0}, quad_row, 0, true},
        {"text", {0, 3, 0}, text_row, 0, true},
        {"mesh", {6, 3, 0}, mesh_row, 0, true},
        {"mesh without its model", {-6, -3, 0}, placeholder_row, 0, true},
        {"data", {0, -3, 0}, data_row, 0, true},
        {"path origin", {6, -3, 0}, path_row, 0, false},
        {"path point 0", {4, -5, 0}, path_row, 0, true},
        {"point 1", {8, -5, 0}, path_row, 3, true},
        {"point 1 handle a", {7, -6.5f, 0}, path_row, 4, true},
        {"point 1 handle b", {9, -3.5f, 0}, path_row, 5, true},
        {"point 0 handle b", {5, -5, 0}, path_row, 2, true},
    };
    for (const Expect& e : expects) {
        PickedIdentity id = picked(e.where);
        EXPECT_EQ(id.row_index, e.row) << e.what;
        EXPECT_EQ(id.sub_element, e.sub) << e.what;
        if (!e.drawn) continue;
        Rgba seen = scene_pixel(e.where);
        EXPECT_TRUE(std::abs(seen.r - background.x) + std::abs(seen.g - background.y) +
                        std::abs(seen.b - background.z) > 0.05f)
            << e.what << " drawn";
    }
    // The ribbon runs along the curve: halfway, (P0 + 3 b0 + 3 a1 + P1) / 8.
    expect_color(scene_pixel(Vec3{6, -5.5625f, 0}), linear(Vec4{1, 0, 1, 1}), "ribbon");
    expect_color(scene_pixel(Vec3{6, -5, 0}), background, "not the straight line");

    // Data markers disappear from both images when they are not shown.
    editor.tools.show_data_objects = false;
    frame();
    expect_color(scene_pixel(Vec3{0, -3, 0}), background, "data hidden");
    EXPECT_EQ(picked(Vec3{0, -3, 0}).row_index, -1);
}

// The picking image as the editor frame leaves it, read right after the
// frame: nothing draws into it later in a frame, so this is what a pick in
// that frame reads.
static PickedIdentity left_in_picking_image(Vec2 at) {
    HarnessPixel16 p = harness_pixel16(editor.render.picking_target.frame_buffer, (int32_t)at.x, (int32_t)at.y);
    uint16_t rgba[4] = {p.r, p.g, p.b, p.a};
    return identity_decode(rgba);
}

// Window pixel from the top-left, as the harness injects the pointer.
static void press_primary_at(Vec2 at) {
    harness_mouse_down(MOUSE_PRIMARY, (int32_t)at.x, editor.window_height - (int32_t)at.y);
}

static void release_primary_at(Vec2 at) {
    harness_mouse_up(MOUSE_PRIMARY, (int32_t)at.x, editor.window_height - (int32_t)at.y);
}

TEST_F(SceneRenderGlTest, PickingImageIsDrawnInPressFramesOnlyAndHoldsThatFramesScene) {
    int64_t left = add(quad(at(-3, 0, 0), Vec4{1, 0, 0, 1}));
    int64_t right = add(quad(at(3, 0, 0), Vec4{0, 1, 0, 1}));
    Vec2 right_place = project(Vec3{3.2f, 0.1f, 0});
    Vec2 raised_place = project(Vec3{3.2f, 3.1f, 0});

    press_primary_at(right_place);
    frame();
    EXPECT_EQ(left_in_picking_image(right_place).row_index, right) << "a click reads the object under the pointer";
    EXPECT_EQ(left_in_picking_image(project(Vec3{-3.2f, 0.1f, 0})).row_index, left);

    // Held and released without a new press: no picking work, the image
    // keeps the press frame's scene although the quad moved away.
    editor.scene.objects.data[1].transform.position.y = 3;
    frame();
    release_primary_at(right_place);
    frame();
    EXPECT_EQ(left_in_picking_image(right_place).row_index, right);
    EXPECT_EQ(left_in_picking_image(raised_place).row_index, -1);

    // The next press sees the scene as it is now, in its own frame.
    press_primary_at(raised_place);
    frame();
    EXPECT_EQ(left_in_picking_image(raised_place).row_index, right);
    EXPECT_EQ(left_in_picking_image(right_place).row_index, -1);
    release_primary_at(raised_place);
    frame();

    // Ctrl+click: the same image in the press frame.
    editor.scene.objects.data[0].transform.position.y = -3;
    Vec2 lowered_place = project(Vec3{-3.2f, -2.9f, 0});
    harness_key_down(KEY_CONTROL);
    frame();
    press_primary_at(lowered_place);
    frame();
    EXPECT_EQ(left_in_picking_image(lowered_place).row_index, left);
    release_primary_at(lowered_place);
    harness_key_up(KEY_CONTROL);
    frame();
}

TEST_F(SceneRenderGlTest, PressClosingASelectionBoxFindsEveryObjectInsideIt) {
    int64_t left = add(quad(at(-3, 0, 0), Vec4{1, 0, 0, 1}));
    int64_t right = add(quad(at(3, 0, 0), Vec4{0, 1, 0, 1}));
    frame();

    Vec2 start = project(Vec3{-4.5f, -1.5f, 0}), end = project(Vec3{4.5f, 1.5f, 0});
    harness_mouse_move((int32_t)start.x, editor.window_height - (int32_t)start.y);
    harness_key_down(key_letter('B'));
    frame();
    harness_key_up(key_letter('B'));
    harness_mouse_move((int32_t)end.x, editor.window_height - (int32_t)end.y);
    frame();
    press_primary_at(end);
    frame();

    int32_t x = (int32_t)std::min(start.x, end.x), y = (int32_t)std::min(start.y, end.y);
    int32_t w = (int32_t)std::fabs(end.x - start.x), h = (int32_t)std::fabs(end.y - start.y);
    std::vector<uint16_t> pixels((size_t)w * h * 4);
    harness_read_pixels(editor.render.picking_target.frame_buffer, x, y, w, h, 1, pixels.data());
    bool seen_left = false, seen_right = false;
    for (size_t i = 0; i < (size_t)w * h; i++) {
        int64_t row = identity_decode(&pixels[i * 4]).row_index;
        seen_left = seen_left || row == left;
        seen_right = seen_right || row == right;
    }
    EXPECT_TRUE(seen_left);
    EXPECT_TRUE(seen_right);
}

TEST_F(SceneRenderGlTest, PickingPassRestoresIdOrderForLookups) {
    SceneObject a = quad(at(-3, 0, 0), Vec4{1, 0, 0, 1});
    SceneObject b = quad(at(3, 0, 0), Vec4{0, 1, 0, 1});
    add(a);
    add(b);
    std::swap(editor.scene.objects.data[0], editor.scene.objects.data[1]);  // out of order
    frame();
    EXPECT_LT(editor.scene.objects.data[0].id, editor.scene.objects.data[1].id);
    expect_color(scene_pixel(Vec3{-3.2f, 0.1f, 0}), Vec4{1, 0, 0, 1}, "row 0");
    expect_color(scene_pixel(Vec3{3.2f, 0.1f, 0}), Vec4{0, 1, 0, 1}, "row 1");
}

TEST_F(SceneRenderGlTest, PlacementPreviewAndBoxShowFromTheirState) {
    editor.scene.placement_mode = true;
    // The preview takes its kind's template every frame.
    editor.scene.templates.quad.color = Vec4{0, 1, 1, 1};
    // The plane behind the camera: the pointer finds no place on it, so the
    // placement tool leaves the cursor where the test puts it.
    editor.scene.settings.plane_height = 100;
    editor.tools.placement_cursor = at(3, 0, 0);
    frame();
    expect_color(scene_pixel(Vec3{3.5f, 0.6f, 0}), Vec4{0, 1, 1, 1}, "template at the cursor");
    expect_color(scene_pixel(Vec3{3, 0, 0}), Vec4{1, 0, 1, 1}, "cursor sphere");

    editor.tools.world_box_pending = true;
    editor.tools.world_box_a = Vec3{-4, -1, 0};
    editor.tools.world_box_b = Vec3{-2, 1, 0};
    editor.tools.placement_cursor = at(-2, 1, 0);   // the box's moving corner follows the cursor
    frame();
    expect_color(scene_pixel(Vec3{3.5f, 0.6f, 0}), background, "no template while the box is pending");
    Vec4 s = linear(editor.theme.selection_color);
    Vec4 want{s.x * s.w + background.x * (1 - s.w), s.y * s.w + background.y * (1 - s.w),
              s.z * s.w + background.z * (1 - s.w), 1};
    expect_color(scene_pixel(Vec3{-3.5f, 0.5f, 0}), want, "box");
}

TEST_F(SceneRenderGlTest, HeldKeysMoveTheCameraBySpeedTimesFactorTimesStep) {
    frame();
    double step = editor.camera.speed * editor.timestep;
    harness_key_down(key_letter('W'));
    frame();
    EXPECT_NEAR(editor.camera.position.y, step, 1e-4);
    harness_key_down(KEY_SHIFT);
    frame();
    EXPECT_NEAR(editor.camera.position.y, 3 * step, 1e-4);
    harness_key_up(KEY_SHIFT);
    harness_key_up(key_letter('W'));
    frame();
    EXPECT_NEAR(editor.camera.position.y, 3 * step, 1e-4);

    // What the camera says is what the viewport shows: a quad straight ahead.
    add(quad(at(0, editor.camera.position.y, 0), Vec4{1, 0, 0, 1}));
    frame();
    expect_color(scene_pixel(Vec2{512 + 40, 384 + 10}), Vec4{1, 0, 0, 1}, "quad below the moved camera");
}

TEST_F(SceneRenderGlTest, TwoDimensionalZoomFollowsTheHeight) {
    editor.scene.settings.view_2d = true;
    ASSERT_TRUE(editor_mode_2d());
    harness_key_down(key_letter('Q'));
    frame();
    harness_key_up(key_letter('Q'));
    frame();
    float z = editor.camera.position.z;
    EXPECT_GT(z, 10);
    EXPECT_NEAR(editor.camera.zoom, 8 * (z + 1) * 0.1f, 1e-4);
    EXPECT_EQ(editor.camera.pitch, 0);

    // In 2D a unit quad spans 768 / (2 zoom) pixels per unit, whatever the height.
    add(quad(at(0, 0, 0), Vec4{1, 0, 0, 1}));
    frame();
    float per_unit = 768 / (2 * editor.camera.zoom);
    expect_color(scene_pixel(Vec2{512 + 0.9f * per_unit, 384 + 3}), Vec4{1, 0, 0, 1}, "2D quad inside");
    expect_color(scene_pixel(Vec2{512 + 1.1f * per_unit, 384 + 3}), background, "2D quad outside");
}

TEST_F(SceneRenderGlTest, CameraLineReadsPositionYawAndPitch) {
    editor.camera.position = Vec3{1.5f, -2, 10};
    editor.camera.yaw = 90;
    String line = editor_camera_line(POOL_FRAME);
    std::string text((const char*)line.data, (size_t)line.length);
    EXPECT_EQ(text.rfind("position 1.5,-2,10 yaw 90 pitch 0", 0), 0u) << text;
    frame();
    // Drawn in red at the bottom right of the window.
    bool red = false;
    for (int x = 1024 - 40; x < 1024 - 16 && !red; x++) {
        for (int y = 16; y < 30 && !red; y++) {
            Rgba p = scene_pixel(Vec2{(float)x, (float)y});
            red = p.r > 0.5f && p.g < 0.2f && p.b < 0.2f;
        }
    }
    EXPECT_TRUE(red);
}

// Models without materials are common (scans, research models, a library
// left behind); their faces lie outside every range and must still be drawn
// white and picked.
TEST_F(SceneRenderGlTest, FacesWithoutAMaterialAreDrawnWhiteAndPicked) {
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tarnisk_plain_mesh_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const char* square = "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n";
    std::ofstream(folder / "red.mtl") << "newmtl red\nKd 1 0 0\n";
    std::ofstream(folder / "bare.obj") << square << "f 1 2 3 4\n";
    std::ofstream(folder / "lost.obj") << "mtllib nowhere.mtl\n" << square << "usemtl red\nf 1 2 3 4\n";
    // The left half comes before the first "usemtl", the right half after.
    std::ofstream(folder / "mixed.obj") << "mtllib red.mtl\n" << square << "v 0 -1 0\nv 0 1 0\n"
                                        << "f 1 5 6 4\nusemtl red\nf 5 2 3 6\n";
    static Mesh meshes[3];
    const char* names[3] = {"bare.obj", "lost.obj", "mixed.obj"};
    testing::internal::CaptureStdout();
    for (int i = 0; i < 3; i++) {
        meshes[i] = Mesh{};
        std::string path = (folder / names[i]).string();
        EXPECT_TRUE(mesh_import(&meshes[i], String{reinterpret_cast<const uint8_t*>(path.data()), (int64_t)path.size()}))
            << names[i];
    }
    testing::internal::GetCapturedStdout();
    std::filesystem::remove_all(folder);

    int64_t rows[3];
    float xs[3] = {-4, 0, 4};
    for (int i = 0; i < 3; i++) {
        SceneObject object = of_kind(OBJECT_MESH, at(xs[i], 0, 0));
        object.mesh.mesh = &meshes[i];
        rows[i] = add(object);
    }
    frame();
    const Vec4 white{1, 1, 1, 1};
    expect_color(scene_pixel(Vec3{-4.5f, 0.3f, 0}), white, "no library named");
    expect_color(scene_pixel(Vec3{0.5f, 0.3f, 0}), white, "library missing");
    expect_color(scene_pixel(Vec3{3.5f, 0.3f, 0}), white, "before the first usemtl");
    expect_color(scene_pixel(Vec3{4.5f, 0.3f, 0}), linear(Vec4{1, 0, 0, 1}), "after it");
    EXPECT_EQ(picked(Vec3{-4.5f, 0.3f, 0}).row_index, rows[0]);
    EXPECT_EQ(picked(Vec3{0.5f, 0.3f, 0}).row_index, rows[1]);
    EXPECT_EQ(picked(Vec3{3.5f, 0.3f, 0}).row_index, rows[2]);
    EXPECT_EQ(picked(Vec3{4.5f, 0.3f, 0}).row_index, rows[2]);
    for (Mesh& mesh : meshes) {
        buffer_destroy(mesh.vertex_buffer);
        buffer_destroy(mesh.index_buffer);
        vertex_array_destroy(mesh.vertex_array);
    }
}

}  // namespace

// The closest 2D zoom magnifies a selected quad's highlight and gizmo far
// past their textures' size; on the software renderer anisotropic sampling
// then took about a minute per frame (a frozen editor). The frames must come
// back, and show the quad.
TEST_F(SceneRenderGlTest, ASelectedQuadAtTheClosest2DZoomStillDraws) {
    int64_t row = add(quad(at(0, 0, 0), Vec4{1, 0, 0, 1}));
    editor.scene.rows.data[row].selected = true;
    editor.scene.settings.view_2d = true;
    // On the gizmo's centre, turned so that texture coordinates change
    // along both screen axes.
    editor.camera.position = Vec3{0.002f, 0.001f, -3.83f};
    editor.camera.yaw = 274.5f;
    harness_mouse_move(5, 5);
    frame();
    frame();
    EXPECT_FLOAT_EQ(editor.camera.zoom, 0.008f);
    // The quad, highlighted, fills the quarter of the view away from the
    // gizmo's axes and planes.
    Rgba quarter = scene_pixel(Vec2{editor.window_width * 0.8f, editor.window_height * 0.2f});
    EXPECT_GT(quarter.r, quarter.g + 0.2f);
}
