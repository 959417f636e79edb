// The picker's color rules and drags without a window: the six hue sectors
// and their seams, greys and black, the way back from RGB, and drags that
// start only inside a part and clamp outside it.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "ui/color_picker.h"

namespace {

void expect_color(Vec4 actual, Vec4 expected, float tolerance = 1e-6f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
    EXPECT_NEAR(actual.w, expected.w, tolerance);
}

TEST(ColorFromHsv, HueOneIsTheRedOfHueZero) {
    Vec4 zero = color_from_hsv(0, 1, 1, 1);
    Vec4 one = color_from_hsv(1, 1, 1, 1);
    expect_color(zero, Vec4{1, 0, 0, 1}, 0);
    expect_color(one, zero, 0);
}

TEST(ColorFromHsv, EachSectorHasItsPrimaryOrSecondaryAtItsStart) {
    const Vec4 starts[6] = {{1, 0, 0, 1}, {1, 1, 0, 1}, {0, 1, 0, 1}, {0, 1, 1, 1}, {0, 0, 1, 1}, {1, 0, 1, 1}};
    for (int k = 0; k < 6; k++) {
        SCOPED_TRACE(k);
        expect_color(color_from_hsv(k / 6.0f, 1, 1, 1), starts[k], 1e-5f);
        // Halfway through a sector the rising or falling channel is at half.
        Vec4 mid = color_from_hsv((k + 0.5f) / 6.0f, 1, 1, 1);
        float channels[3] = {mid.x, mid.y, mid.z};
        int halves = 0;
        for (float c : channels) halves += std::fabs(c - 0.5f) < 1e-5f;
        EXPECT_EQ(halves, 1);
    }
}

TEST(ColorFromHsv, SaturationZeroIsGreyAndValueZeroIsBlackForEveryHue) {
    for (float hue : {0.0f, 0.1f, 0.3f, 0.5f, 0.7f, 0.9f, 1.0f}) {
        SCOPED_TRACE(hue);
        expect_color(color_from_hsv(hue, 0, 0.4f, 0.25f), Vec4{0.4f, 0.4f, 0.4f, 0.25f}, 0);
        expect_color(color_from_hsv(hue, 0.8f, 0, 1), Vec4{0, 0, 0, 1}, 0);
    }
}

TEST(ColorFromHsv, AHueInNoSectorGivesOpaqueBlack) {
    expect_color(color_from_hsv(NAN, 1, 1, 0.5f), Vec4{0, 0, 0, 1}, 0);
    expect_color(color_from_hsv(INFINITY, 1, 1, 0.5f), Vec4{0, 0, 0, 1}, 0);
}

TEST(ColorToHsv, RoundTripsThroughEverySectorAndKeepsAlpha) {
    const Vec4 colors[] = {{0.9f, 0.2f, 0.1f, 1},  {0.7f, 0.8f, 0.1f, 0.5f}, {0.1f, 0.6f, 0.3f, 0.2f},
                           {0.1f, 0.5f, 0.9f, 1},  {0.4f, 0.1f, 0.8f, 1},    {0.9f, 0.1f, 0.5f, 0},
                           {0.3f, 0.3f, 0.3f, 1},  {0, 0, 0, 1}};
    for (const Vec4& c : colors) {
        Vec4 hsv = color_to_hsv(c);
        EXPECT_GE(hsv.x, 0);
        EXPECT_LT(hsv.x, 1);
        expect_color(color_from_hsv(hsv.x, hsv.y, hsv.z, hsv.w), c, 1e-5f);
    }
}

TEST(ColorToHsv, GreyHasHueZeroAndBlackSaturationZero) {
    Vec4 grey = color_to_hsv(Vec4{0.5f, 0.5f, 0.5f, 1});
    EXPECT_EQ(grey.x, 0);
    EXPECT_EQ(grey.y, 0);
    EXPECT_EQ(grey.z, 0.5f);
    Vec4 black = color_to_hsv(Vec4{0, 0, 0, 0.3f});
    EXPECT_EQ(black.y, 0);
    EXPECT_EQ(black.z, 0);
    EXPECT_EQ(black.w, 0.3f);
}

// A 480 x 456 content rectangle at (100, 50) with unit 24 and spacing 8.
ColorPickerLayout layout_of_test() { return color_picker_layout(Vec4{100, 50, 480, 456}, 24, 8); }

TEST(ColorPickerLayout, PartsFromTheUnitAndSpacing) {
    ColorPickerLayout l = layout_of_test();
    // inner left 108, bottom 50 + 16 + 24 = 90, width 464, height 456 - 24 - 24 = 408
    expect_color(l.square, Vec4{108, 90, 416, 408}, 0);
    expect_color(l.hue_strip, Vec4{524, 90, 24, 408}, 0);
    expect_color(l.alpha_strip, Vec4{548, 90, 24, 408}, 0);
    expect_color(l.ok, Vec4{108, 58, 48, 24}, 0);
    expect_color(l.preview, Vec4{548, 58, 24, 24}, 0);
}

PointerInput at(float x, float y, bool pressed = false, bool released = false) {
    return PointerInput{x, y, true, pressed, !released, released};
}

TEST(ColorPickerDrag, SquareDragSetsSaturationAndValueAndClampsBeyondItsEdges) {
    ColorPickerLayout l = layout_of_test();
    ColorPicker picker = color_picker_make(Vec4{1, 0, 0, 1}, ColorBinding{});
    color_picker_drag(&picker, l, at(108 + 104, 90 + 102, true));
    EXPECT_EQ(picker.dragging_square, 1);
    EXPECT_FLOAT_EQ(picker.saturation, 0.25f);
    EXPECT_FLOAT_EQ(picker.value, 0.25f);
    color_picker_drag(&picker, l, at(2000, 2000));
    EXPECT_EQ(picker.saturation, 1);
    EXPECT_EQ(picker.value, 1);
    color_picker_drag(&picker, l, at(-50, -50));
    EXPECT_EQ(picker.saturation, 0);
    EXPECT_EQ(picker.value, 0);
    // The release ends the drag where it is; later motion changes nothing.
    color_picker_drag(&picker, l, at(300, 300, false, true));
    EXPECT_EQ(picker.dragging_square, 0);
    color_picker_drag(&picker, l, at(300, 300));
    EXPECT_EQ(picker.saturation, 0);
    EXPECT_EQ(picker.hue, 0);
}

TEST(ColorPickerDrag, StripsTakeTheHeightAndStartOnlyInsideHalfOpenBounds) {
    ColorPickerLayout l = layout_of_test();
    ColorPicker picker = color_picker_make(Vec4{1, 0, 0, 1}, ColorBinding{});
    // The square's right edge belongs to the hue strip, the hue strip's to alpha.
    color_picker_drag(&picker, l, at(524, 90 + 204, true));
    EXPECT_EQ(picker.dragging_square, 0);
    EXPECT_EQ(picker.dragging_hue, 1);
    EXPECT_EQ(picker.dragging_alpha, 0);
    EXPECT_FLOAT_EQ(picker.hue, 0.5f);
    color_picker_drag(&picker, l, at(524, 5000));
    EXPECT_EQ(picker.hue, 1);
    color_picker_drag(&picker, l, at(524, 300, false, true));

    color_picker_drag(&picker, l, at(548, 90 + 102, true));
    EXPECT_EQ(picker.dragging_alpha, 1);
    EXPECT_FLOAT_EQ(picker.alpha, 0.25f);
    color_picker_drag(&picker, l, at(548, 0));
    EXPECT_EQ(picker.alpha, 0);
    color_picker_drag(&picker, l, at(548, 0, false, true));

    // Presses on the top edge, beside the strips or on "ok" start nothing.
    ColorPicker before = picker;
    color_picker_drag(&picker, l, at(200, 90 + 408, true));
    color_picker_drag(&picker, l, at(572, 200, true));
    color_picker_drag(&picker, l, at(110, 60, true));
    EXPECT_EQ(picker.dragging_square + picker.dragging_hue + picker.dragging_alpha, 0);
    EXPECT_EQ(picker.saturation, before.saturation);
    EXPECT_EQ(picker.hue, before.hue);
}

TEST(ColorPickerDrag, AZeroSizedSquareClampsInsteadOfSpreadingNotANumber) {
    ColorPickerLayout l = color_picker_layout(Vec4{0, 0, 48, 56}, 24, 8);
    ColorPicker picker{};
    picker.dragging_square = 1;
    color_picker_drag(&picker, l, at(8, 40));
    EXPECT_EQ(picker.saturation, 0);
    EXPECT_FALSE(std::isnan(picker.value));
}

}  // namespace

namespace {

TEST(ColorPickerColor, GivesTheStartColorBackExactlyUntilADragMovesSomething) {
    const Vec4 start{0.35f, 0.1f, 0.7f, 0.6f};
    ColorPicker picker = color_picker_make(start, ColorBinding{});
    Vec4 shown = color_picker_color(&picker);
    EXPECT_EQ(std::memcmp(&shown, &start, sizeof start), 0);
    // A press outside every part is no drag.
    ColorPickerLayout l = layout_of_test();
    color_picker_drag(&picker, l, at(110, 60, true));
    shown = color_picker_color(&picker);
    EXPECT_EQ(std::memcmp(&shown, &start, sizeof start), 0);
    color_picker_drag(&picker, l, at(548, 90 + 408 * 0.6f, true));
    EXPECT_EQ(picker.moved, 1);
    Vec4 moved = color_picker_color(&picker);
    expect_color(moved, Vec4{0.35f, 0.1f, 0.7f, picker.alpha}, 1e-5f);
}

}  // namespace
