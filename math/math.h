// Vectors, rotors, matrices and the ray-plane test shared by every spatial
// module. Column vectors, column-major matrices (element row i, column j is
// m[j * 4 + i]), rotors stored as (s, xy, xz, yz). Square roots and
// trigonometry go through the platform's double-precision math calls.
// No tolerances: the only zero tests are exact comparisons.
#pragma once

#include <cstdint>

struct Vec2 { float x, y; };
struct Vec3 { float x, y, z; };
struct Vec4 { float x, y, z, w; };   // also RGBA colors and rectangles (x, y, width, height)

// A rotation by t about the unit axis (x, y, z) is
// (cos(t/2), z sin(t/2), -y sin(t/2), x sin(t/2)). This order is stored in
// scene files and written by the text export.
struct Rotor { float s, xy, xz, yz; };

struct Mat3 { float m[9]; };   // column-major
struct Mat4 { float m[16]; };  // column-major; translation in m[12], m[13], m[14]

struct Transform {
    Vec3 position;
    Rotor rotation;
    Vec3 scale;
};

constexpr double DEGREES_TO_RADIANS = 0.017453292519943295;

// ---------------------------------------------------------------------------
// Vectors
Vec2 vec2_add(Vec2 a, Vec2 b);
Vec2 vec2_sub(Vec2 a, Vec2 b);
Vec2 vec2_scale(Vec2 v, float s);

Vec3 vec3_add(Vec3 a, Vec3 b);
Vec3 vec3_sub(Vec3 a, Vec3 b);
Vec3 vec3_scale(Vec3 v, float s);
Vec3 vec3_mul(Vec3 a, Vec3 b);        // componentwise
Vec3 vec3_negate(Vec3 v);             // flips the sign bits: 0 becomes -0
Vec3 vec3_cross(Vec3 a, Vec3 b);
float vec3_dot(Vec3 a, Vec3 b);       // a.x b.x + a.y b.y + a.z b.z, in that order
float vec3_length(Vec3 v);            // sqrt of the float sum of squares, narrowed
Vec3 vec3_normalize(Vec3 v);          // (0, 0, 0) when the length is exactly 0

// ---------------------------------------------------------------------------
// Rotors
Rotor rotor_identity();
// Rotation by `angle` radians about the unit `axis`.
Rotor rotor_from_axis_angle(Vec3 axis, float angle);
float rotor_length(Rotor q);
Rotor rotor_normalize(Rotor q);       // (0, 0, 0, 0) when the length is exactly 0
Rotor rotor_reverse(Rotor q);         // vector parts negated: the inverse of a unit rotor
// As rotations, the product applies p first and then q.
Rotor rotor_multiply(Rotor p, Rotor q);
Mat3 rotor_to_mat3(Rotor q);

// ---------------------------------------------------------------------------
// Matrices
Mat4 mat4_identity();
Mat4 mat4_translation(float x, float y, float z);
Mat4 mat4_scale(float x, float y, float z);
Mat4 mat4_rotation_x(float angle);    // radians
Mat4 mat4_rotation_y(float angle);    // positive turns +x towards +z (opposite sense to x and z)
Mat4 mat4_rotation_z(float angle);
Mat4 mat4_multiply(Mat4 a, Mat4 b);   // a x b: b applies first
Vec3 mat4_transform_point(Mat4 m, Vec3 v);   // w = 1, no division by w
Vec4 mat4_transform_vec4(Mat4 m, Vec4 v);
Mat4 mat4_from_mat3(Mat3 m);
// General inverse by cofactors; the zero matrix when the determinant is 0.
Mat4 mat4_inverse(Mat4 m);
Mat4 mat4_ortho(float left, float right, float bottom, float top, float near_plane, float far_plane);
Mat4 mat4_perspective(float fov_degrees, float aspect, float near_plane, float far_plane);

Mat3 mat3_identity();
Mat3 mat3_from_mat4(Mat4 m);
Mat3 mat3_from_columns(Vec3 a, Vec3 b, Vec3 c);
Vec3 mat3_column(Mat3 m, int32_t index);
Mat3 mat3_multiply(Mat3 a, Mat3 b);
Vec3 mat3_transform(Mat3 m, Vec3 v);
Mat3 mat3_transpose(Mat3 m);
float mat3_determinant(Mat3 m);
// Cofactor matrix: determinant x inverse transpose, not divided by the
// determinant (normals are normalised in the shaders).
Mat3 mat3_normal(Mat3 m);
// The inverse; the zero matrix when the determinant is exactly 0.
Mat3 mat3_inverse(Mat3 m);

// ---------------------------------------------------------------------------
// Transforms
Transform transform_default();        // origin, identity rotation, scale 1
// translation x rotation (normalised on every use) x scale.
Mat4 transform_to_matrix(Transform transform);

// ---------------------------------------------------------------------------
// Geometry
// Plane: points p with normal . p = distance. False when the ray is parallel
// (normal . direction exactly 0) or the plane lies behind the origin;
// otherwise *hit = origin + direction * s and *s is set (s >= 0).
bool ray_plane_intersect(Vec3 normal, float distance, Vec3 origin, Vec3 direction, Vec3* hit, float* s);
