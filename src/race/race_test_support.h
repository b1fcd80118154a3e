// Race test fixture: a lap sequence of A first-lap and B normal-lap entries on the track
// record (no terrain needed), and riders that are plain Bike records holding only a
// crossing list, a plate and a model name.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bike/bike.h"
#include "files/data.h"
#include "race/timing.h"
#include "testsupport/testsupport.h"
#include "track/track.h"

struct RaceFixture : testing::Test {
    std::vector<std::unique_ptr<Bike>> bikes;
    TempDir home;                  // the results file and demos land here
    ScopedEnv xdg{"XDG_DATA_HOME", home.path.c_str()};

    void SetUp() override {
        data_reset();
        race_clear();
        lap_sequence(4, 4);
        physics_set_race_start(0);
        physics_set_step_count(0);
        race_set_length(0, 3);
    }
    void TearDown() override {
        for (auto &bike : bikes)
            array_free(&bike->crossings);
        race_clear();
        timing_clear(&track_get()->timing);
        race_set_final_hook(nullptr);
        data_reset();
    }
    std::string home_file(const std::string &name) const { return read_whole_file(home.at("Rutmoor/" + name)); }

    // Gates 0 .. a-1 make the first lap, the same gates the normal lap.
    static void lap_sequence(int a, int b) {
        Timing *t = &track_get()->timing;
        timing_clear(t);
        t->gate_count = a > b ? a : b;
        t->first_lap_len = a;
        t->normal_lap_len = b;
        for (int i = 0; i < a; i++)
            t->lap_order[i] = i;
        for (int i = 0; i < b; i++)
            t->lap_order[a + i] = i;
        for (int i = 0; i < t->gate_count; i++) {
            t->gates[i].pos = vec3(100.0f * float(i), 0, 0);
            t->gates[i].dir = vec3(0, 0, -1);
            t->gates[i].radius = 10;
        }
    }

    // A rider in slot with the given crossing steps (-1 skipped).
    Bike *rider(int slot, const std::vector<int> &crossings, int finished = 0,
                const char *plate = "20", const char *model = "kx125") {
        bikes.push_back(std::make_unique<Bike>());
        Bike *bike = bikes.back().get();
        array_init(&bike->crossings, 4);
        for (int c : crossings)
            array_push(&bike->crossings, &c);
        bike->next_lap_entry = int(crossings.size());
        bike->finished = finished;
        bike->model.name = model;
        snprintf(bike->plate_text, sizeof bike->plate_text, "%s", plate);
        bike->slot = slot;
        race.bike[slot] = bike;
        race.controller[slot] = CONTROL_ROBOT;
        return bike;
    }
};
