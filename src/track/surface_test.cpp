// Surface types: the "tileinfo" and "texturelist" readers, the tile map and the lookups.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "track/terrain_test_support.h"

namespace {

// Reads text as a "tileinfo" (or "texturelist") file into a fresh table.
struct Table {
    TempDir tmp;
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    std::vector<std::string> messages;
    explicit Table(const std::string &text, bool texturelist = false) {
        tmp.write("table", text);
        DataStream *s = data_open(tmp.at("table").c_str(), "rb");
        ConsoleMark mark;
        if (texturelist)
            texturelist_read(t, s);
        else
            tileinfo_read(t, s);
        messages = mark.lines();
        data_close(s);
    }
    ~Table() {
        terrain_free(t);
        free(t);
    }
    const Surface &operator[](int k) const { return t->surfaces[k]; }
};

TEST(Tileinfo, DefaultsOfATypeWithoutLines) {
    Table table("addtile\n");
    ASSERT_EQ(table.t->surface_count, 1);
    const Surface &s = table[0];
    EXPECT_EQ(s.friction_value[0], 1.0f);
    EXPECT_EQ(s.friction_speed[0], 1.0f);
    EXPECT_EQ(s.friction_speed[1], 0.0f);
    EXPECT_EQ(surface_friction(&s, 1e6f), 1.0f);
    RollResist rr = surface_roll_resist(&s, 50.0f);
    EXPECT_EQ(rr.low, 5.0f);
    EXPECT_EQ(rr.high, 15.0f);
    EXPECT_EQ(s.erode.erode_depth, 1.0f);
    EXPECT_EQ(s.erode.erode_lower, 50.0f);
    EXPECT_EQ(s.erode.erode_upper, 150.0f);
    EXPECT_EQ(s.erode.erode_displacement, 2.0f);
    EXPECT_EQ(s.erode.erode_radius, 4.0f);
    EXPECT_EQ(s.erode.erode_max_slope, 0.25f);
    EXPECT_EQ(s.erode.erode_off_speed, 10.0f);
    EXPECT_EQ(s.erode.erode_on_speed, 15.0f);
    for (const RoostType &r : s.roost) EXPECT_EQ(r.kind, 0);
    EXPECT_EQ(s.texture_name, nullptr);
    EXPECT_EQ(s.transition, 0);
    EXPECT_TRUE(table.messages.empty());
}

TEST(Tileinfo, FrictionInterpolatesInSquaredSpeed) {
    Table table("friction 0.6 30\nfriction 0.9 10\naddtile\n");   // sorted on finishing
    const Surface &s = table[0];
    EXPECT_EQ(s.friction_speed[0], 10.0f);
    struct Case { float speed, grip; } cases[] = {
        {0.0f, 0.9f}, {9.9f, 0.9f}, {10.0f, 0.9f}, {20.0f, 0.7875f}, {30.0f, 0.6f}, {45.0f, 0.6f},
    };
    for (const Case &k : cases)
        EXPECT_NEAR(surface_friction(&s, k.speed * k.speed), k.grip, 1e-6f) << k.speed;
}

TEST(Tileinfo, RollResistInterpolatesInSpeed) {
    Table table("roll_resist 2 4 20\nroll_resist 1 3 10\naddtile\n");
    struct Case { float speed, low, high; } cases[] = {
        {0.0f, 1.0f, 3.0f}, {10.0f, 1.0f, 3.0f}, {15.0f, 1.5f, 3.5f}, {20.0f, 2.0f, 4.0f}, {99.0f, 2.0f, 4.0f},
    };
    for (const Case &k : cases) {
        RollResist rr = surface_roll_resist(&table[0], k.speed);
        EXPECT_NEAR(rr.low, k.low, 1e-6f) << k.speed;
        EXPECT_NEAR(rr.high, k.high, 1e-6f) << k.speed;
    }
}

TEST(Tileinfo, CurveLinesAreCheckedAndClamped) {
    std::string nine;
    for (int k = 1; k <= 9; k++) nine += "friction 0." + std::to_string(k) + " " + std::to_string(k) + "\n";
    struct Case {
        std::string text;
        std::vector<std::string> messages;
        float value0, speed0;   // first friction point
        float low0, roll0;      // first roll point (low and speed)
    };
    std::vector<Case> cases = {
        {nine, {"tileinfo warning: too many friction points"}, 0.1f, 1.0f, 5.0f, 1.0f},
        {"friction -1 0\n", {}, 0.0f, 9.5367431640625e-7f, 5.0f, 1.0f},
        {"friction nan -inf\n", {}, 0.0f, 9.5367431640625e-7f, 5.0f, 1.0f},
        {"friction 0.5\n", {"tileinfo warning: bad friction parameters"}, 1.0f, 1.0f, 5.0f, 1.0f},
        {"friction\n", {"tileinfo warning: bad friction parameters"}, 1.0f, 1.0f, 5.0f, 1.0f},
        {"roll_resist -3 2 -1\n", {}, 1.0f, 1.0f, 0.0f, 9.5367431640625e-7f},
        {"roll_resist 1 2\n", {"tileinfo warning: bad roll_resist parameters"}, 1.0f, 1.0f, 5.0f, 1.0f},
    };
    std::string nine_roll;
    for (int k = 1; k <= 9; k++) nine_roll += "roll_resist 1 2 " + std::to_string(k) + "\n";
    cases.push_back({nine_roll, {"tileinfo warning: too many roll_resist points"}, 1.0f, 1.0f, 1.0f, 1.0f});
    for (const Case &k : cases) {
        Table table(k.text + "addtile\n");
        EXPECT_EQ(table.messages, k.messages) << k.text;
        EXPECT_NEAR(table[0].friction_value[0], k.value0, 1e-7f) << k.text;
        EXPECT_EQ(table[0].friction_speed[0], k.speed0) << k.text;
        EXPECT_EQ(table[0].roll_low[0], k.low0) << k.text;
        EXPECT_EQ(table[0].roll_speed[0], k.roll0) << k.text;
    }
    Table table(nine + "addtile\n");
    EXPECT_NEAR(table[0].friction_value[7], 0.8f, 1e-7f);   // the ninth line was dropped
}

TEST(Tileinfo, KeywordsAndErodeValues) {
    struct Case {
        std::string text;
        std::vector<std::string> messages;
        float radius;
    };
    std::vector<Case> cases = {
        {"erode_radius abc\n", {"tileinfo warning: bad erode_radius"}, 4.0f},
        {"erode_radius 2.5\n", {}, 2.5f},
        {"  \t erode_radius\t  -7  \r\n", {}, -7.0f},
        {"Texture dirt.png\n", {"tileinfo warning: Unknown identifier 'Texture'"}, 4.0f},
        {"erode_depthx 1\n", {"tileinfo warning: Unknown identifier 'erode_depthx'"}, 4.0f},
        {"\n   \r\n\t\n", {}, 4.0f},
    };
    const char *keys[] = {"erode_depth", "erode_lower", "erode_upper", "erode_displacement",
                          "erode_max_slope", "erode_off_speed", "erode_on_speed"};
    for (const char *key : keys)
        cases.push_back({std::string(key) + " x\n", {std::string("tileinfo warning: bad ") + key}, 4.0f});
    for (const Case &k : cases) {
        Table table(k.text + "addtile\n");
        EXPECT_EQ(table.messages, k.messages) << k.text;
        EXPECT_EQ(table[0].erode.erode_radius, k.radius) << k.text;
    }
    Table all("erode_depth 2\nerode_lower 3\nerode_upper 4\nerode_displacement 5\nerode_radius 6\n"
              "erode_max_slope 7\nerode_off_speed 8\nerode_on_speed 9\naddtile\n");
    const ErodeParams &e = all[0].erode;
    EXPECT_EQ(e.erode_depth, 2.0f);
    EXPECT_EQ(e.erode_lower, 3.0f);
    EXPECT_EQ(e.erode_upper, 4.0f);
    EXPECT_EQ(e.erode_displacement, 5.0f);
    EXPECT_EQ(e.erode_radius, 6.0f);
    EXPECT_EQ(e.erode_max_slope, 7.0f);
    EXPECT_EQ(e.erode_off_speed, 8.0f);
    EXPECT_EQ(e.erode_on_speed, 9.0f);
}

TEST(Tileinfo, RoostLines) {
    Table table(
        "roost count=3 dig=0.5 slip_threshold=2 slow_angle=1 fast_angle=0.5 slow_speed=1 fast_speed=9 "
        "size=2 grow=3 drag=4 vscale=5 randomize=6 r=300 g=-1 b=7.9 a=0 fade_r=256 fade_g=-128 "
        "fade_b=1000 fade_a=-256\n"
        "roost texture=\"@my dirt.png\" splash=1 bogus=2 count=x\n"
        "roost splash=0\n"
        "roost\n"
        "roost count=1\n"
        "addtile\n");
    EXPECT_EQ(table.messages, (std::vector<std::string>{"tileinfo warning: unknown roost parameter 'bogus=2'",
                                                        "tileinfo warning: bad count",
                                                        "tileinfo warning: too many roost types"}));
    const RoostType &a = table[0].roost[0];
    EXPECT_EQ(a.kind, 1);
    EXPECT_STREQ(a.texture_name, "@roost.png");
    EXPECT_EQ(a.count, 3.0f);
    EXPECT_EQ(a.dig, 0.5f);
    EXPECT_EQ(a.slip_threshold, 2.0f);
    EXPECT_EQ(a.slow_angle, 1.0f);
    EXPECT_EQ(a.fast_angle, 0.5f);
    EXPECT_EQ(a.slow_speed, 1.0f);
    EXPECT_EQ(a.fast_speed, 9.0f);
    EXPECT_EQ(a.size, 2.0f);
    EXPECT_EQ(a.grow, 3.0f);
    EXPECT_EQ(a.drag, 4.0f);
    EXPECT_EQ(a.vscale, 5.0f);
    EXPECT_EQ(a.randomize, 6.0f);
    EXPECT_EQ(a.r, 44);    // 300 keeps its low 8 bits
    EXPECT_EQ(a.g, 255);   // -1 likewise
    EXPECT_EQ(a.b, 7);
    EXPECT_EQ(a.a, 0);
    EXPECT_EQ(a.fade_r, 2);    // per second, stored per step of 1/128 s
    EXPECT_EQ(a.fade_g, -1);
    EXPECT_EQ(a.fade_b, 7);
    EXPECT_EQ(a.fade_a, -2);
    const RoostType &b = table[0].roost[1];
    EXPECT_EQ(b.kind, 2);
    EXPECT_STREQ(b.texture_name, "@my dirt.png");
    EXPECT_EQ(b.count, 0.0f);
    EXPECT_EQ(table[0].roost[2].kind, 1);
    EXPECT_EQ(table[0].roost[3].kind, 1);
    EXPECT_EQ(table[0].roost[3].count, 10.0f);
    EXPECT_EQ(table[0].roost[3].fade_a, -2);
}

TEST(Tileinfo, TypesEndAtAddtileAndAt256) {
    std::string text = "texture @a.png\nfriction 0.5 1\naddtile\nfriction 0.2 1\n";   // unfinished
    Table two(text);
    EXPECT_EQ(two.t->surface_count, 1);
    EXPECT_STREQ(two[0].texture_name, "@a.png");
    EXPECT_EQ(two[0].friction_value[0], 0.5f);
    EXPECT_EQ(two[1].friction_value[0], 0.0f);   // beyond surface_count: zero

    std::string many;
    for (int k = 0; k < 256; k++) many += "addtile\n";
    many += "no_such_keyword\n";   // never read
    Table full(many);
    EXPECT_EQ(full.t->surface_count, 256);
    EXPECT_TRUE(full.messages.empty());
}

TEST(Texturelist, LinesWithAndWithoutNumbers) {
    Table table("  0.7 3 9 textures/dirt.png\n"
                "grass.png\n"
                "\n"
                "0.5 oops.png\n"
                "nan 1 2 last.png",
                true);
    ASSERT_EQ(table.t->surface_count, 4);
    struct Case { const char *name; float grip, low, high; } cases[] = {
        {"@textures/dirt.png", 0.7f, 3.0f, 9.0f},
        {"@grass.png", 1.0f, 5.0f, 15.0f},
        {"@0.5 oops.png", 1.0f, 5.0f, 15.0f},
        {"@last.png", 0.0f, 1.0f, 2.0f},
    };
    for (int k = 0; k < 4; k++) {
        const Surface &s = table[k];
        EXPECT_STREQ(s.texture_name, cases[k].name);
        for (int p = 0; p < 8; p++) {
            EXPECT_EQ(s.friction_value[p], cases[k].grip);
            EXPECT_EQ(s.roll_low[p], cases[k].low);
            EXPECT_EQ(s.roll_high[p], cases[k].high);
            EXPECT_EQ(s.friction_speed[p], p == 0 ? 1.0f : 0.0f);
            EXPECT_EQ(s.roll_speed[p], p == 0 ? 1.0f : 0.0f);
        }
        EXPECT_EQ(s.roost[0].kind, 1);
        EXPECT_EQ(s.roost[1].kind, 0);
        EXPECT_EQ(s.erode.erode_radius, 4.0f);
        EXPECT_EQ(surface_friction(&s, 400.0f), cases[k].grip);
    }
}

TEST(SurfaceTransitions, CodesFromTextureNames) {
    const char *names[] = {"dirt.png", "grass.png", "dirt-grass-0011.png", "dirt-alt2.png",
                           "dirt-sand-1111.png", "grass-dirt-01.png", "mud", "dirt-grass-1000x.png"};
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    t->surface_count = 8;
    surface_transitions(t, names);
    int want[] = {0 * 65536 + 0 * 256, 1 * 65536 + 1 * 256, 0 * 65536 + 1 * 256 + 3, 0,
                  -256, 1 * 65536 + 0 * 256, 6 * 65536 + 6 * 256, 0 * 65536 + 1 * 256 + 8};
    for (int k = 0; k < 8; k++) EXPECT_EQ(t->surfaces[k].transition, want[k]) << names[k];
    free(t);

    // The readers strip the '@' and directories before matching.
    Table table("texture @tiles/dirt.png\naddtile\ntexture @grass.png\naddtile\n"
                "texture @tiles/dirt-grass-1001.png\naddtile\n");
    EXPECT_EQ(table[2].transition, 1 * 256 + 9);
}

TEST(Tilemap, BytesBeyondTheTableTakeTheLastType) {
    TempDir tmp;
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    ASSERT_EQ(terrain_create(t, 6, 1.0f, nullptr), 1);
    t->surface_count = 12;
    std::string map(64 * 64, '\0');
    map[0] = (char)200;
    map[1] = 11;
    map[64 * 3 + 2] = 5;
    map[4095] = (char)255;
    tmp.write("tilemap", map.substr(0, 4000));   // short: the rest is type 0
    DataStream *s = data_open(tmp.at("tilemap").c_str(), "rb");
    t->tilemap[4095] = 9;
    tilemap_read(t, s);
    data_close(s);
    struct Case { float x, z; int type; } cases[] = {
        {0.5f, 0.5f, 11}, {2.5f, 0.5f, 11}, {4.5f, 6.5f, 5}, {-10.0f, -10.0f, 11}, {127.0f, 127.0f, 0},
    };
    for (const Case &k : cases) EXPECT_EQ(surface_at(t, k.x, k.z), k.type) << k.x << "," << k.z;
    terrain_free(t);
    free(t);
}

}  // namespace
