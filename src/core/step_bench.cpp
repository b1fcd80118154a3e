// The step driver on a shipped track: one step of every rider with 1, 8 and 20 riders at
// the start gate and, for 20, with the demo recording on.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "bike/bike.h"
#include "core/race_reset.h"
#include "core/startup.h"
#include "core/step.h"
#include "files/data.h"
#include "race/demo.h"
#include "race/timing.h"
#include "settings/settings.h"
#include "track/track.h"

namespace {

// A scratch home and the shipped "rabbithill" chosen; the physics world made once.
bool prepare() {
    static bool ready = [] {
        static char home[] = "/tmp/rutmoor-step-bench-XXXXXX";
        if (!mkdtemp(home))
            return false;
        setenv("XDG_DATA_HOME", home, 1);
        atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(home, ec);
        });
        data_reset();
        startup_defaults(&startup);
        settings_reset();
        if (!tracks_scan())
            return false;
        const TrackList *list = track_list();
        choice_init(&startup.track_choice, "Track", list->descs, list->count, 0);
        race_modes_init();
        return race_select_track("rabbithill") && physics_init();
    }();
    return ready;
}

void BM_StepAll(benchmark::State &state) {
    if (!prepare()) {
        state.SkipWithError("no shipped track");
        return;
    }
    int types[RIDER_SLOTS] = {};
    for (int i = 0; i < state.range(0); i++)
        types[i] = START_ROBOT;
    if (!race_reset(types, 0, int(state.range(1)), 0, 3, 1)) {
        state.SkipWithError("reset failed");
        return;
    }
    for (auto _ : state)
        step_all();
    state.counters["steps/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    demo_record_close();
}
BENCHMARK(BM_StepAll)->Args({1, 0})->Args({8, 0})->Args({20, 0})->Args({20, 1})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
