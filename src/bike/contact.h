// Between a wheel and the dirt and between a wheel and the chassis: the tyre's contact with
// the heightfield, the soft contact joint with the surface's grip and rolling resistance,
// the fork and shock, the roost a spinning wheel throws and the ruts it digs.
#pragma once

#include "bike/bike.h"

struct Terrain;
struct Surface;

// Deepest penetration of the tyre torus into the ground triangles under it. Fills
// contact_point, contact_normal and depth and returns 1, or returns 0 (record untouched).
int wheel_find_contact(const Terrain *terrain, WheelContact *wheel);
// The tyre's contact joint for the next step in the contact group, with the surface's grip
// times friction_scale, and its rolling resistance force. 0 (and depth 0) without contact.
int wheel_contact(const Terrain *terrain, WheelContact *wheel, float friction_scale);
// Deepest contact of a sphere with the ground triangles: point, unit normal out of the
// ground, depth. 0 when it does not touch.
int sphere_ground(const Terrain *terrain, Vec3 centre, float radius, Vec3 *point,
                  Vec3 *normal, float *depth);
// The surface type under a world point (a neutral default when the terrain has none).
const Surface *surface_under(const Terrain *terrain, float x, float z);

// Fork and shock motors for the next step.
void suspension_step(Bike *bike);
// Fork force (lbf, positive pushes the fork open) at slider position x (0 extended,
// -fork_travel compressed) and rate v; shock torque likewise at swingarm angle a, rate w.
float fork_force(const Bike *bike, float x, float v);
float shock_torque(const Bike *bike, float a, float w);

// Roost frequency 0..1000: tenths of particles per kind, wheel and step.
void roost_set_frequency(int frequency);
int roost_frequency();
// Throws dirt from both wheels (draws from the shared generator); remote bikes find their
// own wheel contacts.
void roost_emit(Bike *bike, int remote);
// Queues a rut event from each touching wheel, and applies up to four old ones that the bike
// has left more than 10 ft behind. Only while erosion is on.
void rut_queue(Bike *bike);
void rut_apply(Bike *bike);
// Pending rut events.
int rut_pending(const Bike *bike);
