// Text fields: an immediate-mode multi-line editor with a cursor and a
// selection, keyboard navigation, clipboard, mouse selection, smooth
// scrolling and a blinking caret; a single-line mode for names and numbers;
// vector fields that stack single-line fields for vector components.
// The editing core (the key table on a field record) runs without a window;
// text_field_update adds the pointer, layout and drawing. Relies on the
// pools and containers, the platform's keys and clipboard, the theme and
// font, and ui/quad + ui/text.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "math/math.h"
#include "platform/platform.h"

struct TextField {
    bool single_line;              // line breaks are removed; Enter submits
    bool focused;                  // has the keyboard
    bool submitted;                // Enter in a single-line field; the caller clears it
    Array<uint8_t> text;           // UTF-8; grows by doubling in its pool (zeroed: POOL_PERSISTENT)
    Vec4 rect;                     // x, y, width, height, from the caller each frame
    float click_timer;             // seconds left for a second click to count as double
    Vec2 last_click;
    float blink_phase;             // radians
    int32_t cursor;                // byte offsets; the selection lies between them
    int32_t anchor;
    int32_t preferred_column;      // bytes from the line start, for vertical moves
    bool update_preferred_column;
    bool drag_selecting;
    bool num_lock;
    bool keep_cursor_visible;
    Vec2 cursor_screen;            // where the caret is drawn (its line's middle)
    float origin_x;                // window x of every line's start
    float line_height;
    double hit_x, hit_y;           // screen position of the offset under the mouse
    int32_t hit;                   // that offset
    Vec2 scroll;                   // current, pixels
    Vec2 scroll_target;
    // Line lengths in bytes, each with its line break; the last line has
    // none, so an empty text has one line of length 0. 32-bit, so a line may
    // be as long as the text itself.
    Array<int32_t> lines;
    int64_t clipboard_capacity;    // scratch handed to the platform for copies
    uint8_t* clipboard_buffer;
};

// The longest text a field holds: offsets are 32-bit.
constexpr int64_t TEXT_FIELD_MAX_LENGTH = 0x7FFFFFFE;

// One frame's keyboard as the field reads it; text_input_read fills it from
// the platform, tests build it by hand.
struct TextInput {
    String typed;                  // UTF-8 typed this frame
    uint32_t modifiers;            // MODIFIER_* bits; Num Lock is bit 5
    bool control, shift;           // keys 47 and 48 held
    bool keys[KEY_COUNT];          // typed this frame (press and auto-repeat)
};

TextInput text_input_read();

// The text as a view (valid until the next edit).
String text_field_text(const TextField* field);
// Replaces the text when it differs; the cursor and anchor are kept where
// they still fit. False when the pool could not hold the text.
bool text_field_set_text(TextField* field, String text);
// Makes the line table match the text (removing line breaks first in a
// single-line field).
void text_field_rebuild_lines(TextField* field);
// The line holding `offset`, and that line's first byte.
int32_t text_field_line_of(const TextField* field, int32_t offset, int32_t* line_start);
// Inserts at the cursor, replacing the selection; cursor and anchor end
// after the bytes. False (nothing changed) when the text would outgrow
// TEXT_FIELD_MAX_LENGTH or the pool.
bool text_field_insert(TextField* field, String bytes);
void text_field_delete_selection(TextField* field);
// The selected bytes (a view into the text).
String text_field_selection(const TextField* field);

// Word and code point steps over the field's text, from byte offset p.
int32_t text_field_step_left(const TextField* field, int32_t p);
int32_t text_field_step_right(const TextField* field, int32_t p);
int32_t text_field_word_start(const TextField* field, int32_t p);
int32_t text_field_word_end(const TextField* field, int32_t p);

// The key table for one frame (focused fields only).
void text_field_keys(TextField* field, const TextInput* input);

// Input, layout and drawing for one frame of a visible field.
void text_field_update(TextField* field, Vec4 rect);

// `count` single-line fields stacked in `rect`, labelled "x", "y", "z", "w".
void vector_field(TextField* fields, Vec4 rect, int32_t count);
// The same with the caller's labels (count of them).
void vector_field_labelled(TextField* fields, Vec4 rect, const String* labels, int32_t count);
