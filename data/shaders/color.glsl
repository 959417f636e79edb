// The color picker's square: saturation grows to the right, value upwards,
// for the hue carried in the vertex color (h, h, h, h). The result is made
// linear like every other color that reaches the scene image.
#ifdef VERTEX
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec2 texcoord;

uniform mat4 matrix_model_view_projection;

out float vertex_hue;
out vec2 vertex_uv;

void main() {
    vertex_hue = color.r;
    vertex_uv = texcoord;
    gl_Position = matrix_model_view_projection * vec4(position, 1.0);
}
#endif

#ifdef FRAGMENT
in float vertex_hue;
in vec2 vertex_uv;

uniform float gamma;

out vec4 fragment_color;

void main() {
    float saturation = clamp(vertex_uv.x, 0.0, 1.0);
    float value = clamp(vertex_uv.y, 0.0, 1.0);
    // The same sectors as the picker's own conversion of the chosen color.
    float t = mod(6.0 * vertex_hue, 6.0);
    float c = value * saturation;
    float m = value - c;
    float x = (1.0 - abs(mod(t, 2.0) - 1.0)) * c + m;
    float v = c + m;
    vec3 rgb;
    if (t < 1.0) rgb = vec3(v, x, m);
    else if (t < 2.0) rgb = vec3(x, v, m);
    else if (t < 3.0) rgb = vec3(m, v, x);
    else if (t < 4.0) rgb = vec3(m, x, v);
    else if (t < 5.0) rgb = vec3(x, m, v);
    else rgb = vec3(v, m, x);
    fragment_color = vec4(pow(rgb, vec3(gamma)), 1.0);
}
#endif
