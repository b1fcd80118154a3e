// The reset sequence and the race modes that call it.
#include "core/race_reset.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "ai/autopilot.h"
#include "ai/lines.h"
#include "ai/progress.h"
#include "ai/race_hooks.h"
#include "bike/bike.h"
#include "bike/particles.h"
#include "bike/rider.h"
#include "common/console.h"
#include "common/mt19937.h"
#include "core/startup.h"
#include "core/step.h"
#include "platform/log.h"
#include "race/demo.h"
#include "race/series.h"
#include "race/timing.h"
#include "settings/settings.h"
#include "settings/setup.h"
#include "track/track.h"

namespace {

struct ResetState {
    RaceAi ai;
    void (*progress_screen)(const char *text);
    unsigned long (*texture_bytes)();
    const char *playback_name;     // null: "@demos/default.qzdemo"
    int reload;
    int roster[ROSTER_SIZE];       // shuffled robot indices
    int start_types[RIDER_SLOTS];  // of the current race
    int lines_skill;               // skill whose lines are loaded, -1 none
};
ResetState g_reset = {{}, nullptr, nullptr, nullptr, 0, {}, {}, -1};

const char *const DEFAULT_DEMO = "@demos/default.qzdemo";

void show(const char *text) {
    if (g_reset.progress_screen)
        g_reset.progress_screen(text);
}

int robot_fits(int robot, int start_type) {
    const Robot *r = robot_at(robot);
    if (start_type == START_ROBOT_2_STROKE)
        return strstr(r->model, "125") != nullptr;
    if (start_type == START_ROBOT_4_STROKE)
        return strstr(r->model, "250") != nullptr;
    if (start_type >= START_ROBOT_NUMBER)
        return atoi(r->number) == start_type - START_ROBOT_NUMBER;
    return 1;
}

// The next robot of the roster for a start type: the first fitting robot found from the end
// backwards is moved into the next position (the others move up one). More robots than the
// roster holds start over from its beginning.
int robot_take(int *next, int start_type) {
    int at = *next % ROSTER_SIZE;
    if (start_type != START_ROBOT) {
        for (int i = ROSTER_SIZE - 1; i >= at; i--) {
            if (!robot_fits(g_reset.roster[i], start_type))
                continue;
            int robot = g_reset.roster[i];
            memmove(&g_reset.roster[at + 1], &g_reset.roster[at], sizeof(int) * size_t(i - at));
            g_reset.roster[at] = robot;
            break;
        }
    }
    (*next)++;
    return g_reset.roster[at];
}

int is_robot(int start_type) {
    return start_type == START_ROBOT || start_type == START_ROBOT_2_STROKE ||
           start_type == START_ROBOT_4_STROKE || start_type >= START_ROBOT_NUMBER;
}

// Start grid position of slot i: gate i mod count, row i / count behind it.
void grid_place(int slot, float *x, float *z, float *angle) {
    const Track *track = track_get();
    const Timing *t = &track->timing;
    if (t->start_count > 0) {
        int gate = slot % t->start_count, row = slot / t->start_count;
        float a = t->start_heading[gate];
        float d = (float(row) + 0.0625f) * 10.0f;
        *x = t->start_pos[gate].x + std::sin(a) * d;
        *z = t->start_pos[gate].z + std::cos(a) * d;
        *angle = a;
        return;
    }
    float half = track->terrain.world_size * 0.5f;
    *x = float(slot) * 5.0f + half;
    *z = half;
    *angle = 0;
}

void bike_place(Bike *bike, int slot) {
    float x, z, angle;
    grid_place(slot, &x, &z, &angle);
    bike_reset_pose(bike);
    Vec3 rest = bike->model.frame_centre;
    bike_translate(bike, -rest.x, 0, -rest.z);
    bike_turn(bike, vec3(0, 1, 0), angle);
    bike_translate(bike, x, 0, z);
    bike_set_down(bike, physics_terrain());
    for (int i = 0; i < 64 && step_bike_touches(bike); i++)
        bike_translate(bike, 0, 0.25f, 0);
    bike_stop(bike);
}

// Sizing the working set. Linux has no per-process working-set request (the resident-size
// limit is ignored by the kernel), so the range is worked out and logged, and its keeping
// is left to the kernel's own page reclaim.
void working_set_size() {
    long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
    double physical = pages > 0 && page > 0 ? double(pages) * double(page) : 0;
    const double mb = 1024.0 * 1024.0;
    if (physical < 64 * mb) {
        log("Working set left alone - less than 64 MB physical memory\n");
        return;
    }
    double high = std::fmin(physical, 2048 * mb) - 32 * mb;
    double low = std::fmin(high, 1024 * mb);
    log("Working set range %u - %u left to the kernel (no working-set request on Linux)\n",
        unsigned(low), unsigned(high));
}

int track_listed(const char *name) {
    const TrackList *list = track_list();
    for (int i = 0; list && i < list->count; i++)
        if (strcmp(list->names[i], name) == 0)
            return 1;
    return 0;
}

const char *selected_track() {
    const TrackList *list = track_list();
    int i = startup.track_choice.index;
    if (list && i >= 0 && i < list->count)
        return list->names[i];
    return settings.track.text;
}

void set_textures(int slot, const char *body, const char *bike, const char *wheels,
                  const char *head) {
    race.texture[slot][0] = body;
    race.texture[slot][1] = bike;
    race.texture[slot][2] = wheels;
    race.texture[slot][3] = head;
}

}  // namespace

void race_set_ai(const RaceAi *ai) { g_reset.ai = ai ? *ai : RaceAi{}; }
const RaceAi *race_ai() { return &g_reset.ai; }
void race_set_progress_screen(void (*show_screen)(const char *)) { g_reset.progress_screen = show_screen; }
void race_set_texture_bytes(unsigned long (*bytes)()) { g_reset.texture_bytes = bytes; }
void race_set_playback_name(const char *name) { g_reset.playback_name = name; }
void race_request_reload() { g_reset.reload = 1; }
const int *race_roster() { return g_reset.roster; }
const int *race_start_types() { return g_reset.start_types; }

void roster_shuffle(int step, int order[ROSTER_SIZE]) {
    for (int i = 0; i < ROSTER_SIZE; i++)
        order[i] = i;
    mt_seed(uint32_t(step));
    for (int i = ROSTER_SIZE - 1; i >= 1; i--) {
        int j = int((mt_next() / 65536u) % uint32_t(i));
        int t = order[i];
        order[i] = order[j];
        order[j] = t;
    }
}

int race_select_track(const char *name) {
    const TrackList *list = track_list();
    for (int i = 0; list && i < list->count; i++) {
        if (strcmp(list->names[i], name) == 0) {
            startup.track_choice.index = i;
            text_set(&settings.track, name);
            return 1;
        }
    }
    return 0;
}

void race_lines_save() {
    if (track_get()->name && g_reset.ai.lines_save && g_reset.lines_skill >= 0)
        g_reset.ai.lines_save(g_reset.lines_skill);
}

int race_reset(const int *start_types, int playback, int record, int time_limit, int laps,
               int skill) {
    log("\x13" "FLUSH");
    series_event_score();
    show("Resetting...");
    roster_shuffle(physics_step_count(), g_reset.roster);

    show("Remembering lines...");
    if (track_get()->name) {
        race_lines_save();
        if (g_reset.ai.lines_free)
            g_reset.ai.lines_free();
        demo_playback_close();
    }
    demo_record_close();

    show("Cleaning up...");
    log("Deallocating bikes\n");
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        bike_destroy(race.bike[slot]);
    int viewed = race.viewed;
    race_clear();
    race.viewed = viewed;
    log("Finished deallocating bikes\n");

    physics_set_step_count(0);
    race.time_limit = time_limit;
    race.laps = laps;
    race.skill = skill;
    physics_set_race_start(int((13.0 + 2.0 * mt_unit()) * double(STEPS_PER_SECOND)));
    race.time_trial = start_types == nullptr;

    // The track.
    const char *track = selected_track();
    if (playback) {
        const char *name = g_reset.playback_name ? g_reset.playback_name : DEFAULT_DEMO;
        if (demo_playback_open(name) && !track_listed(demo_playback_header()->track)) {
            // A demo names its track as text; only an installed track is loaded from it.
            log("Demo track '%.200s' is not installed\n", demo_playback_header()->track);
            demo_playback_close();
        }
        if (demo_playing()) {
            const DemoHeader *h = demo_playback_header();
            track = h->track;
            race.time_limit = h->time_limit;
            if (h->laps >= 0)
                race.laps = h->laps;
            physics_set_race_start(h->start);
        }
    }
    if (!track_get()->name || strcmp(track_get()->name, track) != 0 || g_reset.reload) {
        step_objects_free();
        physics_set_terrain(nullptr);
        particles_attach(nullptr, nullptr);
        track_unload();
        g_reset.reload = 0;
        if (!track_load(track)) {
            demo_playback_close();
            log("\x13" "NOFLUSH");
            return 0;
        }
        step_objects_build();
    }
    physics_set_terrain(&track_get()->terrain);
    particles_attach(&track_get()->particles, &track_get()->billboards);
    particles_reset();

    // Start types and the viewed rider.
    int *types = g_reset.start_types;
    for (int i = 0; i < RIDER_SLOTS; i++)
        types[i] = start_types ? start_types[i] : START_EMPTY;
    if (race.time_trial) {
        types[0] = START_HUMAN;
        physics_set_step_count(TIME_TRIAL_START_STEPS);
        time_trial_clear();
    }
    int first = -1;
    for (int i = 0; i < RIDER_SLOTS && first < 0; i++)
        if (types[i] != START_EMPTY)
            first = i;
    if (first >= 0)
        race.viewed = first;
    else if (!demo_playing())
        types[0] = START_ROBOT;
    else
        race.viewed = 0;
    int human = -1;
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (types[i] != START_HUMAN)
            continue;
        if (human < 0)
            human = i;
        else
            types[i] = START_EMPTY;
    }
    if (human >= 0)
        race.viewed = human;

    // Racing lines of the skill.
    g_reset.lines_skill = skill;
    if (g_reset.ai.lines_load) {
        show("Analyzing lines...");
        g_reset.ai.lines_load(skill);
    }

    show("Loading bikes...");
    int next_robot = 0, next_recorded = 0;
    const DemoHeader *header = demo_playback_header();
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        int type = types[slot];
        race.start_type[slot] = type;
        Bike *bike = nullptr;
        if (type == START_HUMAN) {
            race.controller[slot] = CONTROL_LOCAL;
            const char *body = setup_texture_file(SETUP_TEXTURE_RIDER);
            const char *head = setup_texture_file(SETUP_TEXTURE_HEAD);
            const char *bike_texture = setup_texture_file(SETUP_TEXTURE_BIKE);
            const char *wheels = setup_texture_file(SETUP_TEXTURE_WHEEL);
            bike = bike_create(model_alias(choice_text(&settings.setup.bike)), slot,
                               settings.setup.number.text, body, head, bike_texture, wheels);
            set_textures(slot, body, bike_texture, wheels, head);
        } else if (is_robot(type)) {
            race.controller[slot] = CONTROL_ROBOT;
            const Robot *robot = robot_at(robot_take(&next_robot, type));
            bike = bike_create(model_alias(robot->model), slot, robot->number, robot->body_texture,
                               robot->head_texture, robot->bike_texture, robot->wheel_texture);
            set_textures(slot, robot->body_texture, robot->bike_texture, robot->wheel_texture,
                         robot->head_texture);
            race.personality[slot] = startup.practice ? "tester" : robot->personality;
        } else {
            race.controller[slot] = CONTROL_OUTSIDE;
            if (type == START_EMPTY && demo_playing() && next_recorded < header->riders) {
                const DemoRider *rider = &header->rider[next_recorded++];
                bike = demo_rider_create(rider, slot);
                race_set_textures(slot, rider);
            }
        }
        if (!bike)
            continue;
        race.bike[slot] = bike;
        bike_place(bike, slot);
        if (race.controller[slot] == CONTROL_LOCAL) {
            race.start_position[slot] = bike_position(bike);
            race.false_start_hold = 0;
        }
        if (race.controller[slot] == CONTROL_OUTSIDE) {
            bike_disable(bike);
        } else {
            bike_enable(bike);
        }
        if (race.controller[slot] == CONTROL_ROBOT && g_reset.ai.robot_reset)
            g_reset.ai.robot_reset(slot, race.personality[slot]);
    }

    if (record)
        demo_record_open(DEFAULT_DEMO);
    if (g_reset.ai.learner_reset)
        g_reset.ai.learner_reset();
    console_printf("%d MB texture memory used\n",
                   int((g_reset.texture_bytes ? g_reset.texture_bytes() : 0) / (1024 * 1024)));

    race_set_length(race.time_limit, race.laps);
    if (race.time_trial)
        time_trial_start();

    demo_reset_step();
    race.results_final = 0;
    race_bookkeeping();
    if (race.viewed < 0 || race.viewed >= RIDER_SLOTS || !race.bike[race.viewed])
        race.viewed = race_leader() >= 0 ? race_leader() : 0;
    dJointGroupEmpty(physics_contacts());
    if (race.bike[race.viewed] && race.controller[race.viewed] == CONTROL_LOCAL)
        setup_apply(race.bike[race.viewed], race.connected);

    working_set_size();
    log("\x13" "NOFLUSH");
    return 1;
}

// ---- The modes ----

// Where a rider standing still with a foot down turns to. First the race may be over for
// it: once the winner has crossed the finish line, a stopped rider whose last lap started
// no earlier than the winner finished is done too. Otherwise the point four ahead of its
// nearest on its own racing line (the line's end when fewer remain), or the next checkpoint.
static int standstill_target(const Bike *bike, Vec3 *target) {
    const Timing *timing = &track_get()->timing;
    if (timing->gate_count <= 0 || timing->normal_lap_len <= 0 || bike->next_lap_entry <= 0 ||
        bike->finished)
        return 0;
    int slot = bike->slot;
    if (slot < 0 || slot >= RIDER_SLOTS || race.bike[slot] != bike)
        for (slot = 0; slot < RIDER_SLOTS && race.bike[slot] != bike; slot++) {}
    if (slot >= RIDER_SLOTS)
        return 0;
    int a = first_lap_entries(), b = lap_entries(), r = bike->next_lap_entry;
    int last = race.total_laps > 0 ? a - 1 + b * (race.total_laps - 1) : 0;
    int leader = race_leader();
    const Bike *first = leader >= 0 ? race.bike[leader] : nullptr;
    if (first && rider_progress(first) > last && rider_crossing(first, last) >= 0) {
        int own = rider_crossing(bike, r < a ? 0 : a - 1 + b * ((r - a) / b));
        if (rider_crossing(first, last) <= own) {
            race.bike[slot]->finished = 1;
            race_bookkeeping();
            return 0;
        }
    }
    const Array *line = autopilot_line(slot);
    if (line && line->count > 0) {
        Vec3 pos = bike_position(bike);
        int nearest = 0;
        float best = 1e30f;
        for (int i = 0; i < line->count; i++) {
            const LinePoint *p = array_get<LinePoint>(line, i);
            float dx = p->x - pos.x, dz = p->z - pos.z;
            if (dx * dx + dz * dz < best) {
                best = dx * dx + dz * dz;
                nearest = i;
            }
        }
        int k = nearest + 4 < line->count ? nearest + 4 : line->count - 1;
        const LinePoint *p = array_get<LinePoint>(line, k);
        *target = vec3(p->x, p->y, p->z);
        return 1;
    }
    *target = timing->gates[lap_entry_gate(r, nullptr)].pos;
    return 1;
}

void race_modes_init() {
    static const RaceAi ai = {ai_lines_save,    ai_lines_free,   ai_lines_load,
                              ai_learner_reset, ai_robot_reset, auto_pilot_step,
                              autopilot_pushed};
    ai_configure(startup.learning, startup.debug, startup.practice);
    race_set_ai(&ai);
    series_set_starter(race_series_event);
    race_set_final_hook(series_event_score);
    demo_set_drivers(step_all, gate_progress_step, startup.accurate_skip);
    rider_set_standstill_target(standstill_target);
}

int race_start_background(const char *demo) {
    int types[RIDER_SLOTS] = {};
    if (!demo)
        types[0] = START_ROBOT;
    race_set_playback_name(demo);
    return race_reset(types, demo != nullptr, 0, 0, 1000, settings.skill.index);
}

static int minutes_steps() { return int(settings.minutes.value) * 60 * STEPS_PER_SECOND; }

int race_new() {
    int types[RIDER_SLOTS] = {};
    for (int i = 0; i < START_GATES; i++)
        types[i] = settings.slot[i].index;
    int ok = race_reset(types, 0, settings.record.index, minutes_steps(), int(settings.laps.value),
                        settings.skill.index);
    int n = startup.rotate_lineup;
    if (n != 0) {
        int rotated[RIDER_SLOTS];
        for (int i = 0; i < RIDER_SLOTS; i++)
            rotated[((i + n) % RIDER_SLOTS + RIDER_SLOTS) % RIDER_SLOTS] = types[i];
        for (int i = 0; i < START_GATES; i++)
            settings.slot[i].index = rotated[i] <= START_ROBOT_4_STROKE ? rotated[i] : START_EMPTY;
    }
    return ok;
}

int race_playback(int race_against) {
    int types[RIDER_SLOTS] = {};
    if (race_against) {
        int gate = 0;
        for (int i = 0; i < START_GATES; i++) {
            if (settings.slot[i].index == START_HUMAN) {
                gate = i;
                break;
            }
        }
        types[gate] = START_HUMAN;
    }
    int record = race_against ? settings.record.index : 0;
    // Recording over the demo being played would destroy it.
    const char *name = g_reset.playback_name ? g_reset.playback_name : DEFAULT_DEMO;
    if (record && strcmp(name, DEFAULT_DEMO) == 0) {
        console_print("Can't record and play from same file - recording disabled");
        record = 0;
    }
    return race_reset(types, 1, record, 0, 10, settings.skill.index);
}

int race_time_trial() { return race_reset(nullptr, 0, 0, 0, 1000, settings.skill.index); }

int race_warp_restart() {
    int types[RIDER_SLOTS];
    for (int i = 0; i < RIDER_SLOTS; i++)
        types[(i + 1) % RIDER_SLOTS] = g_reset.start_types[i];
    return race_reset(types, 0, settings.record.index, minutes_steps(), int(settings.laps.value),
                      settings.skill.index);
}

void race_series_event(const char *track, const int *start_types, int time_limit, int laps,
                       int skill) {
    race_select_track(track);
    race_reset(start_types, 0, settings.record.index, time_limit, laps, skill);
}
