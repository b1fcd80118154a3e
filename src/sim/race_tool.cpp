// The headless race tool: start-up as the game does it up to the window, the race mode's
// reset, the step driver until the race is over, then the standings.
#include "sim/race_tool.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bike/bike.h"
#include "core/command_line.h"
#include "core/race_reset.h"
#include "core/startup.h"
#include "core/step.h"
#include "platform/log.h"
#include "race/demo.h"
#include "race/series.h"
#include "race/timing.h"
#include "settings/settings.h"
#include "sim/script.h"
#include "sim/sim.h"
#include "track/track.h"

namespace {

const char USAGE[] =
    "usage: rutmoor-sim --mode race|time-trial|series NAME [--max-seconds N] [--script FILE]\n"
    "                   [--crossings] [game options]\n"
    "       rutmoor-sim DEMO [--max-seconds N] [--crossings] [game options]\n"
    "Runs one race headless with the configuration of the home directory, as the game would:\n"
    "'race' is the New Race lineup of the gate items, 'time-trial' a time trial, 'series NAME'\n"
    "the next event of a points series (its file name, with or without '.series', or its\n"
    "title); a DEMO file is played back. Human riders ride as computer riders unless --script\n"
    "gives the controls of the first one (a ride script, see --ride). --max-seconds stops the\n"
    "race after N seconds of race time. --crossings prints every rider's gate crossing steps.\n"
    "Exit status: 0 the race ended, 1 the time limit stopped it, 2 bad arguments, 3 no game\n"
    "data or no track.\n";

enum Mode { MODE_RACE, MODE_TIME_TRIAL, MODE_SERIES, MODE_PLAYBACK };

struct ToolArgs {
    Mode mode;
    const char *series;            // MODE_SERIES: which series
    double max_seconds;            // < 0: no limit
    const char *script;            // ride script of the first human rider, or null
    int crossings;
    std::vector<char *> game;      // the arguments for the game's command line
};

int usage_error(const char *what, const char *arg) {
    fprintf(stderr, "rutmoor-sim: %s%s%s\n%s", what, arg ? " " : "", arg ? arg : "", USAGE);
    return 2;
}

// Splits the tool's own options from the game's. Returns 0 when the arguments are usable.
int args_read(int argc, char **argv, ToolArgs *args) {
    args->mode = MODE_RACE;
    args->series = nullptr;
    args->max_seconds = -1;
    args->script = nullptr;
    args->crossings = 0;
    args->game.push_back(argv[0]);
    int have_mode = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(a, "--mode")) {
            if (!value)
                return usage_error("missing value after", a);
            i++;
            have_mode = 1;
            if (!strcmp(value, "race")) {
                args->mode = MODE_RACE;
            } else if (!strcmp(value, "time-trial")) {
                args->mode = MODE_TIME_TRIAL;
            } else if (!strcmp(value, "series")) {
                if (i + 1 >= argc)
                    return usage_error("missing series name after", "--mode series");
                args->mode = MODE_SERIES;
                args->series = argv[++i];
            } else {
                return usage_error("unknown mode", value);
            }
        } else if (!strcmp(a, "--max-seconds")) {
            char *end = nullptr;
            double seconds = value ? strtod(value, &end) : 0;
            if (!value || *end || !std::isfinite(seconds) || seconds < 0 || seconds > 1e6)
                return usage_error("bad --max-seconds", value);
            args->max_seconds = seconds;
            i++;
        } else if (!strcmp(a, "--script")) {
            if (!value)
                return usage_error("missing value after", a);
            args->script = value;
            i++;
        } else if (!strcmp(a, "--crossings")) {
            args->crossings = 1;
        } else {
            args->game.push_back(argv[i]);
        }
    }
    // The game's own options are checked on a scratch state first.
    StartupState scratch;
    startup_defaults(&scratch);
    int status = command_line_apply(&scratch, int(args->game.size()), args->game.data());
    if (status != COMMAND_LINE_GO_ON)
        return status == 0 ? -1 : usage_error("bad game option", nullptr);
    if (scratch.file) {
        if (have_mode)
            return usage_error("a demo file and --mode exclude each other", nullptr);
        args->mode = MODE_PLAYBACK;
    }
    return 0;
}

std::string file_text(const char *path, int *ok) {
    std::string text;
    FILE *f = fopen(path, "rb");
    *ok = f != nullptr;
    if (!f)
        return text;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    *ok = !ferror(f);
    fclose(f);
    return text;
}

// The scripted controls of the first human rider, line by line as time comes.
struct ScriptRider {
    const RideScript *script;
    size_t next;
    int slot;
    int steps;
};

void script_step(ScriptRider *rider) {
    Bike *bike = race.bike[rider->slot];
    if (!bike)
        return;
    int shift = 0;
    while (rider->next < rider->script->lines.size() &&
           rider->script->lines[rider->next].seconds * 128.0 <= rider->steps + 1e-9) {
        for (const ScriptSetting &s : rider->script->lines[rider->next].settings)
            script_apply(bike, s, &shift);
        rider->next++;
    }
    // A shift is held for one step and released, so each line shifts once.
    if (shift)
        bike_shift(bike, 0);
    bike_shift(bike, shift);
    rider->steps++;
}

int find_series(const char *name) {
    for (int i = 0; i < series_count(); i++) {
        const Series *s = series_get(i);
        std::string file = s->file;
        std::string stem = file.substr(file.rfind('/') == std::string::npos ? 0 : file.rfind('/') + 1);
        if (stem.size() > 7 && stem.compare(stem.size() - 7, 7, ".series") == 0)
            stem.resize(stem.size() - 7);
        if (file == name || stem == name || strcmp(s->title, name) == 0 ||
            stem + ".series" == name)
            return i;
    }
    return -1;
}

// Every played-back rider's records have ended.
int playback_over() {
    int any = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!race.bike[slot] || race.controller[slot] != CONTROL_OUTSIDE)
            continue;
        any = 1;
        if (race.present[slot])
            return 0;
    }
    return any;
}

void print_time(long ms) { printf("%3ld:%02ld.%03ld", ms / 60000, (ms / 1000) % 60, ms % 1000); }

void print_standings(int crossings) {
    const StandingsEntry *list = race.results_final ? race.final_order : race.standings;
    int count = race.results_final ? race.final_count : race.standings_count;
    int start = physics_race_start();
    printf("%s\n", race.results_final ? "Final results" : "Standings (race not over)");
    printf("%3s %4s %4s %-14s %4s %11s %11s\n", "Pos", "Slot", "No.", "Bike", "Laps",
           "Total Time", "Best Lap");
    for (int i = 0; i < count; i++) {
        const Bike *bike = race.bike[list[i].slot];
        if (!bike)
            continue;
        printf("%3d %4d %4s %-14s %4d ", i + 1, list[i].slot, bike_plate_text(bike),
               bike_model_name(bike), laps_for_progress(list[i].progress));
        long total = list[i].step > 0 ? long((list[i].step - start) * STEP_SECONDS * 1000.0) : 0;
        print_time(total);
        printf(" ");
        int best = best_lap(bike);
        print_time(long(lap_steps(bike, best) * STEP_SECONDS * 1000.0));
        printf("%s\n", bike->finished ? "" : " (not finished)");
    }
    if (!crossings)
        return;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        const Bike *bike = race.bike[slot];
        if (!bike)
            continue;
        Vec3 p = bike_position(bike);
        printf("crossings %d %s at %.1f,%.1f:", slot, bike_plate_text(bike), p.x, p.z);
        for (int k = 0; k < rider_progress(bike); k++)
            printf(" %d", rider_crossing(bike, k));
        printf("\n");
    }
}

// Everything start-up and the race made goes again; returns status.
int finish(int status) {
    race_lines_save();
    demo_record_close();
    demo_playback_close();
    series_free_all();
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        bike_destroy(race.bike[slot]);
    race_clear();
    step_objects_free();
    track_unload();
    physics_shutdown();
    log(nullptr);
    return status;
}

}  // namespace

int race_tool_wanted(int argc, char **argv) {
    static const char *const VALUED[] = {"--track", "--bike", "--at", "--trace-every",
                                         "--max-seconds", "--script"};
    for (int i = 1; i < argc; i++)
        if (!strcmp(argv[i], "--ride"))
            return 0;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--mode"))
            return 1;
        int value = 0;
        for (const char *option : VALUED)
            value |= i > 1 && !strcmp(argv[i - 1], option);
        if (argv[i][0] != '-' && !value)
            return 1;   // a demo file to play
    }
    return 0;
}

int race_tool_main(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            fputs(USAGE, stdout);
            fputs("Riding one bike with a script: rutmoor-sim --ride SCRIPT ... (--ride x --help)\n",
                  stdout);
            return 0;
        }
    }
    ToolArgs args;
    int bad = args_read(argc, argv, &args);
    if (bad)
        return bad < 0 ? 0 : bad;
    RideScript script;
    if (args.script) {
        int ok;
        std::string text = file_text(args.script, &ok);
        std::string error;
        if (!ok)
            return usage_error("can't read", args.script);
        if (!ride_script_parse(text.data(), text.size(), &script, &error)) {
            fprintf(stderr, "rutmoor-sim: %s: %s\n", args.script, error.c_str());
            return 2;
        }
    }

    int status = startup_before_window(int(args.game.size()), args.game.data());
    if (status != COMMAND_LINE_GO_ON)
        return status == 0 ? 0 : 3;
    if (!physics_init()) {
        fputs("rutmoor-sim: the physics library is not the double-precision build\n", stderr);
        return finish(3);
    }
    race_modes_init();

    int ok = 0;
    switch (args.mode) {
    case MODE_RACE: ok = race_new(); break;
    case MODE_TIME_TRIAL: ok = race_time_trial(); break;
    case MODE_PLAYBACK:
        race_set_playback_name(startup.file);
        ok = race_playback(0);
        if (ok && !demo_playing()) {
            fprintf(stderr, "rutmoor-sim: can't play '%s'\n", startup.file);
            return finish(3);
        }
        break;
    case MODE_SERIES: {
        int index = find_series(args.series);
        if (index < 0)
            return finish(usage_error("no such series", args.series));
        if (!series_event_start(index, 0)) {
            fprintf(stderr, "rutmoor-sim: every event of '%s' is done\n", args.series);
            return finish(2);
        }
        ok = track_get()->name != nullptr && race.standings_count > 0;
        break;
    }
    }
    if (!ok) {
        fputs("rutmoor-sim: the track could not be loaded\n", stderr);
        return finish(3);
    }

    // Nobody is at the controls: humans ride as computer riders unless a script rides one.
    ScriptRider rider = {&script, 0, -1, 0};
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!race.bike[slot] || race.controller[slot] != CONTROL_LOCAL)
            continue;
        if (args.script && rider.slot < 0) {
            rider.slot = slot;
            bike_set_clutch(race.bike[slot], 1);
            continue;
        }
        race.controller[slot] = CONTROL_ROBOT;
        race.personality[slot] = startup.practice ? "tester" : "kallin";
        if (race_ai()->robot_reset)
            race_ai()->robot_reset(slot, race.personality[slot]);
    }

    long limit = args.max_seconds < 0 ? -1 : long(std::llround(args.max_seconds * 128.0));
    long steps = 0;
    int stopped = 0;
    while (!race.results_final) {
        if (args.mode == MODE_PLAYBACK && playback_over())
            break;
        if (limit >= 0 && steps >= limit) {
            stopped = 1;
            break;
        }
        if (rider.slot >= 0) {
            script_step(&rider);
            // As the loop does with the player's back-up control in a time trial.
            if (race.bike[rider.slot])
                step_time_trial_backup(race.bike[rider.slot]->back_up);
        }
        step_all();
        steps++;
    }
    if (stopped)
        fprintf(stderr, "rutmoor-sim: stopped after %.2f s of race time\n", steps * STEP_SECONDS);
    print_standings(args.crossings);
    return finish(stopped ? 1 : 0);
}
