// Track loading time: a generated track (hills, 40 gates, 300 statues sharing 3 models and
// shapes, 600 billboards, cameras and lighting) at two field sizes, loaded headless with
// cold picture, model and shape caches. RUTMOOR_BENCH_TRACK names a track of the game data
// to time as well.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bike/shape.h"
#include "files/data.h"
#include "render/image.h"
#include "render/model.h"
#include "track/track.h"

namespace {

std::string bench_home;

void put(const std::string &relative, const std::string &bytes) {
    std::string path = bench_home + "/Rutmoor/" + relative;
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0755);
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::string ppm(int side) {
    std::string out = "P6 " + std::to_string(side) + " " + std::to_string(side) + " 255\n";
    for (int i = 0; i < side * side; i++)
        out += {char(90 + i % 60), char(70 + i % 40), char(50)};
    return out;
}

// A box model of 8 vertices and 12 triangles.
std::string box_model() {
    std::string out = "8 12\n";
    for (int v = 0; v < 8; v++) {
        float x = v & 1 ? 1 : -1, y = v & 2 ? 2 : 0, z = v & 4 ? 1 : -1;
        char line[128];
        snprintf(line, sizeof line, "%g %g %g %g %g %g %g %g\n", x, y, z, x, 0.0, z,
                 (x + 1) / 2, (z + 1) / 2);
        out += line;
    }
    const int faces[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                              {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
    for (const auto &f : faces)
        out += std::to_string(f[0]) + " " + std::to_string(f[1]) + " " + std::to_string(f[2]) + "\n";
    return out;
}

void make_track(const std::string &name, int tile_bits) {
    int side = (1 << (tile_bits + 1)) + 1;
    float world = float(side - 1);   // spacing 1 ft
    std::string hf = std::to_string(tile_bits) + " 1.0 0 40\n:";
    for (int r = 0; r < side; r++)
        for (int c = 0; c < side; c++) {
            double h = 0.5 + 0.25 * std::sin(c * 0.05) * std::cos(r * 0.07);
            int v = int(h * 65535);
            hf += char(v & 255);
            hf += char(v >> 8);
        }
    put(name + "/terrain.hf", hf);
    put(name + "/shadingx2.ppm", "P6 " + std::to_string(side) + " " + std::to_string(side) +
                                     " 255\n" + std::string(size_t(side) * side * 3, '\x80'));
    put(name + "/texturelist", "dirt.ppm\n");
    int tiles = 1 << tile_bits;
    put(name + "/tilemap", std::string(size_t(tiles) * tiles, '\0'));

    std::string gates = "startinggate:\n";
    for (int i = 0; i < 20; i++)
        gates += "[ " + std::to_string(world * 0.2f + 3 * i) + " 0 " + std::to_string(world * 0.2f) + " ] 0\n";
    gates += "checkpoints:\n";
    std::string lap;
    for (int i = 0; i < 40; i++) {
        double a = i * 2 * 3.14159265 / 40;
        gates += "8 [ " + std::to_string(world * (0.5 + 0.3 * std::cos(a))) + " 0 " +
                 std::to_string(world * (0.5 + 0.3 * std::sin(a))) + " ] [ 1 0 0 ]\n";
        lap += std::to_string(i) + " ";
    }
    put(name + "/timing_gates", gates + "firstlap:\n" + lap + "\nnormallap:\n" + lap + "\n");

    std::string statues, billboards;
    for (int i = 0; i < 300; i++) {
        int kind = i % 3;
        statues += "[ " + std::to_string(world * (0.1f + 0.8f * float(i % 17) / 17)) + " 0 " +
                   std::to_string(world * (0.1f + 0.8f * float(i % 19) / 19)) + " ] " +
                   std::to_string(0.1 * i) + " @obj" + std::to_string(kind) + ".jm @obj" +
                   std::to_string(kind) + ".ppm @obj" + std::to_string(kind) + ".shp\n";
    }
    for (int i = 0; i < 600; i++)
        billboards += "[ " + std::to_string(world * float(i % 23) / 23) + " 1 " +
                      std::to_string(world * float(i % 29) / 29) + " ] 4 6 " +
                      (i % 4 ? "@tree.ppm" : "#c08040#@tree.ppm") + "\n";
    put(name + "/statues", statues);
    put(name + "/billboards", billboards);
    put(name + "/cameras", "gate 0 1 2\nfov 40\naddcamera 10 20 10\ngate 3\naddcamera 50 10 50\n");
    put(name + "/lighting", "sun_vector [ 1 2 1 ]\nnear_plane 0.5\nfar_plane 4000\n");
}

void make_home() {
    char pattern[] = "/tmp/rutmoor-track-bench-XXXXXX";
    const char *made = mkdtemp(pattern);
    bench_home = made ? made : "/tmp";
    setenv("XDG_DATA_HOME", bench_home.c_str(), 1);
    data_reset();
    for (int k = 0; k < 3; k++) {
        put("obj" + std::to_string(k) + ".jm", box_model());
        put("obj" + std::to_string(k) + ".ppm", ppm(64));
        put("obj" + std::to_string(k) + ".shp", "2\n0 0.5 0 1 1 1000 10\n0 1.5 0 1 1 1000 10\n");
    }
    put("tree.ppm", ppm(128));
    put("dirt.ppm", ppm(128));
    put("startgate.jm", box_model());
    put("startgate.ppm", ppm(64));
    put("startgate.shp", "1\n0 1 0 1 1 1000 10\n");
    make_track("bench7", 7);
    make_track("bench9", 9);
}

void clear_caches() {
    images_clear();
    models_clear();
    shapes_clear();
}

void load(benchmark::State &state, const char *name) {
    for (auto _ : state) {
        state.PauseTiming();
        track_unload();
        clear_caches();
        state.ResumeTiming();
        if (!track_load(name)) {
            state.SkipWithError("track did not load");
            break;
        }
    }
    const Track *track = track_get();
    state.counters["statues"] = track->statues.count;
    state.counters["billboards"] = track->billboards.count;
    state.counters["samples"] = double(track->terrain.grid_size) * track->terrain.grid_size;
    track_unload();
}

// Named by samples per side of the field.
void BM_TrackLoad257(benchmark::State &state) { load(state, "bench7"); }
void BM_TrackLoad1025(benchmark::State &state) { load(state, "bench9"); }
BENCHMARK(BM_TrackLoad257)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackLoad1025)->Unit(benchmark::kMillisecond);

void BM_TrackLoadNamed(benchmark::State &state) {
    const char *name = getenv("RUTMOOR_BENCH_TRACK");
    std::string xdg = bench_home;
    unsetenv("XDG_DATA_HOME");
    data_reset();
    load(state, name);
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    data_reset();
}

}  // namespace

int main(int argc, char **argv) {
    make_home();
    if (getenv("RUTMOOR_BENCH_TRACK"))
        benchmark::RegisterBenchmark("BM_TrackLoadNamed", BM_TrackLoadNamed)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(bench_home, ec);
    return 0;
}
