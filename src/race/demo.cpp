// Demo recording and playback, jumping, and the time trial's lap demos and ghost.
#include "race/demo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/bike.h"
#include "bike/snapshot.h"
#include "common/common.h"
#include "files/data.h"
#include "platform/log.h"
#include "race/timing.h"
#include "track/track.h"

namespace {

struct DemoState {
    DataStream *record;            // the demo being written, or null
    int record_normal;             // the recording is "@demos/default.qzdemo"
    int record_slots[RIDER_SLOTS]; // recorded slots in slot order
    int record_count;
    DataStream *playback;          // the demo being read, or null
    DemoHeader header;             // of the playback
    char pending_name[256];        // "namedemo"; empty for none
    int best_lap, last_lap;        // time trial, steps
    int laps_before[2];            // lap counts of slots 0 and 1 before the step
    void (*step_all)();            // for "--accurate-skip"
    void (*gate_progress)(Bike *bike);   // the gate progress step
    int accurate_skip;
};
DemoState g_demo;

const char *const DEFAULT_DEMO = "@demos/default.qzdemo";

// The texture field: null for an empty one.
const char *texture_or_null(const char *text) { return *text ? intern_string(text) : nullptr; }

// A line of the header without its line feed; 0 when the line is missing, too long or has
// no line feed.
int header_line(DataStream *stream, char *line) {
    if (!data_gets(stream, line, DEMO_LINE_CHARS + 2))
        return 0;
    size_t length = strlen(line);
    if (length == 0 || line[length - 1] != '\n')
        return 0;
    line[length - 1] = 0;
    return 1;
}

int lap_count(int slot) { return race.bike[slot] ? completed_laps(race.bike[slot]) : 0; }

// Lap time of a time-trial lap: the crossings from the finish (entry A - 1) to the next
// finish (A + B - 1), all present; 0 when a gate was skipped.
int time_trial_lap_steps(const Bike *bike) {
    int a = first_lap_entries(), b = lap_entries();
    for (int k = a - 1; k <= a + b - 1; k++)
        if (rider_crossing(bike, k) < 0)
            return 0;
    return rider_crossing(bike, a + b - 1) - rider_crossing(bike, a - 1);
}

void remove_riders_but_first() {
    for (int slot = 1; slot < RIDER_SLOTS; slot++) {
        bike_destroy(race.bike[slot]);
        race.bike[slot] = nullptr;
        race.controller[slot] = CONTROL_OUTSIDE;
        race.present[slot] = 0;
    }
}

int file_exists(const char *name) {
    DataStream *stream = data_open(name, "rb");
    data_close(stream);
    return stream != nullptr;
}

void file_copy(const char *from, const char *to) {
    DataStream *in = data_open(from, "rb");
    if (!in)
        return;
    DataStream *out = data_open(to, "wb");
    if (out) {
        uint8_t block[4096];
        int got;
        while ((got = data_read(in, block, sizeof block)) > 0)
            data_write(out, block, got);
        data_close(out);
    }
    data_close(in);
}

// The rider completed a time-trial lap: keep the lap, replay the fastest one as the ghost and
// record the next.
void time_trial_lap_done() {
    Bike *rider = race.bike[0];
    int rider_progress_now = rider_progress(rider);
    int ghost_progress = race.bike[1] ? rider_progress(race.bike[1]) : 0;
    demo_playback_close();
    demo_record_close();
    remove_riders_but_first();
    char last[512], fast[512];
    time_trial_demo_name("lastlap.qzdemo", last, sizeof last);
    time_trial_demo_name("fastlap.qzdemo", fast, sizeof fast);
    // The run-up from the start position to the first finish crossing is no lap.
    if (completed_laps(rider) > 1) {
        int t = time_trial_lap_steps(rider);
        g_demo.last_lap = t;
        if (t > 0 && (g_demo.best_lap == 0 || t < g_demo.best_lap))
            g_demo.best_lap = t;
        if (!file_exists(fast) || (rider_progress_now > ghost_progress && t > 0))
            file_copy(last, fast);
    }
    int a = first_lap_entries();
    if (demo_playback_open(fast)) {
        const DemoHeader *h = &g_demo.header;
        for (int i = 0; i < h->riders && 1 + i < RIDER_SLOTS; i++) {
            int slot = 1 + i;
            race.bike[slot] = demo_rider_create(&h->rider[i], slot);
            race_set_textures(slot, &h->rider[i]);
            race.controller[slot] = CONTROL_OUTSIDE;
            rider_set_entry(race.bike[slot], a - 1);
        }
    }
    demo_record_open(last);
    rider_set_entry(rider, a - 1);
    if (g_demo.gate_progress)
        g_demo.gate_progress(rider);
    race_bookkeeping();
}

}  // namespace

const char *model_alias(const char *name) {
    static const char *const ALIASES[][2] = {
        {"crf250", "crf250(2008)"}, {"kx250f", "kx250f(2008)"},
        {"rmz250", "rmz250(2008)"}, {"yz250f", "yz250f(2008)"},
    };
    for (const auto &alias : ALIASES)
        if (strcmp(name, alias[0]) == 0)
            return alias[1];
    return name;
}

void race_set_textures(int slot, const DemoRider *rider) {
    race.texture[slot][0] = rider->body;
    race.texture[slot][1] = rider->bike;
    race.texture[slot][2] = rider->wheels;
    race.texture[slot][3] = rider->head;
}

Bike *demo_rider_create(const DemoRider *rider, int slot) {
    Bike *bike = bike_create(model_alias(rider->model), slot, rider->number, rider->body,
                             rider->head, rider->bike, rider->wheels);
    bike_disable(bike);
    return bike;
}

int demo_header_read(DataStream *stream, DemoHeader *h) {
    *h = DemoHeader{};
    char line[DEMO_LINE_CHARS + 2];
    if (!header_line(stream, line))
        return 0;
    int n = 0, t = 0, laps = -1, start = DEMO_DEFAULT_START;
    if (sscanf(line, "QZ%d %d %d %d %d", &h->version, &n, &t, &laps, &start) < 3)
        return 0;
    if ((h->version != 4 && h->version != 5) || n < 0 || n > RIDER_SLOTS || t < 0)
        return 0;
    h->riders = n;
    h->time_limit = t;
    h->laps = laps;
    h->start = start;
    if (!header_line(stream, line))
        return 0;
    snprintf(h->track, sizeof h->track, "%s", line);
    for (int i = 0; i < n; i++) {
        if (!header_line(stream, line))
            return 0;
        char *field[5];
        char *at = line;
        for (int f = 0; f < 5; f++) {
            field[f] = at;
            char *bar = f < 4 ? strchr(at, '|') : nullptr;
            if (f < 4 && !bar)
                return 0;
            if (bar) {
                *bar = 0;
                at = bar + 1;
            }
        }
        if (!*field[0])
            return 0;
        DemoRider &r = h->rider[i];
        r.model = intern_string(field[0]);
        r.body = texture_or_null(field[1]);
        r.bike = texture_or_null(field[2]);
        r.wheels = texture_or_null(field[3]);
        r.head = texture_or_null(field[4]);
        if (!header_line(stream, line))
            return 0;
        snprintf(r.number, sizeof r.number, "%.3s", line);
    }
    h->length = data_position(stream);
    return 1;
}

int demo_records_apply(DataStream *stream, const DemoHeader *h) {
    int size = snapshot_size(h->version);
    uint8_t record[SNAPSHOT_BYTES];
    int used = 0, whole = 1;
    const Terrain *terrain = physics_terrain();
    for (int slot = 0; slot < RIDER_SLOTS && used < h->riders; slot++) {
        Bike *bike = race.bike[slot];
        if (!bike || race.controller[slot] != CONTROL_OUTSIDE)
            continue;
        used++;
        if (data_read(stream, record, size) == size) {
            snapshot_apply(bike, terrain, record, h->version, race.present[slot] ? 1 : 0);
            race.present[slot] = 1;
        } else {
            race.present[slot] = 0;
            whole = 0;
        }
    }
    for (; used < h->riders; used++)
        if (data_read(stream, record, size) != size)
            whole = 0;
    return whole;
}

// ---- Recording ----

int demo_record_open(const char *name) {
    demo_record_close();
    g_demo.record_count = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!race.bike[slot])
            continue;
        int c = race.controller[slot];
        int recorded = race.connected ? (race.warmup ? c == CONTROL_OUTSIDE || c == CONTROL_ROBOT : 1)
                                      : c == CONTROL_LOCAL || c == CONTROL_ROBOT;
        if (recorded)
            g_demo.record_slots[g_demo.record_count++] = slot;
    }
    DataStream *out = data_open(name, "wb");
    if (!out)
        return 0;
    data_printf(out, "QZ05 %d %d %d %d\n", g_demo.record_count, race.time_limit, race.laps,
                physics_race_start());
    data_printf(out, "%s\n", track_get()->name ? track_get()->name : "");
    for (int i = 0; i < g_demo.record_count; i++) {
        int slot = g_demo.record_slots[i];
        const Bike *bike = race.bike[slot];
        const char *const *t = race.texture[slot];
        data_printf(out, "%s|%s|%s|%s|%s\n%s\n", bike_model_name(bike), t[0] ? t[0] : "",
                    t[1] ? t[1] : "", t[2] ? t[2] : "", t[3] ? t[3] : "", bike_plate_text(bike));
    }
    g_demo.record = out;
    g_demo.record_normal = strcmp(name, DEFAULT_DEMO) == 0;
    return 1;
}

void demo_record_close() {
    if (!g_demo.record)
        return;
    data_close(g_demo.record);
    g_demo.record = nullptr;
    if (g_demo.record_normal && g_demo.pending_name[0]) {
        char name[300];
        snprintf(name, sizeof name, "@demos/%s", g_demo.pending_name);
        if (!data_rename(DEFAULT_DEMO, name))
            log("Can't rename demo to '%s'\n", name);
        g_demo.pending_name[0] = 0;
    }
}

int demo_recording() { return g_demo.record != nullptr; }

void demo_set_pending_name(const char *name) {
    snprintf(g_demo.pending_name, sizeof g_demo.pending_name, "%s", name ? name : "");
}

// ---- Playback ----

int demo_playback_open(const char *name) {
    demo_playback_close();
    DataStream *in = data_open(name, "rb");
    if (!in)
        return 0;
    if (!demo_header_read(in, &g_demo.header)) {
        log("Demo '%s' has a malformed header\n", name);
        data_close(in);
        g_demo.header = DemoHeader{};
        return 0;
    }
    g_demo.playback = in;
    return 1;
}

void demo_playback_close() {
    data_close(g_demo.playback);
    g_demo.playback = nullptr;
}

int demo_playing() { return g_demo.playback != nullptr; }
const DemoHeader *demo_playback_header() { return &g_demo.header; }

// ---- Per step ----

void demo_step_begin() {
    g_demo.laps_before[0] = lap_count(0);
    g_demo.laps_before[1] = lap_count(1);
}

static void record_step() {
    uint8_t record[SNAPSHOT_BYTES];
    for (int i = 0; i < g_demo.record_count; i++) {
        const Bike *bike = race.bike[g_demo.record_slots[i]];
        if (bike)
            snapshot_pack(bike, physics_terrain(), record);
        else
            memset(record, 0, sizeof record);
        data_write(g_demo.record, record, SNAPSHOT_BYTES);
    }
}

void demo_reset_step() {
    if (g_demo.record)
        record_step();
    if (g_demo.playback)
        demo_records_apply(g_demo.playback, &g_demo.header);
}

void demo_playback_step() {
    if (g_demo.playback)
        demo_records_apply(g_demo.playback, &g_demo.header);
}

void demo_step() {
    if (g_demo.record)
        record_step();
    if (!race.time_trial || !race.bike[0])
        return;
    if (race.bike[1] && lap_count(1) > g_demo.laps_before[1]) {
        int t = time_trial_lap_steps(race.bike[1]);
        if (t > 0 && (g_demo.best_lap == 0 || t < g_demo.best_lap))
            g_demo.best_lap = t;
    }
    if (lap_count(0) > g_demo.laps_before[0])
        time_trial_lap_done();
}

void demo_set_drivers(void (*step_all)(), void (*gate_progress)(Bike *bike), int accurate_skip) {
    g_demo.step_all = step_all;
    g_demo.gate_progress = gate_progress;
    g_demo.accurate_skip = accurate_skip;
}

int demo_jump(int seconds) {
    if (!g_demo.playback || g_demo.record)
        return 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        if (race.bike[slot] && race.controller[slot] != CONTROL_OUTSIDE)
            return 0;
    int step = physics_step_count();
    if (g_demo.accurate_skip && g_demo.step_all && seconds > 0) {
        int target = step + seconds * STEPS_PER_SECOND;
        while (physics_step_count() < target)
            g_demo.step_all();
        return 1;
    }
    const DemoHeader *h = &g_demo.header;
    int b = step + seconds * STEPS_PER_SECOND - 2;
    if (b < 0)
        b = 0;
    long offset = h->length + long(b) * h->riders * snapshot_size(h->version);
    if (offset > 0x7fffffffL || !data_seek(g_demo.playback, int(offset)))
        return 0;
    // The two records read below leave the riders in the state of step b + 1, with motion.
    int now = b + 1;
    if (now < step) {
        for (int slot = 0; slot < RIDER_SLOTS; slot++) {
            Bike *bike = race.bike[slot];
            if (!bike)
                continue;
            int count = bike->crossings.count;
            while (count > 0) {
                int crossing = *array_get<int>(&bike->crossings, count - 1);
                if (crossing >= 0 && crossing <= now)
                    break;
                count--;
            }
            if (count < bike->crossings.count) {
                bike->crossings.count = count;
                bike->next_lap_entry = count;
                bike->finished = 0;
            }
        }
        race.results_final = 0;
        race_bookkeeping();
    }
    physics_set_step_count(now);
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        race.present[slot] = 0;
    demo_records_apply(g_demo.playback, h);
    demo_records_apply(g_demo.playback, h);
    return 1;
}

// ---- Time trial ----

int time_trial_best_lap() { return g_demo.best_lap; }
int time_trial_last_lap() { return g_demo.last_lap; }
void time_trial_clear() { g_demo.best_lap = g_demo.last_lap = 0; }

void time_trial_demo_name(const char *file, char *out, int size) {
    snprintf(out, size_t(size), "@%s/%s", track_get()->name ? track_get()->name : "", file);
}

void time_trial_start() {
    Bike *bike = race.bike[0];
    const Timing *timing = &track_get()->timing;
    if (!bike || timing->gate_count <= 0)
        return;
    int a = first_lap_entries();
    int entry = a - 2 < 0 ? 0 : a - 2;
    const Gate *gate = &timing->gates[lap_entry_gate(entry, nullptr)];
    bike_reset_pose(bike);
    Vec3 rest = bike->model.frame_centre;
    bike_translate(bike, -rest.x, 0, -rest.z);
    bike_turn(bike, vec3(0, 1, 0), gate_heading(gate));
    bike_translate(bike, gate->pos.x, 0, gate->pos.z);
    bike_set_down(bike, physics_terrain());
    bike->crossings.count = 0;
    bike->finished = 0;
    rider_set_entry(bike, a - 1);
}

void time_trial_abort() {
    demo_playback_close();
    remove_riders_but_first();
    time_trial_start();
    race.results_final = 0;
    race_bookkeeping();
}

float ghost_opacity(float d, float fade_distance) {
    float half = fade_distance * 0.5f;
    if (!(fade_distance > 0))
        return 1.0f;
    float o = (d - half) / (fade_distance - half);
    return o < 0 ? 0.0f : o > 1 ? 1.0f : o;
}
