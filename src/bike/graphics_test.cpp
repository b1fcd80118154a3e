// What a bike looks like: part models chosen by texture variants, fallbacks to the model's
// own pictures, number plate colours.
#include "bike/graphics.h"

#include <gtest/gtest.h>

#include <string>

#include "bike/bike_test_support.h"
#include "common/console.h"
#include "render/image.h"
#include "render/model.h"
#include "render/png_write.h"

namespace {

const char TRIANGLE[] = "3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 1 0\n0 1 0 0 0 1 0 1\n0 1 2\n";

struct GraphicsHome {
    TempDir user;
    ScopedEnv xdg{"XDG_DATA_HOME", user.path.c_str()};
    ScopedEnv qz{"QZ_HOME", user.at("install").c_str()};
    GraphicsHome() { reset(); }
    ~GraphicsHome() { reset(); }
    static void reset() {
        data_reset();
        images_clear();
        models_clear();
        shapes_clear();
    }
    void put(const std::string &name, const std::string &bytes) { user.write("Rutmoor/" + name, bytes); }
    void picture(const std::string &name) {
        unsigned char pixels[4 * 4 * 3] = {};
        user.write("Rutmoor/.keep", "");   // the home directory must exist to write into
        ASSERT_EQ(png_write(("@" + name).c_str(), 4, 4, 3, 8, pixels), 1);
    }
};

int shown(const std::string &text) {
    for (int i = 0; i < 40 && console_ring_line(i); i++)
        if (text == console_ring_line(i)) return 1;
    return 0;
}

}  // namespace

using BikeLooks = RideTest;

TEST_F(BikeLooks, VariantModelsFollowTheChosenTexture) {
    GraphicsHome home;
    home.picture("yz125-red-x.png");
    home.picture("yz125.png");
    home.put("yz125-red-x.png.info", "[numberbackground:1,0,0][numberforeground:0,0,1]\n");
    for (const char *part : {"frame", "side_plates", "fork_upper", "front_plate", "fork_lower", "swingarm"}) {
        home.put(std::string("yz125_") + part + "-red.jm", TRIANGLE);
        home.put(std::string("yz125_") + part + ".jm", TRIANGLE);
    }
    Bike *bike = bike_create("yz125", 0, "12", nullptr, nullptr, "@yz125-red-x.png", nullptr);
    bikes.push_back(bike);
    const BikeGraphics &g = bike->graphics;
    ASSERT_NE(g.frame, nullptr);
    EXPECT_STREQ(model_name(g.frame), "@yz125_frame-red.jm");
    EXPECT_STREQ(model_name(g.swingarm), "@yz125_swingarm-red.jm");
    EXPECT_STREQ(image_name(g.texture[TEXTURE_BIKE]), "@yz125-red-x.png");
    EXPECT_EQ(g.plate_background[0], 255);
    EXPECT_EQ(g.plate_background[1], 0);
    EXPECT_EQ(g.plate_foreground[2], 255);
    // No wheel, rider or helmet files at all: those parts stay undrawn, with warnings.
    EXPECT_EQ(g.front_wheel, nullptr);
    EXPECT_TRUE(shown("Warning: Can't load @front_wheel.jm"));
    EXPECT_STREQ(bike_plate_text(bike), "12");
}

TEST_F(BikeLooks, MissingChoiceFallsBackToTheModelsOwnPicture) {
    GraphicsHome home;
    home.picture("yz125.png");
    home.picture("yz125-blue.png");      // one '-': no variant, the plain models load
    for (const char *part : {"frame", "side_plates", "fork_upper", "front_plate", "fork_lower", "swingarm"})
        home.put(std::string("yz125_") + part + ".jm", TRIANGLE);
    Bike *plain = bike_create("yz125", 0, "", nullptr, nullptr, "@yz125-blue.png", nullptr);
    bikes.push_back(plain);
    EXPECT_STREQ(model_name(plain->graphics.frame), "@yz125_frame.jm");
    EXPECT_STREQ(image_name(plain->graphics.texture[TEXTURE_BIKE]), "@yz125-blue.png");
    EXPECT_EQ(plain->graphics.plate_background[0], 255);   // white on black by default
    EXPECT_EQ(plain->graphics.plate_foreground[0], 0);

    // A chosen picture whose variant models are missing: warned, then the defaults load.
    home.picture("yz125-green-y.png");
    Bike *bike = bike_create("yz125", 1, "", nullptr, nullptr, "@yz125-green-y.png", nullptr);
    bikes.push_back(bike);
    EXPECT_TRUE(shown("Warning: Can't load @yz125_frame-green.jm"));
    EXPECT_STREQ(model_name(bike->graphics.frame), "@yz125_frame.jm");
    EXPECT_STREQ(image_name(bike->graphics.texture[TEXTURE_BIKE]), "@yz125.png");
    // It still rides: physics needs none of it.
    EXPECT_GT(bike->total_mass, 10);
}
