// Floating panels in a real window under real SDL events: title drags,
// resizing from every corner and edge down to the minimum, minimise, close,
// raising a lower panel, and no pointer input for panels under another.
#include "app/panels.h"
#include "ui/widgets_gl_frame.h"

namespace {

// Each panel's content: one text button kept in the panel's own record.
int clicks_by_key[16];

void button_content(int64_t index, Vec4 rect) {
    Panel* panel = &editor.panels.list.data[index];
    ButtonState* button = panel_content<ButtonState>(panel);
    if (text_button(button, Vec4{rect.x + 20, rect.y + 50, 100, 30}, S("ok"))) clicks_by_key[panel->key & 15]++;
}

class PanelsGlTest : public UiFrameTest {
protected:
    void SetUp() override {
        UiFrameTest::SetUp();
        for (int& count : clicks_by_key) count = 0;
    }
    void step(int count = 1) {
        frames(count, [] {
            toolbar_begin();
            toolbar_end();
            panels_update();
            panels_draw(button_content);
        });
    }
    void drag(float x0, float y0, float x1, float y1) {
        move(x0, y0);
        step();
        down(x0, y0);
        step();
        move((x0 + x1) / 2, (y0 + y1) / 2);
        step();
        move(x1, y1);
        step();
        up(x1, y1);
        step();
    }
    Panel& at(int64_t i) { return editor.panels.list.data[i]; }
};

TEST_F(PanelsGlTest, TitleDragMovesThePanel) {
    panel_open(PANEL_OBJECTS, S("objects"), Vec2{100, 100}, Vec2{300, 400});
    drag(200, 488, 300, 438);
    EXPECT_FLOAT_EQ(at(0).position.x, 200);
    EXPECT_FLOAT_EQ(at(0).position.y, 50);
    EXPECT_FALSE(editor.panels.moving);
}

TEST_F(PanelsGlTest, EveryCornerAndEdgeResizesDownToTheMinimum) {
    panel_open(PANEL_OBJECTS, S("objects"), Vec2{300, 200}, Vec2{300, 300});
    struct Handle { float fx, fy; float dx, dy; const char* name; };
    // Handle point as a fraction of the panel, and the inward direction.
    const Handle handles[] = {
        {0, 0.5f, 1, 0, "left"},    {1, 0.5f, -1, 0, "right"},   {0.5f, 0, 0, 1, "bottom"},
        {0.5f, 1, 0, -1, "top"},    {0, 0, 1, 1, "bottom-left"}, {1, 0, -1, 1, "bottom-right"},
        {0, 1, 1, -1, "top-left"},  {1, 1, -1, -1, "top-right"},
    };
    for (const Handle& h : handles) {
        Panel& panel = at(0);
        panel.position = Vec2{300, 200};
        panel.size = Vec2{300, 300};
        panel_layout(&panel);
        float right = 600, top = 500;
        float x = 300 + h.fx * 300, y = 200 + h.fy * 300;
        drag(x, y, x + h.dx * 400, y + h.dy * 400);
        Panel& after = at(0);
        SCOPED_TRACE(h.name);
        EXPECT_FLOAT_EQ(after.size.x, h.dx != 0 ? 200 : 300);
        EXPECT_FLOAT_EQ(after.size.y, h.dy != 0 ? 200 : 300);
        // The side opposite the dragged one stays where it was.
        if (h.dx > 0) { EXPECT_FLOAT_EQ(after.position.x + after.size.x, right); }
        if (h.dx < 0) { EXPECT_FLOAT_EQ(after.position.x, 300); }
        if (h.dy > 0) { EXPECT_FLOAT_EQ(after.position.y + after.size.y, top); }
        if (h.dy < 0) { EXPECT_FLOAT_EQ(after.position.y, 200); }
    }
}

TEST_F(PanelsGlTest, MinimiseThenClose) {
    panel_open(PANEL_OBJECTS, S("objects"), Vec2{100, 100}, Vec2{300, 400});
    move(360, 488);   // minimise square: x + w - 2t .. x + w - t
    step();
    EXPECT_EQ(editor.panels.hovered_panel, 0);
    EXPECT_TRUE(editor.panels.over_minimize);
    down(360, 488);
    step();
    up(360, 488);
    step();
    EXPECT_TRUE(at(0).collapsed);
    // Collapsed, the body no longer takes the pointer.
    EXPECT_TRUE(panel_owns_point(-1, 200, 300));
    down(390, 488);   // close square
    step();
    up(390, 488);
    step();
    EXPECT_EQ(editor.panels.list.count, 0);
}

TEST_F(PanelsGlTest, ClickOnALowerTitleBringsItToTheTop) {
    panel_open(PANEL_OBJECTS, S("objects"), Vec2{100, 100}, Vec2{300, 400});
    panel_open(PANEL_PROPERTIES, S("properties"), Vec2{250, 50}, Vec2{300, 400});
    int64_t lower = at(0).key;
    move(150, 488);
    step();
    down(150, 488);
    step();
    up(150, 488);
    step();
    EXPECT_EQ(at(1).key, lower);
}

TEST_F(PanelsGlTest, PanelsUnderAnotherGetNoPointerInput) {
    panel_open(PANEL_OBJECTS, S("objects"), Vec2{100, 100}, Vec2{400, 400});      // button 120..220 x 150..180
    panel_open(PANEL_PROPERTIES, S("properties"), Vec2{150, 120}, Vec2{300, 200});
    int64_t lower = at(0).key;
    move(170, 160);   // over the lower button, but the upper panel covers it
    step();
    EXPECT_EQ(panel_content<ButtonState>(&at(0))->state, BUTTON_IDLE);
    down(170, 160);
    step();
    up(170, 160);
    step();
    EXPECT_EQ(clicks_by_key[lower & 15], 0);

    move(130, 160);   // the uncovered part of the same button
    step();
    EXPECT_EQ(panel_content<ButtonState>(&at(0))->state, BUTTON_HOVERED);
    down(130, 160);
    step();
    up(130, 160);
    step();
    EXPECT_EQ(clicks_by_key[lower & 15], 1);
}

}  // namespace
