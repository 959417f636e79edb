// Vectors, rotors and matrices: the conventions files and shaders rely on
// (component order, column-major layout, multiplication order, the y
// rotation's sense) and properties over random rotations.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "math/math.h"

static void expect_mat3_near(const Mat3& a, const Mat3& b, float tolerance) {
    for (int i = 0; i < 9; i++) EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "float " << i;
}

static void expect_vec3_near(Vec3 a, Vec3 b, float tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

static Rotor random_unit_rotor(std::mt19937& random) {
    std::normal_distribution<float> normal(0, 1);
    Rotor q{0, 0, 0, 0};
    while (rotor_length(q) < 0.1f) q = Rotor{normal(random), normal(random), normal(random), normal(random)};
    return rotor_normalize(q);
}

// ---------------------------------------------------------------------------
// Vectors

TEST(MathVectors, NormalizeIsExactAtZeroAndScalesOtherwise) {
    Vec3 zero = vec3_normalize(Vec3{0, 0, 0});
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    Vec3 v = vec3_normalize(Vec3{3, 0, 4});
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_FLOAT_EQ(v.z, 0.8f);
    // No tolerance: a tiny vector still normalises, until its squared
    // length underflows the float sum to exactly 0.
    EXPECT_FLOAT_EQ(vec3_normalize(Vec3{0, 1e-15f, 0}).y, 1.0f);
    EXPECT_EQ(vec3_normalize(Vec3{0, 1e-30f, 0}).y, 0.0f);
}

TEST(MathVectors, CrossOrderAndNegatedZero) {
    expect_vec3_near(vec3_cross(Vec3{1, 0, 0}, Vec3{0, 1, 0}), Vec3{0, 0, 1}, 0);
    expect_vec3_near(vec3_cross(Vec3{1, 2, 3}, Vec3{4, 5, 6}), Vec3{-3, 6, -3}, 0);
    Vec3 negated = vec3_negate(Vec3{0, -1, 2});
    EXPECT_TRUE(std::signbit(negated.x));  // 0 becomes -0
    EXPECT_EQ(negated.y, 1);
}

// ---------------------------------------------------------------------------
// Rotors

TEST(MathRotors, ComponentOrderTurnsTheStatedAxes) {
    const float c = (float)std::cos(M_PI / 4), s = (float)std::sin(M_PI / 4);
    expect_vec3_near(mat3_transform(rotor_to_mat3(Rotor{c, s, 0, 0}), Vec3{1, 0, 0}), Vec3{0, 1, 0}, 1e-6f);
    expect_vec3_near(mat3_transform(rotor_to_mat3(Rotor{c, 0, 0, s}), Vec3{0, 1, 0}), Vec3{0, 0, 1}, 1e-6f);
    expect_vec3_near(mat3_transform(rotor_to_mat3(Rotor{c, 0, s, 0}), Vec3{1, 0, 0}), Vec3{0, 0, 1}, 1e-6f);
    // About z the rotor is (cos t/2, sin t/2, 0, 0): xy carries the z axis.
    Rotor about_z = rotor_from_axis_angle(Vec3{0, 0, 1}, 0.5f);
    EXPECT_FLOAT_EQ(about_z.s, std::cos(0.25f));
    EXPECT_FLOAT_EQ(about_z.xy, std::sin(0.25f));
    EXPECT_EQ(about_z.xz, 0);
    EXPECT_EQ(about_z.yz, 0);
    Rotor about_y = rotor_from_axis_angle(Vec3{0, 1, 0}, 0.5f);
    EXPECT_FLOAT_EQ(about_y.xz, -std::sin(0.25f));
}

TEST(MathRotors, IdentityAndZeroRotors) {
    Mat3 identity = mat3_identity();
    Mat3 from_identity = rotor_to_mat3(rotor_identity());
    for (int i = 0; i < 9; i++) EXPECT_EQ(from_identity.m[i], identity.m[i]);
    Mat3 zero = rotor_to_mat3(Rotor{0, 0, 0, 0});
    for (int i = 0; i < 9; i++) EXPECT_EQ(zero.m[i], 0.0f);
    Rotor normalized_zero = rotor_normalize(Rotor{0, 0, 0, 0});
    EXPECT_EQ(normalized_zero.s, 0.0f);

    std::mt19937 random(1);
    for (int i = 0; i < 100; i++) {
        Rotor q = random_unit_rotor(random);
        for (Rotor r : {rotor_multiply(rotor_identity(), q), rotor_multiply(q, rotor_identity())}) {
            EXPECT_EQ(r.s, q.s);
            EXPECT_EQ(r.xy, q.xy);
            EXPECT_EQ(r.xz, q.xz);
            EXPECT_EQ(r.yz, q.yz);
        }
    }
    EXPECT_FLOAT_EQ(rotor_length(Rotor{1, 1, 1, 1}), 2);
    Rotor half = rotor_normalize(Rotor{2, 0, 0, 0});
    EXPECT_EQ(half.s, 1);
}

// Rotation about a unit axis by Rodrigues' formula, in double.
static Mat3 axis_angle_matrix(Vec3 k, double t) {
    double c = std::cos(t), s = std::sin(t), v = 1 - c;
    double x = k.x, y = k.y, z = k.z;
    double rows[3][3] = {{c + x * x * v, x * y * v - z * s, x * z * v + y * s},
                         {y * x * v + z * s, c + y * y * v, y * z * v - x * s},
                         {z * x * v - y * s, z * y * v + x * s, c + z * z * v}};
    Mat3 m;
    for (int j = 0; j < 3; j++) {
        for (int i = 0; i < 3; i++) m.m[j * 3 + i] = (float)rows[i][j];
    }
    return m;
}

TEST(MathRotors, RandomUnitRotorsGiveProperRotations) {
    std::mt19937 random(2);
    std::uniform_real_distribution<float> angle(-6.3f, 6.3f);
    for (int i = 0; i < 2000; i++) {
        Rotor q = random_unit_rotor(random);
        Mat3 m = rotor_to_mat3(q);
        expect_mat3_near(mat3_multiply(mat3_transpose(m), m), mat3_identity(), 1e-5f);
        EXPECT_NEAR(mat3_determinant(m), 1.0f, 1e-5f);

        Vec3 axis = vec3_normalize(Vec3{q.xy + 0.3f, q.xz - 0.2f, q.yz + 0.1f});
        float t = angle(random);
        expect_mat3_near(rotor_to_mat3(rotor_from_axis_angle(axis, t)), axis_angle_matrix(axis, t), 2e-6f);
    }
}

// rotor_multiply(p, q) applies p first, so its matrix is R(q) x R(p).
TEST(MathRotors, MultiplyComposesPFirstThenQ) {
    std::mt19937 random(3);
    for (int i = 0; i < 2000; i++) {
        Rotor p = random_unit_rotor(random), q = random_unit_rotor(random);
        expect_mat3_near(rotor_to_mat3(rotor_multiply(p, q)), mat3_multiply(rotor_to_mat3(q), rotor_to_mat3(p)), 2e-6f);
    }
    Rotor quarter_z = rotor_from_axis_angle(Vec3{0, 0, 1}, (float)(M_PI / 2));
    Rotor quarter_x = rotor_from_axis_angle(Vec3{1, 0, 0}, (float)(M_PI / 2));
    // x -> y (about z), then y -> z (about x).
    expect_vec3_near(mat3_transform(rotor_to_mat3(rotor_multiply(quarter_z, quarter_x)), Vec3{1, 0, 0}), Vec3{0, 0, 1}, 1e-6f);
    Rotor back = rotor_multiply(quarter_z, rotor_reverse(quarter_z));
    EXPECT_NEAR(back.s, 1, 1e-6f);
}

// ---------------------------------------------------------------------------
// Matrices

TEST(MathMatrices, AxisRotationsLayoutAndSense) {
    const float a = 0.3f;
    const float c = (float)std::cos((double)a), s = (float)std::sin((double)a);
    Mat4 x = mat4_rotation_x(a), y = mat4_rotation_y(a), z = mat4_rotation_z(a);
    EXPECT_EQ(x.m[5], c);
    EXPECT_EQ(x.m[6], s);
    EXPECT_EQ(x.m[9], -s);
    EXPECT_EQ(y.m[0], c);
    EXPECT_EQ(y.m[2], s);
    EXPECT_EQ(y.m[8], -s);
    EXPECT_EQ(z.m[1], s);
    EXPECT_EQ(z.m[4], -s);
    const float quarter = (float)(M_PI / 2);
    expect_vec3_near(mat4_transform_point(mat4_rotation_x(quarter), Vec3{0, 1, 0}), Vec3{0, 0, 1}, 1e-6f);
    expect_vec3_near(mat4_transform_point(mat4_rotation_z(quarter), Vec3{1, 0, 0}), Vec3{0, 1, 0}, 1e-6f);
    // The y rotation turns +x towards +z: the opposite sense seen from +y.
    expect_vec3_near(mat4_transform_point(mat4_rotation_y(quarter), Vec3{1, 0, 0}), Vec3{0, 0, 1}, 1e-6f);
}

TEST(MathMatrices, ProductAppliesTheRightFactorFirst) {
    Mat4 translate = mat4_translation(1, 2, 3);
    EXPECT_EQ(translate.m[12], 1);
    EXPECT_EQ(translate.m[14], 3);
    Mat4 scale = mat4_scale(2, 3, 4);
    expect_vec3_near(mat4_transform_point(mat4_multiply(translate, scale), Vec3{1, 1, 1}), Vec3{3, 5, 7}, 0);
    expect_vec3_near(mat4_transform_point(mat4_multiply(scale, translate), Vec3{1, 1, 1}), Vec3{4, 9, 16}, 0);
}

TEST(MathMatrices, TransformPointIgnoresTheLastRowAndVec4UsesIt) {
    Mat4 m = mat4_translation(1, 0, 0);
    m.m[3] = 5;
    m.m[15] = 7;
    expect_vec3_near(mat4_transform_point(m, Vec3{1, 2, 3}), Vec3{2, 2, 3}, 0);
    Vec4 v = mat4_transform_vec4(m, Vec4{1, 2, 3, 2});
    EXPECT_EQ(v.x, 3);
    EXPECT_EQ(v.w, 5 + 14);
}

TEST(MathMatrices, Mat3ToMat4ClearsTheFourthRowAndColumn) {
    Mat3 block = mat3_from_columns(Vec3{1, 2, 3}, Vec3{4, 5, 6}, Vec3{7, 8, 10});
    Mat4 m = mat4_from_mat3(block);
    EXPECT_EQ(m.m[6], 6);
    EXPECT_EQ(m.m[10], 10);
    for (int i : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(m.m[i], 0);
    EXPECT_EQ(m.m[15], 1);
    Mat3 back = mat3_from_mat4(m);
    for (int i = 0; i < 9; i++) EXPECT_EQ(back.m[i], block.m[i]);
}

TEST(MathMatrices, NormalMatrixIsTheUndividedCofactorMatrix) {
    Mat3 diagonal = mat3_from_columns(Vec3{2, 0, 0}, Vec3{0, 3, 0}, Vec3{0, 0, 4});
    Mat3 normal = mat3_normal(diagonal);
    EXPECT_EQ(normal.m[0], 12);
    EXPECT_EQ(normal.m[4], 8);
    EXPECT_EQ(normal.m[8], 6);
    // normal x transpose(m) = det x identity for any matrix.
    std::mt19937 random(4);
    std::uniform_real_distribution<float> element(-2, 2);
    for (int n = 0; n < 200; n++) {
        Mat3 m;
        for (float& f : m.m) f = element(random);
        float det = mat3_determinant(m);
        Mat3 product = mat3_multiply(mat3_transpose(mat3_normal(m)), m);
        for (int i = 0; i < 9; i++) EXPECT_NEAR(product.m[i], i % 4 == 0 ? det : 0, 1e-4f);
        if (std::fabs(det) > 0.1f) expect_mat3_near(mat3_multiply(mat3_inverse(m), m), mat3_identity(), 1e-4f);
    }
    Mat3 singular = mat3_from_columns(Vec3{1, 2, 3}, Vec3{2, 4, 6}, Vec3{0, 0, 1});
    for (float f : mat3_inverse(singular).m) EXPECT_EQ(f, 0);
}

TEST(MathMatrices, FourByFourInverse) {
    Mat4 m = transform_to_matrix(Transform{Vec3{1, -2, 3}, rotor_normalize(Rotor{1, 0.5f, -0.2f, 0.3f}), Vec3{2, 0.5f, 3}});
    Mat4 product = mat4_multiply(mat4_inverse(m), m);
    Mat4 identity = mat4_identity();
    for (int i = 0; i < 16; i++) EXPECT_NEAR(product.m[i], identity.m[i], 1e-5f);
    for (float f : mat4_inverse(mat4_scale(1, 0, 1)).m) EXPECT_EQ(f, 0);
}

TEST(MathMatrices, OrthographicMapsTheBoxToTheUnitCube) {
    Mat4 m = mat4_ortho(-2, 6, -1, 3, 0.5f, 10);
    expect_vec3_near(mat4_transform_point(m, Vec3{-2, -1, -0.5f}), Vec3{-1, -1, -1}, 1e-6f);
    expect_vec3_near(mat4_transform_point(m, Vec3{6, 3, -10}), Vec3{1, 1, 1}, 1e-6f);
    EXPECT_EQ(m.m[15], 1);
    EXPECT_EQ(m.m[11], 0);
}

TEST(MathMatrices, PerspectiveMapsNearAndFarPlanes) {
    Mat4 m = mat4_perspective(90, 1, 0.1f, 100);
    EXPECT_NEAR(m.m[0], 1, 1e-6f);
    EXPECT_NEAR(m.m[5], 1, 1e-6f);
    EXPECT_EQ(m.m[11], -1);
    EXPECT_EQ(m.m[15], 0);
    Vec4 near_point = mat4_transform_vec4(m, Vec4{0, 0, -0.1f, 1});
    Vec4 far_point = mat4_transform_vec4(m, Vec4{0, 0, -100, 1});
    EXPECT_NEAR(near_point.z / near_point.w, -1, 1e-5f);
    EXPECT_NEAR(far_point.z / far_point.w, 1, 1e-5f);
}

// ---------------------------------------------------------------------------
// Transforms and the ray-plane test

TEST(MathTransforms, ToMatrixNormalisesTheRotation) {
    Mat4 identity = mat4_identity();
    for (Rotor rotation : {Rotor{1, 0, 0, 0}, Rotor{2, 0, 0, 0}}) {
        Transform transform = transform_default();
        transform.rotation = rotation;
        Mat4 m = transform_to_matrix(transform);
        for (int i = 0; i < 16; i++) EXPECT_EQ(m.m[i], identity.m[i]);
    }
    // Scale first, then rotate, then translate.
    Transform transform{Vec3{10, 0, 0}, Rotor{5, 5, 0, 0}, Vec3{2, 1, 1}};
    expect_vec3_near(mat4_transform_point(transform_to_matrix(transform), Vec3{1, 0, 0}), Vec3{10, 2, 0}, 1e-5f);
    EXPECT_EQ(transform.rotation.s, 5);  // the stored value is not changed
}

TEST(MathGeometry, RayPlaneIntersection) {
    Vec3 up{0, 0, 1};
    Vec3 hit{9, 9, 9};
    float s = -1;
    EXPECT_FALSE(ray_plane_intersect(up, 0, Vec3{0, 0, 5}, Vec3{1, 0, 0}, &hit, &s));   // parallel
    EXPECT_FALSE(ray_plane_intersect(up, 0, Vec3{0, 0, 5}, Vec3{0, 0, 1}, &hit, &s));   // plane behind
    EXPECT_EQ(hit.x, 9);
    ASSERT_TRUE(ray_plane_intersect(up, 2, Vec3{0, 0, 2}, Vec3{1, 0, 0.5f}, &hit, &s)); // starts on it
    EXPECT_EQ(s, 0);
    expect_vec3_near(hit, Vec3{0, 0, 2}, 0);
    ASSERT_TRUE(ray_plane_intersect(up, 1, Vec3{1, 2, 5}, Vec3{0, 1, -2}, &hit, &s));
    EXPECT_EQ(s, 2);
    expect_vec3_near(hit, Vec3{1, 4, 1}, 0);
}
