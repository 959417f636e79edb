// Text layout on a small hand-made font whose glyphs are whole pixels at
// scale 1: decoding, lookup, measuring with every alignment, glyph
// rectangles, snapping, clipping and the scene form through a matrix.
#include <cmath>

#include <gtest/gtest.h>

#include "app/editor.h"
#include "render/draw.h"
#include "support/pool_fixture.h"
#include "ui/text.h"

namespace {

// Pixels at scale 1 of a font whose font scale is 256.
Glyph pixel_glyph(double x_offset, double y_offset, double advance, double width, double height, double u) {
    return Glyph{x_offset / 256, y_offset / 256, advance / 256, u, 0, width / 256, height / 256};
}

class TextTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        editor.render = RenderState{};
        draw_state_init();
        batch_begin();
        font = make_font();
        draw.font = &font;
        draw.pixel_snap = 0;
    }

    static Font make_font() {
        Font f{};
        f.font_scale = 256;
        f.space_advance = 4.0 / 256;
        f.tab_advance = 16.0 / 256;
        f.line_height = 16.0 / 256;
        f.glyphs = array_make<Glyph>(POOL_PERSISTENT);
        f.glyph_map = int_map_make(POOL_PERSISTENT);
        array_push(&f.glyphs, pixel_glyph(0, 0, 6, 5, 9, 0.0));      // 0: replacement
        array_push(&f.glyphs, pixel_glyph(-1, 2, 10, 8, 12, 0.25));  // 1: 'A'
        array_push(&f.glyphs, pixel_glyph(0, 0, 7, 6, 10, 0.5));     // 2: U+0416
        int_map_insert(&f.glyph_map, 'A', 1);
        int_map_insert(&f.glyph_map, 0x416, 2);
        return f;
    }

    // The batch's quads as (x, y, width, height).
    Vec4 quad(int64_t index) const {
        const MeshVertex* v = draw.vertices.data + index * 4;
        return Vec4{v[0].position.x, v[0].position.y, v[2].position.x - v[0].position.x,
                    v[2].position.y - v[0].position.y};
    }
    int64_t quad_count() const { return draw.vertices.count / 4; }

    DrawState& draw = editor.render.draw;
    Font font;
};

void expect_rect(Vec4 actual, float x, float y, float w, float h) {
    EXPECT_FLOAT_EQ(actual.x, x);
    EXPECT_FLOAT_EQ(actual.y, y);
    EXPECT_FLOAT_EQ(actual.z, w);
    EXPECT_FLOAT_EQ(actual.w, h);
}

TEST(Utf8Decode, SequencesOfOneToFourBytes) {
    struct Case {
        const char* bytes;
        int64_t size;
        uint32_t code_point;
        int64_t length;
    } cases[] = {
        {"A", 1, 'A', 1},
        {"\xC3\xA9", 2, 0xE9, 2},
        {"\xD0\x80", 2, 0x400, 2},        // lead bytes 0xD0..0xDF decode like 0xC0..0xCF
        {"\xDF\xBF", 2, 0x7FF, 2},
        {"\xE2\x82\xAC", 3, 0x20AC, 3},
        {"\xF0\x9F\x98\x80", 4, 0x1F600, 4},
        {"\xC0\x80", 2, 0, 2},            // overlong forms are accepted
    };
    for (const Case& c : cases) {
        int64_t length = 1;
        EXPECT_EQ(utf8_decode(reinterpret_cast<const uint8_t*>(c.bytes), c.size, &length), c.code_point) << c.bytes;
        EXPECT_EQ(length, c.length) << c.bytes;
    }
}

TEST(Utf8Decode, BrokenSequencesGiveTheReplacementCharacter) {
    int64_t length = 1;
    // A stray continuation byte keeps the caller's preset length.
    EXPECT_EQ(utf8_decode(reinterpret_cast<const uint8_t*>("\x80" "A"), 2, &length), 65533u);
    EXPECT_EQ(length, 1);
    // Cut short by the end of the span: never steps past it.
    length = 1;
    EXPECT_EQ(utf8_decode(reinterpret_cast<const uint8_t*>("\xE2\x82"), 2, &length), 65533u);
    EXPECT_EQ(length, 2);
    length = 1;
    EXPECT_EQ(utf8_decode(reinterpret_cast<const uint8_t*>("\xF0"), 1, &length), 65533u);
    EXPECT_EQ(length, 1);
}

TEST_F(TextTest, AbsentCodePointsFindTheReplacementGlyph) {
    EXPECT_EQ(glyph_lookup(&font, 'A'), 1u);
    EXPECT_EQ(glyph_lookup(&font, 0x416), 2u);
    EXPECT_EQ(glyph_lookup(&font, 'B'), 0u);
    Font empty{};
    EXPECT_EQ(glyph_lookup(&empty, 'A'), 0u);

    float end = text_draw(S("B"), 100, 50, 1, 1);
    ASSERT_EQ(quad_count(), 1);
    expect_rect(quad(0), 100, 50, 5, 9);
    EXPECT_FLOAT_EQ(end, 106);
}

TEST_F(TextTest, MeasureAddsAdvancesAndLines) {
    TextExtent empty = text_measure(S(""), 1, 1);
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, 16);

    TextExtent line = text_measure(S("A A\tA"), 1, 1);
    EXPECT_FLOAT_EQ(line.width, 10 + 4 + 10 + 16 + 10);
    EXPECT_FLOAT_EQ(line.height, 16);

    // The widest line counts; a final line break adds a line.
    TextExtent lines = text_measure(S("AAA\nA\n"), 2, 0.5);
    EXPECT_FLOAT_EQ(lines.width, 60);
    EXPECT_FLOAT_EQ(lines.height, 3 * 8);

    TextExtent cyrillic = text_measure(S("\xD0\x96" "A"), 1, 1);
    EXPECT_FLOAT_EQ(cyrillic.width, 17);
}

TEST_F(TextTest, AlignmentOffsets) {
    struct Case {
        uint16_t word;
        float offset_x, offset_y;
    } cases[] = {
        {0, 0, 0},                // left, baseline
        {text_align_word(TextAlign{ALIGN_CENTER, ALIGN_BOTTOM}), -10, 16},
        {512, 0, 16 - 16},        // left/middle: height / 2 - L
        {514, -10, 0},
        {text_align_word(TextAlign{ALIGN_RIGHT, ALIGN_TOP}), -20, -16},
        {text_align_word(TextAlign{7, 9}), 0, 0},   // unknown values: left, baseline
    };
    for (const Case& c : cases) {
        draw.align = text_align_from_word(c.word);
        TextExtent e = text_measure(S("AA\nA"), 1, 1);
        EXPECT_FLOAT_EQ(e.offset_x, c.offset_x) << c.word;
        EXPECT_FLOAT_EQ(e.offset_y, c.offset_y) << c.word;
    }
    EXPECT_EQ(text_align_word(TextAlign{ALIGN_LEFT, ALIGN_MIDDLE}), 512);
    EXPECT_EQ(text_align_word(TextAlign{ALIGN_CENTER, ALIGN_MIDDLE}), 514);
    EXPECT_EQ(text_align_from_word(256).vertical, ALIGN_BOTTOM);
}

TEST_F(TextTest, GlyphRectanglesFollowThePen) {
    draw.align = TextAlign{ALIGN_RIGHT, ALIGN_BOTTOM};
    // Two lines: "AA" (20 wide) and "A"; right/bottom puts the pen at
    // (-20, 16) and a line break returns it to x -20.
    float end = text_draw(S("AA\n A"), 100, 50, 1, 1);
    ASSERT_EQ(quad_count(), 3);
    expect_rect(quad(0), 100 - 20 + 1, 50 + 16 - 2, 8, 12);
    expect_rect(quad(1), 100 - 10 + 1, 50 + 16 - 2, 8, 12);
    expect_rect(quad(2), 100 - 20 + 4 + 1, 50 - 2, 8, 12);
    EXPECT_FLOAT_EQ(end, 100 - 20 + 4 + 10);
    // Texture rectangle of the glyph.
    const MeshVertex* v = draw.vertices.data;
    EXPECT_EQ(v[0].uv.x, 0.25f);
    EXPECT_FLOAT_EQ(v[2].uv.x, 0.25f + 8.0f / 256);
    EXPECT_FLOAT_EQ(v[2].uv.y, 12.0f / 256);
}

TEST_F(TextTest, SnappingRoundsEachRectangleValue) {
    text_draw(S("AA"), 10.3f, 20.6f, 1.3, 1.3);
    Vec4 loose = quad(1);
    batch_begin();
    draw.pixel_snap = 1;
    text_draw(S("AA"), 10.3f, 20.6f, 1.3, 1.3);
    Vec4 snapped = quad(1);
    EXPECT_NE(loose.x, std::floor(loose.x));
    EXPECT_EQ(snapped.x, std::floor(loose.x + 0.5f));
    EXPECT_EQ(snapped.y, std::floor(loose.y + 0.5f));
    EXPECT_EQ(snapped.z, std::floor(loose.z + 0.5f));
    EXPECT_EQ(snapped.w, std::floor(loose.w + 0.5f));
}

TEST_F(TextTest, ClippedTextCutsGlyphsAndKeepsTheAdvance) {
    // Glyphs at x 1..9, 11..19, 21..29 (baseline 0, rows -2..10); clip x < 15.
    Vec4 clip{0, -100, 15, 200};
    float plain_end = text_draw(S("AAA"), 0, 0, 1, 1);
    batch_begin();
    float end = text_draw_clipped(S("AAA"), clip, 0, 0, 1, 1);
    EXPECT_EQ(end, plain_end);
    ASSERT_EQ(quad_count(), 2);
    expect_rect(quad(0), 1, -2, 8, 12);
    expect_rect(quad(1), 11, -2, 4, 12);
    const MeshVertex* v = draw.vertices.data + 4;
    EXPECT_FLOAT_EQ(v[1].uv.x, 0.25f + 4.0f / 256);
}

TEST_F(TextTest, FontWithoutGlyphsDrawsNothing) {
    Font empty{};
    empty.font_scale = 256;
    draw.font = &empty;
    EXPECT_EQ(text_draw(S("AB\xD0\x96"), 5, 5, 1, 1), 5);
    EXPECT_EQ(quad_count(), 0);
    draw.font = nullptr;
    EXPECT_EQ(text_measure(S("A"), 1, 1).width, 0);
}

TEST_F(TextTest, SwitchingFontsLooksUpEachFontsOwnGlyphs) {
    Font other = make_font();
    other.glyphs.data[1].advance = 3.0 / 256;
    EXPECT_FLOAT_EQ(text_measure(S("A"), 1, 1).width, 10);
    draw.font = &other;
    EXPECT_FLOAT_EQ(text_measure(S("A"), 1, 1).width, 3);
    // A glyph added to the current font afterwards is found.
    Glyph b = pixel_glyph(0, 0, 2, 1, 1, 0);
    int_map_insert(&other.glyph_map, 'B', (uint32_t)array_push(&other.glyphs, b));
    EXPECT_FLOAT_EQ(text_measure(S("B"), 1, 1).width, 2);
    draw.font = &font;
    EXPECT_FLOAT_EQ(text_measure(S("AB"), 1, 1).width, 16);
}

TEST_F(TextTest, SceneTextGoesThroughTheMatrixFromAPenAtTheOrigin) {
    draw.align = TextAlign{ALIGN_CENTER, ALIGN_MIDDLE};   // ignored here
    draw.pixel_snap = 1;                                  // ignored here
    draw.color = Vec4{1, 0, 0, 1};
    Mat4 matrix = mat4_multiply(mat4_translation(5, 6, 7), mat4_scale(2, 2, 2));
    text_append_transformed(S("A\nA"), matrix, 0.5);
    ASSERT_EQ(quad_count(), 2);
    const MeshVertex* v = draw.vertices.data;
    // Glyph at (0.5, -1) size (4, 6) in the line frame, doubled and moved.
    EXPECT_FLOAT_EQ(v[0].position.x, 5 + 1);
    EXPECT_FLOAT_EQ(v[0].position.y, 6 - 2);
    EXPECT_FLOAT_EQ(v[0].position.z, 7);
    EXPECT_FLOAT_EQ(v[2].position.x, 5 + 9);
    EXPECT_FLOAT_EQ(v[2].position.y, 6 + 10);
    EXPECT_EQ(v[0].color.x, 1);
    EXPECT_EQ(v[0].color.y, 0);
    // Second line: one scaled line height (8) lower.
    EXPECT_FLOAT_EQ(v[4].position.y, 6 - 2 - 16);
}

}  // namespace
