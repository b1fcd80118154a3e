// Race timing: standings order, laps, timed races, cutting penalties, the race-over rule.
#include "race/timing.h"

#include "race/race_test_support.h"

using TimingTest = RaceFixture;

TEST_F(TimingTest, StandingsOrderByProgressThenEarliestCrossingThenSlot) {
    struct Case {
        StandingsEntry a, b;
        int a_first;
    } cases[] = {
        {{5, 6, 900}, {2, 5, 100}, 1},   // more progress wins whatever the time
        {{5, 6, 300}, {2, 6, 200}, 0},   // equal progress: earlier last crossing wins
        {{5, 6, 200}, {2, 6, 200}, 0},   // equal steps: lower slot wins
        {{1, 0, 0}, {7, 0, 0}, 1},       // nobody crossed anything: by slot
    };
    for (const Case &c : cases) {
        EXPECT_EQ(standings_compare(&c.a, &c.b) < 0, c.a_first == 1) << c.a.slot << " vs " << c.b.slot;
        EXPECT_EQ(standings_compare(&c.b, &c.a) < 0, c.a_first == 0) << c.a.slot << " vs " << c.b.slot;
    }
    rider(3, {100, 200});
    rider(1, {100, 250});
    rider(2, {100, 200});
    rider(0, {100});
    standings_build();
    ASSERT_EQ(race.standings_count, 4);
    int order[] = {2, 3, 1, 0};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(race.standings[i].slot, order[i]);
}

TEST_F(TimingTest, LapsTimesAndBestLapSkipTheFirstLap) {
    physics_set_race_start(1000);
    // Lap 1 ends at entry 3, lap 2 at 7, lap 3 at 11.
    Bike *bike = rider(0, {1100, 1200, 1300, 2000, 2100, 2200, 2300, 2900, 3000, 3100, 3200, 3800});
    EXPECT_EQ(completed_laps(bike), 3);
    EXPECT_EQ(lap_steps(bike, 1), 1000);   // from the gate drop
    EXPECT_EQ(lap_steps(bike, 2), 900);
    EXPECT_EQ(lap_steps(bike, 3), 900);
    EXPECT_EQ(best_lap(bike), 2);          // the earlier of two equal laps
    EXPECT_FLOAT_EQ(lap_time(bike, 2), 900.0f / 128.0f);
    EXPECT_EQ(lap_steps(bike, 4), 0);

    Bike *one = rider(1, {1100, 1200, 1300, 1400});
    EXPECT_EQ(completed_laps(one), 1);
    EXPECT_EQ(best_lap(one), 0);           // the first lap never counts
    Bike *skipped = rider(2, {1100, 1200, 1300, 1400, 2000, 2100, 2200, -1});
    EXPECT_EQ(lap_steps(skipped, 2), 0);   // a lap ending on a skipped entry has no time
    EXPECT_EQ(best_lap(skipped), 0);
}

TEST_F(TimingTest, LapsOnlyRaceKnowsHalfwayAndTotalAtOnce) {
    race_set_length(0, 5);
    EXPECT_EQ(race.halfway_lap, 3);
    EXPECT_EQ(race.total_laps, 5);
    race_set_length(0, 4);
    EXPECT_EQ(race.halfway_lap, 2);
    race_set_length(10 * 60 * 128, 4);
    EXPECT_EQ(race.halfway_lap, LAPS_UNKNOWN);
    EXPECT_EQ(race.total_laps, LAPS_UNKNOWN);
}

TEST_F(TimingTest, TimedRaceDecidesHalfwayAndTotalLapsFromTheLeader) {
    const int t = 10 * 60 * 128;
    for (int laps : {0, 2}) {
        race_clear();
        race_set_length(t, laps);
        std::vector<int> crossings;
        // Seven laps by the time limit (4 + 6 * 4 entries), lap 3 done by half time.
        for (int k = 0; k < 4 + 6 * 4; k++)
            crossings.push_back(1000 + k * 1000);
        Bike *leader = rider(0, crossings);
        rider(1, {1500});
        physics_set_step_count(t / 2);
        // At half time the leader has completed (progress - 4) / 4 + 1 laps of what it has.
        leader->crossings.count = 12;
        race_bookkeeping();
        EXPECT_EQ(race.halfway_lap, 3 + 1);
        leader->crossings.count = int(crossings.size());
        physics_set_step_count(t);
        race_bookkeeping();
        EXPECT_EQ(race.total_laps, 7 + laps + 1) << "laps " << laps;
        // The leader ends the lap in progress after the time ran out: no further lap.
        int end = lap_end_entry(race.total_laps - laps);
        while (leader->crossings.count <= end) {
            int step = t + 500;
            array_push(&leader->crossings, &step);
        }
        race_bookkeeping();
        EXPECT_EQ(race.total_laps, 7 + laps + 1);
    }
}

TEST_F(TimingTest, TimedRaceRunsOneMoreLapWhenTheDecidingLapEndedInTime) {
    const int t = 1000;
    race_set_length(t, 0);
    Bike *leader = rider(0, {100, 200, 300, 400});   // one lap done before the time
    physics_set_step_count(t);
    race_bookkeeping();
    EXPECT_EQ(race.total_laps, 2);
    // The end of lap total - L (entry 7) was crossed before the time ran out: one lap more.
    for (int step : {500, 600, 700, 800}) array_push(&leader->crossings, &step);
    race_bookkeeping();
    EXPECT_EQ(race.total_laps, 3);
}

TEST_F(TimingTest, CuttingPenaltyChargesTheMissingTimePlusOneSecond) {
    physics_set_race_start(0);
    // Two riders take 20 s from entry 1 to entry 3; the cutter skips entry 2 and takes 5 s.
    rider(0, {100, 1000, 2000, 1000 + 20 * 128});
    rider(1, {100, 2000, 3000, 2000 + 20 * 128});
    Bike *cutter = rider(2, {100, 1000, -1, 1000 + 5 * 128});
    standings_build();
    EXPECT_EQ(expected_stretch_time(1, 3), 20 * 128);
    EXPECT_EQ(cutting_penalty(cutter), 16 * 128);
}

TEST_F(TimingTest, StretchNobodyRodeCleanlyIsWorthSixtyOneSeconds) {
    Bike *cutter = rider(0, {100, -1, -1, 200});
    standings_build();
    EXPECT_EQ(expected_stretch_time(0, 3), NO_STRETCH_STEPS);
    EXPECT_EQ(cutting_penalty(cutter), 61 * 128 - 100);
}

TEST_F(TimingTest, StretchInLaterLapsAveragesEveryCompletedLap) {
    // Entries 5 -> 7 (second lap) and 9 -> 11 (third lap) take 10 s and 20 s.
    std::vector<int> c = {100, 200, 300, 400, 500, 1000, 1500, 1000 + 1280, 3000, 4000, 4500, 4000 + 2560};
    rider(0, c);
    standings_build();
    EXPECT_EQ(expected_stretch_time(9, 11), 15 * 128);
    EXPECT_EQ(expected_stretch_time(5, 7), 15 * 128);
}

TEST_F(TimingTest, BigPenaltyCostsWholeBestLaps) {
    race_set_length(0, 4);
    const int s = 128, lap = 90 * s, quarter = lap / 4;
    // The cutter skips entry 2 and reaches entry 3 5 s after entry 1, where a clean rider
    // took 204 s: a penalty of 205 - 5 = 200 s against laps of 90 s.
    std::vector<int> clean = {10 * s, 20 * s, 100 * s, 224 * s};
    std::vector<int> cutter = {10 * s, 20 * s, -1, 25 * s};
    for (int k = 4; k < 16; k++) {
        clean.push_back(clean[3] + (k - 3) * quarter);
        cutter.push_back(cutter[3] + (k - 3) * quarter);
    }
    rider(0, clean, 1);
    Bike *b = rider(1, cutter, 1);
    standings_build();
    EXPECT_EQ(cutting_penalty(b), 200 * s);
    ASSERT_EQ(lap_steps(b, best_lap(b)), lap);
    race_bookkeeping();
    ASSERT_TRUE(race.results_final);
    const StandingsEntry *e = race.final_order[0].slot == 1 ? &race.final_order[0] : &race.final_order[1];
    EXPECT_EQ(e->progress, 16 - 2 * 4);   // two laps taken away (-180 s)
    EXPECT_EQ(e->step, cutter[15] + 20 * s);
    EXPECT_EQ(race.final_penalty[1], 20 * s);
    EXPECT_EQ(race.final_order[0].slot, 0);
}

TEST_F(TimingTest, ResultsWaitForEveryRiderAndAreComputedOnce) {
    int finals = 0;
    static int *counter;
    counter = &finals;
    race_set_final_hook([] { (*counter)++; });
    rider(0, {100, 200, 300, 400}, 1);
    Bike *robot = rider(1, {150, 250});
    race_bookkeeping();
    EXPECT_FALSE(race.results_final);   // a robot still racing holds the results
    robot->finished = 1;
    race_bookkeeping();
    EXPECT_TRUE(race.results_final);
    EXPECT_EQ(finals, 1);
    race_bookkeeping();
    EXPECT_EQ(finals, 1);
}
