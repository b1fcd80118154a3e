// The roost particle pool as simulation.
#include "bike/particles.h"

#include <gtest/gtest.h>

#include "bike/bike_test_support.h"

namespace {

RoostType dirt() {
    RoostType kind;
    roost_defaults(&kind);
    kind.kind = 1;
    kind.texture = 7;
    kind.a = 3;          // fades out after two steps of -2
    kind.fade_a = -2;
    kind.drag = 0;
    return kind;
}

}  // namespace

TEST(Particles, FullPoolDropsFurtherSpawns) {
    TestParticles pool;
    RoostType kind = dirt();
    for (int i = 0; i < PARTICLE_SLOTS; i++) ASSERT_EQ(particle_spawn(vec3(0, 1, 0), vec3(0, 0, 0), &kind), 1);
    EXPECT_EQ(particle_spawn(vec3(0, 1, 0), vec3(0, 0, 0), &kind), 0);
    EXPECT_EQ(particles_live(), PARTICLE_SLOTS);
    particles_reset();
    EXPECT_EQ(particles_live(), 0);
    EXPECT_EQ(pool.billboard(0)->texture, 0);
    EXPECT_EQ(particle_spawn(vec3(0, 1, 0), vec3(0, 0, 0), &kind), 1);
}

TEST(Particles, FlyUntilTheyComeDownBelowTheGround) {
    TestGround ground(6, 2.0f);
    TestParticles pool;
    RoostType kind = dirt();
    ASSERT_EQ(particle_spawn(vec3(50, 0.5f, 50), vec3(0, 64, 0), &kind), 1);
    int slot = pool.pool.live_first;
    float size = pool.billboard(slot)->width;
    int steps = 0;
    float top = 0;
    while (particles_live() > 0 && steps < 2000) {
        particles_step(&ground.terrain);
        steps++;
        if (particles_live()) top = fmaxf(top, pool.billboard(slot)->pos.y);
        if (steps == 1) {
            EXPECT_EQ(pool.billboard(slot)->color[3], 1);
            EXPECT_GT(pool.billboard(slot)->width, size);
        }
        if (steps == 2) {
            EXPECT_EQ(pool.billboard(slot)->color[3], 0);   // limited at 0
        }
    }
    // Up at 64 ft/s under 32 ft/s^2: four seconds up and down, 64 ft high.
    EXPECT_NEAR(steps, 4 * 128, 3);
    EXPECT_NEAR(top, 64.5f, 0.6f);
    EXPECT_EQ(pool.billboard(slot)->texture, 0);
    EXPECT_EQ(pool.pool.free_first, slot);
}
