#include "platform/log.h"

#include "testsupport/testsupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

// Each case starts from a log that has not seen its first message and no log name in the
// environment.
struct LogTest : testing::Test {
    TempDir dir;
    ScopedEnv name{"KOBU_LOGFILE", nullptr};
    ScopedEnv flags{"KOBU_LOGFILE_FLAGS", nullptr};
    void SetUp() override { log_reset(); }
    void TearDown() override { log_reset(); }
};

static const char *STAMP = R"(\[\d+:\d\d:\d\d\.\d\d\] )";

TEST_F(LogTest, FirstMessageNamesTheFileAndEveryLineIsTimeStamped) {
    std::string path = dir.at("lastlog.txt");
    log("KOBU_LOGFILE=%s", path.c_str());
    log("Track %s has %d gates\n", "dunes", 12);
    log("KOBU_LOGFILE=%s", dir.at("other.txt").c_str());   // too late to name the file
    log(nullptr);
    std::string want = std::string("^") + STAMP + "Logfile \"" + path + "\" opened\n" + STAMP +
                       "KOBU 0.31\n" + STAMP + "Track dunes has 12 gates\n$";
    EXPECT_TRUE(std::regex_search(read_whole_file(path), std::regex(want)))
        << read_whole_file(path);
    // Messages after the close are dropped, and the log is not reopened over itself.
    log("late\n");
    EXPECT_EQ(read_whole_file(path).find("late"), std::string::npos);
}

TEST_F(LogTest, NamePrefixChoosesAppendOrRewrite) {
    struct Case {
        const char *prefix;
        bool keeps_old;
    } cases[] = {{">>", true}, {">", false}, {"", false}};
    for (const Case &c : cases) {
        std::string path = dir.at("log.txt");
        dir.write("log.txt", "old line\n");
        log_reset();
        log("KOBU_LOGFILE=%s%s", c.prefix, path.c_str());
        log("new line\n");
        log(nullptr);
        std::string text = read_whole_file(path);
        EXPECT_EQ(text.rfind("old line\n", 0) == 0, c.keeps_old) << "prefix '" << c.prefix << "'";
        EXPECT_NE(text.find("Logfile \"" + path + "\" opened"), std::string::npos) << c.prefix;
        EXPECT_NE(text.find("new line\n"), std::string::npos);
    }
}

TEST_F(LogTest, EnvironmentNameWinsOverTheFirstMessageAndFlagsGiveTheMode) {
    std::string chosen = dir.at("chosen.txt"), ignored = dir.at("ignored.txt");
    dir.write("chosen.txt", "kept\n");
    ScopedEnv env_name("KOBU_LOGFILE", chosen.c_str());
    ScopedEnv env_flags("KOBU_LOGFILE_FLAGS", "a");
    log("KOBU_LOGFILE=%s", ignored.c_str());
    log("hello\n");
    log(nullptr);
    std::string text = read_whole_file(chosen);
    EXPECT_EQ(text.rfind("kept\n", 0), 0u) << text;
    EXPECT_NE(text.find("hello\n"), std::string::npos);
    EXPECT_EQ(text.find("KOBU_LOGFILE="), std::string::npos);
    EXPECT_EQ(read_whole_file(ignored), "");
}

TEST_F(LogTest, WithoutANameEverythingIsDropped) {
    log("nobody reads this %d\n", 1);
    log_error("still fine");
    EXPECT_STREQ(log_last_error(), "still fine");
    log(nullptr);
}

TEST_F(LogTest, FlushCommandsAreObeyedAndNotWritten) {
    std::string path = dir.at("flush.txt");
    log("KOBU_LOGFILE=%s", path.c_str());
    log("\x13" "FLUSH");
    log("on disk\n");
    std::string text = read_whole_file(path);   // still open: only a flush puts it there
    EXPECT_NE(text.find("on disk\n"), std::string::npos);
    log("\x13" "NOFLUSH");
    log(nullptr);
    text = read_whole_file(path);
    EXPECT_EQ(text.find("FLUSH"), std::string::npos);
    EXPECT_EQ(text.find('\x13'), std::string::npos);
}

TEST_F(LogTest, ErrorsAreLoggedAndRemembered) {
    std::string path = dir.at("errors.txt");
    EXPECT_STREQ(log_last_error(), "Unknown");
    log("KOBU_LOGFILE=%s", path.c_str());
    log_error("Can't open audio device");
    log(nullptr);
    EXPECT_STREQ(log_last_error(), "Can't open audio device");
    EXPECT_TRUE(std::regex_search(read_whole_file(path),
                                  std::regex(std::string(STAMP) + "Error: Can't open audio device\n")));
}

static std::string g_box_title, g_box_text;
static void record_box(const char *title, const char *text) {
    g_box_title = title;
    g_box_text = text;
}

TEST(MessageBox, GoesToTheRegisteredHandlerElseToTheErrorStream) {
    testing::internal::CaptureStderr();
    message_box("Problem starting Rutmoor", "Can't find game data\n");
    message_box("Error", "Out of %s memory", "virtual");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Problem starting Rutmoor: Can't find game data\nError: Out of virtual memory\n");

    message_box_set_handler(record_box);
    std::string long_text(3000, 'x');
    message_box("Long", "%s", long_text.c_str());
    message_box_set_handler(nullptr);
    EXPECT_EQ(g_box_title, "Long");
    EXPECT_EQ(g_box_text, std::string(1023, 'x'));
}
