// rutmoor-teach: teaches the computer riders a track headless. "--record" rides the course's
// authored centreline through the bike physics as a recorded rider, so the learner stores
// what it rode; "--learn N" runs N races of robots (testers among them) that add pass and
// failure counts to the table; "--race" rides one race and prints what the robots did.
// The lines files are read from and written to the home directory, as the game does.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ai/autopilot.h"
#include "ai/lines.h"
#include "ai/progress.h"
#include "bike/bike.h"
#include "bike/collide.h"
#include "common/mt19937.h"
#include "core/command_line.h"
#include "core/race_reset.h"
#include "core/startup.h"
#include "core/step.h"
#include "course.h"
#include "files/data.h"
#include "platform/log.h"
#include "race/timing.h"
#include "track/track.h"

namespace {

float g_rhythm_speed = 24, g_whoops_speed = 30;

struct Options {
    const char *track = nullptr;
    int record = 0;
    int learn = 0;            // learn races
    int race = 0;
    int skill = 0;            // lines file
    int laps = 3;
    int robots = 20;
    unsigned seed = 1;
    int testers = 1;          // testers among the learning robots
    int place_first = 0, place_last = 1000, place_step = 4;   // recorder start places
    int trace_slot = 0;
    int trace = 0;            // steps between trace lines of slot 0, 0 none
    std::vector<float> scales{0.8f, 0.9f, 1.0f};
};

struct RiderStats {
    int crashes;
    int was_crashed;
    int laps;
    int best_lap;             // steps
    std::vector<int> lap_steps;
    float pushed;
    float pushed_longest;
    int finished;
    float spell;              // the pushed spell under way, s
    Vec3 spell_from, spell_target;
};

const char *model_alias(const char *name) {
    static const char *const aliases[][2] = {{"crf250", "crf250(2008)"},
                                             {"kx250f", "kx250f(2008)"},
                                             {"rmz250", "rmz250(2008)"},
                                             {"yz250f", "yz250f(2008)"}};
    for (const auto &a : aliases)
        if (!strcmp(name, a[0]))
            return a[1];
    return name;
}

// Start grid: slot i takes start place (i mod places), row (i / places) behind it.
void place(Bike *bike, const Timing *timing, const Terrain *terrain, int slot) {
    int places = timing->start_count > 0 ? timing->start_count : 1;
    int gate = slot % places, row = slot / places;
    float a = timing->start_count > 0 ? timing->start_heading[gate] : 0;
    Vec3 at = timing->start_count > 0 ? timing->start_pos[gate] : vec3(0, 0, 0);
    float x = at.x + std::sin(a) * (float(row) + 0.0625f) * 10;
    float z = at.z + std::cos(a) * (float(row) + 0.0625f) * 10;
    Vec3 rest = bike->model.frame_centre;
    bike_translate(bike, -rest.x, 0, -rest.z);
    bike_turn(bike, vec3(0, 1, 0), a);
    bike_translate(bike, x, 0, z);
    bike_set_down(bike, terrain);
    bike_stop(bike);
}

// 1 within a jump or on the run-up to one.
int near_jump(const Course &course, float s) {
    for (float ahead = 0; ahead <= 80; ahead += 10) {
        CoursePoint p = course_at(course, s + ahead);
        if (p.feature < 0 || p.feature >= int(course.features.size()))
            continue;
        int kind = course.features[size_t(p.feature)].kind;
        if (kind == FEATURE_TABLETOP || kind == FEATURE_DOUBLE || kind == FEATURE_TRIPLE ||
            kind == FEATURE_STEP_UP)
            return 1;
    }
    return 0;
}

// Rhythm mounds and whoops are rolled over at a pace the bike stays on the ground for.
float bumps_speed(const Course &course, float s) {
    float limit = 1000;
    for (float ahead = -10; ahead <= 60; ahead += 10) {
        CoursePoint p = course_at(course, s + ahead);
        if (p.feature < 0 || p.feature >= int(course.features.size()))
            continue;
        int kind = course.features[size_t(p.feature)].kind;
        if (kind == FEATURE_RHYTHM)
            limit = std::fmin(limit, g_rhythm_speed);
        else if (kind == FEATURE_WHOOPS)
            limit = std::fmin(limit, g_whoops_speed);
    }
    return limit;
}

// The authored centreline as a guide from the start place at grid over laps laps, one
// point per 0.25 s at the intended speed times scale; the first stretch bends in from the
// start place, and points the bike flies over are marked airborne.
std::vector<LinePoint> guide_laps(const Course &course, const Terrain *terrain, Vec3 grid,
                                  float scale, int laps) {
    std::vector<LinePoint> out;
    float s = course.gate_s;
    CoursePoint g = course_at(course, s);
    float side = (grid.x - g.x) * -g.dir_z + (grid.z - g.z) * g.dir_x;
    float ahead = (grid.x - g.x) * g.dir_x + (grid.z - g.z) * g.dir_z;
    s += ahead;
    float begin = s;
    float end = s + course.length * float(laps);
    const float merge = 100;   // at the least, where the course has no start funnel
    // Through the start funnel the guide keeps its share of the narrowing width, so that riders
    // from the outer places close in with the funnel's edge rather than cut across the field.
    float wide = g.width, lane = course_at(course, s + 400).width;
    int merged = 0;
    // A point mass on the course profile: it leaves the ground over crests it cannot follow.
    float fly_y = 0, fly_vy = 0;
    int flying = 0;
    float next_sample = s;
    float prev_y = course_at(course, s).y, prev_slope = 0;
    for (; s < end; s += 0.5f) {
        CoursePoint p = course_at(course, s);
        // Jumps are taken at the speed that clears them, whatever the pace elsewhere.
        float v = std::fmax(p.speed * (near_jump(course, s) ? 1.0f : scale), 15.0f);
        v = std::fmin(v, bumps_speed(course, s));
        float slope = (p.y - prev_y) / 0.5f;
        float dt = 0.5f / v;
        if (flying) {
            fly_vy -= GRAVITY_FT_S2 * dt;
            fly_y += fly_vy * dt;
            if (fly_y <= p.y)
                flying = 0;
        } else if (slope < prev_slope - 0.02f && prev_slope * v > 8.0f) {
            // Over the lip: keep the take-off climb while the ground falls away.
            float climb = prev_slope * v;
            float drop = slope * v;
            if ((climb - drop) / dt > GRAVITY_FT_S2 * 1.5f) {
                flying = 1;
                fly_y = p.y;
                fly_vy = climb;
            }
        }
        prev_y = p.y;
        prev_slope = slope;
        if (s >= next_sample) {
            float t = (s - begin) / merge;
            float funnel = wide - lane > 1 ? (p.width - lane) / (wide - lane) : 0;
            merged |= funnel <= 0;
            funnel = merged ? 0 : std::fmin(funnel, 1.0f);
            float bend = t < 1 ? 0.5f * (1 + std::cos(t * 3.14159265f)) : 0;
            float off = side * std::fmax(funnel, bend);
            LinePoint q;
            q.x = p.x - p.dir_z * off;
            q.z = p.z + p.dir_x * off;
            q.y = terrain_height(terrain, q.x, q.z) + 2.0f;
            q.speed = flying ? -v : v;
            q.lean = 0;
            out.push_back(q);
            next_sample += v * 0.25f;
        }
    }
    return out;
}

// Lap-sequence entry k of the loaded track's timing (flag kept).
int lap_entry(const Timing *t, int k) {
    if (k < t->first_lap_len)
        return t->lap_order[k];
    return t->lap_order[t->first_lap_len + (k - t->first_lap_len) % t->normal_lap_len];
}

// Rows nothing was recorded for get the guide's stretch between their two line gates, so
// that every gate has a line to ride; riding then tells how good it is.
int seed_empty_rows(const Timing *timing, const std::vector<LinePoint> &guide) {
    SegmentTable *table = lines_table();
    // Which guide point first crosses each lap entry, as gate progress would see it.
    std::vector<int> line_gate_point;   // by line-gate index
    int entry = 0;
    for (size_t i = 0; i < guide.size(); i++) {
        const LinePoint &a = guide[i];
        const LinePoint &b = guide[i + 1 < guide.size() ? i + 1 : i];
        for (int step = 0; step < 8; step++) {
            float t = float(step) / 8;
            float x = a.x + (b.x - a.x) * t, z = a.z + (b.z - a.z) * t;
            int e = lap_entry(timing, entry);
            const Gate &g = timing->gates[e % LINE_GATE_FLAG];
            float dx = x - g.pos.x, dz = z - g.pos.z;
            if (dx * dx + dz * dz <= g.radius * g.radius && dx * g.dir.x + dz * g.dir.z >= 0) {
                if (e < LINE_GATE_FLAG)
                    line_gate_point.push_back(int(i));
                entry++;
                break;
            }
        }
    }
    int seeded = 0;
    int normal = table->rows - table->first_rows;
    for (int r = 0; r < table->rows; r++) {
        if (line_row_used(r))
            continue;
        int g = r < table->first_rows ? r : r + normal;
        if (g + 1 >= int(line_gate_point.size()))
            continue;
        int from = g > 0 ? line_gate_point[size_t(g - 1)] : 0;
        int to = line_gate_point[size_t(g)];
        int next = line_gate_point[size_t(g + 1)];
        if (to - from < 3)
            continue;
        int own = (to - from) * LINE_SAMPLE_STEPS;
        int through = (next - from) * LINE_SAMPLE_STEPS;
        seeded += lines_store(r, &guide[size_t(from)], to - from, own, through) >= 0;
    }
    return seeded;
}

Vec3 point_of(const LinePoint *p) { return vec3(p->x, p->y, p->z); }

// One line of a rider's state for following it through a race.
void trace_rider(int i, long step) {
    Bike *bike = race.bike[i];
    int crashed = bike_crashed(bike);
    Pilot *p = autopilot_pilot(i);
    Vec3 pos = bike_position(bike);
    float u = autopilot_line_position(i, bike);
    const LinePoint *q = p->line.count
        ? array_get<LinePoint>(&p->line, int(u) < p->line.count ? int(u) : p->line.count - 1)
        : nullptr;
    printf("t %.2f pos %.1f %.1f %.1f v %.1f want %.1f lean %.2f crash %d u %.2f/%d "
           "rec %d entry %d thr %.2f steer %.2f brk %.2f gear %d clutch %.2f rpm %.0f dab %.2f "
           "target %d at %.1f ft progress %.1f s pushed %.1f\n",
           step / 128.0, pos.x, pos.y, pos.z, vec_length(bike_velocity(bike)),
           q ? q->speed : 0.0f, bike_lean_angle(bike), crashed, u, p->line.count,
           p->recover, bike->next_lap_entry, bike->throttle, bike->steer,
           bike->front_brake, bike->gear, bike->clutch, bike_rpm(bike), bike->dab, p->target,
           p->target < p->line.count
               ? vec_length(point_of(array_get<LinePoint>(&p->line, p->target)) - pos)
               : -1.0f,
           p->progress_step / 128.0, p->pushed_seconds);
}

struct RaceSetup {
    int riders;
    int personality[RIDER_SLOTS];
    int robot[RIDER_SLOTS];
    const std::vector<LinePoint> *guide;   // the recorder rides this in slot 0
    int first_place;                       // start place of slot 0
};

// One race from the gate drop until every rider finished (or the time ran out).
void race_ride(const Options &opt, const RaceSetup &setup, std::vector<RiderStats> *stats,
               unsigned seed) {
    Track *track = track_get();
    mt_seed(seed);
    physics_set_step_count(0);
    int start = int((13 + 2 * mt_unit()) * double(STEPS_PER_SECOND));
    physics_set_race_start(start);
    race_clear();
    race.laps = opt.laps;
    race.total_laps = opt.laps;
    race.halfway_lap = (opt.laps + 1) / 2;
    race.skill = opt.skill;
    for (int i = 0; i < setup.riders; i++) {
        const Robot *robot = robot_at(setup.robot[i] % ROBOT_COUNT);
        Bike *bike = bike_create(model_alias(robot->model), i, robot->number, nullptr, nullptr,
                                 nullptr, nullptr);
        place(bike, &track->timing, &track->terrain, i + setup.first_place);
        race.bike[i] = bike;
        race.controller[i] = CONTROL_ROBOT;
        race.start_type[i] = START_ROBOT_NUMBER + atoi(robot->number);
        autopilot_reset(i, setup.personality[i]);
    }
    if (setup.guide)
        autopilot_set_guide(0, setup.guide->data(), int(setup.guide->size()));
    race_bookkeeping();
    stats->assign(setup.riders, RiderStats{});
    float lap_guess = 120;
    int limit = start + int((lap_guess * float(opt.laps) + 120) * float(STEPS_PER_SECOND));
    // The game's own step: ground, object and bike-to-bike contacts, roost, ruts, the auto
    // pilots and gate progress, so what is learned is what a race rides.
    for (int step = 0; step < limit; step++) {
        int all_done = 1;
        step_all();
        for (int i = 0; i < setup.riders; i++) {
            Bike *bike = race.bike[i];
            RiderStats &st = (*stats)[i];
            int crashed = bike_crashed(bike);
            if (crashed && !st.was_crashed && opt.trace < 0) {
                Vec3 at = bike_position(bike);
                printf("crash slot %d at %.0f %.0f entry %d t %.1f\n", i, at.x, at.z,
                       bike->next_lap_entry, step / 128.0);
            }
            st.crashes += crashed && !st.was_crashed;
            st.was_crashed = crashed;
            float pushed = autopilot_pilot(i)->pushed_seconds;
            if (opt.trace < 0 && pushed > st.pushed + 0.5f) {
                Vec3 at = bike_position(bike);
                printf("pushed slot %d at %.0f %.0f entry %d t %.1f crashed %d\n", i, at.x, at.z,
                       bike->next_lap_entry, step / 128.0, crashed);
                st.pushed = pushed;
            }
            all_done &= bike->finished;
            if (i == opt.trace_slot && opt.trace > 0 && step % opt.trace == 0)
                trace_rider(i, step);
        }
        if (all_done)
            break;
    }
    for (int i = 0; i < setup.riders; i++) {
        Bike *bike = race.bike[i];
        RiderStats &st = (*stats)[i];
        st.laps = completed_laps(bike);
        st.finished = bike->finished;
        st.pushed = autopilot_pilot(i)->pushed_seconds;
        st.pushed_longest = autopilot_pilot(i)->pushed_longest;
        for (int n = 1; n <= st.laps; n++)
            st.lap_steps.push_back(lap_steps(bike, n));
        st.best_lap = 0;
        for (int v : st.lap_steps)
            if (v > 0 && (st.best_lap == 0 || v < st.best_lap))
                st.best_lap = v;
        bike_destroy(bike);
        race.bike[i] = nullptr;
    }
}

void print_stats(const char *what, const std::vector<RiderStats> &stats, const RaceSetup &setup) {
    for (size_t i = 0; i < stats.size(); i++) {
        const RiderStats &s = stats[i];
        printf("%s slot %2zu %-7s laps %d finished %d crashes %d pushed %.1f longest %.1f "
               "best %.2f laps:",
               what, i, personality_get(setup.personality[i])->name, s.laps, s.finished,
               s.crashes, s.pushed, s.pushed_longest, s.best_lap / 128.0);
        for (int v : s.lap_steps)
            printf(" %.2f", v / 128.0);
        printf("\n");
    }
    fflush(stdout);
}

// A "New Race" exactly as the game runs it (the configuration of the home directory, the
// reset sequence and the step driver), watched for crashes and pushed riding; the lines are
// the skill's file as the game reads it.
int game_race(char *program, float max_seconds, int trace_slot, int trace) {
    char *args[] = {program, nullptr};
    int status = startup_before_window(1, args);
    if (status != COMMAND_LINE_GO_ON)
        return status == 0 ? 0 : 3;
    if (!physics_init())
        return 3;
    race_modes_init();
    if (!race_new()) {
        fputs("rutmoor-teach: the track could not be loaded\n", stderr);
        return 3;
    }
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        if (race.bike[slot] && race.controller[slot] == CONTROL_LOCAL) {
            race.controller[slot] = CONTROL_ROBOT;
            race_ai()->robot_reset(slot, race.personality[slot]);
        }
    std::vector<RiderStats> stats(RIDER_SLOTS);
    long limit = long(max_seconds * 128);
    long steps = 0;
    for (; !race.results_final && steps < limit; steps++) {
        step_all();
        for (int slot = 0; slot < RIDER_SLOTS; slot++) {
            if (!race.bike[slot])
                continue;
            RiderStats &st = stats[size_t(slot)];
            int crashed = bike_crashed(race.bike[slot]);
            st.crashes += crashed && !st.was_crashed;
            st.was_crashed = crashed;
            // Spells of pushed riding over 5 s: where they began and ended, and the target.
            Pilot *p = autopilot_pilot(slot);
            Vec3 at = bike_position(race.bike[slot]);
            if (p->pushed_run > 0 && st.spell == 0)
                st.spell_from = at;
            if (p->pushed_run == 0 && st.spell > 5)
                printf("pushed slot %d for %.1f s from %.0f %.0f to %.0f %.0f (target %.0f %.0f) "
                       "crashed %d at %.1f s\n",
                       slot, st.spell, st.spell_from.x, st.spell_from.z, at.x, at.z,
                       st.spell_target.x, st.spell_target.z, crashed, steps / 128.0);
            if (p->pushed_run > 0 && p->target < p->line.count)
                st.spell_target = point_of(array_get<LinePoint>(&p->line, p->target));
            st.spell = p->pushed_run;
            if (slot == trace_slot && trace > 0 && steps % trace == 0)
                trace_rider(slot, steps);
        }
    }
    RaceSetup setup = {};
    std::vector<RiderStats> shown;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        Bike *bike = race.bike[slot];
        if (!bike)
            continue;
        RiderStats st = stats[size_t(slot)];
        st.laps = completed_laps(bike);
        st.finished = bike->finished;
        st.pushed = autopilot_pilot(slot)->pushed_seconds;
        st.pushed_longest = autopilot_pilot(slot)->pushed_longest;
        for (int n = 1; n <= st.laps; n++)
            st.lap_steps.push_back(lap_steps(bike, n));
        st.best_lap = 0;
        for (int v : st.lap_steps)
            if (v > 0 && (st.best_lap == 0 || v < st.best_lap))
                st.best_lap = v;
        setup.personality[shown.size()] = autopilot_pilot(slot)->personality;
        shown.push_back(st);
    }
    print_stats("game", shown, setup);
    printf("race %s after %.1f s\n", race.results_final ? "over" : "stopped", steps / 128.0);
    return race.results_final ? 0 : 1;
}

int usage() {
    fprintf(stderr,
            "usage: rutmoor-teach --track NAME [--record] [--learn N] [--race] [--skill 0..2]\n"
            "                     [--laps N] [--robots N] [--seed N] [--testers N]\n"
            "                     [--scales A,B,..] [--places FIRST,END,STEP] [--bumps R,W]\n"
            "                     [--trace STEPS] [--verbose]\n"
            "--record rides the authored course from every STEPth start place at each pace scale\n"
            "(jumps at full pace, rhythm and whoops at most R and W ft/s), fills rows nothing was\n"
            "recorded for from the centreline and writes the skill's lines file; --learn runs N\n"
            "learning races; --race one race. Files go to the home directory ($XDG_DATA_HOME).\n"
            "       rutmoor-teach --game-race [MAX_SECONDS [SLOT STEPS]]: the game's New Race of\n"
            "the home directory's configuration, with each robot's crashes, pushed time and\n"
            "spells of pushed riding over 5 s; SLOT's state is printed every STEPS steps.\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc >= 2 && !strcmp(argv[1], "--game-race"))
        return game_race(argv[0], argc >= 3 ? float(atof(argv[2])) : 1200.0f,
                         argc >= 4 ? atoi(argv[3]) : 0, argc >= 5 ? atoi(argv[4]) : 0);
    Options opt;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(a, "--track") && v) opt.track = argv[++i];
        else if (!strcmp(a, "--record")) opt.record = 1;
        else if (!strcmp(a, "--learn") && v) opt.learn = atoi(argv[++i]);
        else if (!strcmp(a, "--race")) opt.race = 1;
        else if (!strcmp(a, "--skill") && v) opt.skill = atoi(argv[++i]);
        else if (!strcmp(a, "--laps") && v) opt.laps = atoi(argv[++i]);
        else if (!strcmp(a, "--robots") && v) opt.robots = atoi(argv[++i]);
        else if (!strcmp(a, "--seed") && v) opt.seed = unsigned(atoi(argv[++i]));
        else if (!strcmp(a, "--testers") && v) opt.testers = atoi(argv[++i]);
        else if (!strcmp(a, "--verbose")) lines_set_verbose(1);
        else if (!strcmp(a, "--scales") && v) {
            opt.scales.clear();
            for (char *t = strtok(argv[++i], ","); t; t = strtok(nullptr, ","))
                opt.scales.push_back(float(atof(t)));
        }
        else if (!strcmp(a, "--places") && v)
            sscanf(argv[++i], "%d,%d,%d", &opt.place_first, &opt.place_last, &opt.place_step);
        else if (!strcmp(a, "--bumps") && v)
            sscanf(argv[++i], "%f,%f", &g_rhythm_speed, &g_whoops_speed);
        else if (!strcmp(a, "--trace-slot") && v) opt.trace_slot = atoi(argv[++i]);
        else if (!strcmp(a, "--trace") && v) opt.trace = atoi(argv[++i]);
        else return usage();
    }
    if (!opt.track || opt.skill < 0 || opt.skill > 2 || opt.robots < 1 || opt.robots > 40)
        return usage();
    if (!physics_init())
        return 1;
    if (!track_load(opt.track)) {
        fprintf(stderr, "rutmoor-teach: can't load track '%s'\n", opt.track);
        return 1;
    }
    Track *track = track_get();
    physics_set_terrain(&track->terrain);
    // The game's race hooks: the auto pilot in the step driver, where a fallen robot walks its
    // bike round to, the track's statues as obstacles.
    race_modes_init();
    step_objects_build();
    lines_init(&track->timing, opt.track);
    lines_attach_progress();
    if (!lines_table()) {
        fprintf(stderr, "rutmoor-teach: track '%s' has no line gates\n", opt.track);
        return 1;
    }
    const char *file = lines_file_name(opt.skill);
    lines_set_learning(1);

    if (opt.record) {
        Course course;
        int found = -1;
        for (int c = 0; c < course_count() && found < 0; c++) {
            course_build(c, &course);
            if (!strcmp(course.name, opt.track))
                found = c;
        }
        if (found < 0) {
            fprintf(stderr, "rutmoor-teach: no authored course '%s'\n", opt.track);
            return 1;
        }
        // Recording starts from an empty table, whatever an earlier archive ships.
        lines_clear();
        int places = track->timing.start_count > 0 ? track->timing.start_count : 1;
        for (size_t k = 0; k < opt.scales.size(); k++) {
            for (int at = opt.place_first; at < places && at < opt.place_last; at += opt.place_step) {
                const Timing *timing = &track->timing;
                Vec3 grid = timing->start_count > 0 ? timing->start_pos[at] : vec3(0, 0, 0);
                std::vector<LinePoint> lap =
                    guide_laps(course, &track->terrain, grid, opt.scales[k], opt.laps + 1);
                RaceSetup setup = {};
                setup.riders = 1;
                setup.personality[0] = 1;
                setup.robot[0] = 20 + at % 20;
                setup.guide = &lap;
                setup.first_place = at;
                std::vector<RiderStats> stats;
                race_ride(opt, setup, &stats, opt.seed + unsigned(k * 100 + at));
                char what[48];
                snprintf(what, sizeof what, "record x%.2f place %d", opt.scales[k], at);
                print_stats(what, stats, setup);
            }
        }
        int middle = places / 2;
        Vec3 grid = track->timing.start_count > 0 ? track->timing.start_pos[middle] : vec3(0, 0, 0);
        std::vector<LinePoint> lap = guide_laps(course, &track->terrain, grid, opt.scales[0], 3);
        printf("seeded %d rows from the centreline\n", seed_empty_rows(&track->timing, lap));
        // A gate with no line at all would hold every robot there for good.
        int empty = 0;
        for (int r = 0; r < lines_table()->rows; r++) {
            if (!line_row_used(r)) {
                fprintf(stderr, "rutmoor-teach: no line for row %d of '%s'\n", r, opt.track);
                empty++;
            }
        }
        if (empty)
            return 1;
        lines_thin();
        lines_analyze();
        lines_save(file);
    }

    static const int mix[] = {2, 1, 3, 2, 1, 3, 2, 3, 1, 2};
    for (int n = 0; n < opt.learn + opt.race; n++) {
        int learning = n < opt.learn;
        lines_clear();
        lines_load(file);
        lines_thin();
        lines_analyze();
        RaceSetup setup = {};
        setup.riders = opt.robots;
        for (int i = 0; i < opt.robots; i++) {
            setup.personality[i] = learning && i < opt.testers ? 4 : mix[i % 10];
            setup.robot[i] = int((opt.seed * 7 + unsigned(n) * 13 + unsigned(i) * 3) % ROBOT_COUNT);
        }
        std::vector<RiderStats> stats;
        race_ride(opt, setup, &stats, opt.seed + 100 + unsigned(n));
        print_stats(learning ? "learn" : "race", stats, setup);
        if (learning)
            lines_save(file);
    }
    lines_free();
    track_unload();
    physics_shutdown();
    return 0;
}
