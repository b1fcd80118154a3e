// Deformation: the brush, its fall-off and window, the lock and the erosion switch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "track/terrain_test_support.h"

namespace {

// A flat field of 129 x 129 samples at height 5, spacing 1.
struct FlatField {
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    FlatField() {
        terrain_create(t, 6, 1.0f, nullptr);
        for (int k = 0; k < 129 * 129; k++) t->heights[k] = 5.0f;
        t->min_height = t->max_height = 5.0f;
    }
    ~FlatField() {
        terrain_free(t);
        free(t);
    }
};

// The height every sample should have after one brush on flat ground at 5.
float expected_height(int c, int r, float x, float z, float radius, float amount) {
    float d = std::sqrt((x - c) * (x - c) + (z - r) * (z - r));
    if (d > radius) return 5.0f;
    float t = d / radius;
    return 5.0f + amount * (2 * t * t * t - 3 * t * t + 1);
}

TEST(TerrainDeform, BrushChangesOnlySamplesWithinItsRadius) {
    struct Case { float x, z, radius, amount; int changed; } cases[] = {
        {10.1f, 20.2f, 0.4f, 1.0f, 1},     // smaller than half a cell: one sample of the 2 x 2 window
        {10.5f, 20.5f, 0.4f, 1.0f, 0},     // in the middle of a cell: reaches none
        {40.0f, 40.0f, 3.0f, -0.5f, 25},   // on a vertex: the disc of radius 3 less its rim
        {-1.0f, -1.0f, 3.0f, -2.0f, 4},    // centre outside the field
        {130.0f, 64.0f, 2.5f, 1.0f, 3},    // beyond the far edge
        {-150.0f, 64.0f, 400.0f, 0.5f, 129 * 129},   // wider than the field, from outside it
    };
    for (const Case &k : cases) {
        FlatField f;
        int before = f.t->change_count;
        terrain_deform(f.t, k.x, k.z, k.radius, k.amount);
        int changed = 0;
        float lo = 5.0f, hi = 5.0f;
        for (int r = 0; r < 129; r++)
            for (int c = 0; c < 129; c++) {
                float h = f.t->heights[r * 129 + c];
                ASSERT_NEAR(h, expected_height(c, r, k.x, k.z, k.radius, k.amount), 1e-5f) << c << "," << r;
                changed += h != 5.0f;
                lo = std::fmin(lo, h);
                hi = std::fmax(hi, h);
            }
        EXPECT_EQ(changed, k.changed) << k.x << "," << k.z;
        EXPECT_EQ(f.t->deformed, changed > 0 ? 1 : 0);
        EXPECT_EQ(f.t->change_count, before + 1);
        EXPECT_EQ(f.t->min_height, lo);   // the range widens to what was written
        EXPECT_EQ(f.t->max_height, hi);
    }
}

TEST(TerrainDeform, LockedGroundStaysButStillCounts) {
    FlatField f;
    f.t->deform_locked = 1;
    for (int k = 0; k < 3; k++) terrain_deform(f.t, 30.0f, 30.0f, 4.0f, -1.0f);
    EXPECT_EQ(f.t->change_count, 4);
    EXPECT_EQ(f.t->deformed, 0);
    EXPECT_EQ(f.t->min_height, 5.0f);
    for (int k = 0; k < 129 * 129; k++) ASSERT_EQ(f.t->heights[k], 5.0f);
}

TEST(TerrainDeform, NothingHappensForNoAmountOrUnusableInput) {
    struct Case { float x, z, radius, amount; } cases[] = {
        {30.0f, 30.0f, 4.0f, 0.0f}, {NAN, 30.0f, 4.0f, 1.0f}, {30.0f, 30.0f, NAN, 1.0f},
        {30.0f, 30.0f, 4.0f, INFINITY}, {30.0f, 30.0f, -4.0f, 1.0f},
    };
    for (const Case &k : cases) {
        FlatField f;
        terrain_deform(f.t, k.x, k.z, k.radius, k.amount);
        for (int s = 0; s < 129 * 129; s++) ASSERT_EQ(f.t->heights[s], 5.0f);
        EXPECT_EQ(f.t->deformed, 0);
    }
}

TEST(TerrainDeform, HugeBrushCoversTheFieldWithoutRunningAway) {
    FlatField f;
    terrain_deform(f.t, 64.0f, 64.0f, 1e30f, 2.0f);
    EXPECT_NEAR(f.t->heights[0], 7.0f, 1e-5f);
    EXPECT_NEAR(f.t->heights[129 * 129 - 1], 7.0f, 1e-5f);
    terrain_deform(f.t, 1e30f, -1e30f, 3.0f, 2.0f);
    EXPECT_NEAR(f.t->heights[0], 7.0f, 1e-5f);
}

TEST(TerrainDeform, ShadingIsRedoneAroundTheBrushAndOneSampleBeyond) {
    FlatField f;
    memset(f.t->shading, 0, 129 * 129 * 3);
    int rect[4];
    EXPECT_EQ(ground_take_dirty(f.t, rect), 0);
    terrain_deform(f.t, 50.3f, 60.7f, 2.2f, -1.0f);   // i0 = 50, j0 = 60, m = 3
    for (int r = 50; r < 70; r++)
        for (int c = 40; c < 60; c++) {
            bool inside = c >= 47 && c <= 54 && r >= 57 && r <= 64;
            EXPECT_EQ(f.t->shading[3 * (r * 129 + c)] != 0, inside) << c << "," << r;
        }
    terrain_deform(f.t, 1.0f, 0.5f, 1.5f, 1.0f);   // the renderer has not looked yet: unite
    ASSERT_EQ(ground_take_dirty(f.t, rect), 1);
    EXPECT_EQ(std::vector<int>(rect, rect + 4), (std::vector<int>{0, 0, 54, 64}));
    EXPECT_EQ(ground_take_dirty(f.t, rect), 0);
}

TEST(Erosion, RateIsLimitedAndSwitchesErosion) {
    struct Case { float rate, kept; int enabled; } cases[] = {
        {0.0f, 0.0f, 0}, {-3.0f, 0.0f, 0}, {NAN, 0.0f, 0}, {500.0f, 100.0f, 1}, {12.5f, 12.5f, 1},
    };
    for (const Case &k : cases) {
        erosion_set_rate(k.rate);
        EXPECT_EQ(erosion_rate(), k.kept);
        EXPECT_EQ(erosion_enabled(), k.enabled);
    }
    EXPECT_FLOAT_EQ(erosion_amount(2.0f), 12.5f / 2048.0f * 2.0f);
    erosion_set_rate(0.0f);
}

}  // namespace
