// Flag marshals: the two marshals, the flaggers with their gate limits, their billboards and
// the writer.
#include "track/flaggers.h"

#include <gtest/gtest.h>

#include "track/billboards.h"
#include "track/track_test_home.h"

namespace {

struct FlaggersTest : ::testing::Test {
    DataHome home;
    Flaggers flaggers = {};
    Array billboards;
    FlaggersTest() { array_init(&billboards, sizeof(Billboard)); }
    ~FlaggersTest() override {
        flaggers_free(&flaggers);
        array_free(&billboards);
    }
    int read(const std::string &text, int gate_count = 3) {
        home.put("t/flaggers", text);
        return flaggers_read(&flaggers, &billboards, nullptr, gate_count, "@t/flaggers");
    }
    const Flagger &at(int i) { return *array_get<Flagger>(&flaggers.list, i); }
};

const char MARSHALS[] =
    "[ 1 0 2 ] [ 11 0 2 ] 3 4 2.5 s0 s1 s2 s3 s4\n"
    "[ 5 1 6 ] 2 2 l0 l1 l2 l3\n";

TEST_F(FlaggersTest, MarshalsAndFlaggersStandAsBillboards) {
    ASSERT_EQ(read(std::string(MARSHALS) +
                   "[ 20 0 30 ] 1 2 0 2 5 -4 f.png fa.png\n"
                   "[ 21 0 31 ] 1 2 -1 -1 -1 -1 g.png ga.png\n"
                   "[ 22 0 32 ] 1 2 0 0 0 h.png ha.png\n"),   // three gates: ends the list
              2);
    EXPECT_TRUE(flaggers.start.present);
    EXPECT_FLOAT_EQ(flaggers.start.path_time, 2.5f);
    EXPECT_FLOAT_EQ(flaggers.start.b.x, 11);
    EXPECT_STREQ(flaggers.start.pictures[4], "s4");
    EXPECT_TRUE(flaggers.lap_board.present);
    EXPECT_STREQ(flaggers.lap_board.pictures[3], "l3");
    const int gates[4] = {0, 2, 2, -1};   // limited to -1 .. gate_count - 1
    for (int g = 0; g < 4; g++)
        EXPECT_EQ(at(0).gates[g], gates[g]) << g;
    EXPECT_STREQ(at(1).texture_active_name, "ga.png");

    ASSERT_EQ(billboards.count, 4);
    const Billboard *start = array_get<Billboard>(&billboards, flaggers.start.billboard);
    EXPECT_FLOAT_EQ(start->width, 3);
    EXPECT_STREQ(start->texture_name, "s0");
    const Billboard *lap = array_get<Billboard>(&billboards, flaggers.lap_board.billboard);
    EXPECT_FLOAT_EQ(lap->pos.y, 1);
    EXPECT_STREQ(lap->texture_name, "l0");
    EXPECT_STREQ(array_get<Billboard>(&billboards, at(1).billboard)->texture_name, "g.png");
}

TEST_F(FlaggersTest, StartMarshalPathTimeDefaultsToOneSecond) {
    EXPECT_EQ(read("[ 1 0 2 ] [ 11 0 2 ] 3 4 s0 s1 s2 s3 s4\n[ 5 1 6 ] 2 2 l0 l1 l2 l3\n"), 0);
    EXPECT_TRUE(flaggers.start.present);
    EXPECT_FLOAT_EQ(flaggers.start.path_time, 1);
    EXPECT_STREQ(flaggers.start.pictures[0], "s0");
    EXPECT_TRUE(flaggers.lap_board.present);
}

TEST_F(FlaggersTest, ReadingStopsAtTheFirstEntryThatDoesNotMatch) {
    struct Case {
        const char *text;
        int start, lap, billboards;
    } cases[] = {
        {"", 0, 0, 0},
        {"[ 1 0 2 ] [ 11 0 2 ] 3 4 2.5 s0 s1 s2\n", 0, 0, 0},   // too few pictures
        {"[ 1 0 2 ] [ 11 0 2 ] 3 4 2.5 s0 s1 s2 s3 s4\n[ 5 1 ] 2 2 l0 l1 l2 l3\n", 1, 0, 1},
        {"[ 1 0 2 ] [ 11 0 2 ] 3 1e999 2.5 s0 s1 s2 s3 s4\n", 0, 0, 0},
        {"\x7f\x45\x4c\x46\x02\x01", 0, 0, 0},
    };
    for (const Case &c : cases) {
        array_free(&billboards);
        EXPECT_EQ(read(c.text), 0) << c.text;
        EXPECT_EQ(flaggers.start.present, c.start) << c.text;
        EXPECT_EQ(flaggers.lap_board.present, c.lap) << c.text;
        EXPECT_EQ(billboards.count, c.billboards) << c.text;
    }
}

TEST_F(FlaggersTest, WriterWritesWhatTheReaderReads) {
    ASSERT_EQ(read(std::string(MARSHALS) + "[ 20 0 30 ] 1 2 0 2 -1 1 f.png fa.png\n"), 1);
    ASSERT_EQ(flaggers_write(&flaggers, "@t/flaggers"), 1);
    EXPECT_EQ(home.get("t/flaggers"),
              "[1.000000 0.000000 2.000000] [11.000000 0.000000 2.000000] 3.000000 4.000000 "
              "2.500000 s0 s1 s2 s3 s4\n"
              "[5.000000 1.000000 6.000000] 2.000000 2.000000 l0 l1 l2 l3\n"
              "[20.000000 0.000000 30.000000] 1.000000 2.000000 0 2 -1 1 f.png fa.png\n");
    Flaggers again = {};
    ASSERT_EQ(flaggers_read(&again, &billboards, nullptr, 3, "@t/flaggers"), 1);
    EXPECT_EQ(array_get<Flagger>(&again.list, 0)->gates[3], 1);
    flaggers_free(&again);
    EXPECT_EQ(flaggers_write(&flaggers, unwritable_path(home, "flaggers").c_str()), 0);
    EXPECT_EQ(last_console_line(), "Can't open 'flaggers'");
}

}  // namespace
