// The final pass: copies the linear scene image to the window, back in
// display space with the power 1 / "gamma".
#ifdef VERTEX
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec2 texcoord;

uniform mat4 matrix_model_view_projection;
uniform vec4 uv_rect;

out vec2 vertex_uv;

void main() {
    vertex_uv = uv_rect.xy + texcoord * uv_rect.zw;
    gl_Position = matrix_model_view_projection * vec4(position, 1.0);
}
#endif

#ifdef FRAGMENT
in vec2 vertex_uv;

uniform sampler2D diffuse_map;
uniform float gamma;

out vec4 fragment_color;

void main() {
    vec3 linear = clamp(texture(diffuse_map, vertex_uv).rgb, 0.0, 1.0);
    fragment_color = vec4(pow(linear, vec3(1.0 / gamma)), 1.0);
}
#endif
