// Roost particles as simulation: spawning into the loaded track's pool of 2000 slots (each
// owning one billboard that the scene draws) and moving them every step. Throwing dirt
// allocates nothing; a full pool drops further particles.
#pragma once

#include "common/common.h"
#include "common/vec.h"

struct ParticlePool;
struct RoostType;
struct Terrain;

// The pool and billboard list particles live in (the loaded track's); null detaches, and
// spawning then throws nothing.
void particles_attach(ParticlePool *pool, Array *billboards);
// Frees every slot and hides every particle billboard (track reset).
void particles_reset();
// Takes the first free slot; 0 when none is free (or no pool is attached).
int particle_spawn(Vec3 position, Vec3 velocity, const RoostType *kind);
// Advances every live particle by one step of 1/128 s; a falling particle below the ground
// of terrain dies (terrain may be null: nothing dies by the ground).
void particles_step(const Terrain *terrain);
int particles_live();
