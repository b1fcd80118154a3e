// Engine, clutch, gearbox and brakes.
#include "bike/drivetrain.h"

#include <gtest/gtest.h>

#include "bike/bike_test_support.h"

using Drivetrain = RideTest;

TEST_F(Drivetrain, EngineTorqueFromTheCurves) {
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    struct Case {
        float rpm, throttle, torque;
    };
    const Case cases[] = {
        {0, 0, 2},                  // idle torque of a stalled engine
        {1500, 0, 0},               // the closed curve crosses zero at 1500 rpm
        {0, 1, 5},
        {10000, 1, 15.861f},
        {10250, 1, (15.861f + 15.706f) / 2},
        {10000, 0.5f, (15.861f - 8.0f) / 2},   // closed curve -8 at 10000 rpm
        {30000, 1, -11},            // past 24500 rpm the last point holds
        {30000, 0, -23},
    };
    for (const Case &c : cases) {
        bike->engine_speed = c.rpm / RPM_PER_RAD_S;
        bike->throttle = c.throttle;
        EXPECT_NEAR(engine_torque(bike), c.torque, 1e-3f) << c.rpm << " " << c.throttle;
    }
}

TEST_F(Drivetrain, StopWheeliesCutsDriveOnlyWithTheNoseUp) {
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    bike->engine_speed = 10000 / RPM_PER_RAD_S;
    bike->throttle = 1;
    bike_set_wheelie_control(bike, 3);
    bike->wheel[0].depth = 0;
    bike->wheel[1].depth = 0.1f;
    EXPECT_EQ(engine_torque(bike), 0);
    dBodySetAngularVel(bike->body[BODY_FRAME], -1, 0, 0);   // nose coming down
    EXPECT_GT(engine_torque(bike), 15);
    dBodySetAngularVel(bike->body[BODY_FRAME], 0, 0, 0);
    bike->throttle = 0;
    EXPECT_LT(engine_torque(bike), 0);                      // engine braking stays
    bike->throttle = 1;
    bike->wheel[0].depth = 0.1f;                            // both wheels down
    EXPECT_GT(engine_torque(bike), 15);
    bike_set_wheelie_control(bike, 2);
    bike->wheel[0].depth = 0;
    EXPECT_GT(engine_torque(bike), 15);
}

TEST_F(Drivetrain, SequentialShiftRules) {
    Bike *bike = bike_create("crf450(2013)", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    struct Step {
        int direction, gear;
    };
    const Step steps[] = {
        {-1, 0},                     // down from first stays in first
        {0, 0}, {1, 1}, {1, 1},      // a held control shifts once
        {0, 1}, {1, 2}, {0, 2}, {1, 3}, {0, 3}, {1, 4},
        {0, 4}, {1, 4},              // no sixth gear: fifth is the top
        {2, 4},                      // outside -1..1: ignored
        {-1, 3},
    };
    for (const Step &s : steps) {
        bike_shift(bike, s.direction);
        EXPECT_EQ(bike_gear(bike), s.gear) << s.direction;
    }
    bike->crash_timer = 5;
    bike_shift(bike, 0);
    bike_shift(bike, 1);
    EXPECT_EQ(bike_gear(bike), 3);
    bike->crash_timer = 0;
    bike_set_gear(bike, 9);
    EXPECT_EQ(bike_gear(bike), 4);
    bike_set_gear(bike, -3);
    EXPECT_EQ(bike_gear(bike), 0);
}

TEST_F(Drivetrain, ClutchPulledLetsTheEngineRunFree) {
    TestGround ground(6, 2.0f);
    Bike *bike = place("crf450(2013)", 60, 100);
    ride(0.5f);
    bike_set_gear(bike, 1);
    int rear_still = 1;
    float last_rpm = 0;
    ride(1, [&](int) {
        bike_set_clutch(bike, 0);
        bike_set_throttle(bike, 1);
        dBodySetTorque(bike->body[BODY_REAR_WHEEL], 0, 0, 0);
        last_rpm = bike_rpm(bike);
    });
    // No torque reached the wheel: the bike has not moved, the engine revved up on its own.
    rear_still = vec_length(bike_velocity(bike)) < 0.5f;
    EXPECT_TRUE(rear_still);
    EXPECT_GT(last_rpm, 9000);
    // Let the clutch out: drive reaches the wheel.
    ride(1, [&](int) {
        bike_set_clutch(bike, 1);
        bike_set_throttle(bike, 1);
    });
    EXPECT_GT(bike_forward_speed_mph(bike), 5);
}

TEST_F(Drivetrain, AutomaticClutchOpensBelowItsRpm) {
    TestGround ground(6, 2.0f);
    Bike *bike = place("crf450(2013)", 60, 100);
    ride(0.5f);
    bike_set_auto_clutch_rpm(bike, 5000);
    // Idle with the clutch lever out: the automatic clutch keeps the engine from stalling.
    ride(2, [&](int) { bike_set_throttle(bike, 0); });
    EXPECT_GT(bike_rpm(bike), 500);
    EXPECT_LT(vec_length(bike_velocity(bike)), 1.0f);
}

TEST_F(Drivetrain, AntilockReleasesOnlyATouchingSlidingWheel) {
    Bike *bike = bike_create("crf450(2013)", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    bike_set_front_brake(bike, 1);
    bike_set_rear_brake(bike, 1);
    bike_set_rear_antilock(bike, 1);
    struct Case {
        float depth, slip;
        int released;
    };
    const Case cases[] = {{0, 10, 0}, {0.1f, 1, 0}, {0.1f, 3, 1}};
    for (const Case &c : cases) {
        for (WheelContact &w : bike->wheel) {
            w.depth = c.depth;
            w.slip_velocity = vec3(0, 0, c.slip);
        }
        drivetrain_step(bike);
        float front = (float)dJointGetHingeParam(bike->joint[JOINT_FRONT_AXLE], dParamFMax);
        float rear = (float)dJointGetHingeParam(bike->joint[JOINT_REAR_AXLE], dParamFMax);
        EXPECT_EQ(front, c.released ? 0 : 250) << c.depth << " " << c.slip;
        EXPECT_EQ(rear, c.released ? 0 : 250) << c.depth << " " << c.slip;
    }
    // Stop stoppies: only the front wheel down releases the front brake.
    bike->wheel[0].depth = 0.1f;
    bike->wheel[0].slip_velocity = vec3(0, 0, 0);
    bike->wheel[1].depth = 0;
    drivetrain_step(bike);
    EXPECT_EQ(dJointGetHingeParam(bike->joint[JOINT_FRONT_AXLE], dParamFMax), 0);
}

TEST_F(Drivetrain, AutomaticShiftingWaitsForALoadedRearSuspension) {
    Bike *bike = bike_create("crf450(2013)", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    bike_set_auto_shift(bike, 1);
    // Rest pose: the swingarm is fully extended, as in the air. The wheel spins fast.
    dBodySetAngularVel(bike->body[BODY_REAR_WHEEL], -200, 0, 0);
    physics_set_step_count(64);
    drivetrain_step(bike);
    EXPECT_EQ(bike_gear(bike), 0);
}
