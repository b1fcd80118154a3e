#include "bike/bike.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bike/bike_local.h"
#include "bike/bike_test_support.h"
#include "bike/drivetrain.h"
#include "platform/log.h"

namespace {

float body_mass(dBodyID body) {
    dMass m;
    dBodyGetMass(body, &m);
    return (float)m.mass;
}

void expect_vec(Vec3 a, Vec3 b, float tol = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

Vec3 pos_of(dBodyID b) {
    const dReal *p = dBodyGetPosition(b);
    return vec3((float)p[0], (float)p[1], (float)p[2]);
}

}  // namespace

using BikeAssembly = RideTest;

TEST_F(BikeAssembly, CreationGivesTheRestPoseMassesAndDefaults) {
    Bike *bike = bike_create("crf450(2013)", 7, "123456789", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    const BikeModel &m = bike->model;
    const Vec3 rest[BIKE_BODY_COUNT] = {m.frame_centre, m.front.centre, m.rear.centre, m.fork_upper,
                                        m.fork_lower, m.swingarm_centre, m.torso_point};
    float total = 0;
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        expect_vec(pos_of(bike->body[i]), rest[i]);
        const dReal *r = dBodyGetRotation(bike->body[i]);
        EXPECT_NEAR(r[0] + r[5] + r[10], 3, 1e-9);
        total += body_mass(bike->body[i]);
    }
    EXPECT_NEAR(body_mass(bike->body[BODY_FRAME]), m.frame_mass + m.rider_mass * 2 / 3, 1e-5);
    EXPECT_NEAR(body_mass(bike->body[BODY_RIDER]), m.rider_mass / 3, 1e-5);
    EXPECT_NEAR(body_mass(bike->body[BODY_FRONT_WHEEL]), m.front.hub_mass + m.front.tyre_mass, 1e-6);
    EXPECT_NEAR(body_mass(bike->body[BODY_SWINGARM]), 2 * m.swingarm_mass, 1e-6);
    EXPECT_NEAR(body_mass(bike->body[BODY_FORK_UPPER]), m.fork_mass, 1e-6);
    EXPECT_NEAR(bike->total_mass, total, 1e-4);
    EXPECT_EQ(bike->slot, 7);
    EXPECT_STREQ(bike_plate_text(bike), "1234567");
    EXPECT_EQ(bike_flags(bike), 0x0D);
    EXPECT_FLOAT_EQ(bike->final_drive, 48.0f / 13.0f);
    EXPECT_FLOAT_EQ(bike->fork_spring, 0.5f * (m.fork_spring[0] + m.fork_spring[1]));
    EXPECT_FLOAT_EQ(bike->fork_air_gap, m.fork_air_gap[0]);
    EXPECT_FLOAT_EQ(bike->max_dab_speed, 30);
    EXPECT_FLOAT_EQ(bike->restricted_lock_angle, 0.08726646f);
    EXPECT_EQ(bike->last_bump_step, -1);
    EXPECT_FLOAT_EQ(bike->landing_damping, 1);
    // The joints read back zero in the fully extended rest pose.
    EXPECT_NEAR(dJointGetSliderPosition(bike->joint[JOINT_FORK_SLIDER]), 0, 1e-9);
    EXPECT_NEAR(dJointGetHingeAngle(bike->joint[JOINT_SWINGARM_PIVOT]), 0, 1e-9);
    EXPECT_EQ(dJointGetBody(bike->joint[JOINT_RIDER_MOUNT], 0), bike->body[BODY_RIDER]);
    EXPECT_EQ(dJointGetFeedback(bike->joint[JOINT_REAR_AXLE]), &bike->feedback[JOINT_REAR_AXLE]);
    EXPECT_TRUE(std::isfinite(bike_rpm(bike)));
}

TEST_F(BikeAssembly, UnknownModelComesOutCompleteWithTheFallbackGeometry) {
    Bike *bike = bike_create("yz126", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    EXPECT_STREQ(bike_model_name(bike), "kx250f(2013)");
    EXPECT_STREQ(bike_model_class(bike), "250f");
    for (int i = 0; i < BIKE_BODY_COUNT; i++) EXPECT_NE(bike->body[i], nullptr);
    EXPECT_GT(bike->total_mass, 10);
}

TEST_F(BikeAssembly, ResetAfterRidingRestoresTheCreatedPose) {
    TestGround ground(6, 2.0f);
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    Vec3 created[BIKE_BODY_COUNT];
    for (int i = 0; i < BIKE_BODY_COUNT; i++) created[i] = pos_of(bike->body[i]);
    bike_translate(bike, 100, 0, 100);
    bike_set_down(bike, physics_terrain());
    bike->gear = 3;
    bike->crash_timer = 100;
    ride(1, [&](int) { bike_set_steer(bike, 1); });
    bike_reset_pose(bike);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) expect_vec(pos_of(bike->body[i]), created[i]);
    EXPECT_EQ(bike->gear, 0);
    EXPECT_EQ(bike->crash_timer, 0);
    EXPECT_EQ(bike->steer, 0);
    EXPECT_EQ(dJointGetBody(bike->joint[JOINT_RIDER_MOUNT], 1), bike->body[BODY_FRAME]);
}

TEST_F(BikeAssembly, RiderMassRedistributionKeepsTheTotal) {
    Bike *bike = bike_create("crf450(2013)", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    float total = bike->total_mass;
    for (float d : {0.33f, 0.5f, 0.1f, 0.9f}) {
        bike_set_rider_mass(bike, d);
        float expected_d = d < 0.33f ? 0.33f : (d > 0.5f ? 0.5f : d);
        float sum = 0;
        for (dBodyID b : bike->body) sum += body_mass(b);
        EXPECT_NEAR(sum, total, 1e-4) << d;
        EXPECT_NEAR(body_mass(bike->body[BODY_RIDER]), expected_d * bike->model.rider_mass, 1e-5) << d;
    }
}

TEST_F(BikeAssembly, TurnIsAboutTheOriginAndTranslateMovesEveryBody) {
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    Vec3 before = pos_of(bike->body[BODY_REAR_WHEEL]);
    bike_turn(bike, vec3(0, 1, 0), (float)M_PI / 2);
    // A quarter turn left about y takes +z to +x.
    expect_vec(pos_of(bike->body[BODY_REAR_WHEEL]), vec3(before.z, before.y, -before.x), 1e-4f);
    bike_translate(bike, 1, 2, 3);
    expect_vec(pos_of(bike->body[BODY_REAR_WHEEL]), vec3(before.z + 1, before.y + 2, -before.x + 3), 1e-4f);
    // Facing +x now: forward speed counts along the frame's -z axis.
    for (dBodyID b : bike->body) dBodySetLinearVel(b, -22, 0, 0);
    EXPECT_NEAR(bike_forward_speed_mph(bike), 15, 1e-3);
}

TEST_F(BikeAssembly, InactiveControlLeavesNoForce) {
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    for (dBodyID b : bike->body) {
        dBodyAddForce(b, 1, 2, 3);
        dBodyAddTorque(b, 4, 5, 6);
    }
    bike_set_throttle(bike, 1);
    bike_control_step(bike, 0);
    for (dBodyID b : bike->body) {
        const dReal *f = dBodyGetForce(b), *t = dBodyGetTorque(b);
        for (int k = 0; k < 3; k++) {
            EXPECT_EQ(f[k], 0);
            EXPECT_EQ(t[k], 0);
        }
    }
}

// What the joints pushed into the chassis last step beyond balance is taken out of the frame
// from the third step after the reset on, also while the bikes wait for the gate, but never
// while the rider is off the bike.
TEST_F(BikeAssembly, InternalForceBalanceFromTheThirdStepOn) {
    TestGround ground(6, 2.0f);
    Bike *bike = place("yz125", 60, 60);
    ride(0.5f);
    const struct {
        int step, race_start, crashed;
        float taken;       // force along x taken out of the frame for 10 lbf of imbalance
    } cases[] = {
        {10, 0, 0, -10},
        {10, 5000, 0, -10},   // before the gate drop
        {1, 0, 0, 0},         // the feedback is not yet worth anything
        {10, 0, 1, 0},
    };
    for (const auto &c : cases) {
        Bike saved = *bike;
        float force[2];
        for (int run = 0; run < 2; run++) {
            *bike = saved;
            if (c.crashed) rider_crash(bike);
            if (run == 1) bike->feedback[JOINT_SWINGARM_PIVOT].f1[0] += 10;
            dJointGroupEmpty(physics_contacts());
            for (dBodyID b : bike->body) {
                dBodySetForce(b, 0, 0, 0);
                dBodySetTorque(b, 0, 0, 0);
            }
            physics_set_step_count(c.step);
            physics_set_race_start(c.race_start);
            bike_control_step(bike, 1);
            force[run] = (float)dBodyGetForce(bike->body[BODY_FRAME])[0];
        }
        if (c.crashed) rider_remount(bike);
        *bike = saved;
        EXPECT_NEAR(force[1] - force[0], c.taken, 1e-3f) << c.step << " " << c.race_start;
    }
}

TEST_F(BikeAssembly, SettersClamp) {
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    struct Case {
        void (*set)(Bike *, float);
        float Bike::*field;
        float value, stored;
    };
    const Case cases[] = {
        {bike_set_throttle, &Bike::throttle, 2, 1},       {bike_set_clutch, &Bike::clutch, -1, 0},
        {bike_set_steer, &Bike::steer, -3, -1},           {bike_set_lean, &Bike::lean, 0.5f, 0.5f},
        {bike_set_roll_damping, &Bike::roll_damping, 300, 200},
        {bike_set_roll_limit_factor, &Bike::roll_limit_factor, 99, 64},
        {bike_set_max_steering_force, &Bike::max_steering_force, 2000, 1000},
        {bike_set_slow_damping_factor, &Bike::slow_damping_factor, 0, 1},
        {bike_set_landing_damping_factor, &Bike::landing_damping_factor, 5, 3},
        {bike_set_full_lock_speed, &Bike::full_lock_speed, 0, 1},
        {bike_set_max_dab_speed, &Bike::max_dab_speed, 2, 7},
        {bike_set_max_dab_speed, &Bike::max_dab_speed, 40, 30},
        {bike_set_auto_clutch_rpm, &Bike::auto_clutch_rpm, 9000, 5000},
        {bike_set_front_brake_torque, &Bike::front_brake_torque, -5, 0},
        {bike_set_rear_brake_torque, &Bike::rear_brake_torque, 700, 500},
        {bike_set_rider_forward_damping, &Bike::rider_forward_damping, 1.5f, 1},
    };
    for (const Case &c : cases) {
        c.set(bike, c.value);
        EXPECT_FLOAT_EQ(bike->*c.field, c.stored);
    }
    // Suspension: damping factor of the nominal value, springs a fraction of the range.
    const BikeModel &m = bike->model;
    bike_set_fork_compression(bike, 0.5f);
    EXPECT_FLOAT_EQ(bike->fork_compression, m.fork_compression * 0.5f);
    bike_set_shock_rebound(bike, 3);
    EXPECT_FLOAT_EQ(bike->shock_rebound, m.shock_rebound * 2);
    bike_set_fork_spring(bike, 1.5f);
    EXPECT_FLOAT_EQ(bike->fork_spring, m.fork_spring[1]);
    bike_set_fork_oil_level(bike, 1);
    EXPECT_FLOAT_EQ(bike->fork_air_gap, m.fork_air_gap[1]);
    bike_set_shock_preload(bike, 0.5f);
    EXPECT_FLOAT_EQ(bike->shock_preload, 0.5f * m.shock_preload[1]);
    bike_set_sprockets(bike, -2, 2);
    EXPECT_FLOAT_EQ(bike->final_drive, 50.0f / 11.0f);
    bike_set_wheelie_control(bike, 3);
    EXPECT_EQ(bike_flags(bike) & 0x06, 0x06);
    bike_set_wheelie_control(bike, 2);
    EXPECT_EQ(bike_flags(bike) & 0x06, 0x04);
    bike_set_wheelie_control(bike, 0);
    EXPECT_EQ(bike_flags(bike) & 0x06, 0);
    // While crashed the rider's throttle, dab, back-up and lean read 0.
    bike->crash_timer = 10;
    bike_set_throttle(bike, 1);
    bike_set_dab(bike, 1);
    bike_set_back_up(bike, 1);
    bike_set_lean(bike, 1);
    bike_set_front_brake(bike, 1);
    EXPECT_EQ(bike->throttle + bike->dab + bike->back_up + bike->lean, 0);
    EXPECT_EQ(bike->front_brake, 1);
}

TEST_F(BikeAssembly, RemoteBikeKeepsItsSavedVelocitiesAcrossTheStep) {
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        dBodySetLinearVel(bike->body[i], 1 + i, -2, 3);
        dBodySetAngularVel(bike->body[i], 0.5, i, -1);
    }
    bike_save_velocities(bike);
    physics_step();
    bike_restore_velocities(bike);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        const dReal *v = dBodyGetLinearVel(bike->body[i]), *w = dBodyGetAngularVel(bike->body[i]);
        EXPECT_EQ(v[0], 1 + i);
        EXPECT_EQ(v[1], -2);
        EXPECT_EQ(w[1], i);
    }
}

TEST_F(BikeAssembly, ExtrapolationFollowsTheFrameAndStaysAboveGround) {
    TestGround ground(6, 2.0f, 0.5f);   // rises half a foot per foot of z
    Bike *bike = place("yz125", 100, 100);
    bike_reset_pose(bike);
    bike_translate(bike, 100, 60, 100);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) bike->stored_position[i] = pos_of(bike->body[i]);
    for (dBodyID b : bike->body) dBodySetLinearVel(b, 0, 0, 128);
    bike_extrapolate(bike, 200);   // at most 64 steps: 64 ft backwards up the slope
    Vec3 stored = bike->stored_position[BODY_FRAME];
    Vec3 now = pos_of(bike->body[BODY_FRAME]);
    EXPECT_NEAR(now.z - stored.z, 64, 1e-3);
    Vec3 rear = pos_of(bike->body[BODY_REAR_WHEEL]);
    EXPECT_GE(rear.y - bike->model.rear.ring_radius + 1e-3f, terrain_height(&ground.terrain, rear.x, rear.z));
}

TEST_F(BikeAssembly, NonFiniteStateIsPutBackAtTheLastGoodPosition) {
    TestGround ground(6, 2.0f);
    Bike *bike = place("yz125", 120, 130);
    ride(0.5f);
    Vec3 good = bike_position(bike);
    dBodySetLinearVel(bike->body[BODY_SWINGARM], NAN, 0, 0);
    EXPECT_EQ(bike_check_finite(bike), 0);
    Vec3 now = bike_position(bike);
    EXPECT_NEAR(now.x, good.x, 0.01);
    EXPECT_NEAR(now.z, good.z, 0.01);
    EXPECT_EQ(bike_check_finite(bike), 1);
    ride(1);
    EXPECT_TRUE(std::isfinite(bike_position(bike).y));
    EXPECT_EQ(bike->crash_timer, 0);
}

TEST_F(BikeAssembly, PhysicsLibraryMessagesGoToTheLog) {
    TempDir dir;
    ScopedEnv name{"KOBU_LOGFILE", nullptr};
    log_reset();
    log("KOBU_LOGFILE=%s", dir.at("log.txt").c_str());
    dMessage(7, "joint %d is odd", 3);
    log(nullptr);
    std::string text = read_whole_file(dir.at("log.txt"));
    EXPECT_NE(text.find("ODE message 7: joint 3 is odd\n"), std::string::npos) << text;
    log_reset();
}
