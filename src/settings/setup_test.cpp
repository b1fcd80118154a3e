// The bike setup: presets, the file order they rely on, model names, texture lists and how
// the values reach a bike.
#include "settings/settings_fixture.h"

#include "bike/bike.h"

#include <string>
#include <vector>

using SetupTest = SettingsTest;

TEST_F(SetupTest, StabilityBlendsThePresetColumns) {
    const BikeSetup &s = settings.setup;
    struct Case {
        float stability;
        double roll_damping, restricted_lock, direct_steering, roll_limit_angle;
    };
    const Case cases[] = {
        {0, 40, 45, 1, 90},
        {10, 45, 30, 1, 67.5},
        {50, 65, 7.5, 1, 42.5},
        {90, 77.5, 5, 0.5, 35},
        {100, 80, 5, 0, 35},
        {250, 80, 5, 0, 35},
        {-20, 40, 45, 1, 90},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stability);
        stability_presets(c.stability);
        EXPECT_EQ(s.roll_damping.value, c.roll_damping);
        EXPECT_EQ(s.restricted_lock.value, c.restricted_lock);
        EXPECT_EQ(s.direct_steering.value, c.direct_steering);
        EXPECT_EQ(s.roll_limit_angle.value, c.roll_limit_angle);
        EXPECT_EQ(s.leveling.value, 20);
    }
}

TEST_F(SetupTest, StabilityLineSetsPresetsAndLaterLinesWin) {
    read_text("stability=50.7\n");
    EXPECT_EQ(settings.setup.stability.value, 50.7);
    EXPECT_EQ(settings.setup.roll_damping.value, 65);   // from its whole part

    settings_reset();
    read_text("stability=50\nroll_damping=10\n");
    EXPECT_EQ(settings.setup.roll_damping.value, 10);
    EXPECT_EQ(settings.setup.restricted_lock.value, 7.5);

    settings_reset();
    read_text("roll_damping=10\nstability=50\n");
    EXPECT_EQ(settings.setup.roll_damping.value, 65);

    settings_reset();
    read_text("stability=soft\n");
    EXPECT_EQ(settings.setup.stability.value, 100);
    EXPECT_EQ(settings.setup.roll_damping.value, 80);
}

TEST_F(SetupTest, SetupKeysClaimOnlyTheirOwn) {
    EXPECT_EQ(setup_key("laps", "3"), 0);
    EXPECT_EQ(setup_key("Bike", "cr125"), 0);
    EXPECT_EQ(setup_key("rider_mass_distribution", "0.9"), 1);
    EXPECT_EQ(settings.setup.rider_mass_distribution.value, 0.5);
    EXPECT_EQ(setup_key("name", "A rider whose name runs on well past the sixty-three characters"), 1);
    EXPECT_EQ(strlen(settings.setup.name.text), 63u);
    EXPECT_EQ(setup_key("stop_wheelies", "Front Only"), 1);
    EXPECT_EQ(settings.setup.stop_wheelies.index, 2);
}

TEST_F(SetupTest, BikeNamesAndTheirGraphicsList) {
    for (const char *name : {"kx250f-green.png", "kx250f-green_norm.png", "kx250f-red.png",
                             "yz125-blue.png", "bikes/kx250f-gold.png"})
        data.write(name, "");
    data_reset();
    setup_textures_build();
    EXPECT_EQ(settings.setup.bike_texture.count, 1);   // 450sxf(2013) has none here

    struct Case {
        const char *value, *selected;
    };
    const Case cases[] = {
        {"kx250f", "kx250f(2008)"},      {"crf250", "crf250(2008)"},
        {"rmz250", "rmz250(2008)"},      {"yz250f", "yz250f(2008)"},
        {"kx250f(2013)", "kx250f(2013)"}, {"kx250f(1999)", "kx250f(2013)"},
        {"KX250F", "kx250f(2013)"},
    };
    for (const Case &c : cases) {
        setup_key("bike", c.value);
        EXPECT_STREQ(choice_text(&settings.setup.bike), c.selected) << c.value;
    }

    setup_key("bike", "kx250f");
    ASSERT_EQ(settings.setup.bike_texture.count, 4);
    EXPECT_STREQ(settings.setup.bike_texture.choices[1], "gold");
    EXPECT_STREQ(settings.setup.bike_texture.choices[2], "green");
    EXPECT_STREQ(settings.setup.bike_texture.choices[3], "red");
    setup_key("bike_texture", "red");
    EXPECT_STREQ(setup_texture_file(SETUP_TEXTURE_BIKE), "@kx250f-red.png");
    setup_key("bike_texture", "gold");
    EXPECT_STREQ(setup_texture_file(SETUP_TEXTURE_BIKE), "@bikes/kx250f-gold.png");

    // Choosing a bike again starts its graphics from "default".
    setup_key("bike", "kx250f(2009)");
    EXPECT_EQ(settings.setup.bike_texture.index, 0);
    EXPECT_EQ(setup_texture_file(SETUP_TEXTURE_BIKE), nullptr);
    setup_key("bike", "yz125");
    ASSERT_EQ(settings.setup.bike_texture.count, 2);
    EXPECT_STREQ(settings.setup.bike_texture.choices[1], "blue");
}

TEST_F(SetupTest, TextureListsTakeOnlyPlainPngsWithTheirPrefix) {
    for (const char *name : {"rider_body-alt1.png", "rider_body-alt1_norm.png",
                             "rider_body-alt1_spec.png", "rider_body-alt2.jpg",
                             "my_rider_body-x.png", "gear/rider_body-alt3.png",
                             "rider_body-alt4.png.gz", "rider_head-alt1.png", "wheels-a.png"})
        data.write(name, "");
    data_reset();
    setup_textures_build();
    const ChoiceItem &gear = settings.setup.rider_texture;
    ASSERT_EQ(gear.count, 3);
    EXPECT_STREQ(gear.choices[0], "default");
    EXPECT_STREQ(gear.choices[1], "alt3");   // names list order: "gear/..." sorts first
    EXPECT_STREQ(gear.choices[2], "alt1");
    EXPECT_EQ(settings.setup.head_texture.count, 2);
    EXPECT_EQ(settings.setup.wheel_texture.count, 2);

    read_text("rider_texture=alt1\nhead_texture=nope\nwheel_texture=a\n");
    EXPECT_STREQ(setup_texture_file(SETUP_TEXTURE_RIDER), "@rider_body-alt1.png");
    EXPECT_EQ(setup_texture_file(SETUP_TEXTURE_HEAD), nullptr);
    EXPECT_STREQ(setup_texture_file(SETUP_TEXTURE_WHEEL), "@wheels-a.png");
}

struct SetupApplyTest : SetupTest {
    Bike *bike = nullptr;
    void SetUp() override {
        SetupTest::SetUp();
        ASSERT_EQ(physics_init(), 1);
        bike = bike_create("yz125", 0, "999", nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        bike_destroy(bike);
        physics_shutdown();
        SetupTest::TearDown();
    }
};

TEST_F(SetupApplyTest, ConvertsUnitsAndAdjustments) {
    read_text("roll_limit_angle=90\nrestricted_lock=10\nmax_dab_speed=20\n"
              "fork_compression_adjustment=0\nfork_rebound_adjustment=100\n"
              "shock_compression_adjustment=50\nfork_spring_rate_adjustment=100\n"
              "front_sprocket_adjustment=1\nrear_sprocket_adjustment=-2\n"
              "rider_yspring=30\nstop_wheelies=Front Only\nfront_brake=Normal\n");
    setup_apply(bike, 0);
    const BikeModel &m = bike->model;
    EXPECT_FLOAT_EQ(bike->roll_limit_angle, 1.5707964f);
    EXPECT_FLOAT_EQ(bike->restricted_lock_angle, 0.17453292f);
    EXPECT_NEAR(bike->max_dab_speed, 29.333f, 0.001f);
    EXPECT_FLOAT_EQ(bike->fork_compression, m.fork_compression * 0.5f);
    EXPECT_FLOAT_EQ(bike->fork_rebound, m.fork_rebound * 2);
    EXPECT_FLOAT_EQ(bike->shock_compression, m.shock_compression);
    EXPECT_FLOAT_EQ(bike->fork_spring, m.fork_spring[1]);
    EXPECT_FLOAT_EQ(bike->final_drive, (m.rear_teeth - 2) / (m.countershaft_teeth + 1));
    EXPECT_FLOAT_EQ(bike->rider_vertical_spring, 0.3f);
    EXPECT_EQ(bike->flags & (BIKE_STOP_WHEELIES | BIKE_STOP_STOPPIES), BIKE_STOP_STOPPIES);
    EXPECT_EQ(bike->flags & BIKE_FRONT_ANTILOCK, 0);
    EXPECT_NE(bike->flags & BIKE_ARCADE, 0);
    EXPECT_EQ(bike->roll_damping, 80);

    setup_apply(bike, 1);   // a server decides: no arcade physics
    EXPECT_EQ(bike->flags & BIKE_ARCADE, 0);
}
