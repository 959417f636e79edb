// The placement and path tools in the real program, driven by SDL events:
// modes and kinds, the snapped cursor, the plane height, boxes, new objects
// and their file round trip, path points added, inserted, removed and walked,
// and nothing done while a text field has the keyboard.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/editor.h"
#include "platform/platform.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"
#include "tools/placement.h"

namespace {

std::string text(String s) { return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length); }

void expect_vec3(Vec3 got, Vec3 want) {
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.z, want.z);
}

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

class Placement : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        if (IsSkipped()) return;
        start();
        // Straight down from (0, 0, 10): pixels map onto the z = 0 plane.
        editor.camera = camera_default();
        editor.timestep = 1.0 / 64;   // a power of two keeps held-key sums exact
        point_at(center_x(), center_y());
    }
    int32_t center_x() const { return editor.window_width / 2; }
    int32_t center_y() const { return editor.window_height / 2; }

    // Tests sharing the X server may move its pointer: repeat until the
    // editor sees this position, then let one more frame run there.
    void point_at(int32_t x, int32_t y) {
        for (int attempt = 0; attempt < 20; attempt++) {
            harness_mouse_move(x, y);
            ASSERT_TRUE(harness_frames());
            if (editor.mouse_x == (float)x && editor.mouse_y == (float)(editor.window_height - y)) {
                ASSERT_TRUE(harness_frames());
                return;
            }
        }
        FAIL() << "the pointer never reached " << x << ", " << y;
    }
    void key(int32_t code) {
        harness_key_down(code);
        ASSERT_TRUE(harness_frames());
        harness_key_up(code);
        ASSERT_TRUE(harness_frames());
    }
    void click(int32_t button) {
        int32_t x = (int32_t)editor.mouse_x, y = editor.window_height - (int32_t)editor.mouse_y;
        harness_mouse_down(button, x, y);
        harness_mouse_up(button, x, y);
        ASSERT_TRUE(harness_frames());
    }
    // A path object with `n` points along x, its row the only selected one.
    SceneObject* selected_path(int n, bool bezier) {
        editor.scene.placement_template.kind = OBJECT_PATH;
        int64_t id = scene_create_object(OBJECT_PATH, transform_default());
        EXPECT_GE(id, 0);
        SceneObject* path = scene_find_object(id);
        path->path.bezier = bezier;
        for (int i = 0; i < n; i++) array_push(&path->path.points, PathPoint{Vec3{(float)i, 0, 0}, {}, {}});
        for (int64_t i = 0; i < editor.scene.rows.count; i++) {
            editor.scene.rows.data[i].selected = editor.scene.rows.data[i].object_id == id;
        }
        return path;
    }
    Vec3 cursor() const { return editor.tools.placement_cursor.position; }
    // With the plane behind the camera the pointer finds no place, so the
    // cursor stays where the test puts it whatever the shared pointer does.
    void pin_cursor(Vec3 at) {
        editor.scene.settings.plane_height = 100;
        editor.tools.placement_cursor.position = at;
    }
};

TEST_F(Placement, ModeAndKindKeys) {
    key(KEY_TAB);
    EXPECT_TRUE(editor.scene.placement_mode);
    key(key_letter('T'));
    EXPECT_TRUE(editor.tools.path_mode);
    EXPECT_FALSE(editor.scene.placement_mode);
    key(KEY_TAB);
    EXPECT_TRUE(editor.scene.placement_mode);
    EXPECT_FALSE(editor.tools.path_mode);
    // The edited object in placement mode is the template.
    EXPECT_EQ(scene_ref_object(editor.tools.edited_object), &editor.scene.placement_template);

    EXPECT_EQ(editor.scene.placement_template.kind, OBJECT_QUAD);
    key(key_letter('N'));
    EXPECT_EQ(editor.scene.placement_template.kind, OBJECT_PATH);
    key(key_letter('M'));
    key(key_letter('M'));
    EXPECT_EQ(editor.scene.placement_template.kind, OBJECT_TEXT);
    EXPECT_EQ(text(editor.scene.placement_template.text.text), "text");
}

TEST_F(Placement, TemplatePickUpCopiesTheObjectIntoItsKindsTemplate) {
    int64_t id = scene_create_object(OBJECT_TEXT, transform_default());
    SceneObject* object = scene_find_object(id);
    object->text.text = string_copy(S("picked"));
    object->text.color = Vec4{0.25f, 0.5f, 0.75f, 1};
    object->data = string_copy(S("payload"));
    editor.scene.rows.data[0].selected = true;
    ASSERT_TRUE(harness_frames());
    EXPECT_EQ(scene_ref_object(editor.tools.edited_object), scene_find_object(id));
    key(key_letter('P'));
    ASSERT_TRUE(editor.scene.placement_mode);
    EXPECT_EQ(editor.scene.placement_template.kind, OBJECT_TEXT);
    EXPECT_EQ(text(editor.scene.templates.text.text), "picked");
    EXPECT_EQ(editor.scene.templates.text.color.y, 0.5f);
    EXPECT_EQ(text(editor.scene.templates.data), "payload");
    // The template has storage of its own: the object's text changing in
    // place leaves it alone.
    const_cast<uint8_t*>(scene_find_object(id)->text.text.data)[0] = 'X';
    EXPECT_EQ(text(editor.scene.templates.text.text), "picked");
}

TEST_F(Placement, CursorSnapsWholeXAndYAndFollowsZ) {
    editor.scene.settings.plane_normal = Vec3{0, 0.6f, 0.8f};   // tilted: z changes with y
    key(KEY_TAB);
    int32_t xs[3] = {center_x() + 37, center_x() - 53, center_x() + 5};
    int32_t ys[3] = {center_y() + 41, center_y() - 29, center_y() + 77};
    editor.scene.settings.snap_size = Vec3{1, 1, 0};
    for (int i = 0; i < 3; i++) {
        Vec3 raw{}, snapped{};
        // Taken again when another test moved the shared pointer in between.
        for (int attempt = 0; attempt < 10; attempt++) {
            editor.scene.settings.snapping = false;
            point_at(xs[i], ys[i]);
            raw = cursor();
            editor.scene.settings.snapping = true;
            ASSERT_TRUE(harness_frames());
            snapped = cursor();
            if (editor.mouse_x == (float)xs[i] && editor.mouse_y == (float)(editor.window_height - ys[i])) break;
        }
        EXPECT_EQ(snapped.x, std::floor(raw.x + 0.5f));
        EXPECT_EQ(snapped.y, std::floor(raw.y + 0.5f));
        EXPECT_EQ(snapped.z, raw.z);
        EXPECT_NE(raw.z, 0);
    }
}

TEST_F(Placement, HeldZAndXMoveThePlaneEightUnitsPerSecond) {
    key(KEY_TAB);
    harness_key_down(key_letter('Z'));
    ASSERT_TRUE(harness_frames(32));   // half a second at 1/64
    harness_key_up(key_letter('Z'));
    ASSERT_TRUE(harness_frames());
    EXPECT_EQ(editor.scene.settings.plane_height, 4.0);
    harness_key_down(key_letter('X'));
    ASSERT_TRUE(harness_frames(8));
    harness_key_up(key_letter('X'));
    ASSERT_TRUE(harness_frames());
    EXPECT_EQ(editor.scene.settings.plane_height, 3.0);
    // Outside both modes the keys leave the plane alone.
    key(KEY_TAB);
    harness_key_down(key_letter('Z'));
    ASSERT_TRUE(harness_frames(4));
    harness_key_up(key_letter('Z'));
    ASSERT_TRUE(harness_frames());
    EXPECT_EQ(editor.scene.settings.plane_height, 3.0);
}

TEST_F(Placement, BoxGivesACentredObjectWithHalfTheBoxAsScaleForEveryCornerOrder) {
    editor.scene.settings.snapping = true;
    editor.scene.settings.snap_size = Vec3{1, 1, 1};
    key(KEY_TAB);
    Vec3 corners[4][2] = {{Vec3{-2, -1, 0}, Vec3{2, 3, 0}},
                          {Vec3{2, 3, 0}, Vec3{-2, -1, 0}},
                          {Vec3{2, -1, 0}, Vec3{-2, 3, 0}},
                          {Vec3{-2, 3, 0}, Vec3{2, -1, 0}}};
    for (int i = 0; i < 4; i++) {
        pin_cursor(corners[i][0]);
        key(key_letter('B'));
        ASSERT_TRUE(editor.tools.world_box_pending);
        editor.tools.placement_cursor.position = corners[i][1];
        ASSERT_TRUE(harness_frames());
        int64_t objects = editor.scene.objects.count;
        click(MOUSE_PRIMARY);
        ASSERT_EQ(editor.scene.objects.count, objects + 1);
        EXPECT_FALSE(editor.tools.world_box_pending);
        const SceneObject& made = editor.scene.objects.data[objects];
        expect_vec3(made.transform.position, Vec3{0, 1, 0});
        expect_vec3(made.transform.scale, Vec3{2, 2, 0});
        EXPECT_EQ(made.transform.rotation.s, 1);
    }
}

TEST_F(Placement, PlacedObjectIsAnUnselectedRowOfItsKindAndSavesWithTheTemplatesFields) {
    editor.scene.settings.snapping = true;
    editor.scene.settings.snap_size = Vec3{1, 1, 1};
    editor.scene.templates.text.text = string_copy(S("hello there"));
    editor.scene.templates.text.color = Vec4{0.5f, 0.25f, 1, 1};
    editor.scene.templates.text.pixels_per_unit = 32;
    editor.scene.placement_template.kind = OBJECT_TEXT;
    editor.scene.scene_modified = false;
    key(KEY_TAB);
    Vec3 at{4, -3, 0};
    pin_cursor(at);
    int64_t next_id = editor.scene.next_object_id;
    key(KEY_SPACE);
    ASSERT_EQ(editor.scene.objects.count, 1);
    const SceneObject& made = editor.scene.objects.data[0];
    EXPECT_EQ(made.id, next_id);
    EXPECT_EQ(editor.scene.next_object_id, next_id + 1);
    EXPECT_EQ(made.kind, OBJECT_TEXT);
    EXPECT_TRUE(made.visible);
    expect_vec3(made.transform.position, at);
    EXPECT_TRUE(editor.scene.scene_modified);
    ASSERT_EQ(editor.scene.rows.count, 1);
    const HierarchyRow& row = editor.scene.rows.data[0];
    EXPECT_EQ(row.object_id, made.id);
    EXPECT_EQ(text(row.name), "text");
    EXPECT_EQ(row.icon, object_kind_icon(OBJECT_TEXT));
    EXPECT_EQ(row.color.x, object_kind_color(OBJECT_TEXT).x);
    EXPECT_FALSE(row.selected);

    char folder[] = "/tmp/tarnisk-place-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string file = std::string(folder) + "/placed.scene";
    ASSERT_TRUE(scene_save(string_from_cstring(file.c_str())));
    ASSERT_EQ(scene_load(string_from_cstring(file.c_str())), SCENE_LOAD_OK);
    std::remove(file.c_str());
    std::remove(folder);
    ASSERT_EQ(editor.scene.objects.count, 1);
    const SceneObject& loaded = editor.scene.objects.data[0];
    EXPECT_EQ(text(loaded.text.text), "hello there");
    EXPECT_EQ(loaded.text.color.y, 0.25f);
    EXPECT_EQ(loaded.text.pixels_per_unit, 32);
    expect_vec3(loaded.transform.position, at);
    EXPECT_TRUE(editor.scene.placement_mode);
    EXPECT_EQ(editor.scene.placement_template.kind, OBJECT_TEXT);
}

TEST_F(Placement, PendingBoxFitsTheEditedObjectOnceBothModesAreOff) {
    int64_t id = scene_create_object(OBJECT_QUAD, transform_default());
    editor.scene.settings.snapping = true;
    editor.scene.settings.snap_size = Vec3{1, 1, 1};
    key(KEY_TAB);
    pin_cursor(Vec3{-3, 2, 0});
    key(key_letter('B'));
    Vec3 b{1, -5, 0};
    editor.tools.placement_cursor.position = b;
    ASSERT_TRUE(harness_frames());
    Vec3 a = editor.tools.world_box_a;
    expect_vec3(a, Vec3{-3, 2, 0});
    key(KEY_TAB);   // leaving the mode keeps the box
    ASSERT_TRUE(editor.tools.world_box_pending);
    editor.scene.rows.data[0].selected = true;
    ASSERT_TRUE(harness_frames());
    click(MOUSE_PRIMARY);
    EXPECT_FALSE(editor.tools.world_box_pending);
    const SceneObject* object = scene_find_object(id);
    expect_vec3(object->transform.position, Vec3{(a.x + b.x) / 2, (a.y + b.y) / 2, 0});
    expect_vec3(object->transform.scale, Vec3{std::fabs(b.x - a.x) / 2, std::fabs(b.y - a.y) / 2, 0});
}

TEST_F(Placement, PathPointsAddInsertAndRemove) {
    SceneObject* path = selected_path(0, false);
    int64_t id = path->id;
    editor.scene.settings.snapping = true;
    editor.scene.settings.snap_size = Vec3{1, 1, 1};
    key(key_letter('T'));
    ASSERT_TRUE(editor.tools.path_mode);
    Vec3 p{3, 0, 0};
    pin_cursor(p);
    key(KEY_SPACE);
    path = scene_find_object(id);
    ASSERT_EQ(path->path.points.count, 1);
    expect_vec3(path->path.points.data[0].a, Vec3{p.x - 1, 0, 0});
    expect_vec3(path->path.points.data[0].b, Vec3{p.x + 1, 0, 0});

    // A point on the last one: finite handles, and none but finite numbers
    // reach the file or the export.
    click(MOUSE_PRIMARY);
    path = scene_find_object(id);
    ASSERT_EQ(path->path.points.count, 2);
    EXPECT_TRUE(finite(path->path.points.data[1].a) && finite(path->path.points.data[1].b));
    char folder[] = "/tmp/tarnisk-path-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string exported = std::string(folder) + "/paths.txt";
    path->path.bezier = true;   // handles are exported only for Bezier paths
    ASSERT_TRUE(scene_export(string_from_cstring(exported.c_str())));
    std::ifstream in(exported);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str().find("nan"), std::string::npos);
    EXPECT_EQ(all.str().find("inf"), std::string::npos);
    std::remove(exported.c_str());
    std::remove(folder);
    path->path.bezier = false;

    // Ctrl-add with index -1 on four points goes before the last one.
    array_push(&path->path.points, PathPoint{Vec3{7, 7, 7}, {}, {}});
    array_push(&path->path.points, PathPoint{Vec3{8, 8, 8}, {}, {}});
    path->path.index = -1;
    harness_key_down(KEY_CONTROL);
    key(KEY_SPACE);
    harness_key_up(KEY_CONTROL);
    ASSERT_TRUE(harness_frames());
    path = scene_find_object(id);
    ASSERT_EQ(path->path.points.count, 5);
    EXPECT_EQ(path->path.index, 3);
    expect_vec3(path->path.points.data[3].position, p);
    expect_vec3(path->path.points.data[4].position, Vec3{8, 8, 8});

    // Remove with index 7 on three points removes point 1; Delete and the
    // secondary button both remove.
    path->path.points.count = 3;
    path->path.index = 7;
    key(KEY_DELETE);
    path = scene_find_object(id);
    ASSERT_EQ(path->path.points.count, 2);
    EXPECT_EQ(path->path.index, 1);
    expect_vec3(path->path.points.data[0].position, p);
    expect_vec3(path->path.points.data[1].position, Vec3{7, 7, 7});
    click(MOUSE_SECONDARY);
    EXPECT_EQ(scene_find_object(id)->path.points.count, 1);
}

TEST_F(Placement, PathEditsNeedOneSelectedPath) {
    SceneObject* path = selected_path(2, false);
    int64_t id = path->id;
    scene_create_object(OBJECT_QUAD, transform_default());
    editor.scene.rows.data[1].selected = true;   // two rows selected
    key(key_letter('T'));
    key(KEY_SPACE);
    key(KEY_DELETE);
    EXPECT_EQ(scene_find_object(id)->path.points.count, 2);
    EXPECT_EQ(editor.scene.objects.count, 2);
}

TEST_F(Placement, WheelWalksTheBezierPartsOutsidePathMode) {
    SceneObject* path = selected_path(3, true);
    int64_t id = path->id;
    ASSERT_TRUE(harness_frames());
    for (int i = 0; i < 5; i++) {
        harness_mouse_wheel(1);
        ASSERT_TRUE(harness_frames());
    }
    path = scene_find_object(id);
    EXPECT_EQ(path->path.index, 1);
    EXPECT_EQ(path->path.sub_index, 2);
    // In path mode the wheel steps whole points.
    key(key_letter('T'));
    harness_mouse_wheel(-1);
    ASSERT_TRUE(harness_frames());
    EXPECT_EQ(scene_find_object(id)->path.index, 0);
    EXPECT_EQ(scene_find_object(id)->path.sub_index, 2);
}

TEST_F(Placement, NothingHappensWhileATextFieldHasTheKeyboard) {
    SceneObject* path = selected_path(1, false);
    int64_t id = path->id;
    key(key_letter('T'));
    for (int32_t code : {(int32_t)KEY_SPACE, (int32_t)KEY_DELETE, (int32_t)KEY_TAB, (int32_t)key_letter('Z')}) {
        harness_key_down(code);
        editor.text_focus = 1;   // a field claimed the keyboard in the frame before
        ASSERT_TRUE(harness_frames());
        harness_key_up(code);
        editor.text_focus = 1;
        ASSERT_TRUE(harness_frames());
    }
    // A click that takes the keyboard away from the field lands in a frame
    // whose shortcuts are still off: the field may write its point back in
    // that frame, and no point moves under it.
    editor.text_focus = 1;
    click(MOUSE_PRIMARY);
    EXPECT_EQ(scene_find_object(id)->path.points.count, 1);
    EXPECT_TRUE(editor.tools.path_mode);
    EXPECT_EQ(editor.scene.settings.plane_height, 0);
}

}  // namespace
