// Race timing: laps, lap times, standings, timed-race lap counts, cutting penalties and the
// final order, all derived from the riders' gate crossing lists.
#include "race/timing.h"

#include <cstdlib>
#include <cstring>

#include "bike/bike.h"
#include "common/console.h"
#include "race/results.h"
#include "track/track.h"

Race race;

static void (*g_final_hook)();

void race_clear() {
    race = Race{};
    for (int i = 0; i < RIDER_SLOTS; i++)
        race.controller[i] = CONTROL_OUTSIDE;
    race.total_laps = race.halfway_lap = LAPS_UNKNOWN;
}

void race_set_length(int time_limit, int laps) {
    race.time_limit = time_limit;
    race.laps = laps;
    if (time_limit == 0) {
        race.halfway_lap = (laps + 1) / 2;
        race.total_laps = laps;
    } else {
        race.halfway_lap = race.total_laps = LAPS_UNKNOWN;
    }
}

void race_set_final_hook(void (*hook)()) { g_final_hook = hook; }

static const Timing *timing() { return &track_get()->timing; }

int first_lap_entries() { return timing()->first_lap_len; }
int lap_entries() { return timing()->normal_lap_len; }

int lap_entry_gate(int k, int *line_gate) {
    const Timing *t = timing();
    if (k < 0 || t->gate_count <= 0 || t->normal_lap_len <= 0)
        return -1;
    int value = k < t->first_lap_len
                    ? t->lap_order[k]
                    : t->lap_order[t->first_lap_len + (k - t->first_lap_len) % t->normal_lap_len];
    if (line_gate)
        *line_gate = value < LAP_ENTRY_FLAGGED;
    if (value >= LAP_ENTRY_FLAGGED)
        value -= LAP_ENTRY_FLAGGED;
    return value;
}

int lap_entry_ends_lap(int k) {
    int a = first_lap_entries(), b = lap_entries();
    return b > 0 && k + 1 - a >= 0 && (k + 1 - a) % b == 0;
}

int lap_end_entry(int n) { return first_lap_entries() - 1 + lap_entries() * (n - 1); }

int laps_for_progress(int progress) {
    int a = first_lap_entries(), b = lap_entries();
    if (b <= 0 || progress < a)
        return 0;
    return (progress - a) / b + 1;
}

void rider_set_entry(Bike *bike, int entry) {
    if (entry < 0)
        entry = 0;
    if (bike->crossings.count > entry)
        bike->crossings.count = entry;
    bike->next_lap_entry = entry;
}

int rider_progress(const Bike *bike) { return bike->crossings.count; }

int rider_crossing(const Bike *bike, int entry) {
    if (entry < 0 || entry >= bike->crossings.count)
        return -1;
    return *array_get<int>(&bike->crossings, entry);
}

int completed_laps(const Bike *bike) { return laps_for_progress(rider_progress(bike)); }

int lap_steps(const Bike *bike, int n) {
    if (n < 1 || n > completed_laps(bike))
        return 0;
    int end = rider_crossing(bike, lap_end_entry(n));
    int begin = n == 1 ? physics_race_start() : rider_crossing(bike, lap_end_entry(n - 1));
    if (end < 0 || begin < 0)
        return 0;
    return end - begin;
}

float lap_time(const Bike *bike, int n) { return float(lap_steps(bike, n) * STEP_SECONDS); }

int best_lap(const Bike *bike) {
    int best = 0, best_steps = 0;
    int laps = completed_laps(bike);
    for (int n = 2; n <= laps; n++) {
        int steps = lap_steps(bike, n);
        if (steps > 0 && (best == 0 || steps < best_steps)) {
            best = n;
            best_steps = steps;
        }
    }
    return best;
}

int rider_finished(int slot) {
    return slot >= 0 && slot < RIDER_SLOTS && race.bike[slot] && race.bike[slot]->finished;
}

// The crossing of entry k, with entry -1 standing for the gate drop.
static int crossing_or_start(const Bike *bike, int k) {
    return k < 0 ? physics_race_start() : rider_crossing(bike, k);
}

// Steps one rider took from entry from to entry to, all entries between crossed; -1 when not.
static int clean_stretch(const Bike *bike, int from, int to) {
    if (to >= rider_progress(bike))
        return -1;
    for (int k = from + 1; k < to; k++)
        if (rider_crossing(bike, k) < 0)
            return -1;
    int a = crossing_or_start(bike, from), b = rider_crossing(bike, to);
    if (a < 0 || b < 0 || b - a < 0)
        return -1;
    return b - a;
}

int expected_stretch_time(int from, int to) {
    int a = first_lap_entries(), b = lap_entries();
    double sum = 0;
    int riders = 0;
    for (int i = 0; i < race.standings_count; i++) {
        int slot = race.standings[i].slot;
        const Bike *bike = race.bike[slot];
        if (!bike || (race.connected && race.warmup && race.controller[slot] == CONTROL_LOCAL))
            continue;
        if (from < a || b <= 0) {
            int steps = clean_stretch(bike, from, to);
            if (steps >= 0) {
                sum += steps;
                riders++;
            }
            continue;
        }
        // The same stretch in every lap after the first.
        int f = a + (from - a) % b, t = f + (to - from);
        double rider_sum = 0;
        int laps = 0;
        for (; t < rider_progress(bike); f += b, t += b) {
            int steps = clean_stretch(bike, f, t);
            if (steps >= 0) {
                rider_sum += steps;
                laps++;
            }
        }
        if (laps > 0) {
            sum += rider_sum / laps;
            riders++;
        }
    }
    if (riders == 0)
        return NO_STRETCH_STEPS;
    return int(sum / riders);
}

int cutting_penalty(const Bike *bike) {
    int penalty = 0;
    int progress = rider_progress(bike);
    int skipped = 0;   // length of the run of skipped entries before entry m
    for (int m = 0; m < progress; m++) {
        int step = rider_crossing(bike, m);
        if (step < 0) {
            skipped++;
            continue;
        }
        if (skipped > 0) {
            int g = crossing_or_start(bike, m - skipped - 1);
            int expected = expected_stretch_time(m - skipped - 1, m) + STEPS_PER_SECOND;
            if (step - g < expected)
                penalty += expected - (step - g);
        }
        skipped = 0;
    }
    return penalty;
}

int standings_compare(const StandingsEntry *a, const StandingsEntry *b) {
    if (a->progress != b->progress)
        return a->progress > b->progress ? -1 : 1;
    if (a->step != b->step)
        return a->step < b->step ? -1 : 1;
    return a->slot - b->slot;
}

static int compare_entries(const void *a, const void *b) {
    return standings_compare(static_cast<const StandingsEntry *>(a),
                             static_cast<const StandingsEntry *>(b));
}

// The last crossing's step of a rider, 0 with none.
static int last_crossing_step(const Bike *bike) {
    for (int k = rider_progress(bike) - 1; k >= 0; k--) {
        int step = rider_crossing(bike, k);
        if (step >= 0)
            return step;
    }
    return 0;
}

void standings_build() {
    race.standings_count = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        const Bike *bike = race.bike[slot];
        if (!bike)
            continue;
        StandingsEntry &e = race.standings[race.standings_count++];
        e.slot = slot;
        e.progress = rider_progress(bike);
        e.step = last_crossing_step(bike);
    }
    qsort(race.standings, size_t(race.standings_count), sizeof(StandingsEntry), compare_entries);
}

int race_leader() { return race.standings_count > 0 ? race.standings[0].slot : -1; }

// A rider that keeps the results from being final.
static int rider_blocks(int slot) {
    if (rider_finished(slot))
        return 0;
    if (race.connected) {
        if (race.warmup && race.controller[slot] == CONTROL_LOCAL)
            return 0;
    }
    return 1;
}

static void results_finalise() {
    race.final_count = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        const Bike *bike = race.bike[slot];
        race.final_penalty[slot] = 0;
        if (!bike)
            continue;
        StandingsEntry &e = race.final_order[race.final_count++];
        e.slot = slot;
        e.progress = rider_progress(bike);
        e.step = last_crossing_step(bike);
        int penalty = cutting_penalty(bike);
        int best = best_lap(bike);
        int best_steps = best ? lap_steps(bike, best) : 0;
        if (best && penalty > best_steps) {
            while (penalty > best_steps && e.progress > first_lap_entries()) {
                e.progress -= lap_entries();
                penalty -= best_steps;
            }
        }
        e.step += penalty;
        race.final_penalty[slot] = penalty;
    }
    qsort(race.final_order, size_t(race.final_count), sizeof(StandingsEntry), compare_entries);
    if (race.final_count > 0 && rider_finished(race.final_order[0].slot))
        results_write(race.final_order, race.final_count);
    race.results_final = 1;
    if (g_final_hook)
        g_final_hook();
}

void race_bookkeeping() {
    if (race.results_final)
        return;
    standings_build();
    int step = physics_step_count();
    int leader = race_leader();
    int leader_laps = leader >= 0 ? completed_laps(race.bike[leader]) : 0;
    if (race.time_limit > 0) {
        if (race.halfway_lap == LAPS_UNKNOWN && step >= race.time_limit / 2)
            race.halfway_lap = leader_laps + 1;
        if (step >= race.time_limit) {
            if (race.total_laps == LAPS_UNKNOWN) {
                race.total_laps = leader_laps + race.laps + 1;
            } else {
                // The lap that was in progress when time ran out: if the first rider through
                // its end got there before the time ran out, one more lap is run.
                int end = lap_end_entry(race.total_laps - race.laps);
                for (int i = 0; i < race.standings_count; i++) {
                    int crossing = rider_crossing(race.bike[race.standings[i].slot], end);
                    if (crossing > 0) {
                        if (crossing < race.time_limit)
                            race.total_laps++;
                        break;
                    }
                }
            }
        }
    }
    if (race.standings_count == 0)
        return;
    for (int i = 0; i < race.standings_count; i++)
        if (rider_blocks(race.standings[i].slot))
            return;
    results_finalise();
}

void false_start_step(int slot) {
    Bike *bike = race.bike[slot];
    if (!bike)
        return;
    int step = physics_step_count(), start = physics_race_start();
    if (step < start && race.false_start_hold == 0) {
        Vec3 d = bike_position(bike) - race.start_position[slot];
        if (vec_dot(d, d) >= 9.0f) {
            console_print("15 second false start penalty");
            race.false_start_hold = start + FALSE_START_HOLD_STEPS;
        }
    }
    if (race.false_start_hold && step < race.false_start_hold) {
        bike_set_front_brake(bike, 1);
        bike_set_rear_brake(bike, 1);
        bike_set_back_up(bike, 0);
        bike_set_clutch(bike, 0);
        bike_set_throttle(bike, 0);
        bike_set_dab(bike, 1);
    }
}
