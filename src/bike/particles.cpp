// Roost particles: the track's fixed pool of 2000 with a free list and a live list, moved by
// gravity and drag every simulation step until they fall below the ground.
#include "bike/particles.h"

#include <cmath>

#include "track/billboards.h"
#include "track/surface.h"
#include "track/terrain.h"
#include "track/track.h"

namespace {

struct Particles {
    ParticlePool *pool;
    Array *billboards;
    int live;
};
Particles particles;

uint8_t fade_byte(uint8_t value, int8_t fade) {
    int v = (int)value + (int)fade;
    return (uint8_t)(v < 0 ? 0 : (v > 255 ? 255 : v));
}

Billboard *billboard_of(const Particle *p) { return array_get<Billboard>(particles.billboards, p->billboard); }

void hide(Billboard *b) {
    b->texture = 0;
    b->texture_name = nullptr;
}

}  // namespace

void particles_attach(ParticlePool *pool, Array *billboards) {
    particles.pool = pool;
    particles.billboards = billboards;
    particles.live = 0;
    if (pool) {
        for (int i = pool->live_first; i >= 0; i = pool->slots[i].next) particles.live++;
    }
}

void particles_reset() {
    ParticlePool *pool = particles.pool;
    if (!pool) return;
    for (int i = 0; i < PARTICLE_SLOTS; i++) {
        Particle &p = pool->slots[i];
        p.kind = nullptr;
        p.next = i + 1 < PARTICLE_SLOTS ? i + 1 : -1;
        hide(billboard_of(&p));
    }
    pool->free_first = 0;
    pool->live_first = -1;
    particles.live = 0;
}

int particle_spawn(Vec3 position, Vec3 velocity, const RoostType *kind) {
    ParticlePool *pool = particles.pool;
    if (!pool || pool->free_first < 0 || !kind) return 0;
    int i = pool->free_first;
    Particle *p = &pool->slots[i];
    pool->free_first = p->next;
    p->pos = position;
    p->vel = velocity;
    p->kind = kind;
    Billboard *b = billboard_of(p);
    b->pos = position;
    b->width = b->height = kind->size;
    b->texture = kind->texture;
    b->texture_name = kind->texture_name;
    b->color[0] = kind->r;
    b->color[1] = kind->g;
    b->color[2] = kind->b;
    b->color[3] = kind->a;
    p->next = pool->live_first;
    pool->live_first = i;
    particles.live++;
    return 1;
}

void particles_step(const Terrain *terrain) {
    ParticlePool *pool = particles.pool;
    if (!pool) return;
    const float dt = 1.0f / 128.0f;
    int *link = &pool->live_first;
    while (*link >= 0) {
        int i = *link;
        Particle *p = &pool->slots[i];
        const RoostType *k = p->kind;
        p->pos = p->pos + p->vel * dt;
        p->vel = p->vel - p->vel * (dt * k->drag);
        p->vel.y -= 32.0f * dt;
        Billboard *b = billboard_of(p);
        b->pos = p->pos;
        b->width += dt * k->grow;
        b->height = b->width;
        b->color[0] = fade_byte(b->color[0], k->fade_r);
        b->color[1] = fade_byte(b->color[1], k->fade_g);
        b->color[2] = fade_byte(b->color[2], k->fade_b);
        b->color[3] = fade_byte(b->color[3], k->fade_a);
        int dead = !std::isfinite(p->pos.y) ||
                   (p->vel.y < 0 && terrain && terrain_height(terrain, p->pos.x, p->pos.z) > p->pos.y);
        if (dead) {
            *link = p->next;
            hide(b);
            p->kind = nullptr;
            p->next = pool->free_first;
            pool->free_first = i;
            particles.live--;
        } else {
            link = &p->next;
        }
    }
}

int particles_live() { return particles.live; }
