#include "common/ripemd160.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

static std::string hex_of(const std::string &text) {
    uint8_t digest[20];
    char hex[41];
    ripemd160(text.data(), text.size(), digest);
    ripemd160_hex(digest, hex);
    return hex;
}

static std::string repeat(const char *piece, int times) {
    std::string all;
    for (int i = 0; i < times; i++)
        all += piece;
    return all;
}

TEST(Ripemd160, PublishedTestVectors) {
    struct Case {
        std::string text;
        const char *digest;
    } cases[] = {
        {"", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
        {"a", "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
        {"abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
        {"message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
        {"abcdefghijklmnopqrstuvwxyz", "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "b0e20b6e3116640286ed3a87a5713079b21f5189"},
        {repeat("1234567890", 8), "9b752e45573d4b39f4dbd3323cab82bf63326bfb"},
        {repeat("a", 1000000), "52783243c1697bdbe16d37f97f68f08325dc1528"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(hex_of(c.text), c.digest) << "length " << c.text.size();
}

// Feeding in pieces that straddle block boundaries must give the one-shot digest, and the
// context is ready for a new message after final.
TEST(Ripemd160, PiecewiseUpdateMatchesOneShot) {
    std::string text;
    for (int i = 0; i < 300; i++)
        text.push_back(char(i * 7 + 3));
    uint8_t whole[20];
    ripemd160(text.data(), text.size(), whole);
    for (size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 129u}) {
        Ripemd160 ctx;
        ripemd160_init(&ctx);
        for (size_t at = 0; at < text.size(); at += piece)
            ripemd160_update(&ctx, text.data() + at, std::min(piece, text.size() - at));
        uint8_t digest[20];
        ripemd160_final(&ctx, digest);
        EXPECT_EQ(0, memcmp(digest, whole, 20)) << "piece " << piece;
        ripemd160_update(&ctx, "abc", 3);
        ripemd160_final(&ctx, digest);
        char hex[41];
        ripemd160_hex(digest, hex);
        EXPECT_STREQ(hex, "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc");
    }
}
