// The ground's light and shadow maps and the level-of-detail error bounds.
#include <gtest/gtest.h>

#include <cstdlib>

#include "track/terrain_test_support.h"

namespace {

struct LoadedTerrain {
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    ~LoadedTerrain() {
        terrain_free(t);
        free(t);
    }
};

void put_flat_track(const TrackDir &dir) {
    dir.put("terrain.hf", "6 1 0 0");
    put_track_files(dir, 6);
}

// Restores the program-wide ground inputs a test changed.
struct GroundInputs {
    ~GroundInputs() {
        ground_configure(0, 64, 0.02f);
        ground_set_lighting({1, 1, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, 0);
    }
};

TEST(GroundMaps, HalvedShadingEqualsTheDoubleRangeFile) {
    TrackDir plain, both;
    put_flat_track(plain);
    put_flat_track(both);
    plain.put("shading.ppm", ppm(129, 129, 201));
    both.put("shadingx2.ppm", ppm(129, 129, 100));
    LoadedTerrain a, b;
    ASSERT_EQ(terrain_load(a.t, "@t", 1), 1);
    ASSERT_EQ(terrain_load(b.t, "@t", 1), 1);
    EXPECT_EQ(a.t->shading[0], 100);
    EXPECT_EQ(memcmp(a.t->shading, b.t->shading, 129 * 129 * 3), 0);
}

TEST(GroundMaps, ShadowsAreInvertedAndOptional) {
    TrackDir dir;
    put_flat_track(dir);
    LoadedTerrain none;
    ASSERT_EQ(terrain_load(none.t, "@t", 1), 1);
    EXPECT_EQ(none.t->shadow[0], 0);
    EXPECT_EQ(none.t->shadow[129 * 129 - 1], 0);
    dir.put("shadows.pgm", ppm(129, 129, 55, "P5", 1));
    LoadedTerrain some;
    ASSERT_EQ(terrain_load(some.t, "@t", 1), 1);
    EXPECT_EQ(some.t->shadow[0], 200);
    EXPECT_EQ(some.t->shadow[129 * 129 - 1], 200);
}

TEST(GroundMaps, BadMapsFailTheLoad) {
    struct Case {
        const char *file;
        std::string bytes;
        std::vector<std::string> messages;
    };
    std::vector<Case> cases = {
        {"shading.ppm", ppm(5, 5, 1), {"Bad shading dimensions (5x5)"}},
        {"shadingx2.ppm", ppm(129, 130, 1), {"Bad shading dimensions (129x130)"}},
        {"shading.ppm", "garbage", {"Error reading shading"}},
        {"shadows.pgm", ppm(128, 129, 1, "P5", 1), {}},   // its message goes to the log only
        {"shadows.pgm", "P5\n", {"Error reading shadows"}},
    };
    for (const Case &k : cases) {
        TrackDir dir;
        put_flat_track(dir);
        dir.put(k.file, k.bytes);
        LoadedTerrain lt;
        ConsoleMark mark;
        EXPECT_EQ(terrain_load(lt.t, "@t", 1), 0) << k.file;
        std::vector<std::string> lines = mark.lines();
        for (const std::string &m : k.messages)
            EXPECT_NE(std::find(lines.begin(), lines.end(), m), lines.end()) << m;
    }
}

TEST(GroundShading, LightFromTheSunAndTheShadow) {
    GroundInputs restore;
    ground_set_lighting({0, 2, 0}, {1.0f, 0.5f, 0.0f}, {0.5f, 0.5f, 0.5f}, 0);
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    ASSERT_EQ(terrain_create(t, 6, 1.0f, nullptr), 1);
    t->shadow[0] = 255;
    t->shadow[1] = 51;
    ground_shading_update(t, -5, -5, 500, 500);
    struct Case { int sample; uint8_t r, g, b; } cases[] = {
        {0, 63, 63, 63},     // fully shadowed: ambient only
        {1, 165, 114, 63},   // (0.8 * colour + 0.5) * 127.5
        {2, 191, 127, 63},   // lit
        {129 * 129 - 1, 191, 127, 63},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(t->shading[3 * k.sample], k.r) << k.sample;
        EXPECT_EQ(t->shading[3 * k.sample + 1], k.g) << k.sample;
        EXPECT_EQ(t->shading[3 * k.sample + 2], k.b) << k.sample;
    }
    terrain_free(t);
    free(t);
}

TEST(GroundShading, NormalMapWithShadersAndDynamicLight) {
    GroundInputs restore;
    ground_configure(1, 512, 0.02f);
    ground_set_lighting({1, 1, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, 1);
    TrackDir dir;
    std::string hf = hf_binary(6, 1.0f, 0.0f, 10.0f, [](int c, int) { return (uint16_t)(c * 200); });
    dir.put("terrain.hf", hf);
    put_track_files(dir, 6);
    struct Case { int method, normal_maps, dim; } cases[] = {{1, 0, 256}, {2, 1, 256}, {3, 1, 512}};
    for (const Case &k : cases) {
        LoadedTerrain lt;
        ASSERT_EQ(terrain_load(lt.t, "@t", k.method), 1);
        EXPECT_EQ(lt.t->ground_method, k.method);
        EXPECT_EQ(lt.t->ground_texture_dim, k.dim);
        EXPECT_EQ(lt.t->ground_normal_maps, k.normal_maps);
        EXPECT_EQ(lt.t->ground_normals != nullptr, k.normal_maps == 1);
        if (!k.normal_maps) continue;
        // Rising along x by 200 / 65535 * 10 ft per sample: the normal leans to -x.
        const uint8_t *n = lt.t->ground_normals + 3 * (40 * 129 + 40);
        EXPECT_LT(n[0], 128);
        EXPECT_EQ(n[1], 255);
        EXPECT_EQ(n[2], 128);
    }
}

TEST(GroundLod, BudgetedRebuildMatchesTheWholeOne) {
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    ASSERT_EQ(terrain_create(t, 6, 1.0f, nullptr), 1);
    EXPECT_EQ(ground_lod_step(t, 8000), 1);   // built at creation
    // Flat ground: a tile's bound is its half-diagonal squared.
    EXPECT_NEAR(t->lod_error[ground_lod_index(6, 3, 4)], 2.0f, 1e-5f);
    terrain_deform(t, 20.0f, 30.0f, 3.0f, 1.0f);
    int calls = 1;
    while (!ground_lod_step(t, 8000)) calls++;
    EXPECT_GT(calls, 3);
    std::vector<float> stepped(t->lod_error, t->lod_error + t->lod_node_count);
    t->change_count++;
    EXPECT_EQ(ground_lod_step(t, 0), 1);
    EXPECT_EQ(memcmp(stepped.data(), t->lod_error, stepped.size() * sizeof(float)), 0);
    // The tile under the bump carries its error; the root bounds everything below it.
    float bump_tile = t->lod_error[ground_lod_index(6, 10, 15)];
    EXPECT_GT(bump_tile, 2.0f);
    EXPECT_GE(t->lod_error[0], bump_tile);
    EXPECT_NEAR(t->lod_error[ground_lod_index(6, 60, 60)], 2.0f, 1e-5f);
    terrain_free(t);
    free(t);
}

}  // namespace
