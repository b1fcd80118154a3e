#include "platform/log.h"

#include <gtest/gtest.h>

#include <chrono>

static int64_t micros(TimeStamp t) { return t.sec * 1000000 + t.usec; }

TEST(Clock, TimeIsWholeMillisecondsAndNeverRunsBack) {
    TimeStamp last = time_now();
    for (int i = 0; i < 1000; i++) {
        TimeStamp now = time_now();
        ASSERT_GE(now.usec, 0);
        ASSERT_LT(now.usec, 1000000);
        ASSERT_EQ(now.usec % 1000, 0);
        ASSERT_GE(micros(now), micros(last));
        last = now;
    }
}

// However the system sleep rounds, the call never returns before the moment.
TEST(Clock, SleepUntilDoesNotWakeEarly) {
    struct Case {
        int64_t sec, usec;
    } cases[] = {{0, 0}, {0, 500}, {0, 1000}, {0, 25000}, {0, -3000}};
    for (const Case &c : cases) {
        auto start = std::chrono::steady_clock::now();
        sleep_until(c.sec, c.usec);
        auto waited = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start).count();
        // time_now counts whole milliseconds, so the wait may fall short of the moment by less
        // than one of them.
        EXPECT_GT(waited, c.sec * 1000000 + c.usec - 1000) << c.usec;
    }
}
