// Speed of the ground queries the physics asks many times per step (height, face normal
// and the surface grip under a point, on a 1025 x 1025 field of rolling ground), of a rut
// event, of the level-of-detail rebuild, and of loading the ground of a shipped track.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/data.h"
#include "track/terrain.h"

namespace {

Terrain *bench_terrain() {
    static Terrain *t = [] {
        Terrain *made = (Terrain *)calloc(1, sizeof(Terrain));
        int size = (1 << 10) + 1;
        std::vector<float> h((size_t)size * size);
        for (int r = 0; r < size; r++)
            for (int c = 0; c < size; c++)
                h[(size_t)r * size + c] = 3.0f * std::sin(c * 0.05f) * std::cos(r * 0.037f);
        terrain_create(made, 9, 0.75f, h.data());
        return made;
    }();
    return t;
}

// Query points spread over the field and a little beyond it, as riders and AI ask.
std::vector<float> bench_points(const Terrain *t) {
    std::vector<float> p(2 * 4096);
    unsigned s = 12345;
    for (float &v : p) {
        s = s * 1664525u + 1013904223u;
        v = (s >> 8) * (1.0f / 16777216.0f) * t->world_size * 1.1f - 0.05f * t->world_size;
    }
    return p;
}

void BM_TerrainHeight(benchmark::State &state) {
    const Terrain *t = bench_terrain();
    std::vector<float> p = bench_points(t);
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(terrain_height(t, p[k], p[k + 1]));
        k = (k + 2) & 8191;
    }
    state.counters["queries/s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TerrainHeight);

void BM_TerrainFaceNormal(benchmark::State &state) {
    const Terrain *t = bench_terrain();
    std::vector<float> p = bench_points(t);
    size_t k = 0;
    for (auto _ : state) {
        Vec3 n;
        terrain_face_normal(t, p[k], p[k + 1], &n);
        benchmark::DoNotOptimize(n);
        k = (k + 2) & 8191;
    }
    state.counters["queries/s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TerrainFaceNormal);

void BM_SurfaceGrip(benchmark::State &state) {
    const Terrain *t = bench_terrain();
    std::vector<float> p = bench_points(t);
    size_t k = 0;
    for (auto _ : state) {
        const Surface *s = &t->surfaces[surface_at(t, p[k], p[k + 1])];
        benchmark::DoNotOptimize(surface_friction(s, p[k] * p[k + 1]));
        k = (k + 2) & 8191;
    }
    state.counters["queries/s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SurfaceGrip);

// One rut event: dig and heap with the default erode radius, shading window included.
void BM_TerrainDeformRut(benchmark::State &state) {
    Terrain *t = bench_terrain();
    std::vector<float> p = bench_points(t);
    size_t k = 0;
    float amount = 1e-4f;
    for (auto _ : state) {
        terrain_deform(t, p[k], p[k + 1], 4.0f, -amount);
        terrain_deform(t, p[k] + 2.0f, p[k + 1], 4.0f, amount);
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_TerrainDeformRut);

// Rebuild of the level-of-detail bounds of the whole field after a change.
void BM_GroundLodRebuild(benchmark::State &state) {
    Terrain *t = bench_terrain();
    for (auto _ : state) {
        t->change_count++;
        ground_lod_step(t, 0);
    }
}
BENCHMARK(BM_GroundLodRebuild)->Unit(benchmark::kMillisecond);

// The ground of the first track in the data (the archive the build puts beside the
// executable): terrain.hf, samples, light maps, surface table, tile map and decals.
void BM_TerrainLoadShippedTrack(benchmark::State &state) {
    int count = 0;
    const char *const *names = data_names(&count);
    char dir[1024] = "";
    for (int k = 0; k < count && !dir[0]; k++) {
        int length = (int)strlen(names[k]);
        if (length > 11 && strcmp(names[k] + length - 11, "/terrain.hf") == 0)
            snprintf(dir, sizeof dir, "@%.*s", length - 11, names[k]);
    }
    if (!dir[0]) {
        state.SkipWithError("no track in the data: build the game_data target first");
        return;
    }
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    for (auto _ : state) {
        if (!terrain_load(t, dir, 1)) {
            state.SkipWithError("the track's ground did not load");
            break;
        }
        state.counters["grid"] = (double)t->grid_size;
        terrain_free(t);
    }
    free(t);
    state.SetLabel(dir);
}
BENCHMARK(BM_TerrainLoadShippedTrack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
