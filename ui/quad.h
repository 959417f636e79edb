// Interface rectangles: the screen-space quad builder over the immediate
// batch, the one-quad-one-draw routine every widget uses, and clipping of a
// rectangle against a clip rectangle with matching texture-coordinate
// correction (how scrolled lists and text fields stay inside their frames).
// Relies on render/draw (the batch) and render/shader (texture binding).
#pragma once

#include <cstdint>

#include "math/math.h"

// Window pixels, origin bottom-left, y up. Rectangles and uv rectangles are
// (x, y, width, height) in a Vec4.
//
// The `_draw` routines take display-space colors (theme, palette, tints) and
// make them linear themselves: the scene image is linear and the final pass
// raises it back, so a color given here shows as given. Code that needs
// exact values in a target (picking identities) sets `draw.color` and uses
// quad_append instead.

// Appends one quad at (x, y) of the given size, shifted by -origin, with the
// current color and uv rectangle `uv`; corners in the order (0,0), (1,0),
// (1,1), (0,1) of the unit square.
void quad_append(float x, float y, float width, float height, float origin_x, float origin_y, Vec4 uv);
// Binds `texture`, sets the color, empties the batch, appends one quad with
// uv (0, 0, 1, 1) and flushes: one draw call.
void quad_draw(uint32_t texture, Vec4 color, float x, float y, float width, float height, float origin_x = 0,
               float origin_y = 0);
// Clips `rect` in place (both ends of each axis) and returns (du, dv, su, sv): the offset and scale to apply inside
// the quad's own uv rectangle. The width or height may end at 0 or below.
Vec4 clip_rect_uv(Vec4* rect, Vec4 clip);
// The uv rectangle `uv` narrowed by a clip_rect_uv result.
Vec4 clip_uv_apply(Vec4 uv, Vec4 clip_result);
// quad_draw with the rectangle clipped first; nothing is drawn when the
// clipped rectangle is empty.
void quad_draw_clipped(uint32_t texture, Vec4 color, float x, float y, float width, float height, Vec4 uv, Vec4 clip);
