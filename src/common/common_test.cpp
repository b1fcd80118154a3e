#include "common/common.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

// Under AddressSanitizer a refused allocation must come back empty, as it does without it,
// so that the out-of-memory path below is the one under test.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }

static void close_audio_hook() { fputs("audio closed\n", stderr); }
static void close_window_hook() { fputs("window closed\n", stderr); }

TEST(XmallocDeathTest, RefusedAllocationClosesAudioAndWindowThenExitsWithStatus1) {
    const size_t huge = SIZE_MAX / 2;
    EXPECT_EXIT(
        {
            xmalloc_set_shutdown_hooks(close_audio_hook, close_window_hook);
            xmalloc(huge);
        },
        testing::ExitedWithCode(1), "audio closed\nwindow closed\nError: Out of virtual memory");
    EXPECT_EXIT(xcalloc(huge, 16), testing::ExitedWithCode(1), "Error: Out of virtual memory");
    EXPECT_EXIT(xrealloc(xmalloc(8), huge), testing::ExitedWithCode(1), "Out of virtual memory");
}

TEST(Xmalloc, ReallocKeepsContentAndZeroSizesGiveUsableBlocks) {
    char *text = xstrdup("rutmoor");
    text = static_cast<char *>(xrealloc(text, 1 << 20));
    EXPECT_STREQ(text, "rutmoor");
    free(text);

    int *zeroed = static_cast<int *>(xcalloc(100, sizeof(int)));
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(zeroed[i], 0);
    free(zeroed);
    void *empty = xmalloc(0);
    EXPECT_NE(empty, nullptr);
    free(empty);
}

TEST(InternString, EqualTextsShareOneCopyThatOutlivesTheCaller) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, "throttle");
    const char *first = intern_string(buffer);
    EXPECT_NE(first, buffer);
    snprintf(buffer, sizeof buffer, "brake");
    EXPECT_STREQ(first, "throttle");
    EXPECT_EQ(intern_string("throttle"), first);
    const char *brake = intern_string(buffer);
    EXPECT_NE(brake, first);
    EXPECT_STREQ(brake, "brake");
    EXPECT_EQ(intern_string(""), intern_string(""));
}

struct Gate {
    int id;
    float x, z;
};

TEST(Array, StartsAt16DoublesAndShrinksToCount) {
    Array gates;
    array_init(&gates, sizeof(Gate));
    for (int i = 0; i < 40; i++) {
        Gate g = {i, float(i), -float(i)};
        Gate *stored = static_cast<Gate *>(array_push(&gates, &g));
        EXPECT_EQ(stored->id, i);
        int expected_capacity = i < 16 ? 16 : i < 32 ? 32 : 64;
        ASSERT_EQ(gates.capacity, expected_capacity) << "after " << i + 1;
    }
    Gate *blank = static_cast<Gate *>(array_push(&gates, nullptr));
    EXPECT_EQ(blank->id, 0);
    EXPECT_EQ(blank->x, 0.0f);
    array_shrink(&gates);
    EXPECT_EQ(gates.capacity, 41);
    EXPECT_EQ(gates.count, 41);
    for (int i = 0; i < 40; i++) {
        ASSERT_EQ(array_get<Gate>(&gates, i)->id, i);
        ASSERT_EQ(array_get<Gate>(&gates, i)->z, -float(i));
    }
    // A shrunk list still grows when pushed to.
    Gate late = {99, 0, 0};
    array_push(&gates, &late);
    EXPECT_EQ(array_get<Gate>(&gates, 41)->id, 99);
    array_free(&gates);
    EXPECT_EQ(gates.count, 0);
    EXPECT_EQ(gates.data, nullptr);

    Array empty;
    array_init(&empty, 4);
    array_shrink(&empty);
    EXPECT_EQ(empty.capacity, 0);
    array_push(&empty, nullptr);
    EXPECT_EQ(empty.capacity, 16);
    array_free(&empty);
}
