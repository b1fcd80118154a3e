// The physics world and the assembly of a bike: bodies, masses, joints, reset and placement,
// velocity save and restore, extrapolation of remote bikes, the non-finite guard, and the
// accessors and clamping setters.
#include "bike/bike.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "bike/bike_local.h"
#include "bike/collide.h"
#include "bike/contact.h"
#include "bike/graphics.h"
#include "platform/log.h"
#include "track/terrain.h"

namespace {

struct Physics {
    dWorldID world;
    dJointGroupID contacts;
    int step;             // steps since the race (re)started
    int race_start;       // step of the gate drop
    Terrain *terrain;
};
Physics physics;

// ODE's error, debug and plain messages all go to the log.
__attribute__((format(printf, 3, 0))) void ode_message(const char *kind, int errnum, const char *msg,
                                                       va_list ap) {
    char text[1024];
    vsnprintf(text, sizeof text, msg, ap);
    log("ODE %s %d: %s\n", kind, errnum, text);
}
__attribute__((format(printf, 2, 0))) void ode_error(int errnum, const char *msg, va_list ap) {
    ode_message("error", errnum, msg, ap);
}
__attribute__((format(printf, 2, 0))) void ode_debug(int errnum, const char *msg, va_list ap) {
    ode_message("debug", errnum, msg, ap);
}
__attribute__((format(printf, 2, 0))) void ode_info(int errnum, const char *msg, va_list ap) {
    ode_message("message", errnum, msg, ap);
}

void set_position(dBodyID body, Vec3 p) { dBodySetPosition(body, p.x, p.y, p.z); }

void set_identity(dBodyID body) {
    dMatrix3 r;
    dRSetIdentity(r);
    dBodySetRotation(body, r);
}

// Hub sphere plus a ring of sixteen tyre spheres in the wheel's plane.
void wheel_mass(dBodyID body, const WheelBlock &w) {
    dMass total, segment;
    dMassSetSphereTotal(&total, w.hub_mass, w.hub_radius);
    dMassSetSphereTotal(&segment, w.tyre_mass / 16.0, w.tube_radius);
    dMassTranslate(&segment, 0, w.ring_radius, 0);
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, M_PI / 8.0);
    for (int i = 0; i < 16; i++) {
        dMassAdd(&total, &segment);
        dMassRotate(&segment, r);
    }
    // The ring is symmetric; only rounding moved its centre off the axle.
    dMassTranslate(&total, -total.c[0], -total.c[1], -total.c[2]);
    dBodySetMass(body, &total);
}

// Two fork legs along the steering axis.
void fork_mass(dBodyID body, const BikeModel &m) {
    dMass total, leg;
    dMassSetZero(&total);
    for (int side = -1; side <= 1; side += 2) {
        dMassSetCylinderTotal(&leg, m.fork_mass / 2.0, 2, m.fork_spacing / 8.0,
                              m.fork_length * 2.0 / 3.0);
        dMassTranslate(&leg, side * m.fork_spacing / 2.0, 0, 0);
        dMassAdd(&total, &leg);
    }
    double dy = m.fork_lower.y - m.fork_upper.y, dz = m.fork_lower.z - m.fork_upper.z;
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, atan(dz / dy));
    dMassRotate(&total, r);
    dMassTranslate(&total, -total.c[0], -total.c[1], -total.c[2]);
    dBodySetMass(body, &total);
}

// Two boxes from the pivot to the rear axle.
void swingarm_mass(dBodyID body, const BikeModel &m) {
    double w = m.frame_box.x;
    Vec3 d = m.rear.centre - m.swingarm_pivot;
    double length = vec_length(d);
    dMass total, arm;
    dMassSetZero(&total);
    for (int side = -1; side <= 1; side += 2) {
        dMassSetBoxTotal(&arm, m.swingarm_mass, w / 4, w / 4, length);
        dMassTranslate(&arm, side * w / 2, 0, 0);
        dMassAdd(&total, &arm);
    }
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, -atan((double)d.y / (double)d.z));
    dMassRotate(&total, r);
    dMassTranslate(&total, -total.c[0], -total.c[1], -total.c[2]);
    dBodySetMass(body, &total);
}

void frame_and_rider_mass(Bike *bike, float d) {
    const BikeModel &m = bike->model;
    dMass mass;
    dMassSetBoxTotal(&mass, m.frame_mass + (1.0 - d) * m.rider_mass, m.frame_box.x,
                     m.frame_box.y, m.frame_box.z);
    dBodySetMass(bike->body[BODY_FRAME], &mass);
    dMassSetSphereTotal(&mass, d * m.rider_mass, 1.0);
    dBodySetMass(bike->body[BODY_RIDER], &mass);
}

Vec3 rest_point(const BikeModel &m, int body) {
    switch (body) {
    case BODY_FRAME: return m.frame_centre;
    case BODY_FRONT_WHEEL: return m.front.centre;
    case BODY_REAR_WHEEL: return m.rear.centre;
    case BODY_FORK_UPPER: return m.fork_upper;
    case BODY_FORK_LOWER: return m.fork_lower;
    case BODY_SWINGARM: return m.swingarm_centre;
    default: return m.torso_point;
    }
}

// The mount's anchor lies 50 ft ahead of the bike at torso height, so the free turn about
// its second axis moves the torso almost straight up and down; the first axis is locked.
void rider_mount_place(Bike *bike) {
    dBodyID frame = bike->body[BODY_FRAME];
    Vec3 local = vec3(0, bike->model.torso_point.y, -50) - bike->model.frame_centre;
    Vec3 anchor = body_point(frame, local);
    Vec3 a1 = body_to_world(frame, vec3(0, 1, 1));
    Vec3 a2 = body_to_world(frame, vec3(1, 0, 0));
    dJointID j = bike->joint[JOINT_RIDER_MOUNT];
    dJointSetHinge2Anchor(j, anchor.x, anchor.y, anchor.z);
    dReal axis1[3] = {a1.x, a1.y, a1.z}, axis2[3] = {a2.x, a2.y, a2.z};
    dJointSetHinge2Axes(j, axis1, axis2);
    dJointSetHinge2Param(j, dParamLoStop, 0);
    dJointSetHinge2Param(j, dParamHiStop, 0);
}

void assemble_joints(Bike *bike) {
    const BikeModel &m = bike->model;
    dWorldID world = physics.world;
    dBodyID *b = bike->body;
    Vec3 steer = m.fork_upper - m.fork_lower;

    dJointID j = dJointCreateHinge(world, 0);
    dJointAttach(j, b[BODY_FORK_LOWER], b[BODY_FRONT_WHEEL]);
    dJointSetHingeAnchor(j, m.front.centre.x, m.front.centre.y, m.front.centre.z);
    dJointSetHingeAxis(j, 1, 0, 0);
    bike->joint[JOINT_FRONT_AXLE] = j;

    j = dJointCreateHinge(world, 0);
    dJointAttach(j, b[BODY_SWINGARM], b[BODY_REAR_WHEEL]);
    dJointSetHingeAnchor(j, m.rear.centre.x, m.rear.centre.y, m.rear.centre.z);
    dJointSetHingeAxis(j, 1, 0, 0);
    bike->joint[JOINT_REAR_AXLE] = j;

    j = dJointCreateHinge(world, 0);
    dJointAttach(j, b[BODY_FORK_UPPER], b[BODY_FRAME]);
    dJointSetHingeAnchor(j, m.fork_upper.x, m.fork_upper.y, m.fork_upper.z);
    dJointSetHingeAxis(j, steer.x, steer.y, steer.z);
    dJointSetHingeParam(j, dParamLoStop, -M_PI / 4);
    dJointSetHingeParam(j, dParamHiStop, M_PI / 4);
    bike->joint[JOINT_STEERING_HEAD] = j;

    j = dJointCreateSlider(world, 0);
    dJointAttach(j, b[BODY_FORK_UPPER], b[BODY_FORK_LOWER]);
    dJointSetSliderAxis(j, steer.x, steer.y, steer.z);
    dJointSetSliderParam(j, dParamBounce, 0);
    dJointSetSliderParam(j, dParamLoStop, -m.fork_travel);
    dJointSetSliderParam(j, dParamHiStop, 0);
    bike->joint[JOINT_FORK_SLIDER] = j;

    j = dJointCreateHinge(world, 0);
    dJointAttach(j, b[BODY_SWINGARM], b[BODY_FRAME]);
    dJointSetHingeAnchor(j, m.swingarm_pivot.x, m.swingarm_pivot.y, m.swingarm_pivot.z);
    dJointSetHingeAxis(j, 1, 0, 0);
    dJointSetHingeParam(j, dParamBounce, 0);
    dJointSetHingeParam(j, dParamLoStop, -m.swingarm_travel);
    dJointSetHingeParam(j, dParamHiStop, 0);
    bike->joint[JOINT_SWINGARM_PIVOT] = j;

    j = dJointCreateHinge2(world, 0);
    dJointAttach(j, b[BODY_RIDER], b[BODY_FRAME]);
    bike->joint[JOINT_RIDER_MOUNT] = j;
    rider_mount_place(bike);

    for (int i = 0; i < BIKE_JOINT_COUNT; i++) dJointSetFeedback(bike->joint[i], &bike->feedback[i]);
}

void default_setup(Bike *bike) {
    const BikeModel &m = bike->model;
    bike->fork_compression = m.fork_compression;
    bike->fork_rebound = m.fork_rebound;
    bike->shock_compression = m.shock_compression;
    bike->shock_rebound = m.shock_rebound;
    bike->fork_spring = 0.5f * (m.fork_spring[0] + m.fork_spring[1]);
    bike->fork_preload = 0.5f * (m.fork_preload[0] + m.fork_preload[1]);
    bike->shock_spring = 0.5f * (m.shock_spring[0] + m.shock_spring[1]);
    bike->shock_preload = 0.5f * (m.shock_preload[0] + m.shock_preload[1]);
    bike->fork_air_gap = m.fork_air_gap[0];
    bike->final_drive = fmaxf(m.rear_teeth, 3) / fmaxf(m.countershaft_teeth, 3);
    bike->rider_vertical_spring = bike->rider_vertical_damping = 0.5f;
    bike->rider_forward_spring = bike->rider_forward_damping = 0.5f;
    bike->leveling = 20;
    bike->roll_damping = 60;
    bike->roll_limit_angle = PI_F / 4;
    bike->roll_limit_factor = 10;
    bike->steering_damping = 45;
    bike->steering_strength = 75;
    bike->max_steering_force = 400;
    bike->front_brake_torque = 250;
    bike->rear_brake_torque = 250;
    bike->auto_clutch_rpm = 5000;
    bike->max_dab_speed = 30;
    bike->landing_damping_factor = 2;
    bike->landing_damping_falloff = 0.25f;
    bike->direct_steering = 1;
    bike->slow_damping_speed = 0;
    bike->slow_damping_factor = 1;
    bike->full_lock_speed = 10;
    bike->restricted_lock_speed = 50;
    bike->restricted_lock_angle = 0.08726646f;
    bike->flags = BIKE_DEFAULT_FLAGS;
}

}  // namespace

// ---- The physics world ----

int physics_init() {
    if (physics.world) return 1;
    dInitODE2(0);
    dSetErrorHandler(ode_error);
    dSetDebugHandler(ode_debug);
    dSetMessageHandler(ode_info);
    if (!dCheckConfiguration("ODE_double_precision")) {
        log("Error: %s\n", "the physics library is not the double-precision build");
        dCloseODE();
        return 0;
    }
    physics.world = dWorldCreate();
    dWorldSetGravity(physics.world, 0, -GRAVITY_FT_S2, 0);
    physics.contacts = dJointGroupCreate(0);
    physics.step = 0;
    physics.race_start = 0;
    return 1;
}

void physics_shutdown() {
    if (!physics.world) return;
    dJointGroupDestroy(physics.contacts);
    dWorldDestroy(physics.world);
    dCloseODE();
    physics = Physics{};
}

dWorldID physics_world() { return physics.world; }
dJointGroupID physics_contacts() { return physics.contacts; }

void physics_step() {
    dWorldStep(physics.world, STEP_SECONDS);
    dJointGroupEmpty(physics.contacts);
}

int physics_step_count() { return physics.step; }
void physics_set_step_count(int step) { physics.step = step; }
int physics_race_start() { return physics.race_start; }
void physics_set_race_start(int step) { physics.race_start = step; }
void physics_set_terrain(Terrain *terrain) { physics.terrain = terrain; }
Terrain *physics_terrain() { return physics.terrain; }

// ---- Shared internals ----

void contact_soft(dBodyID a, dBodyID b, Vec3 point, Vec3 normal, float depth, float mu, float k,
                  float c) {
    if (!a && !b) return;
    dContact contact;
    memset(&contact, 0, sizeof contact);
    contact.surface.mode = dContactSoftERP | dContactSoftCFM | dContactApprox1;
    contact.surface.mu = mu;
    contact.surface.soft_erp = soft_erp(k, c);
    contact.surface.soft_cfm = soft_cfm(k, c);
    contact.geom.pos[0] = point.x;
    contact.geom.pos[1] = point.y;
    contact.geom.pos[2] = point.z;
    contact.geom.normal[0] = normal.x;
    contact.geom.normal[1] = normal.y;
    contact.geom.normal[2] = normal.z;
    contact.geom.depth = depth;
    dJointID j = dJointCreateContact(physics.world, physics.contacts, &contact);
    dJointAttach(j, a, b);
}

void contact_spring(dBodyID a, dBodyID b, Vec3 point, Vec3 normal, float depth, float k,
                    float c) {
    contact_soft(a, b, point, vec_normalize(normal), depth, 0, k, c);
}

void rider_remount(Bike *bike) {
    dBodyID frame = bike->body[BODY_FRAME], rider = bike->body[BODY_RIDER];
    Vec3 p = body_point(frame, bike->model.torso_point - bike->model.frame_centre);
    set_position(rider, p);
    dBodySetRotation(rider, dBodyGetRotation(frame));
    dBodySetLinearVel(rider, 0, 0, 0);
    dBodySetAngularVel(rider, 0, 0, 0);
    Vec3 v = body_point_vel(frame, p);
    dBodySetLinearVel(rider, v.x, v.y, v.z);
    Vec3 w = body_avel(frame);
    dBodySetAngularVel(rider, w.x, w.y, w.z);
    dJointAttach(bike->joint[JOINT_RIDER_MOUNT], rider, frame);
    rider_mount_place(bike);
}

// ---- Lifecycle ----

Bike *bike_create(const char *model_name, int slot, const char *plate_text,
                  const char *gear_texture, const char *helmet_texture,
                  const char *bike_texture, const char *wheel_texture) {
    const BikeModel *model = model_lookup(model_name);
    Bike *bike = (Bike *)xcalloc(1, sizeof(Bike));
    bike->model = *model;
    bike->engine_inertia = model->engine_inertia;
    parts_load_shapes(bike);
    bike_load_graphics(bike, plate_text, gear_texture, helmet_texture, bike_texture,
                       wheel_texture);

    const BikeModel &m = bike->model;
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        bike->body[i] = dBodyCreate(physics.world);
        set_position(bike->body[i], rest_point(m, i));
        set_identity(bike->body[i]);
    }
    dBodySetFiniteRotationMode(bike->body[BODY_FRONT_WHEEL], 1);
    dBodySetFiniteRotationMode(bike->body[BODY_REAR_WHEEL], 1);

    frame_and_rider_mass(bike, 1.0f / 3.0f);
    bike->rider_mass_distribution = 1.0f / 3.0f;
    wheel_mass(bike->body[BODY_FRONT_WHEEL], m.front);
    wheel_mass(bike->body[BODY_REAR_WHEEL], m.rear);
    fork_mass(bike->body[BODY_FORK_UPPER], m);
    fork_mass(bike->body[BODY_FORK_LOWER], m);
    swingarm_mass(bike->body[BODY_SWINGARM], m);

    const WheelBlock *blocks[2] = {&m.front, &m.rear};
    for (int w = 0; w < 2; w++) {
        WheelContact *wc = &bike->wheel[w];
        wc->body = bike->body[w == 0 ? BODY_FRONT_WHEEL : BODY_REAR_WHEEL];
        wc->axle = vec3(1, 0, 0);
        wc->ring_radius = blocks[w]->ring_radius;
        wc->tube_radius = blocks[w]->tube_radius;
    }

    assemble_joints(bike);

    array_init(&bike->crossings, 4);
    array_init(&bike->line_points[0], 20);
    array_init(&bike->line_points[1], 20);
    array_init(&bike->line, 20);

    default_setup(bike);
    bike_reset_pose(bike);
    bike->total_mass = 0;
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        dMass mass;
        dBodyGetMass(bike->body[i], &mass);
        bike->total_mass += (float)mass.mass;
    }
    bike->slot = slot;
    return bike;
}

void bike_destroy(Bike *bike) {
    if (!bike) return;
    for (int i = 0; i < BIKE_JOINT_COUNT; i++) dJointDestroy(bike->joint[i]);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) dBodyDestroy(bike->body[i]);
    array_free(&bike->crossings);
    array_free(&bike->line_points[0]);
    array_free(&bike->line_points[1]);
    array_free(&bike->line);
    parts_free_shapes(bike);
    free(bike);
}

void bike_reset_pose(Bike *bike) {
    const BikeModel &m = bike->model;
    const int order[6] = {BODY_FORK_UPPER, BODY_FORK_LOWER, BODY_SWINGARM, BODY_FRAME,
                          BODY_FRONT_WHEEL, BODY_REAR_WHEEL};
    for (int body : order) {
        set_position(bike->body[body], rest_point(m, body));
        set_identity(bike->body[body]);
    }
    set_identity(bike->body[BODY_RIDER]);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        dBodySetLinearVel(bike->body[i], 0, 0, 0);
        dBodySetAngularVel(bike->body[i], 0, 0, 0);
        dBodySetForce(bike->body[i], 0, 0, 0);
        dBodySetTorque(bike->body[i], 0, 0, 0);
    }

    bike->throttle = bike->clutch = bike->front_brake = bike->rear_brake = 0;
    bike->steer = bike->dab = bike->dab_anim = bike->back_up = bike->lean = 0;
    bike->gear = bike->last_shift = 0;
    bike->clutch_angle = bike->engine_speed = 0;
    bike->next_lap_entry = 0;
    bike->finished = 0;
    bike->crossings.count = 0;
    bike->line_points[0].count = bike->line_points[1].count = 0;
    bike->line.count = 0;
    bike->autopilot_decision_step = -1000000;
    bike->autopilot_picked = 0;
    bike->crash_timer = 0;
    bike->bump_timer = 0;
    bike->stopped = 0;
    bike->last_bump_step = -1;
    bike->landing_damping = 1;
    for (Vec3 &v : bike->rider_velocity) v = vec3(0, 0, 0);

    rider_remount(bike);

    for (int i = 0; i < BIKE_BODY_COUNT; i++) bike->stored_position[i] = body_pos(bike->body[i]);
    memset(bike->feedback, 0, sizeof bike->feedback);
    for (WheelContact &w : bike->wheel) {
        w.depth = 0;
        memset(&w.feedback, 0, sizeof w.feedback);
    }
    bike->rut_head = bike->rut_tail = 0;
    bike->reach_step = -1;
    bike->last_good_position = body_pos(bike->body[BODY_FRAME]);
}

void bike_translate(Bike *bike, float dx, float dy, float dz) {
    bike->reach_step = -1;
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        Vec3 p = body_pos(bike->body[i]);
        dBodySetPosition(bike->body[i], p.x + dx, p.y + dy, p.z + dz);
    }
    bike->last_good_position = body_pos(bike->body[BODY_FRAME]);
}

void bike_turn(Bike *bike, Vec3 axis, float angle) {
    bike->reach_step = -1;
    dMatrix3 r;
    dRFromAxisAndAngle(r, axis.x, axis.y, axis.z, angle);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        const dReal *p = dBodyGetPosition(bike->body[i]);
        dVector3 q;
        dMultiply0_331(q, r, p);
        dBodySetRotation(bike->body[i], r);
        dBodySetPosition(bike->body[i], q[0], q[1], q[2]);
    }
    // The mount's anchor and axes are fixed in the world when set: carry them along.
    if (dJointGetBody(bike->joint[JOINT_RIDER_MOUNT], 0)) rider_mount_place(bike);
    bike->last_good_position = body_pos(bike->body[BODY_FRAME]);
}

void bike_stop(Bike *bike) {
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        dBodySetLinearVel(bike->body[i], 0, 0, 0);
        dBodySetAngularVel(bike->body[i], 0, 0, 0);
    }
}

void bike_set_down(Bike *bike, const Terrain *terrain) {
    if (!terrain) return;
    // Lowest gap between a tyre's bottom and the ground under it, sampled around the tyre.
    float lift = -1e30f;
    for (int w = 0; w < 2; w++) {
        const WheelContact *wc = &bike->wheel[w];
        Vec3 c = body_pos(wc->body);
        float outer = wc->ring_radius + wc->tube_radius;
        for (int k = -4; k <= 4; k++) {
            float a = (float)k * 0.15f;
            Vec3 fwd = body_axis(wc->body, 2);
            Vec3 up = body_axis(wc->body, 1);
            Vec3 p = c - up * (outer * cosf(a)) + fwd * (outer * sinf(a));
            float need = terrain_height(terrain, p.x, p.z) - p.y;
            if (need > lift) lift = need;
        }
    }
    bike_translate(bike, 0, lift, 0);
}

void bike_disable(Bike *bike) {
    for (int i = 0; i < BIKE_BODY_COUNT; i++) dBodyDisable(bike->body[i]);
}

void bike_enable(Bike *bike) {
    for (int i = 0; i < BIKE_BODY_COUNT; i++) dBodyEnable(bike->body[i]);
}

void bike_set_rider_mass(Bike *bike, float d) {
    d = clampf(d, 0.33f, 0.5f);
    bike->rider_mass_distribution = d;
    frame_and_rider_mass(bike, d);
}

void bike_save_velocities(Bike *bike) {
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        bike->saved_linear[i] = body_vel(bike->body[i]);
        bike->saved_angular[i] = body_avel(bike->body[i]);
    }
}

void bike_restore_velocities(Bike *bike) {
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        Vec3 v = bike->saved_linear[i], w = bike->saved_angular[i];
        dBodySetLinearVel(bike->body[i], v.x, v.y, v.z);
        dBodySetAngularVel(bike->body[i], w.x, w.y, w.z);
    }
}

void bike_extrapolate(Bike *bike, int steps) {
    if (steps < 0) steps = 0;
    if (steps > 64) steps = 64;
    dBodyID frame = bike->body[BODY_FRAME];
    Vec3 offset = body_vel(frame) * (float)(steps * STEP_SECONDS);
    Vec3 check = bike->stored_position[BODY_REAR_WHEEL] + offset +
                 body_to_world(frame, vec3(0, -bike->model.rear.ring_radius, 0));
    if (physics.terrain) {
        float h = terrain_height(physics.terrain, check.x, check.z);
        if (h > check.y) offset.y += h - check.y;
    }
    for (int i = 0; i < BIKE_BODY_COUNT; i++) set_position(bike->body[i], bike->stored_position[i] + offset);
}

int bike_check_finite(Bike *bike) {
    int finite = 1;
    for (int i = 0; i < BIKE_BODY_COUNT && finite; i++) {
        dBodyID b = bike->body[i];
        const dReal *r = dBodyGetRotation(b);
        for (int k = 0; k < 12; k++) finite &= std::isfinite(r[k]) ? 1 : 0;
        finite &= vec_finite(body_pos(b)) && vec_finite(body_vel(b)) && vec_finite(body_avel(b));
    }
    finite &= std::isfinite(bike->engine_speed) && std::isfinite(bike->clutch_angle);
    if (finite) {
        bike->last_good_position = body_pos(bike->body[BODY_FRAME]);
        return 1;
    }
    Vec3 at = bike->last_good_position;
    log("Bike in slot %d left the finite world; put back at %.2f %.2f %.2f\n", bike->slot,
        at.x, at.y, at.z);
    bike_reset_pose(bike);
    Vec3 rest = bike->model.frame_centre;
    bike_translate(bike, at.x - rest.x, 0, at.z - rest.z);
    bike_set_down(bike, physics.terrain);
    bike_stop(bike);
    return 0;
}

// ---- Accessors ----

dBodyID bike_body(const Bike *bike) { return bike->body[BODY_FRAME]; }
int bike_gear(const Bike *bike) { return bike->gear; }
float bike_throttle(const Bike *bike) { return bike->throttle; }
float bike_clutch(const Bike *bike) { return bike->clutch; }
const char *bike_model_name(const Bike *bike) { return bike->model.name; }
const char *bike_model_class(const Bike *bike) { return bike->model.model_class; }
const char *bike_plate_text(const Bike *bike) { return bike->plate_text; }
int bike_slot(const Bike *bike) { return bike->slot; }
int bike_crashed(const Bike *bike) { return bike->crash_timer > 0; }
uint8_t bike_flags(const Bike *bike) { return bike->flags; }
Vec3 bike_position(const Bike *bike) { return body_pos(bike->body[BODY_FRAME]); }
Vec3 bike_velocity(const Bike *bike) { return body_vel(bike->body[BODY_FRAME]); }

float bike_forward_speed_mph(const Bike *bike) {
    dBodyID frame = bike->body[BODY_FRAME];
    return -vec_dot(body_vel(frame), body_axis(frame, 2)) * MPH_PER_FT_S;
}

float bike_rpm(const Bike *bike) { return bike->engine_speed * RPM_PER_RAD_S; }

float body_lean_angle(dBodyID body) {
    Vec3 up = body_axis(body, 1);
    Vec3 fwd = -body_axis(body, 2);
    Vec3 side = vec_normalize(vec3(-fwd.z, 0, fwd.x));
    return acosf(clampf(vec_dot(up, side), -1, 1)) - PI_F / 2;
}

float bike_lean_angle(const Bike *bike) { return body_lean_angle(bike->body[BODY_FRAME]); }

// ---- Control setters ----

void bike_set_throttle(Bike *bike, float v) { bike->throttle = bike->crash_timer > 0 ? 0 : clampf(v, 0, 1); }
void bike_set_clutch(Bike *bike, float v) { bike->clutch = clampf(v, 0, 1); }
void bike_set_front_brake(Bike *bike, float v) { bike->front_brake = clampf(v, 0, 1); }
void bike_set_rear_brake(Bike *bike, float v) { bike->rear_brake = clampf(v, 0, 1); }
void bike_set_steer(Bike *bike, float v) { bike->steer = clampf(v, -1, 1); }
void bike_set_dab(Bike *bike, float v) { bike->dab = bike->crash_timer > 0 ? 0 : clampf(v, 0, 1); }
void bike_set_back_up(Bike *bike, float v) { bike->back_up = bike->crash_timer > 0 ? 0 : clampf(v, 0, 1); }
void bike_set_lean(Bike *bike, float v) { bike->lean = bike->crash_timer > 0 ? 0 : clampf(v, -1, 1); }

// ---- Assist setters ----

void bike_set_leveling(Bike *bike, float v) { bike->leveling = clampf(v, 0, 200); }
void bike_set_roll_damping(Bike *bike, float v) { bike->roll_damping = clampf(v, 0, 200); }
void bike_set_roll_limit_angle(Bike *bike, float v) { bike->roll_limit_angle = clampf(v, 0, PI_F); }
void bike_set_roll_limit_factor(Bike *bike, float v) { bike->roll_limit_factor = clampf(v, 0, 64); }
void bike_set_steering_damping(Bike *bike, float v) { bike->steering_damping = clampf(v, 0, 100); }
void bike_set_steering_strength(Bike *bike, float v) { bike->steering_strength = clampf(v, 0, 200); }
void bike_set_max_steering_force(Bike *bike, float v) { bike->max_steering_force = clampf(v, 0, 1000); }
void bike_set_direct_steering(Bike *bike, float v) { bike->direct_steering = clampf(v, 0, 1); }
void bike_set_slow_damping_speed(Bike *bike, float v) { bike->slow_damping_speed = clampf(v, 0, 100); }
void bike_set_slow_damping_factor(Bike *bike, float v) { bike->slow_damping_factor = clampf(v, 1, 10); }
void bike_set_landing_damping_falloff(Bike *bike, float v) { bike->landing_damping_falloff = clampf(v, 0, 1); }
void bike_set_landing_damping_factor(Bike *bike, float v) { bike->landing_damping_factor = clampf(v, 1, 3); }
void bike_set_full_lock_speed(Bike *bike, float v) { bike->full_lock_speed = fmaxf(v, 1); }
void bike_set_restricted_lock_speed(Bike *bike, float v) { bike->restricted_lock_speed = fmaxf(v, 1); }
void bike_set_restricted_lock_angle(Bike *bike, float v) { bike->restricted_lock_angle = clampf(v, 0, PI_F / 4); }
void bike_set_max_dab_speed(Bike *bike, float v) { bike->max_dab_speed = clampf(v, 7, 30); }
void bike_set_auto_clutch_rpm(Bike *bike, float v) { bike->auto_clutch_rpm = clampf(v, 0, 5000); }
void bike_set_front_brake_torque(Bike *bike, float v) { bike->front_brake_torque = clampf(v, 0, 500); }
void bike_set_rear_brake_torque(Bike *bike, float v) { bike->rear_brake_torque = clampf(v, 0, 500); }

static void set_flag(Bike *bike, uint8_t bit, int on) {
    bike->flags = on ? (uint8_t)(bike->flags | bit) : (uint8_t)(bike->flags & ~bit);
}
void bike_set_arcade(Bike *bike, int on) { set_flag(bike, BIKE_ARCADE, on); }
void bike_set_front_antilock(Bike *bike, int on) { set_flag(bike, BIKE_FRONT_ANTILOCK, on); }
void bike_set_rear_antilock(Bike *bike, int on) { set_flag(bike, BIKE_REAR_ANTILOCK, on); }
void bike_set_auto_shift(Bike *bike, int on) { set_flag(bike, BIKE_AUTO_SHIFT, on); }
void bike_set_auto_dab(Bike *bike, int on) { set_flag(bike, BIKE_AUTO_DAB, on); }
void bike_set_wheelie_control(Bike *bike, int code) {
    set_flag(bike, BIKE_STOP_WHEELIES, code & 1);
    set_flag(bike, BIKE_STOP_STOPPIES, code & 2);
}

void bike_set_sprockets(Bike *bike, int countershaft_change, int rear_change) {
    if (countershaft_change < -2) countershaft_change = -2;
    if (countershaft_change > 2) countershaft_change = 2;
    if (rear_change < -2) rear_change = -2;
    if (rear_change > 2) rear_change = 2;
    const BikeModel &m = bike->model;
    bike->final_drive = fmaxf(m.rear_teeth + (float)rear_change, 3) /
                        fmaxf(m.countershaft_teeth + (float)countershaft_change, 3);
}

// ---- Suspension setters ----

static float lerp_range(const float *range, float fraction) {
    float t = clampf(fraction, 0, 1);
    return range[0] + (range[1] - range[0]) * t;
}
void bike_set_fork_compression(Bike *b, float f) { b->fork_compression = b->model.fork_compression * clampf(f, 0, 2); }
void bike_set_fork_rebound(Bike *b, float f) { b->fork_rebound = b->model.fork_rebound * clampf(f, 0, 2); }
void bike_set_fork_spring(Bike *b, float f) { b->fork_spring = lerp_range(b->model.fork_spring, f); }
void bike_set_fork_preload(Bike *b, float f) { b->fork_preload = lerp_range(b->model.fork_preload, f); }
void bike_set_fork_oil_level(Bike *b, float f) { b->fork_air_gap = lerp_range(b->model.fork_air_gap, f); }
void bike_set_shock_compression(Bike *b, float f) { b->shock_compression = b->model.shock_compression * clampf(f, 0, 2); }
void bike_set_shock_rebound(Bike *b, float f) { b->shock_rebound = b->model.shock_rebound * clampf(f, 0, 2); }
void bike_set_shock_spring(Bike *b, float f) { b->shock_spring = lerp_range(b->model.shock_spring, f); }
void bike_set_shock_preload(Bike *b, float f) { b->shock_preload = lerp_range(b->model.shock_preload, f); }

// ---- Rider setters ----

void bike_set_rider_vertical_spring(Bike *b, float v) { b->rider_vertical_spring = clampf(v, 0, 1); }
void bike_set_rider_vertical_damping(Bike *b, float v) { b->rider_vertical_damping = clampf(v, 0, 1); }
void bike_set_rider_forward_spring(Bike *b, float v) { b->rider_forward_spring = clampf(v, 0, 1); }
void bike_set_rider_forward_damping(Bike *b, float v) { b->rider_forward_damping = clampf(v, 0, 1); }
