// Billboards: the colour prefix both ways, standing on the ground, and bad input.
#include "track/billboards.h"

#include <gtest/gtest.h>

#include "track/track_test_home.h"

namespace {

struct BillboardsTest : ::testing::Test {
    DataHome home;
    Array list;
    BillboardsTest() { array_init(&list, sizeof(Billboard)); }
    ~BillboardsTest() override { array_free(&list); }
    const Billboard &at(int i) { return *array_get<Billboard>(&list, i); }
};

TEST_F(BillboardsTest, ColourPrefixTintsThePictureAndIsWrittenBack) {
    struct Case {
        const char *word;          // as in the file
        const char *picture;       // picture name kept
        uint8_t r, g, b;
        const char *written;       // word the writer writes
    } cases[] = {
        {"#ff0000#@flag.ppm", "@flag.ppm", 255, 0, 0, "#ff0000#@flag.ppm"},
        {"#0A80fF#x.png", "x.png", 10, 128, 255, "#0a80ff#x.png"},
        {"#ffffff#white.png", "white.png", 255, 255, 255, "white.png"},
        {"plain.png", "plain.png", 255, 255, 255, "plain.png"},
        {"#ff000#x.png", "#ff000#x.png", 255, 255, 255, "#ff000#x.png"},   // '#' not at 7
        {"#ff00zz#x.png", "#ff00zz#x.png", 255, 255, 255, "#ff00zz#x.png"},   // not hex
        {"#00ff00#", "", 0, 255, 0, "#00ff00#"},                           // no picture
        {"#ffffff#", "", 255, 255, 255, "#ffffff#"},   // must keep a word for the reader
    };
    for (const Case &c : cases) {
        array_free(&list);
        home.put("t/billboards", std::string("[ 1 2 3 ] 4 5 ") + c.word + "\n");
        ASSERT_EQ(billboards_read(&list, nullptr, "@t/billboards"), 1) << c.word;
        EXPECT_STREQ(at(0).texture_name, c.picture) << c.word;
        EXPECT_EQ(at(0).color[0], c.r) << c.word;
        EXPECT_EQ(at(0).color[1], c.g) << c.word;
        EXPECT_EQ(at(0).color[2], c.b) << c.word;
        EXPECT_EQ(at(0).color[3], 255) << c.word;
        ASSERT_EQ(billboards_write(&list, 0, "@t/billboards"), 1);
        EXPECT_EQ(home.get("t/billboards"),
                  std::string("[1.000000 2.000000 3.000000] 4.000000 5.000000 ") + c.written + "\n");
    }
}

TEST_F(BillboardsTest, StandOnTheGroundAndWriteTheirOffset) {
    SlopedTerrain ground;
    home.put("t/billboards", "[ 10 1 5 ] 2 3 a.png\n[ 20 -1 5 ] 2 3 b.png\n");
    ASSERT_EQ(billboards_read(&list, &ground.terrain, "@t/billboards"), 2);
    EXPECT_NEAR(at(0).pos.y, 6, 1e-4);
    EXPECT_NEAR(at(1).pos.y, 9, 1e-4);
    EXPECT_FLOAT_EQ(at(1).y_offset, -1);
    // Only from the first given index on.
    ASSERT_EQ(billboards_write(&list, 1, "@t/out"), 1);
    EXPECT_EQ(home.get("t/out"), "[20.000000 -1.000000 5.000000] 2.000000 3.000000 b.png\n");
}

TEST_F(BillboardsTest, ReadingStopsAtTheFirstBadEntry) {
    struct Case {
        const char *text;
        int count;
    } cases[] = {
        {"", 0},
        {"[ 1 2 3 ] 4 5 a\n[ 1 2 ] 4 5 b\n[ 1 2 3 ] 4 5 c\n", 1},
        {"[ 1 2 3 ] 4 5 a\n[ 1 2 3 ] 4 1e999 b\n", 1},
        {"[ 1 2 3 ] 4 5", 0},
        {"\x89PNG\r\n\x1a\n\x00\x00", 0},
    };
    for (const Case &c : cases) {
        array_free(&list);
        home.put("t/billboards", c.text);
        EXPECT_EQ(billboards_read(&list, nullptr, "@t/billboards"), c.count) << c.text;
        EXPECT_EQ(list.count, c.count);
    }
    EXPECT_EQ(billboards_read(&list, nullptr, "@t/none"), 0);
    EXPECT_EQ(billboards_write(&list, 0, unwritable_path(home, "billboards").c_str()), 0);
    EXPECT_EQ(last_console_line(), "Can't open 'billboards'");
}

}  // namespace
