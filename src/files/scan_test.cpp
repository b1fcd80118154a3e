// The text scanner: return values, pushback, widths and each conversion's own rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "files/data.h"
#include "testsupport/testsupport.h"

namespace {

// A stream over text, read from a scratch file.
class Scan : public ::testing::Test {
protected:
    TempDir dir;
    int files = 0;

    DataStream *open_text(const std::string &text) {
        std::string name = "in" + std::to_string(files++);
        dir.write(name, text);
        return data_open(dir.at(name).c_str(), "rb");
    }

    // What is left of the stream after the scan; checks that the position counts exactly
    // the consumed characters (a character in the pushback is not consumed).
    static std::string rest(DataStream *stream, size_t input_length) {
        std::string left;
        int start = data_position(stream);
        int byte;
        while ((byte = data_getc(stream)) >= 0)
            left += char(byte);
        EXPECT_EQ(size_t(start) + left.size(), input_length);
        return left;
    }
};

TEST_F(Scan, IntegerConversions) {
    struct Case {
        const char *format, *input;
        int result, a, b;
        const char *left;
    };
    const Case cases[] = {
        {"%d,%d", "1;2", -1, 1, 0, ";2"},
        {"%d", "   -0012x", 1, -12, 0, "x"},
        {"%i", "0x1F", 1, 31, 0, ""},
        {"%i", "017", 1, 15, 0, ""},
        {"%i", "-0X1f", 1, -31, 0, ""},
        {"%i", "09", 1, 0, 0, "9"},
        {"%i", "0xg", 0, 0, 0, "g"},
        {"%2i", "0x1", 0, 0, 0, "1"},
        {"%x", "0x1F", 1, 0, 0, "x1F"},
        {"%X", "Ff", 1, 255, 0, ""},
        {"%o", "778", 1, 63, 0, "8"},
        {"%3d%d", "12345", 2, 123, 45, ""},
        {"%*d %d", "7 8", 1, 8, 0, ""},
        {"%1d", "-5", 0, 0, 0, "5"},
        {"%2d", "-5", 1, -5, 0, ""},
        {"%d", "+5", 1, 5, 0, ""},
        {"%d", "4294967297", 1, 1, 0, ""},
        {"%d", "-", 0, 0, 0, ""},
        {"%d", "x", 0, 0, 0, "x"},
        {"%d", "", -1, 0, 0, ""},
        {"%d", " \n\t ", -1, 0, 0, ""},
        {"%d %d", "5", 1, 5, 0, ""},
        {"%d,", "5", -1, 5, 0, ""},
        {"x%d", "y5", -1, 0, 0, "y5"},
        {"%d%%", "5%!", 1, 5, 0, "!"},
        {"%d%%", "5!", -1, 5, 0, "!"},
        {"%d%n", "123 ", 1, 123, 3, " "},
        {"%*3c%n", "abcd", 0, 3, 0, "d"},
        {"%d%u", "5 6", 1, 5, 0, " 6"},
        {"%d%", "5 6", 1, 5, 0, " 6"},
        {"%d %d", "5\n\n  6 ", 2, 5, 6, " "},
        {" ", "", 0, 0, 0, ""},
        {" ", "  x", 0, 0, 0, "x"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.format) + " on \"" + c.input + "\"");
        DataStream *stream = open_text(c.input);
        ASSERT_NE(stream, nullptr);
        int a = 0, b = 0;
        EXPECT_EQ(data_scan(stream, c.format, &a, &b), c.result);
        EXPECT_EQ(a, c.a);
        EXPECT_EQ(b, c.b);
        EXPECT_EQ(rest(stream, strlen(c.input)), c.left);
        data_close(stream);
    }
}

TEST_F(Scan, HalfWidthTargets) {
    DataStream *stream = open_text("70000 -2 ab");
    int16_t value = 0, consumed = 0;
    int16_t guard[2] = {0x5555, 0x5555};
    EXPECT_EQ(data_scan(stream, "%hd %hi%hn", &value, &guard[0], &consumed), 2);
    EXPECT_EQ(value, int16_t(70000 - 65536));
    EXPECT_EQ(guard[0], -2);
    EXPECT_EQ(guard[1], 0x5555);
    EXPECT_EQ(consumed, 8);
    data_close(stream);
}

TEST_F(Scan, FloatConversions) {
    struct Case {
        const char *input;
        int result;
        long double value;
        const char *left;
    };
    const Case cases[] = {
        {"1.5e3", 1, 1500, ""},
        {"-.25", 1, -0.25L, ""},
        {".", 1, 0, ""},
        {"e5", 0, 0, ""},
        {"+", 0, 0, ""},
        {"1e", 1, 1, ""},
        {"2E+x", 1, 2, "x"},
        {"2.5.5", 1, 2.5L, ".5"},
        {"  \n7", 1, 7, ""},
        {"12e-1,", 1, 1.2L, ","},
        {"-0.000125e2", 1, -0.0125L, ""},
        {"0e99999", 1, 0, ""},
        {"1e-5000", 1, 0, ""},
        {"123456789012345678", 1, 123456789012345678.0L, ""},
        {"1e4000", 1, 1e4000L, ""},
        {"x", 0, 0, "x"},
        {"", -1, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        DataStream *stream = open_text(c.input);
        long double value = 0;
        EXPECT_EQ(data_scan(stream, "%Lf", &value), c.result);
        // Powers of ten are products of rounded factors: a few units in the last place.
        EXPECT_LE(fabsl(value - c.value), fabsl(c.value) * 1e-17L) << double(value);
        EXPECT_EQ(rest(stream, strlen(c.input)), c.left);
        data_close(stream);
    }
}

TEST_F(Scan, FloatTargetsFollowTheModifiers) {
    DataStream *stream = open_text("0.1 0.1 0.1 0.1 0.1 1e300 3.25");
    float f = 0, huge = 0;
    double d = 0;
    long double ll = 0, big_l = 0, q = 0;
    ASSERT_EQ(data_scan(stream, "%f %lf %llf %Lf %qf %f %3f", &f, &d, &ll, &big_l, &q, &huge, &f), 7);
    long double tenth = 1 * (1 / 10.0L);
    EXPECT_EQ(d, double(tenth));
    EXPECT_EQ(ll, tenth);
    EXPECT_EQ(big_l, tenth);
    EXPECT_EQ(q, tenth);
    EXPECT_TRUE(std::isinf(huge));
    EXPECT_EQ(f, 3.2f);
    EXPECT_EQ(rest(stream, 30), "5");
    data_close(stream);
}

TEST_F(Scan, StringCharacterAndSetConversions) {
    struct Case {
        const char *format, *input;
        int result;
        const char *text;
        const char *left;
    };
    const Case cases[] = {
        {"%s", "", -1, "", ""},
        {"%s", "  \n", -1, "", ""},
        {"%s", "  word  next", 1, "word", "  next"},
        {" %1023s ", "abc  \n x", 1, "abc", "x"},
        {"%3s", "abcdef", 1, "abc", "def"},
        {"%c", " x", 1, " ", "x"},
        {"%c", "\nx", 1, "\n", "x"},
        {"%3c", "ab", -1, "ab", ""},
        {"%[a-z]", "abc1", 1, "abc", "1"},
        {"%[]a]", "]a]b", 1, "]a]", "b"},
        {"%[^\n]", "line\nrest", 1, "line", "\nrest"},
        {"%[a-]", "-a-b", 1, "-a-", "b"},
        {"%[-a]", "a-b", 1, "a-", "b"},
        {"%2[a-z]", "abc", 1, "ab", "c"},
        {"%[x]", "y", 0, "", "y"},
        {"%[x]", "", -1, "", ""},
        {"%[ab", "abba!", 1, "abba", "!"},
        {"%[\xe0-\xff]", "\xe9\xffz", 1, "\xe9\xff", "z"},
        {"%[\x01-\xff]", "a", 0, "", "a"},
        {"%[^\x01-\x7f]", "\x80\xfe" "a", 1, "\x80\xfe", "a"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.format) + " on \"" + c.input + "\"");
        DataStream *stream = open_text(c.input);
        char text[1024] = {};
        EXPECT_EQ(data_scan(stream, c.format, text), c.result);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(rest(stream, strlen(c.input)), c.left);
        data_close(stream);
    }
}

TEST_F(Scan, StringAtTheEndCountsEarlierAssignments) {
    DataStream *stream = open_text("5 ");
    int value = 0;
    char word[16];
    EXPECT_EQ(data_scan(stream, "%d %15s", &value, word), 1);
    data_close(stream);
}

TEST_F(Scan, FormatIdiomsOfTheTextFiles) {
    DataStream *stream = open_text("# comment one\n   #two\n[ 1 2\n 3.5 ]\n 4 \nnext");
    char hash[2];
    int skipped = 0;
    while (data_scan(stream, " %1[#]%*[^\n]", hash) == 1)
        skipped++;
    EXPECT_EQ(skipped, 2);
    float v[3] = {}, w = 0;
    EXPECT_EQ(data_scan(stream, " [ %f %f %f ] %f ", &v[0], &v[1], &v[2], &w), 4);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[1], 2.0f);
    EXPECT_EQ(v[2], 3.5f);
    EXPECT_EQ(w, 4.0f);
    char word[1024];
    EXPECT_EQ(data_scan(stream, " %1023s ", word), 1);
    EXPECT_STREQ(word, "next");
    EXPECT_EQ(data_scan(stream, " %1023s ", word), -1);
    data_close(stream);
}

TEST_F(Scan, PushbackIsSeenByEveryReader) {
    DataStream *stream = open_text("12x\nline two\n");
    int value = 0;
    ASSERT_EQ(data_scan(stream, "%d", &value), 1);
    EXPECT_EQ(data_position(stream), 2);
    char line[32];
    ASSERT_NE(data_gets(stream, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "x\n");
    ASSERT_EQ(data_scan(stream, "%4s", line), 1);
    char two[8] = {};
    EXPECT_EQ(data_read(stream, two, 4), 4);
    EXPECT_STREQ(two, " two");
    data_close(stream);
}

TEST_F(Scan, ReadsGzipDataAlike) {
    TempDir packed;
    // "7 8\n" deflated as one stored block: header, block, no trailer needed.
    std::string gz("\x1f\x8b\x08\0\0\0\0\0\0\x03\x01\x04\x00\xfb\xff" "7 8\n", 19);
    packed.write("n.gz", gz);
    DataStream *stream = data_open(packed.at("n").c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    int a = 0, b = 0;
    EXPECT_EQ(data_scan(stream, "%d %d", &a, &b), 2);
    EXPECT_EQ(a + b, 15);
    data_close(stream);
}

}  // namespace
