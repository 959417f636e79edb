// The hue / saturation / value color picker with an alpha strip, a preview
// swatch and "ok". It knows nothing of what it edits: the host resolves the
// picker's binding to a color every frame and hands it in. Relies on the
// widgets (pointer, text button), ui/quad, the "color" shader program and
// the hue, alpha and circle icons.
#pragma once

#include <cstdint>

#include "math/math.h"
#include "ui/widgets.h"

// What a picker edits, named so that it can be found again every frame: the
// host's own codes (an object id and which of its colors, the scene's
// background, ...). The picker only carries it.
struct ColorBinding {
    uint8_t kind;            // host's code; 0 binds nothing
    uint8_t field;           // host's code: which color of the bound thing
    int64_t id;              // host's code: which thing
    int64_t scene;           // host's code: which state of the whole that holds it
};

// Panel content of the color picker: the first byte is the close request.
struct ColorPicker {
    uint8_t done;            // "ok" was clicked, or the bound color is gone
    ColorBinding target;
    ButtonState ok;
    float hue, saturation, value, alpha;   // 0..1
    uint8_t dragging_square, dragging_hue, dragging_alpha;
    // The color it was started from, given back exactly until a drag moves
    // something: the way through hue, saturation and value changes the last
    // bits of most colors, and merely opening the picker must not.
    Vec4 start_color;
    uint8_t moved;
};

// Hue, saturation, value, alpha to RGBA by six sectors of the hue; hue 1 is
// hue 0 again. A hue that falls in no sector (not a number) gives opaque black.
Vec4 color_from_hsv(float hue, float saturation, float value, float alpha);
// The inverse for an RGBA color: (hue, saturation, value, alpha), hue 0
// for greys and saturation 0 for black.
Vec4 color_to_hsv(Vec4 color);

// A picker started from `color`, bound to `target`.
ColorPicker color_picker_make(Vec4 color, ColorBinding target);

struct ColorPickerLayout {
    Vec4 square, hue_strip, alpha_strip, ok, preview;
};
// Where the parts go inside the content rectangle, with the theme's size
// unit and spacing.
ColorPickerLayout color_picker_layout(Vec4 rect, float unit, float spacing);

// The drags of one frame: presses inside the square or a strip start a
// drag (no other area is asked), a release ends all three, and a drag under
// way follows the pointer clamped to its part.
void color_picker_drag(ColorPicker* picker, const ColorPickerLayout& layout, const PointerInput& pointer);

// The color the picker stands for now.
Vec4 color_picker_color(const ColorPicker* picker);

// One frame: drags, drawing, "ok"; the picked color is written to *target
// (when not null) every frame. Returns the picked color.
Vec4 color_picker_update(ColorPicker* picker, Vec4* target, Vec2 position, Vec2 size);
