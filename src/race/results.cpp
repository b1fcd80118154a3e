// The results file: a header, one line per finished rider and every finisher's crossings.
#include "race/results.h"

#include <ctime>

#include "bike/bike.h"
#include "files/data.h"
#include "race/timing.h"
#include "track/track.h"

// Minutes, seconds and milliseconds of whole milliseconds.
static void print_time(DataStream *out, long ms) {
    long minutes = ms / 60000;
    data_printf(out, "%3d:%02d.%03d", int(minutes), int(ms / 1000 - minutes * 60), int(ms % 1000));
}

void results_write(const StandingsEntry *final_list, int count) {
    DataStream *out = data_open("@results.txt", "wb");
    if (!out)
        return;
    const char *track = track_get()->name ? track_get()->name : "";
    data_printf(out, "Time=%.2f|Laps=%d|Track=%s|Date=%ld\r\n", race.time_limit * STEP_SECONDS,
                race.laps, track, long(time(nullptr)));
    data_printf(out, "%4s | %12s | %4s | %10s | %4s | %10s\r\n", "No.", "Bike", "Laps",
                "Total Time", "BLap", "Best Time");
    int start = physics_race_start();
    for (int i = 0; i < count; i++) {
        const Bike *bike = race.bike[final_list[i].slot];
        if (!bike || !bike->finished)
            continue;
        data_printf(out, "%4s | %12s | %4d | ", bike_plate_text(bike), bike_model_name(bike),
                    laps_for_progress(final_list[i].progress));
        print_time(out, long((final_list[i].step - start) * STEP_SECONDS * 1000.0));
        int best = best_lap(bike);
        data_printf(out, " | %4d | ", best);
        print_time(out, long(lap_steps(bike, best) * STEP_SECONDS * 1000.0));
        data_puts(out, "\r\n");
    }
    int a = first_lap_entries(), b = lap_entries();
    for (int i = 0; i < count; i++) {
        const Bike *bike = race.bike[final_list[i].slot];
        if (!bike || !bike->finished)
            continue;
        int progress = rider_progress(bike);
        data_printf(out, "\r\n%d\r\n", progress);
        for (int k = 0; k < progress; k++) {
            int step = rider_crossing(bike, k);
            if (k > 0 && !(k == a || (b > 0 && k > a && (k - a) % b == 0)))
                data_puts(out, " ");
            if (step < 0)
                data_printf(out, "%8d", -1);
            else
                data_printf(out, "%8.3f", (step - start) * STEP_SECONDS);
            if (lap_entry_ends_lap(k) || k == progress - 1)
                data_puts(out, "\r\n");
        }
    }
    data_close(out);
}
