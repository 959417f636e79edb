// Text fields: the editing core (buffer, line table, code point and word
// steps, the key table, clipboard) on a plain field record, then the pointer,
// layout, scrolling and drawing of text_field_update, and vector fields.
// Relies on the pools, the platform's keys and clipboard, the editor's
// pointer, timestep and text_focus, the theme and font, ui/quad and ui/text.
//
// Sections: buffer and line table · steps · edits · clipboard · key table ·
// layout and hit test · pointer · drawing · update · vector fields
#include "ui/text_field.h"

#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "ui/quad.h"
#include "ui/text.h"
#include "ui/widgets.h"

constexpr float DOUBLE_CLICK_SECONDS = 0.5f;
constexpr bool SMOOTH_SCROLLING = true;
constexpr int32_t PAGE_LINES = 12;
constexpr float WHEEL_STEP_PIXELS = 96;
constexpr int64_t CLIPBOARD_FIRST_CAPACITY = 4096;
constexpr double TWO_PI = 6.283185307179586;

// ---------------------------------------------------------------------------
// Buffer and line table

static int32_t length_of(const TextField* field) { return (int32_t)field->text.count; }

String text_field_text(const TextField* field) { return String{field->text.data, field->text.count}; }

// Capacity doubles from 1 until the bytes fit.
static bool text_reserve(TextField* field, int64_t needed) {
    if (needed <= field->text.capacity) return true;
    int64_t capacity = field->text.capacity > 0 ? field->text.capacity : 1;
    while (capacity < needed) capacity *= 2;
    uint8_t* data;
    if (field->text.data) {
        data = static_cast<uint8_t*>(pool_realloc(field->text.pool, field->text.data, field->text.capacity, capacity));
    } else {
        data = static_cast<uint8_t*>(pool_alloc(field->text.pool, capacity));
    }
    if (!data) {
        print(S("text field: out of memory\n"));
        return false;
    }
    field->text.data = data;
    field->text.capacity = capacity;
    return true;
}

static int32_t line_count(const TextField* field) { return field->lines.count > 0 ? (int32_t)field->lines.count : 1; }

// Bytes of line `line`, its line break included. Without a table (the pool
// refused it) the whole text counts as one line.
static int32_t line_length(const TextField* field, int32_t line) {
    if (field->lines.count == 0) return length_of(field);
    return field->lines.data[line];
}

// Bytes of the line without its break.
static int32_t line_content(const TextField* field, int32_t line) {
    int32_t length = line_length(field, line);
    if (line < line_count(field) - 1) return length - 1;
    return length;
}

static int32_t line_start(const TextField* field, int32_t line) {
    int32_t start = 0;
    for (int32_t i = 0; i < line; i++) start += line_length(field, i);
    return start;
}

int32_t text_field_line_of(const TextField* field, int32_t offset, int32_t* start_out) {
    int32_t count = line_count(field);
    int32_t start = 0;
    int32_t line = 0;
    for (; line < count - 1; line++) {
        int32_t length = line_length(field, line);
        if (offset < start + length) break;
        start += length;
    }
    if (start_out) *start_out = start;
    return line;
}

// Removing bytes before the cursor or anchor moves them back with the text.
static void remove_line_breaks(TextField* field) {
    uint8_t* data = field->text.data;
    int32_t length = length_of(field);
    int32_t kept = 0;
    int32_t cursor = field->cursor, anchor = field->anchor;
    for (int32_t i = 0; i < length; i++) {
        if (data[i] == '\n') {
            if (i < field->cursor) cursor--;
            if (i < field->anchor) anchor--;
            continue;
        }
        data[kept++] = data[i];
    }
    field->text.count = kept;
    field->cursor = cursor;
    field->anchor = anchor;
}

void text_field_rebuild_lines(TextField* field) {
    if (field->single_line) remove_line_breaks(field);
    const uint8_t* data = field->text.data;
    int32_t length = length_of(field);
    int64_t breaks = 0;
    for (int32_t i = 0; i < length; i++) breaks += data[i] == '\n';
    field->lines.count = 0;
    if (!array_reserve(&field->lines, breaks + 1)) {
        print(S("text field: out of memory for its lines\n"));
        return;   // the accessors then treat the text as one line
    }
    int32_t run = 0;
    for (int32_t i = 0; i < length; i++) {
        run++;
        if (data[i] == '\n') {
            field->lines.data[field->lines.count++] = run;
            run = 0;
        }
    }
    field->lines.data[field->lines.count++] = run;
}

// ---------------------------------------------------------------------------
// Code point and word steps

static bool is_continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

static bool is_word_byte(uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '_' || byte == '#' || byte == '$' || byte >= 128;
}

// Offsets from outside (a caller's text, a column) land on a code point's
// first byte, never inside it.
static int32_t snap_to_code_point(const TextField* field, int32_t p) {
    int32_t length = length_of(field);
    if (p < 0) return 0;
    if (p > length) return length;
    while (p > 0 && p < length && is_continuation(field->text.data[p])) p--;
    return p;
}

int32_t text_field_step_left(const TextField* field, int32_t p) {
    if (p <= 0) return 0;
    p--;
    while (p > 0 && is_continuation(field->text.data[p])) p--;
    return p;
}

int32_t text_field_step_right(const TextField* field, int32_t p) {
    int32_t length = length_of(field);
    if (p >= length) return length;
    p++;
    while (p < length && is_continuation(field->text.data[p])) p++;
    return p;
}

// First byte of the run of one kind (word bytes or not) holding byte `i`,
// never crossing a line break.
static int32_t run_start(const TextField* field, int32_t i) {
    const uint8_t* data = field->text.data;
    bool word = is_word_byte(data[i]);
    while (i > 0 && data[i - 1] != '\n' && is_word_byte(data[i - 1]) == word) i--;
    return i;
}

// Where Ctrl+Left and Ctrl+Backspace stop: the start of the run just before
// p, so from after a run of spaces it is the start of the spaces. A line
// break before p is a stop of its own.
int32_t text_field_word_start(const TextField* field, int32_t p) {
    if (p <= 0) return 0;
    if (p > length_of(field)) p = length_of(field);
    if (field->text.data[p - 1] == '\n') return p - 1;
    return run_start(field, p - 1);
}

int32_t text_field_word_end(const TextField* field, int32_t p) {
    const uint8_t* data = field->text.data;
    int32_t length = length_of(field);
    if (p >= length) return length;
    if (p < 0) p = 0;
    if (data[p] == '\n') return p + 1;
    bool word = is_word_byte(data[p]);
    while (p < length && data[p] != '\n' && is_word_byte(data[p]) == word) p++;
    return p;
}

static void line_up(TextField* field) {
    int32_t start;
    int32_t line = text_field_line_of(field, field->cursor, &start);
    if (line == 0) {
        field->cursor = 0;
        return;
    }
    int32_t previous_start = start - line_length(field, line - 1);
    int32_t column = line_content(field, line - 1);
    if (field->preferred_column < column) column = field->preferred_column;
    field->cursor = snap_to_code_point(field, previous_start + column);
}

// The column is limited to the line's text without its break (the last line
// has none), so an empty last line is reachable.
static void line_down(TextField* field) {
    int32_t start;
    int32_t line = text_field_line_of(field, field->cursor, &start);
    if (line >= line_count(field) - 1) return;
    int32_t next_start = start + line_length(field, line);
    int32_t column = line_content(field, line + 1);
    if (field->preferred_column < column) column = field->preferred_column;
    field->cursor = snap_to_code_point(field, next_start + column);
}

// ---------------------------------------------------------------------------
// Edits. Each public edit leaves the line table matching the text.

static int32_t selection_low(const TextField* field) { return field->cursor < field->anchor ? field->cursor : field->anchor; }
static int32_t selection_high(const TextField* field) { return field->cursor > field->anchor ? field->cursor : field->anchor; }

String text_field_selection(const TextField* field) {
    int32_t low = selection_low(field), high = selection_high(field);
    if (high > length_of(field)) high = length_of(field);
    if (low >= high) return String{nullptr, 0};
    return String{field->text.data + low, high - low};
}

static void delete_bytes(TextField* field, int32_t from, int32_t to) {
    if (from >= to) return;
    uint8_t* text = field->text.data;
    std::memmove(text + from, text + to, (size_t)(length_of(field) - to));
    field->text.count -= to - from;
}

// Internal form: no rebuild; true when something was removed.
static bool delete_selection(TextField* field) {
    int32_t low = selection_low(field), high = selection_high(field);
    field->cursor = field->anchor = low;
    if (low >= high) return false;
    delete_bytes(field, low, high);
    return true;
}

void text_field_delete_selection(TextField* field) {
    if (delete_selection(field)) text_field_rebuild_lines(field);
}

// Replaces the selection with `bytes` (delete, then insert at the cursor);
// cursor and anchor end after them. Refused as a whole, changing nothing,
// when the result would be too long or the pool cannot hold it.
static bool replace_selection(TextField* field, String bytes) {
    int32_t low = selection_low(field), high = selection_high(field);
    int64_t count = bytes.length > 0 ? bytes.length : 0;
    int64_t length = field->text.count;
    if (length - (high - low) + count > TEXT_FIELD_MAX_LENGTH) {
        print(S("text field: text too long\n"));
        return false;
    }
    // The bytes may come from this very buffer, which growing can move.
    const uint8_t* data = field->text.data;
    if (count > 0 && data && bytes.data >= data && bytes.data < data + field->text.capacity) {
        uint8_t* copy = static_cast<uint8_t*>(pool_alloc(POOL_FRAME, count));
        if (!copy) {
            print(S("text field: out of memory\n"));
            return false;
        }
        std::memcpy(copy, bytes.data, (size_t)count);
        bytes.data = copy;
    }
    if (!text_reserve(field, length + count)) return false;
    delete_bytes(field, low, high);
    length = field->text.count;
    uint8_t* text = field->text.data;
    if (count > 0) {
        std::memmove(text + low + count, text + low, (size_t)(length - low));
        std::memcpy(text + low, bytes.data, (size_t)count);
        field->text.count = length + count;
    }
    field->cursor = field->anchor = low + (int32_t)count;
    return true;
}

bool text_field_insert(TextField* field, String bytes) {
    bool had_selection = field->cursor != field->anchor;
    if (!replace_selection(field, bytes)) return false;
    if (had_selection || bytes.length > 0) text_field_rebuild_lines(field);
    return true;
}

bool text_field_set_text(TextField* field, String text) {
    if (string_equal(text_field_text(field), text)) {
        if (field->lines.count == 0) text_field_rebuild_lines(field);
        return true;
    }
    if (text.length > TEXT_FIELD_MAX_LENGTH) {
        print(S("text field: text too long\n"));
        return false;
    }
    field->text.count = 0;
    bool ok = text_reserve(field, text.length);
    if (ok && text.length > 0) {
        std::memmove(field->text.data, text.data, (size_t)text.length);
        field->text.count = text.length;
    }
    field->cursor = snap_to_code_point(field, field->cursor);
    field->anchor = snap_to_code_point(field, field->anchor);
    text_field_rebuild_lines(field);
    return ok;
}

// Tab with a selection (or Shift): a tab added to, or removed from, the start
// of every line from the selection's first to its last. The larger end moves
// with the text when a tab goes in right at it, so the selection keeps the
// lines it had; every other end moves with the text behind it.
static bool indent_lines(TextField* field, bool unindent) {
    int32_t low = selection_low(field), high = selection_high(field);
    int32_t first_start;
    int32_t first = text_field_line_of(field, low, &first_start);
    int32_t last = text_field_line_of(field, high, nullptr);
    int32_t count = last - first + 1;
    int32_t length = length_of(field);
    uint8_t* text = field->text.data;
    bool cursor_is_high = field->cursor >= field->anchor;

    PoolMark mark = pool_mark(POOL_FRAME);
    int32_t* starts = pool_alloc_array<int32_t>(POOL_FRAME, count);
    if (!starts) {
        print(S("text field: out of memory\n"));
        return false;
    }
    int32_t start = first_start;
    for (int32_t i = 0; i < count; i++) {
        starts[i] = start;
        start += line_length(field, first + i);
    }

    int32_t shift_low = 0, shift_high = 0;
    bool changed = false;
    if (!unindent) {
        if (!text_reserve(field, (int64_t)length + count) || (int64_t)length + count > TEXT_FIELD_MAX_LENGTH) {
            pool_restore(mark);
            return false;
        }
        text = field->text.data;
        // From the last line back, each piece moves once.
        int32_t end = length;
        for (int32_t i = count - 1; i >= 0; i--) {
            std::memmove(text + starts[i] + i + 1, text + starts[i], (size_t)(end - starts[i]));
            text[starts[i] + i] = '\t';
            end = starts[i];
            if (starts[i] < low) shift_low++;
            if (starts[i] < high || (starts[i] == high && low != high)) shift_high++;
        }
        field->text.count = length + count;
        changed = true;
    } else {
        int32_t write = first_start;
        int32_t next = 0;
        for (int32_t read = first_start; read < length; read++) {
            if (next < count && read == starts[next]) {
                next++;
                if (text[read] == '\t') {
                    if (read < low) shift_low--;
                    if (read < high) shift_high--;
                    changed = true;
                    continue;
                }
            }
            text[write++] = text[read];
        }
        field->text.count = write;
    }
    pool_restore(mark);
    if (cursor_is_high) {
        field->cursor = high + shift_high;
        field->anchor = low + shift_low;
    } else {
        field->anchor = high + shift_high;
        field->cursor = low + shift_low;
    }
    if (changed) text_field_rebuild_lines(field);
    return changed;
}

// ---------------------------------------------------------------------------
// Clipboard. Each field keeps a scratch block for the platform's terminated
// copy; it starts at 4096 bytes and doubles until the selection fits.

static void copy_selection(TextField* field) {
    String selection = text_field_selection(field);
    if (selection.length == 0) return;
    if (!field->clipboard_buffer) {
        field->clipboard_buffer = static_cast<uint8_t*>(pool_alloc(POOL_PERSISTENT, CLIPBOARD_FIRST_CAPACITY));
        field->clipboard_capacity = field->clipboard_buffer ? CLIPBOARD_FIRST_CAPACITY : 0;
    }
    if (field->clipboard_buffer && field->clipboard_capacity <= selection.length) {
        int64_t capacity = field->clipboard_capacity;
        while (capacity <= selection.length) capacity *= 2;
        uint8_t* grown = static_cast<uint8_t*>(
            pool_realloc(POOL_PERSISTENT, field->clipboard_buffer, field->clipboard_capacity, capacity));
        if (grown) {
            field->clipboard_buffer = grown;
            field->clipboard_capacity = capacity;
        }
    }
    // Without a block of its own (a full pool) the platform uses its buffer.
    clipboard_set_buffer(field->clipboard_capacity, field->clipboard_buffer);
    clipboard_set(selection.data, selection.length);
}

// ---------------------------------------------------------------------------
// Key table

TextInput text_input_read() {
    TextInput input;
    std::memset(&input, 0, sizeof(input));
    input.typed = input_text_typed();
    input.modifiers = input_key_modifiers();
    input.control = input_key_is_held(KEY_CONTROL);
    input.shift = input_key_is_held(KEY_SHIFT);
    for (int32_t key = 0; key < KEY_COUNT; key++) input.keys[key] = input_key_is_typed(key);
    return input;
}

enum : int32_t {
    KEYPAD_1 = 85, KEYPAD_2 = 86, KEYPAD_3 = 87, KEYPAD_4 = 88, KEYPAD_6 = 90,
    KEYPAD_7 = 91, KEYPAD_8 = 92, KEYPAD_9 = 93,
};

// One navigation row (the first that applies); true when one did.
static bool navigate(TextField* field, const TextInput* input, bool keypad_navigation, bool* changed) {
    const bool* keys = input->keys;
    bool control = input->control, shift = input->shift;
    auto key = [&](int32_t main_key, int32_t keypad_key) {
        return keys[main_key] || (keypad_key && keypad_navigation && keys[keypad_key]);
    };
    bool selection = field->cursor != field->anchor;
    int32_t low = selection_low(field), high = selection_high(field);
    int32_t start;
    int32_t line = text_field_line_of(field, field->cursor, &start);

    if (key(KEY_BACKSPACE, 0)) {
        if (selection) {
            *changed |= delete_selection(field);
        } else if (field->cursor > 0) {
            int32_t from = control ? text_field_word_start(field, field->cursor) : text_field_step_left(field, field->cursor);
            delete_bytes(field, from, field->cursor);
            field->cursor = field->anchor = from;
            *changed = true;
        }
        return true;
    }
    if (key(KEY_DELETE, KEY_KEYPAD_PERIOD)) {
        if (selection) {
            *changed |= delete_selection(field);
        } else if (field->cursor < length_of(field)) {
            int32_t to = control ? text_field_word_end(field, field->cursor) : text_field_step_right(field, field->cursor);
            delete_bytes(field, field->cursor, to);
            field->anchor = field->cursor;
            *changed = true;
        }
        return true;
    }
    if (key(KEY_HOME, KEYPAD_7)) {
        field->cursor = start;
    } else if (key(KEY_END, KEYPAD_1)) {
        field->cursor = start + line_content(field, line);
    } else if (key(KEY_PAGE_UP, KEYPAD_9)) {
        field->update_preferred_column = false;
        if (selection && !shift) field->cursor = low;
        for (int32_t i = 0; i < PAGE_LINES; i++) line_up(field);
    } else if (key(KEY_PAGE_DOWN, KEYPAD_3)) {
        field->update_preferred_column = false;
        if (selection && !shift) field->cursor = high;
        for (int32_t i = 0; i < PAGE_LINES; i++) line_down(field);
    } else if (key(KEY_LEFT, KEYPAD_4)) {
        if (selection && !shift) field->cursor = low;
        else field->cursor = control ? text_field_word_start(field, field->cursor) : text_field_step_left(field, field->cursor);
    } else if (key(KEY_RIGHT, KEYPAD_6)) {
        if (selection && !shift) field->cursor = high;
        else field->cursor = control ? text_field_word_end(field, field->cursor) : text_field_step_right(field, field->cursor);
    } else if (key(KEY_UP, KEYPAD_8)) {
        field->update_preferred_column = false;
        if (selection && !shift) field->cursor = low;
        line_up(field);
    } else if (key(KEY_DOWN, KEYPAD_2)) {
        field->update_preferred_column = false;
        if (selection && !shift) field->cursor = high;
        line_down(field);
    } else {
        return false;
    }
    if (!shift) field->anchor = field->cursor;
    return true;
}

void text_field_keys(TextField* field, const TextInput* input) {
    const bool* keys = input->keys;
    // Insert (71) belongs to the viewport's tools: the field lets that frame go.
    if (keys[KEY_INSERT]) return;
    if (input->typed.length == 0 && !keys[KEY_ANY]) return;
    if (field->lines.count == 0) text_field_rebuild_lines(field);

    field->update_preferred_column = true;
    field->blink_phase = 0;
    field->num_lock = (input->modifiers & MODIFIER_NUM_LOCK) != 0;
    int32_t old_cursor = field->cursor;
    bool control = input->control, shift = input->shift;
    bool changed = false;

    if (control) {
        if (keys[key_letter('A')]) {
            field->anchor = 0;
            field->cursor = length_of(field);
        }
        if (keys[key_letter('C')]) copy_selection(field);
        if (keys[key_letter('X')]) {
            copy_selection(field);
            changed |= delete_selection(field);
        }
        if (keys[key_letter('V')]) {
            bool had_selection = field->cursor != field->anchor;
            String pasted = clipboard_get();
            if (replace_selection(field, pasted)) changed |= had_selection || pasted.length > 0;
        }
        if (keys[KEY_HOME] && !field->single_line) {
            field->cursor = 0;
            if (!shift) field->anchor = 0;
            field->keep_cursor_visible = true;
        }
        if (keys[KEY_END] && !field->single_line) {
            field->cursor = length_of(field);
            if (!shift) field->anchor = field->cursor;
            field->keep_cursor_visible = true;
        }
        if (changed) text_field_rebuild_lines(field);
    }

    String typed = input->typed;
    bool enter = keys[KEY_ENTER] || keys[KEY_KEYPAD_ENTER];
    if (keys[KEY_TAB] && (shift || field->cursor != field->anchor)) {
        changed |= indent_lines(field, shift);
    } else if (keys[KEY_TAB] || enter) {
        if (enter && field->single_line) {
            // Enter submits a single-line field; the rest typed still goes in.
            field->focused = false;
            field->submitted = true;
            enter = false;
        }
        StringBuilder builder = builder_init(POOL_FRAME);
        builder_put_string(&builder, typed);
        if (keys[KEY_TAB]) builder_put_char(&builder, '\t');
        if (enter) builder_put_char(&builder, '\n');
        if (!builder_failed(&builder)) typed = builder_to_string(&builder);
    }

    bool keypad_navigation = shift == field->num_lock;
    bool keypad_key = false;
    for (int32_t key = KEY_KEYPAD_1; key <= KEY_KEYPAD_PERIOD; key++) keypad_key |= keys[key];
    if (typed.length == 0 || control || (keypad_navigation && keypad_key)) {
        navigate(field, input, keypad_navigation, &changed);
    } else {
        bool had_selection = field->cursor != field->anchor;
        if (replace_selection(field, typed)) changed |= had_selection || typed.length > 0;
    }

    if (changed) text_field_rebuild_lines(field);
    if (field->update_preferred_column) {
        int32_t start;
        text_field_line_of(field, field->cursor, &start);
        field->preferred_column = field->cursor - start;
    }
    if (field->cursor != old_cursor) field->keep_cursor_visible = true;
}

// ---------------------------------------------------------------------------
// Layout and hit test

static Font* interface_font() { return editor.theme.font ? editor.theme.font : &editor.assets.default_font; }

// Pixels per font unit for interface text.
static float text_pixel_scale(const Font* font) { return editor.theme.text_scale * (float)font->font_scale; }

static float code_point_advance(const Font* font, uint32_t code_point) {
    if (code_point == ' ') return (float)font->space_advance;
    if (code_point == '\t') return (float)font->tab_advance;
    uint32_t glyph = glyph_lookup(font, code_point);
    if (glyph >= (uint64_t)font->glyphs.count) return 0;
    return (float)font->glyphs.data[glyph].advance;
}

static float bytes_width(const Font* font, const uint8_t* data, int64_t count) {
    float width = 0;
    float scale = text_pixel_scale(font);
    for (int64_t p = 0; p < count;) {
        int64_t length = 1;
        uint32_t code_point = utf8_decode(data + p, count - p, &length);
        width += code_point_advance(font, code_point) * scale;
        p += length > 0 ? length : 1;
    }
    return width;
}

static float line_y(const TextField* field, int32_t line) {
    float L = field->line_height;
    return field->rect.y + field->rect.w + field->scroll.y - L / 2 - (float)line * L;
}

static Vec2 offset_screen(const TextField* field, const Font* font, int32_t offset) {
    int32_t start;
    int32_t line = text_field_line_of(field, offset, &start);
    float x = field->origin_x + bytes_width(font, field->text.data + start, offset - start);
    return Vec2{x, line_y(field, line)};
}

static void layout(TextField* field, const Font* font) {
    field->origin_x = field->rect.x + editor.theme.text_offset + field->scroll.x;
    field->cursor_screen = offset_screen(field, font, field->cursor);
}

static void hit_test(TextField* field, const Font* font, float mouse_x, float mouse_y) {
    float L = field->line_height;
    double row = ((double)field->rect.w - (mouse_y - field->rect.y) + field->scroll.y) / L;
    int32_t last = line_count(field) - 1;
    int32_t line = row >= last ? last : (row > 0 ? (int32_t)row : 0);
    int32_t start = line_start(field, line);
    int32_t end = start + line_content(field, line);
    float scale = text_pixel_scale(font);
    float x = field->origin_x;
    int32_t p = start;
    while (p < end) {
        int64_t length = 1;
        uint32_t code_point = utf8_decode(field->text.data + p, end - p, &length);
        float advance = code_point_advance(font, code_point) * scale;
        if (x + advance / 2 > mouse_x) break;
        x += advance;
        p += length > 0 ? (int32_t)length : 1;
    }
    field->hit = p;
    field->hit_x = x;
    field->hit_y = line_y(field, line);
}

// The view's target moves so that the cursor, once the scroll arrives,
// lies inside the field.
static void keep_cursor_visible(TextField* field, const Font* font) {
    field->keep_cursor_visible = false;
    Vec4 r = field->rect;
    float L = field->line_height;
    float inset = editor.theme.text_offset;
    if (!field->single_line) {
        float y = field->cursor_screen.y - field->scroll.y + field->scroll_target.y;
        float top = r.y + r.w - L / 2, bottom = r.y + L / 2;
        if (y > top) field->scroll_target.y -= y - top;
        else if (y < bottom) field->scroll_target.y += bottom - y;
        if (field->scroll_target.y < 0) field->scroll_target.y = 0;
    }
    float unscrolled = field->cursor_screen.x - field->scroll.x;
    float x = unscrolled + field->scroll_target.x;
    float right = r.x + r.z - inset, left = r.x + inset;
    if (x > right) field->scroll_target.x -= x - right;
    else if (x < left) field->scroll_target.x += left - x;
    if (unscrolled <= right || field->scroll_target.x > 0) field->scroll_target.x = 0;
    layout(field, font);
}

// ---------------------------------------------------------------------------
// Pointer

static void select_word_at(TextField* field, int32_t p) {
    int32_t length = length_of(field);
    if (p >= length || field->text.data[p] == '\n') {
        text_field_line_of(field, p, &field->anchor);
        field->cursor = p;
        return;
    }
    field->anchor = run_start(field, p);
    field->cursor = text_field_word_end(field, p);
}

static void pointer_update(TextField* field, const PointerInput& pointer, bool hovered) {
    float L = field->line_height;
    if (pointer.pressed && hovered) {
        float dx = pointer.x - field->last_click.x, dy = pointer.y - field->last_click.y;
        float near = L / 16;
        bool double_click = field->click_timer > 0 && dx * dx + dy * dy <= near * near;
        if (double_click) {
            select_word_at(field, field->hit);
        } else if (input_key_is_held(KEY_SHIFT)) {
            field->cursor = field->hit;
        } else {
            field->cursor = field->anchor = field->hit;
            field->drag_selecting = true;
            field->click_timer = DOUBLE_CLICK_SECONDS;
        }
        field->last_click = Vec2{pointer.x, pointer.y};
        int32_t start;
        text_field_line_of(field, field->cursor, &start);
        field->preferred_column = field->cursor - start;
        field->blink_phase = 0;
        field->keep_cursor_visible = true;
    }
    if (field->drag_selecting) {
        field->cursor = field->hit;
        int32_t start;
        text_field_line_of(field, field->cursor, &start);
        field->preferred_column = field->cursor - start;
        if (pointer.x < field->rect.x || pointer.x >= field->rect.x + field->rect.z) field->keep_cursor_visible = true;
        if (pointer.released) {
            field->drag_selecting = false;
            field->keep_cursor_visible = true;
        }
    }
}

// ---------------------------------------------------------------------------
// Drawing

// An untextured rectangle cut to the clip rectangle on every side.
static void fill_clipped(Vec4 color, float x, float y, float w, float h, Vec4 clip) {
    float x1 = x + w, y1 = y + h;
    if (x < clip.x) x = clip.x;
    if (y < clip.y) y = clip.y;
    if (x1 > clip.x + clip.z) x1 = clip.x + clip.z;
    if (y1 > clip.y + clip.w) y1 = clip.y + clip.w;
    if (x1 <= x || y1 <= y) return;
    quad_draw(editor.assets.icons[ICON_WHITE], color, x, y, x1 - x, y1 - y);
}

static void draw_selection(const TextField* field, const Font* font) {
    if (field->cursor == field->anchor) return;
    Vec4 r = field->rect;
    float L = field->line_height;
    Vec4 color = editor.theme.selection_color;
    Vec2 s = offset_screen(field, font, selection_low(field));
    Vec2 e = offset_screen(field, font, selection_high(field));
    if (s.y - e.y <= 0.001f) {
        fill_clipped(color, s.x, s.y - L / 2, e.x - s.x, L, r);
        return;
    }
    fill_clipped(color, s.x, s.y - L / 2, 16 * r.z, L, r);
    if (s.y - e.y - L > 0.001f) fill_clipped(color, field->origin_x, e.y + L / 2, 16 * r.z, s.y - e.y - L, r);
    fill_clipped(color, field->origin_x, e.y - L / 2, e.x - field->origin_x, L, r);
}

static void draw_field(TextField* field, const Font* font, bool hovered, float dt) {
    const Theme& theme = editor.theme;
    Vec4 r = field->rect;
    float L = field->line_height;
    uint32_t white = editor.assets.icons[ICON_WHITE];
    quad_draw(white, theme.color, r.x, r.y, r.z, r.w);

    DrawState& draw = editor.render.draw;
    double snap = draw.pixel_snap;
    draw.pixel_snap = 1;
    int32_t count = line_count(field);
    int32_t start = 0;
    for (int32_t line = 0; line < count; line++) {
        float y = line_y(field, line);
        int32_t length = line_length(field, line);
        if (!field->single_line) {
            if (y < r.y - L / 2) break;
            if (y >= r.y + r.w + L / 2) {
                start += length;
                continue;
            }
        }
        String text = {field->text.data + start, line_content(field, line)};
        if (text.length > 0) {
            text_draw_now_clipped(const_cast<Font*>(font), theme.text_color, text, r, field->origin_x, y,
                                  theme.text_scale, theme.text_scale);
        }
        start += length;
    }
    draw.pixel_snap = snap;

    if (field->focused) {
        field->blink_phase += (float)(dt * TWO_PI);
        while (field->blink_phase >= TWO_PI) field->blink_phase -= (float)TWO_PI;
        Vec4 caret = theme.cursor_color;
        caret.w = (float)(math_cos(field->blink_phase) * 0.5 + 0.5);
        fill_clipped(caret, field->cursor_screen.x, field->cursor_screen.y - L / 2, theme.cursor_width, L, r);
        if (hovered) {
            caret.w = 0.5f;
            fill_clipped(caret, (float)field->hit_x, (float)field->hit_y - L / 2, theme.cursor_width, L, r);
        }
        draw_selection(field, font);
    }
    if (hovered) quad_draw(white, theme.hover_color, r.x, r.y, r.z, r.w);
}

// ---------------------------------------------------------------------------
// Update

void text_field_update(TextField* field, Vec4 rect) {
    Font* font = interface_font();
    field->rect = rect;
    float L = field->single_line ? rect.w : text_pixel_scale(font) * (float)font->line_height;
    // A font without metrics would make every line zero high.
    if (!(L > 0)) L = rect.w > 0 ? rect.w : 1;
    field->line_height = L;
    if (field->lines.count == 0) text_field_rebuild_lines(field);
    float dt = (float)editor.timestep;

    // Smooth scrolling moves a share of the way each frame; the share is
    // capped at the whole way so that long frames cannot overshoot.
    if (SMOOTH_SCROLLING) {
        float share = 20 * dt;
        if (share > 1) share = 1;
        field->scroll.x += (field->scroll_target.x - field->scroll.x) * share;
        field->scroll.y += (field->scroll_target.y - field->scroll.y) * share;
    } else {
        field->scroll = field->scroll_target;
    }

    PointerInput pointer = pointer_input_read();
    bool hovered = pointer.enabled && rect_contains(rect, pointer.x, pointer.y);
    if (pointer.pressed) field->focused = hovered;
    if (field->focused) {
        editor.text_focus++;
        editor.text_focus_field = field;
    }

    if (!field->single_line && hovered) {
        int32_t wheel = input_mouse_wheel();
        if (wheel != 0) {
            float target = field->scroll.y - (float)wheel * WHEEL_STEP_PIXELS;
            field->scroll_target.y = target > 0 ? target : 0;
        }
    }

    if (field->focused) {
        TextInput input = text_input_read();
        text_field_keys(field, &input);
    }

    layout(field, font);
    hit_test(field, font, pointer.x, pointer.y);
    if (field->focused) pointer_update(field, pointer, hovered);
    field->click_timer -= dt;
    if (field->click_timer < 0) field->click_timer = 0;
    layout(field, font);
    if (field->keep_cursor_visible) keep_cursor_visible(field, font);
    draw_field(field, font, hovered, dt);
}

// ---------------------------------------------------------------------------
// Vector fields

static const Vec4 LABEL_COLORS[4] = {{0.6f, 0, 0, 1}, {0, 0.6f, 0, 1}, {0, 0, 0.8f, 1}, {0.4f, 0, 0.8f, 1}};

void vector_field_labelled(TextField* fields, Vec4 rect, const String* labels, int32_t count) {
    if (count <= 0) return;
    const Theme& theme = editor.theme;
    float S = theme.scale;
    float row = rect.w / (float)count;
    for (int32_t i = 0; i < count; i++) {
        fields[i].single_line = true;
        text_field_update(&fields[i], Vec4{rect.x + 1.5f * S, rect.y - (float)i * row, rect.z - 1.5f * S, row});
    }
    DrawState& draw = editor.render.draw;
    double snap = draw.pixel_snap;
    draw.pixel_snap = 1;
    for (int32_t i = 0; i < count; i++) {
        text_draw_now(interface_font(), LABEL_COLORS[i % 4], labels[i], rect.x + S / 2,
                      rect.y + row / 2 - (float)i * row, theme.text_scale, theme.text_scale, ALIGN_CENTER,
                      ALIGN_MIDDLE);
    }
    draw.pixel_snap = snap;
}

void vector_field(TextField* fields, Vec4 rect, int32_t count) {
    static const String labels[4] = {S("x"), S("y"), S("z"), S("w")};
    if (count > 4) count = 4;
    vector_field_labelled(fields, rect, labels, count);
}
