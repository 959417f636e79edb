// Toolbar buttons in a real window under real SDL events.
#include "ui/widgets_gl_frame.h"
#include "ui/widgets.h"

namespace {

class WidgetsGlTest : public UiFrameTest {};

TEST_F(WidgetsGlTest, ToolbarButtonsSitInARowAndOnlyTheOneUnderThePointerClicks) {
    ButtonState buttons[3]{};
    int clicks[3] = {0, 0, 0};
    float cursor_after = 0;
    auto toolbar = [&] {
        toolbar_begin();
        Vec4 white = {1, 1, 1, 1};
        uint32_t icon = editor.assets.icons[ICON_NEW];
        if (toolbar_button(&buttons[0], icon, icon, false, white)) clicks[0]++;
        toolbar_gap();
        if (toolbar_toggle(&buttons[1], icon, white, true)) clicks[1]++;
        if (toolbar_button(&buttons[2], icon, icon, true, white)) clicks[2]++;
        cursor_after = editor.toolbar.cursor_x;
        toolbar_end();
    };
    float size = 2 * editor.theme.scale;
    float second_x = size + editor.theme.offset + size / 2;
    float y = (float)editor.window_height - size / 2;
    move(second_x, y);
    frame(toolbar);
    EXPECT_EQ(buttons[1].state, BUTTON_HOVERED);
    EXPECT_EQ(buttons[0].state, BUTTON_IDLE);
    down(second_x, y);
    frame(toolbar);
    up(second_x, y);
    frame(toolbar);
    EXPECT_EQ(clicks[0], 0);
    EXPECT_EQ(clicks[1], 1);
    EXPECT_EQ(clicks[2], 0);
    EXPECT_FLOAT_EQ(cursor_after, 3 * size + editor.theme.offset);
    EXPECT_EQ(editor.input_enable_stack.count, 1);   // the strip's entry was popped
}

}  // namespace
