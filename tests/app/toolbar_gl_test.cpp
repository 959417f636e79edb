// The toolbar in the real program: its pixels against the table of widgets
// (order, icons, color keys, gaps, toggle marks), which groups show when,
// what each button does, and the global properties panel's wheel.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/editor.h"
#include "app/editor_ui.h"
#include "app/panels.h"
#include "platform/platform.h"
#include "render/shader.h"
#include "render/targets.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"
#include "ui/quad.h"

namespace {

std::string text(String s) { return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length); }

struct Expected {
    int32_t icon;
    Vec4 Theme::*color;
    bool toggle_on;
};

class Toolbar : public ::testing::Test {
protected:
    bool started = false;
    void SetUp() override {
        if (!harness_has_display()) GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
        started = harness_start();
        ASSERT_TRUE(started);
        harness_mouse_move(700, 700);   // nothing hovered
        ASSERT_TRUE(harness_frames(2));
    }
    void TearDown() override {
        if (started) harness_stop();
    }
    float size() const { return 2 * (float)editor.theme.scale; }
    // The gizmo buttons follow the selection's gizmo, which the scene pass
    // shows only while a visible object is selected.
    void select_an_object() {
        int64_t id = scene_create_object(OBJECT_QUAD, Transform{Vec3{0, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}});
        ASSERT_GE(id, 0);
        editor.scene.rows.data[editor.scene.rows.count - 1].selected = true;
    }
    float gap() const { return (float)editor.theme.offset; }
    int32_t height() const { return editor.window_height; }

    bool click(float x) {
        int32_t y = (int32_t)(size() / 2);
        harness_mouse_move((int32_t)x, y);
        harness_frames();
        harness_mouse_down(MOUSE_PRIMARY, (int32_t)x, y);
        harness_frames();
        harness_mouse_up(MOUSE_PRIMARY, (int32_t)x, y);
        bool running = harness_frames();
        harness_mouse_move(700, 700);
        return running && harness_frames();
    }

    // A frame drawn with the pointer away from the strip: tests that run side
    // by side on one X server share its pointer, and a stray motion would
    // leave a hover mark on some button.
    void frame_without_hover() {
        for (int attempt = 0; attempt < 20; attempt++) {
            harness_mouse_move(700, 700);
            ASSERT_TRUE(harness_frames());
            if (editor.mouse_y < (float)height() - size()) return;
        }
        FAIL() << "the pointer never left the toolbar";
    }
    // Wheel notches with the pointer at (x, y) from the top; the frame is
    // taken again from the same position when a stray motion moved it.
    void wheel_at(int32_t x, int32_t y, int32_t steps, Scrollbar* (*bar)()) {
        float before = bar()->position;
        for (int attempt = 0; attempt < 20; attempt++) {
            bar()->position = before;
            harness_mouse_move(x, y);
            harness_mouse_wheel(steps);
            ASSERT_TRUE(harness_frames());
            if (editor.mouse_x == (float)x && editor.mouse_y == (float)(height() - y)) return;
        }
        FAIL() << "the pointer never stayed at " << x << ", " << y;
    }

    std::vector<float> strip() {
        int32_t w = editor.window_width, h = (int32_t)size();
        std::vector<float> pixels((size_t)w * h * 4);
        harness_read_pixels(editor.render.scene_target.frame_buffer, 0, height() - h, w, h, 6, pixels.data());
        return pixels;
    }

    // The strip as the table says it should look, drawn with the quad routine
    // over a freshly cleared strip of the scene image, read back.
    std::vector<float> reference(const std::vector<std::vector<Expected>>& groups) {
        int32_t w = editor.window_width;
        float s = size();
        const Theme& theme = editor.theme;
        uint32_t white = editor.assets.icons[ICON_WHITE];
        frame_target_bind(&editor.render.scene_target);
        pipeline_viewport(0, 0, w, height());
        shader_program_use(&editor.render.simple);
        pipeline_depth_enable(false);
        pipeline_blend_enable(true);
        pipeline_blend_factor(3, 9);
        editor.projection_matrix = mat4_ortho(0, (float)w, 0, (float)height(), -1, 1);
        editor.view_matrix = mat4_identity();
        pipeline_scissor_enable(true);
        pipeline_scissor(0, height() - (int32_t)s, w, (int32_t)s);
        Vec4 background = color_to_linear(editor.scene.settings.background, editor.gamma_value);
        pipeline_clear_color(background.x, background.y, background.z, background.w);
        pipeline_clear(CLEAR_COLOR);
        pipeline_scissor_enable(false);
        float y = (float)height() - s;
        quad_draw(white, theme.panel_background, 0, y, (float)w, s);
        float x = 0;
        for (const std::vector<Expected>& group : groups) {
            for (const Expected& button : group) {
                quad_draw(white, theme.color, x, y, s, s);
                quad_draw(editor.assets.icons[button.icon], theme.*button.color, x, y, s, s);
                if (button.toggle_on) quad_draw(white, theme.selection_color, x, y, s, s);
                x += s;
            }
            x += gap();
        }
        return strip();
    }

    // Every pixel of the strip equals the reference; a mismatch names its x.
    void expect_same(const std::vector<float>& got, const std::vector<float>& want) {
        ASSERT_EQ(got.size(), want.size());
        int32_t w = editor.window_width;
        int64_t mismatches = 0;
        int32_t first_x = -1;
        for (size_t i = 0; i < got.size(); i++) {
            if (std::fabs(got[i] - want[i]) > 1e-3f) {
                if (first_x < 0) first_x = (int32_t)((i / 4) % (size_t)w);
                mismatches++;
            }
        }
        EXPECT_EQ(mismatches, 0) << "first differing column x = " << first_x;
    }
};

const std::vector<Expected> FILE_GROUP = {
    {ICON_NEW, &Theme::new_color, false},
    {ICON_OPEN, &Theme::open_color, false},
    {ICON_SAVE, &Theme::save_color, false},
    {ICON_EXPORT, &Theme::export_color, false},
};
const std::vector<Expected> PANEL_GROUP = {
    {ICON_SHOW_OBJECTS, &Theme::show_objects_colors, false},
    {ICON_SHOW_PROPERTIES, &Theme::show_properties_color, false},
    {ICON_SETTINGS, &Theme::show_global_properties_color, false},
};

TEST_F(Toolbar, PixelsFollowTheTable) {
    frame_without_hover();
    std::vector<float> drawn = strip();
    std::vector<std::vector<Expected>> groups = {
        FILE_GROUP,
        {{ICON_SELECT_OBJECT, &Theme::placement_color, false},
         {ICON_CENTER_PIVOT, &Theme::pivot_color, false},
         {ICON_ADD_POINT, &Theme::path_object_color, false}},
        PANEL_GROUP,
    };
    expect_same(drawn, reference(groups));

    // The gap really is empty strip: the pixel after the file group is the
    // strip's color, the pixel before it a button's.
    int32_t w = editor.window_width;
    size_t row = (size_t)(size() / 2) * (size_t)w * 4;
    size_t in_gap = row + (size_t)(4 * size() + gap() / 2) * 4;
    size_t far_right = row + (size_t)(w - 2) * 4;
    size_t in_button = row + (size_t)(4 * size() - 2) * 4;
    EXPECT_EQ(drawn[in_gap + 2], drawn[far_right + 2]);
    EXPECT_NE(drawn[in_button + 2], drawn[far_right + 2]);
}

TEST_F(Toolbar, EveryGroupShownWithTheirMarks) {
    editor.scene.placement_mode = true;
    editor.scene.pivot_per_object = true;
    editor.tools.path_mode = true;
    select_an_object();
    editor.scene.gizmo_mode = 2;
    placement_template_set_kind(&editor.scene, OBJECT_MESH);
    frame_without_hover();
    std::vector<float> drawn = strip();
    std::vector<std::vector<Expected>> groups = {
        FILE_GROUP,
        {{ICON_PLACE_OBJECT, &Theme::placement_color, false},
         {ICON_OBJECT_PIVOT, &Theme::pivot_color, false},
         {ICON_ADD_POINT, &Theme::path_object_color, true}},
        {{ICON_TRANSLATE, &Theme::position_color, false},
         {ICON_ROTATE, &Theme::rotation_color, false},
         {ICON_SCALE, &Theme::scale_color, true},
         {ICON_GIZMO_RECTANGLE, &Theme::rectangle_color, false}},
        {{ICON_QUAD, &Theme::quad_object_color, false},
         {ICON_TEXT, &Theme::text_object_color, false},
         {ICON_MESH, &Theme::mesh_object_color, true},
         {ICON_DATA, &Theme::data_object_color, false},
         {ICON_PATH, &Theme::path_object_color, false}},
        PANEL_GROUP,
    };
    expect_same(drawn, reference(groups));
}

TEST_F(Toolbar, GizmoButtonsOnlyWhileTheGizmoIsShown) {
    float first_gizmo = 7 * size() + 2 * gap() + size() / 2;
    editor.scene.gizmo_mode = 2;
    // Hidden: the slot holds the object list button instead.
    ASSERT_TRUE(click(first_gizmo));
    EXPECT_EQ(editor.scene.gizmo_mode, 2);
    ASSERT_EQ(editor.panels.list.count, 1);
    EXPECT_EQ(editor.panels.list.data[0].kind, PANEL_OBJECTS);

    select_an_object();
    ASSERT_TRUE(click(first_gizmo));
    EXPECT_EQ(editor.scene.gizmo_mode, 0);
    EXPECT_EQ(editor.panels.list.count, 1);
    ASSERT_TRUE(click(first_gizmo + 3 * size()));
    EXPECT_EQ(editor.scene.gizmo_mode, 3);
}

TEST_F(Toolbar, KindButtonsOnlyInPlacementMode) {
    float placement = 4 * size() + gap() + size() / 2;
    float first_kind = 7 * size() + 2 * gap() + size() / 2;
    ASSERT_TRUE(click(placement));
    ASSERT_TRUE(editor.scene.placement_mode);
    ASSERT_TRUE(click(first_kind + 4 * size()));
    EXPECT_EQ(editor.scene.placement_template.kind, OBJECT_PATH);
    EXPECT_EQ(editor.scene.placement_template.path.points.count, editor.scene.templates.path.points.count);
    ASSERT_TRUE(click(first_kind + 1 * size()));
    EXPECT_EQ(editor.scene.placement_template.kind, OBJECT_TEXT);
    EXPECT_EQ(editor.scene.placement_template.text.font, editor.scene.templates.text.font);
    EXPECT_EQ(editor.panels.list.count, 0);

    ASSERT_TRUE(click(placement));
    EXPECT_FALSE(editor.scene.placement_mode);
    ASSERT_TRUE(click(first_kind));   // the object list button again
    EXPECT_EQ(editor.scene.placement_template.kind, OBJECT_TEXT);
    EXPECT_EQ(editor.panels.list.count, 1);
}

TEST_F(Toolbar, ModeButtons) {
    float pivot = 5 * size() + gap() + size() / 2;
    float path = 6 * size() + gap() + size() / 2;
    ASSERT_TRUE(click(pivot));
    EXPECT_TRUE(editor.scene.pivot_per_object);
    editor.scene.placement_mode = true;
    ASSERT_TRUE(click(path));
    EXPECT_TRUE(editor.tools.path_mode);
    EXPECT_FALSE(editor.scene.placement_mode);
    ASSERT_TRUE(click(path));
    EXPECT_FALSE(editor.tools.path_mode);
}

TEST_F(Toolbar, PanelButtonsOpenANewPanelEachTime) {
    float objects = 7 * size() + 2 * gap() + size() / 2;
    const char* titles[3] = {"objects", "properties", "global properties"};
    for (int i = 0; i < 3; i++) ASSERT_TRUE(click(objects + (float)i * size()));
    ASSERT_TRUE(click(objects));
    ASSERT_EQ(editor.panels.list.count, 4);
    for (int i = 0; i < 4; i++) {
        const Panel& panel = editor.panels.list.data[i];
        EXPECT_EQ(panel.kind, i % 3);
        EXPECT_EQ(text(panel.title), titles[i % 3]);
        EXPECT_EQ(panel.position.x, 0);
        EXPECT_EQ(panel.position.y, 0);
        EXPECT_EQ(panel.size.x, 300);
        EXPECT_EQ(panel.size.y, 400);
    }
    EXPECT_NE(editor.panels.list.data[0].key, editor.panels.list.data[3].key);
}

Scrollbar* first_panel_scrollbar() {
    return &panel_content<PropertyPanelContent>(&editor.panels.list.data[0])->column->scrollbar;
}

TEST_F(Toolbar, GlobalPropertiesScrollByAnEighthANotch) {
    ASSERT_GE(editor_open_tool_panel(PANEL_GLOBAL_PROPERTIES), 0);
    EXPECT_EQ(first_panel_scrollbar()->position, 1);
    // Inside the area that takes the wheel, then over its left margin.
    wheel_at(150, height() - 200, -2, first_panel_scrollbar);
    EXPECT_FLOAT_EQ(first_panel_scrollbar()->position, 0.75f);
    wheel_at(5, height() - 200, -1, first_panel_scrollbar);
    EXPECT_FLOAT_EQ(first_panel_scrollbar()->position, 0.75f);
    wheel_at(150, height() - 200, -20, first_panel_scrollbar);
    EXPECT_FLOAT_EQ(first_panel_scrollbar()->position, 0);
}

}  // namespace
