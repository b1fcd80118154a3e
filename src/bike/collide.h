// Part collisions: the sphere shapes of frame, forks, swingarm, wheels and rider against the
// ground, against each other, against tyres, between bikes and against track objects; the
// crashes they cause and the bump timer a bike hit puts on the stability assists.
#pragma once

#include "bike/bike.h"
#include "bike/shape.h"

struct Terrain;

// A shape placed on one body: a copy of the cached spheres and their world centres, refilled
// before every test.
struct PartShape {
    const Shape *shape;
    int count;
    ShapeSphere *spheres;    // count, copied
    Vec3 *world;             // count world centres
    float bounding_radius;
};

// Contact handling of shape tests.
enum {
    CONTACT_DETECT = -1,     // report only
    CONTACT_JOINT = 0,       // soft contact joints
    CONTACT_PENALTY = 1,     // direct spring-damper forces, at most 1000 lbf a sphere pair
};

// A placed copy of a shape (null for a null shape); the caller keeps it and frees it.
PartShape *part_shape_make(const Shape *shape);
void part_shape_free(PartShape *part);
// Loads the bike's seven part shapes (frame, fork upper, fork lower, swingarm, rider,
// front wheel, rear wheel); a missing shape leaves that part without collisions.
void parts_load_shapes(Bike *bike);
void parts_free_shapes(Bike *bike);

// Each sphere against the ground; with a body, one soft contact joint per touching sphere.
int shape_ground(PartShape *part, dBodyID body, Vec3 position, const Mat3 &rotation,
                 const Terrain *terrain);
int shape_shape(PartShape *a, dBodyID body_a, Vec3 pos_a, const Mat3 &rot_a, PartShape *b,
                dBodyID body_b, Vec3 pos_b, const Mat3 &rot_b, int mode);
// A shape against a tyre torus. Without a ground contact this step, the tyre's deepest hit
// is kept in its WheelContact as if it were ground.
int shape_tyre(PartShape *part, dBodyID body, Vec3 position, const Mat3 &rotation,
               WheelContact *wheel, int mode);
// Part bits (HIT_*) of bike that the shape touches; a remote bike's parts only detect.
int parts_hit_by(Bike *bike, PartShape *part, dBodyID body, Vec3 position, const Mat3 &rotation,
                 int mode, int remote);
// Every part of a against every part of b; sets bump timers; returns b's part bits hit.
int bike_bike(Bike *a, Bike *b, int remote);
// A track object (body null when fixed) against the bike's parts; a rider hit faster than
// 20 ft/s crashes the rider. Returns the bike's part bits hit.
int bike_object(Bike *bike, PartShape *object, dBodyID body, Vec3 position, const Mat3 &rotation);
// The five part shapes against the ground (inside bike_collide): crash when the upside-down
// rider hits the ground moving, stopped flag when a fork, swingarm or rider touches.
int parts_ground(Bike *bike);
