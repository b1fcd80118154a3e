// Processor time of one simulation step per bike for 1, 40 and 160 bikes riding on rolling ground with
// their part shapes, and the share of it spent inside the world step (dWorldStep).
#include <benchmark/benchmark.h>

#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/contact.h"
#include "bike/shape.h"
#include "files/data.h"
#include "track/terrain.h"

namespace {

// This thread's processor time: other work on the machine does not count.
double cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

// Generic part shapes in a scratch data directory, as the game data ships them.
void write_shapes() {
    static int done = 0;
    if (done) return;
    done = 1;
    char dir[] = "/tmp/rutmoor-bench-XXXXXX";
    if (!mkdtemp(dir)) return;
    const char *k = " 0.5 2500 120\n";
    auto write = [&](const char *name, const std::vector<std::vector<float>> &spheres) {
        std::string path = std::string(dir) + "/" + name;
        FILE *f = fopen(path.c_str(), "w");
        if (!f) return;
        fprintf(f, "%d\n", (int)spheres.size());
        for (const auto &s : spheres) fprintf(f, "%g %g %g %g%s", s[0], s[1], s[2], s[3], k);
        fclose(f);
    };
    write("generic_frame.shp", {{0, 1.02f, -0.6f, 0.4f}, {0, 1.07f, 0.25f, 0.35f}, {0, -0.23f, -0.2f, 0.55f},
                                {0, 1.17f, 2.2f, 0.25f}});
    write("generic_fork_upper.shp", {{0, 0, 0, 0.3f}, {0, 1.1f, 0.7f, 0.22f}});
    write("generic_fork_lower.shp", {{-0.42f, 0, 0, 0.18f}, {0.42f, 0, 0, 0.18f}});
    write("generic_swingarm.shp", {{-0.36f, 0, 0, 0.16f}, {0.36f, 0, 0, 0.16f}});
    write("generic_rider.shp", {{0, 0.81f, -0.94f, 0.45f}, {0, 0, 0, 0.6f}, {0, -0.57f, 0.67f, 0.5f}});
    std::vector<std::vector<float>> wheel;
    for (int i = 0; i < 8; i++) {
        float a = 0.7853982f * (float)i;
        wheel.push_back({0, 0.8f * sinf(a), 0.8f * cosf(a), 0.3333333f});
    }
    write("front_wheel.shp", wheel);
    write("rear_wheel.shp", wheel);
    setenv("QZ_HOME", dir, 1);
    data_reset();
}

Terrain *bench_ground() {
    static Terrain *t = [] {
        Terrain *made = (Terrain *)calloc(1, sizeof(Terrain));
        int size = (1 << 9) + 1;
        std::vector<float> h((size_t)size * size);
        for (int r = 0; r < size; r++)
            for (int c = 0; c < size; c++)
                h[(size_t)r * size + c] = 1.5f * std::sin(c * 0.11f) * std::cos(r * 0.07f);
        terrain_create(made, 8, 2.0f, h.data());
        return made;
    }();
    return t;
}

void BM_BikeStep(benchmark::State &state) {
    int count = (int)state.range(0);
    write_shapes();
    physics_init();
    physics_set_step_count(0);
    Terrain *ground = bench_ground();
    physics_set_terrain(ground);
    roost_set_frequency(0);
    std::vector<Bike *> bikes;
    for (int i = 0; i < count; i++) {
        // Columns 20 ft apart, riders 25 ft apart in each column, all at the same pace.
        Bike *bike = bike_create("yz250f(2013)", i, "1", nullptr, nullptr, nullptr, nullptr);
        Vec3 rest = bike->model.frame_centre;
        bike_translate(bike, 40 + 20.0f * (float)(i % 20) - rest.x, 0, 900 - 25.0f * (float)(i / 20) - rest.z);
        bike_set_down(bike, ground);
        bike_set_clutch(bike, 1);
        bike_set_auto_shift(bike, 1);
        bikes.push_back(bike);
    }
    double world_seconds = 0, total_seconds = 0;
    long steps = 0;
    for (auto _ : state) {
        double t0 = cpu_seconds();
        for (Bike *bike : bikes) {
            bike_set_throttle(bike, bike_forward_speed_mph(bike) < 25 ? 0.6f : 0.1f);
            if (bike_position(bike).z < 60) bike_translate(bike, 0, 0, 880);
            bike_collide(bike);
        }
        for (int i = 0; i < count; i++)
            for (int j = i + 1; j < count; j++) bike_bike(bikes[i], bikes[j], 0);
        double t1 = cpu_seconds();
        physics_step();
        double t2 = cpu_seconds();
        for (Bike *bike : bikes) bike_control_step(bike, 1);
        physics_set_step_count(physics_step_count() + 1);
        double t3 = cpu_seconds();
        world_seconds += t2 - t1;
        total_seconds += t3 - t0;
        steps++;
    }
    state.counters["us_per_bike_step"] = total_seconds * 1e6 / (double)(steps * count);
    state.counters["world_step_share"] = world_seconds / total_seconds;
    for (Bike *bike : bikes) bike_destroy(bike);
    physics_set_terrain(nullptr);
    physics_shutdown();
}
BENCHMARK(BM_BikeStep)->Arg(1)->Arg(40)->Arg(160)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
