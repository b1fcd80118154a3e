// Gate progress: scanning the checkpoints around a rider's next entry and recording the
// crossings that race timing is built on.
#include "ai/progress.h"

#include "bike/bike.h"
#include "race/timing.h"
#include "track/track.h"

static ProgressLearner g_learner;

void progress_set_learner(const ProgressLearner *learner) {
    g_learner = learner ? *learner : ProgressLearner{};
}

// Offsets tested around the next entry; -1, the entry just passed, is never tested again.
static const int OFFSETS[] = {-3, -2, 0, 1, 2};

// 1 when the front wheel is within the checkpoint's radius and on or past its plane.
static int crosses(const Gate *gate, Vec3 wheel) {
    float dx = wheel.x - gate->pos.x, dz = wheel.z - gate->pos.z;
    return dx * dx + dz * dz <= gate->radius * gate->radius &&
           dx * gate->dir.x + dz * gate->dir.z >= 0;
}

void gate_progress_step(Bike *bike) {
    if (g_learner.sample)
        g_learner.sample(bike);
    const Timing *timing = &track_get()->timing;
    if (timing->gate_count <= 0 || timing->normal_lap_len <= 0 || bike->finished)
        return;
    const dReal *p = dBodyGetPosition(bike->body[BODY_FRONT_WHEEL]);
    Vec3 wheel = vec3(float(p[0]), float(p[1]), float(p[2]));
    int r = bike->next_lap_entry;
    int missing = 0, accepted = 0, offset = 0;
    for (int i : OFFSETS) {
        int k = r + i;
        if (k < 0)
            continue;
        int unrecorded = rider_crossing(bike, k) < 0;
        if (unrecorded)
            missing = 1;
        if (crosses(&timing->gates[lap_entry_gate(k, nullptr)], wheel)) {
            if (missing || i >= 0) {
                accepted = 1;
                offset = i;
                break;
            }
            continue;
        }
        if (lap_entry_ends_lap(k) && unrecorded)
            break;
    }
    if (!accepted)
        return;
    if (bike->stopped && g_learner.cancel)
        g_learner.cancel(bike, r);
    r += offset;
    while (bike->crossings.count < r + 1) {
        int none = -1;
        array_push(&bike->crossings, &none);
    }
    *array_get<int>(&bike->crossings, r) = physics_step_count();
    int line_gate = 0;
    lap_entry_gate(r, &line_gate);
    if (line_gate && g_learner.line_gate)
        g_learner.line_gate(bike, r, offset);
    r++;
    bike->next_lap_entry = r;
    int a = first_lap_entries(), b = lap_entries();
    if (r - a >= 0 && (r - a) % b == 0 && !bike->finished) {
        int laps = race.total_laps;
        int last = laps > 0 ? a - 1 + b * (laps - 1) : 0;
        int leader = race_leader();
        int leader_progress = leader >= 0 ? rider_progress(race.bike[leader]) : 0;
        if (leader_progress > last || (r - a) / b + 1 >= laps) {
            bike->finished = 1;
            if (g_learner.finished)
                g_learner.finished(bike);
        }
    }
    race_bookkeeping();
    bike->stopped = 0;
}
