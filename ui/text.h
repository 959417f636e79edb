// Text layout and drawing from bitmap fonts: UTF-8 decoding, glyph lookup,
// measuring with alignment, and glyph quads appended to the immediate batch,
// optionally clipped and snapped to whole pixels. Relies on the Font record
// (assets), the batch and draw state (render/draw) and ui/quad.
#pragma once

#include <cstdint>

#include "assets/assets.h"
#include "core/types.h"
#include "math/math.h"
#include "render/draw.h"

// The code point at the start of `data` (`remaining` bytes). The bytes it
// occupies go to *length, except for a stray continuation byte, for which
// *length is left as the caller preset it (callers preset 1). A sequence cut
// short by the end gives U+FFFD and a length no longer than `remaining`.
uint32_t utf8_decode(const uint8_t* data, int64_t remaining, int64_t* length);
// Index of the code point's glyph in `font`, 0 (the replacement glyph) when absent.
uint32_t glyph_lookup(const Font* font, uint32_t code_point);

struct TextExtent {
    float offset_x, offset_y;   // where the pen starts so that the alignment holds
    float width, height;        // widest line; lines x line height (at least one)
};

// Makes `font` current and binds its texture.
void text_font_bind(Font* font);
// Size and alignment offset with the current font and alignment; scale 1 is
// the font's own pixel size.
TextExtent text_measure(String text, double scale_x, double scale_y);
// One quad per visible glyph, the pen starting at (x, y) plus the alignment
// offset; returns the window x where the pen ends.
float text_draw(String text, float x, float y, double scale_x, double scale_y);
// The same with every glyph clipped to `clip` (glyphs clipped away are
// skipped; the pen advances all the same).
float text_draw_clipped(String text, Vec4 clip, float x, float y, double scale_x, double scale_y);
// A whole string in one draw call: font, color and alignment set, batch
// emptied, drawn, flushed. The color is display-space and made linear here,
// as for the interface quads.
float text_draw_now(Font* font, Vec4 color, String text, float x, float y, double scale_x, double scale_y,
                    uint8_t align_horizontal, uint8_t align_vertical);
// Clipped, always aligned left/middle.
float text_draw_now_clipped(Font* font, Vec4 color, String text, Vec4 clip, float x, float y, double scale_x,
                            double scale_y);
// For text in the scene: glyph rectangles at `scale` from a pen at (0, 0),
// no alignment offset and no snapping, each corner carried through `matrix`;
// corner colors white (the current color tints them). Appends only.
void text_append_transformed(String text, const Mat4& matrix, double scale);
