// Property panels in the real program under real SDL events: typing into
// the object panel, check boxes, names resolved again, empty and template
// panels, the wheel rules, the color picker opened from a swatch (its drags,
// "ok", the saved bytes, its object deleted under it) and the settings panel.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"
#include "scene/history.h"
#include "scene/scene.h"
#include "tools/hierarchy.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"
#include "tools/property_panel.h"
#include "support/property_text.h"

namespace {

class PropertyPanelGlTest : public EditorTest {
protected:
    void SetUp() override {
        if (set_up_started()) harness_frames(2);
    }

    // Window pixels with y up, as the interface uses them.
    int32_t top(float y) const { return editor.window_height - (int32_t)y; }
    void move(float x, float y) { harness_mouse_move((int32_t)x, top(y)); }
    void click(float x, float y) {
        move(x, y);
        harness_frames(1);
        harness_mouse_down(MOUSE_PRIMARY, (int32_t)x, top(y));
        harness_frames(1);
        harness_mouse_up(MOUSE_PRIMARY, (int32_t)x, top(y));
        harness_frames(1);
    }
    void click(Vec4 rect) { click(rect.x + rect.z / 2, rect.y + rect.w / 2); }
    // Wheel events carry no position, and the X server shared with other
    // tests may move the pointer on its own: a wheel step counts only when
    // the pointer stayed put for it and for the frame before (which decides
    // whether a field wants the wheel).
    void wheel_at(float x, float y, int32_t steps, PropertyColumn* column) {
        float before = column->scrollbar.position;
        auto stayed = [&] { return editor.mouse_x == (float)(int32_t)x && editor.mouse_y == (float)(int32_t)y; };
        for (int attempt = 0; attempt < 20; attempt++) {
            column->scrollbar.position = before;
            move(x, y);
            harness_frames(1);
            if (!stayed()) continue;
            move(x, y);
            harness_mouse_wheel(steps);
            harness_frames(1);
            if (stayed()) return;
        }
        FAIL() << "the pointer never stayed at " << x << ", " << y;
    }
    void select_all() {
        harness_key_down(KEY_CONTROL);
        harness_key_down(key_letter('A'));
        harness_frames(1);
        harness_key_up(key_letter('A'));
        harness_key_up(KEY_CONTROL);
        harness_frames(1);
    }
    // The field takes the text in one frame; its value reaches the target at
    // the start of the next.
    void type(const char* text) {
        harness_text(text);
        harness_frames(2);
    }

    int64_t add(ObjectKind kind, bool selected) {
        int64_t id = scene_create_object(kind, transform_default());
        EXPECT_GE(id, 0);
        if (selected) editor.scene.rows.data[editor.scene.rows.count - 1].selected = true;
        return id;
    }
    SceneObject* object(int64_t id) { return scene_find_object(id); }

    PropertyColumn* open(uint8_t kind, Vec2 position, Vec2 size) {
        int64_t index = panel_open(kind, kind == PANEL_PROPERTIES ? S("properties") : S("global properties"),
                                   position, size);
        EXPECT_GE(index, 0);
        PropertyColumn* column = panel_content<PropertyPanelContent>(&editor.panels.list.data[index])->column;
        EXPECT_NE(column, nullptr);
        harness_frames(2);
        return column;
    }
    PropertyColumn* open_properties() { return open(PANEL_PROPERTIES, Vec2{560, 20}, Vec2{400, 680}); }

    Property& row(PropertyColumn* column, int32_t group, int64_t index) {
        return column->groups[group].properties.data[index];
    }
    Vec4 component(PropertyColumn* column, int32_t group, int64_t index, int32_t c) {
        return row(column, group, index).components[c].rect;
    }

    int64_t panels_of_kind(uint8_t kind) {
        int64_t count = 0;
        for (int64_t i = 0; i < editor.panels.list.count; i++) count += editor.panels.list.data[i].kind == kind;
        return count;
    }
    Panel* top_panel() { return &editor.panels.list.data[editor.panels.list.count - 1]; }
};

TEST_F(PropertyPanelGlTest, TypingMovesTheObjectLiveAndLeavingShowsTheDefaultNumberText) {
    int64_t id = add(OBJECT_QUAD, true);
    PropertyColumn* column = open_properties();
    EXPECT_EQ(scene_ref_object(editor.tools.edited_object), object(id));
    click(component(column, OBJECT_GROUP_TRANSFORM, 0, 0));
    EXPECT_TRUE(editor.properties.position_fields_focused);
    select_all();
    type("1");
    EXPECT_EQ(object(id)->transform.position.x, 1);
    type(".50");
    EXPECT_EQ(object(id)->transform.position.x, 1.5f);
    EXPECT_EQ(text_of(row(column, OBJECT_GROUP_TRANSFORM, 0).components[0]), "1.50");
    EXPECT_TRUE(editor.scene.scene_modified);

    // A click on the group's name (no widget there) takes the keyboard away.
    Vec4 heading = component(column, OBJECT_GROUP_TRANSFORM, 0, 0);
    click(heading.x, heading.y + 1.5f * editor.theme.scale);
    EXPECT_FALSE(editor.properties.position_fields_focused);
    harness_frames(1);
    EXPECT_EQ(text_of(row(column, OBJECT_GROUP_TRANSFORM, 0).components[0]), number_text(1.5));
    EXPECT_EQ(object(id)->transform.position.x, 1.5f);
}

TEST_F(PropertyPanelGlTest, AChangeMadeElsewhereKeepsTheTypedTextAndTheOtherFieldsFollow) {
    int64_t id = add(OBJECT_QUAD, true);
    PropertyColumn* column = open_properties();
    click(component(column, OBJECT_GROUP_TRANSFORM, 0, 0));
    select_all();
    type("2.0");
    // What a gizmo drag does between two frames.
    object(id)->transform.position = Vec3{9, 5, -4};
    harness_frames(1);
    const Property& position = row(column, OBJECT_GROUP_TRANSFORM, 0);
    EXPECT_EQ(text_of(position.components[0]), "2.0");
    EXPECT_EQ(text_of(position.components[1]), number_text(5));
    EXPECT_EQ(text_of(position.components[2]), number_text(-4));
    // The field with the keyboard still writes its value every frame.
    EXPECT_EQ(object(id)->transform.position.x, 2);
}

TEST_F(PropertyPanelGlTest, BillboardTakesEffectOneFrameAfterTheClick) {
    int64_t id = add(OBJECT_QUAD, true);
    PropertyColumn* column = open_properties();
    Vec4 check = row(column, OBJECT_GROUP_MATERIAL, 3).rect;
    ASSERT_GT(check.z, 0);
    bool before = object(id)->quad.billboard;
    move(check.x + 4, check.y + 4);
    harness_frames(1);
    harness_mouse_down(MOUSE_PRIMARY, (int32_t)check.x + 4, top(check.y + 4));
    harness_frames(1);
    harness_mouse_up(MOUSE_PRIMARY, (int32_t)check.x + 4, top(check.y + 4));
    harness_frames(1);
    EXPECT_EQ(object(id)->quad.billboard, before);
    EXPECT_EQ(row(column, OBJECT_GROUP_MATERIAL, 3).shown_value, !before);
    harness_frames(1);
    EXPECT_EQ(object(id)->quad.billboard, !before);
}

TEST_F(PropertyPanelGlTest, NamesAreResolvedAgainAndUnknownOnesGiveTheFallback) {
    int64_t quad = add(OBJECT_QUAD, true);
    PropertyColumn* column = open_properties();
    click(row(column, OBJECT_GROUP_MATERIAL, 1).rect);
    select_all();
    type("bricks");
    Texture bricks = texture_find(S("bricks"));
    EXPECT_NE(bricks, editor.assets.icons[ICON_WHITE]);
    EXPECT_EQ(object(quad)->quad.texture, bricks);
    type("-nosuch");
    EXPECT_TRUE(string_equal(object(quad)->quad.texture_name, S("bricks-nosuch")));
    EXPECT_EQ(object(quad)->quad.texture, editor.assets.icons[ICON_WHITE]);

    // The mesh group of a mesh object: a name not in the table draws nothing.
    editor.scene.rows.data[editor.scene.rows.count - 1].selected = false;
    int64_t mesh = add(OBJECT_MESH, true);
    click(100, 100);   // the viewport: the keyboard is free and the choice follows the selection
    // That click also picked the empty background, which clears the selection.
    editor.scene.rows.data[editor.scene.rows.count - 1].selected = true;
    harness_frames(1);
    ASSERT_EQ(scene_ref_object(editor.tools.edited_object), object(mesh));
    click(row(column, OBJECT_GROUP_MESH, 0).rect);
    select_all();
    type("table");
    EXPECT_EQ(object(mesh)->mesh.mesh, mesh_find(S("table")));
    EXPECT_NE(object(mesh)->mesh.mesh, nullptr);
    type("x");
    EXPECT_EQ(object(mesh)->mesh.mesh, nullptr);
}

TEST_F(PropertyPanelGlTest, TwoSelectedObjectsLeaveThePanelEmpty) {
    int64_t a = add(OBJECT_QUAD, true);
    PropertyColumn* column = open_properties();
    Vec4 x_field = component(column, OBJECT_GROUP_TRANSFORM, 0, 0);
    int64_t b = add(OBJECT_QUAD, true);
    harness_frames(1);
    EXPECT_EQ(scene_ref_object(editor.tools.edited_object), nullptr);
    EXPECT_EQ(column->content_height, 0);
    click(x_field);
    type("7");
    EXPECT_EQ(object(a)->transform.position.x, 0);
    EXPECT_EQ(object(b)->transform.position.x, 0);
    EXPECT_FALSE(editor.properties.position_fields_focused);
}

TEST_F(PropertyPanelGlTest, InPlacementModeThePanelEditsTheTemplateAndMovesTheCursor) {
    add(OBJECT_QUAD, true);
    editor.scene.placement_mode = true;
    editor.scene.placement_template.kind = OBJECT_QUAD;
    PropertyColumn* column = open_properties();
    EXPECT_EQ(scene_ref_object(editor.tools.edited_object), &editor.scene.placement_template);
    click(component(column, OBJECT_GROUP_TRANSFORM, 0, 0));
    select_all();
    type("3");
    EXPECT_EQ(editor.tools.placement_cursor.position.x, 3);
    click(component(column, OBJECT_GROUP_MATERIAL, 0, 0));
    select_all();
    type("0.25");
    EXPECT_EQ(editor.scene.placement_template.quad.color.x, 0.25f);
    EXPECT_EQ(editor.scene.templates.quad.color.x, 0.25f);
    // Editing the template is no change of the document.
    EXPECT_EQ(scene_find_object(0)->transform.position.x, 0);
}

TEST_F(PropertyPanelGlTest, TheWheelOverAMultiLineTextFieldDoesNotScrollThePanel) {
    int64_t id = add(OBJECT_TEXT, true);
    (void)id;
    PropertyColumn* column = open_properties();
    ASSERT_GT(column->content_height, 0);
    EXPECT_EQ(column->scrollbar.position, 1);
    // Over a row's name: the panel scrolls.
    Vec4 x_field = component(column, OBJECT_GROUP_TRANSFORM, 0, 0);
    wheel_at(x_field.x - 40, x_field.y + 4, -1, column);
    EXPECT_FLOAT_EQ(column->scrollbar.position, 0.875f);
    // Over the text: the field scrolls, the panel does not.
    Vec4 text = row(column, OBJECT_GROUP_TEXT, 4).rect;
    wheel_at(text.x + text.z / 2, text.y + text.w / 2, -1, column);
    EXPECT_FLOAT_EQ(column->scrollbar.position, 0.875f);
}

TEST_F(PropertyPanelGlTest, SwatchOpensACentredPickerStartedFromTheColor) {
    int64_t id = add(OBJECT_QUAD, true);
    object(id)->quad.color = Vec4{0.2f, 0.4f, 0.8f, 0.5f};
    PropertyColumn* column = open_properties();
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    ASSERT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 1);
    Panel* panel = top_panel();
    EXPECT_TRUE(string_equal(panel->title, S("color")));
    EXPECT_EQ(panel->size.x, 480);
    EXPECT_EQ(panel->size.y, 480);
    EXPECT_EQ(panel->position.x, editor.window_width / 2.0f - 240);
    EXPECT_EQ(panel->position.y, editor.window_height / 2.0f - 240);
    ColorPicker* picker = panel_content<ColorPicker>(panel);
    EXPECT_NEAR(picker->hue, (0.2f - 0.4f) / 0.6f / 6 + 4.0f / 6, 1e-6);
    EXPECT_NEAR(picker->saturation, 0.75f, 1e-6);
    EXPECT_NEAR(picker->value, 0.8f, 1e-6);
    EXPECT_EQ(picker->alpha, 0.5f);
    // Shown without any input it still writes its color every frame: the
    // color it started from, to the last bit.
    object(id)->quad.color = Vec4{1, 1, 1, 1};
    harness_frames(1);
    const Vec4 start{0.2f, 0.4f, 0.8f, 0.5f};
    EXPECT_EQ(std::memcmp(&object(id)->quad.color, &start, sizeof start), 0);
}

TEST_F(PropertyPanelGlTest, PickingThroughThePickerChangesTheSavedColorBytes) {
    int64_t id = add(OBJECT_QUAD, true);
    const Vec4 old_color{0.2f, 0.4f, 0.8f, 1};
    object(id)->quad.color = old_color;
    std::string path = testing::TempDir() + "picked.scene";
    String file = string_from_cstring(path.c_str());
    ASSERT_TRUE(scene_save(file));
    String before = file_read_all(file, POOL_PERSISTENT);

    PropertyColumn* column = open_properties();
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    ASSERT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 1);
    Panel* panel = top_panel();
    float t = editor.theme.scale;
    ColorPickerLayout layout = color_picker_layout(
        Vec4{panel->position.x, panel->position.y, panel->size.x, panel->size.y - t}, t, editor.theme.offset);
    // Hue strip to the top (hue 1: red), then the square dragged out past
    // its top-right corner: full saturation and value, clamped.
    Vec4 hue = layout.hue_strip;
    move(hue.x + 4, hue.y + 10);
    harness_frames(1);
    harness_mouse_down(MOUSE_PRIMARY, (int32_t)hue.x + 4, top(hue.y + 10));
    harness_frames(1);
    move(hue.x + 4, hue.y + hue.w + 50);
    harness_frames(1);
    harness_mouse_up(MOUSE_PRIMARY, (int32_t)hue.x + 4, top(hue.y + hue.w + 50));
    harness_frames(1);
    Vec4 sq = layout.square;
    move(sq.x + 20, sq.y + 20);
    harness_frames(1);
    harness_mouse_down(MOUSE_PRIMARY, (int32_t)sq.x + 20, top(sq.y + 20));
    harness_frames(1);
    move(sq.x + sq.z + 100, sq.y + sq.w + 100);
    harness_frames(1);
    harness_mouse_up(MOUSE_PRIMARY, (int32_t)(sq.x + sq.z + 100), top(sq.y + sq.w + 100));
    harness_frames(1);
    Vec4 color = object(id)->quad.color;
    EXPECT_EQ(color.x, 1);
    EXPECT_EQ(color.y, 0);
    EXPECT_EQ(color.z, 0);
    EXPECT_EQ(color.w, 1);
    click(layout.ok);
    harness_frames(1);
    EXPECT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 0);

    ASSERT_TRUE(scene_save(file));
    String after = file_read_all(file, POOL_PERSISTENT);
    ASSERT_EQ(after.length, before.length);
    int64_t differing = 0, at = -1;
    for (int64_t i = 0; i < after.length; i++) {
        if (after.data[i] != before.data[i]) {
            if (at < 0) at = i;
            differing++;
        }
    }
    ASSERT_GE(at, 0);
    // The changed bytes lie within the color's 16 bytes, which held the old
    // color and now hold red.
    int64_t start = -1;
    for (int64_t i = at - 15 < 0 ? 0 : at - 15; i <= at && i + 16 <= before.length; i++) {
        if (std::memcmp(before.data + i, &old_color, 16) == 0) start = i;
    }
    ASSERT_GE(start, 0);
    const Vec4 red{1, 0, 0, 1};
    EXPECT_EQ(std::memcmp(after.data + start, &red, 16), 0);
    EXPECT_LE(differing, 16);
}

TEST_F(PropertyPanelGlTest, DeletingTheObjectUnderAnOpenPickerClosesItAndWritesNothing) {
    int64_t a = add(OBJECT_QUAD, true);
    int64_t b = add(OBJECT_QUAD, false);
    object(a)->quad.color = Vec4{0.2f, 0.4f, 0.8f, 1};
    object(b)->quad.color = Vec4{0.1f, 0.1f, 0.1f, 1};
    PropertyColumn* column = open_properties();
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    ASSERT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 1);
    // The object goes and the records move: b takes a's place.
    SceneState& scene = editor.scene;
    array_remove(&scene.objects, object(a) - scene.objects.data);
    for (int64_t i = 0; i < scene.rows.count; i++) {
        if (scene.rows.data[i].object_id == a) array_remove(&scene.rows, i);
    }
    // More objects: the array grows and moves.
    for (int i = 0; i < 40; i++) add(OBJECT_TEXT, false);
    harness_frames(3);
    EXPECT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 0);
    EXPECT_EQ(object(b)->quad.color.x, 0.1f);
    EXPECT_EQ(object(b)->quad.color.z, 0.1f);
}

TEST_F(PropertyPanelGlTest, SettingsEditsChangeTheBackgroundDrawnAndTheSavedSettings) {
    PropertyColumn* column = open(PANEL_GLOBAL_PROPERTIES, Vec2{560, 20}, Vec2{400, 680});
    ASSERT_EQ(column->group_count, 2);
    click(row(column, 0, 3).components[0].rect);
    select_all();
    type("0.5");
    click(row(column, 1, 1).components[0].rect);
    select_all();
    type("0.25");
    harness_frames(1);
    EXPECT_EQ(editor.scene.settings.background.x, 0.5f);
    EXPECT_EQ(editor.scene.settings.snap_size.x, 0.25f);
    EXPECT_TRUE(editor.scene.scene_modified);

    // The scene image is cleared with the background made linear.
    float pixel[4];
    harness_read_pixels(editor.render.scene_target.frame_buffer, 5, 5, 1, 1, 6, pixel);
    EXPECT_NEAR(pixel[0], 0.2176f, 0.002f);

    std::string path = testing::TempDir() + "settings.scene";
    String file = string_from_cstring(path.c_str());
    ASSERT_TRUE(scene_save(file));
    SceneState parsed{};
    SceneToolBytes tools{};
    ASSERT_EQ(scene_parse(file_read_all(file, POOL_PERSISTENT), &parsed, &tools), SCENE_LOAD_OK);
    EXPECT_EQ(parsed.settings.background.x, 0.5f);
    EXPECT_EQ(parsed.settings.snap_size.x, 0.25f);
}

TEST_F(PropertyPanelGlTest, SettingsPanelScrollsWithTheWheelInsideItsListArea) {
    PropertyColumn* column = open(PANEL_GLOBAL_PROPERTIES, Vec2{560, 20}, Vec2{300, 250});
    ASSERT_GT(column->content_height, 0);
    wheel_at(600, 100, -2, column);
    EXPECT_FLOAT_EQ(column->scrollbar.position, 0.75f);
    // Outside the panel the wheel leaves it alone.
    wheel_at(100, 100, -2, column);
    EXPECT_FLOAT_EQ(column->scrollbar.position, 0.75f);
}

}  // namespace

namespace {

TEST_F(PropertyPanelGlTest, PathPointRowsEditTheSelectedPointOnlyWhileTheIndexIsInRange) {
    int64_t id = add(OBJECT_PATH, true);
    Array<PathPoint>& points = object(id)->path.points;
    ASSERT_GE(array_push(&points, PathPoint{{1, 1, 1}, {0, 0, 0}, {2, 2, 2}}), 0);
    ASSERT_GE(array_push(&points, PathPoint{{5, 6, 7}, {4, 6, 7}, {6, 6, 7}}), 0);
    object(id)->path.index = 1;
    PropertyColumn* column = open_properties();
    const Property& position = row(column, OBJECT_GROUP_PATH, 5);
    EXPECT_FALSE(position.hidden);
    EXPECT_EQ(text_of(position.components[1]), number_text(6));
    click(position.components[0].rect);
    select_all();
    type("-3");
    EXPECT_EQ(object(id)->path.points.data[1].position.x, -3);
    EXPECT_EQ(object(id)->path.points.data[0].position.x, 1);

    // Typing an index past the points takes the rows away; nothing is written.
    // A drawn path has its index wrapped back into range every frame, so the
    // path is hidden here to keep the index where it was typed.
    object(id)->visible = false;
    click(row(column, OBJECT_GROUP_PATH, 4).rect);
    select_all();
    type("7");
    EXPECT_EQ(object(id)->path.index, 7);
    // The rows follow the index from the next frame on.
    harness_frames(1);
    EXPECT_TRUE(row(column, OBJECT_GROUP_PATH, 5).hidden);
    EXPECT_TRUE(row(column, OBJECT_GROUP_PATH, 7).hidden);
    EXPECT_EQ(object(id)->path.points.data[1].position.x, -3);
}

}  // namespace

namespace {

// Whole scenes under the panels: the camera straight down from (0, 0, 10),
// so world points have fixed window pixels, and panels kept clear of the
// middle of the window where the objects and the gizmo are.
class PropertyPanelSceneTest : public PropertyPanelGlTest {
protected:
    void SetUp() override {
        PropertyPanelGlTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        editor.camera = camera_default();
        harness_frames(1);
    }
    // Window pixel (y up) where the camera shows p.
    static Vec2 on_screen(Vec3 p) {
        Mat4 view_projection =
            mat4_multiply(camera_projection_matrix(editor.camera, editor.window_width, editor.window_height,
                                                   editor_mode_2d()),
                          camera_view_matrix(editor.camera));
        Vec4 clip = mat4_transform_vec4(view_projection, Vec4{p.x, p.y, p.z, 1});
        return Vec2{std::round((clip.x / clip.w + 1) * 0.5f * editor.window_width),
                    std::round((clip.y / clip.w + 1) * 0.5f * editor.window_height)};
    }
    // Moves until the editor sees the pointer there (the shared X server may
    // move it on its own), then lets one more frame run.
    void point_at(Vec2 at) {
        for (int attempt = 0; attempt < 20; attempt++) {
            move(at.x, at.y);
            harness_frames(1);
            if (editor.mouse_x == at.x && editor.mouse_y == at.y) {
                harness_frames(1);
                return;
            }
        }
        FAIL() << "the pointer never reached " << at.x << ", " << at.y;
    }
    void key(int32_t code) {
        harness_key_down(code);
        harness_frames(1);
        harness_key_up(code);
        harness_frames(1);
    }
    void control_key(char letter) {
        harness_key_down(KEY_CONTROL);
        harness_key_down(key_letter(letter));
        harness_frames(1);
        harness_key_up(key_letter(letter));
        harness_key_up(KEY_CONTROL);
        harness_frames(1);
    }
    void select_only(int64_t id) {
        for (int64_t i = 0; i < editor.scene.rows.count; i++) {
            editor.scene.rows.data[i].selected = editor.scene.rows.data[i].object_id == id;
        }
    }
    // A press on a group's name, where no widget lies: every field lets go.
    // A group's first row has its bottom edge one unit below the heading.
    void click_group_name(PropertyColumn* column, int32_t group, int64_t first_row) {
        Vec4 first = row(column, group, first_row).rect;
        click(first.x, first.y + 1.5f * editor.theme.scale);
    }
    // The collapse button of an object panel group (label width 5 units).
    void click_heading_button(PropertyColumn* column, int32_t group, int64_t first_row) {
        Vec4 first = row(column, group, first_row).rect;
        float S = editor.theme.scale;
        click(first.x + S / 2 - 5 * S, first.y + 1.5f * S);
    }
    // Pixels (linear, as the scene image holds them) at world points.
    static std::vector<Vec4> scene_pixels(const std::vector<Vec3>& points) {
        std::vector<Vec4> pixels;
        for (const Vec3& p : points) {
            Vec2 at = on_screen(p);
            float rgba[4] = {};
            harness_read_pixels(editor.render.scene_target.frame_buffer, (int32_t)at.x, (int32_t)at.y, 1, 1, 6, rgba);
            pixels.push_back(Vec4{rgba[0], rgba[1], rgba[2], rgba[3]});
        }
        return pixels;
    }
    PropertyColumn* open_right(uint8_t kind) { return open(kind, Vec2{700, 20}, Vec2{320, 700}); }
};

TEST_F(PropertyPanelSceneTest, AGizmoDragKeepsTheTypedPositionAndTheOtherFieldsFollowIt) {
    int64_t id = add(OBJECT_QUAD, true);
    PropertyColumn* column = open_right(PANEL_PROPERTIES);
    click(component(column, OBJECT_GROUP_TRANSFORM, 0, 0));
    select_all();
    type("-2.0");
    ASSERT_EQ(object(id)->transform.position.x, -2);
    EXPECT_TRUE(editor.properties.position_fields_focused);
    const Property& position = row(column, OBJECT_GROUP_TRANSFORM, 0);
    EXPECT_EQ(text_of(position.components[0]), "-2.0");

    // The gizmo's y arrow, now over (-2, 0, 0), dragged two units up. The
    // press that grabs it is a press outside the field, which takes the
    // keyboard from it; the typed value was written first and stays.
    point_at(on_screen(Vec3{-2, 1.75f, 0}));
    Vec2 grip = on_screen(Vec3{-2, 1.75f, 0});
    harness_mouse_down(MOUSE_PRIMARY, (int32_t)grip.x, top(grip.y));
    harness_frames(1);
    ASSERT_GE(editor.selection.gizmo.active, 0);
    point_at(on_screen(Vec3{-2, 3.75f, 0}));
    EXPECT_EQ(object(id)->transform.position.x, -2);
    EXPECT_NEAR(object(id)->transform.position.y, 2, 0.05);
    EXPECT_EQ(text_of(position.components[1]), number_text(object(id)->transform.position.y));
    Vec2 end = on_screen(Vec3{-2, 3.75f, 0});
    harness_mouse_up(MOUSE_PRIMARY, (int32_t)end.x, top(end.y));
    harness_frames(2);
    EXPECT_EQ(object(id)->transform.position.x, -2);
    EXPECT_EQ(text_of(position.components[0]), number_text(-2));
    EXPECT_EQ(text_of(position.components[1]), number_text(object(id)->transform.position.y));
    EXPECT_EQ(text_of(position.components[2]), number_text(0));
}

TEST_F(PropertyPanelSceneTest, AnUnknownTextureNameDrawsTheFallbackTexture) {
    int64_t id = add(OBJECT_QUAD, true);
    object(id)->quad.billboard = false;
    PropertyColumn* column = open_right(PANEL_PROPERTIES);
    click(row(column, OBJECT_GROUP_MATERIAL, 1).rect);
    // The field keeps the quad edited; without the selection no gizmo or
    // highlight is drawn over it.
    select_only(-1);
    harness_frames(2);
    ASSERT_EQ(scene_ref_object(editor.tools.edited_object), object(id));
    std::vector<Vec3> points;
    for (int i = 0; i < 5; i++) {
        for (int j = 0; j < 5; j++) points.push_back(Vec3{-0.9f + 0.45f * i, -0.9f + 0.45f * j, 0});
    }
    const std::vector<Vec4> plain = scene_pixels(points);
    for (const Vec4& p : plain) EXPECT_NEAR(p.x, plain[0].x, 0.002);

    select_all();
    type("checker");
    harness_frames(1);
    ASSERT_EQ(object(id)->quad.texture, texture_find(S("checker")));
    std::vector<Vec4> checker = scene_pixels(points);
    int differing = 0;
    for (size_t i = 0; i < points.size(); i++) differing += std::fabs(checker[i].x - plain[i].x) > 0.05f;
    EXPECT_GT(differing, 0);

    select_all();
    type("no such texture");
    harness_frames(1);
    EXPECT_EQ(object(id)->quad.texture, editor.assets.icons[ICON_WHITE]);
    std::vector<Vec4> fallback = scene_pixels(points);
    for (size_t i = 0; i < points.size(); i++) {
        EXPECT_NEAR(fallback[i].x, plain[i].x, 0.002) << i;
        EXPECT_NEAR(fallback[i].y, plain[i].y, 0.002) << i;
        EXPECT_NEAR(fallback[i].z, plain[i].z, 0.002) << i;
    }
}

TEST_F(PropertyPanelSceneTest, PlacementModeEditsTheTemplateWhoseTransformIsTheCursorAndPlacesWithIt) {
    placement_template_set_kind(&editor.scene, OBJECT_QUAD);
    PropertyColumn* column = open_right(PANEL_PROPERTIES);
    key(KEY_TAB);
    ASSERT_TRUE(editor.scene.placement_mode);
    // With the plane behind the camera the pointer finds no place on it, so
    // the cursor stays where the panel puts it.
    editor.scene.settings.plane_height = 100;
    harness_frames(1);
    EXPECT_EQ(scene_ref_object(editor.tools.edited_object), &editor.scene.placement_template);

    click(component(column, OBJECT_GROUP_TRANSFORM, 0, 0));
    select_all();
    type("3");
    EXPECT_EQ(editor.tools.placement_cursor.position.x, 3);
    click(component(column, OBJECT_GROUP_TRANSFORM, 2, 1));
    select_all();
    type("2");
    EXPECT_EQ(editor.tools.placement_cursor.scale.y, 2);
    EXPECT_EQ(editor.tools.placement_cursor.position.x, 3);
    click(component(column, OBJECT_GROUP_MATERIAL, 0, 0));
    select_all();
    type("0.25");
    click(row(column, OBJECT_GROUP_MATERIAL, 1).rect);
    select_all();
    type("bricks");
    EXPECT_TRUE(string_equal(editor.scene.templates.quad.texture_name, S("bricks")));
    EXPECT_EQ(editor.scene.templates.quad.texture, texture_find(S("bricks")));
    EXPECT_EQ(editor.scene.templates.quad.color.x, 0.25f);
    EXPECT_EQ(editor.scene.objects.count, 0);

    // The keyboard free again, the cursor keeps the transform and Space
    // places a quad made from the edited template.
    click_group_name(column, OBJECT_GROUP_TRANSFORM, 0);
    harness_frames(1);
    EXPECT_EQ(editor.tools.placement_cursor.position.x, 3);
    key(KEY_SPACE);
    ASSERT_EQ(editor.scene.objects.count, 1);
    const SceneObject& made = editor.scene.objects.data[0];
    EXPECT_EQ(made.transform.position.x, 3);
    EXPECT_EQ(made.transform.scale.y, 2);
    EXPECT_EQ(made.quad.color.x, 0.25f);
    EXPECT_TRUE(string_equal(made.quad.texture_name, S("bricks")));
    EXPECT_EQ(made.quad.texture, texture_find(S("bricks")));
    // The new object's name is its own: typing into the template later
    // leaves it alone.
    EXPECT_NE(made.quad.texture_name.data, editor.scene.templates.quad.texture_name.data);
    click(row(column, OBJECT_GROUP_MATERIAL, 1).rect);
    select_all();
    type("wood");
    EXPECT_TRUE(string_equal(editor.scene.objects.data[0].quad.texture_name, S("bricks")));
    EXPECT_TRUE(string_equal(editor.scene.templates.quad.texture_name, S("wood")));
}

TEST_F(PropertyPanelSceneTest, SnappingSetInTheSettingsPanelSnapsTheCursorAndIsSaved) {
    editor.scene.settings.snapping = false;
    editor.scene.settings.snap_size = Vec3{1, 1, 1};
    PropertyColumn* column = open_right(PANEL_GLOBAL_PROPERTIES);
    click(row(column, 1, 0).rect);
    harness_frames(1);
    EXPECT_TRUE(editor.scene.settings.snapping);
    for (int32_t c = 0; c < 3; c++) {
        click(row(column, 1, 1).components[c].rect);
        select_all();
        type("0.25");
    }
    click_group_name(column, 1, 0);
    EXPECT_EQ(editor.scene.settings.snap_size.x, 0.25f);
    EXPECT_EQ(editor.scene.settings.snap_size.z, 0.25f);
    EXPECT_TRUE(editor.scene.scene_modified);

    // The placement cursor lands on the new steps: (1.3, 0.6) goes to
    // (1.25, 0.5), where the old step would have given whole units.
    key(KEY_TAB);
    ASSERT_TRUE(editor.scene.placement_mode);
    point_at(on_screen(Vec3{1.3f, 0.6f, 0}));
    EXPECT_EQ(editor.tools.placement_cursor.position.x, 1.25f);
    EXPECT_EQ(editor.tools.placement_cursor.position.y, 0.5f);
    EXPECT_EQ(editor.tools.placement_cursor.position.z, 0);

    std::string path = testing::TempDir() + "snapping.scene";
    String file = string_from_cstring(path.c_str());
    ASSERT_TRUE(scene_save(file));
    SceneState parsed{};
    SceneToolBytes tools{};
    ASSERT_EQ(scene_parse(file_read_all(file, POOL_PERSISTENT), &parsed, &tools), SCENE_LOAD_OK);
    EXPECT_TRUE(parsed.settings.snapping);
    EXPECT_EQ(parsed.settings.snap_size.x, 0.25f);
    EXPECT_EQ(parsed.settings.snap_size.y, 0.25f);
    EXPECT_EQ(parsed.settings.snap_size.z, 0.25f);
}

TEST_F(PropertyPanelSceneTest, ANewSceneWhileAFieldHasTheKeyboardLeavesNoFieldHoldingIt) {
    int64_t a = add(OBJECT_QUAD, true);
    editor.scene.scene_modified = false;
    PropertyColumn* column = open_right(PANEL_PROPERTIES);
    click(component(column, OBJECT_GROUP_TRANSFORM, 0, 0));
    ASSERT_TRUE(row(column, OBJECT_GROUP_TRANSFORM, 0).components[0].focused);
    // Control shortcuts act while a field has the keyboard; an unmodified
    // scene is replaced at once, and the panel has nothing left to show.
    control_key('N');
    harness_frames(1);
    ASSERT_EQ(object(a), nullptr);
    EXPECT_FALSE(row(column, OBJECT_GROUP_TRANSFORM, 0).components[0].focused);
    EXPECT_TRUE(editor.viewport_keys);
    EXPECT_FALSE(editor.properties.position_fields_focused);

    // In placement mode the panel shows the template: the field that held
    // the keyboard for the deleted quad must not pin the cursor to its text.
    placement_template_set_kind(&editor.scene, OBJECT_QUAD);
    key(KEY_TAB);
    ASSERT_TRUE(editor.scene.placement_mode);
    point_at(on_screen(Vec3{-3, 1, 0}));
    EXPECT_NEAR(editor.tools.placement_cursor.position.x, -3, 0.05);
    EXPECT_TRUE(editor.viewport_keys);
    EXPECT_EQ(text_of(row(column, OBJECT_GROUP_TRANSFORM, 0).components[0]),
              number_text(editor.tools.placement_cursor.position.x));
}

// The picker of the color of object `id`, opened from the swatch of a panel
// on the right; the picker lies in the middle of the window.
class PickerSceneTest : public PropertyPanelSceneTest {
protected:
    ColorPickerLayout picker_layout() {
        Panel* panel = top_panel();
        float t = editor.theme.scale;
        return color_picker_layout(Vec4{panel->position.x, panel->position.y, panel->size.x, panel->size.y - t}, t,
                                   editor.theme.offset);
    }
    void drag(Vec2 from, Vec2 to) {
        point_at(from);
        harness_mouse_down(MOUSE_PRIMARY, (int32_t)from.x, top(from.y));
        harness_frames(1);
        move(to.x, to.y);
        harness_frames(2);
        harness_mouse_up(MOUSE_PRIMARY, (int32_t)to.x, top(to.y));
        harness_frames(2);
    }
    static bool same(Vec4 a, Vec4 b) { return std::memcmp(&a, &b, sizeof a) == 0; }
};

TEST_F(PickerSceneTest, DeletingTheObjectFromTheObjectListClosesItsPickerAndNothingElseIsWritten) {
    int64_t a = add(OBJECT_QUAD, true);
    int64_t b = add(OBJECT_QUAD, false);
    const Vec4 b_color{0.1f, 0.3f, 0.1f, 1};
    object(b)->quad.color = b_color;
    int64_t list = panel_open(PANEL_OBJECTS, S("objects"), Vec2{0, 20}, Vec2{260, 400});
    ASSERT_GE(list, 0);
    PropertyColumn* column = open(PANEL_PROPERTIES, Vec2{760, 20}, Vec2{264, 700});
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    ASSERT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 1);
    ColorPickerLayout layout = picker_layout();
    drag(Vec2{layout.hue_strip.x + 4, layout.hue_strip.y + 10}, Vec2{layout.hue_strip.x + 4, layout.hue_strip.y + 60});

    const Panel& objects = editor.panels.list.data[list];
    HierarchyLayout parts = hierarchy_layout(
        objects.position, Vec2{objects.size.x, objects.size.y - (float)editor.panels.title_height}, editor.theme.scale,
        editor.theme.offset);
    click(parts.remove);
    harness_frames(2);
    EXPECT_EQ(object(a), nullptr);
    EXPECT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 0);
    // Objects come and go after it: nothing takes the closed picker's color.
    for (int i = 0; i < 40; i++) add(OBJECT_QUAD, false);
    select_only(b);
    harness_frames(3);
    EXPECT_TRUE(same(object(b)->quad.color, b_color));
    for (int64_t i = 0; i < editor.scene.objects.count; i++) {
        const SceneObject& other = editor.scene.objects.data[i];
        if (other.id != b) {
            EXPECT_TRUE(same(other.quad.color, Vec4{1, 1, 1, 1}));
        }
    }
}

TEST_F(PickerSceneTest, AnUndoOrAnOpenClosesThePickerWhichThenWritesNothing) {
    int64_t id = add(OBJECT_QUAD, true);
    const Vec4 first{0.2f, 0.4f, 0.8f, 1};
    object(id)->quad.color = first;
    std::string path = testing::TempDir() + "picker_scene.scene";
    String file = string_from_cstring(path.c_str());
    ASSERT_TRUE(scene_save(file));
    history_clear();
    harness_frames(1);
    PropertyColumn* column = open_right(PANEL_PROPERTIES);

    // A pick, then Ctrl+Z: the color before the pick comes back and stays.
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    ASSERT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 1);
    ColorPickerLayout layout = picker_layout();
    drag(Vec2{layout.hue_strip.x + 4, layout.hue_strip.y + 10}, Vec2{layout.hue_strip.x + 4, layout.hue_strip.y + 60});
    const Vec4 picked = object(id)->quad.color;
    ASSERT_FALSE(same(picked, first));
    control_key('Z');
    harness_frames(2);
    EXPECT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 0);
    ASSERT_NE(object(id), nullptr);
    EXPECT_TRUE(same(object(id)->quad.color, first));

    // Picked again, then the saved file is opened: its quad has the same id,
    // but is not what the picker was opened on.
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    ASSERT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 1);
    drag(Vec2{layout.hue_strip.x + 4, layout.hue_strip.y + 10}, Vec2{layout.hue_strip.x + 4, layout.hue_strip.y + 60});
    ASSERT_FALSE(same(object(id)->quad.color, first));
    ASSERT_EQ(scene_load(file), SCENE_LOAD_OK);
    harness_frames(3);
    EXPECT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 0);
    ASSERT_NE(object(id), nullptr);
    EXPECT_TRUE(same(object(id)->quad.color, first));
    EXPECT_FALSE(editor.scene.scene_modified);
}

}  // namespace

namespace {

TEST_F(PickerSceneTest, ASecondSwatchClickReplacesThePickerSoItsPickIsKept) {
    int64_t id = add(OBJECT_QUAD, true);
    const Vec4 first{0.2f, 0.4f, 0.8f, 1};
    object(id)->quad.color = first;
    PropertyColumn* column = open_right(PANEL_PROPERTIES);
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    harness_frames(1);
    ASSERT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 1);
    ColorPickerLayout layout = picker_layout();
    drag(Vec2{layout.hue_strip.x + 4, layout.hue_strip.y + 10}, Vec2{layout.hue_strip.x + 4, layout.hue_strip.y + 60});
    const Vec4 picked = object(id)->quad.color;
    ASSERT_FALSE(same(picked, first));
    click(layout.ok);
    harness_frames(2);
    EXPECT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 0);
    EXPECT_TRUE(same(object(id)->quad.color, picked));

    // Pickers of different colors stay open side by side.
    int64_t other = add(OBJECT_QUAD, false);
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    select_only(other);
    harness_frames(2);
    click(row(column, OBJECT_GROUP_MATERIAL, 0).rect);
    harness_frames(1);
    EXPECT_EQ(panels_of_kind(PANEL_COLOR_PICKER), 2);
}

}  // namespace

namespace {

TEST_F(PropertyPanelSceneTest, AHeadingClickCollapsesItsGroupAndTheNextOneMovesUp) {
    add(OBJECT_QUAD, true);
    PropertyColumn* column = open_right(PANEL_PROPERTIES);
    const float S = editor.theme.scale, P = editor.theme.offset;
    const float color_y = row(column, OBJECT_GROUP_MATERIAL, 0).components[0].rect.y;
    const float content = column->content_height;
    click_heading_button(column, OBJECT_GROUP_TRANSFORM, 0);
    harness_frames(1);
    ASSERT_TRUE(column->groups[OBJECT_GROUP_TRANSFORM].collapsed);
    // The rows of "transform" (3, 4 and 3 units, each with its spacing) are gone.
    const float rows = 10 * S + 3 * P;
    EXPECT_FLOAT_EQ(row(column, OBJECT_GROUP_MATERIAL, 0).components[0].rect.y, color_y + rows);
    EXPECT_FLOAT_EQ(column->content_height, content > rows ? content - rows : 0);
    click_heading_button(column, OBJECT_GROUP_TRANSFORM, 0);
    harness_frames(1);
    EXPECT_FALSE(column->groups[OBJECT_GROUP_TRANSFORM].collapsed);
    EXPECT_FLOAT_EQ(row(column, OBJECT_GROUP_MATERIAL, 0).components[0].rect.y, color_y);
}

TEST_F(PropertyPanelSceneTest, AFontNameIsResolvedAgainWithTheDefaultFontForUnknownNames) {
    int64_t id = add(OBJECT_TEXT, true);
    PropertyColumn* column = open_right(PANEL_PROPERTIES);
    click(row(column, OBJECT_GROUP_TEXT, 1).rect);
    select_all();
    type("serif");
    ASSERT_NE(font_find(S("serif")), &editor.assets.default_font);
    EXPECT_EQ(object(id)->text.font, font_find(S("serif")));
    type("ish");
    EXPECT_TRUE(string_equal(object(id)->text.font_name, S("serifish")));
    EXPECT_EQ(object(id)->text.font, &editor.assets.default_font);
}

TEST_F(PropertyPanelSceneTest, DataTypedIntoTheDataTemplateGoesIntoTheDataObjectsPlacedFromIt) {
    placement_template_set_kind(&editor.scene, OBJECT_DATA);
    PropertyColumn* column = open_right(PANEL_PROPERTIES);
    key(KEY_TAB);
    ASSERT_TRUE(editor.scene.placement_mode);
    editor.scene.settings.plane_height = 100;
    harness_frames(1);
    ASSERT_EQ(scene_ref_object(editor.tools.edited_object), &editor.scene.placement_template);
    // Data objects have no kind group: "data" follows "transform".
    click(row(column, OBJECT_GROUP_DATA, 0).rect);
    select_all();
    type("weight 2");
    EXPECT_TRUE(string_equal(editor.scene.templates.data, S("weight 2")));
    click_group_name(column, OBJECT_GROUP_TRANSFORM, 0);
    key(KEY_SPACE);
    key(KEY_SPACE);
    ASSERT_EQ(editor.scene.objects.count, 2);
    const SceneObject& a = editor.scene.objects.data[0];
    const SceneObject& b = editor.scene.objects.data[1];
    EXPECT_TRUE(string_equal(a.data, S("weight 2")));
    EXPECT_TRUE(string_equal(b.data, S("weight 2")));
    EXPECT_NE(a.data.data, b.data.data);
    EXPECT_NE(a.data.data, editor.scene.templates.data.data);
}

}  // namespace
