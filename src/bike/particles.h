// The roost particle pool: 2000 slots made with the track, each owning one billboard that the
// scene draws. Throwing dirt allocates nothing; a full pool drops further particles.
#pragma once

#include <cstdint>

#include "common/vec.h"

struct RoostType;
struct Terrain;

enum { PARTICLE_COUNT = 2000 };

// What the scene draws of one particle.
struct ParticleBillboard {
    Vec3 position;
    float size;            // ft
    int texture;           // texture id; 0 = not drawn
    const char *texture_name;
    uint8_t colour[4];     // r, g, b, a
};

struct Particle {
    Vec3 position;
    Vec3 velocity;
    const RoostType *kind;     // what it was thrown with (size growth, drag, fade)
    ParticleBillboard billboard;
    int next;                  // next slot of the free or live list, -1 at the end
};

// Frees every slot and hides every billboard (track load and race reset).
void particles_reset();
// Takes the first free slot; 0 when none is free.
int particle_spawn(Vec3 position, Vec3 velocity, const RoostType *kind);
// Advances every live particle by one step of 1/128 s; a falling particle below the ground
// of terrain dies. terrain may be null (nothing dies by the ground).
void particles_step(const Terrain *terrain);
int particles_live();
// Slot i (0 .. PARTICLE_COUNT - 1); a slot whose billboard texture is 0 and texture_name
// null is free.
const Particle *particle_at(int i);
