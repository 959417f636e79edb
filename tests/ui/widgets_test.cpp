// The button state machine and the scrollbar, scripted frame by frame with
// hand-built pointer records and checked at every step.
#include <gtest/gtest.h>

#include "ui/widgets.h"

namespace {

const Vec4 RECT = {10, 10, 20, 20};

struct Step {
    float x, y;
    bool pressed, held, released;
    bool enabled;
    uint8_t state, armed, clicked;
};

PointerInput pointer_of(const Step& s) { return PointerInput{s.x, s.y, s.enabled, s.pressed, s.held, s.released}; }

void run(std::initializer_list<Step> steps) {
    ButtonState button{};
    int frame = 0;
    for (const Step& s : steps) {
        button_update_with(&button, RECT, pointer_of(s));
        EXPECT_EQ(button.state, s.state) << "frame " << frame;
        EXPECT_EQ(button.armed, s.armed) << "frame " << frame;
        EXPECT_EQ(button.clicked, s.clicked) << "frame " << frame;
        frame++;
    }
}

//            x   y   press  held   release enabled  state armed clicked
TEST(Button, PressInsideLeaveAndReleaseBackInsideClicks) {
    run({
        {0, 0, false, false, false, true, BUTTON_IDLE, 0, 0},
        {15, 15, false, false, false, true, BUTTON_HOVERED, 0, 0},
        {15, 15, true, true, false, true, BUTTON_HELD, 1, 0},
        {50, 50, false, true, false, true, BUTTON_HELD, 1, 0},
        {15, 15, false, false, true, true, BUTTON_IDLE, 0, 1},
        {15, 15, false, false, false, true, BUTTON_HOVERED, 0, 0},
    });
}

TEST(Button, PressOutsideReleaseInsideClicksWithoutHoverOnTheWay) {
    run({
        {0, 0, true, true, false, true, BUTTON_IDLE, 0, 0},
        {15, 15, false, true, false, true, BUTTON_IDLE, 0, 0},
        {15, 15, false, false, true, true, BUTTON_IDLE, 0, 1},
    });
}

TEST(Button, PressInsideReleasedOutsideDoesNotClick) {
    run({
        {15, 15, true, true, false, true, BUTTON_HELD, 1, 0},
        {50, 50, false, false, true, true, BUTTON_IDLE, 0, 0},
        {15, 15, false, false, false, true, BUTTON_HOVERED, 0, 0},
    });
}

TEST(Button, DisabledAreaNeitherHoversNorClicksButReleaseDisarms) {
    run({
        {15, 15, false, false, false, false, BUTTON_IDLE, 0, 0},
        {15, 15, true, true, false, false, BUTTON_IDLE, 0, 0},
        {15, 15, false, false, true, false, BUTTON_IDLE, 0, 0},
        {15, 15, true, true, false, true, BUTTON_HELD, 1, 0},
        {15, 15, false, true, false, false, BUTTON_HELD, 1, 0},   // armed stays through the disabled frame
        {15, 15, false, false, true, false, BUTTON_IDLE, 0, 0},
    });
}

TEST(Button, EdgesAreLeftAndBottomInclusive) {
    EXPECT_TRUE(rect_contains(RECT, 10, 10));
    EXPECT_FALSE(rect_contains(RECT, 30, 15));
    EXPECT_FALSE(rect_contains(RECT, 15, 30));
}

TEST(Scrollbar, DragMovesThePositionAndContinuesWhenTheAreaIsDisabled) {
    Vec4 track = {0, 0, 10, 200};
    Scrollbar bar{};
    bar.visible_fraction = 0.5f;   // thumb 100 long, 100 of travel
    bar.min_thumb = 20;
    Vec4 thumb = scrollbar_thumb(&bar, track);
    EXPECT_FLOAT_EQ(thumb.y, 0);
    EXPECT_FLOAT_EQ(thumb.w, 100);

    EXPECT_TRUE(scrollbar_step(&bar, track, PointerInput{5, 50, true, true, true, false}));
    EXPECT_TRUE(bar.dragging);
    scrollbar_step(&bar, track, PointerInput{5, 80, false, false, true, false});   // disabled: still drags
    EXPECT_FLOAT_EQ(bar.position, 0.3f);
    scrollbar_step(&bar, track, PointerInput{5, 400, true, false, true, false});
    EXPECT_FLOAT_EQ(bar.position, 1);   // clamped
    scrollbar_step(&bar, track, PointerInput{5, 60, true, false, false, true});
    EXPECT_FALSE(bar.dragging);
    EXPECT_FLOAT_EQ(bar.position, 0.1f);
    scrollbar_step(&bar, track, PointerInput{5, 0, true, false, false, false});
    EXPECT_FLOAT_EQ(bar.position, 0.1f);   // released: no longer follows
}

TEST(Scrollbar, FittingContentAndFullLengthThumbsLeaveThePositionAlone) {
    Vec4 track = {0, 0, 10, 200};
    Scrollbar bar{};
    bar.position = 0.7f;
    bar.visible_fraction = 1;
    EXPECT_FALSE(scrollbar_step(&bar, track, PointerInput{5, 150, true, true, true, false}));
    EXPECT_FALSE(bar.dragging);
    EXPECT_FLOAT_EQ(bar.position, 0.7f);

    bar.visible_fraction = 0.1f;
    bar.min_thumb = 300;   // longer than the track: no travel
    scrollbar_step(&bar, track, PointerInput{5, 50, true, true, true, false});
    scrollbar_step(&bar, track, PointerInput{5, 90, true, false, true, false});
    EXPECT_FLOAT_EQ(bar.position, 0.7f);
}

}  // namespace
