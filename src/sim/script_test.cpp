// Ride scripts and riding them.
#include "sim/script.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bike/bike_test_support.h"
#include "sim/sim.h"

namespace {

int parse(const std::string &text, RideScript *script, std::string *error) {
    return ride_script_parse(text.data(), text.size(), script, error);
}

}  // namespace

TEST(RideScript, ReadsTimedSettings) {
    RideScript script;
    std::string error;
    ASSERT_EQ(parse("# launch\n0 throttle=1 clutch=1\n\n2.5 steer=-0.25 shift=+1\r\n"
                    "2.5 shift=-1\n4 end\n# done\n",
                    &script, &error),
              1)
        << error;
    ASSERT_EQ(script.lines.size(), 3u);
    EXPECT_EQ(script.lines[0].line_number, 2);
    EXPECT_EQ(script.lines[0].settings.size(), 2u);
    EXPECT_EQ(script.lines[1].seconds, 2.5);
    EXPECT_EQ(script.lines[1].settings[0].input, INPUT_STEER);
    EXPECT_FLOAT_EQ(script.lines[1].settings[0].value, -0.25f);
    EXPECT_EQ(script.lines[1].settings[1].input, INPUT_SHIFT);
    EXPECT_EQ(script.lines[2].settings[0].value, -1);
    EXPECT_EQ(script.end_seconds, 4);
}

TEST(RideScript, BadLinesAreReportedWithTheirNumber) {
    struct Case {
        const char *text, *error;
    };
    const Case cases[] = {
        {"0 throttle=1\n1 steer=2\n2 end\n", "line 2: value out of range 'steer=2'"},
        {"0 throttle=1\n", "line 2: missing end line"},
        {"", "line 1: missing end line"},
        {"x throttle=1\n1 end\n", "line 1: bad time 'x'"},
        {"-1 throttle=1\n1 end\n", "line 1: bad time '-1'"},
        {"2 throttle=1\n1 end\n", "line 2: time goes backwards '1'"},
        {"0 throttle\n1 end\n", "line 1: expected NAME=VALUE, got 'throttle'"},
        {"0 gas=1\n1 end\n", "line 1: unknown control 'gas'"},
        {"0 throttle=nan\n1 end\n", "line 1: bad value 'throttle=nan'"},
        {"0 throttle=1x\n1 end\n", "line 1: bad value 'throttle=1x'"},
        {"0 shift=0.5\n1 end\n", "line 1: shift is +1 or -1, got 'shift=0.5'"},
        {"0 clutch=-0.1\n1 end\n", "line 1: value out of range 'clutch=-0.1'"},
        {"0\n1 end\n", "line 1: nothing to set"},
        {"0 end\n1 throttle=1\n", "line 2: text after the end line"},
        {"0 throttle=1\n5000 end\n", "line 2: time beyond 3600 s '5000'"},
        {"1 end extra\n", "line 1: expected NAME=VALUE, got 'end'"},
    };
    for (const Case &c : cases) {
        RideScript script;
        std::string error;
        EXPECT_EQ(parse(c.text, &script, &error), 0) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    RideScript script;
    std::string error;
    EXPECT_EQ(parse(std::string("0 throttle=1\0\n1 end\n", 20), &script, &error), 0);
    EXPECT_EQ(error, "line 1: holds a zero byte");
}

class SimRide : public RideTest {};

TEST_F(SimRide, RidesTheScriptAndTracesEveryNthStep) {
    TestGround ground(6, 2.0f);
    Bike *bike = place("crf450(2013)", 128, 200);
    RideScript script;
    std::string error;
    ASSERT_EQ(parse("0 throttle=1 clutch=1\n1 shift=+1\n1.5 shift=+1\n2 throttle=0 front_brake=1\n3 end\n",
                    &script, &error),
              1);
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    EXPECT_EQ(sim_ride(bike, &script, 32, out), 3 * 128);
    fclose(out);
    std::string csv(text, size);
    free(text);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), SIM_TRACE_HEADER);
    int lines = 0;
    for (char c : csv) lines += c == '\n';
    EXPECT_EQ(lines, 1 + 3 * 128 / 32 + 1);
    EXPECT_EQ(bike_gear(bike), 2);   // two shifts up, once each
    EXPECT_NE(csv.find("\n0.0000,128."), std::string::npos);
    // The last line: still on the ground and upright, slower than at the peak.
    std::string last = csv.substr(csv.rfind('\n', csv.size() - 2) + 1);
    EXPECT_EQ(last.substr(0, 7), "3.0000,");
    EXPECT_EQ(last.substr(last.size() - 7), ",0,1,1\n");
}
