#include "common/console.h"

#include "platform/log.h"
#include "testsupport/testsupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

struct ConsoleTest : testing::Test {
    TempDir dir;
    ScopedEnv name{"KOBU_LOGFILE", nullptr};
    void SetUp() override {
        log_reset();
        log("KOBU_LOGFILE=%s", dir.at("log.txt").c_str());
        console_clear();
        console_set_max_shown(5);
        console_set_clock(0.0);
    }
    void TearDown() override { log_reset(); }
    // The messages as logged, without the time stamps and the log's own opening lines.
    std::string logged() {
        log(nullptr);
        std::string text = read_whole_file(dir.at("log.txt"));
        text = std::regex_replace(text, std::regex(R"(\[\d+:\d\d:\d\d\.\d\d\] )"), "");
        return text.substr(text.find("KOBU 0.31\n") + 10);
    }
};

TEST_F(ConsoleTest, LogsOneLineAndResetsColoursAfterEscapes) {
    console_print("Disconnecting\n");
    console_print("Lap 3");
    console_print("\x1b[31mred\x1b[0m warning");
    console_print("\x1b[1mbold\n");
    console_printf("Track %s, %d gates", "dunes", 12);
    EXPECT_EQ(logged(), "Disconnecting\nLap 3\n\x1b[31mred\x1b[0m warning\x1b[0m\n"
                        "\x1b[1mbold\n\x1b[0mTrack dunes, 12 gates\n");
    EXPECT_STREQ(console_ring_line(0), "Track dunes, 12 gates");
    EXPECT_STREQ(console_ring_line(4), "Disconnecting");
}

TEST_F(ConsoleTest, RingKeepsTheNewest1000LinesCutTo127Characters) {
    console_printf("%s", std::string(300, 'w').c_str());
    EXPECT_EQ(std::string(console_ring_line(0)), std::string(127, 'w'));
    for (int i = 1; i <= 1000; i++)
        console_printf("line %d", i);
    EXPECT_STREQ(console_ring_line(0), "line 1000");
    EXPECT_STREQ(console_ring_line(999), "line 1");
    EXPECT_EQ(console_ring_line(1000), nullptr);
    EXPECT_NE(logged().find(std::string(300, 'w') + "\n"), std::string::npos);

    console_clear();
    EXPECT_EQ(console_ring_line(0), nullptr);
    EXPECT_EQ(console_shown_count(), 0);
}

TEST_F(ConsoleTest, ShowsTheNewestLinesUntilTwoSecondsAfterTheLast) {
    console_set_max_shown(3);
    console_set_clock(10.0);
    for (int i = 1; i <= 4; i++) {
        console_printf("msg %d", i);
        EXPECT_EQ(console_shown_count(), i < 3 ? i : 3);
    }
    EXPECT_STREQ(console_shown_line(0), "msg 2");
    EXPECT_STREQ(console_shown_line(2), "msg 4");
    EXPECT_EQ(console_shown_line(3), nullptr);
    EXPECT_DOUBLE_EQ(console_display_deadline(), 12.0);

    // Lines then go away one at a time, the next one 5 s after the last.
    console_set_clock(11.9);
    console_expire();
    EXPECT_EQ(console_shown_count(), 3);
    console_set_clock(12.1);
    console_expire();
    EXPECT_EQ(console_shown_count(), 2);
    EXPECT_STREQ(console_shown_line(0), "msg 3");
    EXPECT_DOUBLE_EQ(console_display_deadline(), 17.1);
    console_expire();
    EXPECT_EQ(console_shown_count(), 2);

    // A smaller setting shows fewer lines at once.
    console_set_max_shown(1);
    EXPECT_EQ(console_shown_count(), 1);
    EXPECT_STREQ(console_shown_line(0), "msg 4");
}
