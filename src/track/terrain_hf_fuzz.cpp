// Fuzzes the terrain load: the first byte chooses whether the rest is "terrain.hf" (header
// and binary samples) or "terrain.png" under a fixed header; the other track files are a
// small valid set. The loaded ground is then queried and dug.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "track/terrain.h"
#include "track/terrain_fuzz_local.h"

static void setup_once() {
    static bool done = false;
    if (done) return;
    done = true;
    std::string shading = "P6\n129 129\n255\n" + std::string(129 * 129 * 3, '\x80');
    fuzz_put("shading.ppm", shading);
    fuzz_put("texturelist", std::string("dirt.png\ngrass.png\n"));
    fuzz_put("tilemap", std::string(64 * 64, '\x01'));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    setup_once();
    const char *rest = (const char *)data + 1;
    size_t rest_size = size - 1;
    if (data[0] & 1) {
        fuzz_put("terrain.hf", std::string("6 1 0 1\n"));
        fuzz_put("terrain.png", rest, rest_size);
    } else {
        // Fields above 2^9 + 1 samples per side are valid but take seconds each to set up;
        // the limits are covered by the unit tests.
        std::string head(rest, rest_size < 32 ? rest_size : 32);
        if (atoi(head.c_str()) > 8) return 0;
        fuzz_put("terrain.hf", rest, rest_size);
        remove(fuzz_path("terrain.png").c_str());
    }
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    if (terrain_load(t, "@t", 1 + data[0] % 3)) {
        float w = t->world_size;
        const float points[][2] = {{0, 0}, {w, w}, {-w, 0.5f * w}, {0.37f * w, 0.61f * w}, {NAN, 1}};
        for (const auto &p : points) {
            Vec3 n;
            volatile float h = terrain_height(t, p[0], p[1]);
            terrain_face_normal(t, p[0], p[1], &n);
            int i, j;
            terrain_tile_at(t, p[0], p[1], &i, &j);
            if (i < 0 || j < 0 || i >= (1 << t->tile_bits) || j >= (1 << t->tile_bits)) abort();
            int type = surface_at(t, p[0], p[1]);
            if (type >= t->surface_count) abort();
            (void)h;
        }
        terrain_deform(t, 0.3f * w, 0.4f * w, 3.0f, -0.5f);
        ground_lod_step(t, 8000);
    }
    terrain_free(t);
    free(t);
    return 0;
}
