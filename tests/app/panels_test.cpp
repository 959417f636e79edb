// The panel stack's main-loop step scripted with hand-built pointer frames:
// ownership, resizing to the minimum, the toolbar limit, raising by the
// title, closing, and scaling on a window resize.
#include <gtest/gtest.h>

#include "app/editor.h"
#include "app/panels.h"
#include "support/pool_fixture.h"

namespace {

class PanelsTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        editor.panels = PanelState{};
        editor.panels.list = array_make<Panel>(POOL_PERSISTENT);
        editor.theme.scale = 24;           // title 24, handles 12
        editor.window_width = 1024;
        editor.window_height = 768;
        editor.toolbar.height = 48;
    }
    void TearDown() override {
        editor.panels = PanelState{};
        PoolTest::TearDown();
    }
    int64_t open(float x, float y, float w, float h) {
        return panel_open(PANEL_OBJECTS, S("objects"), Vec2{x, y}, Vec2{w, h});
    }
    Panel& at(int64_t i) { return editor.panels.list.data[i]; }
    // One frame: press, drag, release.
    void frame(float x, float y, bool pressed, bool held, bool released) {
        panels_update_with(PointerInput{x, y, true, pressed, held, released});
    }
    void drag(float x0, float y0, float x1, float y1) {
        frame(x0, y0, true, true, false);
        frame(x1, y1, false, true, false);
        frame(x1, y1, false, false, true);
    }
};

TEST_F(PanelsTest, OwnershipGoesToTheTopmostPanelUnderThePoint) {
    open(0, 0, 300, 400);
    open(100, 100, 300, 400);
    int64_t lower = at(0).key, upper = at(1).key;
    EXPECT_FALSE(panel_owns_point(lower, 150, 150));
    EXPECT_TRUE(panel_owns_point(upper, 150, 150));
    EXPECT_TRUE(panel_owns_point(lower, 50, 50));
    EXPECT_FALSE(panel_owns_point(-1, 50, 50));
    EXPECT_TRUE(panel_owns_point(-1, 600, 600));
    EXPECT_FALSE(panel_owns_point(-1, 403, 200));   // inside the outer half of a handle
    // A collapsed panel keeps only its title bar.
    at(1).collapsed = true;
    EXPECT_TRUE(panel_owns_point(lower, 150, 150));
    EXPECT_FALSE(panel_owns_point(lower, 150, 490));
}

TEST_F(PanelsTest, LeftEdgeStopsAtTheMinimumWithTheRightSideStill) {
    open(100, 100, 300, 400);
    drag(100, 300, 350, 300);
    EXPECT_FLOAT_EQ(at(0).size.x, 200);
    EXPECT_FLOAT_EQ(at(0).position.x + at(0).size.x, 400);
    // Bottom-left corner: both minimums, top-right corner still.
    drag(200, 100, 390, 480);
    EXPECT_FLOAT_EQ(at(0).size.y, 200);
    EXPECT_FLOAT_EQ(at(0).position.y + at(0).size.y, 500);
    EXPECT_FLOAT_EQ(at(0).position.x + at(0).size.x, 400);
}

TEST_F(PanelsTest, TheTopStaysBelowTheToolbar) {
    open(100, 100, 300, 400);   // top at 500, limit 720
    drag(200, 488, 200, 800);   // title: move up
    frame(200, 800, false, false, false);
    EXPECT_FLOAT_EQ(at(0).position.y + at(0).size.y, 720);
    // Pulling the top edge past the limit keeps the bottom where it was.
    float bottom = at(0).position.y;
    drag(250, 720, 250, 760);
    EXPECT_FLOAT_EQ(at(0).position.y, bottom);
    EXPECT_FLOAT_EQ(at(0).position.y + at(0).size.y, 720);
}

TEST_F(PanelsTest, TitlePressRaisesBySwappingWithTheTopmost) {
    open(0, 0, 300, 400);       // A: title 376..400
    open(500, 0, 300, 400);     // B
    open(500, 300, 300, 300);   // C, topmost
    int64_t a = at(0).key, b = at(1).key, c = at(2).key;
    frame(100, 390, true, true, false);
    EXPECT_EQ(at(0).key, c);
    EXPECT_EQ(at(1).key, b);
    EXPECT_EQ(at(2).key, a);
    EXPECT_TRUE(editor.panels.moving);
    frame(130, 380, false, true, false);
    EXPECT_FLOAT_EQ(at(2).position.x, 30);
    EXPECT_FLOAT_EQ(at(2).position.y, -10);
}

TEST_F(PanelsTest, PanelsUnderAnotherGetNoInputAndWaitToClose) {
    open(0, 0, 400, 400);       // lower: title 376..400
    open(50, 200, 300, 300);    // upper, covering part of that title
    at(0).kind = PANEL_SAVE_PROMPT;
    at(0).content[0] = 1;       // close request
    frame(200, 300, false, false, false);
    EXPECT_EQ(editor.panels.list.count, 2);
    frame(100, 390, true, true, false);   // on the lower title, under the upper panel
    EXPECT_FALSE(editor.panels.moving);
    EXPECT_EQ(at(0).kind, PANEL_SAVE_PROMPT);
    frame(380, 20, false, false, true);   // only the lower one is under the mouse
    EXPECT_EQ(editor.panels.list.count, 1);
}

TEST_F(PanelsTest, MinimiseAndCloseSquaresActOncePerPress) {
    open(0, 0, 300, 400);
    open(0, 0, 300, 400);   // exactly above: same close square
    frame(260, 390, true, true, false);   // minimise square of the top one
    EXPECT_TRUE(at(1).collapsed);
    EXPECT_FALSE(at(0).collapsed);
    frame(290, 390, true, true, false);   // close square
    ASSERT_EQ(editor.panels.list.count, 1);
    EXPECT_FALSE(at(0).collapsed);
}

TEST_F(PanelsTest, WindowResizeScalesEveryPanel) {
    open(100, 50, 300, 400);
    panels_scale(1024, 768, 2048, 768);
    EXPECT_FLOAT_EQ(at(0).position.x, 200);
    EXPECT_FLOAT_EQ(at(0).size.x, 600);
    EXPECT_FLOAT_EQ(at(0).position.y, 50);
    EXPECT_FLOAT_EQ(at(0).corner_points[CORNER_TOP_RIGHT].x, 800);
    panels_scale(2048, 768, 0, 0);   // a vanished window changes nothing
    EXPECT_FLOAT_EQ(at(0).size.x, 600);
}

TEST_F(PanelsTest, SavePromptIsCenteredWideAndCarriesItsPurpose) {
    int64_t index = save_prompt_open(true);
    ASSERT_GE(index, 0);
    Panel& panel = at(index);
    EXPECT_EQ(panel.kind, PANEL_SAVE_PROMPT);
    EXPECT_FLOAT_EQ(panel.position.x, 272);
    EXPECT_FLOAT_EQ(panel.position.y, 264);
    EXPECT_FLOAT_EQ(panel.min_size.x, 400);
    EXPECT_EQ(panel_content<SavePrompt>(&panel)->purpose, 1);
    EXPECT_EQ(save_prompt_open(true), 1);   // each request opens one more
    EXPECT_NE(at(0).key, at(1).key);
}

}  // namespace
