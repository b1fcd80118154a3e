#include "bike/model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bike/graphics.h"
#include "common/console.h"

TEST(ModelTable, OrderNamesClassesAndGraphicsBases) {
    struct Row {
        int index;
        const char *name, *model_class, *base;
    };
    const Row rows[] = {
        {0, "crf450(2013)", "450f", "crf450v2013"}, {5, "350sxf(2013)", "250f", "350sxfv2013"},
        {11, "350sxf(2011)", "450f", "350sxf"},     {12, "250sx(2012)", "250", "250sx"},
        {18, "kx250f(2013)", "250f", "kx250fv2013"}, {34, "yz125", "125", "yz125"},
        {40, "yz250f_se(2006)", "250f", "yz250f"},  {41, "rs50cr", "50", "cr125"},
        {44, "rs50yz", "50", "yz125"},
    };
    for (const Row &r : rows) {
        const BikeModel *m = model_at(r.index);
        ASSERT_NE(m, nullptr);
        EXPECT_STREQ(m->name, r.name);
        EXPECT_STREQ(m->model_class, r.model_class);
        EXPECT_STREQ(m->graphics_base, r.base);
    }
    EXPECT_EQ(model_at(MODEL_COUNT), nullptr);
    EXPECT_EQ(model_at(-1), nullptr);
    for (int i = 0; i < MODEL_COUNT; i++) EXPECT_EQ(model_find(model_at(i)->name), model_at(i));
}

TEST(ModelTable, FileNamesUseTheGraphicsBase) {
    const BikeModel *yz = model_find("yz125");
    const char *expected[MODEL_FILE_COUNT] = {
        "@yz125_frame.jm", "@generic_frame.shp", "@yz125.png", "@yz125_fork_upper.jm",
        "@generic_fork_upper.shp", "@yz125_fork_lower.jm", "@generic_fork_lower.shp",
        "@yz125_swingarm.jm", "@generic_swingarm.shp", "@front_wheel.jm", "@front_wheel.shp",
        "@rear_wheel.jm", "@rear_wheel.shp", "@wheels.png", "@rider_head.jm", "@rider_head.png",
        "@rider_body.jm", "@rider_body_fp.jm", "@generic_rider.shp", "@rider_body.png",
        "@yz125_side_plates.jm", "@yz125_front_plate.jm", "@rider_plate.jm"};
    for (int f = 0; f < MODEL_FILE_COUNT; f++) EXPECT_STREQ(yz->files[f], expected[f]) << f;
    const BikeModel *se = model_find("yz250f_se(2006)");
    EXPECT_STREQ(se->files[FILE_BIKE_TEXTURE], "@yz250f_se.png");
    EXPECT_STREQ(se->files[FILE_FRAME_MODEL], "@yz250f_frame.jm");
    EXPECT_STREQ(model_find("rs50kx")->files[FILE_SWINGARM_MODEL], "@kx125_swingarm.jm");
}

TEST(ModelTable, SharedChassis) {
    for (int i = 0; i < MODEL_COUNT; i++) {
        const BikeModel *m = model_at(i);
        EXPECT_FLOAT_EQ(m->front.centre.z, 1.11f);
        EXPECT_FLOAT_EQ(m->front.ring_radius, 0.8333333f);
        EXPECT_FLOAT_EQ(m->rear.ring_radius, 0.75f);
        EXPECT_FLOAT_EQ(m->rear.hub_mass, 0.3125f);
        EXPECT_FLOAT_EQ(m->fork_travel, 1.0f);
        EXPECT_FLOAT_EQ(m->swingarm_travel, 0.55f);
        EXPECT_FLOAT_EQ(m->linkage[0], m->linkage[1]);
        EXPECT_FLOAT_EQ(m->torso_point.y, 4.5f);
        EXPECT_FLOAT_EQ(m->shin, 1.701f);
        EXPECT_GT(m->gear_ratio[0], 0) << m->name;
    }
}

TEST(ModelTable, TellingRows) {
    struct Row {
        const char *name;
        float frame_mass, fork_spring0, shock_spring1, primary, inertia, rider_mass, gear5;
        float rear_teeth, shift_down;
    };
    const Row rows[] = {
        {"yz125", 3.65375f, 322.545f, 4502.19f, 3.368421f, 0.0048828f, 4.6875f, 1.095f, 48, 9400},
        {"yz250(2012)", 4.365625f, 322.545f, 4770.98f, 3.0f, 0.0068359f, 5.46875f, -1, 50, 6000},
        {"yz250f(2013)", 4.24f, 335.984f, 4905.37f, 3.352941f, 0.0048828f, 4.6875f, -1, 50, 8000},
        {"crf450(2013)", 4.735f, 376.303f, 5174.16f, 2.739130f, 0.0088501f, 5.46875f, -1, 48, 6000},
        {"rs50yz", 3.34125f, 309.106f, 4502.19f, 3.714286f, 0.0011936f, 4.6875f, 0.957f, 55, 9400},
    };
    for (const Row &r : rows) {
        const BikeModel *m = model_find(r.name);
        ASSERT_NE(m, nullptr) << r.name;
        EXPECT_FLOAT_EQ(m->frame_mass, r.frame_mass) << r.name;
        EXPECT_FLOAT_EQ(m->fork_spring[0], r.fork_spring0) << r.name;
        EXPECT_FLOAT_EQ(m->shock_spring[1], r.shock_spring1) << r.name;
        EXPECT_FLOAT_EQ(m->primary_ratio, r.primary) << r.name;
        EXPECT_FLOAT_EQ(m->engine_inertia, r.inertia) << r.name;
        EXPECT_FLOAT_EQ(m->rider_mass, r.rider_mass) << r.name;
        EXPECT_FLOAT_EQ(m->gear_ratio[5], r.gear5) << r.name;
        EXPECT_FLOAT_EQ(m->rear_teeth, r.rear_teeth) << r.name;
        EXPECT_FLOAT_EQ(m->shift_down_rpm, r.shift_down) << r.name;
    }
}

TEST(ModelTable, TorqueCurves) {
    const BikeModel *yz = model_find("yz125");
    const float open[] = {5, 5, 5, 5, 5, 6, 7.1f, 8.2f, 9.3f, 10.4f, 11.555f, 10.791f, 10.504f,
                          12.12f, 13.13f, 13.655f, 13.787f, 14.273f, 14.881f, 15.369f, 15.861f,
                          15.706f, 15.661f, 15.163f, 13.655f, 5.042f, 0, 0, -1, -1, -2, -2};
    for (int k = 0; k < (int)(sizeof open / sizeof open[0]); k++) EXPECT_FLOAT_EQ(yz->open_torque[k], open[k]) << k;
    EXPECT_FLOAT_EQ(yz->open_torque[49], -11);
    const float closed[] = {2, 2, 1, 0, -1, -1.2f, -1.4f, -1.6f, -1.8f, -2, -2.25f, -2.5f, -2.75f,
                            -3, -3.33f, -3.67f, -4, -5, -6, -7, -8, -9, -10, -10, -11, -11, -12};
    for (int k = 0; k < (int)(sizeof closed / sizeof closed[0]); k++) EXPECT_FLOAT_EQ(yz->closed_torque[k], closed[k]) << k;
    EXPECT_FLOAT_EQ(yz->closed_torque[49], -23);

    const BikeModel *crf = model_find("crf450(2013)");
    const float crf_closed[] = {2, 2, 1, 0, -1, -1, -2, -2, -3};
    for (int k = 0; k < 9; k++) EXPECT_FLOAT_EQ(crf->closed_torque[k], crf_closed[k]) << k;
    EXPECT_FLOAT_EQ(crf->closed_torque[49], -23);
    const BikeModel *rs = model_find("rs50yz");
    EXPECT_FLOAT_EQ(rs->closed_torque[2], 1);
    EXPECT_FLOAT_EQ(rs->closed_torque[5], -0.6f);

    // Peaks and rev limits of the other reference bikes.
    struct Peak {
        const char *name;
        float peak;
        int peak_k, zero_k;
    };
    const Peak peaks[] = {{"yz250(2012)", 29.902f, 15, 21}, {"yz250f(2013)", 18.68f, 16, 28},
                          {"crf450(2013)", 31.0f, 14, 24}, {"rs50yz", 4.312f, 19, 27}};
    for (const Peak &p : peaks) {
        const BikeModel *m = model_find(p.name);
        int best = 0;
        for (int k = 0; k < TORQUE_POINTS; k++)
            if (m->open_torque[k] > m->open_torque[best]) best = k;
        EXPECT_EQ(best, p.peak_k) << p.name;
        EXPECT_FLOAT_EQ(m->open_torque[best], p.peak) << p.name;
        EXPECT_FLOAT_EQ(m->open_torque[p.zero_k], 0) << p.name;
        EXPECT_GT(m->open_torque[p.zero_k - 1], 0) << p.name;
        EXPECT_LT(m->open_torque[49], 0) << p.name;
        EXPECT_FLOAT_EQ(m->open_torque[0], m->open_torque[3]) << p.name;   // flat at low rpm
    }
}

TEST(ModelTable, FallbackPicksByPatternAndSaysSo) {
    struct Case {
        const char *wanted, *used;
    };
    const Case cases[] = {{"yz126", "kx250f(2013)"}, {"cr125x", "cr125"}, {"", "kx250f(2013)"}};
    for (const Case &c : cases) {
        EXPECT_EQ(model_find(c.wanted), nullptr);
        const BikeModel *m = model_lookup(c.wanted);
        EXPECT_STREQ(m->name, c.used);
        std::string expected = std::string("bike info for '") + c.wanted + "' not found using '" + c.used + "' instead";
        EXPECT_EQ(std::string(console_ring_line(0)), expected);
    }
    EXPECT_STREQ(model_lookup("yz125")->name, "yz125");
}

TEST(ModelTable, VariantNames) {
    struct Case {
        const char *model, *texture, *result;
    };
    const Case cases[] = {
        {"@yz125_frame.jm", "@bikes/yz125-red-x.png", "@yz125_frame-red.jm"},
        {"@yz125_frame.jm", "yz125-blue-2-3.png", "@yz125_frame-blue.jm"},
        {"@yz125_frame.jm", "@yz125-red.png", nullptr},      // one "-": no variant
        {"@yz125_frame", "@yz125-red-x.png", nullptr},       // no ending
        {"@dir.v2/frame", "@yz125-red-x.png", nullptr},      // "/" after the last "."
        {"@yz125_frame.jm", "@a-b/plain.png", nullptr},      // tags only in the base name
    };
    for (const Case &c : cases) {
        char out[256];
        int ok = model_variant_name(c.model, c.texture, ".jm", out, sizeof out);
        if (c.result) {
            EXPECT_EQ(ok, 1) << c.texture;
            EXPECT_STREQ(out, c.result);
        } else {
            EXPECT_EQ(ok, 0) << c.model << " " << c.texture;
        }
    }
    char tiny[8];
    EXPECT_EQ(model_variant_name("@yz125_frame.jm", "@x-red-y.png", ".jm", tiny, sizeof tiny), 0);
}

TEST(BikeGraphics, PlateColoursClampAndTruncate) {
    unsigned char rgb[3] = {1, 2, 3};
    EXPECT_EQ(plate_colour_parse("x [numberbackground:2,0.5,-1] y", "[numberbackground:", rgb), 1);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 127);
    EXPECT_EQ(rgb[2], 0);
    unsigned char keep[3] = {9, 9, 9};
    EXPECT_EQ(plate_colour_parse("[numberforeground:1,0.5]", "[numberforeground:", keep), 0);
    EXPECT_EQ(keep[0], 9);
    EXPECT_EQ(plate_colour_parse("", "[numberforeground:", keep), 0);
    EXPECT_EQ(plate_colour_parse("[numberforeground:0.5,nan,1]", "[numberforeground:", keep), 0);
    EXPECT_EQ(keep[1], 9);
}
