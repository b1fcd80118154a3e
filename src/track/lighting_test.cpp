// Track lighting: defaults, limits, keywords, flares, the unknown keyword and the writer.
#include "track/lighting.h"

#include <gtest/gtest.h>

#include "track/track_test_home.h"

namespace {

struct LightingTest : ::testing::Test {
    DataHome home;
    Lighting lighting = {};
    ~LightingTest() override { lighting_free(&lighting); }
    int read(const std::string &text) {
        home.put("t/lighting", text);
        return lighting_read(&lighting, "@t/lighting");
    }
};

TEST_F(LightingTest, ClippingPlanesAreLimited) {
    struct Case {
        const char *text;
        float near_plane, far_plane;
    } cases[] = {
        {"", 0.25f, 5000},
        {"near_plane 2\n", 0.875f, 5000},
        {"far_plane 0.1\n", 0.25f, 0.25f},
        {"near_plane 0\nfar_plane 1e9\n", 1.0f / 1024, 1048576},
        {"near_plane 0.5\nfar_plane 0.3\n", 0.5f, 0.5f},
        {"near_plane -3\n", 1.0f / 1024, 5000},
        {"near_plane nan\nfar_plane inf\n", 0.25f, 5000},
    };
    for (const Case &c : cases) {
        read(c.text);
        EXPECT_FLOAT_EQ(lighting.near_plane, c.near_plane) << c.text;
        EXPECT_FLOAT_EQ(lighting.far_plane, c.far_plane) << c.text;
    }
}

TEST_F(LightingTest, MissingFileGivesTheDefaults) {
    EXPECT_EQ(lighting_read(&lighting, "@t/none"), 0);
    EXPECT_NEAR(lighting.sun_vector.x, 0.57735f, 1e-5);
    EXPECT_FLOAT_EQ(lighting.ambient.y, 0.5f);
    EXPECT_FLOAT_EQ(lighting.global_ambient.z, 0.2f);
    EXPECT_EQ(lighting.dynamic_lighting, 0);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0);
    EXPECT_FLOAT_EQ(lighting.fog_color[3], 1);
    EXPECT_STREQ(lighting.sky[SKY_NORTH], "@sky-n.ppm");
    EXPECT_STREQ(lighting.sky[SKY_UP], "@sky-u.ppm");
    EXPECT_STREQ(lighting.sky_env, "@sky-env.ppm");
    EXPECT_EQ(lighting.flares.count, 0);
}

TEST_F(LightingTest, KeywordsSetTheirValues) {
    ASSERT_EQ(read("  sun_vector [ 0 3 4 ]\r\n"
                   "\tsun_color\t[ 1 0.5 0.25 ]\n"
                   "\n"
                   "ambient [0.1 0.2 0.3]\n"
                   "sky_e   @dusk east.png  \n"
                   "fog [ 0.5 0.6 0.7 ] 0.01\n"
                   "dynamic_lighting 1\n"
                   "flare_element [ 0.5 2 ] [ 1 0.9 0.8 ] 3 @flare.png\n"
                   "flare_element [ 1 2 ] [ 1 1 ] 3 @short.png\n"   // too few numbers
                   "flare_vector [ 0 1 0 ]\n"
                   "flare_point [ 10 20 30 ]\n"),
              1);
    EXPECT_NEAR(lighting.sun_vector.y, 0.6f, 1e-6);
    EXPECT_NEAR(lighting.sun_vector.z, 0.8f, 1e-6);
    EXPECT_FLOAT_EQ(lighting.sun_color.z, 0.25f);
    EXPECT_FLOAT_EQ(lighting.ambient.z, 0.3f);
    EXPECT_STREQ(lighting.sky[SKY_EAST], "@dusk east.png");
    EXPECT_STREQ(lighting.sky[SKY_WEST], "@sky-w.ppm");
    EXPECT_FLOAT_EQ(lighting.fog_color[2], 0.7f);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0.01f);
    EXPECT_EQ(lighting.dynamic_lighting, 1);
    ASSERT_EQ(lighting.flares.count, 2);
    const Flare *sun = array_get<Flare>(&lighting.flares, 0);
    ASSERT_EQ(sun->element_count, 1);
    EXPECT_TRUE(sun->directional);
    EXPECT_FLOAT_EQ(sun->elements[0].size, 2);
    EXPECT_FLOAT_EQ(sun->elements[0].extra, 3);
    EXPECT_STREQ(sun->elements[0].texture_name, "@flare.png");
    const Flare *point = array_get<Flare>(&lighting.flares, 1);
    EXPECT_EQ(point->element_count, 0);
    EXPECT_FALSE(point->directional);
    EXPECT_FLOAT_EQ(point->anchor.z, 30);
}

TEST_F(LightingTest, AFlareKeepsAtMostEightElements) {
    std::string text;
    for (int i = 0; i < 12; i++)
        text += "flare_element [ " + std::to_string(i) + " 1 ] [ 1 1 1 ] 0 @f.png\n";
    read(text + "flare_point [ 0 0 0 ]\n");
    ASSERT_EQ(lighting.flares.count, 1);
    const Flare *flare = array_get<Flare>(&lighting.flares, 0);
    EXPECT_EQ(flare->element_count, FLARE_ELEMENTS_MAX);
    EXPECT_FLOAT_EQ(flare->elements[7].place, 7);
}

TEST_F(LightingTest, UnknownKeywordEndsTheReadingKeepingWhatCameBefore) {
    read("near_plane 0.5\nsunvector [ 1 0 0 ]\nfar_plane 10\n");
    EXPECT_EQ(last_console_line(), "Error reading lighting: Unknown identifier 'sunvector'");
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 5000);
    EXPECT_STREQ(lighting.sky_env, "@sky-env.ppm");   // defaults still filled in
}

TEST_F(LightingTest, WriterWritesWhatTheReaderReads) {
    read("sun_vector [ 0 1 0 ]\nambient [ 0.3 0.3 0.4 ]\nnear_plane 0.5\nfar_plane 900\n"
         "dynamic_lighting 1\nfog [ 0.1 0.2 0.3 ] 0.002\nsky_u @top.ppm\nsky_env @env.ppm\n"
         "flare_element [ 1 2 ] [ 0.5 0.5 0.5 ] 4 @ring.png\nflare_vector [ 1 1 0 ]\n");
    Lighting first = lighting;
    ASSERT_EQ(lighting_write(&first, "@t/lighting2"), 1);
    lighting = Lighting{};
    ASSERT_EQ(lighting_read(&lighting, "@t/lighting2"), 1);
    EXPECT_FLOAT_EQ(lighting.sun_vector.y, 1);
    EXPECT_FLOAT_EQ(lighting.ambient.z, 0.4f);
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 900);
    EXPECT_EQ(lighting.dynamic_lighting, 1);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0.002f);
    EXPECT_STREQ(lighting.sky[SKY_UP], "@top.ppm");
    EXPECT_STREQ(lighting.sky[SKY_NORTH], "@sky-n.ppm");
    EXPECT_STREQ(lighting.sky_env, "@env.ppm");
    ASSERT_EQ(lighting.flares.count, 1);
    const Flare *flare = array_get<Flare>(&lighting.flares, 0);
    EXPECT_TRUE(flare->directional);
    EXPECT_FLOAT_EQ(flare->anchor.y, 1);
    EXPECT_FLOAT_EQ(flare->elements[0].extra, 4);
    EXPECT_EQ(home.get("t/lighting2").find("sky_n"), std::string::npos);
    lighting_free(&first);
    EXPECT_EQ(lighting_write(&lighting, unwritable_path(home, "lighting").c_str()), 0);
    EXPECT_EQ(last_console_line(), "Can't open 'lighting'");
}

}  // namespace
