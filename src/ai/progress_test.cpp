// Gate progress: which checkpoint a rider passes, skips, going back, the lap's finish that
// cannot be skipped, and when a rider's race ends.
#include "ai/progress.h"

#include "race/race_test_support.h"

namespace {

// Checkpoints at x = 100 i on the z = 0 line, passed by moving towards -z.
struct ProgressTest : RaceFixture {
    Bike *bike = nullptr;
    void SetUp() override {
        RaceFixture::SetUp();
        ASSERT_EQ(physics_init(), 1);
        bike = made(0);
    }
    void TearDown() override {
        for (int slot = 0; slot < RIDER_SLOTS; slot++) {
            bike_destroy(race.bike[slot]);
            race.bike[slot] = nullptr;
        }
        physics_shutdown();
        RaceFixture::TearDown();
    }
    Bike *made(int slot) {
        Bike *b = bike_create("yz125", slot, "1", nullptr, nullptr, nullptr, nullptr);
        race.bike[slot] = b;
        race.controller[slot] = CONTROL_ROBOT;
        return b;
    }
    // One step with the front wheel at gate g's x, before (z > 0) or past (z <= 0) its line.
    void step_at(Bike *b, float gate, float z) {
        physics_set_step_count(physics_step_count() + 1);
        dBodySetPosition(b->body[BODY_FRONT_WHEEL], 100.0f * gate, 0, z);
        gate_progress_step(b);
    }
    std::vector<int> crossings(const Bike *b) {
        std::vector<int> out;
        for (int k = 0; k < rider_progress(b); k++)
            out.push_back(rider_crossing(b, k));
        return out;
    }
};

}  // namespace

TEST_F(ProgressTest, CrossingsSkipsAndTheUnskippableFinish) {
    step_at(bike, 0, 5);           // before gate 0: nothing
    EXPECT_EQ(rider_progress(bike), 0);
    step_at(bike, 0, -1);          // step 2: gate 0
    step_at(bike, 0, -2);          // still inside gate 0: offset -1 is never tested again
    step_at(bike, 2, -1);          // step 4: gate 2, skipping gate 1
    EXPECT_EQ(crossings(bike), (std::vector<int>{2, -1, 4}));
    EXPECT_EQ(bike->next_lap_entry, 3);
    // Going back for the skipped gate 1 (offset -2) moves the next entry back.
    step_at(bike, 1, -1);          // step 5
    EXPECT_EQ(crossings(bike), (std::vector<int>{2, 5, 4}));
    EXPECT_EQ(bike->next_lap_entry, 2);
    // Gate 3 ends the first lap: it cannot be skipped to reach the next lap's gate 0 or 1.
    step_at(bike, 2, -1);          // step 6: gate 2 again
    step_at(bike, 0, -1);          // entry 4 (gate 0) is beyond the unrecorded finish
    step_at(bike, 1, -1);
    EXPECT_EQ(rider_progress(bike), 3);
    step_at(bike, 3, -1);          // step 9: the finish
    EXPECT_EQ(crossings(bike), (std::vector<int>{2, 5, 6, 9}));
    EXPECT_EQ(completed_laps(bike), 1);
    EXPECT_EQ(race.standings_count, 1);   // the bookkeeping ran
}

TEST_F(ProgressTest, RaceEndsAtTheLapCountOrWhenTheWinnerIsIn) {
    race_set_length(0, 2);
    Bike *other = made(1);
    for (int g = 0; g < 4; g++) {
        step_at(bike, float(g), -1);
        step_at(other, float(g), -1);
    }
    EXPECT_EQ(bike->finished, 0);
    for (int g = 0; g < 4; g++)
        step_at(bike, float(g), -1);
    EXPECT_EQ(bike->finished, 1);   // two laps
    // The leader is in: the other rider finishes at the end of its current lap.
    step_at(other, 0, -1);
    EXPECT_EQ(other->finished, 0);
    for (int g = 1; g < 4; g++)
        step_at(other, float(g), -1);
    EXPECT_EQ(other->finished, 1);
    EXPECT_TRUE(race.results_final);
    // A finished rider records nothing more.
    int progress = rider_progress(bike);
    step_at(bike, 0, -1);
    EXPECT_EQ(rider_progress(bike), progress);
}

TEST_F(ProgressTest, LapCountZeroEndsAtTheFirstCompletedLap) {
    race_set_length(0, 0);
    for (int g = 0; g < 4; g++)
        step_at(bike, float(g), -1);
    EXPECT_EQ(bike->finished, 1);
}

TEST_F(ProgressTest, LearnerHearsLineGatesAndStoppedCrossings) {
    static int line_gates, cancels, samples;
    line_gates = cancels = samples = 0;
    ProgressLearner learner = {};
    learner.sample = [](Bike *) { samples++; };
    learner.cancel = [](Bike *, int) { cancels++; };
    learner.line_gate = [](Bike *, int, int) { line_gates++; };
    progress_set_learner(&learner);
    track_get()->timing.lap_order[1] = 1 + LAP_ENTRY_FLAGGED;   // entry 1 is no line gate
    step_at(bike, 0, -1);
    bike->stopped = 1;
    step_at(bike, 1, -1);
    EXPECT_EQ(bike->stopped, 0);
    step_at(bike, 1, 5);
    progress_set_learner(nullptr);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(line_gates, 1);
    EXPECT_EQ(cancels, 1);
}

TEST_F(ProgressTest, NoTimingNoProgress) {
    timing_clear(&track_get()->timing);
    step_at(bike, 0, -1);
    EXPECT_EQ(rider_progress(bike), 0);
}
