// Packing and applying bike snapshots: fixed-point fields stored least significant byte
// first, read back as lo + n / M * (hi - lo).
#include "bike/snapshot.h"

#include <cmath>

#include "bike/bike.h"
#include "bike/bike_local.h"
#include "bike/rider.h"
#include "track/terrain.h"

namespace {

const double M24 = 16777215.0, M16 = 65535.0, M8 = 255.0;
const float PI_4 = PI_F / 4.0f;

uint32_t quantise(double v, double lo, double hi, double m) {
    if (!(v >= lo)) v = lo;   // NaN packs as the low end
    if (v > hi) v = hi;
    double n = std::floor((v - lo) / (hi - lo) * m);
    return n > m ? uint32_t(m) : uint32_t(n);
}
double dequantise(uint32_t n, double lo, double hi, double m) { return lo + (n / m) * (hi - lo); }

void put(uint8_t *out, uint32_t n, int bytes) {
    for (int i = 0; i < bytes; i++) out[i] = uint8_t(n >> (8 * i));
}
uint32_t get(const uint8_t *in, int bytes) {
    uint32_t n = 0;
    for (int i = 0; i < bytes; i++) n |= uint32_t(in[i]) << (8 * i);
    return n;
}

struct Square {
    double size, floor;   // W and H0
};
Square square_of(const Terrain *terrain) {
    if (!terrain || !(terrain->world_size > 0)) return {1.0, 0.0};
    return {terrain->world_size, terrain->min_height};
}

void put_quat(uint8_t *out, const dReal *q) {
    for (int i = 0; i < 4; i++) put(out + 2 * i, quantise(q[i], -1, 1, M16), 2);
}
void get_quat(const uint8_t *in, dQuaternion q) {
    for (int i = 0; i < 4; i++) q[i] = dequantise(get(in + 2 * i, 2), -1, 1, M16);
    double len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (len < 1e-6) {
        q[0] = 1;
        q[1] = q[2] = q[3] = 0;
        return;
    }
    for (int i = 0; i < 4; i++) q[i] /= len;
}

Mat3 rotation_of(dBodyID body) { return rot_from_ode(dBodyGetRotation(body)); }
void set_rotation(dBodyID body, const Mat3 &r) {
    dMatrix3 m;
    rot_to_ode(r, m);
    dBodySetRotation(body, m);
}
void set_position(dBodyID body, Vec3 p) { dBodySetPosition(body, p.x, p.y, p.z); }
// World point of a local point of a body posed at (p, r).
Vec3 point_of(Vec3 p, const Mat3 &r, Vec3 local) { return p + rot_apply(r, local); }

// Rotation vector (axis times angle) that turns a into b.
Vec3 rotation_between(const Mat3 &a, const Mat3 &b) {
    Mat3 r = rot_mul(b, rot_transpose(a));
    Vec3 v = vec3(r.m[2][1] - r.m[1][2], r.m[0][2] - r.m[2][0], r.m[1][0] - r.m[0][1]);
    float s = 0.5f * vec_length(v);
    float c = 0.5f * (r.m[0][0] + r.m[1][1] + r.m[2][2] - 1.0f);
    if (s < 1e-7f) return v * 0.5f;
    float angle = std::atan2(s, c);
    return v * (angle / (2.0f * s));
}

}  // namespace

int snapshot_size(int version) {
    return version == 5 ? SNAPSHOT_BYTES : version == 4 ? SNAPSHOT_V4_BYTES : 0;
}

void snapshot_pack(const Bike *bike, const Terrain *terrain, uint8_t out[SNAPSHOT_BYTES]) {
    Square sq = square_of(terrain);
    const BikeModel &m = bike->model;
    dBodyID frame = bike->body[BODY_FRAME], rider = bike->body[BODY_RIDER];
    const dReal *p = dBodyGetPosition(frame);
    put(out + 0, quantise(p[0], 0, sq.size, M24), 3);
    put(out + 3, quantise(p[1], sq.floor, sq.floor + sq.size, M24), 3);
    put(out + 6, quantise(p[2], 0, sq.size, M24), 3);
    put_quat(out + 9, dBodyGetQuaternion(frame));
    out[17] = uint8_t(quantise(dJointGetHingeAngle(bike->joint[JOINT_STEERING_HEAD]), -PI_4, PI_4, M8));
    out[18] = uint8_t(quantise(dJointGetHingeAngle(bike->joint[JOINT_SWINGARM_PIVOT]),
                               -m.swingarm_travel, 0, M8) | 1);
    out[19] = uint8_t(quantise(dJointGetSliderPosition(bike->joint[JOINT_FORK_SLIDER]),
                               -m.fork_travel, 0, M8) & ~1u);
    const dReal *r = dBodyGetPosition(rider);
    for (int i = 0; i < 3; i++) put(out + 20 + 2 * i, quantise(r[i] - p[i], -16, 16, M16), 2);
    put_quat(out + 26, dBodyGetQuaternion(rider));
    out[34] = uint8_t(quantise(dJointGetHingeAngle(bike->joint[JOINT_FRONT_AXLE]), -PI_F, PI_F, M8));
    out[35] = uint8_t(quantise(dJointGetHingeAngle(bike->joint[JOINT_REAR_AXLE]), -PI_F, PI_F, M8));
    uint8_t status;
    if (bike->crash_timer > 0) {
        int t = (15 * bike->crash_timer - 15) / 127;
        status = uint8_t(7 | ((t < 0 ? 0 : t > 15 ? 15 : t) << 4));
    } else {
        int gear = bike->gear < 0 ? 0 : bike->gear > 6 ? 6 : bike->gear;
        int throttle = int(bike->throttle * 15.0f);
        throttle = throttle < 0 ? 0 : throttle > 15 ? 15 : throttle;
        status = uint8_t(gear | (bike->dab_anim > 0 ? 8 : 0) | (throttle << 4));
    }
    out[36] = status;
    put(out + 37, quantise(bike->engine_speed * RPM_PER_RAD_S, 0, 32768, M16), 2);
}

void snapshot_apply(Bike *bike, const Terrain *terrain, const uint8_t *rec, int version,
                    int steps) {
    if (version != 4 && version != 5) return;
    Square sq = square_of(terrain);
    const BikeModel &m = bike->model;
    dBodyID *b = bike->body;
    int counting = physics_step_count() > 0;
    Mat3 old_rotation[BIKE_BODY_COUNT];
    if (counting)
        for (int i = 0; i < BIKE_BODY_COUNT; i++) old_rotation[i] = rotation_of(b[i]);

    // Frame.
    Vec3 fp = vec3(float(dequantise(get(rec + 0, 3), 0, sq.size, M24)),
                   float(dequantise(get(rec + 3, 3), sq.floor, sq.floor + sq.size, M24)),
                   float(dequantise(get(rec + 6, 3), 0, sq.size, M24)));
    dQuaternion q;
    get_quat(rec + 9, q);
    set_position(b[BODY_FRAME], fp);
    dBodySetQuaternion(b[BODY_FRAME], q);
    Mat3 fr = rotation_of(b[BODY_FRAME]);

    // Fork upper: turned by the steering angle about the steering axis.
    float steer = float(dequantise(rec[17], -PI_4, PI_4, M8));
    Vec3 axis = vec_normalize(m.fork_upper - m.fork_lower);
    Vec3 up = point_of(fp, fr, m.fork_upper - m.frame_centre);
    Mat3 ur = rot_mul(fr, rot_axis_angle(axis, steer));
    set_position(b[BODY_FORK_UPPER], up);
    set_rotation(b[BODY_FORK_UPPER], ur);

    // Swingarm about its pivot.
    float theta = float(m.swingarm_travel * (rec[18] / M8) - m.swingarm_travel);
    Mat3 rs = rot_axis_angle(vec3(1, 0, 0), theta);
    Vec3 sp = point_of(fp, fr, m.swingarm_pivot - m.frame_centre +
                                   rot_apply(rs, m.swingarm_centre - m.swingarm_pivot));
    Mat3 sr = rot_mul(fr, rs);
    set_position(b[BODY_SWINGARM], sp);
    set_rotation(b[BODY_SWINGARM], sr);

    // Fork lower: compression moves it up the fork.
    float s = float(m.fork_travel * (rec[19] / M8) - m.fork_travel);
    Vec3 e = m.fork_lower - m.fork_upper;
    Vec3 lp = point_of(up, ur, e + vec_normalize(e) * s);
    set_position(b[BODY_FORK_LOWER], lp);
    set_rotation(b[BODY_FORK_LOWER], ur);

    // Rider.
    int at = version == 5 ? 34 : 21;
    if (version == 5) {
        Vec3 offset = vec3(float(dequantise(get(rec + 20, 2), -16, 16, M16)),
                           float(dequantise(get(rec + 22, 2), -16, 16, M16)),
                           float(dequantise(get(rec + 24, 2), -16, 16, M16)));
        set_position(b[BODY_RIDER], fp + offset);
        dQuaternion rq;
        get_quat(rec + 26, rq);
        dBodySetQuaternion(b[BODY_RIDER], rq);
    } else {
        float along = float(dequantise(rec[20], m.torso_line_range[0], m.torso_line_range[1], M8));
        Vec3 local = m.torso_point - m.frame_centre + vec_normalize(m.torso_line_dir) * along;
        set_position(b[BODY_RIDER], point_of(fp, fr, local));
        set_rotation(b[BODY_RIDER], fr);
    }

    // Wheels.
    float front = float(dequantise(rec[at], -PI_F, PI_F, M8));
    float rear = float(dequantise(rec[at + 1], -PI_F, PI_F, M8));
    set_position(b[BODY_FRONT_WHEEL], point_of(lp, ur, m.front.centre - m.fork_lower));
    set_rotation(b[BODY_FRONT_WHEEL], rot_mul(ur, rot_axis_angle(vec3(-1, 0, 0), front)));
    set_position(b[BODY_REAR_WHEEL], point_of(sp, sr, m.rear.centre - m.swingarm_centre));
    set_rotation(b[BODY_REAR_WHEEL], rot_mul(sr, rot_axis_angle(vec3(-1, 0, 0), rear)));

    // Status.
    int status = rec[at + 2];
    int crashed = (status & 7) == 7;
    if (crashed) {
        if (bike->crash_timer <= 0) rider_crash(bike);
        dJointAttach(bike->joint[JOINT_RIDER_MOUNT], 0, 0);
        bike->throttle = 0;
        bike->crash_timer = (status >> 4) * 127 / 15 + 1;
    } else {
        if (bike->crash_timer > 0) {
            Vec3 rp = body_pos(b[BODY_RIDER]);
            Mat3 rr = rotation_of(b[BODY_RIDER]);
            rider_remount(bike);
            set_position(b[BODY_RIDER], rp);
            set_rotation(b[BODY_RIDER], rr);
        }
        bike->crash_timer = 0;
        int gear = status & 7;
        if (gear > 5) gear = 5;
        while (gear > 0 && m.gear_ratio[gear] <= 0) gear--;
        bike->gear = gear;
        bike->throttle = (status >> 4) / 15.0f;
    }
    crash_feet_step(bike);
    if (crashed || (status & 8)) bike->dab_anim = std::fmin(1.0f, bike->dab_anim + 8.0f * STEP_F);
    bike->engine_speed = float(dequantise(get(rec + at + 3, 2), 0, 32768, M16) * (M_PI / 30.0));

    // Velocities from the previous record.
    if (steps > 0 && counting) {
        float dt = float(steps * STEP_SECONDS);
        for (int i = 0; i < BIKE_BODY_COUNT; i++) {
            Vec3 v = (body_pos(b[i]) - bike->stored_position[i]) * (1.0f / dt);
            Vec3 w = rotation_between(old_rotation[i], rotation_of(b[i])) * (1.0f / dt);
            dBodySetLinearVel(b[i], v.x, v.y, v.z);
            dBodySetAngularVel(b[i], w.x, w.y, w.z);
        }
    }
    for (int i = 0; i < BIKE_BODY_COUNT; i++) bike->stored_position[i] = body_pos(b[i]);
}
