// Bike snapshots: a ridden bike packed and applied to another looks the same; clamping of
// positions, rider offsets and rpm; velocities from consecutive records; version 4 records.
#include "bike/snapshot.h"

#include "bike/bike_local.h"
#include "bike/bike_test_support.h"

namespace {

float distance(Vec3 a, Vec3 b) { return vec_length(a - b); }

uint32_t field(const uint8_t *in, int bytes) {
    uint32_t n = 0;
    for (int i = 0; i < bytes; i++) n |= uint32_t(in[i]) << (8 * i);
    return n;
}

class SnapshotTest : public RideTest {
protected:
    TestGround ground{7, 2.0f};   // 512 ft square, flat
};

}  // namespace

TEST_F(SnapshotTest, RiddenBikeLooksTheSameOnAnotherBike) {
    Bike *ridden = place("yz125", 200, 300, 0.4f);
    ride(3.0f, [&](int step) {
        bike_set_throttle(ridden, 0.7f);
        bike_set_steer(ridden, step > 128 ? 0.2f : 0.0f);
    });
    physics_set_step_count(400);
    uint8_t record[SNAPSHOT_BYTES];
    snapshot_pack(ridden, &ground.terrain, record);
    EXPECT_EQ(record[18] & 1, 1);   // the swingarm byte's marker bit
    EXPECT_EQ(record[19] & 1, 0);   // the fork byte's build-integrity bit

    Bike *copy = bike_create("yz125", 1, "2", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(copy);
    snapshot_apply(copy, &ground.terrain, record, 5, 0);
    for (int body = 0; body < BIKE_BODY_COUNT; body++)
        EXPECT_LT(distance(body_pos(ridden->body[body]), body_pos(copy->body[body])), 0.05f)
            << "body " << body;
    for (int c = 0; c < 3; c++)
        EXPECT_LT(distance(body_axis(ridden->body[BODY_FRAME], c), body_axis(copy->body[BODY_FRAME], c)), 0.001f);
    EXPECT_EQ(copy->gear, ridden->gear);
    EXPECT_NEAR(copy->throttle, 0.7f, 1.0f / 15.0f);
    EXPECT_NEAR(copy->engine_speed * RPM_PER_RAD_S, ridden->engine_speed * RPM_PER_RAD_S, 1.0f);
    EXPECT_EQ(bike_crashed(copy), 0);
}

TEST_F(SnapshotTest, PackingClampsPositionsOffsetsAndRpm) {
    Bike *bike = place("yz125", 100, 100);
    uint8_t record[SNAPSHOT_BYTES];
    struct Case {
        Vec3 move;               // moved off the track square
        uint32_t x, z;           // expected 24-bit fields
    } cases[] = {
        {vec3(-200, 0, 0), 0, 0},             // x below 0
        {vec3(1000, 0, 0), 0xffffff, 0},      // x beyond the square's 512 ft
        {vec3(0, 0, 1000), 0, 0xffffff},      // z beyond it
    };
    for (const Case &c : cases) {
        bike_translate(bike, c.move.x, c.move.y, c.move.z);
        snapshot_pack(bike, &ground.terrain, record);
        if (c.move.x != 0) {
            EXPECT_EQ(field(record + 0, 3), c.x);
        } else {
            EXPECT_EQ(field(record + 6, 3), c.z);
        }
        bike_translate(bike, -c.move.x, -c.move.y, -c.move.z);
    }
    // A rider thrown 30 ft off is posed at most 16 ft away in each axis.
    dBodyID rider = bike->body[BODY_RIDER];
    Vec3 frame = bike_position(bike);
    dBodySetPosition(rider, frame.x + 30, frame.y + 2, frame.z - 40);
    bike->engine_speed = 40000.0f / RPM_PER_RAD_S;
    snapshot_pack(bike, &ground.terrain, record);
    EXPECT_EQ(field(record + 20, 2), 0xffffu);
    EXPECT_EQ(field(record + 24, 2), 0u);
    EXPECT_EQ(field(record + 37, 2), 0xffffu);
    Bike *copy = bike_create("yz125", 1, "2", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(copy);
    snapshot_apply(copy, &ground.terrain, record, 5, 0);
    Vec3 offset = body_pos(copy->body[BODY_RIDER]) - bike_position(copy);
    EXPECT_NEAR(offset.x, 16.0f, 0.01f);
    EXPECT_NEAR(offset.z, -16.0f, 0.01f);
    EXPECT_NEAR(bike_rpm(copy), 32768.0f, 1.0f);
}

TEST_F(SnapshotTest, VelocitiesComeFromTheRecordBeforeAndRepeatsStandStill) {
    Bike *ridden = place("yz125", 200, 300);
    ride(2.0f, [&](int) { bike_set_throttle(ridden, 1.0f); });
    physics_set_step_count(300);
    uint8_t first[SNAPSHOT_BYTES], second[SNAPSHOT_BYTES];
    snapshot_pack(ridden, &ground.terrain, first);
    Vec3 v = bike_velocity(ridden);
    ride(1.0f / 128.0f, [&](int) { bike_set_throttle(ridden, 1.0f); });
    snapshot_pack(ridden, &ground.terrain, second);

    Bike *copy = bike_create("yz125", 1, "2", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(copy);
    snapshot_apply(copy, &ground.terrain, first, 5, 0);
    snapshot_apply(copy, &ground.terrain, second, 5, 1);
    EXPECT_LT(distance(bike_velocity(copy), v), 0.1f * vec_length(v) + 0.5f);
    EXPECT_GT(vec_length(v), 5.0f);
    snapshot_apply(copy, &ground.terrain, second, 5, 1);
    for (int body = 0; body < BIKE_BODY_COUNT; body++) {
        EXPECT_FLOAT_EQ(vec_length(body_vel(copy->body[body])), 0.0f) << "body " << body;
        EXPECT_NEAR(vec_length(body_avel(copy->body[body])), 0.0f, 1e-3f) << "body " << body;
    }
}

TEST_F(SnapshotTest, CrashedStatusCarriesTheCrashTimer) {
    Bike *bike = place("yz125", 100, 100);
    rider_crash(bike);
    bike->crash_timer = 300;
    uint8_t record[SNAPSHOT_BYTES];
    snapshot_pack(bike, &ground.terrain, record);
    EXPECT_EQ(record[36] & 7, 7);
    EXPECT_EQ(record[36] >> 4, (15 * 300 - 15) / 127 > 15 ? 15 : (15 * 300 - 15) / 127);
    Bike *copy = bike_create("yz125", 1, "2", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(copy);
    snapshot_apply(copy, &ground.terrain, record, 5, 0);
    EXPECT_TRUE(bike_crashed(copy));
    EXPECT_EQ(copy->crash_timer, (record[36] >> 4) * 127 / 15 + 1);
    EXPECT_EQ(copy->throttle, 0.0f);
    // Riding again re-seats the rider.
    bike->crash_timer = 0;
    rider_remount(bike);
    snapshot_pack(bike, &ground.terrain, record);
    snapshot_apply(copy, &ground.terrain, record, 5, 0);
    EXPECT_FALSE(bike_crashed(copy));
}

TEST_F(SnapshotTest, VersionFourPosesTheRiderOnTheTorsoLine) {
    Bike *bike = place("yz125", 150, 150, 0.8f);
    uint8_t v5[SNAPSHOT_BYTES], v4[SNAPSHOT_V4_BYTES];
    snapshot_pack(bike, &ground.terrain, v5);
    memcpy(v4, v5, 20);
    v4[20] = 255;   // the far end of the torso line
    memcpy(v4 + 21, v5 + 34, 5);
    Bike *copy = bike_create("yz125", 1, "2", nullptr, nullptr, nullptr, nullptr);
    bikes.push_back(copy);
    snapshot_apply(copy, &ground.terrain, v4, 4, 0);
    const BikeModel &m = copy->model;
    Vec3 local = m.torso_point - m.frame_centre + vec_normalize(m.torso_line_dir) * m.torso_line_range[1];
    EXPECT_LT(distance(body_pos(copy->body[BODY_RIDER]), body_point(copy->body[BODY_FRAME], local)), 0.01f);
    for (int c = 0; c < 3; c++)
        EXPECT_LT(distance(body_axis(copy->body[BODY_RIDER], c), body_axis(copy->body[BODY_FRAME], c)), 1e-5f);
    EXPECT_NEAR(bike_rpm(copy), bike_rpm(bike), 1.0f);
    EXPECT_EQ(snapshot_size(4), 26);
    EXPECT_EQ(snapshot_size(3), 0);
}
