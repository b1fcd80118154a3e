#include "common/vec.h"

#include <gtest/gtest.h>

static const float PI = 3.14159265358979f;

static void expect_vec_near(Vec3 a, Vec3 b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

static void expect_rot_near(const Mat3 &a, const Mat3 &b) {
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            EXPECT_NEAR(a.m[i][j], b.m[i][j], 1e-5f) << i << "," << j;
}

TEST(Vec, RotationsFollowTheRightHandRule) {
    Vec3 x = vec3(1, 0, 0), y = vec3(0, 1, 0), z = vec3(0, 0, 1);
    expect_vec_near(rot_apply(rot_axis_angle(z, PI / 2), x), y);
    expect_vec_near(rot_apply(rot_axis_angle(x, PI / 2), y), z);
    expect_vec_near(rot_apply(rot_axis_angle(y, PI / 2), z), x);
    expect_vec_near(vec_cross(x, y), z);

    Mat3 a = rot_axis_angle(vec_normalize(vec3(1, 2, 3)), 0.7f);
    Mat3 b = rot_axis_angle(y, -1.1f);
    Vec3 v = vec3(0.3f, -2, 5);
    expect_vec_near(rot_apply(rot_mul(a, b), v), rot_apply(a, rot_apply(b, v)));
    expect_rot_near(rot_mul(a, rot_transpose(a)), rot_identity());
}

TEST(Vec, NormalizeKeepsZeroVectorZero) {
    expect_vec_near(vec_normalize(vec3(0, 0, 0)), vec3(0, 0, 0));
    expect_vec_near(vec_normalize(vec3(0, -3, 4)), vec3(0, -0.6f, 0.8f));
}

// The physics library hands out rotations as three rows of four doubles.
TEST(Vec, OdeMatrixLayoutIsRowsOfFour) {
    double r12[12];
    for (int i = 0; i < 12; i++)
        r12[i] = i;
    Mat3 r = rot_from_ode(r12);
    EXPECT_EQ(r.m[0][1], 1.0f);
    EXPECT_EQ(r.m[1][0], 4.0f);
    EXPECT_EQ(r.m[2][2], 10.0f);
    double back[12];
    rot_to_ode(r, back);
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(back[i], i % 4 == 3 ? 0.0 : r12[i]) << i;
}

// A quaternion (cos a/2, axis sin a/2) is the rotation by a about the axis, and converting
// back and forth holds for every branch of the conversion, half turns included.
TEST(Vec, QuaternionsRoundTripThroughRotations) {
    struct Case {
        Vec3 axis;
        float angle;
    } cases[] = {{{0, 1, 0}, 0.0f},      {{0, 1, 0}, 0.5f},    {{1, 0, 0}, PI},
                 {{0, 1, 0}, PI},        {{0, 0, 1}, PI},      {{0.6f, 0.8f, 0}, 3.0f},
                 {{0, 0.6f, -0.8f}, -2.5f}, {{0.48f, 0.6f, 0.64f}, 1.9f}};
    for (const Case &c : cases) {
        Quat q = {std::cos(c.angle / 2), c.axis.x * std::sin(c.angle / 2),
                  c.axis.y * std::sin(c.angle / 2), c.axis.z * std::sin(c.angle / 2)};
        Mat3 r = rot_axis_angle(c.axis, c.angle);
        expect_rot_near(rot_from_quat(q), r);
        Quat back = quat_from_rot(r);
        float sign = back.w * q.w + back.x * q.x + back.y * q.y + back.z * q.z < 0 ? -1.0f : 1.0f;
        EXPECT_NEAR(back.w * sign, q.w, 1e-5f);
        EXPECT_NEAR(back.x * sign, q.x, 1e-5f);
        EXPECT_NEAR(back.y * sign, q.y, 1e-5f);
        EXPECT_NEAR(back.z * sign, q.z, 1e-5f);
    }
    Quat unit = quat_normalize(Quat{2, 0, 0, 0});
    EXPECT_EQ(unit.w, 1.0f);
    Quat none = quat_normalize(Quat{0, 0, 0, 0});
    EXPECT_EQ(none.w, 1.0f);
}
