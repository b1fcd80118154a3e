// The per-step control routine of a bike: rider springs, steering and its stability
// assists, dab and backing up, crash detection and the crashed state, with the suspension
// and drivetrain steps in their place in the order.
#include "bike/rider.h"

#include <cmath>

#include "bike/bike_local.h"
#include "bike/collide.h"
#include "bike/contact.h"
#include "bike/drivetrain.h"
#include "track/terrain.h"

namespace {

constexpr float K5 = 5.0f;     // standstill speed, ft/s
constexpr float K15 = 15.0f;   // slow speed, ft/s

struct RiderState {
    StandstillTarget standstill_target;
};
RiderState rider_state;

float move_towards_zero(float v, float by) {
    if (v > by) return v - by;
    if (v < -by) return v + by;
    return 0;
}

float mass_scale(const Bike *bike) { return bike->model.rider_mass * 0.21333333f; }

Vec3 steering_axis_model(const Bike *bike) {
    return vec_normalize(bike->model.fork_upper - bike->model.fork_lower);
}

// Keeps two body points within length: a soft contact pulls them together when apart.
void rope(dBodyID a, Vec3 local_a, dBodyID b, Vec3 local_b, float length) {
    Vec3 pa = body_point(a, local_a), pb = body_point(b, local_b);
    Vec3 d = pb - pa;
    float dist = vec_length(d);
    if (dist <= length) return;
    contact_spring(a, b, pa, d, dist - length, 5000, 500);
}

dJointID angular_motor(dBodyID body, Vec3 axis, float velocity, float fmax) {
    dJointID j = dJointCreateAMotor(physics_world(), physics_contacts());
    dJointAttach(j, body, 0);
    dJointSetAMotorNumAxes(j, 1);
    dJointSetAMotorAxis(j, 0, 0, axis.x, axis.y, axis.z);
    dJointSetAMotorParam(j, dParamVel, velocity);
    dJointSetAMotorParam(j, dParamFMax, fmax);
    return j;
}

void crash_detection(Bike *bike, int step) {
    dBodyID frame = bike->body[BODY_FRAME], rider = bike->body[BODY_RIDER];
    Vec3 rider_v = body_vel(rider);
    Vec3 rel = body_point_vel(frame, body_pos(rider)) - rider_v;
    if (vec_length_sq(rel) > 961) {
        rider_crash(bike);
        return;
    }
    Vec3 old = bike->rider_velocity[step & 3];
    Vec3 a = (rider_v - old) * (0.25f / STEP_F) + vec3(0, GRAVITY_FT_S2, 0);
    if (vec_length_sq(a) > 1893376) rider_crash(bike);
}

void crashed_state(Bike *bike) {
    const BikeModel &m = bike->model;
    dBodyID frame = bike->body[BODY_FRAME], rider = bike->body[BODY_RIDER];
    dBodyID fork = bike->body[BODY_FORK_UPPER];
    if (vec_length_sq(body_vel(rider)) >= 4) {
        float arm = 0.875f * (m.upper_arm + m.forearm);
        rope(rider, m.shoulder[0], fork, m.grip[0], arm);
        rope(rider, m.shoulder[1], fork, m.grip[1], arm);
        if (bike->crash_timer == CRASH_STEPS)
            rope(rider, vec3(0, m.hip[1].y, m.hip[1].z), fork, vec3(0, m.grip[1].y, m.grip[1].z + 10), 8);
        PartShape *rs = bike->shape[PART_RIDER];
        Mat3 rr = rot_from_ode(dBodyGetRotation(rider));
        const int parts[3] = {PART_FRAME, PART_FORK_UPPER, PART_FORK_LOWER};
        const int bodies[3] = {BODY_FRAME, BODY_FORK_UPPER, BODY_FORK_LOWER};
        for (int i = 0; i < 3; i++) {
            dBodyID b = bike->body[bodies[i]];
            shape_shape(rs, rider, body_pos(rider), rr, bike->shape[parts[i]], b, body_pos(b),
                        rot_from_ode(dBodyGetRotation(b)), CONTACT_JOINT);
        }
    } else {
        bike->crash_timer--;
    }
    if (bike->crash_timer > 0 && bike->crash_timer < CRASH_STEPS) {
        // Getting up: the slack shrinks from 5 ft to 0 and pulls the torso back upright.
        float b = 5 * clampf((float)(bike->crash_timer - 128) / 384.0f, 0, 1);
        Vec3 seat = m.torso_point - m.frame_centre;
        rope(frame, seat, rider, vec3(0, 0, 0), b);
        rope(frame, seat + vec3(-5, 10, 0), rider, vec3(-5, 10, 0), b);
        rope(frame, seat + vec3(5, 10, 0), rider, vec3(5, 10, 0), b);
        if (bike->crash_timer <= 319) {
            int high = bike_lean_angle(bike) < 0 ? 0 : 1;
            Vec3 target = body_point(frame, m.peg[high] + vec3(0, 3, 1));
            Vec3 d = (target - bike->crash_foot[high]) * 32;
            if (vec_length(d) > 1) d = vec_normalize(d);
            bike->crash_foot_velocity[high] = d * 4;
        }
    }
    if (bike->crash_timer <= 0) {
        bike->crash_timer = 0;
        rider_remount(bike);
    }
}

void dab_and_back_up(Bike *bike, int step, int crashed) {
    dBodyID frame = bike->body[BODY_FRAME];
    float v = frame_speed(bike);
    float limit = bike->max_dab_speed;
    if (bike->back_up > 0 && v < K5) {
        float w = (1 - cosf(2 * PI_F * (float)(step & 127) / 127.0f)) / 2;
        int first = (physics_race_start() / 128 + 1) * 128;
        if (step < first && (step & 511) >= 128) w = 0;
        bike->dab = crashed ? 0 : 1;
        velocity_match(frame, 2000, body_axis(frame, 2) * (4 * w));
        angular_motor(frame, vec3(0, 1, 0), -bike->steer * w * PI_F / 2, 2000);
        return;
    }
    if (!(bike->flags & BIKE_AUTO_DAB)) return;
    float lean = bike_lean_angle(bike);
    if (v <= limit && (bike->throttle == 0 || bike->clutch == 0 || v < K5 || fabsf(lean) > PI_F / 16)) {
        float t = fmaxf(clampf(1 - v / limit, 0, 1), bike->dab);
        bike->dab = crashed ? 0 : t;
        if (v < K5 && (bike->throttle == 0 || bike->clutch == 0) && wheel_touches(bike, 0) &&
            wheel_touches(bike, 1)) {
            bike->front_brake = bike->rear_brake = 1;
            velocity_match(frame, 1000, vec3(0, 0, 0));
        }
    }
}

void torso_springs(Bike *bike) {
    const BikeModel &m = bike->model;
    dBodyID frame = bike->body[BODY_FRAME], rider = bike->body[BODY_RIDER];
    Vec3 y = body_axis(frame, 1), z = body_axis(frame, 2);
    Vec3 p = body_pos(rider);
    Vec3 q = body_point(frame, m.torso_point - m.frame_centre);
    Vec3 d = q - p;
    float dz = vec_dot(d, z), dy = vec_dot(d, y);
    float ms = mass_scale(bike);

    float s = clampf((0.5f * bike->dab + 0.5f) * dy - bike->lean, -0.75f, 0.75f);
    float ez = dz - s;
    float ey = dy + 0.125f - 0.5f * bike->dab;

    float k, c;
    if (dz < -0.75f || dz >= 0.75f) {
        k = c = 2500;
    } else {
        k = 100 * fabsf(ez) + 600 * bike->rider_forward_spring;
        c = 0;
    }
    k *= ms;
    c *= ms;
    if (k > 0) contact_spring(rider, frame, p, ez >= 0 ? z : -z, fabsf(ez), k, c);

    if (dy > 0.5f || dy < -0.75f) {
        k = c = 2500;
    } else {
        k = 400 * bike->rider_vertical_spring;
        c = 100 * bike->rider_vertical_damping;
    }
    k *= ms;
    c *= ms;
    if (k + c > 0) contact_spring(rider, frame, p, ey >= 0 ? y : -y, fabsf(ey), k, c);

    dJointID mount = bike->joint[JOINT_RIDER_MOUNT];
    dJointSetHinge2Param(mount, dParamSuspensionERP, 0);
    dJointSetHinge2Param(mount, dParamSuspensionCFM, 1.0 / ((30 * bike->rider_forward_damping + 5) * ms));
}

void normal_steering(Bike *bike) {
    dBodyID frame = bike->body[BODY_FRAME];
    const WheelContact &fw = bike->wheel[0];
    float f = bike->max_steering_force;
    float lo = -f, hi = f;
    float d = bike->steering_strength * bike->steer * bike->direct_steering;
    float front_rate = (float)dJointGetHingeAngleRate(bike->joint[JOINT_FRONT_AXLE]);
    float speed = (fw.ring_radius + fw.tube_radius) * front_rate;
    float alpha = front_slip_heading(bike);

    float vp = fmaxf(1, speed);
    float rp = fmaxf(bike->full_lock_speed + 1, bike->restricted_lock_speed);
    float t = clampf((1 / vp - 1 / rp) / (1 / bike->full_lock_speed - 1 / rp), 0, 1);
    float lock = bike->restricted_lock_angle + (PI_F / 4 - bike->restricted_lock_angle) * t;
    const Terrain *terrain = physics_terrain();
    Vec3 fc = body_pos(fw.body);
    float gap = terrain ? fc.y - terrain_height(terrain, fc.x, fc.z) - (fw.ring_radius + fw.tube_radius) : 1e9f;
    if (speed > 1 && gap < 0.5f) {
        float l2 = lock + (PI_F / 4 - lock) * clampf(2 * gap, 0, 1);
        float m = 1.125f * l2 + 0.015f;
        if (alpha > l2) {
            float u = clampf((alpha - m) / (l2 - m), 0, 1);
            lo = (1.25f * u - 0.25f) * -f;
        } else if (alpha < -l2) {
            float u = clampf((-alpha - m) / (l2 - m), 0, 1);
            hi = (1.25f * u - 0.25f) * f;
        }
    }

    float s;
    float steer_angle = (float)dJointGetHingeAngle(bike->joint[JOINT_STEERING_HEAD]);
    if (!wheel_touches(bike, 0) || fabsf(front_rate) < PI_F / 4) {
        bike->landing_damping = bike->landing_damping_factor;
        s = -50 * steer_angle;
        if (!wheel_touches(bike, 0) && !(bike->flags & BIKE_AIR_STEERING)) d = 0;
    } else {
        Vec3 w = body_to_local(frame, body_avel(frame));
        float wz = w.z;
        float lean = bike_lean_angle(bike);
        float v = frame_speed(bike);
        float r = wz * bike->roll_damping * bike->landing_damping;
        if (bike->landing_damping > 1) {
            if (bike->landing_damping_falloff <= 0) bike->landing_damping = 1;
            else bike->landing_damping = fmaxf(1, bike->landing_damping - (bike->landing_damping_factor - 1) * STEP_F / bike->landing_damping_falloff);
        }
        float g = bike->leveling * lean;
        if (v < bike->slow_damping_speed) {
            float scale = bike->slow_damping_factor +
                          (1 - bike->slow_damping_factor) * clampf(v / bike->slow_damping_speed, 0, 1);
            r *= scale;
            g *= scale;
        }
        if (((wz < 0 && lean < 0) || (wz >= 0 && lean >= 0)) && fabsf(lean) > bike->roll_limit_angle)
            r *= 1 + (fabsf(lean) - bike->roll_limit_angle) * bike->roll_limit_factor;
        s = r + g;
        if (bike->direct_steering < 1) {
            float big = allowed_lean(bike, v * v, 4);
            float e = (-bike->steer * big - lean) * 2.5f;
            float rm = ((lean >= 0 && e < 0) || (lean < 0 && e >= 0)) ? 25 * PI_F / 8 : 5 * PI_F / 4;
            float target = clampf(e, -rm, rm);
            float b = clampf(target - wz, -0.125f, 0.125f);
            float i = bike->steering_strength * clampf(4 * (wz - target + b), -1, 1);
            d = i + (d - i) * bike->direct_steering;
        }
    }

    if (bike->bump_timer > 192) {
        s = -clampf((bike->bump_timer - 192) / 64, 0, 1) * s;
    } else if (bike->bump_timer > 0) {
        float limit = 200 * clampf((192 - bike->bump_timer) / 192, 0, 1);
        s = clampf(s, -limit, limit);
    }
    apply_steering_torque(bike, clampf(1.5f * (d + s), lo, hi));
}

void arcade_steering(Bike *bike) {
    dBodyID frame = bike->body[BODY_FRAME];
    float lean = bike_lean_angle(bike);
    float target = -bike->steer * PI_F / 4;
    float t = clampf((bike->roll_damping - 40) * 0.025f, 0, 1);
    float rate = (1.5f - 0.5f * t) * 16 * fminf(fabsf(lean - target), 1.0f / 16);
    if (lean >= target) rate = -rate;
    angular_motor(frame, body_axis(frame, 2), rate, 1000);

    apply_steering_torque(bike, bike->steering_strength * steering_servo(bike, front_slip_heading(bike) - 0.5f * bike->steer));

    dVector3 v;
    dBodyGetRelPointVel(frame, 0, 0, 20, v);
    dBodyAddForceAtRelPos(frame, -0.25 * v[0], -0.25 * v[1], -0.25 * v[2], 0, 0, 20);
}

void steering_damping(Bike *bike) {
    dBodyID wheel = bike->body[BODY_FRONT_WHEEL];
    Vec3 w = body_avel(wheel);
    Vec3 a = vec_normalize(body_axis(wheel, 0));
    Vec3 tau = (a * vec_dot(a, w) - w) * bike->steering_damping;
    dBodyAddTorque(wheel, tau.x, tau.y, tau.z);
    dBodyAddTorque(bike->body[BODY_FRAME], -tau.x, -tau.y, -tau.z);
}

// What the joints pushed into the chassis last step sums to zero in exact arithmetic; the
// remainder the solver left is taken back out of the frame.
void internal_force_balance(Bike *bike) {
    Vec3 p0 = body_pos(bike->body[BODY_FRAME]);
    Vec3 force = vec3(0, 0, 0), torque = vec3(0, 0, 0);
    for (int i = 0; i < BIKE_JOINT_COUNT; i++) {
        dJointID j = bike->joint[i];
        dBodyID b1 = dJointGetBody(j, 0), b2 = dJointGetBody(j, 1);
        if (!b1 || !b2) return;
        const dJointFeedback &fb = bike->feedback[i];
        Vec3 f1 = vec_from(fb.f1), f2 = vec_from(fb.f2);
        force = force + f1 + f2;
        torque = torque + vec_from(fb.t1) + vec_from(fb.t2) + vec_cross(body_pos(b1) - p0, f1) +
                 vec_cross(body_pos(b2) - p0, f2);
    }
    dBodyID frame = bike->body[BODY_FRAME];
    dBodyAddForce(frame, -force.x, -force.y, -force.z);
    dBodyAddTorque(frame, -torque.x, -torque.y, -torque.z);
}

// Standing still with a foot down, the rider walks the bike round towards where the race goes
// on. Returns 1 when the bike pivots on weightless wheels (no lean support this step).
int standstill_turn(Bike *bike) {
    Vec3 target;
    // The race is asked first, whatever the rider does: it may find the rider finished.
    if (!rider_state.standstill_target || !rider_state.standstill_target(bike, &target) ||
        !(bike->flags & BIKE_AUTO_DAB) || bike->back_up > 0.125f)
        return 0;
    dBodyID frame = bike->body[BODY_FRAME];
    Vec3 z = body_axis(frame, 2);
    Vec3 h = vec3(z.x, 0, z.z);
    if (vec_length_sq(h) <= 1.0f / 1024) return 0;
    h = vec_normalize(h);
    Vec3 d = target - body_pos(frame);
    float a = vec_dot(d, h);                   // positive when the target is behind
    float b = d.x * h.z - d.z * h.x;           // positive when it is to the right
    float fmax = 320 * bike->total_mass;
    int pivot = a >= 0 || fabsf(b) >= -a / 4;
    if (!pivot) fmax *= fabsf(b / (a / 4));
    angular_motor(frame, vec3(0, 1, 0), b > 0 ? -PI_F : PI_F, fmax);
    if (!pivot) return 0;
    // The touching wheels carry the bike's weight between them while it pivots.
    int touching = wheel_touches(bike, 0) + wheel_touches(bike, 1);
    for (int w = 0; w < 2; w++)
        if (wheel_touches(bike, w)) dBodyAddForce(bike->wheel[w].body, 0, 32 * bike->total_mass / (float)touching, 0);
    return 1;
}

void dab_support(Bike *bike) {
    if (bike->crash_timer > 0) {
        bike->dab_anim = fminf(1, bike->dab_anim + 8 * STEP_F);
        return;
    }
    if (bike->dab == 0) return;
    dBodyID frame = bike->body[BODY_FRAME];
    if (!wheel_touches(bike, 0)) {
        Vec3 point, normal;
        float depth;
        if (!sphere_ground(physics_terrain(), body_pos(bike->body[BODY_RIDER]),
                           bike->model.torso_point.y + 1, &point, &normal, &depth))
            return;
    }
    float v = frame_speed(bike);
    float limit = bike->max_dab_speed;
    float lean = bike_lean_angle(bike);
    if (v * v > limit * limit) return;
    if (v > K15 && (!wheel_touches(bike, 0) || !wheel_touches(bike, 1) || fabsf(lean) < 3 * PI_F / 16))
        return;
    bike->dab_anim = fminf(1, bike->dab_anim + 8 * STEP_F);
    if ((bike->flags & BIKE_ARCADE) || bike->bump_timer > 0) return;
    if (v < K5 && fabsf(lean) > PI_F / 8 && fabsf(lean) < 0.35f * PI_F && standstill_turn(bike)) return;

    float wz = body_to_local(frame, body_avel(frame)).z;
    float beta = lean >= 0 ? -PI_F / 8 : PI_F / 8;
    if (fabsf(lean) < PI_F / 16) beta *= fabsf(lean) * 16 / PI_F;
    float fd = 0;
    if (beta > 0 && wz < beta) fd = -400;
    else if (beta < 0 && wz > beta) fd = 400;
    if (fabsf(lean) < PI_F / 32) fd *= fabsf(lean) * 32 / PI_F;
    if (bike->back_up < 0.125f) {
        float big = 1.25f * allowed_lean(bike, v * v, 32);
        float sigma = beta >= 0 ? -bike->steer : bike->steer;
        float sp = clampf(2 * (sigma - 0.5f), 0, 1);
        float u = clampf((fabsf(lean) - big) / 0.25f, 0, 1);
        fd *= u + (1 - u) * sp;
    }
    if (fd == 0) return;
    if (body_axis(frame, 1).y >= 0.707f) {
        dBodyAddForceAtRelPos(frame, 0, 0.125 * fabsf(fd), 0, 0, 4, 0);
        dBodyAddRelForceAtRelPos(frame, fd, 0, 0, 0, 4, 0);
    } else {
        dBodyAddForceAtRelPos(frame, 0, fabsf(fd), 0, 0, 4, 0);
    }
}

}  // namespace

void rider_set_standstill_target(StandstillTarget target) { rider_state.standstill_target = target; }

void apply_steering_torque(Bike *bike, float tau) {
    Vec3 axis = body_to_world(bike->body[BODY_FRAME], steering_axis_model(bike)) * tau;
    dBodyAddTorque(bike->body[BODY_FRONT_WHEEL], axis.x, axis.y, axis.z);
    dBodyAddTorque(bike->body[BODY_FRAME], -axis.x, -axis.y, -axis.z);
}

void velocity_match(dBodyID body, float max_force, Vec3 target) {
    Vec3 delta = body_vel(body) - target;
    float len2 = vec_length_sq(delta);
    if (len2 < 0.0625f) return;
    float len = sqrtf(len2);
    float t = fminf(1, (len - 0.25f) * 0.8f);
    Vec3 f = delta * (-max_force * t / len);
    dBodyAddForce(body, f.x, f.y, f.z);
}

float front_slip_heading(const Bike *bike) {
    dBodyID fork = bike->body[BODY_FORK_UPPER];
    Vec3 v = body_to_local(fork, body_vel(bike->body[BODY_FRONT_WHEEL]));
    Vec3 a = steering_axis_model(bike);
    float p = vec_dot(v, vec3(0, -a.z, a.y));
    float q = v.x;
    return q * q + p * p > 1 ? -atan2f(q, -p) : 0;
}

float steering_servo(const Bike *bike, float theta) {
    float e = clampf(theta - (float)dJointGetHingeAngle(bike->joint[JOINT_STEERING_HEAD]), -0.25f, 0.25f);
    e = move_towards_zero(e, 0.03125f);
    float f = 8 * e - (float)dJointGetHingeAngleRate(bike->joint[JOINT_STEERING_HEAD]);
    f = move_towards_zero(f, 1.0f / 2400);
    return clampf(f / 2, -2.0f / 3, 2.0f / 3);
}

float allowed_lean(const Bike *bike, float v2, int power) {
    float l2 = bike->max_dab_speed * bike->max_dab_speed;
    if (v2 <= 0) return 0;
    if (v2 >= l2) return 2 * PI_F;
    if (v2 <= K15 * K15) {
        float x = clampf(v2 / l2, 0, 1);
        return (1 - powf(1 - x, (float)power)) * bike->roll_limit_angle;
    }
    return bike->roll_limit_angle +
           (2 * PI_F - bike->roll_limit_angle) * clampf((v2 - K15 * K15) / (l2 - K15 * K15), 0, 1);
}

void rider_foot_targets(const Bike *bike, Vec3 feet[2], float weights[2]) {
    const BikeModel &m = bike->model;
    dBodyID frame = bike->body[BODY_FRAME], rider = bike->body[BODY_RIDER];
    int c = bike->crash_timer;
    Vec3 peg[2] = {m.peg[0], m.peg[1]};
    if (c > 0) {
        float k = (float)(c < 128 ? c : 128) / 128.0f;
        float a = 0.5f * clampf(2 * (k - 0.5f), 0, 1), b = clampf(2 * k, 0, 1), e = clampf(k * 4 / 3, 0, 1);
        peg[0] = peg[0] + vec3(-a, 1.75f * b, e);
        peg[1] = peg[1] + vec3(a, 1.75f * b, e);
    }
    for (int s = 0; s < 2; s++) {
        peg[s] = body_point(frame, peg[s]);
        feet[s] = peg[s];
        weights[s] = 0;
    }
    const Terrain *terrain = physics_terrain();
    if (bike->dab_anim != 0 && c < 128) {
        float lean = bike_lean_angle(bike);
        float t = clampf(fabsf(lean) * 4 / PI_F, 0, 1);
        Vec3 u = -body_axis(frame, 2);
        float s = clampf(vec_dot(u, body_vel(frame)) / 15, 0, 1);
        Vec3 o = u * ((1.25f * s - 0.25f) * t * 2.5f);
        Vec3 hl = body_point(rider, m.hip[0]), hr = body_point(rider, m.hip[1]);
        Vec3 h = hr - hl;
        Vec3 target[2] = {hl + h * (0.5f * t - 0.5f) + o, hr + h * (0.5f - 0.5f * t) + o};
        int down[2] = {lean > -0.1f, lean < 0.1f};
        for (int side = 0; side < 2; side++) {
            if (!down[side]) continue;
            Vec3 tg = target[side];
            if (terrain) tg.y = terrain_height(terrain, tg.x, tg.z) + 0.125f;
            feet[side] = peg[side] + (tg - peg[side]) * bike->dab_anim;
            weights[side] = bike->dab_anim;
        }
    }
    if (c > 0) {
        int jj = 2 * c - 128;
        float j = (float)(jj < 1 ? 1 : (jj > 128 ? 128 : jj)) / 128.0f;
        for (int side = 0; side < 2; side++) {
            feet[side] = feet[side] + (bike->crash_foot[side] - feet[side]) * j;
            weights[side] = 1;
        }
    }
}

void crash_feet_step(Bike *bike) {
    bike->dab_anim = fmaxf(0, bike->dab_anim - 4 * STEP_F);
    if (bike->crash_timer <= 0) return;
    const BikeModel &m = bike->model;
    const Terrain *terrain = physics_terrain();
    dBodyID rider = bike->body[BODY_RIDER];
    Vec3 down = body_to_world(rider, vec3(0, -1, 0));
    Vec3 hl = body_point(rider, m.hip[0]);
    Vec3 o = hl + down;
    float reach = m.thigh + m.shin;
    for (int side = 0; side < 2; side++) {
        Vec3 &q = bike->crash_foot[side];
        Vec3 &w = bike->crash_foot_velocity[side];
        q = q + w * STEP_F;
        w.y -= GRAVITY_FT_S2 * STEP_F;
        if (terrain) {
            float ground = terrain_height(terrain, q.x, q.z) + 0.25f;
            if (q.y < ground) {
                q.y = ground;
                w = vec3(0, 0, 0);
            }
        }
        w = w * 0.9375f;
        Vec3 hip = body_point(rider, m.hip[side]);
        Vec3 d = q - hip;
        float len = vec_length(d);
        if (len >= reach && len > 0) {
            Vec3 e = d * (1.0f / len);
            q = hip + e * reach;
            w = w - e * vec_dot(w, e) + e * vec_dot(body_point_vel(rider, hip), e);
        }
        float below = vec_dot(q - o, down);
        if (below < 0) {
            q = q + down * -below;
            w = w - down * vec_dot(w, down) + down * vec_dot(body_point_vel(rider, o), down);
        }
    }
}

void rider_crash(Bike *bike) {
    dJointAttach(bike->joint[JOINT_RIDER_MOUNT], 0, 0);
    Vec3 feet[2];
    float weights[2];
    rider_foot_targets(bike, feet, weights);
    for (int side = 0; side < 2; side++) {
        bike->crash_foot[side] = feet[side];
        bike->crash_foot_velocity[side] = body_point_vel(bike->body[BODY_RIDER], feet[side]);
    }
    bike->crash_timer = CRASH_STEPS;
    bike->throttle = bike->dab = bike->back_up = bike->lean = 0;
}

void bike_control_step(Bike *bike, int active) {
    int step = physics_step_count();
    if (!bike->stopped && step > physics_race_start() + 2 * STEPS_PER_SECOND && frame_speed(bike) < K5)
        bike->stopped = 1;
    if (!active) {
        for (dBodyID body : bike->body) {
            dBodySetForce(body, 0, 0, 0);
            dBodySetTorque(body, 0, 0, 0);
        }
        return;
    }
    if (!bike_check_finite(bike)) return;
    bike->bump_timer = move_towards_zero(bike->bump_timer, 1);
    if (bike->crash_timer < 1) crash_detection(bike, step);
    if (bike->crash_timer > 0) crashed_state(bike);
    int crashed = bike->crash_timer > 0;

    float dab = bike->dab, front_brake = bike->front_brake, rear_brake = bike->rear_brake;
    dab_and_back_up(bike, step, crashed);
    // A crashed rider is off the bike: no seat springs hold the torso.
    if (!crashed) torso_springs(bike);
    suspension_step(bike);
    if (!crashed) {
        if (bike->flags & BIKE_ARCADE) arcade_steering(bike);
        else normal_steering(bike);
    }
    drivetrain_step(bike);
    steering_damping(bike);
    // The feedback blocks hold nothing of use until two steps after the reset.
    if (step >= 2 && !crashed) internal_force_balance(bike);
    dab_support(bike);
    bike->dab = dab;
    bike->front_brake = front_brake;
    bike->rear_brake = rear_brake;
    crash_feet_step(bike);
    bike->rider_velocity[step & 3] = body_vel(bike->body[BODY_RIDER]);
}
