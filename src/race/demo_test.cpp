// Demos: header reading, playback of both record versions, truncated files, jumping and
// its refusals, and the time trial's fastest lap.
#include "race/demo.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "bike/snapshot.h"
#include "race/race_test_support.h"
#include "track/terrain.h"

namespace {

struct DemoTest : RaceFixture {
    Terrain terrain = {};
    std::vector<Bike *> made;

    void SetUp() override {
        RaceFixture::SetUp();
        ASSERT_EQ(physics_init(), 1);
        std::vector<float> heights(129 * 129, 0.0f);
        ASSERT_EQ(terrain_create(&terrain, 6, 4.0f, heights.data()), 1);   // 512 ft square
        physics_set_terrain(&terrain);
        track_get()->name = "demotrack";
    }
    void TearDown() override {
        demo_playback_close();
        demo_record_close();
        // Riders the demo code made (ghosts) go with the race; the test's own after them.
        for (int slot = 0; slot < RIDER_SLOTS; slot++) {
            if (race.bike[slot] && std::find(made.begin(), made.end(), race.bike[slot]) == made.end())
                bike_destroy(race.bike[slot]);
            race.bike[slot] = nullptr;
        }
        for (Bike *b : made)
            bike_destroy(b);
        physics_set_terrain(nullptr);
        terrain_free(&terrain);
        physics_shutdown();
        track_get()->name = nullptr;
        RaceFixture::TearDown();
    }
    // A real bike in slot driven from outside.
    Bike *outside(int slot) {
        Bike *bike = bike_create("yz125", slot, "9", nullptr, nullptr, nullptr, nullptr);
        made.push_back(bike);
        race.bike[slot] = bike;
        race.controller[slot] = CONTROL_OUTSIDE;
        return bike;
    }
    // Step k's record of a rider standing at x = 100 + 2 k + 50 rider, z = 200, in a version.
    std::string record(int rider, int k, int version) {
        Bike *probe = bike_create("yz125", 0, "1", nullptr, nullptr, nullptr, nullptr);
        Vec3 rest = probe->model.frame_centre;
        bike_translate(probe, 100.0f + 2.0f * float(k) + 50.0f * float(rider) - rest.x, 0, 200 - rest.z);
        uint8_t r[SNAPSHOT_BYTES];
        snapshot_pack(probe, &terrain, r);
        bike_destroy(probe);
        if (version == 5)
            return std::string(reinterpret_cast<char *>(r), SNAPSHOT_BYTES);
        uint8_t v4[SNAPSHOT_V4_BYTES];
        memcpy(v4, r, 20);
        v4[20] = 128;
        memcpy(v4 + 21, r + 34, 5);
        return std::string(reinterpret_cast<char *>(v4), SNAPSHOT_V4_BYTES);
    }
    std::string demo(int version, int riders, int steps) {
        std::string text = "QZ0" + std::to_string(version) + " " + std::to_string(riders) + " 0 3 1500\ndemotrack\n";
        for (int i = 0; i < riders; i++)
            text += "yz125|||@wheels-alt1.png|\n" + std::to_string(30 + i) + "\n";
        for (int k = 0; k < steps; k++)
            for (int i = 0; i < riders; i++)
                text += record(i, k, version);
        return text;
    }
    void write(const std::string &name, const std::string &bytes) { home.write("Rutmoor/" + name, bytes); }
};

float frame_x(const Bike *bike) { return bike_position(bike).x; }

}  // namespace

TEST_F(DemoTest, HeaderReadingAcceptsVersionsFourAndFiveOnly) {
    struct Case {
        const char *text;
        int ok;
        int start;
    } cases[] = {
        {"QZ05 1 0 3 1500\nt\nyz125|a|b|c|d\n77\n", 1, 1500},
        {"QZ04 1 7680 0\nt\nyz125||||\n77\n", 1, DEMO_DEFAULT_START},   // no start step: 14 s
        {"QZ05 1 0\nt\nyz125||||\n1234\n", 1, DEMO_DEFAULT_START},
        {"QZ06 1 0 3 1500\nt\nyz125||||\n77\n", 0, 0},
        {"QZ05 1\nt\nyz125||||\n77\n", 0, 0},                 // fewer than three numbers
        {"QZ05 161 0 3 1500\nt\n", 0, 0},                     // more riders than slots
        {"QZ05 -1 0 3 1500\nt\n", 0, 0},
        {"QZ05 2 0 3 1500\nt\nyz125||||\n77\n", 0, 0},         // a rider line missing
        {"QZ05 1 0 3 1500\nt\nyz125|||\n77\n", 0, 0},          // four fields
        {"QZ05 0 0 3 1500\nt", 0, 0},                          // track line without its end
    };
    for (const Case &c : cases) {
        write("h.qzdemo", c.text);
        DataStream *stream = data_open("@h.qzdemo", "rb");
        ASSERT_NE(stream, nullptr);
        DemoHeader h;
        EXPECT_EQ(demo_header_read(stream, &h), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(h.start, c.start) << c.text;
            EXPECT_EQ(h.length, int(strlen(c.text)));
            EXPECT_STREQ(h.track, "t");
        }
        data_close(stream);
    }
    write("h.qzdemo", "QZ05 1 0 3 1500\nt\nyz125|a|b|c|d\n77\n");
    DataStream *stream = data_open("@h.qzdemo", "rb");
    DemoHeader h;
    ASSERT_TRUE(demo_header_read(stream, &h));
    data_close(stream);
    EXPECT_STREQ(h.rider[0].body, "a");
    EXPECT_STREQ(h.rider[0].head, "d");
    EXPECT_STREQ(h.rider[0].number, "77");
    write("h.qzdemo", "QZ05 1 0\nt\nyz125||||\n1234\n");
    stream = data_open("@h.qzdemo", "rb");
    ASSERT_TRUE(demo_header_read(stream, &h));
    data_close(stream);
    EXPECT_STREQ(h.rider[0].number, "123");   // only the first three characters count
    EXPECT_EQ(h.laps, -1);
}

TEST_F(DemoTest, BothVersionsPlayBackAndJump) {
    for (int version : {4, 5}) {
        write("v.qzdemo", demo(version, 2, 400));
        ASSERT_TRUE(demo_playback_open("@v.qzdemo")) << version;
        Bike *a = outside(0), *b = outside(3);
        physics_set_step_count(0);
        demo_reset_step();
        EXPECT_NEAR(frame_x(a), 100.0f, 0.01f);
        EXPECT_NEAR(frame_x(b), 150.0f, 0.01f);
        for (int k = 1; k <= 200; k++) {
            physics_set_step_count(k);
            demo_playback_step();
        }
        EXPECT_NEAR(frame_x(a), 100.0f + 2 * 200, 0.01f) << version;
        EXPECT_EQ(race.present[3], 1);
        // One second back: the riders stand where they were 128 steps earlier.
        ASSERT_TRUE(demo_jump(-1)) << version;
        EXPECT_EQ(physics_step_count(), 200 - 128 - 1);
        EXPECT_NEAR(frame_x(a), 100.0f + 2 * 71, 0.01f) << version;
        ASSERT_TRUE(demo_jump(1));
        EXPECT_EQ(physics_step_count(), 71 + 128 - 1);
        EXPECT_NEAR(frame_x(a), 100.0f + 2 * 198, 0.01f) << version;
        // The next step goes on from there.
        physics_set_step_count(physics_step_count() + 1);
        demo_playback_step();
        EXPECT_NEAR(frame_x(a), 100.0f + 2 * 199, 0.01f) << version;
        demo_playback_close();
        for (Bike *bike : made)
            bike_destroy(bike);
        made.clear();
        race.bike[0] = race.bike[3] = nullptr;
    }
}

TEST_F(DemoTest, TruncatedDemoPlaysWhatItHasThenMarksRidersAbsent) {
    std::string bytes = demo(5, 2, 10);
    write("t.qzdemo", bytes.substr(0, bytes.size() - 20));   // the last record is cut
    ASSERT_TRUE(demo_playback_open("@t.qzdemo"));
    Bike *a = outside(0), *b = outside(1);
    demo_reset_step();
    for (int k = 1; k < 10; k++)
        demo_playback_step();
    EXPECT_EQ(race.present[0], 1);
    EXPECT_EQ(race.present[1], 0);
    EXPECT_NEAR(frame_x(b), 150.0f + 2 * 8, 0.01f);   // stays at its last whole record
    demo_playback_step();
    EXPECT_EQ(race.present[0], 0);
    EXPECT_NEAR(frame_x(a), 100.0f + 2 * 9, 0.01f);
}

TEST_F(DemoTest, JumpingIsRefusedWithALocalRiderOrWhileRecording) {
    write("j.qzdemo", demo(5, 1, 300));
    EXPECT_FALSE(demo_jump(1));   // no playback
    ASSERT_TRUE(demo_playback_open("@j.qzdemo"));
    outside(0);
    Bike *local = outside(1);
    race.controller[1] = CONTROL_LOCAL;   // "Race Against": a rider of this computer
    demo_reset_step();
    EXPECT_FALSE(demo_jump(1));
    EXPECT_FALSE(demo_jump(-1));
    race.controller[1] = CONTROL_OUTSIDE;
    race.bike[1] = nullptr;
    (void)local;
    race.controller[0] = CONTROL_ROBOT;
    ASSERT_TRUE(demo_record_open("@demos/default.qzdemo"));
    race.controller[0] = CONTROL_OUTSIDE;
    EXPECT_FALSE(demo_jump(1));
    demo_record_close();
    EXPECT_TRUE(demo_jump(1));
}

TEST_F(DemoTest, RewindingRemovesLaterCrossings) {
    write("r.qzdemo", demo(5, 1, 600));
    ASSERT_TRUE(demo_playback_open("@r.qzdemo"));
    Bike *a = outside(0);
    for (int step : {100, 200, -1, 450})
        array_push(&a->crossings, &step);
    a->next_lap_entry = 4;
    physics_set_step_count(500);
    race_bookkeeping();
    EXPECT_EQ(race.standings[0].progress, 4);
    ASSERT_TRUE(demo_jump(-1));   // to step 371: the crossing at 450 and the skip go
    EXPECT_EQ(rider_progress(a), 2);
    EXPECT_EQ(a->next_lap_entry, 2);
    EXPECT_EQ(race.standings[0].progress, 2);
    EXPECT_EQ(race.standings[0].step, 200);
}

TEST_F(DemoTest, PendingNameRenamesTheNormalRecording) {
    race.controller[0] = CONTROL_ROBOT;
    race.bike[0] = made.emplace_back(bike_create("yz125", 0, "5", nullptr, nullptr, nullptr, nullptr));
    race.texture[0][2] = "@wheels-alt2.png";
    demo_set_pending_name("mine.qzdemo");
    ASSERT_TRUE(demo_record_open("@demos/default.qzdemo"));
    demo_reset_step();
    demo_record_close();
    std::string text = home_file("demos/mine.qzdemo");
    EXPECT_EQ(home_file("demos/default.qzdemo"), "");
    std::string header = "QZ05 1 0 3 0\ndemotrack\nyz125|||@wheels-alt2.png|\n5\n";
    ASSERT_EQ(text.size(), header.size() + SNAPSHOT_BYTES);
    EXPECT_EQ(text.substr(0, header.size()), header);
    // The name is used once.
    ASSERT_TRUE(demo_record_open("@demos/default.qzdemo"));
    demo_record_close();
    EXPECT_NE(home_file("demos/default.qzdemo"), "");
}

TEST_F(DemoTest, GhostFadesBetweenHalfAndTheWholeFadeDistance) {
    struct Case {
        float d, opacity;
    } cases[] = {{0, 0}, {5, 0}, {7.5f, 0.5f}, {10, 1}, {40, 1}};
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(ghost_opacity(c.d, 10), c.opacity) << c.d;
}

namespace {
// The time trial's gate progress stand-in: the rider crosses the finish (entry A - 1) now.
void cross_finish(Bike *bike) {
    int step = physics_step_count();
    while (bike->crossings.count < first_lap_entries())
        array_push(&bike->crossings, &step);
    *array_get<int>(&bike->crossings, first_lap_entries() - 1) = step;
    bike->next_lap_entry = first_lap_entries();
}
}  // namespace

TEST_F(DemoTest, FirstTimeTrialLapBecomesTheFastestAndSlowerOnesDoNot) {
    demo_set_drivers(nullptr, cross_finish, 0);
    race.time_trial = 1;
    time_trial_clear();
    Bike *rider = made.emplace_back(bike_create("yz125", 0, "1", nullptr, nullptr, nullptr, nullptr));
    race.bike[0] = rider;
    race.controller[0] = CONTROL_LOCAL;
    // Four entries a lap; the rider starts before the finish (entry 3).
    auto ride_lap = [&](int steps, int skip) {
        demo_step_begin();
        int start = physics_step_count();
        for (int k = 0; k < 4; k++) {
            int step = k == skip ? -1 : start + steps * (k + 1) / 4;
            array_push(&rider->crossings, &step);
        }
        physics_set_step_count(start + steps);
        bike_translate(rider, 10, 0, 0);   // the recording differs from lap to lap
        demo_step();
    };
    // The run-up: reaching the finish starts the first lap and its recording.
    physics_set_step_count(38400);
    demo_step_begin();
    for (int step : {-1, -1, -1, 38500})
        array_push(&rider->crossings, &step);
    physics_set_step_count(38500);
    demo_step();
    EXPECT_TRUE(demo_recording());
    EXPECT_EQ(home_file("demotrack/fastlap.qzdemo"), "");

    // The first lap, even with a skipped gate, becomes the fastest.
    ride_lap(3000, 1);
    EXPECT_NE(home_file("demotrack/fastlap.qzdemo"), "");
    EXPECT_EQ(time_trial_last_lap(), 0);
    EXPECT_TRUE(demo_playing());
    ASSERT_NE(race.bike[1], nullptr);   // the ghost of the fastest lap
    std::string first = home_file("demotrack/fastlap.qzdemo");

    // A clean lap ahead of the ghost replaces it and is the best lap.
    ride_lap(2800, -1);
    EXPECT_EQ(time_trial_last_lap(), 2800);
    EXPECT_EQ(time_trial_best_lap(), 2800);
    std::string second = home_file("demotrack/fastlap.qzdemo");
    EXPECT_NE(second, first);

    // A lap with a skipped gate does not replace an existing fastest lap.
    ride_lap(2000, 2);
    EXPECT_EQ(time_trial_last_lap(), 0);
    EXPECT_EQ(time_trial_best_lap(), 2800);
    EXPECT_EQ(home_file("demotrack/fastlap.qzdemo"), second);
    demo_set_drivers(nullptr, nullptr, 0);
}

namespace {
int g_driven;
void count_step() {
    g_driven++;
    physics_set_step_count(physics_step_count() + 1);
}
}  // namespace

TEST_F(DemoTest, AccurateSkipRunsTheStepDriverForASecond) {
    write("a.qzdemo", demo(5, 1, 400));
    ASSERT_TRUE(demo_playback_open("@a.qzdemo"));
    outside(0);
    demo_reset_step();
    g_driven = 0;
    demo_set_drivers(count_step, nullptr, 1);
    EXPECT_TRUE(demo_jump(1));
    EXPECT_EQ(g_driven, 128);
    EXPECT_EQ(physics_step_count(), 128);
    // Backwards it still seeks.
    EXPECT_TRUE(demo_jump(-1));
    EXPECT_EQ(g_driven, 128);
    demo_set_drivers(nullptr, nullptr, 0);
}
