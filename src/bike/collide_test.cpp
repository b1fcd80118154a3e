// Part shapes against each other, tyres and the ground; bike hits and their consequences.
#include "bike/collide.h"

#include <gtest/gtest.h>

#include <cmath>

#include "bike/bike_local.h"
#include "bike/bike_test_support.h"

namespace {

// A one-sphere shape of radius r at the body origin.
struct Ball {
    ShapeSphere sphere;
    Shape shape;
    PartShape *part;
    Ball(float r, float k = 2500, float c = 100) {
        sphere = ShapeSphere{{0, 0, 0}, r, 0.5f, k, c};
        shape = Shape{"ball", 1, &sphere, r};
        part = part_shape_make(&shape);
    }
    ~Ball() { part_shape_free(part); }
};

dBodyID ball_body(Vec3 at) {
    dBodyID b = dBodyCreate(physics_world());
    dMass m;
    dMassSetSphereTotal(&m, 1, 0.5);
    dBodySetMass(b, &m);
    dBodySetPosition(b, at.x, at.y, at.z);
    return b;
}

Vec3 force_of(dBodyID b) {
    const dReal *f = dBodyGetForce(b);
    return vec3((float)f[0], (float)f[1], (float)f[2]);
}

}  // namespace

using Collide = RideTest;

TEST_F(Collide, BoundingSpheresThatJustTouchMakeNoContact) {
    Ball a(0.5f), b(0.5f);
    Mat3 r = rot_identity();
    EXPECT_EQ(shape_shape(a.part, nullptr, vec3(0, 0, 0), r, b.part, nullptr, vec3(1, 0, 0), r, CONTACT_DETECT), 0);
    EXPECT_EQ(shape_shape(a.part, nullptr, vec3(0, 0, 0), r, b.part, nullptr, vec3(0.99f, 0, 0), r, CONTACT_DETECT), 1);
}

TEST_F(Collide, ModesJointPenaltyAndDetect) {
    Ball a(0.5f, 1e6f, 1e5f), b(0.5f, 1e6f, 1e5f);
    Mat3 r = rot_identity();
    dBodyID ba = ball_body(vec3(0, 10, 0)), bb = ball_body(vec3(0.6f, 10, 0));
    // Detect only: no joint, no force.
    EXPECT_EQ(shape_shape(a.part, ba, vec3(0, 10, 0), r, b.part, bb, vec3(0.6f, 10, 0), r, CONTACT_DETECT), 1);
    EXPECT_EQ(dBodyGetNumJoints(ba), 0);
    EXPECT_EQ(vec_length(force_of(ba)), 0);
    // Penalty: pushes apart, never more than 1000 lbf a pair.
    shape_shape(a.part, ba, vec3(0, 10, 0), r, b.part, bb, vec3(0.6f, 10, 0), r, CONTACT_PENALTY);
    EXPECT_EQ(dBodyGetNumJoints(ba), 0);
    EXPECT_NEAR(force_of(ba).x, -1000, 1e-3f);
    EXPECT_NEAR(force_of(bb).x, 1000, 1e-3f);
    // Joint: one contact in the group, and the step separates the balls.
    dBodySetForce(ba, 0, 0, 0);
    dBodySetForce(bb, 0, 0, 0);
    shape_shape(a.part, ba, vec3(0, 10, 0), r, b.part, bb, vec3(0.6f, 10, 0), r, CONTACT_JOINT);
    EXPECT_EQ(dBodyGetNumJoints(ba), 1);
    dWorldSetGravity(physics_world(), 0, 0, 0);
    physics_step();
    EXPECT_LT(dBodyGetLinearVel(ba)[0], 0);
    EXPECT_GT(dBodyGetLinearVel(bb)[0], 0);
    EXPECT_EQ(dBodyGetNumJoints(ba), 0);   // the group was emptied
    dBodyDestroy(ba);
    dBodyDestroy(bb);
}

TEST_F(Collide, PenaltyDamperResistsTheClosingSpeed) {
    // Overlap 0.4 ft with k = 1000, c = 100: 400 lbf at rest, plus 100 lbf per ft/s closing.
    Ball a(0.5f, 1000, 100), b(0.5f, 1000, 100);
    Mat3 r = rot_identity();
    const struct {
        float va, vb;      // x velocities of a and b (b lies at +x)
        float push;        // force on b along +x
    } cases[] = {
        {0, 0, 400},
        {1, -1, 600},      // closing at 2 ft/s
        {-1, 1, 200},      // separating at 2 ft/s
        {0, -7, 1000},     // closing fast: at most 1000 lbf
    };
    for (const auto &c : cases) {
        dBodyID ba = ball_body(vec3(0, 10, 0)), bb = ball_body(vec3(0.6f, 10, 0));
        dBodySetLinearVel(ba, c.va, 0, 0);
        dBodySetLinearVel(bb, c.vb, 0, 0);
        shape_shape(a.part, ba, vec3(0, 10, 0), r, b.part, bb, vec3(0.6f, 10, 0), r, CONTACT_PENALTY);
        EXPECT_NEAR(force_of(bb).x, c.push, 1e-2f) << c.va << " " << c.vb;
        EXPECT_NEAR(force_of(ba).x, -c.push, 1e-2f) << c.va << " " << c.vb;
        dBodyDestroy(ba);
        dBodyDestroy(bb);
    }
}

TEST_F(Collide, ShapeAgainstAnAirborneTyreCountsAsItsContact) {
    Bike *bike = bike_create("yz125", 0, "", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(bike);
    Ball ball(0.3f);
    WheelContact *wc = &bike->wheel[0];
    wc->depth = 0;
    const dReal *c = dBodyGetPosition(wc->body);
    // Under the tyre's bottom, 0.1 ft into it.
    Vec3 at = vec3((float)c[0], (float)c[1] - wc->ring_radius - wc->tube_radius - 0.3f + 0.1f, (float)c[2]);
    EXPECT_EQ(shape_tyre(ball.part, nullptr, at, rot_identity(), wc, CONTACT_DETECT), 1);
    EXPECT_NEAR(wc->depth, 0.1f, 1e-4f);
    EXPECT_NEAR(wc->contact_normal.y, 1, 1e-4f);
    // Far away: rejected by the bounding test.
    wc->depth = 0;
    EXPECT_EQ(shape_tyre(ball.part, nullptr, at + vec3(5, 0, 0), rot_identity(), wc, CONTACT_DETECT), 0);
    EXPECT_EQ(wc->depth, 0);
}

TEST_F(Collide, FrontToFrontBelowTenFeetPerSecondLeavesTheTimers) {
    ShapeHome home;
    TestGround ground(6, 2.0f);
    Bike *a = place("yz125", 60, 60);
    Bike *b = place("yz125", 60, 60 - 4.2f, (float)M_PI);   // facing a, front wheels overlapping
    ASSERT_NE(a->shape[PART_FRONT_WHEEL], nullptr);
    for (float speed : {8.0f, 12.0f}) {
        for (dBodyID body : a->body) dBodySetLinearVel(body, 0, 0, -speed);
        for (dBodyID body : b->body) dBodySetLinearVel(body, 0, 0, speed);
        a->bump_timer = b->bump_timer = 0;
        a->last_bump_step = b->last_bump_step = -1;
        int hits = bike_bike(a, b, 0);
        EXPECT_NE(hits & HIT_FRONT_WHEEL, 0) << speed;
        float expected = speed >= 10 ? 192 : 0;
        EXPECT_EQ(a->bump_timer, expected) << speed;
        EXPECT_EQ(b->bump_timer, expected) << speed;
        EXPECT_EQ(a->last_bump_step, physics_step_count());
    }
}

TEST_F(Collide, RemoteBikePartsOnlyDetect) {
    ShapeHome home;
    TestGround ground(6, 2.0f);
    Bike *a = place("yz125", 60, 60);
    Ball ball(1.0f);
    dBodyID body = ball_body(body_pos(a->body[BODY_RIDER]));
    int before = dBodyGetNumJoints(a->body[BODY_RIDER]);
    const dReal *p = dBodyGetPosition(body);
    int hits = parts_hit_by(a, ball.part, body, vec3((float)p[0], (float)p[1], (float)p[2]), rot_identity(), CONTACT_JOINT, 1);
    EXPECT_NE(hits & HIT_RIDER, 0);
    EXPECT_EQ(dBodyGetNumJoints(a->body[BODY_RIDER]), before);
    dBodyDestroy(body);
}

TEST_F(Collide, FastObjectHitOnTheRiderCrashes) {
    ShapeHome home;
    TestGround ground(6, 2.0f);
    Bike *bike = place("yz125", 60, 60);
    Ball post(0.5f);
    Vec3 at = body_pos(bike->body[BODY_RIDER]) + vec3(0, 0, -0.8f);
    dBodySetLinearVel(bike->body[BODY_RIDER], 0, 0, -15);
    EXPECT_NE(bike_object(bike, post.part, nullptr, at, rot_identity()) & HIT_RIDER, 0);
    EXPECT_EQ(bike->crash_timer, 0);   // 15 ft/s is no crash
    dBodySetLinearVel(bike->body[BODY_RIDER], 0, 0, -25);
    bike_object(bike, post.part, nullptr, at, rot_identity());
    EXPECT_EQ(bike->crash_timer, CRASH_STEPS);
    EXPECT_EQ(dJointGetBody(bike->joint[JOINT_RIDER_MOUNT], 0), nullptr);
}

TEST_F(Collide, GroundHitsOfTheForkStopAndOfTheUpsideDownRiderCrash) {
    ShapeHome home;
    TestGround ground(6, 2.0f);
    Bike *bike = place("yz125", 60, 60);
    ride(0.5f);
    EXPECT_EQ(bike->stopped, 0);
    EXPECT_EQ(parts_ground(bike), 0);
    // Lay the bike on its side: forks and rider reach the ground.
    bike_reset_pose(bike);
    bike_turn(bike, vec3(0, 0, 1), (float)M_PI / 2);
    bike_translate(bike, 62, 0, 60);
    int mask = parts_ground(bike);
    EXPECT_NE(mask & (1 << PART_FORK_UPPER), 0);
    EXPECT_EQ(bike->stopped, 1);
    EXPECT_EQ(bike->crash_timer, 0);   // on its side, not upside down
    // Upside down and moving: the rider crashes.
    bike_reset_pose(bike);
    bike_turn(bike, vec3(0, 0, 1), (float)M_PI);
    bike_translate(bike, 60, 5.2f, 60);
    dBodySetLinearVel(bike->body[BODY_RIDER], 0, 0, -8);
    parts_ground(bike);
    EXPECT_EQ(bike->crash_timer, CRASH_STEPS);
}
