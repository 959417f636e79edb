// Vector, rotor and matrix operations. Every formula is evaluated in float in
// the written order (the build forbids fused multiply-add) so that results,
// and with them saved files, are the same on every machine. Square roots and
// sines go through the platform in double precision and are narrowed.
#include "math/math.h"

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Vectors

Vec2 vec2_add(Vec2 a, Vec2 b) { return Vec2{a.x + b.x, a.y + b.y}; }
Vec2 vec2_sub(Vec2 a, Vec2 b) { return Vec2{a.x - b.x, a.y - b.y}; }
Vec2 vec2_scale(Vec2 v, float s) { return Vec2{v.x * s, v.y * s}; }

Vec3 vec3_add(Vec3 a, Vec3 b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 vec3_sub(Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 vec3_scale(Vec3 v, float s) { return Vec3{v.x * s, v.y * s, v.z * s}; }
Vec3 vec3_mul(Vec3 a, Vec3 b) { return Vec3{a.x * b.x, a.y * b.y, a.z * b.z}; }
Vec3 vec3_negate(Vec3 v) { return Vec3{-v.x, -v.y, -v.z}; }

Vec3 vec3_cross(Vec3 a, Vec3 b) {
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float vec3_dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float vec3_length(Vec3 v) {
    float sum = v.x * v.x + v.y * v.y + v.z * v.z;
    return (float)math_sqrt((double)sum);
}

Vec3 vec3_normalize(Vec3 v) {
    float length = vec3_length(v);
    if (length == 0.0f) return Vec3{0, 0, 0};
    return Vec3{v.x / length, v.y / length, v.z / length};
}

// ---------------------------------------------------------------------------
// Rotors

Rotor rotor_identity() { return Rotor{1, 0, 0, 0}; }

Rotor rotor_from_axis_angle(Vec3 axis, float angle) {
    double half = (double)angle * 0.5;
    float c = (float)math_cos(half);
    float s = (float)math_sin(half);
    return Rotor{c, axis.z * s, -axis.y * s, axis.x * s};
}

float rotor_length(Rotor q) {
    float sum = q.s * q.s + q.xy * q.xy + q.xz * q.xz + q.yz * q.yz;
    return (float)math_sqrt((double)sum);
}

Rotor rotor_normalize(Rotor q) {
    float length = rotor_length(q);
    if (length == 0.0f) return Rotor{0, 0, 0, 0};
    return Rotor{q.s / length, q.xy / length, q.xz / length, q.yz / length};
}

Rotor rotor_reverse(Rotor q) { return Rotor{q.s, -q.xy, -q.xz, -q.yz}; }

Rotor rotor_multiply(Rotor p, Rotor q) {
    float p0 = p.s, p1 = p.xy, p2 = p.xz, p3 = p.yz;
    float q0 = q.s, q1 = q.xy, q2 = q.xz, q3 = q.yz;
    Rotor r;
    r.s = p0 * q0 - p1 * q1 - p2 * q2 - p3 * q3;
    r.xy = p0 * q1 + p1 * q0 + p3 * q2 - p2 * q3;
    r.xz = p0 * q2 + p2 * q0 + p1 * q3 - p3 * q1;
    r.yz = p0 * q3 + p3 * q0 + p2 * q1 - p1 * q2;
    return r;
}

Mat3 rotor_to_mat3(Rotor q) {
    float q0 = q.s, q1 = q.xy, q2 = q.xz, q3 = q.yz;
    Mat3 r;
    r.m[0] = q0 * q0 - q1 * q1 - q2 * q2 + q3 * q3;
    r.m[1] = 2 * (q0 * q1 - q2 * q3);
    r.m[2] = 2 * (q0 * q2 + q1 * q3);
    r.m[3] = -2 * (q0 * q1 + q2 * q3);
    r.m[4] = q0 * q0 - q1 * q1 + q2 * q2 - q3 * q3;
    r.m[5] = 2 * (q0 * q3 - q1 * q2);
    r.m[6] = 2 * (q1 * q3 - q0 * q2);
    r.m[7] = -2 * (q0 * q3 + q1 * q2);
    r.m[8] = q0 * q0 + q1 * q1 - q2 * q2 - q3 * q3;
    return r;
}

// ---------------------------------------------------------------------------
// 4x4 matrices

Mat4 mat4_identity() {
    Mat4 r = {};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1;
    return r;
}

Mat4 mat4_translation(float x, float y, float z) {
    Mat4 r = mat4_identity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

Mat4 mat4_scale(float x, float y, float z) {
    Mat4 r = {};
    r.m[0] = x;
    r.m[5] = y;
    r.m[10] = z;
    r.m[15] = 1;
    return r;
}

Mat4 mat4_rotation_x(float angle) {
    float c = (float)math_cos((double)angle);
    float s = (float)math_sin((double)angle);
    Mat4 r = {};
    r.m[0] = r.m[15] = 1;
    r.m[5] = r.m[10] = c;
    r.m[6] = s;
    r.m[9] = -s;
    return r;
}

// The sine sits in float 2 (row 2 of column 0): the opposite sense to the
// x and z rotations when seen from the positive axis. The camera's yaw is
// built on this.
Mat4 mat4_rotation_y(float angle) {
    float c = (float)math_cos((double)angle);
    float s = (float)math_sin((double)angle);
    Mat4 r = {};
    r.m[5] = r.m[15] = 1;
    r.m[0] = r.m[10] = c;
    r.m[2] = s;
    r.m[8] = -s;
    return r;
}

Mat4 mat4_rotation_z(float angle) {
    float c = (float)math_cos((double)angle);
    float s = (float)math_sin((double)angle);
    Mat4 r = {};
    r.m[10] = r.m[15] = 1;
    r.m[0] = r.m[5] = c;
    r.m[1] = s;
    r.m[4] = -s;
    return r;
}

Mat4 mat4_multiply(Mat4 a, Mat4 b) {
    Mat4 r;
    for (int j = 0; j < 4; j++) {
        for (int i = 0; i < 4; i++) {
            float sum = a.m[i] * b.m[j * 4];
            for (int k = 1; k < 4; k++) sum += a.m[k * 4 + i] * b.m[j * 4 + k];
            r.m[j * 4 + i] = sum;
        }
    }
    return r;
}

Vec3 mat4_transform_point(Mat4 m, Vec3 v) {
    Vec3 r;
    r.x = m.m[0] * v.x + m.m[4] * v.y + m.m[8] * v.z + m.m[12];
    r.y = m.m[1] * v.x + m.m[5] * v.y + m.m[9] * v.z + m.m[13];
    r.z = m.m[2] * v.x + m.m[6] * v.y + m.m[10] * v.z + m.m[14];
    return r;
}

Vec4 mat4_transform_vec4(Mat4 m, Vec4 v) {
    Vec4 r;
    r.x = m.m[0] * v.x + m.m[4] * v.y + m.m[8] * v.z + m.m[12] * v.w;
    r.y = m.m[1] * v.x + m.m[5] * v.y + m.m[9] * v.z + m.m[13] * v.w;
    r.z = m.m[2] * v.x + m.m[6] * v.y + m.m[10] * v.z + m.m[14] * v.w;
    r.w = m.m[3] * v.x + m.m[7] * v.y + m.m[11] * v.z + m.m[15] * v.w;
    return r;
}

Mat4 mat4_from_mat3(Mat3 m) {
    Mat4 r = {};
    for (int j = 0; j < 3; j++) {
        for (int i = 0; i < 3; i++) r.m[j * 4 + i] = m.m[j * 3 + i];
    }
    r.m[15] = 1;
    return r;
}

Mat4 mat4_inverse(Mat4 m) {
    const float* a = m.m;
    // 2x2 sub-determinants of the lower two rows and of the upper two rows.
    float s0 = a[0] * a[5] - a[4] * a[1];
    float s1 = a[0] * a[9] - a[8] * a[1];
    float s2 = a[0] * a[13] - a[12] * a[1];
    float s3 = a[4] * a[9] - a[8] * a[5];
    float s4 = a[4] * a[13] - a[12] * a[5];
    float s5 = a[8] * a[13] - a[12] * a[9];
    float c5 = a[10] * a[15] - a[14] * a[11];
    float c4 = a[6] * a[15] - a[14] * a[7];
    float c3 = a[6] * a[11] - a[10] * a[7];
    float c2 = a[2] * a[15] - a[14] * a[3];
    float c1 = a[2] * a[11] - a[10] * a[3];
    float c0 = a[2] * a[7] - a[6] * a[3];
    float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    Mat4 r = {};
    if (det == 0.0f) return r;
    float inv = 1.0f / det;
    r.m[0] = (a[5] * c5 - a[9] * c4 + a[13] * c3) * inv;
    r.m[4] = (-a[4] * c5 + a[8] * c4 - a[12] * c3) * inv;
    r.m[8] = (a[7] * s5 - a[11] * s4 + a[15] * s3) * inv;
    r.m[12] = (-a[6] * s5 + a[10] * s4 - a[14] * s3) * inv;
    r.m[1] = (-a[1] * c5 + a[9] * c2 - a[13] * c1) * inv;
    r.m[5] = (a[0] * c5 - a[8] * c2 + a[12] * c1) * inv;
    r.m[9] = (-a[3] * s5 + a[11] * s2 - a[15] * s1) * inv;
    r.m[13] = (a[2] * s5 - a[10] * s2 + a[14] * s1) * inv;
    r.m[2] = (a[1] * c4 - a[5] * c2 + a[13] * c0) * inv;
    r.m[6] = (-a[0] * c4 + a[4] * c2 - a[12] * c0) * inv;
    r.m[10] = (a[3] * s4 - a[7] * s2 + a[15] * s0) * inv;
    r.m[14] = (-a[2] * s4 + a[6] * s2 - a[14] * s0) * inv;
    r.m[3] = (-a[1] * c3 + a[5] * c1 - a[9] * c0) * inv;
    r.m[7] = (a[0] * c3 - a[4] * c1 + a[8] * c0) * inv;
    r.m[11] = (-a[3] * s3 + a[7] * s1 - a[11] * s0) * inv;
    r.m[15] = (a[2] * s3 - a[6] * s1 + a[10] * s0) * inv;
    return r;
}

Mat4 mat4_ortho(float left, float right, float bottom, float top, float near_plane, float far_plane) {
    Mat4 r = {};
    r.m[0] = 2 / (right - left);
    r.m[5] = 2 / (top - bottom);
    r.m[10] = -2 / (far_plane - near_plane);
    r.m[12] = -(right + left) / (right - left);
    r.m[13] = -(top + bottom) / (top - bottom);
    r.m[14] = -(far_plane + near_plane) / (far_plane - near_plane);
    r.m[15] = 1;
    return r;
}

Mat4 mat4_perspective(float fov_degrees, float aspect, float near_plane, float far_plane) {
    float h = (float)((double)fov_degrees * DEGREES_TO_RADIANS) * 0.5f;
    float t = (float)(math_sin((double)h) / math_cos((double)h));
    Mat4 r = {};
    r.m[0] = 1 / (aspect * t);
    r.m[5] = 1 / t;
    r.m[10] = -(far_plane + near_plane) / (far_plane - near_plane);
    r.m[11] = -1;
    r.m[14] = -2 * far_plane * near_plane / (far_plane - near_plane);
    return r;
}

// ---------------------------------------------------------------------------
// 3x3 matrices

Mat3 mat3_identity() {
    Mat3 r = {};
    r.m[0] = r.m[4] = r.m[8] = 1;
    return r;
}

Mat3 mat3_from_mat4(Mat4 m) {
    Mat3 r;
    for (int j = 0; j < 3; j++) {
        for (int i = 0; i < 3; i++) r.m[j * 3 + i] = m.m[j * 4 + i];
    }
    return r;
}

Mat3 mat3_from_columns(Vec3 a, Vec3 b, Vec3 c) {
    return Mat3{{a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z}};
}

Vec3 mat3_column(Mat3 m, int32_t index) {
    return Vec3{m.m[index * 3], m.m[index * 3 + 1], m.m[index * 3 + 2]};
}

Mat3 mat3_multiply(Mat3 a, Mat3 b) {
    Mat3 r;
    for (int j = 0; j < 3; j++) {
        for (int i = 0; i < 3; i++) {
            float sum = a.m[i] * b.m[j * 3];
            for (int k = 1; k < 3; k++) sum += a.m[k * 3 + i] * b.m[j * 3 + k];
            r.m[j * 3 + i] = sum;
        }
    }
    return r;
}

Vec3 mat3_transform(Mat3 m, Vec3 v) {
    Vec3 r;
    r.x = m.m[0] * v.x + m.m[3] * v.y + m.m[6] * v.z;
    r.y = m.m[1] * v.x + m.m[4] * v.y + m.m[7] * v.z;
    r.z = m.m[2] * v.x + m.m[5] * v.y + m.m[8] * v.z;
    return r;
}

Mat3 mat3_transpose(Mat3 m) {
    Mat3 r;
    for (int j = 0; j < 3; j++) {
        for (int i = 0; i < 3; i++) r.m[j * 3 + i] = m.m[i * 3 + j];
    }
    return r;
}

float mat3_determinant(Mat3 m) {
    return vec3_dot(mat3_column(m, 0), vec3_cross(mat3_column(m, 1), mat3_column(m, 2)));
}

Mat3 mat3_normal(Mat3 m) {
    Vec3 c0 = mat3_column(m, 0), c1 = mat3_column(m, 1), c2 = mat3_column(m, 2);
    return mat3_from_columns(vec3_cross(c1, c2), vec3_cross(c2, c0), vec3_cross(c0, c1));
}

Mat3 mat3_inverse(Mat3 m) {
    float det = mat3_determinant(m);
    Mat3 r = {};
    if (det == 0.0f) return r;
    // The cofactor matrix is det x inverse transpose.
    Mat3 t = mat3_transpose(mat3_normal(m));
    for (int i = 0; i < 9; i++) r.m[i] = t.m[i] / det;
    return r;
}

// ---------------------------------------------------------------------------
// Transforms and geometry

Transform transform_default() {
    return Transform{Vec3{0, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
}

Mat4 transform_to_matrix(Transform transform) {
    Mat4 translation = mat4_translation(transform.position.x, transform.position.y, transform.position.z);
    Mat4 rotation = mat4_from_mat3(rotor_to_mat3(rotor_normalize(transform.rotation)));
    Mat4 scale = mat4_scale(transform.scale.x, transform.scale.y, transform.scale.z);
    return mat4_multiply(mat4_multiply(translation, rotation), scale);
}

bool ray_plane_intersect(Vec3 normal, float distance, Vec3 origin, Vec3 direction, Vec3* hit, float* s) {
    float facing = vec3_dot(normal, direction);
    if (facing == 0.0f) return false;
    float along = (distance - vec3_dot(normal, origin)) / facing;
    if (along < 0) return false;
    *hit = vec3_add(origin, vec3_scale(direction, along));
    *s = along;
    return true;
}
