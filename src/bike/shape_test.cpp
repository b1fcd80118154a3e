// The ".shp" part-shape reader and cache.
#include "bike/shape.h"

#include <cmath>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "files/data.h"
#include "testsupport/testsupport.h"

namespace {

class ShapeTest : public ::testing::Test {
protected:
    TempDir user, install;
    ScopedEnv xdg{"XDG_DATA_HOME", user.path.c_str()};
    ScopedEnv qz{"QZ_HOME", install.path.c_str()};
    void SetUp() override
    {
        data_reset();
        shapes_clear();
    }
    void TearDown() override
    {
        shapes_clear();
        data_reset();
    }
};

}   // namespace

TEST_F(ShapeTest, ReadsSpheresAndBoundingRadius)
{
    install.write("frame.shp", "2\n"
                               "0 0.5 -1   0.25  0.8 2500 250\n"
                               "3 4 0      1.5   0.6 4000 100\n");
    const Shape *shape = shape_load("@frame.shp");
    ASSERT_NE(shape, nullptr);
    EXPECT_STREQ(shape->name, "@frame.shp");
    ASSERT_EQ(shape->count, 2);
    const ShapeSphere &a = shape->spheres[0];
    EXPECT_FLOAT_EQ(a.centre[1], 0.5f);
    EXPECT_FLOAT_EQ(a.centre[2], -1.0f);
    EXPECT_FLOAT_EQ(a.radius, 0.25f);
    EXPECT_FLOAT_EQ(a.friction, 0.8f);
    EXPECT_FLOAT_EQ(a.stiffness, 2500);
    EXPECT_FLOAT_EQ(a.damping, 250);
    EXPECT_FLOAT_EQ(shape->spheres[1].stiffness, 4000);
    // |(3,4,0)| + 1.5 beats |(0,0.5,-1)| + 0.25.
    EXPECT_FLOAT_EQ(shape->bounding_radius, 6.5f);
    EXPECT_FLOAT_EQ(shape_bounding_radius(shape->spheres, 1), std::sqrt(1.25f) + 0.25f);
    EXPECT_EQ(shape_bounding_radius(nullptr, 0), 0);
}

TEST_F(ShapeTest, CacheKeepsOneShapePerName)
{
    install.write("rider.shp", "1 0 0 0 1 1 1 1\n");
    const Shape *shape = shape_load("@rider.shp");
    ASSERT_NE(shape, nullptr);
    // Never reloaded: a changed file does not change the cached shape.
    install.write("rider.shp", "1 0 0 0 9 1 1 1\n");
    EXPECT_EQ(shape_load("@rider.shp"), shape);
    EXPECT_EQ(shape->spheres[0].radius, 1);
    EXPECT_EQ(shape_load("@absent.shp"), nullptr);
    // A file that failed is tried again once it exists.
    install.write("late.shp", "0\n");
    EXPECT_EQ(shape_load("@late.shp"), nullptr);
    install.write("late.shp", "1 0 0 0 1 1 1 1\n");
    EXPECT_NE(shape_load("@late.shp"), nullptr);
}

TEST_F(ShapeTest, IncompleteOrAbsurdFilesAreRejected)
{
    const char *const cases[] = {
        "",                                         // no count
        "x 0 0 0 1 1 1 1",                          // count missing
        "2\n0 0 0 1 1 1 1\n0 0 0 1 1 1\n",          // last record one number short
        "0\n",                                      // no spheres
        "-1\n0 0 0 1 1 1 1\n",                      // negative count
        "99999999\n0 0 0 1 1 1 1\n",                // absurd count
        "1\n0 0 0 -1 1 1 1\n",                      // negative radius
        "1\n0 0 0 1 1 -5 1\n",                      // negative stiffness
        "1\n1e999 0 0 1 1 1 1\n",                   // overflows to infinity
        "1\n3e38 3e38 3e38 1 1 1 1\n",              // bounding radius overflows
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        const char *text = cases[i];
        std::string file = "bad" + std::to_string(i) + ".shp";
        install.write(file, text);
        DataStream *stream = data_open(("@" + file).c_str(), "rb");
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(shape_read(stream, file.c_str()), nullptr) << '"' << text << '"';
        data_close(stream);
    }
}
