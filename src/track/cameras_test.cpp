// Trackside cameras: defaults, absolute values, the gate table and the writer.
#include "track/cameras.h"

#include <gtest/gtest.h>

#include "track/track_test_home.h"

namespace {

struct CamerasTest : ::testing::Test {
    DataHome home;
    Cameras cameras = {};
    ~CamerasTest() override { cameras_free(&cameras); }
    int read(const std::string &text, const Terrain *terrain = nullptr) {
        home.put("t/cameras", text);
        return cameras_read(&cameras, terrain, "@t/cameras");
    }
    const Camera &at(int i) { return *array_get<Camera>(&cameras.list, i); }
};

TEST_F(CamerasTest, BlocksSetTheNextCamera) {
    SlopedTerrain ground;
    ASSERT_EQ(read("gate 3 7\n"
                   "fov -60\n"
                   "autofovsize -12.5\n"
                   "addcamera 10 2 30\n"
                   "addcamera 1 0 1 99\n"
                   "gate 300 4\n"      // 300 is no gate: nothing after it either
                   "gate 5 x 6\n"
                   "fovea 10\n"        // not the fov keyword
                   "addcamera 1 2\n"   // too few numbers
                   "addcamera 5 0 5\n",
                   &ground.terrain),
              3);
    EXPECT_FLOAT_EQ(at(0).fov, 60);
    EXPECT_FLOAT_EQ(at(0).autofovsize, 12.5f);
    EXPECT_NEAR(at(0).pos.y, 7, 1e-4);
    EXPECT_FLOAT_EQ(at(0).y_offset, 2);
    EXPECT_FLOAT_EQ(at(1).fov, 90);   // back to the defaults after each camera
    EXPECT_FLOAT_EQ(at(1).autofovsize, 0);
    EXPECT_FLOAT_EQ(at(2).fov, 90);
    EXPECT_EQ(cameras.gate_camera[3], 0);
    EXPECT_EQ(cameras.gate_camera[7], 0);
    EXPECT_EQ(cameras.gate_camera[4], -1);
    EXPECT_EQ(cameras.gate_camera[5], 2);
    EXPECT_EQ(cameras.gate_camera[6], -1);
    EXPECT_EQ(cameras.gate_camera[255], -1);
}

TEST_F(CamerasTest, GatesOfACameraThatNeverCameMapToNone) {
    EXPECT_EQ(read("addcamera 0 0 0\ngate 9\nfov 30\n"), 1);
    EXPECT_EQ(cameras.gate_camera[9], -1);
    EXPECT_EQ(read(""), 0);
    EXPECT_EQ(cameras_read(&cameras, nullptr, "@t/none"), 0);
    EXPECT_EQ(read("fov nan\nfov inf\naddcamera 1 2 inf\naddcamera 0 0 0\n\x01\x02"), 1);
    EXPECT_FLOAT_EQ(at(0).fov, 90);
}

TEST_F(CamerasTest, WriterWritesWhatTheReaderReads) {
    ASSERT_EQ(read("gate 1 2\nfov 45\naddcamera 1 2 3\nautofovsize 8\naddcamera 4 5 6\ngate 0\naddcamera 7 8 9\n"), 3);
    ASSERT_EQ(cameras_write(&cameras, "@t/cameras"), 1);
    EXPECT_EQ(home.get("t/cameras"),
              "gate 1 2\nfov 45.000000\nautofovsize 0.000000\naddcamera 1.000000 2.000000 3.000000\n"
              "fov 90.000000\nautofovsize 8.000000\naddcamera 4.000000 5.000000 6.000000\n"
              "gate 0\nfov 90.000000\nautofovsize 0.000000\naddcamera 7.000000 8.000000 9.000000\n");
    Cameras again = {};
    ASSERT_EQ(cameras_read(&again, nullptr, "@t/cameras"), 3);
    for (int g = 0; g < CAMERA_GATES; g++)
        EXPECT_EQ(again.gate_camera[g], cameras.gate_camera[g]) << g;
    cameras_free(&again);
    EXPECT_EQ(cameras_write(&cameras, unwritable_path(home, "cameras").c_str()), 0);
    EXPECT_EQ(last_console_line(), "Can't open 'cameras'");
}

}  // namespace
