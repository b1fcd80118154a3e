// Statues: the angle rules, standing along the ground, the shape warning, the writer and
// the 8 x 8 buckets.
#include "track/statues.h"

#include <gtest/gtest.h>

#include <cmath>

#include "track/track.h"
#include "track/track_test_home.h"

namespace {

struct StatuesTest : ::testing::Test {
    DataHome home;
    SlopedTerrain ground;
    Array list;
    StatuesTest() { array_init(&list, sizeof(Statue)); }
    ~StatuesTest() override {
        array_free(&list);
        track_configure(0, 3, 0);
    }
    const Statue &at(int i) { return *array_get<Statue>(&list, i); }
};

Vec3 row(const Mat3 &m, int r) { return vec3(m.m[r][0], m.m[r][1], m.m[r][2]); }

void expect_vec(Vec3 got, Vec3 want, const char *what) {
    EXPECT_NEAR(got.x, want.x, 1e-4) << what;
    EXPECT_NEAR(got.y, want.y, 1e-4) << what;
    EXPECT_NEAR(got.z, want.z, 1e-4) << what;
}

TEST_F(StatuesTest, AngleDecidesFacingUprightOrFollowingTheSlope) {
    // The ground rises 0.5 ft per ft along x.
    Vec3 slope_up = vec_normalize(vec3(-0.5f, 1, 0));
    home.put("t/statues",
             "[ 10 0 10 ] 4 null null null\n"
             "[ 10 0 10 ] -7 null null null\n"
             "[ 10 0 10 ] 0.5 null null null\n");
    ASSERT_EQ(statues_read(&list, &ground.terrain, "@t/statues"), 3);

    EXPECT_FLOAT_EQ(at(0).face_size, 16);
    for (int r = 0; r < 3; r++)
        expect_vec(row(at(0).orient, r), row(rot_identity(), r), "facing statue");

    EXPECT_FLOAT_EQ(at(1).face_size, 0);
    expect_vec(row(at(1).orient, 1), vec3(0, 1, 0), "upright up");
    expect_vec(row(at(1).orient, 0), vec3(std::cos(-7.0f), 0, -std::sin(-7.0f)), "upright right");

    EXPECT_FLOAT_EQ(at(2).face_size, 0);
    expect_vec(row(at(2).orient, 1), slope_up, "sloped up");
    // Still a rotation: unit rows at right angles.
    for (int a = 0; a < 3; a++) {
        EXPECT_NEAR(vec_length(row(at(2).orient, a)), 1, 1e-5);
        EXPECT_NEAR(vec_dot(row(at(2).orient, a), row(at(2).orient, (a + 1) % 3)), 0, 1e-5);
    }
    EXPECT_NEAR(at(2).pos.y, 5, 1e-4);
}

TEST_F(StatuesTest, ReGroundingFollowsChangedHeights) {
    ASSERT_EQ(statue_add(&list, &ground.terrain, 10, 1, 10, 0, nullptr, nullptr, nullptr), 0);
    EXPECT_NEAR(at(0).pos.y, 6, 1e-4);
    for (int k = 0; k < ground.terrain.grid_size * ground.terrain.grid_size; k++)
        ground.terrain.heights[k] = 3;
    statue_reground(array_get<Statue>(&list, 0), &ground.terrain);
    EXPECT_NEAR(at(0).pos.y, 4, 1e-4);
    expect_vec(row(at(0).orient, 1), vec3(0, 1, 0), "flat ground");
}

TEST_F(StatuesTest, LoadsItsPartsAndWarnsAboutAMissingShape) {
    home.put("rock.jm", "3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n");
    home.put("rock.shp", sphere_shape(1.5f));
    statue_add(&list, nullptr, 0, 0, 0, 0, "@rock.jm", "@rock.ppm", "@rock.shp");
    EXPECT_NE(at(0).model, nullptr);
    ASSERT_NE(at(0).shape, nullptr);
    EXPECT_FLOAT_EQ(at(0).shape->bounding_radius, 1.5f);
    statue_add(&list, nullptr, 0, 0, 0, 0, "@rock.jm", "null", "@gone.shp");
    EXPECT_EQ(at(1).shape, nullptr);
    EXPECT_EQ(at(1).texture_name, nullptr);
    EXPECT_EQ(last_console_line(), "Warning: missing shape file @gone.shp");
}

TEST_F(StatuesTest, ShadersFindNormalAndSpecularMapsBesideTextureThenModel) {
    track_configure(0, 3, 1);
    home.put("rock.jm", "3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n");
    home.put("paint_norm.ppm", tiny_ppm());
    home.put("rock_norm.ppm", tiny_ppm());
    home.put("rock_spec.ppm", tiny_ppm());
    home.put("bark_norm-repeat.ppm", tiny_ppm());
    statue_add(&list, nullptr, 0, 0, 0, 0, "@rock.jm", "@paint.ppm", nullptr);
    statue_add(&list, nullptr, 0, 0, 0, 0, "@rock.jm", "@bark-repeat.ppm", nullptr);
    statue_add(&list, nullptr, 0, 0, 0, 0, "@none.jm", "@paint.ppm", nullptr);   // no model
    track_configure(0, 3, 0);   // shaders off
    statue_add(&list, nullptr, 0, 0, 0, 0, "@rock.jm", "@paint.ppm", nullptr);
    EXPECT_STREQ(at(0).normal_map_name, "@paint_norm.ppm");
    EXPECT_STREQ(at(0).spec_map_name, "@rock_spec.ppm");
    EXPECT_STREQ(at(1).normal_map_name, "@bark_norm-repeat.ppm");
    EXPECT_EQ(at(2).normal_map_name, nullptr);
    EXPECT_EQ(at(3).normal_map_name, nullptr);   // shaders off
    EXPECT_EQ(at(3).spec_map_name, nullptr);
}

TEST_F(StatuesTest, WriterWritesWhatTheReaderReads) {
    home.put("t/statues", "[ 1 2 3 ] 0.5 @a.jm @a.ppm null\n[ 4 -1 6 ] 5 null null @b.shp\n");
    ASSERT_EQ(statues_read(&list, &ground.terrain, "@t/statues"), 2);
    ASSERT_EQ(statues_write(&list, 0, "@t/statues"), 1);
    EXPECT_EQ(home.get("t/statues"),
              "[1.000000 2.000000 3.000000] 0.500000 @a.jm @a.ppm null\n"
              "[4.000000 -1.000000 6.000000] 5.000000 null null @b.shp\n");
    EXPECT_EQ(statues_write(&list, 0, unwritable_path(home, "statues").c_str()), 0);
    EXPECT_EQ(last_console_line(), "Can't open 'statues'");
}

TEST_F(StatuesTest, BadInputEndsTheList) {
    struct Case {
        const char *text;
        int count;
    } cases[] = {
        {"[ 1 2 3 ] 0 a b c\n[ 1 2 3 ] 0 a b\n", 1},
        {"[ 1 2 3 ] 1e999 a b c\n", 0},
        {"[ -1e30 1e30 3 ] 0 null null null\n", 1},   // far away: still stands
        {"\xff\xfe\x00", 0},
    };
    for (const Case &c : cases) {
        array_free(&list);
        home.put("t/statues", c.text);
        EXPECT_EQ(statues_read(&list, &ground.terrain, "@t/statues"), c.count) << c.text;
    }
}

TEST_F(StatuesTest, BucketsHoldTheStatuesWhoseShapeTouchesThem) {
    // world_size 128: the grid covers 16 .. 112 in steps of 12.
    home.put("one.shp", sphere_shape(1));
    home.put("huge.shp", sphere_shape(1e30f));
    statue_add(&list, &ground.terrain, 64, 0, 64, 0, nullptr, nullptr, "@one.shp");   // 0
    statue_add(&list, &ground.terrain, 40, 0, 40, 0, nullptr, nullptr, nullptr);      // 1: no shape
    statue_add(&list, &ground.terrain, 5, 0, 120, 0, nullptr, nullptr, "@one.shp");   // 2: edge
    statue_add(&list, &ground.terrain, 64, 0, 64, 0, nullptr, nullptr, "@huge.shp");  // 3: all
    StatueBuckets buckets = {};
    statue_buckets_build(&buckets, &list, &ground.terrain);
    auto holds = [&](int i, int j, int statue) {
        const Array &cell = buckets.cells[j * 8 + i];
        for (int k = 0; k < cell.count; k++)
            if (*array_get<int>(&cell, k) == statue)
                return true;
        return false;
    };
    int filed = 0;
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++) {
            bool centre = (i == 3 || i == 4) && (j == 3 || j == 4);
            EXPECT_EQ(holds(i, j, 0), centre) << i << "," << j;
            EXPECT_FALSE(holds(i, j, 1));
            EXPECT_EQ(holds(i, j, 2), i == 0 && j == 7) << i << "," << j;
            EXPECT_TRUE(holds(i, j, 3));
            filed += buckets.cells[j * 8 + i].count;
        }
    EXPECT_EQ(filed, 4 + 1 + 64);
    EXPECT_EQ(statue_bucket_at(&buckets, &ground.terrain, 65, 63), &buckets.cells[3 * 8 + 4]);
    EXPECT_EQ(statue_bucket_at(&buckets, &ground.terrain, -1e9f, 1e9f), &buckets.cells[7 * 8]);
    // Rebuilding empties the buckets first.
    statue_buckets_build(&buckets, &list, &ground.terrain);
    EXPECT_EQ(buckets.cells[0].count, 1);
    statue_buckets_free(&buckets);
    EXPECT_EQ(buckets.cells[0].capacity, 0);
}

}  // namespace
