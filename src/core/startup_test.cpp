#include "core/startup.h"

#include "files/data.h"
#include "platform/log.h"
#include "settings/settings.h"
#include "testsupport/testsupport.h"
#include "track/track.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

static DetailConfig config_defaults() {
    DetailConfig c;
    c.ground_detail = 70;
    c.ground_texture_detail = 9;
    c.ground_texture_dim = 1;
    c.model_detail = 50;
    c.model_texture_detail = 10;
    c.roost_density = 1000;
    c.texture_compress = 0;
    c.reflections = 1;
    return c;
}

TEST(DetailDerive, ModelDetailSetsScaleAndBias) {
    struct Case {
        double model_detail;
        float scale, bias;
    } cases[] = {{50, 1.0f, 0.0f}, {0, 8.0f, 50.0f},   {100, 0.0f, 0.0f},
                 {75, 0.5f, 0.0f}, {20, 4.096f, 25.0f}, {10, 5.832f, 50.0f}};
    for (const Case &c : cases) {
        DetailConfig config = config_defaults();
        config.model_detail = c.model_detail;
        RenderDetail d = detail_derive(&config);
        EXPECT_NEAR(d.lod_scale, c.scale, 1e-5f) << c.model_detail;
        EXPECT_NEAR(d.lod_bias, c.bias, 1e-5f) << c.model_detail;
    }
}

TEST(DetailDerive, LevelsSizesAndTheValuesNoSettingSets) {
    DetailConfig config = config_defaults();
    RenderDetail d = detail_derive(&config);
    EXPECT_FLOAT_EQ(d.terrain_detail, 0.125f / 70);
    EXPECT_EQ(d.ground_texture_level, 1);
    EXPECT_EQ(d.ground_texture_size, 64);
    EXPECT_EQ(d.texture_level, 0);
    EXPECT_EQ(d.roost_frequency, 1000);
    EXPECT_EQ(d.texture_compression, 0);
    EXPECT_EQ(d.reflections, 1);
    EXPECT_EQ(d.erosion, 0.0f);
    EXPECT_EQ(d.max_detail_distance, 70.0f);
    EXPECT_EQ(d.detail_fade_end, 75.0f);

    config.ground_texture_detail = 0.5;
    config.ground_texture_dim = 5;
    config.model_texture_detail = 0;
    config.roost_density = 455.9;
    d = detail_derive(&config);
    EXPECT_EQ(d.ground_texture_level, 9);
    EXPECT_EQ(d.ground_texture_size, 1024);
    EXPECT_EQ(d.texture_level, 10);
    EXPECT_EQ(d.roost_frequency, 455);
    config.ground_texture_dim = 0;
    EXPECT_EQ(detail_derive(&config).ground_texture_size, 32);
}

// The whole start-up as far as it goes headless, against the archive the build generated
// beside the test program and a scratch home directory.
struct GameMainTest : testing::Test {
    TempDir home;
    ScopedEnv xdg{"XDG_DATA_HOME", home.path.c_str()};
    ScopedEnv qz{"QZ_HOME", nullptr};
    ScopedEnv logfile{"KOBU_LOGFILE", nullptr};
    std::string err, out;
    std::vector<std::string> args;   // the start-up state points into the last run's arguments

    void SetUp() override {
        // Two tracks of our own, whatever the archive ships.
        home.write("Rutmoor/mytracks/bravo/terrain.hf", "");
        home.write("Rutmoor/mytracks/bravo/desc", "Bravo Hills\r\nrolling\n");
        home.write("Rutmoor/mytracks/alpha/terrain.hf.gz", "");
        log_reset();
        data_reset();
    }
    void TearDown() override {
        log_reset();
        data_reset();
    }
    int run(std::vector<std::string> given) {
        args = given;
        args.insert(args.begin(), "rutmoor");
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        int status = game_main(int(args.size()), argv.data());
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return status;
    }
    std::string home_file(const char *name) { return read_whole_file(home.at("Rutmoor/") + name); }
    static int track_index(const char *name) {
        const TrackList *list = track_list();
        for (int i = 0; i < list->count; i++)
            if (strcmp(list->names[i], name) == 0)
                return i;
        return -1;
    }
};

TEST_F(GameMainTest, RunsUpToTheWindowAndSavesTheConfiguration) {
    ASSERT_EQ(run({}), 0) << err;
    EXPECT_EQ(err, "rutmoor: start-up reached the window; the game window is not built yet\n");
    EXPECT_EQ(startup.fixed_files_ok, 1);
    EXPECT_GT(track_list()->count, 0);
    EXPECT_EQ(startup.track_choice.count, track_list()->count);
    EXPECT_NE(home_file("lastlog.txt").find("KOBU 0.31\n"), std::string::npos);
    EXPECT_NE(home_file("config").find("xres="), std::string::npos);
    EXPECT_EQ(startup.width, settings.xres);
}

TEST_F(GameMainTest, CommandLineTrackIsChosenUnlessConnecting) {
    ASSERT_EQ(run({"--track", "mytracks/bravo"}), 0) << err;
    int bravo = track_index("mytracks/bravo");
    ASSERT_GE(bravo, 0);
    EXPECT_EQ(startup.track_choice.index, bravo);
    EXPECT_STREQ(choice_text(&startup.track_choice), "Bravo Hills");
    EXPECT_STREQ(startup.track, "mytracks/bravo");

    // The configured track is the choice when the command line names none; a server
    // chooses its own track, so "--connect" drops "--track".
    home.write("Rutmoor/config", "track=mytracks/alpha\n");
    ASSERT_EQ(run({"--connect=rutmoor:race.example.org", "--track=mytracks/bravo"}), 0) << err;
    EXPECT_EQ(startup.track, nullptr);
    EXPECT_STREQ(startup.connect, "race.example.org");
    EXPECT_EQ(startup.track_choice.index, track_index("mytracks/alpha"));
    EXPECT_STREQ(choice_text(&startup.track_choice), "mytracks/alpha");

    ASSERT_EQ(run({"--track", "mytracks"}), 0) << err;
    EXPECT_EQ(startup.track_choice.index, 0);
}

TEST_F(GameMainTest, DemoListHoldsTheDemosOfTheDataDirectories) {
    home.write("Rutmoor/demos/race1.qzdemo", "x");
    home.write("Rutmoor/demos/old/ghost.qzdemo", "x");
    home.write("Rutmoor/demos/notes.txt", "x");
    home.write("Rutmoor/race2.qzdemo", "x");
    ASSERT_EQ(run({"--debug"}), 0) << err;
    const DemoList *demos = demo_list();
    ASSERT_EQ(demos->count, 2);
    EXPECT_STREQ(demos->names[0], "demos/old/ghost.qzdemo");
    EXPECT_STREQ(demos->displays[0], "ghost");
    EXPECT_STREQ(demos->displays[1], "race1");
    EXPECT_EQ(demos->page, 0);
    EXPECT_NE(home_file("lastlog.txt").find("demos/race1.qzdemo -> race1\n"), std::string::npos);
}

TEST_F(GameMainTest, CommandLineErrorsEndStartUpWithStatus1) {
    EXPECT_EQ(run({"--fake-lag=abc"}), 1);
    EXPECT_EQ(err, "Bad arg for --fake-lag\n");
    EXPECT_EQ(run({"a.qzdemo", "b.qzdemo"}), 1);
    EXPECT_EQ(err, "Too many files!\n");
    // The configuration is written only by a normal shutdown.
    EXPECT_EQ(home_file("config"), "");
}

TEST_F(GameMainTest, MissingGameDataIsReportedAsAFailure) {
    TempDir empty;
    ScopedEnv other("QZ_HOME", empty.path.c_str());
    data_reset();
    EXPECT_EQ(run({}), 1);
    EXPECT_EQ(err, "Problem starting Rutmoor: Can't find game data\n");

    // Help needs no game data.
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.find("Usage: rutmoor"), std::string::npos);
}
