// Auto-pilot tests, by riding: a robot on flat ground with a small line table; what it does
// at the gate, which segment it chooses, how it recovers when stuck, and that it rides a
// recorded line.
#include "ai/autopilot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ai/lines.h"
#include "bike/bike_test_support.h"
#include "race/timing.h"
#include "track/gates.h"

namespace {

// A flat field and a track of one line gate in each lap list: row 0 leads from the start to
// the gate, row 1 is the whole lap.
class AutopilotRide : public RideTest {
protected:
    TestGround ground{7, 4.0f};   // 1024 ft square
    Timing timing{};
    std::vector<Bike *> riders;

    void SetUp() override {
        RideTest::SetUp();
        timing_clear(&timing);
        timing.gate_count = 1;
        timing.lap_order[0] = 0;
        timing.lap_order[1] = 0;
        timing.first_lap_len = 1;
        timing.normal_lap_len = 1;
        lines_init(&timing, "circle");
        race_clear();
        autopilot_set_practice(0);
    }
    void TearDown() override {
        for (int i = 0; i < RIDER_SLOTS; i++)
            race.bike[i] = nullptr;
        lines_free();
        RideTest::TearDown();
    }
    Bike *robot(float x, float z, float heading, int personality) {
        Bike *bike = place("kx125", x, z, heading);
        race.bike[bike->slot] = bike;
        race.controller[bike->slot] = CONTROL_ROBOT;
        autopilot_reset(bike->slot, personality);
        return bike;
    }
    // One step of every robot, in the step driver's order.
    void step() {
        for (Bike *b : bikes)
            bike_collide(b);
        physics_step();
        for (Bike *b : bikes) {
            auto_pilot_step(b);
            bike_control_step(b, 1);
        }
        physics_set_step_count(physics_step_count() + 1);
    }
    void ride(float seconds) {
        for (int i = 0; i < int(seconds * 128); i++)
            step();
    }
    // The auto pilot's decisions alone at a race time, the bike held still.
    static void decide_at(Bike *bike, float seconds) {
        physics_set_step_count(int(seconds * 128));
        auto_pilot_step(bike);
    }
};

// Points around a circle of radius r about (cx, cz), ridden anticlockwise seen from above
// (turning left), from angle a0 over span radians, spaced by a quarter second at speed.
std::vector<LinePoint> circle(float cx, float cz, float r, float a0, float span, float speed) {
    std::vector<LinePoint> out;
    float step = speed * 0.25f / r;
    for (float a = 0; a <= span + 1e-4f; a += step) {
        float t = a0 - a;
        out.push_back(LinePoint{cx + r * std::cos(t), 0, cz + r * std::sin(t), speed, 0});
    }
    return out;
}

LineSegment *put(int row, int slot, const std::vector<LinePoint> &pts, int tested, int own_sum) {
    LineSegment *s = line_segment(row, slot);
    free(s->points);
    s->points = static_cast<LinePoint *>(malloc(pts.size() * sizeof(LinePoint)));
    std::copy(pts.begin(), pts.end(), s->points);
    s->count = int(pts.size());
    s->own_time = s->through_time = 1000;
    s->tested = tested;
    s->own_sum = s->through_sum = own_sum;
    s->id = ++lines_table()->next_id;
    return s;
}

// Row 0's only segment: a line north (-z) along x from z0, a point every 3 ft, its first
// point airborne so that nothing blends the bike into it.
void put_line_north(float x, float z0) {
    std::vector<LinePoint> pts;
    for (int i = 0; i < 40; i++)
        pts.push_back(LinePoint{x, 0, z0 - 3.0f * float(i), 20, 0});
    pts[0].speed = -20;
    put(0, 0, pts, 0, 0);
}

TEST_F(AutopilotRide, EmptyTableHoldsAtTheGate) {
    physics_set_race_start(128);
    Bike *bike = robot(500, 500, 0, 2);
    Vec3 start = bike_position(bike);
    ride(4);
    EXPECT_EQ(bike->front_brake, 1.0f);
    EXPECT_EQ(bike->rear_brake, 1.0f);
    EXPECT_EQ(bike->dab, 1.0f);
    EXPECT_LT(vec_length(bike_position(bike) - start), 1.0f);
}

TEST_F(AutopilotRide, FirstSegmentStartsTenFeetOut) {
    Bike *bike = robot(500, 500, 0, 1);
    Vec3 at = bike_position(bike);
    std::vector<LinePoint> pts;
    for (int i = 0; i < 20; i++)
        pts.push_back(LinePoint{at.x, at.y, at.z - 3.0f * float(i), 20, 0});
    put(0, 0, pts, 0, 0);
    step();
    const Pilot *p = autopilot_pilot(bike->slot);
    // The segment is joined at its first point more than 10 ft out, 12 ft: five copies of
    // that point, then the segment from there on.
    ASSERT_EQ(p->line.count, 5 + 16);
    EXPECT_EQ(p->target, 5);
    EXPECT_FLOAT_EQ(array_get<LinePoint>(&p->line, p->target)->z, at.z - 12);
    EXPECT_EQ(p->progress_step, 30 * 128);
    EXPECT_EQ(p->next_gate, 1);
    EXPECT_EQ(line_rider(bike->slot)->picked[0], line_segment(0, 0)->id);
}

TEST_F(AutopilotRide, RiderBesideTheRecordedStartPlaceRidesIntoTheLine) {
    // The first segment was recorded from the start place 13 ft to the left: standing
    // there until the drop, then away north (-z).
    physics_set_race_start(128);
    Bike *bike = robot(500, 500, 0, 1);
    Vec3 at = bike_position(bike);
    std::vector<LinePoint> pts(40, LinePoint{at.x - 13, at.y, at.z, 0.05f, 0});
    for (int i = 1; i <= 80; i++)
        pts.push_back(LinePoint{at.x - 13, at.y, at.z - 4.0f * float(i), 16, 0});
    put(0, 0, pts, 0, 0);
    ride(6);   // the gate drops after 1 s; riding begins by 6 s
    ride(6);
    const Pilot *p = autopilot_pilot(bike->slot);
    Vec3 now = bike_position(bike);
    EXPECT_EQ(p->recover, 0);
    EXPECT_FALSE(bike_crashed(bike));
    EXPECT_LT(now.z, at.z - 100);
    EXPECT_NEAR(now.x, at.x - 13, 3);
}

TEST_F(AutopilotRide, StuckRiderGoesCarefulThenPushedThenMovesItsTarget) {
    Bike *bike = robot(500, 500, 0, 1);
    // The line starts 200 ft ahead: the target is never within reach of a bike held still.
    put_line_north(500, 300);
    const Pilot *p = autopilot_pilot(bike->slot);
    auto at = [&](float seconds) { decide_at(bike, seconds); };
    at(0);
    int target = p->target;
    at(32.9f);
    EXPECT_EQ(p->recover, 0);
    at(33.1f);   // progress was set to 30 s: 3 s without reaching a point
    EXPECT_EQ(p->recover, 3);
    at(48.9f);
    EXPECT_EQ(p->pushed_seconds, 0.0f);   // careful riding until 19 s
    at(49.1f);
    EXPECT_GT(p->pushed_seconds, 0.0f);
    EXPECT_EQ(p->target, target);
    at(70.1f);   // 40 s: the target jumps to step count mod line length
    int now = int(70.1f * 128);
    EXPECT_EQ(p->target, now % p->line.count);
    EXPECT_EQ(p->progress_step, now);
}

TEST_F(AutopilotRide, PushedRiderBeyondItsTargetIsWalkedToTheLineBesideIt) {
    Bike *bike = robot(500, 500, 0, 1);
    // The line runs north 30 ft to the east; its start, and so the target, lie 90 ft behind.
    put_line_north(530, 600);
    const Pilot *p = autopilot_pilot(bike->slot);
    auto at = [&](float seconds) { decide_at(bike, seconds); };
    at(0);
    int target = p->target;
    at(33.1f);
    at(48.9f);
    EXPECT_EQ(p->target, target);
    at(49.1f);   // pushed: of the target and the next dozen points, the nearest
    EXPECT_EQ(p->target, target + 12);
}

TEST_F(AutopilotRide, CarefulRiderFacingAwayTurnsBackOntoItsLine) {
    // Stopped, facing south (+z), with the line leading north from beside it: careful
    // riding turns round at walking pace, rides into the line and back to normal riding.
    Bike *bike = robot(500, 500, 3.14159265f, 1);
    Vec3 at = bike_position(bike);
    std::vector<LinePoint> pts;
    for (int i = 0; i < 60; i++)
        pts.push_back(LinePoint{at.x - 10, at.y, at.z - 10 - 4.0f * float(i), 16, 0});
    put(0, 0, pts, 0, 0);
    physics_set_race_start(-10 * 128);   // the start procedure is long over
    physics_set_step_count(40 * 128);
    step();
    Pilot *p = autopilot_pilot(bike->slot);
    p->recover = 3;
    p->progress_step = physics_step_count();
    ride(12);
    EXPECT_EQ(p->pushed_seconds, 0.0f);
    EXPECT_EQ(p->recover, 0);
    EXPECT_FALSE(bike_crashed(bike));
    EXPECT_LT(bike_position(bike).z, at.z - 40);
}

TEST_F(AutopilotRide, EqualTotalsPickTheLowerSlot) {
    Bike *bike = robot(500, 500, 0, 1);
    std::vector<LinePoint> pts = circle(500, 600, 100, 1.5707963f, 2, 30);
    put(0, 5, pts, 0, 0);
    put(0, 3, pts, 0, 0);
    put(0, 8, pts, 0, 0);
    physics_set_step_count(1000);
    step();
    EXPECT_EQ(line_rider(bike->slot)->picked[0], line_segment(0, 3)->id);
}

TEST_F(AutopilotRide, KallinFarAheadRidesAmateurChoices) {
    // Row 1 is a whole lap of a circle; row 0 leads onto it. Slot 0 of row 0 is proven (five
    // passes at 1000 steps), slot 1 faster but passed once: experts take it, amateurs do not.
    const float r = 100, cx = 500, cz = 400;
    put(1, 0, circle(cx, cz, r, 0, 6.2831853f - 0.075f, 30), 5, 5 * 1000);
    std::vector<LinePoint> lead = circle(cx, cz, r, 1.0f, 1.0f - 0.075f, 30);
    LineSegment *proven = put(0, 0, lead, 5, 5 * 1000);
    lead[0].speed = 31;   // not the same recording
    LineSegment *quick = put(0, 1, lead, 1, 500);
    ASSERT_TRUE(segments_connect(proven, line_segment(1, 0)));
    ASSERT_TRUE(segments_connect(line_segment(1, 0), line_segment(1, 0)));

    Bike *kallin = robot(cx + r * std::cos(1.0f), cz + r * std::sin(1.0f), 0, 2);
    Bike *second = robot(cx, cz, 0, 1);
    race.standings_count = 2;
    race.standings[0].slot = kallin->slot;
    race.standings[1].slot = second->slot;
    struct Case {
        float gap_seconds;
        const LineSegment *chosen;
    };
    const Case cases[] = {{9.5f, quick}, {10.5f, proven}};
    for (const Case &c : cases) {
        autopilot_reset(kallin->slot, 2);
        proven->last_picked = quick->last_picked = 0;
        for (Bike *b : {kallin, second}) {
            b->crossings.count = 0;
            int first = 1000;
            array_push(&b->crossings, &first);
        }
        *array_get<int>(&second->crossings, 0) = 1000 + int(c.gap_seconds * 128);
        physics_set_step_count(4000);
        auto_pilot_step(kallin);
        EXPECT_EQ(line_rider(kallin->slot)->picked[0], c.chosen->id) << c.gap_seconds << " s";
    }
}

TEST_F(AutopilotRide, RidesARecordedCircle) {
    const float r = 120, cx = 500, cz = 500, speed = 35;
    // Start on the circle's east side heading north (-z), turning left around the centre.
    put(0, 0, circle(cx, cz, r, 0, 1.5f, speed), 0, 0);
    put(1, 0, circle(cx, cz, r, -1.5f - 0.073f, 6.2831853f - 0.073f, speed), 0, 0);
    physics_set_race_start(128);
    Bike *bike = robot(cx + r, cz, 0, 1);
    ride(8);   // the gate drops after 1 s; riding begins by 6 s
    bike->next_lap_entry = 1;
    float worst = 0, speed_sum = 0;
    int n = 0, crashed = 0;
    for (int i = 0; i < 20 * 128; i++) {
        step();
        Vec3 p = bike_position(bike);
        worst = std::fmax(worst, std::fabs(std::hypot(p.x - cx, p.z - cz) - r));
        speed_sum += vec_length(bike_velocity(bike));
        n++;
        crashed |= bike_crashed(bike);
    }
    EXPECT_FALSE(crashed);
    EXPECT_LT(worst, 12.0f);
    EXPECT_NEAR(speed_sum / float(n), speed, 6.0f);
    EXPECT_EQ(autopilot_pilot(bike->slot)->recover, 0);
}

TEST(Personalities, ByNameWithUnknownNamesRidingAsTheFirst) {
    EXPECT_EQ(personality_find("kallin"), 2);
    EXPECT_EQ(personality_find("tester"), 4);
    EXPECT_EQ(personality_find("empty"), 1);
    EXPECT_EQ(personality_find("nobody"), 1);
    const Personality *k = personality_get(2);
    EXPECT_EQ(k->skill_close, 2);
    EXPECT_EQ(k->skill_leading, 1);
    for (int i = 0; i < ROBOT_COUNT; i++) {
        const Robot *robot = robot_at(i);
        EXPECT_EQ(atoi(robot->number), 20 + i);
        EXPECT_GE(personality_find(robot->personality), 1);
    }
    EXPECT_STREQ(robot_at(59 - 20)->model, "yz250f_se(2006)");
    EXPECT_STREQ(robot_at(81 - 20)->bike_texture, "@crf250-alt2.png");
}

}  // namespace
