// Riding: scripted inputs on known ground, judged by what a rider would notice.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "bike/bike_test_support.h"
#include "bike/bike_local.h"
#include "bike/rider.h"

namespace {

// Puts the bike in motion at mph straight ahead, wheels rolling, as if it had been ridden.
void launch(Bike *bike, float mph) {
    float v = mph * FT_S_PER_MPH;
    const dReal *r = dBodyGetRotation(bike->body[BODY_FRAME]);
    Vec3 fwd = vec3((float)-r[2], (float)-r[6], (float)-r[10]);
    for (dBodyID b : bike->body) dBodySetLinearVel(b, fwd.x * v, fwd.y * v, fwd.z * v);
    Vec3 side = vec3((float)r[0], (float)r[4], (float)r[8]);
    float wf = -v / (bike->model.front.ring_radius + bike->model.front.tube_radius);
    float wr = -v / (bike->model.rear.ring_radius + bike->model.rear.tube_radius);
    dBodySetAngularVel(bike->body[BODY_FRONT_WHEEL], side.x * wf, side.y * wf, side.z * wf);
    dBodySetAngularVel(bike->body[BODY_REAR_WHEEL], side.x * wr, side.y * wr, side.z * wr);
    for (Vec3 &h : bike->rider_velocity) h = fwd * v;
}

float speed_mph(const Bike *bike) { return vec_length(bike_velocity(bike)) * MPH_PER_FT_S; }

// Keeps a long straight run on the field: a bike that nears the edge is moved back.
void keep_on_field(Bike *bike) {
    if (bike_position(bike).z < 300) bike_translate(bike, 0, 0, 2000);
}

struct Acceleration {
    float at2, at4, at8, to30, top;
    int top_gear;
};

}  // namespace

class Riding : public RideTest {
protected:
    // Full throttle from standstill with automatic shifting for 30 s.
    Acceleration accelerate(const char *model) {
        Bike *bike = place(model, 1280, 2400);
        bike_set_auto_shift(bike, 1);
        ride(1);
        Acceleration a{};
        a.to30 = -1;
        for (int s = 1; s <= 30 * STEPS_PER_SECOND; s++) {
            bike_set_throttle(bike, 1);
            ride_step(bikes.data(), (int)bikes.size());
            keep_on_field(bike);
            float mph = bike_forward_speed_mph(bike);
            if (a.to30 < 0 && mph >= 30) a.to30 = (float)s / (float)STEPS_PER_SECOND;
            if (s == 2 * STEPS_PER_SECOND) a.at2 = mph;
            if (s == 4 * STEPS_PER_SECOND) a.at4 = mph;
            if (s == 8 * STEPS_PER_SECOND) a.at8 = mph;
            EXPECT_EQ(bike->crash_timer, 0) << model;
        }
        a.top = bike_forward_speed_mph(bike);
        a.top_gear = bike_gear(bike);
        printf("%s: %.1f mph at 2 s, %.1f at 4 s, %.1f at 8 s, 0-30 mph in %.2f s, top %.1f mph in gear %d\n",
               model, a.at2, a.at4, a.at8, a.to30, a.top, a.top_gear + 1);
        bike_destroy(bike);
        bikes.clear();
        return a;
    }
};

TEST_F(Riding, FullThrottleOnHardpackWithAutomaticShifting) {
    TestGround ground(8, 5.0f);
    Acceleration big = accelerate("crf450(2013)");
    EXPECT_GT(big.to30, 0);
    EXPECT_LT(big.to30, 4);
    EXPECT_LT(big.at2, big.at4);
    EXPECT_LT(big.at4, big.at8);
    EXPECT_GE(big.top, 50);
    EXPECT_LE(big.top, 75);
    EXPECT_GE(big.top_gear, 3);   // it shifted up through the box
    // Launches are traction-limited for every class; the smaller engines fall behind once
    // the tyre hooks up.
    for (const char *small : {"yz125", "rs50yz"}) {
        Acceleration a = accelerate(small);
        EXPECT_LT(a.top, big.top) << small;
        EXPECT_LT(a.at8, big.at8) << small;
    }
}

TEST_F(Riding, BothBrakesWithFrontAntilockStopFrom40Mph) {
    TestGround ground(8, 5.0f);
    Bike *bike = place("crf450(2013)", 1280, 2400);
    ride(1);
    launch(bike, 40);
    bike_set_gear(bike, 2);
    Vec3 start = bike_position(bike);
    ride(6, [&](int) {
        bike_set_front_brake(bike, 1);
        bike_set_rear_brake(bike, 1);
        bike_set_clutch(bike, 0);
    });
    Vec3 end = bike_position(bike);
    float distance = vec_length(end - start);
    printf("40 mph to standstill in %.1f ft\n", distance);
    EXPECT_LT(distance, 100);
    EXPECT_LT(speed_mph(bike), 1);
    EXPECT_EQ(bike->crash_timer, 0);
    EXPECT_LT(fabsf(bike_lean_angle(bike)), 0.2f);
}

TEST_F(Riding, HeldSteeringHoldsASteadyCircleThatTightensWithInput) {
    TestGround ground(8, 5.0f);
    float last_radius = 1e9f;
    for (float steer : {0.04f, 0.07f, 0.1f}) {
        Bike *bike = place("crf450(2013)", 1280, 1280);
        stability_100(bike);
        ride(1);
        launch(bike, 30);
        bike_set_gear(bike, 1);
        float throttle;
        // Radius of the path over whole seconds: distance travelled over heading change.
        std::vector<float> radii;
        float heading = 0, distance = 0;
        for (int s = 0; s < 14 * STEPS_PER_SECOND; s++) {
            // A steady part throttle that holds about 30 mph.
            throttle = fminf(1, fmaxf(0, 0.3f + 0.05f * (30 - bike_forward_speed_mph(bike))));
            bike_set_throttle(bike, throttle);
            bike_set_steer(bike, steer);
            ride_step(bikes.data(), (int)bikes.size());
            Vec3 v = bike_velocity(bike);
            distance += vec_length(v) * (float)STEP_SECONDS;
            if (s % STEPS_PER_SECOND == 0) {
                float h = atan2f(v.x, -v.z);
                float turn = remainderf(h - heading, 2 * (float)M_PI);
                if (s >= 6 * STEPS_PER_SECOND) radii.push_back(distance / fabsf(turn));
                heading = h;
                distance = 0;
            }
        }
        float mean = 0, spread = 0;
        for (float r : radii) mean += r / (float)radii.size();
        for (float r : radii) spread = fmaxf(spread, fabsf(r - mean));
        printf("steer %.2f at 30 mph: radius %.1f ft (within %.1f), lean %.2f rad\n", steer, mean, spread,
               bike_lean_angle(bike));
        EXPECT_EQ(bike->crash_timer, 0);
        EXPECT_LT(spread, 0.05f * mean) << steer;
        EXPECT_LT(mean, last_radius) << steer;
        EXPECT_LT(bike_lean_angle(bike), 0) << steer;   // leaning into a right-hand turn
        last_radius = mean;
        bike_destroy(bike);
        bikes.clear();
    }
}

TEST_F(Riding, StandstillWithDabStands) {
    TestGround ground(6, 2.0f);
    Bike *bike = place("crf450(2013)", 128, 128);
    bike_set_auto_dab(bike, 1);
    dBodySetAngularVel(bike->body[BODY_FRAME], 0, 0, 0.3);   // a push to one side
    Vec3 start = bike_position(bike);
    float worst = 0;
    ride(10, [&](int) { worst = fmaxf(worst, fabsf(bike_lean_angle(bike))); });
    printf("standing 10 s: largest lean %.3f rad, dab pose %.2f\n", worst, bike->dab_anim);
    EXPECT_LT(worst, 0.2f);
    EXPECT_EQ(bike->crash_timer, 0);
    EXPECT_LT(vec_length(bike_position(bike) - start), 1);
    EXPECT_GT(bike->dab_anim, 0.5f);
}

TEST_F(Riding, IntoAWallCrashesAndTheRiderGetsBackUp) {
    ShapeHome home;
    // A 6 ft wall across the track at z < 100.
    TestGround ground(7, 1.0f, 0, [](float, float z) { return z < 100 ? 6.0f : 0.0f; });
    Bike *bike = place("crf450(2013)", 128, 160);
    ASSERT_NE(bike->shape[PART_RIDER], nullptr);
    ride(1);
    launch(bike, 30);
    bike_set_gear(bike, 1);
    int crash_step = -1, stop_step = -1, up_step = -1, peak = 0;
    for (int s = 0; s < 20 * STEPS_PER_SECOND && up_step < 0; s++) {
        // Hold 30 mph up to the wall.
        bike_set_throttle(bike, fminf(1, fmaxf(0, 0.3f + 0.05f * (30 - bike_forward_speed_mph(bike)))));
        ride_step(bikes.data(), (int)bikes.size());
        if (bike->crash_timer > peak) peak = bike->crash_timer;
        if (crash_step < 0 && bike->crash_timer > 0) crash_step = s;
        if (crash_step >= 0 && stop_step < 0 && bike->crash_timer < CRASH_STEPS) stop_step = s;
        if (crash_step >= 0 && bike->crash_timer == 0) up_step = s;
    }
    printf("wall at 30 mph: crash after %.2f s, rider stopped %.2f s later, back up %.2f s after that\n",
           crash_step / 128.0, (stop_step - crash_step) / 128.0, (up_step - stop_step) / 128.0);
    ASSERT_GE(crash_step, 0);
    EXPECT_EQ(peak, CRASH_STEPS);
    ASSERT_GE(up_step, 0);
    EXPECT_LE(up_step - stop_step, 6 * STEPS_PER_SECOND);
    EXPECT_EQ(dJointGetBody(bike->joint[JOINT_RIDER_MOUNT], 0), bike->body[BODY_RIDER]);
}

TEST_F(Riding, TwoBikesCollidingSideOnSetTheBumpTimers) {
    ShapeHome home;
    TestGround ground(6, 2.0f);
    // a rides north into b, which crosses slowly from left to right in front of it.
    Bike *a = place("crf450(2013)", 128, 180);
    Bike *b = place("crf450(2013)", 118, 140, -(float)M_PI / 2);
    ride(0.5f);
    launch(a, 20);
    launch(b, 5);
    bike_set_gear(a, 1);
    bike_set_gear(b, 0);
    float bump_a = 0, bump_b = 0;
    int hit_step = -1;
    ride(3, [&](int s) {
        bike_set_throttle(a, 0.3f);
        bike_set_throttle(b, 0.2f);
        bump_a = fmaxf(bump_a, a->bump_timer);
        bump_b = fmaxf(bump_b, b->bump_timer);
        if (hit_step < 0 && a->last_bump_step >= 0) hit_step = s;
    });
    printf("side-on hit after %.2f s: bump timers %.0f and %.0f\n", hit_step / 128.0, bump_a, bump_b);
    ASSERT_GE(hit_step, 0);
    EXPECT_GE(bump_a, 190);   // a's front end hit b's side
    EXPECT_GE(a->last_bump_step, 0);
    EXPECT_EQ(a->last_bump_step, b->last_bump_step);
}

TEST_F(Riding, RandomInputsForTwoMinutesStayFinite) {
    ShapeHome home;
    TestGround ground(7, 2.0f, 0, [](float x, float z) { return 2 * sinf(x * 0.05f) * cosf(z * 0.07f); });
    Bike *bike = place("yz250f(2013)", 256, 256);
    stability_100(bike);
    bike_set_auto_shift(bike, 1);
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> unit(0, 1);
    float inputs[6] = {};
    int crashes = 0, was = 0;
    ride(120, [&](int s) {
        if (s % 64 == 0)
            for (float &v : inputs) v = unit(random);
        bike_set_throttle(bike, inputs[0]);
        bike_set_front_brake(bike, inputs[1] > 0.8f ? inputs[1] : 0);
        bike_set_rear_brake(bike, inputs[2] > 0.8f ? inputs[2] : 0);
        bike_set_steer(bike, inputs[3] * 2 - 1);
        bike_set_lean(bike, inputs[4] * 2 - 1);
        bike_set_dab(bike, inputs[5] > 0.7f ? 1 : 0);
        bike_shift(bike, s % 256 == 0 ? 1 : 0);
        Vec3 p = bike_position(bike);
        if (p.x < 40 || p.x > 470 || p.z < 40 || p.z > 470) bike_translate(bike, 256 - p.x, 0, 256 - p.z);
        crashes += bike->crash_timer > 0 && !was;
        was = bike->crash_timer > 0;
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(bike_rpm(bike)));
    });
    printf("two minutes of random riding: %d crashes\n", crashes);
    Vec3 p = bike_position(bike);
    EXPECT_GT(p.y, terrain_height(&ground.terrain, p.x, p.z) - 1);
}

TEST_F(Riding, ArcadeSteeringLeansToItsTargetAndTurns) {
    TestGround ground(8, 5.0f);
    Bike *bike = place("crf450(2013)", 1280, 1280);
    bike_set_arcade(bike, 1);
    ride(1);
    launch(bike, 30);
    bike_set_gear(bike, 1);
    float heading0 = 0, lean = 0;
    ride(6, [&](int s) {
        bike_set_throttle(bike, fminf(1, fmaxf(0, 0.3f + 0.05f * (30 - bike_forward_speed_mph(bike)))));
        bike_set_steer(bike, 0.5f);
        if (s == 0) heading0 = atan2f(bike_velocity(bike).x, -bike_velocity(bike).z);
        lean = bike_lean_angle(bike);
    });
    printf("arcade, steer 0.5 at 30 mph: lean %.2f rad\n", lean);
    EXPECT_EQ(bike->crash_timer, 0);
    EXPECT_NEAR(lean, -0.5f * (float)M_PI / 4, 0.08f);
    Vec3 v = bike_velocity(bike);
    EXPECT_GT(fabsf(atan2f(v.x, -v.z) - heading0), 0.5f);   // it has turned
}

TEST_F(Riding, NoFootGoesDownAboveTheMaxDabSpeed) {
    TestGround ground(8, 5.0f);
    Bike *bike = place("crf450(2013)", 1280, 2400);
    ride(1);
    launch(bike, 30);   // 44 ft/s, above the 30 ft/s limit
    bike_set_gear(bike, 2);
    float most = 0;
    ride(1, [&](int) {
        bike_set_throttle(bike, 0.5f);
        bike_set_dab(bike, 1);
        most = fmaxf(most, bike->dab_anim);
    });
    EXPECT_EQ(most, 0);
    // Slowed down with the foot asked for: it goes down.
    ride(4, [&](int) {
        bike_set_throttle(bike, 0);
        bike_set_front_brake(bike, 0.5f);
        bike_set_rear_brake(bike, 0.5f);
        bike_set_dab(bike, 1);
    });
    EXPECT_GT(bike->dab_anim, 0.5f);
    EXPECT_EQ(bike->crash_timer, 0);
}

namespace {
Vec3 turn_target;
int target_behind(const Bike *, Vec3 *target) {
    *target = turn_target;
    return 1;
}
}  // namespace

TEST_F(Riding, StandingRiderWalksTheBikeRoundToTheTarget) {
    TestGround ground(6, 2.0f);
    Bike *bike = place("crf450(2013)", 128, 128);
    bike_set_auto_dab(bike, 1);
    // Leaning on the left foot, the way on lies behind and to the right.
    bike_reset_pose(bike);
    Vec3 rest = bike->model.frame_centre;
    bike_translate(bike, -rest.x, -rest.y, -rest.z);
    bike_turn(bike, vec3(0, 0, 1), 0.5f);
    bike_translate(bike, 128, rest.y, 128);
    bike_set_down(bike, physics_terrain());
    turn_target = vec3(140, 0, 160);
    rider_set_standstill_target(target_behind);
    float heading0 = 0;
    ride(2, [&](int s) {
        if (s == 0) {
            Vec3 z = body_axis(bike->body[BODY_FRAME], 2);
            heading0 = atan2f(z.x, z.z);
        }
    });
    rider_set_standstill_target(nullptr);
    Vec3 z = body_axis(bike->body[BODY_FRAME], 2);
    float turned = remainderf(atan2f(z.x, z.z) - heading0, 2 * (float)M_PI);
    printf("standstill turn: %.2f rad in 2 s\n", turned);
    EXPECT_LT(turned, -2);      // turned right, the short way round
    // Now it faces the target.
    Vec3 to = vec_normalize(turn_target - bike_position(bike));
    EXPECT_GT(-(z.x * to.x + z.z * to.z) / sqrtf(z.x * z.x + z.z * z.z), 0.9f);
}
