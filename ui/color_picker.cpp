// The color picker: HSV conversions, its layout, the drags of the square and
// the two strips, and its drawing. Relies on the widgets, ui/quad, the batch
// and the "color" program (render/), the theme and the icon table.
#include "ui/color_picker.h"

#include "app/editor.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/shader.h"
#include "ui/quad.h"

Vec4 color_from_hsv(float hue, float saturation, float value, float alpha) {
    float t = (float)math_mod(6.0 * hue, 6.0);
    // fmod keeps the sign: a hue below 0 comes round from the top.
    if (t < 0) t += 6;
    float c = value * saturation;
    float m = value - c;
    float x = (1 - (float)math_abs(math_mod(t, 2.0) - 1)) * c + m;
    float v = c + m;
    if (t >= 0 && t < 1) return Vec4{v, x, m, alpha};
    if (t >= 1 && t < 2) return Vec4{x, v, m, alpha};
    if (t >= 2 && t < 3) return Vec4{m, v, x, alpha};
    if (t >= 3 && t < 4) return Vec4{m, x, v, alpha};
    if (t >= 4 && t < 5) return Vec4{x, m, v, alpha};
    if (t >= 5 && t < 6) return Vec4{v, m, x, alpha};
    return Vec4{0, 0, 0, 1};
}

Vec4 color_to_hsv(Vec4 color) {
    float r = color.x, g = color.y, b = color.z;
    float max = r > g ? (r > b ? r : b) : (g > b ? g : b);
    float min = r < g ? (r < b ? r : b) : (g < b ? g : b);
    float range = max - min;
    float hue = 0;
    if (range != 0) {
        if (max == r) hue = (float)math_mod((g - b) / range, 6.0) / 6;
        else if (max == g) hue = ((b - r) / range + 2) / 6;
        else hue = ((r - g) / range + 4) / 6;
        // fmod of a negative sector count (blue above green) stays negative.
        if (hue < 0) hue += 1;
    }
    float saturation = max != 0 ? range / max : 0;
    return Vec4{hue, saturation, max, color.w};
}

ColorPicker color_picker_make(Vec4 color, ColorBinding target) {
    ColorPicker picker{};
    Vec4 hsv = color_to_hsv(color);
    picker.hue = hsv.x;
    picker.saturation = hsv.y;
    picker.value = hsv.z;
    picker.alpha = hsv.w;
    picker.target = target;
    picker.start_color = color;
    return picker;
}

ColorPickerLayout color_picker_layout(Vec4 rect, float S, float P) {
    float cx = rect.x + P, cy = rect.y + 2 * P + S;
    float iw = rect.z - 2 * P, ih = rect.w - 3 * P - S;
    float r = cx + iw;
    ColorPickerLayout layout;
    layout.square = Vec4{cx, cy, iw - 2 * S, ih};
    layout.hue_strip = Vec4{r - 2 * S, cy, S, ih};
    layout.alpha_strip = Vec4{r - S, cy, S, ih};
    layout.ok = Vec4{cx, rect.y + P, 2 * S, S};
    layout.preview = Vec4{r - S, cy - S - P, S, S};
    return layout;
}

static float clamp01(float v) {
    // NaN (a part of zero size) lands on 0 rather than spreading.
    if (!(v > 0)) return 0;
    return v < 1 ? v : 1;
}

void color_picker_drag(ColorPicker* picker, const ColorPickerLayout& layout, const PointerInput& pointer) {
    if (pointer.pressed) {
        if (rect_contains(layout.square, pointer.x, pointer.y)) picker->dragging_square = 1;
        if (rect_contains(layout.hue_strip, pointer.x, pointer.y)) picker->dragging_hue = 1;
        if (rect_contains(layout.alpha_strip, pointer.x, pointer.y)) picker->dragging_alpha = 1;
    }
    if (pointer.released) {
        picker->dragging_square = picker->dragging_hue = picker->dragging_alpha = 0;
        return;
    }
    const Vec4& square = layout.square;
    if (picker->dragging_square || picker->dragging_hue || picker->dragging_alpha) picker->moved = 1;
    if (picker->dragging_square) {
        picker->saturation = clamp01((pointer.x - square.x) / square.z);
        picker->value = clamp01((pointer.y - square.y) / square.w);
    }
    if (picker->dragging_hue) picker->hue = clamp01((pointer.y - square.y) / square.w);
    if (picker->dragging_alpha) picker->alpha = clamp01((pointer.y - square.y) / square.w);
}

Vec4 color_picker_color(const ColorPicker* picker) {
    if (!picker->moved) return picker->start_color;
    return color_from_hsv(picker->hue, picker->saturation, picker->value, picker->alpha);
}

static const String OK_TEXT = S("ok");

static void marker(Vec2 centre, float size, Vec4 color) {
    quad_draw(editor.assets.icons[ICON_CIRCLE], color, centre.x - size / 2, centre.y - size / 2, size, size);
}

Vec4 color_picker_update(ColorPicker* picker, Vec4* target, Vec2 position, Vec2 size) {
    const Theme& theme = editor.theme;
    float S = theme.scale;
    ColorPickerLayout layout = color_picker_layout(Vec4{position.x, position.y, size.x, size.y}, S, theme.offset);
    const Vec4& sq = layout.square;
    RenderState& render = editor.render;
    const uint32_t* icons = editor.assets.icons;

    // The square's gradient is the "color" program's work; the hue reaches
    // it unconverted in the vertex color.
    ShaderProgram* previous = render.current_program;
    shader_program_use(&render.color);
    bind_diffuse_texture(icons[ICON_HUE]);
    render.draw.color = Vec4{picker->hue, picker->hue, picker->hue, picker->hue};
    batch_begin();
    quad_append(sq.x, sq.y, sq.z, sq.w, 0, 0, Vec4{0, 0, 1, 1});
    batch_flush();
    shader_program_use(previous ? previous : &render.simple);
    const Vec4 white{1, 1, 1, 1};
    const Vec4 black{0, 0, 0, 1};
    quad_draw(icons[ICON_HUE], white, layout.hue_strip.x, layout.hue_strip.y, layout.hue_strip.z, layout.hue_strip.w);
    quad_draw(icons[ICON_ALPHA], white, layout.alpha_strip.x, layout.alpha_strip.y, layout.alpha_strip.z,
              layout.alpha_strip.w);

    color_picker_drag(picker, layout, pointer_input_read());

    Vec4 color = color_picker_color(picker);
    if (target) *target = color;

    if (text_button(&picker->ok, layout.ok, OK_TEXT)) picker->done = 1;

    // Markers stay readable on what lies under them.
    float right = layout.alpha_strip.x + S;
    bool dark = 2 * color.y + color.x + color.z < 2;
    marker(Vec2{sq.x + sq.z * picker->saturation, sq.y + picker->value * sq.w}, S / 2, dark ? white : black);
    marker(Vec2{right - 1.5f * S, sq.y + picker->hue * sq.w}, S / 2, white);
    marker(Vec2{right - S / 2, sq.y + picker->alpha * sq.w}, S / 2, picker->alpha > 0.5f ? black : white);

    quad_draw(icons[ICON_WHITE], color, layout.preview.x, layout.preview.y, layout.preview.z, layout.preview.w);
    return color;
}
