// The reset sequence and the step driver on a shipped track: lineups, robot choice, start
// grid placement, the time trial, the lineup rotation, and a scripted rider's demo played
// back through the same step driver.
#include "core/race_reset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ai/autopilot.h"
#include "bike/bike.h"
#include "bike/snapshot.h"
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

// A scratch home, the shipped data, the settings at their defaults and "rabbithill" chosen.
// The track stays loaded from test to test.
class ResetTest : public RaceWorldTest {
protected:
    int types[RIDER_SLOTS] = {};

    void SetUp() override {
        race_test_start();
        if (HasFatalFailure())
            return;
    }
    void TearDown() override {
        demo_record_close();
        demo_playback_close();
        for (int slot = 0; slot < RIDER_SLOTS; slot++)
            bike_destroy(race.bike[slot]);
        race_clear();
        race_set_playback_name(nullptr);
        data_reset();
    }
    int reset(int record = 0, int laps = 3) { return race_reset(types, 0, record, 0, laps, 1); }
    int riders() const {
        int n = 0;
        for (Bike *b : race.bike)
            n += b != nullptr;
        return n;
    }
};

}  // namespace

TEST_F(ResetTest, LineupsFromTheGateChoices) {
    types[2] = types[5] = START_HUMAN;
    types[7] = START_ROBOT;
    ASSERT_TRUE(reset());
    EXPECT_EQ(race.controller[2], CONTROL_LOCAL);
    EXPECT_EQ(race.bike[5], nullptr);   // the second "Human" starts empty
    EXPECT_EQ(race.controller[7], CONTROL_ROBOT);
    EXPECT_EQ(race.viewed, 2);
    EXPECT_EQ(riders(), 2);
    EXPECT_EQ(race.standings_count, 2);
    EXPECT_EQ(physics_step_count(), 0);
    EXPECT_GE(physics_race_start(), 13 * 128);
    EXPECT_LT(physics_race_start(), 15 * 128);

    // Nobody at all: a robot rides in slot 0 so that something moves.
    for (int &t : types) t = START_EMPTY;
    ASSERT_TRUE(reset());
    EXPECT_EQ(riders(), 1);
    ASSERT_NE(race.bike[0], nullptr);
    EXPECT_EQ(race.controller[0], CONTROL_ROBOT);
}

TEST_F(ResetTest, TwoStrokeRobotsUntilTheRosterRunsOut) {
    for (int i = 0; i < START_GATES; i++)
        types[i] = START_ROBOT_2_STROKE;
    ASSERT_TRUE(reset());
    int two_strokes = 0;
    for (int slot = 0; slot < 20; slot++)
        two_strokes += strstr(bike_model_name(race.bike[slot]), "125") != nullptr;
    EXPECT_EQ(two_strokes, 20);
    // Twenty robots ride 125s; the 21st takes whatever comes next.
    ASSERT_NE(race.bike[20], nullptr);
    EXPECT_EQ(strstr(bike_model_name(race.bike[20]), "125"), nullptr);
    // By number: the robot with that plate.
    for (int &t : types) t = START_EMPTY;
    types[0] = START_ROBOT_NUMBER + 77;
    types[1] = START_ROBOT_4_STROKE;
    ASSERT_TRUE(reset());
    EXPECT_STREQ(bike_plate_text(race.bike[0]), "77");
    EXPECT_NE(strstr(bike_model_name(race.bike[1]), "250"), nullptr);
    // Short model names take their 2008 models: robot 77 rides a "yz250f".
    EXPECT_STREQ(bike_model_name(race.bike[0]), "yz250f(2008)");
}

TEST_F(ResetTest, SameStepCountSameRobotOrder) {
    int a[ROSTER_SIZE], b[ROSTER_SIZE], c[ROSTER_SIZE];
    roster_shuffle(4321, a);
    roster_shuffle(4321, b);
    roster_shuffle(4322, c);
    EXPECT_EQ(memcmp(a, b, sizeof a), 0);
    EXPECT_NE(memcmp(a, c, sizeof a), 0);
    std::vector<int> sorted(a, a + ROSTER_SIZE);
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < ROSTER_SIZE; i++)
        EXPECT_EQ(sorted[size_t(i)], i);

    for (int i = 0; i < 6; i++) types[i] = START_ROBOT;
    std::string plates[2];
    for (std::string &p : plates) {
        physics_set_step_count(999);
        ASSERT_TRUE(reset());
        for (int i = 0; i < 6; i++)
            p += std::string(bike_plate_text(race.bike[i])) + " ";
    }
    EXPECT_EQ(plates[0], plates[1]);
}

TEST_F(ResetTest, SlotsFillTheStartGatesRowByRow) {
    ASSERT_TRUE(reset());   // the track is loaded and kept
    Timing saved = track_get()->timing;
    Timing *t = &track_get()->timing;
    t->start_count = 3;
    for (int g = 0; g < 3; g++) {
        t->start_pos[g] = vec3(600.0f + 20.0f * float(g), 0, 500);
        t->start_heading[g] = 0.3f;
    }
    types[4] = START_ROBOT;
    int ok = reset();
    track_get()->timing = saved;
    ASSERT_TRUE(ok);
    Vec3 p = bike_position(race.bike[4]);
    // Slot 4: second gate, row 1, 10.625 ft behind it along the gate's direction.
    EXPECT_NEAR(p.x, 620.0f + std::sin(0.3f) * 10.625f, 0.01f);
    EXPECT_NEAR(p.z, 500.0f + std::cos(0.3f) * 10.625f, 0.01f);
    EXPECT_FALSE(step_bike_touches(race.bike[4]));
}

TEST_F(ResetTest, TimeTrialStartsWithTheGateDownBeforeTheFinish) {
    ASSERT_TRUE(race_time_trial());
    EXPECT_TRUE(race.time_trial);
    EXPECT_EQ(physics_step_count(), TIME_TRIAL_START_STEPS);
    EXPECT_LT(physics_race_start(), physics_step_count());
    EXPECT_EQ(riders(), 1);
    ASSERT_EQ(race.controller[0], CONTROL_LOCAL);
    int a = first_lap_entries();
    EXPECT_EQ(race.bike[0]->next_lap_entry, a - 1);
    const Gate *g = &track_get()->timing.gates[lap_entry_gate(a - 2, nullptr)];
    Vec3 p = bike_position(race.bike[0]);
    EXPECT_LT(std::hypot(p.x - g->pos.x, p.z - g->pos.z), 0.01f);
}

TEST_F(ResetTest, NewRaceRotatesTheGatesForTheNext) {
    for (int i = 0; i < START_GATES; i++)
        settings.slot[i].index = START_EMPTY;
    settings.slot[0].index = START_HUMAN;
    settings.slot[39].index = START_ROBOT;
    settings.laps.value = 2;
    startup.rotate_lineup = 1;
    ASSERT_TRUE(race_new());
    EXPECT_EQ(race.controller[0], CONTROL_LOCAL);
    EXPECT_EQ(race.controller[39], CONTROL_ROBOT);
    EXPECT_EQ(race.laps, 2);
    EXPECT_EQ(settings.slot[1].index, START_HUMAN);
    EXPECT_EQ(settings.slot[0].index, START_EMPTY);   // slot 39's robot went to slot 40
}

TEST_F(ResetTest, RobotsWaitAtTheGateUntilItDrops) {
    types[0] = START_ROBOT;
    types[1] = START_ROBOT;
    ASSERT_TRUE(reset());
    Vec3 start = bike_position(race.bike[0]);
    while (physics_step_count() < physics_race_start())
        step_all();
    Vec3 end = bike_position(race.bike[0]);
    EXPECT_LT(std::hypot(end.x - start.x, end.z - start.z), 1.0f);
    EXPECT_FALSE(bike_crashed(race.bike[0]));
    EXPECT_FALSE(bike_crashed(race.bike[1]));
}

TEST_F(ResetTest, PauseStepAndViewKeys) {
    types[0] = START_HUMAN;
    types[1] = START_ROBOT;
    ASSERT_TRUE(reset());
    EXPECT_FALSE(step_step_key());   // only while paused
    step_pause_key();
    step_run();
    EXPECT_EQ(physics_step_count(), 0);
    EXPECT_TRUE(step_step_key());
    EXPECT_EQ(physics_step_count(), 1);
    step_pause_key();
    EXPECT_FALSE(step_view_key(1));  // the player's own bike is viewed
    settings.spy = 1;
    EXPECT_TRUE(step_view_key(1));
    EXPECT_FALSE(step_view_key(1));  // no wrap-around at the end
    EXPECT_TRUE(step_view_key(-1));
    EXPECT_FALSE(step_rewind_key()); // no playback
}

TEST_F(ResetTest, ScriptedRiderDemoPlaysBackTheSameCrossings) {
    types[0] = START_HUMAN;
    ASSERT_TRUE(reset(1));
    Bike *bike = race.bike[0];
    bike_set_clutch(bike, 1);
    // Part throttle from the gate drop and two shifts up.
    const int steps = 22 * 128;   // the bike stays on the track square
    for (int i = 0; i < steps; i++) {
        bike_set_throttle(bike, physics_step_count() > physics_race_start() ? 0.6f : 0.0f);
        if (i == 17 * 128 || i == 19 * 128) bike_shift(bike, 1);
        else bike_shift(bike, 0);
        step_all();
    }
    std::vector<int> recorded;
    for (int k = 0; k < rider_progress(bike); k++)
        recorded.push_back(rider_crossing(bike, k));
    ASSERT_GE(recorded.size(), 1u) << "the scripted ride crosses a gate";
    Vec3 end = bike_position(bike);

    race_set_playback_name("@demos/default.qzdemo");
    ASSERT_TRUE(race_playback(0));
    ASSERT_TRUE(demo_playing());
    ASSERT_NE(race.bike[0], nullptr);
    EXPECT_EQ(race.controller[0], CONTROL_OUTSIDE);
    EXPECT_STREQ(bike_plate_text(race.bike[0]), settings.setup.number.text);
    for (int i = 0; i < steps; i++)
        step_all();
    Bike *ghost = race.bike[0];
    ASSERT_EQ(rider_progress(ghost), int(recorded.size()));
    for (size_t k = 0; k < recorded.size(); k++)
        EXPECT_NEAR(rider_crossing(ghost, int(k)), recorded[k], 1) << "entry " << k;
    Vec3 played = bike_position(ghost);
    EXPECT_LT(std::hypot(played.x - end.x, played.z - end.z), 0.5f);
}

// A record holds the state the recorded rider's gate was checked on in the same step, so a
// rider that crept over a gate line and stopped there is seen across it at the recorded
// step, not a step later when the next record comes in.
TEST_F(ResetTest, RiderThatCreptOverAGateLineCrossesItAtTheRecordedStep) {
    types[0] = START_HUMAN;
    ASSERT_TRUE(reset());
    Bike *bike = race.bike[0];
    const Gate *gate = &track_get()->timing.gates[lap_entry_gate(0, nullptr)];
    float length = std::hypot(gate->dir.x, gate->dir.z);
    ASSERT_GT(length, 0.0f);
    float nx = gate->dir.x / length, nz = gate->dir.z / length;
    auto wheel_past_line = [&](float d) {
        const dReal *w = dBodyGetPosition(bike->body[BODY_FRONT_WHEEL]);
        bike_translate(bike, gate->pos.x + d * nx - float(w[0]), 0,
                       gate->pos.z + d * nz - float(w[2]));
        uint8_t record[SNAPSHOT_BYTES];
        snapshot_pack(bike, physics_terrain(), record);
        return std::string(reinterpret_cast<char *>(record), sizeof record);
    };
    std::string behind = wheel_past_line(-1.0f), past = wheel_past_line(0.25f);
    const int first_past = 300;
    std::string demo = "QZ05 1 0 1 1792\nrabbithill\n" + std::string(bike_model_name(bike)) + "||||\n7\n";
    for (int k = 0; k < first_past + 100; k++)
        demo += k < first_past ? behind : past;
    home.write("Rutmoor/demos/crept.qzdemo", demo);

    race_set_playback_name("@demos/crept.qzdemo");
    ASSERT_TRUE(race_playback(0));
    Bike *ghost = race.bike[0];
    ASSERT_NE(ghost, nullptr);
    while (physics_step_count() < first_past + 50)
        step_all();
    ASSERT_GE(rider_progress(ghost), 1);
    // The record of the first step past the line is written at the end of the step before.
    EXPECT_EQ(rider_crossing(ghost, 0), first_past - 1);
}

TEST_F(ResetTest, RaceAgainstTheDefaultDemoRecordsNothing) {
    types[0] = START_ROBOT;
    ASSERT_TRUE(reset(1));
    for (int i = 0; i < 64; i++)
        step_all();
    demo_record_close();
    std::string demo = read_whole_file(home.at("Rutmoor/demos/default.qzdemo"));
    ASSERT_FALSE(demo.empty());
    settings.record.index = 1;
    settings.slot[3].index = START_HUMAN;
    ASSERT_TRUE(race_playback(1));
    EXPECT_TRUE(demo_playing());
    EXPECT_FALSE(demo_recording());
    EXPECT_EQ(race.controller[3], CONTROL_LOCAL);
    ASSERT_NE(race.bike[0], nullptr);   // the recorded robot, in the first empty slot
    EXPECT_EQ(race.controller[0], CONTROL_OUTSIDE);
    for (int i = 0; i < 64; i++)
        step_all();
    EXPECT_EQ(read_whole_file(home.at("Rutmoor/demos/default.qzdemo")), demo);
}

TEST_F(ResetTest, BackingUpAbortsTheTimeTrialAttempt) {
    ASSERT_TRUE(race_time_trial());
    Bike *rider = race.bike[0];
    Vec3 start = bike_position(rider);
    bike_translate(rider, 40, 0, 40);
    EXPECT_FALSE(step_time_trial_backup(0.4f));
    settings.time_trial_abort.index = 0;
    EXPECT_FALSE(step_time_trial_backup(1.0f));
    settings.time_trial_abort.index = 1;
    EXPECT_TRUE(step_time_trial_backup(1.0f));
    Vec3 back = bike_position(rider);
    EXPECT_LT(std::hypot(back.x - start.x, back.z - start.z), 0.01f);
    EXPECT_EQ(rider->next_lap_entry, first_lap_entries() - 1);
}

TEST_F(ResetTest, WarpRestartMovesEveryRiderOneSlotOn) {
    types[0] = START_ROBOT;
    types[RIDER_SLOTS - 1] = START_HUMAN;
    ASSERT_TRUE(reset());
    EXPECT_FALSE(step_warp_check());   // not in warp mode
    ASSERT_TRUE(race_warp_restart());
    EXPECT_EQ(race.controller[0], CONTROL_LOCAL);   // slot 159's rider wrapped to slot 0
    EXPECT_EQ(race.controller[1], CONTROL_ROBOT);
    EXPECT_EQ(race.bike[RIDER_SLOTS - 1], nullptr);
}

TEST_F(ResetTest, DemoOfATrackNotInstalledGivesARaceWithoutPlayback) {
    home.write("Rutmoor/demos/default.qzdemo", "QZ05 1 0 3 1500\n../../elsewhere\nyz125||||\n5\n");
    ASSERT_TRUE(race_playback(0));
    EXPECT_FALSE(demo_playing());
    EXPECT_STREQ(track_get()->name, "rabbithill");
    EXPECT_EQ(race.controller[0], CONTROL_ROBOT);   // nobody recorded: a robot rides
}
