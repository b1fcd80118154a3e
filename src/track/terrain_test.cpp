// Loading, querying and saving the heightfield.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "common/ripemd160.h"
#include "platform/log.h"
#include "track/terrain_test_support.h"

namespace {

float sample_height(const Terrain &t, int c, int r) { return t.heights[r * t.grid_size + c]; }

struct LoadedTerrain {
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    ~LoadedTerrain() {
        terrain_free(t);
        free(t);
    }
};

// The n = 8 binary field of the file format's own example: range 0 .. 10, spacing 0.5.
uint16_t example_sample(int c, int r) {
    if (c == 0 && r == 0) return 65535;
    if (c == 1 && r == 0) return 0;
    if (c == 2 && r == 0) return 32768;
    return (uint16_t)((c * 977 + r * 131) & 0xFFFF);
}

TEST(TerrainLoad, BinarySamplesFollowTheColon) {
    TrackDir dir;
    dir.put("terrain.hf", hf_binary(8, 0.5f, 0.0f, 10.0f, example_sample));
    put_track_files(dir, 8);
    LoadedTerrain lt;
    ASSERT_EQ(terrain_load(lt.t, "@t", 1), 1);
    const Terrain &t = *lt.t;
    EXPECT_EQ(t.tile_bits, 8);
    EXPECT_EQ(t.grid_size, 513);
    EXPECT_FLOAT_EQ(t.tile_size, 1.0f);
    EXPECT_FLOAT_EQ(t.world_size, 256.0f);
    EXPECT_EQ(t.change_count, 1);
    EXPECT_NEAR(sample_height(t, 0, 0), 10.0f, 1e-5f);
    EXPECT_EQ(sample_height(t, 1, 0), 0.0f);
    EXPECT_GT(sample_height(t, 2, 0), 5.0f);
    EXPECT_LT(sample_height(t, 2, 0), 5.0002f);
    EXPECT_NEAR(sample_height(t, 512, 512), example_sample(512, 512) * 10.0f / 65535.0f, 1e-4f);
}

// The digest of the samples as read goes to the log at verbose level 2 only.
TEST(TerrainLoad, HeightDigestIsLoggedAtLevelTwo) {
    TrackDir dir;
    std::string hf = hf_binary(6, 1.0f, 0.0f, 1.0f, [](int c, int r) { return (uint16_t)(c * r * 3); });
    dir.put("terrain.hf", hf);
    put_track_files(dir, 6);
    uint8_t hash[20];
    size_t colon = hf.find(':') + 1;
    ripemd160(hf.data() + colon, hf.size() - colon, hash);
    char hex[41];
    ripemd160_hex(hash, hex);
    for (int level : {0, 1, 2}) {
        ScopedEnv name("KOBU_LOGFILE", nullptr);
        log_reset();
        log("KOBU_LOGFILE=%s", dir.tmp.at("log.txt").c_str());
        terrain_set_verbose(level);
        LoadedTerrain lt;
        ASSERT_EQ(terrain_load(lt.t, "@t", 1), 1);
        log(nullptr);
        std::string logged = read_whole_file(dir.tmp.at("log.txt"));
        EXPECT_EQ(logged.find(std::string("] ") + hex + "\n") != std::string::npos, level == 2) << level;
    }
    terrain_set_verbose(0);
    log_reset();
}

TEST(TerrainLoad, ShortBinarySamplesReadAsAllOnes) {
    TrackDir dir;
    std::string hf = hf_binary(6, 1.0f, -2.0f, 2.0f, [](int, int) { return (uint16_t)0; });
    dir.put("terrain.hf", hf.substr(0, hf.size() - 101));
    put_track_files(dir, 6);
    LoadedTerrain lt;
    ASSERT_EQ(terrain_load(lt.t, "@t", 1), 1);
    EXPECT_NEAR(sample_height(*lt.t, 128, 128), 2.0f, 1e-5f);   // missing: 0xFFFF
    EXPECT_EQ(sample_height(*lt.t, 0, 128), -2.0f);
}

TEST(TerrainLoad, SmallPngRepeatsItsLastPixels) {
    TrackDir dir;
    dir.put("terrain.hf", "8 0.5 0 10\n");
    std::vector<std::string> rows;
    for (int y = 0; y < 300; y++) {
        std::string row(300, '\0');
        for (int x = 0; x < 300; x++) row[x] = (char)((x + 2 * y) % 255);
        if (y == 299) row[299] = (char)255;
        rows.push_back(row);
    }
    dir.put("terrain.png", png_bytes(300, 300, PNG_COLOR_TYPE_GRAY, 8, rows));
    put_track_files(dir, 8);
    LoadedTerrain lt;
    ASSERT_EQ(terrain_load(lt.t, "@t", 1), 1);
    const Terrain &t = *lt.t;
    auto pixel_height = [](int x, int y) {
        int v = y == 299 && x == 299 ? 255 : (x + 2 * y) % 255;
        return v * 257 * 10.0f / 65535.0f;
    };
    struct Case { int c, r, x, y; } cases[] = {
        {0, 0, 0, 0}, {17, 40, 17, 40}, {299, 5, 299, 5}, {300, 5, 299, 5}, {512, 5, 299, 5},
        {5, 300, 5, 299}, {400, 512, 299, 299}, {512, 512, 299, 299},
    };
    for (const Case &k : cases)
        EXPECT_NEAR(sample_height(t, k.c, k.r), pixel_height(k.x, k.y), 1e-4f) << k.c << "," << k.r;
    EXPECT_NEAR(sample_height(t, 512, 512), 10.0f, 1e-5f);
}

// Pixel (0, 0) and (1, 0) of pictures of every colour type and depth, as 16-bit samples.
TEST(TerrainLoad, PngOfEveryColourTypeGivesGreySamples) {
    struct Case {
        const char *name;
        int color_type, depth;
        std::string row;
        std::vector<png_color> palette;
        bool interlace;
        int first, second;   // expected 16-bit samples
    };
    auto bytes = [](std::initializer_list<int> v) {
        std::string s;
        for (int b : v) s += (char)b;
        return s;
    };
    std::vector<Case> cases = {
        {"grey 16", PNG_COLOR_TYPE_GRAY, 16, bytes({0x12, 0x34, 0xFF, 0xFE}), {}, false, 0x1234, 0xFFFE},
        {"grey 8", PNG_COLOR_TYPE_GRAY, 8, bytes({7, 255}), {}, false, 7 * 257, 65535},
        {"grey 4", PNG_COLOR_TYPE_GRAY, 4, bytes({0xF8}), {}, false, 65535, 0x88 * 257},
        {"grey 2", PNG_COLOR_TYPE_GRAY, 2, bytes({0x40}), {}, false, 0x55 * 257, 0},
        {"grey 1", PNG_COLOR_TYPE_GRAY, 1, bytes({0x80}), {}, false, 65535, 0},
        {"grey alpha 8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, bytes({100, 7, 50, 255}), {}, false, 100 * 257, 50 * 257},
        {"rgb 8", PNG_COLOR_TYPE_RGB, 8, bytes({50, 50, 50, 0, 0, 0}), {}, false, 50 * 257, 0},
        {"rgba 16", PNG_COLOR_TYPE_RGB_ALPHA, 16,
         bytes({0x40, 0, 0x40, 0, 0x40, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}), {}, false,
         0x4000, 0xFFFF},
        {"palette 8", PNG_COLOR_TYPE_PALETTE, 8, bytes({1, 0}), {{0, 0, 0}, {70, 70, 70}}, false, 70 * 257, 0},
        {"palette 1", PNG_COLOR_TYPE_PALETTE, 1, bytes({0x40}), {{9, 9, 9}, {200, 200, 200}}, false, 9 * 257,
         200 * 257},
        {"grey 8 interlaced", PNG_COLOR_TYPE_GRAY, 8, bytes({33, 44}), {}, true, 33 * 257, 44 * 257},
    };
    for (const Case &k : cases) {
        TrackDir dir;
        dir.put("terrain.hf", "6 1 0 65535\n");
        dir.put("terrain.png", png_bytes(2, 1, k.color_type, k.depth, {k.row}, k.palette, k.interlace));
        put_track_files(dir, 6);
        LoadedTerrain lt;
        ASSERT_EQ(terrain_load(lt.t, "@t", 1), 1) << k.name;
        EXPECT_NEAR(sample_height(*lt.t, 0, 0), k.first, 1.0f + k.first * 1e-6f) << k.name;
        EXPECT_NEAR(sample_height(*lt.t, 1, 0), k.second, 1.0f + k.second * 1e-6f) << k.name;
        EXPECT_NEAR(sample_height(*lt.t, 100, 100), k.second, 1.0f + k.second * 1e-6f) << k.name;
    }
}

TEST(TerrainLoad, MissingOrBrokenPngGivesFlatGroundAtTheLowEnd) {
    const char *pictures[] = {nullptr, "", "\x89PNG\r\n\x1a\n garbage", "not a picture at all"};
    for (const char *picture : pictures) {
        TrackDir dir;
        dir.put("terrain.hf", "6 1 3 9");
        if (picture) dir.put("terrain.png", picture);
        put_track_files(dir, 6);
        LoadedTerrain lt;
        ConsoleMark mark;
        ASSERT_EQ(terrain_load(lt.t, "@t", 1), 1);
        EXPECT_TRUE(mark.lines().empty());
        for (int k : {0, 77, 129 * 129 - 1}) EXPECT_EQ(lt.t->heights[k], 3.0f);
    }
}

TEST(TerrainLoad, FailuresShowTheirMessages) {
    std::string flat_png = png_bytes(1, 1, PNG_COLOR_TYPE_GRAY, 8, {std::string(1, '\0')});
    struct Case {
        const char *name;
        const char *hf;   // null: no file
        std::vector<std::string> drop;
        std::vector<std::string> messages;
    };
    std::vector<Case> cases = {
        {"no terrain.hf", nullptr, {}, {"Can't open '@t/terrain.hf'"}},
        {"empty header", "", {}, {"Bad height field parameters", "Error reading heights"}},
        {"three numbers", "6 1 0", {}, {"Bad height field parameters", "Error reading heights"}},
        {"word for spacing", "6 abc 0 1", {}, {"Bad height field parameters", "Error reading heights"}},
        {"tile_bits 40", "40 1 0 1", {}, {"Bad height field parameters", "Error reading heights"}},
        {"tile_bits -3", "-3 1 0 1", {}, {"Bad height field parameters", "Error reading heights"}},
        {"tile_bits 5", "5 1 0 1", {}, {"Bad height field parameters", "Error reading heights"}},
        {"zero spacing", "6 0 0 1", {}, {"Bad height field parameters", "Error reading heights"}},
        {"nan spacing", "6 nan 0 1", {}, {"Bad height field parameters", "Error reading heights"}},
        {"infinite height", "6 1 0 inf", {}, {"Bad height field parameters", "Error reading heights"}},
        {"no light map", "6 1 0 1", {"shading.ppm"}, {"Can't open '@t/shading.ppm'"}},
        {"no surface table", "6 1 0 1", {"texturelist"}, {"Can't open '@t/texturelist'"}},
        {"no tile map", "6 1 0 1", {"tilemap"}, {"Can't open '@t/tilemap'"}},
    };
    for (const Case &k : cases) {
        TrackDir dir;
        if (k.hf) dir.put("terrain.hf", k.hf);
        put_track_files(dir, 6);
        for (const std::string &file : k.drop) std::remove(dir.path(file).c_str());
        LoadedTerrain lt;
        ConsoleMark mark;
        EXPECT_EQ(terrain_load(lt.t, "@t", 1), 0) << k.name;
        EXPECT_EQ(mark.lines(), k.messages) << k.name;
        EXPECT_EQ(lt.t->heights, nullptr) << k.name;
    }
}

// A 129-sample field (n = 6, spacing 2) with heights from a formula.
struct Field {
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    explicit Field(float (*height)(int c, int r), float spacing = 2.0f) {
        int size = grid_of(6);
        std::vector<float> h((size_t)size * size);
        for (int r = 0; r < size; r++)
            for (int c = 0; c < size; c++) h[(size_t)r * size + c] = height(c, r);
        terrain_create(t, 6, spacing, h.data());
    }
    ~Field() {
        terrain_free(t);
        free(t);
    }
};

float bumpy(int c, int r) { return (float)((c * 37 + r * 91) % 17) * 0.25f + c * 0.1f; }

TEST(TerrainHeight, VerticesCellCentresAndOutside) {
    Field f(bumpy);
    const Terrain &t = *f.t;
    for (int c : {0, 1, 2, 63, 128})
        for (int r : {0, 5, 64, 127, 128})
            EXPECT_NEAR(terrain_height(&t, c * 2.0f, r * 2.0f), sample_height(t, c, r), 1e-5f) << c << "," << r;
    // Cell centres: the mean of the diagonal's two samples; the diagonal alternates.
    for (int i : {0, 1, 10, 127})
        for (int j : {0, 3, 10, 126}) {
            float want = ((i + j) % 2 == 0)
                             ? 0.5f * (sample_height(t, i, j) + sample_height(t, i + 1, j + 1))
                             : 0.5f * (sample_height(t, i + 1, j) + sample_height(t, i, j + 1));
            EXPECT_NEAR(terrain_height(&t, i * 2.0f + 1.0f, j * 2.0f + 1.0f), want, 1e-5f) << i << "," << j;
        }
    struct Case { float x, z; int c; float r; } outside[] = {
        {-5.0f, 10.0f, 0, 5.0f}, {-1e30f, 11.0f, 0, 5.5f}, {300.0f, 20.0f, 128, 10.0f},
        {1e30f, 21.0f, 128, 10.5f}, {257.0f, 256.0f, 128, 128.0f},
    };
    for (const Case &k : outside) {
        int r0 = (int)k.r;
        float fr = k.r - r0;
        float want = sample_height(t, k.c, r0) +
                     (r0 + 1 <= 128 ? fr * (sample_height(t, k.c, r0 + 1) - sample_height(t, k.c, r0)) : 0.0f);
        EXPECT_NEAR(terrain_height(&t, k.x, k.z), want, 1e-5f) << k.x << "," << k.z;
    }
    EXPECT_EQ(terrain_height(&t, -7.0f, -9.0f), sample_height(t, 0, 0));
    EXPECT_EQ(terrain_height(&t, 900.0f, 900.0f), sample_height(t, 128, 128));
    EXPECT_TRUE(std::isfinite(terrain_height(&t, NAN, NAN)));
}

TEST(TerrainHeight, RecordWithoutGroundAnswersNeutrally) {
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    EXPECT_EQ(terrain_height(t, 3.0f, 4.0f), 0.0f);
    Vec3 n;
    terrain_face_normal(t, 3.0f, 4.0f, &n);
    EXPECT_EQ(n.y, 1.0f);
    terrain_vertex_normal(t, 3, 4, &n);
    EXPECT_EQ(n.y, 1.0f);
    EXPECT_EQ(surface_at(t, 3.0f, 4.0f), 0);
    terrain_deform(t, 3.0f, 4.0f, 2.0f, 1.0f);
    EXPECT_EQ(terrain_save(t, "nothing"), 0);
    terrain_free(t);
    free(t);
}

TEST(TerrainFaceNormal, PerpendicularToItsTriangleAndUpwards) {
    Field f(bumpy);
    const Terrain &t = *f.t;
    // Points inside each of the four triangle kinds: both parities, both halves.
    struct Case { int i, j; float fu, fv; } cases[] = {
        {4, 6, 0.7f, 0.2f}, {4, 6, 0.2f, 0.7f}, {5, 6, 0.2f, 0.3f}, {5, 6, 0.8f, 0.7f}, {127, 127, 0.5f, 0.1f},
    };
    for (const Case &k : cases) {
        float x = (k.i + k.fu) * 2.0f, z = (k.j + k.fv) * 2.0f, e = 0.02f;
        Vec3 n;
        terrain_face_normal(&t, x, z, &n);
        EXPECT_GT(n.y, 0.0f);
        Vec3 along_x = {e, terrain_height(&t, x + e, z) - terrain_height(&t, x, z), 0.0f};
        Vec3 along_z = {0.0f, terrain_height(&t, x, z + e) - terrain_height(&t, x, z), e};
        EXPECT_NEAR(vec_dot(n, along_x) / vec_length(n), 0.0f, 1e-4f) << k.i << "," << k.j;
        EXPECT_NEAR(vec_dot(n, along_z) / vec_length(n), 0.0f, 1e-4f) << k.i << "," << k.j;
    }
}

TEST(TerrainFaceNormal, LengthIsTwiceTheTriangleArea) {
    Field f([](int c, int) { return c * 0.75f; });   // slope 0.375 per ft along x
    for (float x : {3.1f, 4.9f, 100.3f})
        for (float z : {0.4f, 1.7f, 77.7f}) {
            Vec3 n;
            terrain_face_normal(f.t, x, z, &n);
            float area2 = 4.0f * std::sqrt(1.0f + 0.375f * 0.375f);   // spacing^2 * |(-k, 1, 0)|
            EXPECT_NEAR(vec_length(n), area2, 1e-4f);
            EXPECT_NEAR(n.x / n.y, -0.375f, 1e-5f);
            EXPECT_NEAR(n.z, 0.0f, 1e-5f);
        }
}

TEST(TerrainVertexNormal, UpOnFlatGroundAndAcrossASlope) {
    Field flat([](int, int) { return 4.0f; });
    Field slope([](int c, int) { return c * 0.75f; });
    for (int c : {-3, 0, 40, 128, 500}) {
        Vec3 n;
        terrain_vertex_normal(flat.t, c, 7, &n);
        EXPECT_NEAR(n.x, 0.0f, 1e-6f);
        EXPECT_NEAR(n.y, 1.0f, 1e-6f);
        EXPECT_NEAR(n.z, 0.0f, 1e-6f);
    }
    Vec3 n;
    terrain_vertex_normal(slope.t, 40, 40, &n);
    float len = std::sqrt(1.0f + 0.375f * 0.375f);
    EXPECT_NEAR(n.x, -0.375f / len, 1e-5f);
    EXPECT_NEAR(n.y, 1.0f / len, 1e-5f);
    EXPECT_NEAR(vec_length(n), 1.0f, 1e-5f);
}

TEST(TerrainTileAt, ClampsToTheMap) {
    Field f(bumpy, 0.5f);   // tiles of 1 ft, 64 per side, world 64 ft
    struct Case { float x, z; int i, j; } cases[] = {
        {0.0f, 0.0f, 0, 0},      {0.99f, 1.01f, 0, 1},    {63.5f, 10.2f, 63, 10},
        {64.0f, 64.0f, 63, 63},  {1000.0f, -3.0f, 63, 0}, {-0.5f, 63.99f, 0, 63},
        {NAN, NAN, 0, 0},        {-1e30f, 1e30f, 0, 63},
    };
    EXPECT_FLOAT_EQ(f.t->world_size, 64.0f);
    for (const Case &k : cases) {
        int i = -1, j = -1;
        terrain_tile_at(f.t, k.x, k.z, &i, &j);
        EXPECT_EQ(i, k.i) << k.x;
        EXPECT_EQ(j, k.j) << k.z;
    }
}

TEST(TerrainSave, FlatFieldSavesZeroSamplesAndReloadsFlat) {
    TrackDir dir;
    Field f([](int, int) { return 7.0f; });
    f.t->tilemap[5] = 0;
    ASSERT_EQ(terrain_save(f.t, "saved"), 1);
    EXPECT_EQ(read_whole_file(dir.tmp.at("Rutmoor/saved/terrain.hf")), "6 2.000000 7.000000 7.000000\n");
    dir.tmp.write("Rutmoor/saved/texturelist", "dirt.png\n");
    LoadedTerrain lt;
    ASSERT_EQ(terrain_load(lt.t, "@saved", 1), 1);
    EXPECT_EQ(lt.t->min_height, 7.0f);
    for (int k : {0, 1000, 129 * 129 - 1}) EXPECT_EQ(lt.t->heights[k], 7.0f);
}

TEST(TerrainSave, RoughFieldRoundTripsWithinOneStep) {
    TrackDir dir;
    Field f(bumpy);
    for (int k = 0; k < 64 * 64; k++) f.t->tilemap[k] = (uint8_t)(k % 3 == 0);
    f.t->surface_count = 2;
    f.t->surfaces[1] = f.t->surfaces[0];
    f.t->heights[300] = -20.0f;   // the saved range follows the heights
    ASSERT_EQ(terrain_save(f.t, "saved"), 1);
    EXPECT_EQ(f.t->min_height, -20.0f);
    dir.tmp.write("Rutmoor/saved/texturelist", "dirt.png\ngrass.png\n");
    LoadedTerrain lt;
    ASSERT_EQ(terrain_load(lt.t, "@saved", 1), 1);
    float step = (f.t->max_height - f.t->min_height) / 65535.0f;
    for (int k = 0; k < 129 * 129; k++) ASSERT_NEAR(lt.t->heights[k], f.t->heights[k], step) << k;
    EXPECT_EQ(memcmp(lt.t->tilemap, f.t->tilemap, 64 * 64), 0);
    EXPECT_EQ(memcmp(lt.t->shading, f.t->shading, 129 * 129 * 3), 0);
}

TEST(TerrainSave, UnwritableDirectoryStopsWithTheMessage) {
    TrackDir dir;
    dir.tmp.write("Rutmoor/blocked", "a file where the directory should be");
    dir.tmp.write("install", "and one where the installation should be");
    Field f(bumpy);
    ConsoleMark mark;
    EXPECT_EQ(terrain_save(f.t, "blocked"), 0);
    EXPECT_EQ(mark.lines(), std::vector<std::string>{"Can't open 'terrain.hf'"});
}

}  // namespace
