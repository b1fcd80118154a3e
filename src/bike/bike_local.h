// What the bike modules share among themselves: conversions between ODE vectors and Vec3,
// body frame helpers, clamps, and the internal steps of bike_control_step and bike_collide.
#pragma once

#include <cmath>

#include "bike/bike.h"

constexpr float PI_F = 3.14159265358979f;
constexpr float STEP_F = 1.0f / 128.0f;

inline float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline Vec3 vec_from(const dReal *v) { return vec3((float)v[0], (float)v[1], (float)v[2]); }
inline float vec_length_sq(Vec3 a) { return vec_dot(a, a); }
inline int vec_finite(Vec3 a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

inline Vec3 body_pos(dBodyID body) { return vec_from(dBodyGetPosition(body)); }
inline Vec3 body_vel(dBodyID body) { return vec_from(dBodyGetLinearVel(body)); }
inline Vec3 body_avel(dBodyID body) { return vec_from(dBodyGetAngularVel(body)); }
// Column c of the body's rotation: its local axis c in world.
inline Vec3 body_axis(dBodyID body, int c) {
    const dReal *r = dBodyGetRotation(body);
    return vec3((float)r[c], (float)r[4 + c], (float)r[8 + c]);
}
// World point of a body-local point.
inline Vec3 body_point(dBodyID body, Vec3 local) {
    dVector3 out;
    dBodyGetRelPointPos(body, local.x, local.y, local.z, out);
    return vec_from(out);
}
// Velocity of the body's material point at a world position.
inline Vec3 body_point_vel(dBodyID body, Vec3 world) {
    dVector3 out;
    dBodyGetPointVel(body, world.x, world.y, world.z, out);
    return vec_from(out);
}
// World vector into body coordinates.
inline Vec3 body_to_local(dBodyID body, Vec3 v) {
    dVector3 out;
    dBodyVectorFromWorld(body, v.x, v.y, v.z, out);
    return vec_from(out);
}
inline Vec3 body_to_world(dBodyID body, Vec3 v) {
    dVector3 out;
    dBodyVectorToWorld(body, v.x, v.y, v.z, out);
    return vec_from(out);
}

// Soft contact parameters for a spring k and damper c over one step.
inline float soft_erp(float k, float c) {
    float hk = STEP_F * k;
    return hk / (hk + c);
}
inline float soft_cfm(float k, float c) { return 1.0f / (STEP_F * k + c); }

// A soft contact joint in the contact group between two bodies (either may be 0) at a point,
// spring k and damper c, friction mu proportional to the normal force; moving a along the
// unit normal by depth separates them.
void contact_soft(dBodyID a, dBodyID b, Vec3 point, Vec3 normal, float depth, float mu, float k,
                  float c);
// A frictionless soft contact between two bodies (either may be 0) at a point: the springs,
// ropes and hard stops of the rider and the crash. The normal need not be unit.
void contact_spring(dBodyID a, dBodyID b, Vec3 point, Vec3 normal, float depth, float k,
                    float c);
// Puts the rider body back at its rest point on the frame and re-attaches the mount.
void rider_remount(Bike *bike);
// Crash: detach the rider, set the crash feet, start the crash timer.
void rider_crash(Bike *bike);
// 1 when the wheel touches the ground this step.
inline int wheel_touches(const Bike *bike, int w) { return bike->wheel[w].depth > 0; }
// Speed of the frame, ft/s.
inline float frame_speed(const Bike *bike) { return vec_length(body_vel(bike->body[BODY_FRAME])); }
