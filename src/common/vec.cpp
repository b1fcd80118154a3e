// Vector, rotation and quaternion operations. Rotations act on column vectors (v' = R v);
// quaternions are (w, x, y, z) and map to rotations as the physics library does.
#include "common/vec.h"

Vec3 vec_normalize(Vec3 a) {
    float length = vec_length(a);
    if (length <= 0.0f)
        return a;
    return a * (1.0f / length);
}

Mat3 rot_identity() { return Mat3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}; }

Mat3 rot_axis_angle(Vec3 axis, float angle) {
    float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    float x = axis.x, y = axis.y, z = axis.z;
    return Mat3{{{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                 {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                 {t * x * z - s * y, t * y * z + s * x, t * z * z + c}}};
}

Mat3 rot_mul(const Mat3 &a, const Mat3 &b) {
    Mat3 r;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    return r;
}

Mat3 rot_transpose(const Mat3 &a) {
    Mat3 r;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            r.m[i][j] = a.m[j][i];
    return r;
}

Vec3 rot_apply(const Mat3 &r, Vec3 v) {
    return {r.m[0][0] * v.x + r.m[0][1] * v.y + r.m[0][2] * v.z,
            r.m[1][0] * v.x + r.m[1][1] * v.y + r.m[1][2] * v.z,
            r.m[2][0] * v.x + r.m[2][1] * v.y + r.m[2][2] * v.z};
}

Mat3 rot_from_ode(const double *r12) {
    Mat3 r;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            r.m[i][j] = float(r12[i * 4 + j]);
    return r;
}

void rot_to_ode(const Mat3 &r, double *r12) {
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++)
            r12[i * 4 + j] = r.m[i][j];
        r12[i * 4 + 3] = 0.0;
    }
}

// Picks the largest of w, x, y, z to divide by, so that the result stays accurate for
// every rotation, including half turns.
Quat quat_from_rot(const Mat3 &r) {
    float trace = r.m[0][0] + r.m[1][1] + r.m[2][2];
    Quat q;
    if (trace >= 0.0f) {
        float s = std::sqrt(trace + 1.0f) * 2.0f;   // 4 w
        q.w = 0.25f * s;
        q.x = (r.m[2][1] - r.m[1][2]) / s;
        q.y = (r.m[0][2] - r.m[2][0]) / s;
        q.z = (r.m[1][0] - r.m[0][1]) / s;
    } else if (r.m[0][0] > r.m[1][1] && r.m[0][0] > r.m[2][2]) {
        float s = std::sqrt(1.0f + r.m[0][0] - r.m[1][1] - r.m[2][2]) * 2.0f;   // 4 x
        q.w = (r.m[2][1] - r.m[1][2]) / s;
        q.x = 0.25f * s;
        q.y = (r.m[0][1] + r.m[1][0]) / s;
        q.z = (r.m[0][2] + r.m[2][0]) / s;
    } else if (r.m[1][1] > r.m[2][2]) {
        float s = std::sqrt(1.0f + r.m[1][1] - r.m[0][0] - r.m[2][2]) * 2.0f;   // 4 y
        q.w = (r.m[0][2] - r.m[2][0]) / s;
        q.x = (r.m[0][1] + r.m[1][0]) / s;
        q.y = 0.25f * s;
        q.z = (r.m[1][2] + r.m[2][1]) / s;
    } else {
        float s = std::sqrt(1.0f + r.m[2][2] - r.m[0][0] - r.m[1][1]) * 2.0f;   // 4 z
        q.w = (r.m[1][0] - r.m[0][1]) / s;
        q.x = (r.m[0][2] + r.m[2][0]) / s;
        q.y = (r.m[1][2] + r.m[2][1]) / s;
        q.z = 0.25f * s;
    }
    return q;
}

Mat3 rot_from_quat(Quat q) {
    float xx = 2 * q.x * q.x, yy = 2 * q.y * q.y, zz = 2 * q.z * q.z;
    return Mat3{{{1 - yy - zz, 2 * (q.x * q.y - q.w * q.z), 2 * (q.x * q.z + q.w * q.y)},
                 {2 * (q.x * q.y + q.w * q.z), 1 - xx - zz, 2 * (q.y * q.z - q.w * q.x)},
                 {2 * (q.x * q.z - q.w * q.y), 2 * (q.y * q.z + q.w * q.x), 1 - xx - yy}}};
}

// A zero quaternion becomes the identity rather than four NaNs.
Quat quat_normalize(Quat q) {
    float length = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (length <= 0.0f)
        return Quat{1, 0, 0, 0};
    float inv = 1.0f / length;
    return Quat{q.w * inv, q.x * inv, q.y * inv, q.z * inv};
}
