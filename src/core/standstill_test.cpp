// A rider standing still with a foot down in a race on a shipped track: mid-lap it walks the
// bike round towards where the race goes on; after the winner has finished, a rider whose
// last lap began no earlier than the winner's finish is done.
#include <gtest/gtest.h>

#include <cmath>

#include "bike/bike.h"
#include "core/race_reset.h"
#include "core/startup.h"
#include "core/step.h"
#include "files/data.h"
#include "race/demo.h"
#include "race/timing.h"
#include "settings/settings.h"
#include "core/race_test_support.h"
#include "testsupport/testsupport.h"
#include "track/track.h"

namespace {

class Standstill : public RaceWorldTest {
protected:
    Bike *rider = nullptr;
    Vec3 target{};

    void SetUp() override {
        race_test_start();
        if (HasFatalFailure())
            return;
        int types[RIDER_SLOTS] = {};
        types[0] = START_HUMAN;
        types[1] = START_ROBOT;
        ASSERT_TRUE(race_reset(types, 0, 0, 0, 2, 1));
        ASSERT_GT(track_get()->timing.gate_count, 0);
        physics_set_step_count(physics_race_start() + 1);
        rider = race.bike[0];
        // Leaning on a foot beside the checkpoint of entry 1, which lies behind and to the side.
        target = track_get()->timing.gates[lap_entry_gate(1, nullptr)].pos;
        bike_reset_pose(rider);
        Vec3 rest = rider->model.frame_centre;
        bike_translate(rider, -rest.x, -rest.y, -rest.z);
        bike_turn(rider, vec3(0, 0, 1), 0.5f);
        bike_translate(rider, target.x - 30, rest.y, target.z - 10);
        bike_set_down(rider, physics_terrain());
        bike_set_auto_dab(rider, 1);
        bike_set_arcade(rider, 0);   // the foot comes down only in normal steering
    }
    void TearDown() override {
        for (int slot = 0; slot < RIDER_SLOTS; slot++)
            bike_destroy(race.bike[slot]);
        race_clear();
        data_reset();
    }
    static void cross(Bike *bike, int entries, int step) {
        while (bike->crossings.count < entries)
            array_push(&bike->crossings, &step);
        bike->next_lap_entry = entries;
    }
    // Angle between the bike's horizontal heading and the way to the target.
    float off_target() const {
        const dReal *r = dBodyGetRotation(rider->body[BODY_FRAME]);   // z axis points back
        Vec3 p = bike_position(rider);
        float heading = atan2f(-float(r[2]), -float(r[10])), way = atan2f(target.x - p.x, target.z - p.z);
        return fabsf(remainderf(way - heading, 2 * float(M_PI)));
    }
};

}  // namespace

TEST_F(Standstill, StoppedRiderMidLapTurnsTowardsTheNextCheckpoint) {
    cross(rider, 1, physics_race_start() + 1);
    float before = off_target();
    for (int i = 0; i < 3 * 128; i++)
        step_all();
    float after = off_target();
    printf("off target %.2f rad before, %.2f after\n", before, after);
    EXPECT_GT(before, 1.5f);
    EXPECT_LT(after, before - 1.0f);
    EXPECT_EQ(rider->finished, 0);
}

TEST_F(Standstill, StoppedAfterTheWinnerFinishedIsFinishedOnlyWhenItsLastLapBeganLater) {
    int a = first_lap_entries(), b = lap_entries();
    int last = a - 1 + b;   // the finish of lap 2
    Bike *winner = race.bike[1];
    int finish = physics_step_count() - 50;
    cross(winner, last + 1, finish);
    winner->finished = 1;
    struct Case { int lap_start; int finished; } cases[] = {{finish, 1}, {finish - 1, 0}};
    for (const Case &c : cases) {
        rider->crossings.count = 0;
        cross(rider, a, c.lap_start);          // the last lap began at entry a - 1
        cross(rider, a + 1, c.lap_start + 10); // and it is a little way into it
        rider->finished = 0;
        standings_build();
        ASSERT_EQ(race_leader(), 1);
        for (int i = 0; i < 128; i++)
            step_all();
        EXPECT_EQ(rider->finished, c.finished) << "last lap began at " << c.lap_start;
    }
}
