// The step driver and the loop's per-step key handling.
#include "core/step.h"

#include <cstdlib>

#include "ai/progress.h"
#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/contact.h"
#include "bike/particles.h"
#include "core/race_reset.h"
#include "race/demo.h"
#include "race/timing.h"
#include "settings/settings.h"
#include "track/deform.h"
#include "track/track.h"

StepControl step_control;

namespace {

struct StepState {
    PartShape **objects;           // placed shape of each statue of the loaded track, or null
    int object_count;
    int order[RIDER_SLOTS];        // simulated riders, fastest first (no allocation per step)
    float speed[RIDER_SLOTS];
    int riders[RIDER_SLOTS];       // slots with a bike, in slot order
};
StepState g_step;

// Bodies of the part shapes, in BikePart order.
const int PART_BODIES[PART_COUNT] = {
    BODY_FRAME, BODY_FORK_UPPER, BODY_FORK_LOWER, BODY_SWINGARM, BODY_FRONT_WHEEL,
    BODY_REAR_WHEEL, BODY_RIDER,
};

Mat3 rotation_of(dBodyID body) { return rot_from_ode(dBodyGetRotation(body)); }

// A statue's placement: its orientation rows are its right, up and back axes in the world.
Mat3 statue_rotation(const Statue *statue) { return rot_transpose(statue->orient); }

// Contacts of one rider with the solid objects in its cell of the 8 x 8 grid. mode
// CONTACT_DETECT only reports.
int object_contacts(Bike *bike, int detect) {
    Track *track = track_get();
    if (!g_step.objects || !track->terrain.heights)
        return 0;
    Vec3 p = bike_position(bike);
    const Array *cell = statue_bucket_at(&track->statue_buckets, &track->terrain, p.x, p.z);
    int hits = 0;
    for (int i = 0; i < cell->count; i++) {
        int index = *array_get<int>(cell, i);
        if (index < 0 || index >= g_step.object_count || !g_step.objects[index])
            continue;
        // The start gates (the first statues) fall at the gate drop and hold nobody after it.
        if (index < track->first_statue && physics_step_count() >= physics_race_start())
            continue;
        const Statue *statue = array_get<Statue>(&track->statues, index);
        Mat3 r = statue_rotation(statue);
        if (detect)
            hits |= parts_hit_by(bike, g_step.objects[index], nullptr, statue->pos, r,
                                 CONTACT_DETECT, 0);
        else
            hits |= bike_object(bike, g_step.objects[index], nullptr, statue->pos, r);
    }
    return hits;
}

int simulated(int slot) {
    return race.bike[slot] && race.controller[slot] != CONTROL_OUTSIDE;
}

}  // namespace

void step_objects_build() {
    step_objects_free();
    Track *track = track_get();
    g_step.object_count = track->statues.count;
    if (g_step.object_count <= 0)
        return;
    g_step.objects = static_cast<PartShape **>(xcalloc(size_t(g_step.object_count), sizeof(PartShape *)));
    for (int i = 0; i < g_step.object_count; i++)
        g_step.objects[i] = part_shape_make(array_get<Statue>(&track->statues, i)->shape);
}

void step_objects_free() {
    for (int i = 0; i < g_step.object_count; i++)
        part_shape_free(g_step.objects[i]);
    free(g_step.objects);
    g_step.objects = nullptr;
    g_step.object_count = 0;
}

int step_bike_touches(Bike *bike) {
    const Terrain *terrain = physics_terrain();
    const int parts[] = {PART_FRAME, PART_FORK_UPPER, PART_FORK_LOWER, PART_SWINGARM, PART_RIDER};
    for (int part : parts) {
        dBodyID body = bike->body[PART_BODIES[part]];
        const dReal *p = dBodyGetPosition(body);
        if (shape_ground(bike->shape[part], nullptr, vec3(float(p[0]), float(p[1]), float(p[2])),
                         rotation_of(body), terrain))
            return 1;
    }
    return object_contacts(bike, 1) != 0;
}

void step_all() {
    const RaceAi *ai = race_ai();
    if (race.time_trial)
        demo_step_begin();

    // Ground and object contacts of every simulated rider, then bike to bike, fastest first.
    int count = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!simulated(slot))
            continue;
        Bike *bike = race.bike[slot];
        bike_collide(bike);
        // The hand that walks a stuck robot back to its line carries it through the track's
        // objects: dragged into a row of bales or blocks it would stay behind it.
        if (!(race.controller[slot] == CONTROL_ROBOT && ai->pushed && ai->pushed(slot)))
            object_contacts(bike, 0);
        Vec3 v = bike_velocity(bike);
        float speed = vec_dot(v, v);
        // Insertion keeps equal speeds in slot order.
        int at = count++;
        while (at > 0 && g_step.speed[at - 1] < speed) {
            g_step.order[at] = g_step.order[at - 1];
            g_step.speed[at] = g_step.speed[at - 1];
            at--;
        }
        g_step.order[at] = slot;
        g_step.speed[at] = speed;
    }
    for (int i = 0; i < count; i++)
        for (int j = i + 1; j < count; j++)
            bike_bike(race.bike[g_step.order[i]], race.bike[g_step.order[j]], 0);

    // Roost from every rider in a rotating order.
    int riders = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        if (race.bike[slot])
            g_step.riders[riders++] = slot;
    for (int k = 0; k < riders; k++) {
        int slot = g_step.riders[(physics_step_count() % riders + k) % riders];
        roost_emit(race.bike[slot], race.controller[slot] == CONTROL_OUTSIDE);
    }

    physics_step();

    if (erosion_enabled()) {
        for (int slot = 0; slot < RIDER_SLOTS; slot++) {
            if (!simulated(slot))
                continue;
            rut_queue(race.bike[slot]);
            rut_apply(race.bike[slot]);
        }
    }
    // Played-back riders' bodies are disabled, so the world step left them at the last record.
    // This step's record holds the state the recorded riders' gates are checked on below.
    demo_playback_step();

    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        Bike *bike = race.bike[slot];
        if (!bike)
            continue;
        if (race.controller[slot] == CONTROL_ROBOT && ai->autopilot_step)
            ai->autopilot_step(bike);
        if (race.connected && race.controller[slot] == CONTROL_LOCAL)
            false_start_step(slot);
        bike_control_step(bike, race.controller[slot] != CONTROL_OUTSIDE);
        gate_progress_step(bike);
    }

    particles_step(physics_terrain());
    physics_set_step_count(physics_step_count() + 1);
    demo_step();
}

// ---- The loop's per-step handling ----

void step_pause_key() {
    if (!race.connected)
        step_control.paused = !step_control.paused;
}

int step_step_key() {
    if (!step_control.paused || !track_get()->name)
        return 0;
    step_all();
    return 1;
}

int step_rewind_key() { return demo_jump(-1); }
int step_skip_key() { return demo_jump(1); }

int step_view_key(int direction) {
    int viewed = race.viewed;
    if (viewed >= 0 && viewed < RIDER_SLOTS && race.bike[viewed] &&
        race.controller[viewed] == CONTROL_LOCAL && !(race.connected && race.warmup) &&
        !settings.spy)
        return 0;
    for (int i = 0; i < race.standings_count; i++) {
        if (race.standings[i].slot != viewed)
            continue;
        int j = i + (direction < 0 ? -1 : 1);
        if (j < 0 || j >= race.standings_count)
            return 0;
        race.viewed = race.standings[j].slot;
        return 1;
    }
    return 0;
}

int step_time_trial_backup(float channel) {
    if (!race.time_trial || channel <= 0.5f || settings.time_trial_abort.index != 1)
        return 0;
    time_trial_abort();
    return 1;
}

void step_run() {
    if (step_control.paused || !track_get()->name)
        return;
    step_all();
}

int step_warp_check() {
    if (!step_control.warp || race.connected || race.standings_count == 0)
        return 0;
    const Bike *first = race.bike[race.standings[0].slot];
    if (!first || completed_laps(first) < race.laps)
        return 0;
    return race_warp_restart();
}
