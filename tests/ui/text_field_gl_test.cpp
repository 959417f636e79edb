// Text fields in a real window driven by real SDL events: typing, Shift
// selection, Ctrl+C / Ctrl+V through the system clipboard, double-click word
// selection, drag selection, unfocusing by a click elsewhere, the caret.
#include <string>

#include "ui/widgets_gl_frame.h"
#include "ui/text.h"
#include "ui/text_field.h"

namespace {

const Vec4 RECT = {100, 300, 400, 24};

class TextFieldGlTest : public UiFrameTest {
protected:
    TextField field{};

    void step(int count = 1) {
        frames(count, [&] { text_field_update(&field, RECT); });
    }
    void click(float x, float y) {
        down(x, y);
        step();
        up(x, y);
        step();
    }
    std::string text() const { return std::string((const char*)field.text.data, (size_t)field.text.count); }
    // Window x of the byte offset in the (unscrolled) first line.
    float x_of(int32_t offset) {
        Font* font = editor.theme.font ? editor.theme.font : &editor.assets.default_font;
        text_font_bind(font);
        String before = {field.text.data, offset};
        return field.origin_x + text_measure(before, editor.theme.text_scale, editor.theme.text_scale).width;
    }
};

TEST_F(TextFieldGlTest, TypeSelectCopyAndPasteThroughTheClipboard) {
    field.single_line = true;
    click(RECT.x + 50, RECT.y + 12);
    ASSERT_TRUE(field.focused);
    EXPECT_GT(editor.text_focus, 0);

    harness_text("hello world");
    step();
    EXPECT_EQ(text(), "hello world");
    harness_key_down(KEY_SHIFT);
    for (int i = 0; i < 5; i++) {
        tap(KEY_LEFT);
        step();
    }
    harness_key_up(KEY_SHIFT);
    EXPECT_EQ(field.anchor, 11);
    EXPECT_EQ(field.cursor, 6);

    harness_key_down(KEY_CONTROL);
    tap(key_letter('C'));
    step();
    harness_key_up(KEY_CONTROL);
    tap(KEY_END);
    step();
    harness_key_down(KEY_CONTROL);
    tap(key_letter('V'));
    step();
    harness_key_up(KEY_CONTROL);
    step();
    EXPECT_EQ(text(), "hello worldworld");
    String clip = clipboard_get();
    EXPECT_EQ(std::string((const char*)clip.data, (size_t)clip.length), "world");
}

TEST_F(TextFieldGlTest, PastedLineBreaksVanishInASingleLineField) {
    field.single_line = true;
    clipboard_set(reinterpret_cast<const uint8_t*>("one\ntwo\n"), 8);
    click(RECT.x + 50, RECT.y + 12);
    harness_key_down(KEY_CONTROL);
    tap(key_letter('V'));
    step();
    harness_key_up(KEY_CONTROL);
    step();
    EXPECT_EQ(text(), "onetwo");
    EXPECT_EQ(field.cursor, 6);
}

TEST_F(TextFieldGlTest, DoubleClickSelectsAWordAndDragSelects) {
    field.single_line = true;
    text_field_set_text(&field, S("alpha beta gamma"));
    step();
    float beta = x_of(8);   // inside "beta"
    click(beta, RECT.y + 12);
    EXPECT_EQ(field.cursor, 8);
    click(beta, RECT.y + 12);
    EXPECT_EQ(field.anchor, 6);
    EXPECT_EQ(field.cursor, 10);

    step(40);   // the double-click interval runs out
    down(x_of(0) + 1, RECT.y + 12);
    step();
    move(x_of(5) + 1, RECT.y + 12);
    step();
    up(x_of(5) + 1, RECT.y + 12);
    step();
    EXPECT_EQ(field.anchor, 0);
    EXPECT_EQ(field.cursor, 5);
    EXPECT_FALSE(field.drag_selecting);
}

TEST_F(TextFieldGlTest, ShiftClickExtendsAndAClickElsewhereUnfocuses) {
    text_field_set_text(&field, S("first line\nsecond line"));
    click(RECT.x + 20, RECT.y + 12);
    int32_t anchor = field.anchor;
    harness_key_down(KEY_SHIFT);
    step();
    click(x_of(10), RECT.y + 12);
    harness_key_up(KEY_SHIFT);
    step();
    EXPECT_EQ(field.anchor, anchor);
    EXPECT_EQ(field.cursor, 10);

    click(RECT.x + 20, RECT.y - 100);
    EXPECT_FALSE(field.focused);
    step();
    EXPECT_EQ(editor.text_focus, 0);
    EXPECT_TRUE(editor.viewport_keys);
}

TEST_F(TextFieldGlTest, CaretIsDrawnAtTheCursorRightAfterAKey) {
    field.single_line = true;
    click(RECT.x + 50, RECT.y + 12);
    harness_text("abc");
    move(RECT.x + 50, RECT.y - 50);   // no hover overlay over the caret
    HarnessPixel caret{}, elsewhere{};
    frame([&] {
        text_field_update(&field, RECT);
        caret = harness_pixel(0, (int32_t)field.cursor_screen.x + 2, (int32_t)field.cursor_screen.y);
        elsewhere = harness_pixel(0, (int32_t)(RECT.x + RECT.z - 20), (int32_t)field.cursor_screen.y);
    });
    EXPECT_GT(caret.r, 200);
    EXPECT_LT(caret.g, 60);
    EXPECT_LT(elsewhere.r, 200);   // the field's own color, not the caret's
}

TEST_F(TextFieldGlTest, MultiLineFieldFollowsTheCursorDownward) {
    Vec4 tall = {100, 200, 300, 120};
    std::string lines;
    for (int i = 0; i < 30; i++) lines += "line " + std::to_string(i) + "\n";
    text_field_set_text(&field, String{(const uint8_t*)lines.data(), (int64_t)lines.size()});
    down(150, 300);
    frames(1, [&] { text_field_update(&field, tall); });
    up(150, 300);
    frames(1, [&] { text_field_update(&field, tall); });
    harness_key_down(KEY_CONTROL);
    tap(KEY_END);
    frames(1, [&] { text_field_update(&field, tall); });
    harness_key_up(KEY_CONTROL);
    frames(60, [&] { text_field_update(&field, tall); });
    EXPECT_GT(field.scroll.y, 0);
    EXPECT_GE(field.cursor_screen.y, tall.y);
    EXPECT_LT(field.cursor_screen.y, tall.y + tall.w);
}

}  // namespace
