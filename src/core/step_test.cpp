// The step driver and the track's objects: a computer rider being walked back to its line by
// the invisible hand passes through them.
#include <gtest/gtest.h>

#include <cmath>

#include "ai/autopilot.h"
#include "bike/bike.h"
#include "core/race_reset.h"
#include "core/race_test_support.h"
#include "core/step.h"
#include "race/timing.h"
#include "track/track.h"

namespace {

class StepObjects : public RaceWorldTest {
protected:
    void TearDown() override {
        for (int slot = 0; slot < RIDER_SLOTS; slot++)
            bike_destroy(race.bike[slot]);
        race_clear();
        data_reset();
    }
};

}  // namespace

TEST_F(StepObjects, PushedRobotPassesThroughTrackObjects) {
    race_test_start();
    int types[RIDER_SLOTS] = {};
    types[0] = START_ROBOT;
    ASSERT_TRUE(race_reset(types, 0, 0, 0, 2, 1));
    Bike *bike = race.bike[0];
    ASSERT_NE(bike, nullptr);
    const Array *statues = &track_get()->statues;
    int index = track_get()->first_statue;   // past the start gates, which fall at the drop
    while (index < statues->count && !array_get<Statue>(statues, index)->shape)
        index++;
    ASSERT_LT(index, statues->count);
    Vec3 at = array_get<Statue>(statues, index)->pos;
    physics_set_step_count(physics_race_start() + 40 * 128);

    // Standing still with its front wheel in the middle of a hay bale, stuck for 20 s.
    const dReal *wheel = dBodyGetPosition(bike->body[BODY_FRONT_WHEEL]);
    bike_translate(bike, at.x - float(wheel[0]), 0, at.z - float(wheel[2]));
    bike_set_down(bike, physics_terrain());
    bike_stop(bike);
    step_all();   // the first step splices the robot's first segment
    Pilot *p = autopilot_pilot(0);
    ASSERT_GT(p->line.count, 0);
    p->recover = 3;
    p->progress_step = physics_step_count() - 20 * 128;
    Vec3 from = bike_position(bike);
    for (int i = 0; i < 2 * 128; i++)
        step_all();
    Vec3 d = bike_position(bike) - from;
    EXPECT_GT(p->pushed_seconds, 1.9f);
    EXPECT_GT(std::sqrt(d.x * d.x + d.z * d.z), 5.0f);   // walked out through the bale
}
