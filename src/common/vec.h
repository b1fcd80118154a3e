// Three-float vectors, 3 x 3 rotations and (w, x, y, z) quaternions with the plain
// operations the simulation, AI and renderer share. Rotations taken from the physics
// library's row-major 3 x 4 matrices use rot_from_ode.
#pragma once

#include <cmath>

struct Vec3 {
    float x, y, z;
};

struct Mat3 {
    float m[3][3];   // row-major: m[row][column]
};

struct Quat {
    float w, x, y, z;
};

inline Vec3 vec3(float x, float y, float z) { return Vec3{x, y, z}; }
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, Vec3 a) { return {a.x * s, a.y * s, a.z * s}; }
inline float vec_dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 vec_cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float vec_length(Vec3 a) { return std::sqrt(vec_dot(a, a)); }
// Unit vector of a; the zero vector stays zero.
Vec3 vec_normalize(Vec3 a);

// Rotation about a unit axis by angle radians (right-hand rule).
Mat3 rot_axis_angle(Vec3 axis, float angle);
Mat3 rot_identity();
Mat3 rot_mul(const Mat3 &a, const Mat3 &b);
Mat3 rot_transpose(const Mat3 &a);
Vec3 rot_apply(const Mat3 &r, Vec3 v);
// From a row-major 3 x 4 matrix as the physics library hands it out (12 doubles).
Mat3 rot_from_ode(const double *r12);
// To a row-major 3 x 4 matrix for the physics library.
void rot_to_ode(const Mat3 &r, double *r12);

Quat quat_from_rot(const Mat3 &r);
Mat3 rot_from_quat(Quat q);
Quat quat_normalize(Quat q);
