// Drawing for the data generator: a float RGBA canvas, signed-distance shapes
// rendered with 4x4 supersampling, and PNG output through stb_image_write.
// Coordinates are in pixels with the origin at the top-left and y down.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct V2 {
    float x, y;
};
inline V2 operator+(V2 a, V2 b) { return {a.x + b.x, a.y + b.y}; }
inline V2 operator-(V2 a, V2 b) { return {a.x - b.x, a.y - b.y}; }
inline V2 operator*(V2 a, float s) { return {a.x * s, a.y * s}; }
float dot(V2 a, V2 b);
float length(V2 a);
V2 rotate(V2 p, float degrees);

struct Color {
    float r, g, b, a;
};

// Premultiplied RGBA, 0..1 per channel.
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<float> px;  // width * height * 4
};

// A shape: signed distance in pixels at a point, negative inside.
using Sdf = std::function<float(V2)>;

Canvas canvas_make(int width, int height, Color fill = {0, 0, 0, 0});
Color canvas_get(const Canvas& c, int x, int y);  // premultiplied
void canvas_set(Canvas& c, int x, int y, Color premultiplied);

// Coverage of the shape at a pixel from a 4x4 grid of samples.
float sdf_coverage(const Sdf& shape, int x, int y);
// Paints `color` (straight alpha) over the canvas where the shape lies.
void canvas_fill(Canvas& c, const Sdf& shape, Color color);
// Paints with a per-pixel color (straight alpha) given by `shade` at the
// pixel centre.
void canvas_fill_shaded(Canvas& c, const Sdf& shape, const std::function<Color(V2)>& shade);
// Removes the canvas contents where the shape lies (a transparent cut).
void canvas_erase(Canvas& c, const Sdf& shape);
// Draws `src` over `dst` with its top-left at (x, y), scaled by `tint`.
void canvas_blit(Canvas& dst, const Canvas& src, int x, int y, Color tint = {1, 1, 1, 1});
// Box-filtered resize (area average), used for the previews.
Canvas canvas_resize(const Canvas& src, int width, int height);

// Writes an 8-bit straight-alpha PNG. Fully transparent pixels take the color
// of their nearest visible neighbours so that filtering and mipmaps of the
// texture do not pull dark fringes into the edges of shapes.
bool canvas_write_png(const Canvas& c, const std::string& path);
bool canvas_read_png(Canvas* out, const std::string& path);

// Shapes.
Sdf sd_circle(V2 centre, float radius);
Sdf sd_box(V2 centre, V2 half_size, float corner_radius = 0);
Sdf sd_capsule(V2 a, V2 b, float radius);
Sdf sd_polygon(std::vector<V2> points);  // any simple polygon
Sdf sd_ellipse(V2 centre, V2 radii);      // approximate distance, exact sign
// An arc of a ring between two angles in degrees (0 = +x, counter-clockwise
// as seen on screen, i.e. towards -y), with round ends.
Sdf sd_arc(V2 centre, float radius, float from_degrees, float to_degrees, float thickness);
Sdf sd_stroke(Sdf shape, float width);  // outline of a shape
Sdf sd_union(Sdf a, Sdf b);
Sdf sd_intersect(Sdf a, Sdf b);
Sdf sd_subtract(Sdf a, Sdf b);  // a without b
Sdf sd_offset(Sdf a, float amount);  // grow (positive) or shrink
// A quadratic Bezier curve stroked with round ends (sampled as segments).
Sdf sd_bezier(V2 p0, V2 p1, V2 p2, float radius, int segments = 24);
// An arrow head: a triangle with its tip at `tip`, pointing along `dir`.
Sdf sd_arrow_head(V2 tip, V2 dir, float length, float half_width);

// Utility for text files: appends a float in plain decimal notation (no
// exponent, trailing zeros removed, never "-0").
void append_number(std::string& out, double value, int decimals = 6);
bool write_text_file(const std::string& path, const std::string& text);
bool make_directories(const std::string& path);
