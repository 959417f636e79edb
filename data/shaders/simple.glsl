// The scene and the interface: texture x vertex color x "diffuse".
// Colors arrive linear; the texture holds display-space values, so its
// sample is made linear with "gamma" before it is multiplied.
#ifdef VERTEX
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec2 texcoord;

uniform mat4 matrix_model_view_projection;
uniform vec4 uv_rect;

out vec4 vertex_color;
out vec2 vertex_uv;

void main() {
    vertex_color = color;
    vertex_uv = uv_rect.xy + texcoord * uv_rect.zw;
    gl_Position = matrix_model_view_projection * vec4(position, 1.0);
}
#endif

#ifdef FRAGMENT
in vec4 vertex_color;
in vec2 vertex_uv;

uniform sampler2D diffuse_map;
uniform vec4 diffuse;
uniform float gamma;

out vec4 fragment_color;

void main() {
    vec4 texel = texture(diffuse_map, vertex_uv);
    texel.rgb = pow(texel.rgb, vec3(gamma));
    fragment_color = texel * vertex_color * diffuse;
}
#endif
