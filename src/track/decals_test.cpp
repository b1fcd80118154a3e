// Decals: pictures that must decode, the normal and specular maps beside them, the ground
// buckets and the writer.
#include "track/decals.h"

#include <gtest/gtest.h>

#include "common/common.h"
#include "track/track.h"
#include "track/track_test_home.h"

namespace {

struct DecalsTest : ::testing::Test {
    DataHome home;
    SlopedTerrain ground;   // world_size 128: buckets of 16 ft
    ~DecalsTest() override { track_configure(0, 3, 0); }
    const Decal &at(int i) { return *array_get<Decal>(&ground.terrain.decals, i); }
    bool holds(int i, int j, int decal) {
        const Array &cell = ground.terrain.decal_buckets[j * 8 + i];
        for (int k = 0; k < cell.count; k++)
            if (*array_get<int>(&cell, k) == decal)
                return true;
        return false;
    }
};

TEST_F(DecalsTest, DecalsWithoutTheirPictureAreDropped) {
    home.put("mud.ppm", tiny_ppm());
    home.put("t/decals", "[ 8 8 ] 0.5 4 2 @mud.ppm\n[ 1 1 ] 0 1 1 @gone.ppm\n[ 40 8 ] 0 2 2 @mud.ppm\n"
                         "[ 1 2 ] 3 4 nan.ppm\n[ 1 ] 2 3 4 x\n");
    EXPECT_EQ(decals_read(&ground.terrain, "@t"), 2);
    ASSERT_EQ(ground.terrain.decals.count, 2);
    EXPECT_STREQ(at(0).texture, "@mud.ppm");
    EXPECT_NEAR(at(0).sin_angle, 0.479426f, 1e-5);
    EXPECT_NEAR(at(0).cos_angle, 0.877583f, 1e-5);
    EXPECT_FLOAT_EQ(at(1).x, 40);
    EXPECT_EQ(at(0).normal_map, nullptr);   // shaders off: not looked for
}

TEST_F(DecalsTest, ShadersFindTheMapsBesideThePicture) {
    track_configure(0, 3, 1);
    home.put("mud.ppm", tiny_ppm());
    home.put("mud_tnorm.ppm", tiny_ppm());
    home.put("mud_tspec.png", "not a png");
    home.put("t/decals", "[ 8 8 ] 0 4 2 @mud.ppm\n");
    ASSERT_EQ(decals_read(&ground.terrain, "@t"), 1);
    EXPECT_STREQ(at(0).normal_map, "@mud_tnorm.ppm");
    EXPECT_EQ(at(0).spec_map, nullptr);
}

TEST_F(DecalsTest, EachDecalIsFiledWhereItsSquareTouches) {
    home.put("mud.ppm", tiny_ppm());
    home.put("t/decals", "[ 8 8 ] 0 4 2 @mud.ppm\n"      // inside bucket (0, 0)
                         "[ 32 47 ] 0 2 2 @mud.ppm\n"    // across x = 32 and z = 48
                         "[ -50 500 ] 0 1 1 @mud.ppm\n"  // outside: the edge bucket
                         "[ 64 64 ] 0 1e30 1 @mud.ppm\n");   // covers all
    ASSERT_EQ(decals_read(&ground.terrain, "@t"), 4);
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++) {
            EXPECT_EQ(holds(i, j, 0), i == 0 && j == 0) << i << "," << j;
            EXPECT_EQ(holds(i, j, 1), (i == 1 || i == 2) && (j == 2 || j == 3)) << i << "," << j;
            EXPECT_EQ(holds(i, j, 2), i == 0 && j == 7) << i << "," << j;
            EXPECT_TRUE(holds(i, j, 3));
        }
}

TEST_F(DecalsTest, WriterWritesWhatTheReaderReads) {
    home.put("mud.ppm", tiny_ppm());
    home.put("t/decals", "[ 8 9 ] 0.5 4 2 @mud.ppm\n");
    ASSERT_EQ(decals_read(&ground.terrain, "@t"), 1);
    ASSERT_EQ(decals_write(&ground.terrain.decals, "@t/decals"), 1);
    EXPECT_EQ(home.get("t/decals"), "[8.000000 9.000000] 0.500000 4.000000 2.000000 @mud.ppm\n");
    EXPECT_EQ(decals_read(&ground.terrain, "@none"), 0);
    EXPECT_EQ(decals_write(&ground.terrain.decals, unwritable_path(home, "decals").c_str()), 0);
    EXPECT_EQ(last_console_line(), "Can't open 'decals'");
}

}  // namespace
