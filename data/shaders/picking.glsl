// The picking pass: vertex color x "diffuse" reaches the 16-bit target as
// it is (no texture, no gamma); each channel carries 16 bits of identity.
#ifdef VERTEX
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 color;

uniform mat4 matrix_model_view_projection;

// flat: every vertex of a primitive carries the same identity, and no
// interpolation may touch its low bits.
flat out vec4 vertex_color;

void main() {
    vertex_color = color;
    gl_Position = matrix_model_view_projection * vec4(position, 1.0);
}
#endif

#ifdef FRAGMENT
flat in vec4 vertex_color;

uniform vec4 diffuse;

out vec4 fragment_color;

void main() {
    fragment_color = vertex_color * diffuse;
}
#endif
