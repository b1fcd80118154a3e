// The configuration file: value rules, the file's own quirks, the round trip and safe writing.
#include "settings/settings_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <vector>

using ConfigTest = SettingsTest;

TEST_F(ConfigTest, ValuesFollowTheRulesOfTheirType) {
    const std::string hist126(126, 'h'), hist127(127, 'h'), long_track(300, 't');
    struct Case {
        const char *name;
        std::string text;
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"number above range clamps", "laps=99\n", [] { EXPECT_EQ(settings.laps.value, 50); }},
        {"number below range clamps", "fov=-5\n", [] { EXPECT_EQ(settings.fov.value, 10); }},
        {"number off the step is kept", "fov=33.3\n", [] { EXPECT_EQ(settings.fov.value, 33.3); }},
        {"non-number keeps default", "fov=wide\n", [] { EXPECT_EQ(settings.fov.value, 110); }},
        {"nan keeps default", "fov=nan\n", [] { EXPECT_EQ(settings.fov.value, 110); }},
        {"choice is exact", "skill=expert\n", [] { EXPECT_STREQ(choice_text(&settings.skill), "Novice"); }},
        {"choice by text", "skill=Expert\r\n", [] { EXPECT_STREQ(choice_text(&settings.skill), "Expert"); }},
        {"keys are case-sensitive", "LAPS=3\nLaps=3\n", [] { EXPECT_EQ(settings.laps.value, 5); }},
        {"no blanks trimmed from keys", "laps =3\n", [] { EXPECT_EQ(settings.laps.value, 5); }},
        {"int takes leading digits", "xres=800x600\n", [] { EXPECT_EQ(settings.xres, 800); }},
        {"int without digits unchanged", "xres=wide\n", [] { EXPECT_EQ(settings.xres, 640); }},
        {"int saturates", "yres=99999999999\n", [] { EXPECT_EQ(settings.yres, 2147483647); }},
        {"later line wins", "laps=3\nlaps=4\n", [] { EXPECT_EQ(settings.laps.value, 4); }},
        {"line without = ignored", "laps\nlaps=2", [] { EXPECT_EQ(settings.laps.value, 2); }},
        {"value keeps = and blanks", "server_name= a=b \n",
         [] { EXPECT_STREQ(settings.server_name.text, " a=b "); }},
        {"text cut to its length", "number=12345\ntrack=" + long_track + "\n",
         [] {
             EXPECT_STREQ(settings.setup.number.text, "123");
             EXPECT_EQ(strlen(settings.track.text), 255u);
         }},
        {"text stops at a line end inside it", "number=1\r2\n",
         [] { EXPECT_STREQ(settings.setup.number.text, "1"); }},
        {"history of 126 kept, 127 ignored",
         "server_name_hist00=" + hist126 + "\nserver_name_hist01=" + hist127 + "\n",
         [&] {
             EXPECT_EQ(settings.server_name_hist[0].text, hist126);
             EXPECT_STREQ(settings.server_name_hist[1].text, "");
         }},
        {"ground_texture_distance accepted", "ground_texture_distance=5\nlaps=1\n",
         [] { EXPECT_EQ(settings.laps.value, 1); }},
        {"gate choices", "slot00=Human\nslot39=Robot (4 stroke)\nslot19=Bogus\n",
         [] {
             EXPECT_EQ(settings.slot[0].index, START_HUMAN);
             EXPECT_EQ(settings.slot[39].index, START_ROBOT_4_STROKE);
             EXPECT_EQ(settings.slot[19].index, START_HUMAN);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        settings_reset();
        read_text(c.text);
        c.check();
    }
}

TEST_F(ConfigTest, DefaultsAreInPlaceWithoutAFile) {
    config_read();
    EXPECT_STREQ(settings.server_name.text, "localhost");
    EXPECT_STREQ(settings.track.text, "rabbithill");
    EXPECT_STREQ(choice_text(&settings.video_mode), "Default Fullscreen");
    EXPECT_STREQ(choice_text(&settings.render_texture), "Software");
    EXPECT_STREQ(choice_text(&settings.ground_texture_dim), "64x64");
    EXPECT_STREQ(settings.bindings[BIND_DAB].key_name, "right ctrl");
    EXPECT_STREQ(settings.bindings[BIND_REWIND].key_name, "\\");
    // Gates are numbered from 1: "Gate 20" is slot19.
    for (int gate = 17; gate <= 24; gate++) {
        int expected = gate == 20 ? START_HUMAN : gate == 17 || gate == 24 ? START_EMPTY : START_ROBOT;
        EXPECT_EQ(settings.slot[gate - 1].index, expected) << "Gate " << gate;
        EXPECT_EQ(settings.slot[gate - 1].label, "Gate " + std::to_string(gate));
    }
}

TEST_F(ConfigTest, VideoModesOfTheFirstModesDepth) {
    EXPECT_EQ(settings.video_mode.count, 2);   // no display listed yet
    const VideoMode modes[] = {
        {1920, 1080, 32}, {1280, 720, 32}, {1920, 1080, 32}, {800, 600, 16}, {640, 480, 32}};
    settings_video_modes(modes, 5);
    const ChoiceItem &v = settings.video_mode;
    ASSERT_EQ(v.count, 5);
    const char *expected[] = {"Default Fullscreen", "Windowed", "1920x1080", "1280x720", "640x480"};
    for (int i = 0; i < 5; i++)
        EXPECT_STREQ(v.choices[i], expected[i]);

    read_text("video_mode=1280x720\n");
    EXPECT_STREQ(choice_text(&v), "1280x720");
    read_text("video_mode=800x600\n");
    EXPECT_STREQ(choice_text(&v), "1280x720");
    // A display that no longer offers the chosen mode falls back to the desktop's own.
    settings_video_modes(modes + 3, 2);   // 16-bit first: only 800x600
    ASSERT_EQ(v.count, 3);
    EXPECT_STREQ(v.choices[2], "800x600");
    EXPECT_STREQ(choice_text(&v), "Default Fullscreen");
    settings_video_modes(nullptr, 0);
    EXPECT_EQ(v.count, 2);
}

TEST_F(ConfigTest, HeadlessRunKeepsTheSavedVideoMode) {
    // No display listed its modes: the saved mode survives a read and write.
    settings_video_modes(nullptr, 0);
    read_text("video_mode=1920x1080\n");
    EXPECT_STREQ(choice_text(&settings.video_mode), "1920x1080");
    ASSERT_TRUE(config_write());
    EXPECT_NE(read_config().find("video_mode=1920x1080\n"), std::string::npos);
    // Only display modes are kept that way.
    read_text("video_mode=huge\n");
    EXPECT_STREQ(choice_text(&settings.video_mode), "1920x1080");
}

TEST_F(ConfigTest, UseFboSelectsTheRenderingMethodAndIsNotWrittenBack) {
    read_text("use_fbo=Yes\n");
    EXPECT_STREQ(choice_text(&settings.render_texture), "Hardware/Direct");
    ASSERT_EQ(config_write(), 1);
    std::string written = read_config();
    EXPECT_NE(written.find("\nrender_texture=Hardware/Direct\n"), std::string::npos);
    EXPECT_EQ(written.find("use_fbo"), std::string::npos);

    settings_reset();
    read_text("use_fbo=No\n");
    EXPECT_STREQ(choice_text(&settings.render_texture), "Hardware/Copy");
}

TEST_F(ConfigTest, DamagedLinesLeaveTheRestReadable) {
    // Binary bytes, a zero byte and a line longer than the line buffer whose tail would read
    // as a line of its own.
    std::string text = "fov=90\n";
    text += std::string("\x01\xff=\x80\x00=\n", 7);
    text += "track=" + std::string(1017, 'x') + "ghost_fade_distance=3\n";
    text += "minutes=7\nlaps=3";
    read_text(text);
    EXPECT_EQ(settings.fov.value, 90);
    EXPECT_EQ(settings.ghost_fade_distance.value, 10);
    EXPECT_EQ(settings.minutes.value, 7);
    EXPECT_EQ(settings.laps.value, 3);
    EXPECT_EQ(std::string(settings.track.text), std::string(255, 'x'));
}

TEST_F(ConfigTest, WriteOrderAndNumberFormat) {
    ASSERT_EQ(config_write(), 1);
    std::istringstream lines(read_config());
    std::vector<std::string> keys;
    for (std::string line; std::getline(lines, line);)
        keys.push_back(line);
    ASSERT_EQ(keys.size(), 6u + 1 + 4 + 40 + 2 + 52 + 1 + 1 + 16 + 23 + 20);
    EXPECT_EQ(keys[0], "xres=640");
    EXPECT_EQ(keys[6], "track=rabbithill");
    EXPECT_EQ(keys[10], "laps=5.000000");
    EXPECT_EQ(keys[11], "slot00=Empty");
    EXPECT_EQ(keys[30], "slot19=Human");
    EXPECT_EQ(keys[53], "bike=450sxf(2013)");
    EXPECT_EQ(keys[105], "video_mode=Default Fullscreen");
    EXPECT_EQ(keys[106], "server_name=localhost");
    EXPECT_EQ(keys[107], "server_name_hist00=");
    EXPECT_EQ(keys[123], "ground_detail=70.000000");
    EXPECT_EQ(keys[145], "message_lines=5");
    EXPECT_EQ(keys[146], "throttle_key=(k)x");
    EXPECT_EQ(keys[165], "screenshot_key=(k)s");
}

// Every item moved off its default, written, read back over fresh defaults and written again
// gives the same file, line for line.
TEST_F(ConfigTest, WrittenFileReadsBackToTheSameItems) {
    for (const char *name : {"rider_body-alt1.png", "rider_head-red.png", "wheels-blue.png",
                             "kx250f-green.png"})
        data.write(name, "");
    const VideoMode modes[] = {{640, 480, 32}, {800, 600, 32}, {1024, 768, 16}};
    auto prepare = [&] {
        data_reset();
        settings_reset();
        settings_video_modes(modes, 3);
        setup_textures_build();
    };
    prepare();
    ASSERT_EQ(config_write(), 1);
    const std::string defaults = read_config();

    Settings &s = settings;
    s.xres = 1280, s.yres = 720, s.draw_fps = 1, s.draw_time = 1, s.draw_ping = 0, s.spy = 1;
    s.billboard_optimize_lookahead = 3, s.message_lines = 9;
    text_set(&s.track, "mudpit");
    text_set(&s.server_name, "race.example.org");
    for (int i = 0; i < SERVER_HISTORY; i++)
        text_set(&s.server_name_hist[i], ("host" + std::to_string(i)).c_str());
    ASSERT_EQ(setup_key("bike", "kx250f"), 1);
    text_set(&s.setup.name, "Ann");
    text_set(&s.setup.number, "7");
    ChoiceItem *choices[] = {
        &s.record, &s.skill, &s.time_trial_abort, &s.ground_texture_dim, &s.ground_mipmaps,
        &s.texture_compress, &s.render_texture, &s.use_shader, &s.lens_flare, &s.reflections,
        &s.hide_rider, &s.rigid_camera, &s.video_mode, &s.playback_mode,
        &s.setup.rider_texture, &s.setup.head_texture, &s.setup.bike_texture,
        &s.setup.wheel_texture, &s.setup.arcade, &s.setup.front_brake, &s.setup.rear_brake,
        &s.setup.stop_wheelies, &s.setup.auto_shift, &s.setup.auto_dab, &s.setup.sticky_dab,
        &s.setup.reverse_steering, &s.setup.lean_indicator};
    for (ChoiceItem *c : choices)
        c->index = (c->index + 1) % c->count;
    for (ChoiceItem &c : s.slot)
        c.index = (c.index + 1) % c.count;
    NumberItem *numbers[] = {
        &s.minutes, &s.laps, &s.ghost_fade_distance, &s.ground_detail,
        &s.ground_texture_detail, &s.model_detail, &s.model_texture_detail, &s.roost_density,
        &s.fov, &s.first_person_height, &s.first_person_angle, &s.third_person_height,
        &s.third_person_distance, &s.volume};
    BikeSetup &u = s.setup;
    NumberItem *setup_numbers[] = {
        &u.stability, &u.leveling, &u.roll_damping, &u.roll_limit_angle, &u.roll_limit_factor,
        &u.steering_damping, &u.steering_strength, &u.max_steering_force, &u.direct_steering,
        &u.slow_damping_speed, &u.slow_damping_factor, &u.land_damping_falloff,
        &u.land_damping_factor, &u.full_lock_speed, &u.restricted_lock_speed,
        &u.restricted_lock, &u.auto_clutch_rpms, &u.brake_torque, &u.rear_brake_torque,
        &u.max_dab_speed, &u.front_sprocket_adjustment, &u.rear_sprocket_adjustment,
        &u.fork_compression_adjustment, &u.fork_rebound_adjustment,
        &u.fork_spring_rate_adjustment, &u.fork_preload_adjustment,
        &u.fork_oil_level_adjustment, &u.shock_compression_adjustment,
        &u.shock_rebound_adjustment, &u.shock_spring_rate_adjustment,
        &u.shock_preload_adjustment, &u.rider_yspring, &u.rider_ydamping, &u.rider_zspring,
        &u.rider_zdamping, &u.rider_mass_distribution};
    for (NumberItem *n : numbers)
        number_set(n, n->value == n->maximum ? n->value - n->step : n->value + n->step);
    for (NumberItem *n : setup_numbers)
        number_set(n, n->value == n->maximum ? n->value - n->step : n->value + n->step);
    for (int i = 0; i < BINDING_COUNT; i++)
        binding_parse(&s.bindings[i], i % 2 ? "(0.1,0.9)Pad axis 3" : "(k)Keypad 5");

    ASSERT_EQ(config_write(), 1);
    const std::string changed = read_config();
    prepare();
    config_read();
    ASSERT_EQ(config_write(), 1);
    EXPECT_EQ(read_config(), changed);

    std::istringstream a(defaults), b(changed);
    int lines = 0;
    for (std::string da, db; std::getline(a, da) && std::getline(b, db); lines++)
        EXPECT_NE(da, db) << "not moved off its default";
    EXPECT_EQ(lines, 166);
}

TEST_F(ConfigTest, FailedWriteLeavesThePreviousFileWhole) {
    write_config("laps=3\n");
    const std::string before = read_config();
    namespace fs = std::filesystem;
    const std::string new_path = home.at("Rutmoor/config.new");

    // A full disk: the writes only fail when flushed.
    fs::create_symlink("/dev/full", new_path);
    EXPECT_EQ(config_write(), 0);
    EXPECT_EQ(read_config(), before);
    EXPECT_FALSE(fs::exists(fs::symlink_status(new_path)));

    // A new file that cannot be created at all.
    fs::create_directory(new_path);
    EXPECT_EQ(config_write(), 0);
    EXPECT_EQ(read_config(), before);
    fs::remove(new_path);

    EXPECT_EQ(config_write(), 1);
    EXPECT_NE(read_config(), before);
    EXPECT_FALSE(fs::exists(new_path));
}
