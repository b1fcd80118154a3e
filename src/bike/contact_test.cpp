// Tyre contact, suspension forces, roost and ruts.
#include "bike/contact.h"

#include <gtest/gtest.h>

#include <cmath>

#include "bike/bike_test_support.h"
#include "common/mt19937.h"
#include "track/deform.h"

namespace {

Vec3 position(dBodyID b) {
    const dReal *p = dBodyGetPosition(b);
    return vec3((float)p[0], (float)p[1], (float)p[2]);
}

}  // namespace

using WheelGround = RideTest;

TEST_F(WheelGround, DepthNormalAndPointOnFlatAndSlopedGround) {
    struct Case {
        float slope;      // ground rises slope ft per ft of z
        float sink;       // how far the tyre's lowest point is put below the ground, ft
        int touches;
    };
    const Case cases[] = {{0, 0, 0}, {0, -0.05f, 0}, {0, 0.1f, 1}, {0, 0.5f, 1}, {0.3f, 0.1f, 1}};
    for (const Case &c : cases) {
        TestGround ground(6, 2.0f, c.slope);
        Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
        WheelContact *wc = &bike->wheel[1];
        float outer = wc->ring_radius + wc->tube_radius;
        // On a slope the lowest point of an upright wheel is not straight under it: place it
        // by the perpendicular distance to the plane instead.
        float cosa = 1 / sqrtf(1 + c.slope * c.slope);
        float x = 100.5f, z = 99.7f;
        float y = terrain_height(&ground.terrain, x, z) + (outer - c.sink) / cosa;
        dBodySetPosition(wc->body, x, y, z);
        int touches = wheel_contact(&ground.terrain, wc, 1);
        EXPECT_EQ(touches, c.touches) << c.slope << " " << c.sink;
        if (touches) {
            EXPECT_NEAR(wc->depth, c.sink, 2e-3f) << c.slope << " " << c.sink;
            Vec3 n = wc->contact_normal;
            EXPECT_NEAR(n.y, cosa, 1e-4f);
            EXPECT_NEAR(n.z, -c.slope * cosa, 1e-4f);
            Vec3 centre = position(wc->body);
            // The point lies on the tyre surface, tube radius from the core circle.
            EXPECT_NEAR(vec_length(wc->contact_point - (centre - n * wc->ring_radius)), wc->tube_radius, 1e-3f);
        } else {
            EXPECT_EQ(wc->depth, 0);
        }
        bike_destroy(bike);
    }
}

TEST_F(WheelGround, TyreAgainstAStepPushesBackFromTheEdge) {
    TestGround ground(6, 1.0f, 0, [](float, float z) { return z < 100 ? 3.0f : 0.0f; });
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    WheelContact *wc = &bike->wheel[0];
    float outer = wc->ring_radius + wc->tube_radius;
    // The face rises from z = 100 (height 0) to z = 99 (height 3). Just above the low ground,
    // with the front of the tyre at axle height 0.1 ft into the face.
    float face = 100 - outer / 3;
    dBodySetPosition(wc->body, 50.2f, outer + 0.01f, face + outer - 0.1f);
    ASSERT_EQ(wheel_find_contact(&ground.terrain, wc), 1);
    EXPECT_GT(wc->contact_normal.z, 0.5f);   // pushed back (+z), away from the face
    EXPECT_GT(wc->depth, 0.05f);
    EXPECT_LT(wc->depth, 0.2f);
}

TEST_F(WheelGround, RollingResistanceFadesInBelowOneFootPerSecond) {
    TestGround ground(6, 2.0f);
    Surface *s = &ground.terrain.surfaces[0];
    surface_defaults(s);   // resistance 5 at no squash, 15 at full squash
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    WheelContact *wc = &bike->wheel[1];
    float outer = wc->ring_radius + wc->tube_radius;
    const float speeds[] = {0.5f, 4.0f};
    for (float v : speeds) {
        dBodySetPosition(wc->body, 60, outer - wc->tube_radius * 0.5f, 60);
        dBodySetLinearVel(wc->body, 0, 0, -v);
        dBodySetForce(wc->body, 0, 0, 0);
        ASSERT_EQ(wheel_contact(&ground.terrain, wc, 1), 1);
        float resistance = 5 + 10 * 0.5f;
        float expected = v > 1 ? resistance : resistance * v;
        EXPECT_NEAR(dBodyGetForce(wc->body)[2], expected, 0.05f) << v;
    }
}

TEST_F(WheelGround, SphereAgainstGround) {
    TestGround ground(6, 2.0f);
    Vec3 p, n;
    float depth;
    EXPECT_EQ(sphere_ground(&ground.terrain, vec3(30, 1, 30), 0.9f, &p, &n, &depth), 0);
    ASSERT_EQ(sphere_ground(&ground.terrain, vec3(30, 0.5f, 30), 0.6f, &p, &n, &depth), 1);
    EXPECT_NEAR(depth, 0.1f, 1e-5f);
    EXPECT_NEAR(n.y, 1, 1e-6f);
    EXPECT_NEAR(p.y, 0, 1e-6f);
    // A centre below the surface still pushes up, deeper than the radius.
    ASSERT_EQ(sphere_ground(&ground.terrain, vec3(31, -0.2f, 33), 0.5f, &p, &n, &depth), 1);
    EXPECT_NEAR(depth, 0.7f, 1e-5f);
    EXPECT_NEAR(n.y, 1, 1e-6f);
}

TEST_F(WheelGround, SphereOnAPlateauBesideADropTouchesOnlyThePlateau) {
    // Flat at height 3 up to z = 10, then 3 ft down over the next 2 ft.
    TestGround ground(6, 2.0f, 0, [](float, float z) { return z <= 10 ? 3.0f : 0.0f; });
    Vec3 p, n;
    float depth;
    ASSERT_EQ(sphere_ground(&ground.terrain, vec3(31, 3.4f, 9.6f), 0.5f, &p, &n, &depth), 1);
    EXPECT_NEAR(depth, 0.1f, 1e-5f);
    EXPECT_NEAR(n.y, 1, 1e-6f);
}

TEST_F(WheelGround, ForkAndShockFadeInOverTheFirstThirtySecondOfTravel) {
    Bike *bike = bike_create("crf450(2013)", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    float travel = bike->model.fork_travel;
    EXPECT_EQ(fork_force(bike, 0.01f, 0), 0);           // over-extended: nothing
    EXPECT_EQ(fork_force(bike, 0, 0), 0);
    // The damping part shows the fade alone: half at 1/64 of the travel, all from 1/32 on.
    auto fork_damping = [&](float x) { return fork_force(bike, x, -1) - fork_force(bike, x, 0); };
    EXPECT_NEAR(fork_damping(-travel / 64), fork_damping(-travel / 32) / 2, 1e-3f);
    EXPECT_NEAR(fork_damping(-travel / 2), fork_damping(-travel / 32), 1e-3f);
    EXPECT_NEAR(fork_damping(-travel / 2), bike->fork_compression, 1e-3f);
    float full = fork_force(bike, -travel / 32, 0);
    EXPECT_GT(full, 0);
    // Deeper the air column stiffens: more force per foot at the bottom than at the top.
    float mid = fork_force(bike, -0.5f * travel, 0), deep = fork_force(bike, -0.95f * travel, 0);
    EXPECT_GT(deep - mid, (mid - full) * 1.2f);
    // Compression damping opposes the motion; strong rebound damping can turn it negative.
    EXPECT_GT(fork_force(bike, -0.5f, -2), mid);
    EXPECT_LT(fork_force(bike, -0.5f, 20), 0);

    float l = bike->model.swingarm_travel;
    EXPECT_EQ(shock_torque(bike, 0.001f, 0), 0);
    float shock_full = shock_torque(bike, -l / 32, 0);
    auto shock_damping = [&](float a) { return shock_torque(bike, a, -1) - shock_torque(bike, a, 0); };
    EXPECT_NEAR(shock_damping(-l / 64), shock_damping(-l / 32) / 2, 1e-2f);
    EXPECT_NEAR(shock_damping(-l / 2), shock_damping(-l / 32), 1e-2f);
    EXPECT_GT(shock_torque(bike, -l / 2, 0), shock_full);
    EXPECT_GT(shock_torque(bike, -l / 2, -1), shock_torque(bike, -l / 2, 0));
}

TEST_F(WheelGround, BikeSettlesOnItsSuspension) {
    TestGround ground(6, 2.0f);
    Bike *bike = place("crf450(2013)", 128, 128);
    ride(3);
    float fork = (float)dJointGetSliderPosition(bike->joint[JOINT_FORK_SLIDER]);
    float arm = (float)dJointGetHingeAngle(bike->joint[JOINT_SWINGARM_PIVOT]);
    // Sag: both ends sit in their travel, neither topped out nor bottomed.
    EXPECT_LT(fork, -0.05f);
    EXPECT_GT(fork, -0.6f * bike->model.fork_travel);
    EXPECT_LT(arm, -0.02f);
    EXPECT_GT(arm, -0.6f * bike->model.swingarm_travel);
    EXPECT_GT(bike->wheel[0].depth, 0);
    EXPECT_GT(bike->wheel[1].depth, 0);
}

using Roost = RideTest;

TEST_F(Roost, CapDrawEvenWithoutContactAndTenPerKindAtMost) {
    TestGround ground(6, 2.0f);
    TestParticles particles;
    Bike *bike = place("yz125", 60, 60);
    bike_translate(bike, 0, 20, 0);   // in the air
    ride(1.0f / 128);
    // Frequency 0: one draw for the cap, nothing thrown.
    Mt19937 reference;
    mt_seed_state(&reference, 77);
    mt_seed(77);
    roost_emit(bike, 0);
    mt_next_state(&reference);
    EXPECT_EQ(mt_next(), mt_next_state(&reference));
    EXPECT_EQ(particles_live(), 0);

    // On the ground with a spinning rear wheel and a kind that asks for 50 a step.
    bike_reset_pose(bike);
    bike_translate(bike, 60, 0, 60);
    bike_set_down(bike, physics_terrain());
    ride(0.5f);
    RoostType *kind = &ground.terrain.surfaces[0].roost[0];
    roost_defaults(kind);
    kind->kind = 1;
    kind->count = 50;
    kind->slip_threshold = 0;
    dBodySetAngularVel(bike->body[BODY_REAR_WHEEL], -60, 0, 0);
    bike_collide(bike);
    roost_set_frequency(1000);
    roost_emit(bike, 0);
    EXPECT_EQ(particles_live(), 20);   // ten per kind and wheel: both wheels touch
    roost_set_frequency(0);
}

TEST_F(Roost, RemoteBikesFindTheirOwnContact) {
    TestGround ground(6, 2.0f);
    TestParticles particles;
    Bike *bike = place("yz125", 60, 60);
    RoostType *kind = &ground.terrain.surfaces[0].roost[0];
    roost_defaults(kind);
    kind->kind = 2;    // splash: thrown by any wheel moving over the ground
    kind->count = 3;
    ride(0.5f);
    for (dBodyID b : bike->body) dBodySetLinearVel(b, 0, 0, -20);
    bike->wheel[0].depth = bike->wheel[1].depth = 0;
    roost_set_frequency(300);
    roost_emit(bike, 1);
    EXPECT_EQ(particles_live(), 6);
    EXPECT_GT(bike->wheel[1].depth, 0);
    roost_set_frequency(0);
}

using Ruts = RideTest;

TEST_F(Ruts, EventsWaitUntilTheBikeIsTenFeetAway) {
    TestGround ground(6, 2.0f);
    erosion_set_rate(100);
    Bike *bike = place("yz125", 60, 60);
    Vec3 p = bike_position(bike);
    bike->ruts[0] = RutEvent{p.x, p.z + 3, 0, 200};   // pushed backwards hard
    bike->rut_tail = 1;
    float before = terrain_height(&ground.terrain, p.x, p.z + 3);
    rut_apply(bike);
    EXPECT_EQ(rut_pending(bike), 1);
    bike_translate(bike, 0, 0, -20);
    rut_apply(bike);
    EXPECT_EQ(rut_pending(bike), 0);
    EXPECT_LT(terrain_height(&ground.terrain, p.x, p.z + 3), before);
    // The heap lies against the force, displacement ahead of the dug point.
    EXPECT_GT(terrain_height(&ground.terrain, p.x, p.z + 1), before);
    erosion_set_rate(0);
}

TEST_F(Ruts, SpinningWheelQueuesEventsOnlyAboveTheOnSpeed) {
    TestGround ground(6, 2.0f);
    erosion_set_rate(100);
    Bike *bike = place("yz125", 60, 100);
    bike_set_throttle(bike, 1);
    ride(0.5f, [&](int) {
        rut_queue(bike);
        bike_set_throttle(bike, 1);
    });
    int slow = rut_pending(bike);
    ride(2, [&](int) {
        rut_queue(bike);
        bike_set_throttle(bike, 1);
    });
    EXPECT_EQ(slow, 0);              // below the off speed of 10 ft/s nothing digs
    EXPECT_GT(rut_pending(bike), 0);
    erosion_set_rate(0);
}
