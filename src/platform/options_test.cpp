#include "platform/log.h"

#include "testsupport/testsupport.h"

#include <gtest/gtest.h>

#include <string>

// Options report unreadable values to the log; each case reads what it logged.
struct OptionsTest : testing::Test {
    TempDir dir;
    ScopedEnv name{"KOBU_LOGFILE", nullptr};
    void SetUp() override {
        log_reset();
        log("KOBU_LOGFILE=%s", dir.at("log.txt").c_str());
    }
    std::string logged() {
        log(nullptr);
        return read_whole_file(dir.at("log.txt"));
    }
    void TearDown() override { log_reset(); }
};

TEST_F(OptionsTest, FlagsReadYesOnNoOffAndFallBackOtherwise) {
    ScopedEnv options("KOBU_OPTIONS", "[dinput:yes][dsnd:off][waveout:on][dinputsticksonly:no]"
                                      "[threaded:maybe][sound-rate:44100]");
    struct Case {
        const char *name;
        int fallback, want;
    } cases[] = {{"dinput", 0, 1}, {"dsnd", 1, 0},   {"waveout", 0, 1}, {"dinputsticksonly", 1, 0},
                 {"threaded", 1, 1}, {"threaded", 0, 0}, {"absent", 7, 7}, {"sound", 3, 3}};
    for (const Case &c : cases)
        EXPECT_EQ(option_flag(c.name, c.fallback), c.want) << c.name;
    std::string text = logged();
    EXPECT_NE(text.find("unrecognized setting for threaded\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("unrecognized setting for dinput"), std::string::npos);
    EXPECT_EQ(text.find("unrecognized setting for absent"), std::string::npos);
}

TEST_F(OptionsTest, IntegersAllowBlanksAndSignAndRejectTheRest) {
    ScopedEnv options("KOBU_OPTIONS", "[sound-rate: 22050][sound-channels:-2][sound-mixahead:abc]"
                                      "[threaded:99999999999][sound-rate-x:5]");
    EXPECT_EQ(option_int("sound-rate", 0), 22050);
    EXPECT_EQ(option_int("sound-channels", 0), -2);
    EXPECT_EQ(option_int("sound-mixahead", 4), 4);
    EXPECT_EQ(option_int("threaded", 6), 6);
    EXPECT_EQ(option_int("rate", 1), 1);
    std::string text = logged();
    EXPECT_NE(text.find("unrecognized setting for sound-mixahead\n"), std::string::npos);
    EXPECT_NE(text.find("unrecognized setting for threaded\n"), std::string::npos);
    EXPECT_EQ(text.find("unrecognized setting for sound-rate"), std::string::npos);
}

TEST_F(OptionsTest, NoOptionsGiveFallbacksSilently) {
    ScopedEnv options("KOBU_OPTIONS", nullptr);
    EXPECT_EQ(option_flag("threaded", 1), 1);
    EXPECT_EQ(option_int("sound-rate", 44100), 44100);
    EXPECT_EQ(logged().find("unrecognized"), std::string::npos);
}

TEST_F(OptionsTest, SecondAliasOfANameIsLoggedAndIgnored) {
    alias_add("joy-fire", "joystick button 1");
    alias_add("joy-fire", "joystick button 2");
    EXPECT_STREQ(alias_lookup("joy-fire"), "joystick button 1");
    const char *plain = "space";
    EXPECT_EQ(alias_lookup(plain), plain);
    EXPECT_STREQ(alias_lookup("joy-Fire"), "joy-Fire");
    EXPECT_NE(logged().find("Second alias for 'joy-fire' ('joystick button 2') ignored\n"),
              std::string::npos);
}

TEST(Intern, EqualTextsShareOneStoredCopy) {
    std::vector<std::string> texts;
    std::vector<const char *> stored;
    for (int i = 0; i < 300; i++) {
        texts.push_back("key " + std::to_string((i * 7919) % 1000));
        stored.push_back(intern(texts.back().c_str()));
        ASSERT_NE(stored.back(), nullptr);
        ASSERT_NE(stored.back(), texts.back().c_str());
    }
    for (int i = 0; i < 300; i++) {
        std::string copy = texts[i];
        ASSERT_EQ(intern(copy.c_str()), stored[i]) << copy;
        ASSERT_EQ(std::string(stored[i]), texts[i]);
    }
    EXPECT_NE(intern("key 1"), intern("key 10"));
}

TEST(NameCompare, IgnoresCaseAndTreatsBlanksAndUnderscoresAlike) {
    struct Case {
        const char *a, *b;
        int sign;
    } cases[] = {{"Left Shift", "left_shift", 0}, {"PAGE UP", "page_up", 0}, {"", "", 0},
                 {"a", "b", -1},                   {"B", "a", 1},            {"ab", "abc", -1},
                 {"keypad enter", "keypad", 1},    {"left_alt", "Left Shift", -1}};
    for (const Case &c : cases) {
        int order = name_compare(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.sign) << c.a << " vs " << c.b;
    }
}
