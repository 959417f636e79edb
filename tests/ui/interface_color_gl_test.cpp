// Interface colors on their way to the window: the real program composes a
// frame into the linear scene image and the gamma pass raises it back, so a
// theme, palette or tint color must show as given, within one 8-bit step.
#include <cmath>

#include <gtest/gtest.h>

#include "app/editor.h"
#include "app/panels.h"
#include "platform/platform.h"
#include "render/targets.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"
#include "ui/text.h"
#include "ui/widgets.h"

namespace {

class InterfaceColorGlTest : public EditorTest {
protected:
    void SetUp() override {
        if (!set_up_started()) return;
        editor.scene.settings.background = Vec4{0, 0, 0, 1};
    }

    // After a frame the scene image still holds it: more interface may be
    // drawn on top, then the final pass writes what the window would show.
    void draw_over_frame(void (*body)()) {
        frame_target_bind(&editor.render.scene_target);
        shader_program_use(&editor.render.simple);
        pipeline_depth_enable(false);
        pipeline_blend_enable(true);
        pipeline_blend_factor(3, 9);
        editor.projection_matrix = mat4_ortho(0, (float)editor.window_width, 0, (float)editor.window_height, -1, 1);
        editor.view_matrix = mat4_identity();
        body();
    }

    static void expect_shown(HarnessPixel p, Vec4 color, const char* what) {
        SCOPED_TRACE(what);
        EXPECT_LE(std::fabs(p.r - color.x * 255), 1.0f) << (int)p.r;
        EXPECT_LE(std::fabs(p.g - color.y * 255), 1.0f) << (int)p.g;
        EXPECT_LE(std::fabs(p.b - color.z * 255), 1.0f) << (int)p.b;
    }
};

TEST_F(InterfaceColorGlTest, PanelBackgroundShowsAsTheThemeValue) {
    const Vec4 grey{0.5f, 0.5f, 0.5f, 1};
    editor.theme.panel_background = grey;
    ASSERT_GE(panel_open(PANEL_OBJECTS, S("objects"), Vec2{100, 100}, Vec2{300, 400}), 0);
    ASSERT_TRUE(harness_frames(1));
    final_pass_to_window();
    expect_shown(harness_pixel(0, 250, 300), grey, "panel body");
}

TEST_F(InterfaceColorGlTest, ButtonsAndIconTintsShowAsGiven) {
    ASSERT_TRUE(harness_frames(1));
    draw_over_frame([] {
        ButtonState text_state{}, icon_state{};
        text_button(&text_state, Vec4{600, 300, 80, 40}, S(""));
        icon_button(&icon_state, Vec4{700, 300, 40, 40}, editor.assets.icons[ICON_WHITE], editor.palette[COLOR_GRAY]);
        editor.theme.color = Vec4{0.8f, 0.2f, 0.6f, 1};
        text_button(&text_state, Vec4{800, 300, 80, 40}, S(""));
    });
    final_pass_to_window();
    expect_shown(harness_pixel(0, 640, 320), Vec4{0.3f, 0.3f, 1, 1}, "default widget base");
    expect_shown(harness_pixel(0, 720, 320), Vec4{0.5f, 0.5f, 0.5f, 1}, "icon tinted grey");
    expect_shown(harness_pixel(0, 840, 320), Vec4{0.8f, 0.2f, 0.6f, 1}, "a theme value set by hand");
}

TEST_F(InterfaceColorGlTest, LabelPixelsAreTheWhiteLabelTimesTheTextColor) {
    ASSERT_TRUE(harness_frames(1));
    // Over black, a glyph texel of coverage a shows a white label as a^(1/2.2)
    // and a label of color c as c times that, when c is made linear.
    draw_over_frame([] {
        Font* font = &editor.assets.default_font;
        text_draw_now(font, Vec4{1, 1, 1, 1}, S("IWg"), 600, 300, 4, 4, ALIGN_LEFT, ALIGN_BOTTOM);
        text_draw_now(font, Vec4{0.5f, 0.75f, 0.25f, 1}, S("IWg"), 600, 500, 4, 4, ALIGN_LEFT, ALIGN_BOTTOM);
    });
    final_pass_to_window();
    static HarnessPixel white[200 * 150], colored[200 * 150];
    harness_read_pixels(0, 600, 300, 200, 150, 0, white);
    harness_read_pixels(0, 600, 500, 200, 150, 0, colored);
    int lit = 0;
    float worst = 0;
    for (int i = 0; i < 200 * 150; i++) {
        if (white[i].g > 0) lit++;
        worst = std::fmax(worst, std::fabs(colored[i].r - white[i].r * 0.5f));
        worst = std::fmax(worst, std::fabs(colored[i].g - white[i].g * 0.75f));
        worst = std::fmax(worst, std::fabs(colored[i].b - white[i].b * 0.25f));
    }
    EXPECT_GT(lit, 200);
    EXPECT_LE(worst, 1.5f);
}

}  // namespace
