// Sphere-shape collisions of bike parts with the ground, with each other, with tyres, with
// other bikes and with track objects.
#include "bike/collide.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bike/bike_local.h"
#include "bike/contact.h"
#include "common/common.h"
#include "track/terrain.h"

namespace {

void refresh(PartShape *part, Vec3 position, const Mat3 &rotation) {
    for (int i = 0; i < part->count; i++) {
        const float *c = part->spheres[i].centre;
        part->world[i] = rot_apply(rotation, vec3(c[0], c[1], c[2])) + position;
    }
}

Vec3 point_velocity(dBodyID body, Vec3 p) { return body ? body_point_vel(body, p) : vec3(0, 0, 0); }

// One sphere pair's contact: a is pushed along -n, b along +n.
void pair_contact(dBodyID a, dBodyID b, Vec3 point, Vec3 n, float depth, float mu, float k,
                  float c, int mode) {
    if (mode == CONTACT_JOINT) {
        contact_soft(b, a, point, n, depth, mu, k, c);
    } else if (mode == CONTACT_PENALTY) {
        // The damper resists the closing speed: parts coming together are pushed apart
        // harder, parts already separating less.
        Vec3 va = point_velocity(a, point), vb = point_velocity(b, point);
        float f = clampf((vec_dot(va, n) - vec_dot(vb, n)) * c + depth * k, -1000, 1000);
        if (a && dBodyIsEnabled(a)) dBodyAddForceAtPos(a, -f * n.x, -f * n.y, -f * n.z, point.x, point.y, point.z);
        if (b && dBodyIsEnabled(b)) dBodyAddForceAtPos(b, f * n.x, f * n.y, f * n.z, point.x, point.y, point.z);
    }
}

Mat3 body_rotation(dBodyID body) { return rot_from_ode(dBodyGetRotation(body)); }

int part_body(int part) {
    switch (part) {
    case PART_FRAME: return BODY_FRAME;
    case PART_FORK_UPPER: return BODY_FORK_UPPER;
    case PART_FORK_LOWER: return BODY_FORK_LOWER;
    case PART_SWINGARM: return BODY_SWINGARM;
    case PART_FRONT_WHEEL: return BODY_FRONT_WHEEL;
    case PART_REAR_WHEEL: return BODY_REAR_WHEEL;
    default: return BODY_RIDER;
    }
}

float body_speed(dBodyID body) { return vec_length(body_vel(body)); }

}  // namespace

PartShape *part_shape_make(const Shape *shape) {
    if (!shape || shape->count <= 0) return nullptr;
    PartShape *part = (PartShape *)xcalloc(1, sizeof(PartShape));
    part->shape = shape;
    part->count = shape->count;
    part->spheres = (ShapeSphere *)xmalloc(sizeof(ShapeSphere) * (size_t)shape->count);
    memcpy(part->spheres, shape->spheres, sizeof(ShapeSphere) * (size_t)shape->count);
    part->world = (Vec3 *)xcalloc((size_t)shape->count, sizeof(Vec3));
    part->bounding_radius = shape->bounding_radius;
    return part;
}

void part_shape_free(PartShape *part) {
    if (!part) return;
    free(part->spheres);
    free(part->world);
    free(part);
}

void parts_load_shapes(Bike *bike) {
    const BikeModel &m = bike->model;
    // Loading order: frame, fork upper, fork lower, swingarm, rider, front and rear wheel.
    const int order[PART_COUNT][2] = {
        {PART_FRAME, FILE_FRAME_SHAPE},           {PART_FORK_UPPER, FILE_FORK_UPPER_SHAPE},
        {PART_FORK_LOWER, FILE_FORK_LOWER_SHAPE}, {PART_SWINGARM, FILE_SWINGARM_SHAPE},
        {PART_RIDER, FILE_RIDER_SHAPE},           {PART_FRONT_WHEEL, FILE_FRONT_WHEEL_SHAPE},
        {PART_REAR_WHEEL, FILE_REAR_WHEEL_SHAPE},
    };
    for (const auto &o : order) bike->shape[o[0]] = part_shape_make(shape_load(m.files[o[1]]));
}

void parts_free_shapes(Bike *bike) {
    for (PartShape *&part : bike->shape) {
        part_shape_free(part);
        part = nullptr;
    }
}

int shape_ground(PartShape *part, dBodyID body, Vec3 position, const Mat3 &rotation,
                 const Terrain *terrain) {
    if (!part || !terrain) return 0;
    refresh(part, position, rotation);
    int hit = 0;
    for (int i = 0; i < part->count; i++) {
        Vec3 point, normal;
        float depth;
        if (!sphere_ground(terrain, part->world[i], part->spheres[i].radius, &point, &normal, &depth))
            continue;
        hit = 1;
        if (body) contact_soft(body, 0, point, normal, depth, part->spheres[i].friction, 2500, 250);
    }
    return hit;
}

int shape_shape(PartShape *a, dBodyID body_a, Vec3 pos_a, const Mat3 &rot_a, PartShape *b,
                dBodyID body_b, Vec3 pos_b, const Mat3 &rot_b, int mode) {
    if (!a || !b) return 0;
    float reach = a->bounding_radius + b->bounding_radius;
    if (vec_length_sq(pos_b - pos_a) >= reach * reach) return 0;
    refresh(a, pos_a, rot_a);
    refresh(b, pos_b, rot_b);
    int hit = 0;
    for (int i = 0; i < a->count; i++) {
        const ShapeSphere &sa = a->spheres[i];
        for (int j = 0; j < b->count; j++) {
            const ShapeSphere &sb = b->spheres[j];
            Vec3 d = b->world[j] - a->world[i];
            float dist = vec_length(d);
            float sum = sa.radius + sb.radius;
            if (!(dist < sum)) continue;
            hit = 1;
            Vec3 n = dist > 1e-9f ? d * (1.0f / dist) : vec3(0, 1, 0);
            float depth = sum - dist;
            Vec3 point = a->world[i] + n * (sa.radius - depth / 2);
            pair_contact(body_a, body_b, point, n, depth, fminf(sa.friction, sb.friction),
                         fminf(sa.stiffness, sb.stiffness), fminf(sa.damping, sb.damping), mode);
        }
    }
    return hit;
}

int shape_tyre(PartShape *part, dBodyID body, Vec3 position, const Mat3 &rotation,
               WheelContact *wheel, int mode) {
    if (!part) return 0;
    Vec3 c = body_pos(wheel->body);
    float reach = wheel->ring_radius + wheel->tube_radius + part->bounding_radius;
    if (vec_length_sq(position - c) >= reach * reach) return 0;
    refresh(part, position, rotation);
    Vec3 axle = vec_normalize(body_to_world(wheel->body, wheel->axle));
    int ground = wheel->depth > 0;
    float deepest = 0;
    int hit = 0;
    for (int i = 0; i < part->count; i++) {
        const ShapeSphere &s = part->spheres[i];
        Vec3 v = part->world[i] - c;
        v = v - axle * vec_dot(axle, v);
        float len = vec_length(v);
        Vec3 core = len > 1e-9f ? c + v * (wheel->ring_radius / len) : c;
        Vec3 d = core - part->world[i];
        float dist = vec_length(d);
        float sum = s.radius + wheel->tube_radius;
        if (!(dist < sum)) continue;
        hit = 1;
        Vec3 n = dist > 1e-9f ? d * (1.0f / dist) : vec3(0, 1, 0);
        float depth = sum - dist;
        Vec3 point = part->world[i] + n * (s.radius - depth / 2);
        pair_contact(body, wheel->body, point, n, depth, fminf(s.friction, 1.0f),
                     fminf(s.stiffness, 25000.0f), fminf(s.damping, 2500.0f), mode);
        if (!ground && depth > deepest) {
            deepest = depth;
            wheel->contact_point = point;
            wheel->contact_normal = n;
            wheel->depth = depth;
            wheel->slip_velocity = body_point_vel(wheel->body, point);
        }
    }
    return hit;
}

int parts_hit_by(Bike *bike, PartShape *part, dBodyID body, Vec3 position, const Mat3 &rotation,
                 int mode, int remote) {
    int mask = 0;
    if (shape_tyre(part, body, position, rotation, &bike->wheel[0], mode)) mask |= HIT_FRONT_WHEEL;
    if (shape_tyre(part, body, position, rotation, &bike->wheel[1], mode)) mask |= HIT_REAR_WHEEL;
    const int parts[5][2] = {{PART_FRAME, HIT_FRAME}, {PART_FORK_UPPER, HIT_FORK_UPPER},
                             {PART_FORK_LOWER, HIT_FORK_LOWER}, {PART_SWINGARM, HIT_SWINGARM},
                             {PART_RIDER, HIT_RIDER}};
    int part_mode = remote ? CONTACT_DETECT : mode;
    for (const auto &p : parts) {
        dBodyID b = bike->body[part_body(p[0])];
        if (shape_shape(part, body, position, rotation, bike->shape[p[0]], b, body_pos(b),
                        body_rotation(b), part_mode))
            mask |= p[1];
    }
    return mask;
}

// Radius around the frame centre that holds every part shape and both tyres of the bike (a
// crashed rider can be far from the frame).
static float bike_reach(Bike *bike) {
    Vec3 centre = body_pos(bike->body[BODY_FRAME]);
    Vec3 was = bike->reach_centre;
    if (bike->reach_step == physics_step_count() && was.x == centre.x && was.y == centre.y && was.z == centre.z)
        return bike->reach;
    float reach = 0;
    for (int part = 0; part < PART_COUNT; part++) {
        const PartShape *shape = bike->shape[part];
        if (shape) reach = fmaxf(reach, vec_length(body_pos(bike->body[part_body(part)]) - centre) + shape->bounding_radius);
    }
    for (const WheelContact &w : bike->wheel)
        reach = fmaxf(reach, vec_length(body_pos(w.body) - centre) + w.ring_radius + w.tube_radius);
    bike->reach = reach;
    bike->reach_step = physics_step_count();
    bike->reach_centre = centre;
    return reach;
}

int bike_bike(Bike *a, Bike *b, int remote) {
    float reach = bike_reach(a) + bike_reach(b);
    if (vec_length_sq(body_pos(a->body[BODY_FRAME]) - body_pos(b->body[BODY_FRAME])) >= reach * reach)
        return 0;
    int step = physics_step_count();
    int mode = a->last_bump_step == step || b->last_bump_step == step ? CONTACT_PENALTY : CONTACT_JOINT;
    const int order[PART_COUNT] = {PART_FRONT_WHEEL, PART_REAR_WHEEL, PART_FRAME, PART_FORK_UPPER,
                                   PART_FORK_LOWER, PART_SWINGARM, PART_RIDER};
    int h = 0, af = 0;
    for (int part : order) {
        PartShape *shape = a->shape[part];
        if (!shape) continue;
        dBodyID body = a->body[part_body(part)];
        int hits = parts_hit_by(b, shape, body, body_pos(body), body_rotation(body), mode, remote);
        h |= hits;
        if (hits && part == PART_FRONT_WHEEL) af |= HIT_FRONT_WHEEL;
        if (hits && part == PART_FORK_LOWER) af |= HIT_FORK_LOWER;
    }
    if (h == 0) return 0;
    float va = body_speed(a->body[BODY_FRAME]), vb = body_speed(b->body[BODY_FRAME]);
    if ((af & h) == 0 && af == 0) {
        // a hit b's front end with something else: b's assists turn against it.
        if ((h & (HIT_FRONT_WHEEL | HIT_FORK_LOWER)) && a->crash_timer <= 0 && va >= 5 && vb >= 10)
            b->bump_timer = fmaxf(b->bump_timer, 256);
    } else if ((af & h) == 0) {
        // a's front end hit b elsewhere.
        if (b->crash_timer <= 0 && vb >= 5 && va >= 10) a->bump_timer = fmaxf(a->bump_timer, 256);
    } else {
        if (va >= 10) a->bump_timer = fmaxf(a->bump_timer, 192);
        if (vb >= 10) b->bump_timer = fmaxf(b->bump_timer, 192);
    }
    a->last_bump_step = b->last_bump_step = step;
    a->autopilot_picked = b->autopilot_picked = 0;
    return h;
}

int bike_object(Bike *bike, PartShape *object, dBodyID body, Vec3 position, const Mat3 &rotation) {
    int hits = parts_hit_by(bike, object, body, position, rotation, CONTACT_JOINT, 0);
    if ((hits & HIT_RIDER) && bike->crash_timer <= 0) {
        Vec3 v = body_vel(bike->body[BODY_RIDER]);
        if (body) v = v - body_vel(body);
        if (vec_length_sq(v) > 400) rider_crash(bike);
    }
    return hits;
}

int parts_ground(Bike *bike) {
    const Terrain *terrain = physics_terrain();
    const int parts[5] = {PART_FRAME, PART_FORK_UPPER, PART_FORK_LOWER, PART_SWINGARM, PART_RIDER};
    int mask = 0;
    for (int part : parts) {
        dBodyID body = bike->body[part_body(part)];
        if (!shape_ground(bike->shape[part], body, body_pos(body), body_rotation(body), terrain)) continue;
        mask |= 1 << part;
        if (part != PART_FRAME) bike->stopped = 1;
        if (part == PART_RIDER && bike->crash_timer <= 0) {
            dBodyID rider = bike->body[BODY_RIDER];
            if (body_axis(rider, 1).y < 0 && vec_length_sq(body_vel(rider)) > 25) rider_crash(bike);
        }
    }
    return mask;
}

int bike_collide(Bike *bike) {
    const Terrain *terrain = physics_terrain();
    float scale = 1.0f;
    if (bike->flags & BIKE_ARCADE)
        scale = 1.0f - 0.375f * fminf(1.0f, 4.0f * fabsf(bike_lean_angle(bike)) / PI_F);
    int touched = wheel_contact(terrain, &bike->wheel[0], scale);
    touched |= wheel_contact(terrain, &bike->wheel[1], scale);
    touched |= parts_ground(bike) != 0;
    return touched;
}
