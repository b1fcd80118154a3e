// Racing-line table tests: storing recorded stretches, eviction, the lines files, thinning
// and the chain costs that pick the best line.
#include "ai/lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bike/bike.h"
#include "files/data.h"
#include "testsupport/testsupport.h"
#include "track/gates.h"

namespace {

// A track whose first lap has line gates 0 and 1 (and a timing-only gate between) and whose
// normal lap has gates 2 and 0: F = 2, N = 2, rows 0..3.
struct LinesFixture : ::testing::Test {
    Timing timing{};
    void SetUp() override {
        timing_clear(&timing);
        timing.gate_count = 3;
        const int order[] = {0, LINE_GATE_FLAG + 2, 1, 2, 0};
        for (int i = 0; i < 5; i++)
            timing.lap_order[i] = order[i];
        timing.first_lap_len = 3;
        timing.normal_lap_len = 2;
        lines_init(&timing, "testtrack");
        lines_set_learning(1);
        ASSERT_NE(lines_table(), nullptr);
    }
    void TearDown() override {
        lines_free();
        lines_set_learning(0);
    }
};

// n points along x from (x0, 0, z), 2 ft apart, at speed.
std::vector<LinePoint> straight(float x0, float z, int n, float speed) {
    std::vector<LinePoint> out;
    for (int i = 0; i < n; i++)
        out.push_back(LinePoint{x0 + 2.0f * float(i), 0, z, speed, 0});
    return out;
}

// Fills a slot directly with points and statistics.
LineSegment *put(int row, int slot, const std::vector<LinePoint> &pts, int through, int tested,
                 int fails, int through_sum) {
    LineSegment *s = line_segment(row, slot);
    free(s->points);
    s->points = static_cast<LinePoint *>(malloc(pts.size() * sizeof(LinePoint)));
    std::copy(pts.begin(), pts.end(), s->points);
    s->count = int(pts.size());
    s->own_time = s->through_time = through;
    s->tested = tested;
    s->fails = fails;
    s->through_sum = s->own_sum = through_sum;
    s->id = ++lines_table()->next_id;
    return s;
}

int used(int row) {
    int n = 0;
    for (int i = 0; i < SEGMENT_SLOTS; i++)
        n += line_segment(row, i)->count > 0;
    return n;
}

TEST_F(LinesFixture, LineGatesMapToRowsAndRepeatOverLaps) {
    // Entries: 0 (gate), 1 (timing only), 2 (gate) | lap: 3, 4 | 5, 6 ...
    const int counts[][2] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {7, 6}};
    for (const auto &c : counts)
        EXPECT_EQ(line_gate_count(c[0]), c[1]) << "entries " << c[0];
    const int rows[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 2}, {5, 3}, {10, 2}};
    for (const auto &r : rows)
        EXPECT_EQ(line_row(r[0]), r[1]) << "gate " << r[0];
}

TEST_F(LinesFixture, NoTableWithoutLineGatesInBothLists) {
    timing.lap_order[3] = LINE_GATE_FLAG + 2;
    timing.lap_order[4] = LINE_GATE_FLAG;
    lines_init(&timing, "testtrack");
    EXPECT_EQ(lines_table(), nullptr);
    EXPECT_EQ(lines_store(0, straight(0, 0, 5, 10).data(), 5, 100, 200), -1);
}

TEST_F(LinesFixture, ReplayedLapIsRejectedAsDuplicate) {
    std::vector<LinePoint> lap = straight(0, 0, 8, 30);
    EXPECT_EQ(lines_store(1, lap.data(), 8, 300, 600), 0);
    EXPECT_EQ(lines_store(1, lap.data(), 8, 300, 600), -1);
    // Within the tolerances it is still the same lap; beyond them it is a new one.
    lap[3].speed += 0.06f;
    lap[5].x += 0.05f;
    EXPECT_EQ(lines_store(1, lap.data(), 8, 300, 600), -1);
    lap[3].speed += 0.1f;
    EXPECT_EQ(lines_store(1, lap.data(), 8, 300, 600), 1);
    EXPECT_EQ(used(1), 2);
}

TEST_F(LinesFixture, UntestedSlotIsReplacedOnlyByAFastEnoughLap) {
    // A full row of untested slots with through time T; lines start close together, so no
    // slot counts as a lone line.
    struct Case {
        int t, fails, b;
        bool replaced;
    };
    const Case cases[] = {
        {1000, 0, 1000, true},  {1000, 0, 1001, false}, {1000, 1, 1512, true},
        {1000, 1, 1513, false}, {800, 0, 600, true},
    };
    for (const Case &c : cases) {
        lines_clear();
        for (int i = 0; i < SEGMENT_SLOTS; i++)
            put(2, i, straight(0, 0.1f * float(i), 5, 20), c.t, 0, c.fails, 0);
        std::vector<LinePoint> lap = straight(0, 50, 5, 20);
        int slot = lines_store(2, lap.data(), 5, c.b / 2, c.b);
        EXPECT_EQ(slot >= 0, c.replaced) << "T " << c.t << " fails " << c.fails << " B " << c.b;
        if (slot >= 0) {
            const LineSegment *s = line_segment(2, slot);
            EXPECT_EQ(s->through_time, c.b);
            EXPECT_EQ(s->tested, 0);
            EXPECT_EQ(s->best_own, SEGMENT_NO_TIME);
        }
    }
}

TEST_F(LinesFixture, FullRowAlwaysGivesAVictimAndProtectsGoodSlotsWhenFew) {
    for (unsigned seed = 1; seed <= 20; seed++) {
        lines_clear();
        unsigned r = seed;
        auto next = [&r] { return r = r * 1103515245u + 12345u, int((r >> 8) % 1000); };
        int good = 0;
        for (int i = 0; i < SEGMENT_SLOTS; i++) {
            int tested = next() % 4 == 0 ? 0 : next() % 20;
            int fails = next() % 20;
            good += fails < tested;
            put(0, i, straight(0, float(next() % 3), 4, 20), 500 + next(), tested, fails,
                tested * (400 + next()));
        }
        int victim = segment_victim(0);
        ASSERT_GE(victim, 0) << "seed " << seed;
        const LineSegment *v = line_segment(0, victim);
        if (good < 23) {
            EXPECT_FALSE(v->fails < v->tested) << "seed " << seed;
        }
    }
}

TEST_F(LinesFixture, VictimIsTheSlowestAndTiesGoToTheLowerSlot) {
    for (int i = 0; i < 3; i++)
        put(3, i, straight(0, 0.5f * float(i), 4, 20), 1000, 0, 0, 0);
    EXPECT_EQ(segment_victim(3), 0);
    line_segment(3, 2)->through_time = 1200;
    EXPECT_EQ(segment_victim(3), 2);
    // A lone line far from every other start counts for three quarters of its time.
    put(3, 3, straight(100, 100, 4, 20), 1500, 0, 0, 0);
    EXPECT_EQ(segment_victim(3), 2);
}

TEST_F(LinesFixture, SegmentCostsBySkill) {
    LineSegment s{};
    struct Case {
        int tested, fails, own_sum, skill, cost;
    };
    const Case cases[] = {
        {5, 0, 5000, 0, 1000},    {4, 0, 4000, 0, 1000000}, {5, 5, 5000, 0, 1320},
        {7, 1, 7000, 1, 1091},    {1, 0, 900, 2, 900},      {0, 0, 0, 2, 1000000},
        {3, 1, 3000, 2, 1640},    {0, 0, 0, 3, 0},          {1, 0, 0, 3, 5000},
        {2, 3, 0, 3, 8000},       {1, 5, 0, 3, 100000},
    };
    for (const Case &c : cases) {
        s.tested = c.tested;
        s.fails = c.fails;
        s.own_sum = c.own_sum;
        EXPECT_EQ(segment_cost(&s, c.skill), c.cost)
            << c.tested << " " << c.fails << " skill " << c.skill;
    }
}

// Arc of a circle of radius 50 around the origin from angle a0, n points 0.1 rad apart.
std::vector<LinePoint> arc(float a0, int n, float speed) {
    std::vector<LinePoint> out;
    for (int i = 0; i < n; i++) {
        float a = a0 + 0.1f * float(i);
        out.push_back(LinePoint{50 * std::cos(a), 0, 50 * std::sin(a), speed, 0});
    }
    return out;
}

TEST_F(LinesFixture, SegmentsConnectOnTheArcTheyEndOn) {
    put(0, 0, arc(0, 10, 30), 100, 0, 0, 0);
    put(1, 0, arc(1.0f, 10, 30), 100, 0, 0, 0);        // continues the circle
    put(1, 1, arc(1.0f, 10, 50), 100, 0, 0, 0);        // faster start is fine
    put(1, 2, arc(1.0f, 10, 14), 100, 0, 0, 0);        // 16 ft/s slower is not
    std::vector<LinePoint> wide = arc(1.0f, 10, 30);
    for (LinePoint &p : wide) {                        // 5 ft outside the circle
        p.x *= 1.1f;
        p.z *= 1.1f;
    }
    put(1, 3, wide, 100, 0, 0, 0);
    EXPECT_TRUE(segments_connect(line_segment(0, 0), line_segment(1, 0)));
    EXPECT_TRUE(segments_connect(line_segment(0, 0), line_segment(1, 1)));
    EXPECT_FALSE(segments_connect(line_segment(0, 0), line_segment(1, 2)));
    EXPECT_FALSE(segments_connect(line_segment(0, 0), line_segment(1, 3)));
}

TEST_F(LinesFixture, AnalysisPicksTheCheapestConnectedLap) {
    // Around the circle: the normal lap is row 2 (angles 0..3) then row 3 (3..6.3); two
    // choices in row 2, the second faster; the first lap rows 0 and 1 lead into row 2.
    put(0, 0, arc(3.0f, 15, 30), 100, 5, 0, 5 * 900);
    put(1, 0, arc(4.5f, 18, 30), 100, 5, 0, 5 * 900);
    LineSegment *slow = put(2, 0, arc(0.0f, 31, 30), 100, 5, 0, 5 * 1200);
    LineSegment *fast = put(2, 1, arc(0.0f, 31, 31), 100, 6, 0, 6 * 1000);
    LineSegment *back = put(3, 0, arc(3.1f, 32, 30), 100, 5, 0, 5 * 1000);
    const ChainCosts *c = line_chain_costs(2, 2, 0);
    EXPECT_EQ(c->cost[1][1], 2000);
    EXPECT_EQ(c->cost[0][1], 2200);
    lines_analyze();
    for (int skill = 0; skill < LINE_SKILLS; skill++) {
        const BestLine *best = lines_best(skill);
        EXPECT_EQ(best->ids[2], fast->id);
        EXPECT_EQ(best->ids[3], back->id);
        EXPECT_EQ(best->ids[0], line_segment(0, 0)->id);
        EXPECT_EQ(best->ids[1], line_segment(1, 0)->id);
    }
    // Too few passes: the chain is still found, but not named best for novices.
    fast->tested = 4;
    fast->own_sum = 4 * 1000;
    lines_analyze();
    EXPECT_EQ(lines_best(0)->ids[2], slow->id);
}

TEST_F(LinesFixture, ThinningLeavesNormalLapRowsAlone) {
    // 45 lines crossing each other in a first-lap row and in a normal-lap row.
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        std::vector<LinePoint> pts = {{0, 0, float(i), 20, 0}, {40, 0, float(44 - i), 20, 0}};
        put(1, i, pts, 1000 + i, 0, 0, 0);
        put(3, i, pts, 1000 + i, 0, 0, 0);
    }
    lines_thin();
    EXPECT_LT(used(1), 44);
    EXPECT_EQ(used(3), SEGMENT_SLOTS);
}

struct LinesFileFixture : LinesFixture {
    TempDir home;
    ScopedEnv xdg{"XDG_DATA_HOME", home.path.c_str()};
    void SetUp() override {
        data_reset();
        LinesFixture::SetUp();
    }
    void TearDown() override {
        LinesFixture::TearDown();
        data_reset();
    }
    void write(const std::string &text) { home.write("Rutmoor/testtrack/lines_amateur", text); }
};

TEST_F(LinesFileFixture, SavedTableLoadsBackWithNewIds) {
    put(0, 0, straight(0, 0, 3, 25.5f), 700, 3, 1, 2100);
    put(0, 1, straight(0, 5, 4, -12.25f), 800, 0, 0, 0);
    put(3, 7, straight(9, 9, 2, 30), 900, 9, 2, 8100);
    lines_save("lines_amateur");
    std::string text = read_whole_file(home.at("Rutmoor/testtrack/lines_amateur"));
    EXPECT_EQ(text.rfind("ct03 4\n2\n3 700 700 3 1000000 1000000 2100 2100 1\n", 0), 0u) << text;
    lines_clear();
    EXPECT_EQ(lines_load("lines_amateur"), 3);
    EXPECT_EQ(used(0), 2);
    EXPECT_EQ(line_segment(3, 0)->count, 2);   // empty slots are not kept
    EXPECT_EQ(line_segment(3, 0)->fails, 2);
    EXPECT_FLOAT_EQ(line_segment(0, 1)->points[2].speed, -12.25f);
    EXPECT_GT(line_segment(0, 0)->id, 0);
    EXPECT_NE(line_segment(0, 0)->id, line_segment(0, 1)->id);
}

TEST_F(LinesFileFixture, NothingIsWrittenWithLearningOff) {
    put(0, 0, straight(0, 0, 3, 25), 700, 0, 0, 0);
    lines_set_learning(0);
    lines_save("lines_amateur");
    EXPECT_EQ(read_whole_file(home.at("Rutmoor/testtrack/lines_amateur")), "");
}

TEST_F(LinesFileFixture, OtherTracksFilesAndBrokenRecordsAreHandled) {
    struct Case {
        const char *text;
        int loaded;
    };
    const Case cases[] = {
        {"ct03 5\n1\n1 1 1 0 1 1 0 0 0\n[1 2 3] 4 5\n", 0},        // another track's count
        {"ct02 4\n1\n1 1 1 0 1 1 0 0 0\n[1 2 3] 4 5\n", 0},
        {"ct03 4\n2\n1 1 1 0 1 1 0 0 0\n[1 2 3] 4 5\n2 1 1 0 1 1 0 0 0\n[1 2 3] 4 5\n", 1},
        {"ct03 4\n1\n1 1 1 0 1 1 0\n", 0},                          // short record
        {"ct03 4\n1\n2000000000 1 1 0 1 1 0 0 0\n[1 2 3] 4 5\n", 0},   // count the file can't back
        {"ct03 4\n0\n1\n1 1 1 0 1 1 0 0 0\n[1 2 3] 4 5\n", 1},
    };
    for (const Case &c : cases) {
        lines_clear();
        write(c.text);
        EXPECT_EQ(lines_load("lines_amateur"), c.loaded) << c.text;
    }
}

TEST_F(LinesFileFixture, HugeCountsAreHalvedKeepingAverages) {
    write("ct03 4\n1\n1 100 200 200000 90 180 20000000 40000000 100000\n[0 0 0] 1 0\n");
    ASSERT_EQ(lines_load("lines_amateur"), 1);
    const LineSegment *s = line_segment(0, 0);
    EXPECT_EQ(s->tested, 50000);
    EXPECT_EQ(s->fails, 25000);
    EXPECT_EQ(s->own_sum, 50000 * 100);
    EXPECT_EQ(s->through_sum, 50000 * 200);
}

TEST_F(LinesFileFixture, MoreThanFortyFiveRecordsInARowAreSkipped) {
    std::string text = "ct03 4\n47\n";
    for (int i = 0; i < 47; i++)
        text += "1 " + std::to_string(100 + i) + " 1 0 1 1 0 0 0\n[1 2 3] 4 5\n";
    text += "1\n1 555 1 0 1 1 0 0 0\n[1 2 3] 4 5\n";
    write(text);
    EXPECT_EQ(lines_load("lines_amateur"), 46);
    EXPECT_EQ(used(0), SEGMENT_SLOTS);
    EXPECT_EQ(line_segment(1, 0)->own_time, 555);
}

}  // namespace

namespace {

// A ridden lap's crossings handed to the learner: entries 0 (line gate), 1 (timing only),
// 2 (line gate), then the normal lap 3 (line gate 2), 4 (line gate 0).
struct RecordingFixture : LinesFixture {
    std::unique_ptr<Bike> bike = std::make_unique<Bike>();
    LineRider *rider = nullptr;
    void SetUp() override {
        LinesFixture::SetUp();
        array_init(&bike->crossings, sizeof(int));
        bike->slot = 7;
        line_rider_reset(7, 0);
        rider = line_rider(7);
    }
    void TearDown() override {
        array_free(&bike->crossings);
        LinesFixture::TearDown();
    }
    // Crosses entry k at step; -1 marks it skipped.
    void cross(int k, int step) {
        while (bike->crossings.count <= k) {
            int none = -1;
            array_push(&bike->crossings, &none);
        }
        *array_get<int>(&bike->crossings, k) = step;
        if (step >= 0 && (k == 0 || k == 2 || k == 3 || k == 4))
            lines_gate_crossed(bike.get(), k, 0);
    }
    void fill(int buffer, int n, float z) {
        for (const LinePoint &p : straight(0, z, n, 25))
            array_push(&rider->buffer[buffer], &p);
    }
};

TEST_F(RecordingFixture, StretchesAreStoredAtTheGateAfterTheirEnd) {
    fill(0, 6, 0);             // start to line gate 0, with the wait at the gate
    cross(0, 2000);            // the first line gate stores nothing
    EXPECT_EQ(used(0), 0);
    EXPECT_EQ(rider->buffer[0].count, 6);
    fill(1, 5, 1);             // line gate 0 to line gate 1
    cross(1, 2300);
    cross(2, 2600);            // stores the start stretch into row 0: from step 0
    ASSERT_EQ(used(0), 1);
    EXPECT_EQ(line_segment(0, 0)->own_time, 2000);
    EXPECT_EQ(line_segment(0, 0)->through_time, 2600);
    EXPECT_EQ(rider->buffer[0].count, 0);   // emptied for the next stretch
    fill(0, 5, 2);
    cross(3, 2900);            // stores row 1: line gate 0 to 1, through to line gate 2
    ASSERT_EQ(used(1), 1);
    EXPECT_EQ(line_segment(1, 0)->own_time, 600);
    EXPECT_EQ(line_segment(1, 0)->through_time, 900);
}

TEST_F(RecordingFixture, MissedGatesAndCancelledStretchesStoreNothing) {
    fill(0, 6, 0);
    cross(0, 2000);
    fill(1, 5, 1);
    cross(1, -1);              // cut past the timing gate
    cross(2, 2600);
    EXPECT_EQ(used(0), 0);
    fill(0, 5, 2);
    cross(3, 2900);            // the span 0..3 still holds the skipped entry
    EXPECT_EQ(used(1), 0);
    fill(1, 5, 3);
    rider->cancel |= 1;        // a crash between line gates 1 and 2 (buffer 0)
    cross(4, 3200);
    EXPECT_EQ(used(2), 0);
    EXPECT_EQ(rider->cancel & 1, 0);   // cleared with the emptied buffer
    EXPECT_EQ(rider->buffer[1].count, 5);
}

}  // namespace
