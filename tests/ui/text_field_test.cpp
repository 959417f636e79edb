// The text field's editing core driven through its key table, frame by
// frame, on a field record without a window.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "support/pool_fixture.h"
#include "ui/text_field.h"

namespace {

// One frame of keyboard input.
struct Frame {
    TextInput input{};
    Frame(std::initializer_list<int32_t> keys = {}, const char* typed = "") {
        input.typed = string_from_cstring(typed);
        if (keys.size() > 0 || input.typed.length > 0) input.keys[KEY_ANY] = true;
        for (int32_t key : keys) {
            input.keys[key] = true;
            if (key == KEY_CONTROL) input.control = true;
            if (key == KEY_SHIFT) input.shift = true;
        }
    }
    Frame& num_lock() {
        input.modifiers |= MODIFIER_NUM_LOCK;
        return *this;
    }
};

class TextFieldTest : public PoolTest {
protected:
    TextField field{};

    void set(const char* text, int32_t cursor = -1, int32_t anchor = -1) {
        text_field_set_text(&field, string_from_cstring(text));
        field.cursor = cursor < 0 ? (int32_t)field.text.count : cursor;
        field.anchor = anchor < 0 ? field.cursor : anchor;
        int32_t start = 0;
        text_field_line_of(&field, field.cursor, &start);
        field.preferred_column = field.cursor - start;   // as a click there leaves it
    }
    void press(const Frame& frame) { text_field_keys(&field, &frame.input); }
    void press(std::initializer_list<int32_t> keys) { press(Frame(keys)); }
    void type(const char* text) { press(Frame({}, text)); }
    std::string text() const { return std::string((const char*)field.text.data, (size_t)field.text.count); }
    std::string lines() const {
        std::string out;
        for (int64_t i = 0; i < field.lines.count; i++) out += (i ? "," : "") + std::to_string(field.lines.data[i]);
        return out;
    }
};

TEST_F(TextFieldTest, LineTableHasOneEntryMoreThanLineBreaks) {
    set("");
    EXPECT_EQ(lines(), "0");
    set("ab\ncd\n");
    EXPECT_EQ(lines(), "3,3,0");
    set("\n\nx");
    EXPECT_EQ(lines(), "1,1,1");
    int32_t start = -1;
    EXPECT_EQ(text_field_line_of(&field, 2, &start), 2);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(text_field_line_of(&field, 1, &start), 1);
}

TEST_F(TextFieldTest, SingleLineFieldDropsLineBreaksAndKeepsTheCursorOnItsByte) {
    set("ab\ncd", 4);   // before 'd'
    field.single_line = true;
    text_field_rebuild_lines(&field);
    EXPECT_EQ(text(), "abcd");
    EXPECT_EQ(lines(), "4");
    EXPECT_EQ(field.cursor, 3);
    // A paste of several lines arrives as one.
    set("x");
    text_field_insert(&field, S("1\n2\n3"));
    EXPECT_EQ(text(), "x123");
    EXPECT_EQ(field.cursor, 4);
}

TEST_F(TextFieldTest, LinesLongerThanSixteenBitsAreMeasuredAndNavigated) {
    std::string long_line(40000, 'a');
    std::string text_in = "x\n" + long_line + "\nend";
    set(text_in.c_str(), 0);
    EXPECT_EQ(lines(), "2,40001,3");
    press({KEY_DOWN});
    press({KEY_END});
    EXPECT_EQ(field.cursor, 2 + 40000);
    press({KEY_DOWN});
    EXPECT_EQ(field.cursor, 2 + 40001 + 3);   // column limited to "end"
    type("!");
    EXPECT_EQ(lines(), "2,40001,4");
}

TEST_F(TextFieldTest, TypingGrowsANeverAllocatedBufferByDoubling) {
    EXPECT_EQ(field.text.data, nullptr);
    type("a");
    EXPECT_EQ(field.text.capacity, 1);
    type("bc");
    EXPECT_EQ(field.text.capacity, 4);
    type("de");
    EXPECT_EQ(field.text.capacity, 8);
    EXPECT_EQ(text(), "abcde");
    EXPECT_EQ(field.cursor, 5);
    EXPECT_EQ(field.anchor, 5);
}

TEST_F(TextFieldTest, TypingReplacesTheSelection) {
    set("hello world", 0, 5);
    type("bye");
    EXPECT_EQ(text(), "bye world");
    EXPECT_EQ(field.cursor, 3);
    EXPECT_EQ(field.anchor, 3);
}

TEST_F(TextFieldTest, EnterBreaksAMultiLineFieldAndSubmitsASingleLineOne) {
    set("ab", 1);
    press({KEY_ENTER});
    EXPECT_EQ(text(), "a\nb");
    press({KEY_KEYPAD_ENTER});
    EXPECT_EQ(text(), "a\n\nb");
    press({KEY_TAB});
    EXPECT_EQ(text(), "a\n\n\tb");

    field = TextField{};
    field.single_line = true;
    field.focused = true;
    set("42");
    press({KEY_ENTER});
    EXPECT_EQ(text(), "42");
    EXPECT_TRUE(field.submitted);
    EXPECT_FALSE(field.focused);
}

TEST_F(TextFieldTest, BackspaceAndDeleteRemoveWholeCodePointsOrWords) {
    set("a\xC3\xA9\xE2\x82\xAC", -1);   // a, e-acute (2 bytes), euro sign (3 bytes)
    press({KEY_BACKSPACE});
    EXPECT_EQ(text(), "a\xC3\xA9");
    press({KEY_LEFT});
    EXPECT_EQ(field.cursor, 1);
    press({KEY_DELETE});
    EXPECT_EQ(text(), "a");

    set("", 0);
    press({KEY_BACKSPACE});
    press({KEY_DELETE});
    EXPECT_EQ(text(), "");

    set("one two  three", 9);   // after the two spaces
    press({KEY_CONTROL, KEY_BACKSPACE});
    EXPECT_EQ(text(), "one twothree");
    press({KEY_CONTROL, KEY_DELETE});
    EXPECT_EQ(text(), "one two");
    set("one two", 1, 5);
    press({KEY_DELETE});
    EXPECT_EQ(text(), "owo");
    EXPECT_EQ(field.cursor, 1);
}

TEST_F(TextFieldTest, WordSteps) {
    set("alpha beta   gamma", 8);   // inside "beta"
    press({KEY_CONTROL, KEY_LEFT});
    EXPECT_EQ(field.cursor, 6);
    set("alpha beta   gamma", 13);   // just after the spaces
    press({KEY_CONTROL, KEY_LEFT});
    EXPECT_EQ(field.cursor, 10);
    press({KEY_CONTROL, KEY_RIGHT});
    EXPECT_EQ(field.cursor, 13);
    press({KEY_CONTROL, KEY_RIGHT});
    EXPECT_EQ(field.cursor, 18);
    // Line breaks stop word steps; multi-byte letters are word bytes.
    set("ab\n\xC3\xA9t\xC3\xA9 x", 3);
    press({KEY_CONTROL, KEY_RIGHT});
    EXPECT_EQ(field.cursor, 8);
    press({KEY_CONTROL, KEY_LEFT});
    EXPECT_EQ(field.cursor, 3);
    press({KEY_CONTROL, KEY_LEFT});
    EXPECT_EQ(field.cursor, 2);
}

TEST_F(TextFieldTest, ShiftExtendsAndPlainMovesCollapse) {
    set("abcdef", 2);
    press({KEY_SHIFT, KEY_RIGHT});
    press({KEY_SHIFT, KEY_RIGHT});
    EXPECT_EQ(field.anchor, 2);
    EXPECT_EQ(field.cursor, 4);
    press({KEY_LEFT});
    EXPECT_EQ(field.cursor, 2);
    EXPECT_EQ(field.anchor, 2);
    set("abcdef", 4, 1);
    press({KEY_RIGHT});
    EXPECT_EQ(field.cursor, 4);
    EXPECT_EQ(field.anchor, 4);
    press({KEY_CONTROL, key_letter('A')});
    EXPECT_EQ(field.anchor, 0);
    EXPECT_EQ(field.cursor, 6);
    // Modifier presses alone keep the selection (Ctrl before Ctrl+C).
    press({KEY_CONTROL});
    EXPECT_EQ(field.anchor, 0);
}

TEST_F(TextFieldTest, HomeEndAndControlHomeEnd) {
    set("first\nsecond\nthird", 9);
    press({KEY_HOME});
    EXPECT_EQ(field.cursor, 6);
    press({KEY_SHIFT, KEY_END});
    EXPECT_EQ(field.cursor, 12);
    EXPECT_EQ(field.anchor, 6);
    press({KEY_CONTROL, KEY_END});
    EXPECT_EQ(field.cursor, 18);
    press({KEY_CONTROL, KEY_SHIFT, KEY_HOME});
    EXPECT_EQ(field.cursor, 0);
    EXPECT_EQ(field.anchor, 18);
}

TEST_F(TextFieldTest, VerticalMovesKeepThePreferredColumn) {
    set("long line\nab\nlong line\n", 7);
    press({KEY_DOWN});
    EXPECT_EQ(field.cursor, 12);   // end of "ab"
    press({KEY_DOWN});
    EXPECT_EQ(field.cursor, 20);   // column 7 again
    press({KEY_DOWN});
    EXPECT_EQ(field.cursor, 23);   // the empty last line is reachable
    press({KEY_DOWN});
    EXPECT_EQ(field.cursor, 23);   // down on the last line stays
    set("abc\ndef", 2);
    press({KEY_UP});
    EXPECT_EQ(field.cursor, 0);    // up on the first line goes to 0
    // A column that falls inside a multi-byte letter lands before it.
    set("abc\n\xC3\xA9\xC3\xA9", 3);
    press({KEY_DOWN});
    EXPECT_EQ(field.cursor, 6);
}

TEST_F(TextFieldTest, PageKeysMoveTwelveLines) {
    std::string text_in;
    for (int i = 0; i < 30; i++) text_in += "line\n";
    set(text_in.c_str(), 2);
    press({KEY_PAGE_DOWN});
    int32_t start;
    EXPECT_EQ(text_field_line_of(&field, field.cursor, &start), 12);
    EXPECT_EQ(field.cursor - start, 2);
    press({KEY_PAGE_UP});
    press({KEY_PAGE_UP});
    EXPECT_EQ(field.cursor, 0);
}

TEST_F(TextFieldTest, TabIndentsAndShiftTabUnindentsTouchedLines) {
    set("one\ntwo\nthree", 0, 6);   // from "one" into "two"
    press({KEY_TAB});
    EXPECT_EQ(text(), "\tone\n\ttwo\nthree");
    EXPECT_EQ(field.cursor, 0);
    EXPECT_EQ(field.anchor, 8);
    press({KEY_SHIFT, KEY_TAB});
    EXPECT_EQ(text(), "one\ntwo\nthree");
    EXPECT_EQ(field.anchor, 6);
    EXPECT_EQ(lines(), "4,4,5");
    // Shift+Tab without a selection acts on the cursor's line only.
    set("\tx\n\ty", 2);
    press({KEY_SHIFT, KEY_TAB});
    EXPECT_EQ(text(), "x\n\ty");
    EXPECT_EQ(field.cursor, 1);
    EXPECT_EQ(field.anchor, 1);
    press({KEY_SHIFT, KEY_TAB});
    EXPECT_EQ(text(), "x\n\ty");
}

TEST_F(TextFieldTest, KeypadFollowsNumLockAndShift) {
    set("ab", 2);
    press(Frame({KEY_KEYPAD_1 + 3}, "4").num_lock());   // keypad 4 types a digit
    EXPECT_EQ(text(), "ab4");
    press(Frame({KEY_SHIFT, KEY_KEYPAD_1 + 3}).num_lock());
    EXPECT_EQ(field.cursor, 2);
    EXPECT_EQ(field.anchor, 3);
    press(Frame({KEY_KEYPAD_1 + 6}));   // keypad 7 without Num Lock: Home
    EXPECT_EQ(field.cursor, 0);
    press(Frame({KEY_KEYPAD_PERIOD}));   // keypad period: Delete
    EXPECT_EQ(text(), "b4");
}

TEST_F(TextFieldTest, InsertKeyFrameIsIgnored) {
    set("ab", 1);
    press(Frame({KEY_INSERT, KEY_LEFT}, "x"));
    EXPECT_EQ(text(), "ab");
    EXPECT_EQ(field.cursor, 1);
}

TEST_F(TextFieldTest, SetTextKeepsOffsetsInsideTheText) {
    set("abcdef", 6, 2);
    text_field_set_text(&field, S("a\xC3\xA9"));
    EXPECT_EQ(field.cursor, 3);
    EXPECT_EQ(field.anchor, 1);   // not inside the two-byte letter
    const uint8_t* data = field.text.data;
    text_field_set_text(&field, S("a\xC3\xA9"));
    EXPECT_EQ(field.text.data, data);   // same text: nothing reallocated
}

}  // namespace
