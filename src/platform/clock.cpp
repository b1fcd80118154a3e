// Time on the monotonic clock in whole milliseconds, and sleeping to a moment.
#include "platform/log.h"

#include <cerrno>
#include <ctime>
#include <sched.h>

static int64_t now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

TimeStamp time_now() {
    int64_t ms = now_ms();
    return TimeStamp{ms / 1000, ms % 1000 * 1000};
}

static int64_t micros(TimeStamp t) { return t.sec * 1000000 + t.usec; }

// The system sleep may overshoot, so it sleeps a millisecond short and the rest is waited
// out on the clock.
void sleep_until(int64_t sec, int64_t usec) {
    int64_t target = micros(time_now()) + sec * 1000000 + usec;
    int64_t whole_ms = (sec * 1000000 + usec) / 1000 - 1;
    if (whole_ms > 0) {
        timespec pause = {time_t(whole_ms / 1000), long(whole_ms % 1000 * 1000000)};
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
    while (micros(time_now()) < target)
        sched_yield();
}
