// Timing gates: the start grid, heading wrap, lap list normalisation, the keep-or-discard
// rule and the writer that writes what the reader reads.
#include "track/gates.h"

#include <gtest/gtest.h>

#include <cmath>

#include "track/statues.h"
#include "track/track_test_home.h"

namespace {

const float PI_F = 3.14159265f;

struct GatesTest : ::testing::Test {
    DataHome home;
    Timing timing;
    Array statues;
    GatesTest() { array_init(&statues, sizeof(Statue)); }
    ~GatesTest() override { array_free(&statues); }
    int read(const std::string &text) {
        home.put("t/timing_gates", text);
        return gates_read(&timing, &statues, nullptr, "@t/timing_gates");
    }
};

const char TWO_GATES[] =
    "checkpoints:\n"
    "5 [ 1 0 2 ] [ 0 0 -1 ]\n"
    "6 [ 10 0 20 ] [ 1 0 0 ]\n";

TEST_F(GatesTest, StartHeadingsOutsidePiAreWrappedIntoRange) {
    struct Case {
        float given, stored;
    } cases[] = {
        {4.0f, 4.0f - 2 * PI_F}, {-4.0f, -4.0f + 2 * PI_F}, {3.0f, 3.0f},
        {-1.5f, -1.5f},          {7.0f, 7.0f - 2 * PI_F},   {20.0f, 20.0f - 6 * PI_F},
    };
    for (const Case &c : cases) {
        array_free(&statues);
        read("startinggate:\n[ 0 0 0 ] " + std::to_string(c.given) + "\n");
        ASSERT_EQ(timing.start_count, 1) << c.given;
        EXPECT_NEAR(timing.start_heading[0], c.stored, 1e-4) << c.given;
    }
}

TEST_F(GatesTest, EachStartSlotGetsAStartGateThreeFeetAhead) {
    home.put("startgate.shp", sphere_shape(2));
    read("startinggate:\n[ 10 1 20 ] 0\n[ 30 0 40 ] 1.5707963\n");
    ASSERT_EQ(timing.start_count, 2);
    ASSERT_EQ(statues.count, 2);
    const Statue *first = array_get<Statue>(&statues, timing.start_gate_statue[0]);
    EXPECT_NEAR(first->pos.x, 10, 1e-5);
    EXPECT_NEAR(first->pos.y, 1, 1e-5);
    EXPECT_NEAR(first->pos.z, 17, 1e-5);
    EXPECT_STREQ(first->model_name, "@startgate.jm");
    EXPECT_STREQ(first->texture_name, "@startgate.ppm");
    ASSERT_NE(first->shape, nullptr);
    const Statue *second = array_get<Statue>(&statues, timing.start_gate_statue[1]);
    EXPECT_NEAR(second->pos.x, 27, 1e-4);
    EXPECT_NEAR(second->pos.z, 40, 1e-4);
    EXPECT_NEAR(second->angle, 1.5707963f, 1e-6);
    // Without timing the start grid stays.
    EXPECT_EQ(timing.gate_count, 0);
}

TEST_F(GatesTest, LapEntriesAreNormalised) {
    ASSERT_EQ(read(std::string(TWO_GATES) + "firstlap:\n100003 -5 1 7\nnormallap:\n0 100000 1\n"), 1);
    ASSERT_EQ(timing.first_lap_len, 4);
    ASSERT_EQ(timing.normal_lap_len, 3);
    const int expected[] = {100001, 0, 1, 1, 0, 100000, 1};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(timing.lap_order[i], expected[i]) << i;
    EXPECT_EQ(timing.first_lap_counted, 3);
    EXPECT_EQ(timing.normal_lap_counted, 2);
}

TEST_F(GatesTest, TimingStaysOnlyWithAGateAndCountedEntriesInBothLists) {
    struct Case {
        const char *text;
        int kept;
    } cases[] = {
        {"firstlap:\n0 1\nnormallap:\n1 0\n", 1},
        {"firstlap:\n100000 100001\nnormallap:\n0 1\n", 0},   // first lap only flagged
        {"firstlap:\n0 1\nnormallap:\n100001\n", 0},          // normal lap only flagged
        {"firstlap:\n0 1\n", 0},                              // no normal lap
        {"normallap:\n0 1\n", 0},                             // no first lap
    };
    for (const Case &c : cases) {
        array_free(&statues);
        std::string text = "startinggate:\n[ 1 2 3 ] 0.5\n" + std::string(TWO_GATES) + c.text;
        EXPECT_EQ(read(text), c.kept) << c.text;
        EXPECT_EQ(timing.gate_count, c.kept ? 2 : 0) << c.text;
        EXPECT_EQ(timing.first_lap_len > 0, c.kept == 1) << c.text;
        EXPECT_EQ(timing.normal_lap_len > 0, c.kept == 1) << c.text;
        EXPECT_EQ(timing.start_count, 1) << c.text;
    }
    // Lists without any gate.
    EXPECT_EQ(read("checkpoints:\nfirstlap:\n0\nnormallap:\n0\n"), 0);
    EXPECT_EQ(timing.first_lap_len, 0);
}

TEST_F(GatesTest, GatesAndHeadingAreRead) {
    ASSERT_EQ(read(std::string(TWO_GATES) + "firstlap:\n0\nnormallap:\n1\n"), 1);
    EXPECT_FLOAT_EQ(timing.gates[1].radius, 6);
    EXPECT_FLOAT_EQ(timing.gates[1].pos.z, 20);
    EXPECT_NEAR(gate_heading(&timing.gates[0]), 0, 1e-6);           // dir -z: facing -z
    EXPECT_NEAR(gate_heading(&timing.gates[1]), -PI_F / 2, 1e-6);   // dir +x
}

TEST_F(GatesTest, BadInputEndsTheListsWithoutHarm) {
    struct Case {
        const char *text;
        int starts, gates;
    } cases[] = {
        {"", 0, 0},
        {"startinggate:\n[ 1 2 ] 3\n", 0, 0},
        {"startinggate:\n[ 1 2 3 ] 1e999\n[ 1 2 3 ] 0\n", 0, 0},   // an infinite heading
        {"checkpoints:\n5 [ 1 1e999 2 ] [ 0 0 1 ]\nfirstlap:\n0\nnormallap:\n0\n", 0, 0},
        {"\x01\xff\xfe garbage [[[ ]]]", 0, 0},
    };
    for (const Case &c : cases) {
        read(c.text);
        EXPECT_EQ(timing.start_count, c.starts) << c.text;
        EXPECT_EQ(timing.gate_count, c.gates) << c.text;
    }
    // More entries than fit: the lists stop at their limits.
    std::string many = "startinggate:\n";
    for (int i = 0; i < 200; i++)
        many += "[ 0 0 0 ] 0\n";
    many += "checkpoints:\n";
    for (int i = 0; i < 300; i++)
        many += "1 [ 0 0 0 ] [ 0 0 1 ]\n";
    array_free(&statues);
    read(many);
    EXPECT_EQ(timing.start_count, START_SLOTS_MAX);
    EXPECT_EQ(statues.count, START_SLOTS_MAX);
}

TEST_F(GatesTest, WriterWritesWhatTheReaderReads) {
    ASSERT_EQ(read("startinggate:\n[ 1.5 2 3 ] 0.25\n[ 4 5 6 ] -3\n" + std::string(TWO_GATES) +
                   "firstlap:\n100000 1\nnormallap:\n0 1 100001\n"),
              1);
    Timing first = timing;
    ASSERT_EQ(gates_write(&first, "@t/timing_gates"), 1);
    ASSERT_EQ(gates_read(&timing, &statues, nullptr, "@t/timing_gates"), 1);
    ASSERT_EQ(timing.start_count, 2);
    EXPECT_FLOAT_EQ(timing.start_pos[0].x, 1.5f);
    EXPECT_FLOAT_EQ(timing.start_heading[1], -3);
    ASSERT_EQ(timing.gate_count, 2);
    EXPECT_FLOAT_EQ(timing.gates[1].dir.x, 1);
    EXPECT_FLOAT_EQ(timing.gates[0].radius, 5);
    ASSERT_EQ(timing.first_lap_len, 2);
    ASSERT_EQ(timing.normal_lap_len, 3);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(timing.lap_order[i], first.lap_order[i]) << i;
    EXPECT_EQ(home.get("t/timing_gates").rfind("startinggate:\n[1.500000 2.000000 3.000000] 0.250000\n", 0), 0u);
}

TEST_F(GatesTest, WriterReportsAFileItCannotCreate) {
    timing_clear(&timing);
    EXPECT_EQ(gates_write(&timing, unwritable_path(home, "timing_gates").c_str()), 0);
    EXPECT_EQ(last_console_line(), "Can't open 'timing_gates'");
}

}  // namespace
