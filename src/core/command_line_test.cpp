#include "core/command_line.h"

#include "core/startup.h"
#include "platform/log.h"
#include "testsupport/testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Applies the arguments after the program name to a fresh state; keeps the argument texts
// alive as long as the state points into them.
struct CommandLine {
    std::vector<std::string> args;
    std::vector<char *> argv;
    StartupState state;
    int status;
    std::string err, out;

    explicit CommandLine(std::vector<std::string> given) : args(std::move(given)) {
        args.insert(args.begin(), "rutmoor");
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        startup_defaults(&state);
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        status = command_line_apply(&state, int(args.size()), argv.data());
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
    }
};

TEST(CommandLine, ErrorsPrintTheirMessageAndEndWithStatus1) {
    struct Case {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"--fake-lag=abc"}, "Bad arg for --fake-lag\n"},
        {{"--fake-lag", "abc"}, "Bad arg for --fake-lag\n"},
        {{"--fake-lag=25O"}, "Bad arg for --fake-lag\n"},
        {{"--texture-detail", "nan"}, "Bad arg for --texture-detail\n"},
        {{"--lod-bias=nan"}, "Bad arg for --lod-bias\n"},
        {{"--fake-loss", "99999999999"}, "Bad arg for --fake-loss\n"},
        {{"--chase-center", "1,2"}, "Bad arg for --chase-center\n"},
        {{"--chase-center=1,2,3,4"}, "Bad arg for --chase-center\n"},
        {{"race.qzdemo", "other.qzdemo"}, "Too many files!\n"},
        {{"-x"}, "bad option '-x'\n"},
        {{"-"}, "bad option '-'\n"},
        {{"--nosuch"}, "bad option '--nosuch'\n"},
        {{"--fugly=1"}, "bad option '--fugly=1'\n"},
        {{"--debugging"}, "bad option '--debugging'\n"},
        {{"--practice", "--", "a", "b"}, "Too many files!\n"},
        {{"--track"}, "Missing value for --track\n"},
        {{"--width"}, "Missing value for --width\n"},
    };
    for (const Case &c : cases) {
        CommandLine line(c.args);
        EXPECT_EQ(line.status, 1) << c.args[0];
        EXPECT_EQ(line.err, c.message) << c.args[0];
    }
}

TEST(CommandLine, EveryCheckedOptionNamesItselfWhenItsValueIsUnreadable) {
    for (const char *name : {"texture-detail", "ground-texture-detail", "roostfrequency", "erode",
                             "detail", "max-detail-distance", "lod-scale", "lod-bias", "lock-fps",
                             "fake-lag", "fake-loss", "chase-center"}) {
        CommandLine line({std::string("--") + name, "x"});
        EXPECT_EQ(line.status, 1) << name;
        EXPECT_EQ(line.err, std::string("Bad arg for --") + name + "\n");
    }
    // The others take what they can and say nothing.
    for (const char *name : {"width", "height", "depth", "rotate-lineup", "draw-fps",
                             "draw-render-stats"}) {
        CommandLine line({std::string("--") + name, "x"});
        EXPECT_EQ(line.status, COMMAND_LINE_GO_ON) << name;
        EXPECT_EQ(line.err, "") << name;
    }
}

TEST(CommandLine, ValuesAreClampedAndScaled) {
    struct Case {
        std::vector<std::string> args;
        float RenderDetail::*field;
        float want;
    } float_cases[] = {
        {{"--lod-scale", "0"}, &RenderDetail::lod_scale, 0.000001f},
        {{"--lod-scale=5e7"}, &RenderDetail::lod_scale, 1000000.0f},
        {{"--lod-bias=-20"}, &RenderDetail::lod_bias, -20.0f},
        {{"--erode=150"}, &RenderDetail::erosion, 100.0f},
        {{"--erode", "-1"}, &RenderDetail::erosion, 0.0f},
        {{"--erode", " 12.5 "}, &RenderDetail::erosion, 12.5f},
        {{"--detail", "0.5"}, &RenderDetail::terrain_detail, 0.5f},
        {{"--max-detail-distance=100"}, &RenderDetail::max_detail_distance, 100.0f},
        {{"--max-detail-distance=100"}, &RenderDetail::detail_fade_end, 105.0f},
    };
    for (const Case &c : float_cases) {
        CommandLine line(c.args);
        ASSERT_EQ(line.status, COMMAND_LINE_GO_ON) << c.args[0];
        EXPECT_FLOAT_EQ(line.state.detail.*c.field, c.want) << c.args[0];
    }

    struct IntCase {
        std::vector<std::string> args;
        int texture, ground, roost;
    } int_cases[] = {
        {{"--texture-detail", "9"}, 4, 4, 0},
        {{"--texture-detail=-3"}, 0, 0, 0},
        {{"--texture-detail", "2", "--ground-texture-detail", "7"}, 2, 4, 0},
        {{"--roostfrequency=5000"}, 0, 0, 1000},
        {{"--roostfrequency", "-5"}, 0, 0, 0},
    };
    for (const IntCase &c : int_cases) {
        CommandLine line(c.args);
        ASSERT_EQ(line.status, COMMAND_LINE_GO_ON) << c.args[0];
        EXPECT_EQ(line.state.detail.texture_level, c.texture) << c.args[0];
        EXPECT_EQ(line.state.detail.ground_texture_level, c.ground) << c.args[0];
        EXPECT_EQ(line.state.detail.roost_frequency, c.roost) << c.args[0];
    }

    for (auto [value, lag] : {std::pair{"2500", 1.0}, {"250", 0.25}, {"-40", 0.0}}) {
        CommandLine line({"--fake-lag", value});
        EXPECT_DOUBLE_EQ(line.state.fake_lag, lag) << value;
    }
    CommandLine loss({"--fake-loss=150", "--lock-fps", "60", "--chase-center=1.5, -2,3e1"});
    EXPECT_EQ(loss.state.fake_loss, 100);
    EXPECT_FLOAT_EQ(loss.state.lock_fps, 60.0f);
    EXPECT_FLOAT_EQ(loss.state.chase_center.x, 1.5f);
    EXPECT_FLOAT_EQ(loss.state.chase_center.y, -2.0f);
    EXPECT_FLOAT_EQ(loss.state.chase_center.z, 30.0f);
}

TEST(CommandLine, SwitchesAndTextsLandInTheState) {
    CommandLine line({"--fugly", "--nosound", "--novertexarrays", "--learn", "--super-debug",
                      "--practice", "--warp", "--record-video", "--record-audio", "mix.raw",
                      "--rotate-lineup=3", "--editor", "--hidden-pause", "--hidden-hud",
                      "--width", "1024", "--height=768", "--depth", "32", "--draw-fps", "1",
                      "--draw-time=0", "--draw-render-stats", "1", "--accurate-skip",
                      "--password", "secret", "--glfinish", "--print-orientation", "race.qzdemo"});
    ASSERT_EQ(line.status, COMMAND_LINE_GO_ON) << line.err;
    const StartupState &s = line.state;
    EXPECT_EQ(s.flat_shading + s.no_sound + s.no_vertex_arrays + s.learning + s.practice +
                  s.warp + s.record_video + s.editor + s.accurate_skip + s.glfinish +
                  s.print_orientation,
              11);
    EXPECT_EQ(s.debug, 2);
    EXPECT_STREQ(s.record_audio, "mix.raw");
    EXPECT_EQ(s.rotate_lineup, 3);
    EXPECT_EQ(s.show_pause_text + s.show_hud, 0);
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 768);
    EXPECT_EQ(s.depth, 32);
    EXPECT_EQ(s.draw_fps, 1);
    EXPECT_EQ(s.draw_time, 0);
    EXPECT_EQ(s.draw_ping, HUD_SWITCH_NOT_GIVEN);
    EXPECT_EQ(s.draw_render_stats, 1);
    EXPECT_STREQ(s.password, "secret");
    EXPECT_STREQ(s.file, "race.qzdemo");

    CommandLine later({"--learn", "--nolearn", "--debug"});
    EXPECT_EQ(later.state.learning, 0);
    EXPECT_EQ(later.state.debug, 1);
}

TEST(CommandLine, BothValueFormsAreTheSameAndUnreadableWidthIsIgnored) {
    CommandLine spaced({"--track", "dunes"}), joined({"--track=dunes"});
    EXPECT_STREQ(spaced.state.track, "dunes");
    EXPECT_STREQ(joined.state.track, "dunes");

    // A value that looks like an option is still the value.
    CommandLine dashed({"--track", "--debug"});
    EXPECT_STREQ(dashed.state.track, "--debug");
    EXPECT_EQ(dashed.state.debug, 0);

    CommandLine width({"--width", "abc", "--height=wide"});
    EXPECT_EQ(width.status, COMMAND_LINE_GO_ON);
    EXPECT_EQ(width.state.width, 0);
    EXPECT_EQ(width.state.height, 0);
    EXPECT_EQ(width.err, "");
}

TEST(CommandLine, DoubleDashMakesEveryLaterArgumentTheFile) {
    CommandLine dash({"--", "-file"});
    EXPECT_EQ(dash.status, COMMAND_LINE_GO_ON);
    EXPECT_STREQ(dash.state.file, "-file");

    CommandLine option({"--debug", "--", "--fugly"});
    EXPECT_EQ(option.status, COMMAND_LINE_GO_ON);
    EXPECT_STREQ(option.state.file, "--fugly");
    EXPECT_EQ(option.state.flat_shading, 0);
    EXPECT_EQ(option.state.debug, 1);
}

TEST(CommandLine, BikesOnlySaysItDoesNothing) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--bikes", "3"},
                                          {"--bikes=8"}, {"--bikes"}}) {
        CommandLine line(args);
        EXPECT_EQ(line.status, COMMAND_LINE_GO_ON);
        EXPECT_EQ(line.err, "--bikes doesn't do anything anymore\n");
        EXPECT_EQ(line.state.file, nullptr);
    }
}

TEST(CommandLine, ConnectDropsTheLinkPrefix) {
    struct Case {
        const char *given, *server;
    } cases[] = {{"race.example.org", "race.example.org"},
                 {"rutmoor:race.example.org:19800", "race.example.org:19800"},
                 {"rutmoor://race.example.org/", "race.example.org"}};
    for (const Case &c : cases) {
        CommandLine line({"--connect", c.given});
        EXPECT_STREQ(line.state.connect, c.server);
    }
}

TEST(CommandLine, HelpListsTheOptionsAndEndsWith0) {
    CommandLine line({"--width=800", "--help", "--fake-lag=abc"});
    EXPECT_EQ(line.status, 0);
    EXPECT_NE(line.out.find("--max-detail-distance <feet>"), std::string::npos) << line.out;
    EXPECT_NE(line.out.find("--print-orientation"), std::string::npos);
    EXPECT_EQ(line.err, "");

    auto wants = [](std::vector<std::string> args) {
        std::vector<char *> argv = {const_cast<char *>("rutmoor")};
        for (std::string &a : args)
            argv.push_back(a.data());
        return command_line_wants_help(int(argv.size()), argv.data());
    };
    EXPECT_EQ(wants({"--debug", "--help"}), 1);
    EXPECT_EQ(wants({"--track", "--help"}), 0);
    EXPECT_EQ(wants({"--", "--help"}), 0);
    EXPECT_EQ(wants({}), 0);
}

TEST(CommandLine, NoMmxLogsThatItIgnoresTheFeature) {
    TempDir dir;
    ScopedEnv name("KOBU_LOGFILE", dir.at("log.txt").c_str());
    log_reset();
    CommandLine line({"--nommx", "--nommx"});
    log(nullptr);
    log_reset();
    EXPECT_EQ(line.state.mmx, 0);
    std::string text = read_whole_file(dir.at("log.txt"));
    size_t first = text.find("Ignoring MMX\n");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("Ignoring MMX\n", first + 1), std::string::npos);
}
