// Riding fixtures for the bike tests: a physics world, a small heightfield with a hard-pack
// surface, bikes placed upright on it and a loop that rides them with scripted inputs.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "bike/bike.h"
#include "bike/contact.h"
#include "bike/particles.h"
#include "bike/ride.h"
#include "bike/shape.h"
#include "files/data.h"
#include "testsupport/testsupport.h"
#include "track/billboards.h"
#include "track/terrain.h"
#include "track/track.h"

// Hard-pack: firm grip that fades a little with slip, and a rolling resistance that grows
// with the square of the speed (it stands for air drag, which the tyres carry).
inline void hardpack_surface(Surface *s) {
    surface_defaults(s);
    const float friction[3][2] = {{1.1f, 5}, {1.0f, 20}, {0.85f, 60}};
    for (int i = 0; i < 3; i++) {
        s->friction_value[i] = friction[i][0];
        s->friction_speed[i] = friction[i][1];
    }
    for (int i = 0; i < 8; i++) {
        float v = i == 0 ? 1.0f : 20.0f * (float)i;
        s->roll_speed[i] = v;
        s->roll_low[i] = 5 + 0.0125f * v * v;
        s->roll_high[i] = s->roll_low[i] + 10;
    }
}

// The player's default assists (stability 100 of the setup menu).
inline void stability_100(Bike *bike) {
    const float deg = 0.017453292f;
    bike_set_leveling(bike, 20);
    bike_set_roll_damping(bike, 80);
    bike_set_roll_limit_angle(bike, 35 * deg);
    bike_set_roll_limit_factor(bike, 32);
    bike_set_steering_damping(bike, 45);
    bike_set_steering_strength(bike, 75);
    bike_set_max_steering_force(bike, 400);
    bike_set_direct_steering(bike, 0);
    bike_set_slow_damping_speed(bike, 40);
    bike_set_slow_damping_factor(bike, 2);
    bike_set_landing_damping_falloff(bike, 0.25f);
    bike_set_landing_damping_factor(bike, 2);
    bike_set_full_lock_speed(bike, 10);
    bike_set_restricted_lock_speed(bike, 50);
    bike_set_restricted_lock_angle(bike, 5 * deg);
    bike_set_max_dab_speed(bike, 20 * FT_S_PER_MPH);
}

// A world and a square field 2^(bits+1) * spacing on a side whose height is
// slope * z + ridge(x, z).
struct TestGround {
    Terrain terrain{};
    TestGround(int bits, float spacing, float slope = 0,
               std::function<float(float, float)> ridge = nullptr) {
        int s = (1 << (bits + 1)) + 1;
        std::vector<float> heights((size_t)s * (size_t)s);
        for (int r = 0; r < s; r++)
            for (int c = 0; c < s; c++) {
                float x = (float)c * spacing, z = (float)r * spacing;
                heights[(size_t)r * s + c] = slope * z + (ridge ? ridge(x, z) : 0.0f);
            }
        EXPECT_EQ(terrain_create(&terrain, bits, spacing, heights.data()), 1);
        hardpack_surface(&terrain.surfaces[0]);
        physics_set_terrain(&terrain);
    }
    ~TestGround() {
        physics_set_terrain(nullptr);
        terrain_free(&terrain);
    }
};

// A data home holding the seven generic part shapes (sphere centres in each part's frame),
// so that frames, forks, swingarms and riders hit the ground and each other.
struct ShapeHome {
    TempDir user, install;
    ScopedEnv xdg{"XDG_DATA_HOME", user.path.c_str()};
    ScopedEnv qz{"QZ_HOME", install.path.c_str()};
    ShapeHome() {
        const char *k = " 0.5 2500 120\n";
        auto sphere = [&](float x, float y, float z, float r) {
            char line[128];
            snprintf(line, sizeof line, "%g %g %g %g%s", x, y, z, r, k);
            return std::string(line);
        };
        install.write("generic_frame.shp", "4\n" + sphere(0, 1.02f, -0.6f, 0.4f) +
                                               sphere(0, 1.07f, 0.25f, 0.35f) +
                                               sphere(0, -0.23f, -0.2f, 0.55f) +
                                               sphere(0, 1.17f, 2.2f, 0.25f));
        install.write("generic_fork_upper.shp", "2\n" + sphere(0, 0, 0, 0.3f) + sphere(0, 1.1f, 0.7f, 0.22f));
        install.write("generic_fork_lower.shp", "2\n" + sphere(-0.42f, 0, 0, 0.18f) + sphere(0.42f, 0, 0, 0.18f));
        install.write("generic_swingarm.shp", "2\n" + sphere(-0.36f, 0, 0, 0.16f) + sphere(0.36f, 0, 0, 0.16f));
        install.write("generic_rider.shp", "3\n" + sphere(0, 0.81f, -0.94f, 0.45f) + sphere(0, 0, 0, 0.6f) +
                                               sphere(0, -0.57f, 0.67f, 0.5f));
        std::string wheel = "4\n";
        for (int i = 0; i < 4; i++) {
            float a = 1.5707963f * (float)i;
            wheel += sphere(0, 0.8f * sinf(a), 0.8f * cosf(a), 0.3333333f);
        }
        install.write("front_wheel.shp", wheel);
        install.write("rear_wheel.shp", wheel);
        data_reset();
        shapes_clear();
    }
    ~ShapeHome() {
        shapes_clear();
        data_reset();
    }
};

// A particle pool of the track's kind with its billboards, attached for the test's life.
struct TestParticles {
    ParticlePool pool{};
    Array billboards{};
    TestParticles() {
        array_init(&billboards, sizeof(Billboard));
        for (int i = 0; i < PARTICLE_SLOTS; i++) {
            pool.slots[i].billboard = billboard_add(&billboards, nullptr, 0, 0, 0, 1, 1, nullptr);
            pool.slots[i].next = i + 1 < PARTICLE_SLOTS ? i + 1 : -1;
        }
        pool.free_first = 0;
        pool.live_first = -1;
        particles_attach(&pool, &billboards);
    }
    ~TestParticles() {
        particles_attach(nullptr, nullptr);
        array_free(&billboards);
    }
    const Billboard *billboard(int slot) { return array_get<Billboard>(&billboards, pool.slots[slot].billboard); }
};

// A fresh physics world per test.
class RideTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(physics_init(), 1);
        physics_set_step_count(0);
        physics_set_race_start(0);
        roost_set_frequency(0);
    }
    void TearDown() override {
        for (Bike *bike : bikes) bike_destroy(bike);
        bikes.clear();
        physics_shutdown();
    }
    // A bike of the model at (x, z) facing heading (0 faces -z, positive turns left), set down
    // on the ground and still, with the clutch engaged.
    Bike *place(const char *model, float x, float z, float heading = 0) {
        Bike *bike = bike_create(model, (int)bikes.size(), "1", nullptr, nullptr, nullptr, nullptr);
        Vec3 rest = bike->model.frame_centre;
        bike_translate(bike, -rest.x, 0, -rest.z);
        bike_turn(bike, vec3(0, 1, 0), heading);
        bike_translate(bike, x, 0, z);
        bike_set_down(bike, physics_terrain());
        bike_stop(bike);
        bike_set_clutch(bike, 1);
        bikes.push_back(bike);
        return bike;
    }
    // Rides every placed bike for seconds; control(step) runs before each step.
    void ride(float seconds, const std::function<void(int)> &control = nullptr) {
        int steps = (int)lroundf(seconds * (float)STEPS_PER_SECOND);
        for (int i = 0; i < steps; i++) {
            if (control) control(i);
            ride_step(bikes.data(), (int)bikes.size());
        }
    }
    std::vector<Bike *> bikes;
};
