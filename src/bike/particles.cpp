// Roost particles: a fixed pool of 2000 with a free list and a live list, moved by gravity
// and drag every simulation step until they fall below the ground.
#include "bike/particles.h"

#include <cmath>

#include "track/surface.h"
#include "track/terrain.h"

namespace {

struct ParticlePool {
    int ready;
    Particle slots[PARTICLE_COUNT];
    int free_head;     // first free slot, -1 when none
    int live_head;     // first live slot, -1 when none
    int live;          // live count
};
ParticlePool pool;

void pool_ready() {
    if (!pool.ready) particles_reset();
}

uint8_t fade_byte(uint8_t value, int8_t fade) {
    int v = (int)value + (int)fade;
    return (uint8_t)(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

void particles_reset() {
    for (int i = 0; i < PARTICLE_COUNT; i++) {
        pool.slots[i] = Particle{};
        pool.slots[i].next = i + 1 < PARTICLE_COUNT ? i + 1 : -1;
    }
    pool.free_head = 0;
    pool.live_head = -1;
    pool.live = 0;
    pool.ready = 1;
}

int particle_spawn(Vec3 position, Vec3 velocity, const RoostType *kind) {
    pool_ready();
    if (pool.free_head < 0 || !kind) return 0;
    int i = pool.free_head;
    Particle *p = &pool.slots[i];
    pool.free_head = p->next;
    p->position = position;
    p->velocity = velocity;
    p->kind = kind;
    p->billboard.position = position;
    p->billboard.size = kind->size;
    p->billboard.texture = kind->texture;
    p->billboard.texture_name = kind->texture_name;
    p->billboard.colour[0] = kind->r;
    p->billboard.colour[1] = kind->g;
    p->billboard.colour[2] = kind->b;
    p->billboard.colour[3] = kind->a;
    p->next = pool.live_head;
    pool.live_head = i;
    pool.live++;
    return 1;
}

void particles_step(const Terrain *terrain) {
    pool_ready();
    const float dt = 1.0f / 128.0f;
    int *link = &pool.live_head;
    while (*link >= 0) {
        int i = *link;
        Particle *p = &pool.slots[i];
        const RoostType *k = p->kind;
        p->position = p->position + p->velocity * dt;
        p->velocity = p->velocity - p->velocity * (dt * k->drag);
        p->velocity.y -= 32.0f * dt;
        ParticleBillboard &b = p->billboard;
        b.position = p->position;
        b.size += dt * k->grow;
        b.colour[0] = fade_byte(b.colour[0], k->fade_r);
        b.colour[1] = fade_byte(b.colour[1], k->fade_g);
        b.colour[2] = fade_byte(b.colour[2], k->fade_b);
        b.colour[3] = fade_byte(b.colour[3], k->fade_a);
        int dead = !std::isfinite(p->position.y) ||
                   (p->velocity.y < 0 && terrain &&
                    terrain_height(terrain, p->position.x, p->position.z) > p->position.y);
        if (dead) {
            *link = p->next;
            b.texture = 0;
            b.texture_name = nullptr;
            p->kind = nullptr;
            p->next = pool.free_head;
            pool.free_head = i;
            pool.live--;
        } else {
            link = &p->next;
        }
    }
}

int particles_live() {
    pool_ready();
    return pool.live;
}

const Particle *particle_at(int i) {
    pool_ready();
    return i >= 0 && i < PARTICLE_COUNT ? &pool.slots[i] : nullptr;
}
