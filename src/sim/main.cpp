// rutmoor-sim: the headless rider tool. Loads a track, puts one bike at a start slot (or a
// given spot), rides a script of timed controls and prints a CSV trace.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bike/bike.h"
#include "bike/contact.h"
#include "bike/particles.h"
#include "settings/config.h"
#include "settings/settings.h"
#include "settings/setup.h"
#include "sim/race_tool.h"
#include "sim/script.h"
#include "sim/sim.h"
#include "track/track.h"

namespace {

const char USAGE[] =
    "usage: rutmoor-sim --ride SCRIPT [--track DIR] [--bike MODEL] [--at X,Z,HEADING]\n"
    "                   [--trace-every N]\n"
    "Rides one bike on a track (the configured one unless --track is given), from start slot 0\n"
    "or from --at (feet, heading in radians, 0 faces -z), set down on the ground, with the\n"
    "configured bike setup. SCRIPT lines are 'SECONDS NAME=VALUE ...' with NAME one of\n"
    "throttle, clutch, front_brake, rear_brake, dab, back_up (0..1), steer, lean (-1..1) and\n"
    "shift (+1 or -1, applied once); the last line is 'SECONDS end'. The clutch starts engaged.\n"
    "Prints t,x,y,z,speed_mph,rpm,gear,lean_deg,crashed,front_contact,rear_contact every N\n"
    "steps of 1/128 s (default 16); gear 1 is first gear.\n";

int usage_error(const char *what, const char *arg) {
    fprintf(stderr, "rutmoor-sim: %s%s%s\n%s", what, arg ? " " : "", arg ? arg : "", USAGE);
    return 2;
}

std::string read_file(const char *path, int *ok) {
    std::string text;
    FILE *f = fopen(path, "rb");
    *ok = f != nullptr;
    if (!f) return text;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    *ok = !ferror(f);
    fclose(f);
    return text;
}

}  // namespace

int main(int argc, char **argv) {
    if (race_tool_wanted(argc, argv)) return race_tool_main(argc, argv);
    const char *script_path = nullptr, *track_dir = nullptr, *model = nullptr;
    int have_at = 0, trace_every = 16;
    float at_x = 0, at_z = 0, at_heading = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
            fputs(USAGE, stdout);
            return 0;
        }
        if (!value) return usage_error("missing value after", a);
        i++;
        if (!strcmp(a, "--ride")) script_path = value;
        else if (!strcmp(a, "--track")) track_dir = value;
        else if (!strcmp(a, "--bike")) model = value;
        else if (!strcmp(a, "--at")) {
            char tail;
            if (sscanf(value, "%f,%f,%f%c", &at_x, &at_z, &at_heading, &tail) != 3 ||
                !std::isfinite(at_x) || !std::isfinite(at_z) || !std::isfinite(at_heading))
                return usage_error("bad --at (want X,Z,HEADING):", value);
            have_at = 1;
        } else if (!strcmp(a, "--trace-every")) {
            char *end;
            long n = strtol(value, &end, 10);
            if (*end || n < 1 || n > 1000000) return usage_error("bad --trace-every:", value);
            trace_every = (int)n;
        } else {
            return usage_error("unknown option", a);
        }
    }
    if (!script_path) return usage_error("--ride SCRIPT is required", nullptr);

    int ok;
    std::string text = read_file(script_path, &ok);
    if (!ok) {
        fprintf(stderr, "rutmoor-sim: can't read '%s'\n", script_path);
        return 2;
    }
    RideScript script;
    std::string error;
    if (!ride_script_parse(text.data(), text.size(), &script, &error)) {
        fprintf(stderr, "rutmoor-sim: %s: %s\n", script_path, error.c_str());
        return 2;
    }

    settings_reset();
    config_read();
    const char *track = track_dir ? track_dir : settings.track.text;
    if (!track || !track[0]) {
        fprintf(stderr, "rutmoor-sim: no track configured; give --track DIR\n");
        return 1;
    }
    if (!track_load(track)) {
        fprintf(stderr, "rutmoor-sim: can't load track '%s'\n", track);
        return 1;
    }
    Track *loaded = track_get();
    if (!have_at) {
        if (loaded->timing.start_count < 1) {
            fprintf(stderr, "rutmoor-sim: track '%s' has no start slots; give --at X,Z,HEADING\n", track);
            return 1;
        }
        at_x = loaded->timing.start_pos[0].x;
        at_z = loaded->timing.start_pos[0].z;
        at_heading = loaded->timing.start_heading[0];
    }
    if (!physics_init()) return 1;
    physics_set_terrain(&loaded->terrain);
    particles_attach(&loaded->particles, &loaded->billboards);
    roost_set_frequency((int)settings.roost_density.value);

    const char *name = model ? model : settings.setup.bike.choices[settings.setup.bike.index];
    Bike *bike = bike_create(name, 0, settings.setup.number.text, nullptr, nullptr, nullptr, nullptr);
    setup_apply(bike, 0);
    Vec3 rest = bike->model.frame_centre;
    bike_translate(bike, -rest.x, 0, -rest.z);
    bike_turn(bike, vec3(0, 1, 0), at_heading);
    bike_translate(bike, at_x, 0, at_z);
    bike_set_down(bike, &loaded->terrain);
    bike_stop(bike);
    bike_set_clutch(bike, 1);

    sim_ride(bike, &script, trace_every, stdout);

    bike_destroy(bike);
    particles_attach(nullptr, nullptr);
    physics_shutdown();
    track_unload();
    return 0;
}
