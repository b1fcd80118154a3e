// Data directories, the archive index, lookups by '@' name, streams and gzip data.
#include "files/data.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/ripemd160.h"
#include "files/build_digest.h"
#include "files/files_local.h"
#include "platform/log.h"
#include "testsupport/testsupport.h"

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

// An archive: one "size name" line per member, the "-" line, then the bytes.
std::string saf(const Members &members) {
    std::string head, body;
    for (const auto &[name, bytes] : members) {
        head += std::to_string(bytes.size()) + " " + name + "\n";
        body += bytes;
    }
    return head + "-\n" + body;
}

// Raw deflate data (no header or trailer).
std::string deflate_raw(const std::string &data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A gzip member with a bare header and a trailer.
std::string gzip(const std::string &data) {
    return std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + deflate_raw(data) +
           std::string(8, '\0');
}

// The whole content of a stream opened by name, or "<none>" when it does not open.
std::string read_all(const char *name) {
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return "<none>";
    std::string text;
    char piece[700];
    while (int got = data_read(stream, piece, sizeof piece))
        text.append(piece, size_t(got));
    data_close(stream);
    return text;
}

std::string executable_dir() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    exe[n > 0 ? n : 0] = 0;
    std::string path = exe;
    return path.substr(0, path.rfind('/') + 1);
}

// A home directory and an installation directory of its own for every test.
class DataFiles : public ::testing::Test {
protected:
    TempDir user, install;
    ScopedEnv xdg{"XDG_DATA_HOME", user.path.c_str()};
    ScopedEnv qz{"QZ_HOME", install.path.c_str()};
    std::string home = user.path + "/Rutmoor/";

    void SetUp() override { data_reset(); }
    void TearDown() override { data_reset(); }
};

TEST_F(DataFiles, DirectoriesAreHomeThenQzHome) {
    EXPECT_STREQ(data_dir(0), home.c_str());
    EXPECT_STREQ(data_dir(1), (install.path + "/").c_str());
    EXPECT_EQ(data_dir(2), nullptr);
    EXPECT_EQ(data_dir(-1), nullptr);
}

TEST_F(DataFiles, DirectoryNamesCollapseSlashesAndHomeFallsBackToHomeVariable) {
    ScopedEnv no_xdg("XDG_DATA_HOME", nullptr);
    ScopedEnv user_home("HOME", (user.path + "//").c_str());
    ScopedEnv qz_slashes("QZ_HOME", (install.path + "\\\\").c_str());
    data_reset();
    EXPECT_STREQ(data_dir(0), (user.path + "/.local/share/Rutmoor/").c_str());
    EXPECT_STREQ(data_dir(1), (install.path + "/").c_str());
}

TEST_F(DataFiles, WithoutAHomeTheInstallationDirectoryComesFirst) {
    ScopedEnv no_xdg("XDG_DATA_HOME", nullptr);
    ScopedEnv no_home("HOME", nullptr);
    data_reset();
    EXPECT_STREQ(data_dir(0), (install.path + "/").c_str());
    EXPECT_EQ(data_dir(1), nullptr);
}

TEST_F(DataFiles, QzHomeHidesTheExecutableDirectory) {
    std::string beside = "rutmoor-data-test-" + std::to_string(getpid()) + ".txt";
    std::string path = executable_dir() + beside;
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs("beside", file);
    fclose(file);
    std::string at_name = "@" + beside;
    EXPECT_EQ(read_all(at_name.c_str()), "<none>");
    {
        ScopedEnv no_qz("QZ_HOME", nullptr);
        data_reset();
        EXPECT_STREQ(data_dir(1), executable_dir().c_str());
        EXPECT_EQ(read_all(at_name.c_str()), "beside");
    }
    unlink(path.c_str());
}

TEST_F(DataFiles, LowerRanksWinAcrossDirectoriesAndArchives) {
    user.write("Rutmoor/both.txt", "home");
    install.write("both.txt", "install");
    install.write("loose.txt", "loose");
    install.write("zzzz.saf", saf({{"loose.txt", "from zzzz"}, {"twice.txt", "zzzz"}}));
    install.write("aaa.saf", saf({{"twice.txt", "aaa"}}));
    // An archive in the home directory still ranks after every loose file.
    user.write("Rutmoor/home.saf", saf({{"both.txt", "home archive"}, {"mine.txt", "mine"}}));
    EXPECT_EQ(read_all("@both.txt"), "home");
    EXPECT_EQ(read_all("@loose.txt"), "loose");
    EXPECT_EQ(read_all("@twice.txt"), "aaa");
    EXPECT_EQ(read_all("@mine.txt"), "mine");
    EXPECT_EQ(read_all("@absent.txt"), "<none>");
}

TEST_F(DataFiles, ConfigWrittenThenReadComesFromHome) {
    install.write("config", "shipped\n");
    DataStream *out = data_open("@config", "w");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(data_printf(out, "volume=%d\n", 7), 9);
    data_close(out);
    EXPECT_EQ(read_whole_file(home + "config"), "volume=7\n");
    EXPECT_EQ(read_all("@config"), "volume=7\n");
}

TEST_F(DataFiles, WritingCreatesParentDirectoriesInHome) {
    DataStream *out = data_open("@demos//new/run.qzdemo", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(data_write(out, "abc", 3), 3);
    EXPECT_EQ(data_putc(out, 'd'), 1);
    EXPECT_GE(data_puts(out, "ef"), 0);
    EXPECT_EQ(data_flush(out), 0);
    data_close(out);
    EXPECT_EQ(read_whole_file(home + "demos/new/run.qzdemo"), "abcdef");
}

TEST_F(DataFiles, ArchiveLookupIgnoresCaseAndFindsGzipMembers) {
    install.write("zzzz.saf", saf({{"tracks/Mud/desc", "muddy"},
                                   {"packed.txt.gz", gzip("inflated text")}}));
    EXPECT_EQ(read_all("@TRACKS/mud/DESC"), "muddy");
    EXPECT_EQ(read_all("@Packed.TXT"), "inflated text");
    EXPECT_EQ(read_all("@packed.txt.gz"), gzip("inflated text"));
}

TEST_F(DataFiles, LooseGzipCopyComesBeforeAnArchiveMember) {
    install.write("shape.shp.gz", gzip("loose copy"));
    install.write("zzzz.saf", saf({{"shape.shp", "member"}}));
    EXPECT_EQ(read_all("@shape.shp"), "loose copy");
}

TEST_F(DataFiles, DoubledSlashInAMemberNameIsFoundWithOne) {
    install.write("zzzz.saf", saf({{"tracks//hill///terrain.hf", "hf"}}));
    EXPECT_EQ(read_all("@tracks/hill/terrain.hf"), "hf");
    int count = 0;
    const char *const *names = data_names(&count);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(names[0], "tracks/hill/terrain.hf");
}

TEST_F(DataFiles, MemberReadsStopAtTheMemberSize) {
    install.write("zzzz.saf", saf({{"a", "first\nlast"}, {"b", "NEXT MEMBER"}, {"n", "12"}, {"m", "34"}}));
    DataStream *stream = data_open("@a", "rb");
    ASSERT_NE(stream, nullptr);
    char line[64];
    ASSERT_NE(data_gets(stream, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "first\n");
    ASSERT_NE(data_gets(stream, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "last");
    EXPECT_EQ(data_gets(stream, line, sizeof line), nullptr);
    EXPECT_EQ(data_getc(stream), -1);
    EXPECT_EQ(data_read(stream, line, sizeof line), 0);
    EXPECT_EQ(data_position(stream), 10);

    // Seeking stays inside the member.
    ASSERT_EQ(data_seek(stream, 6), 1);
    EXPECT_EQ(data_read(stream, line, sizeof line), 4);
    EXPECT_EQ(std::string(line, 4), "last");
    EXPECT_EQ(data_seek(stream, 10), 0);
    EXPECT_EQ(data_seek(stream, -1), 0);
    data_close(stream);

    // The scanner does not run on into the next member's digits either.
    stream = data_open("@n", "rb");
    ASSERT_NE(stream, nullptr);
    int value = 0;
    EXPECT_EQ(data_scan(stream, "%d", &value), 1);
    EXPECT_EQ(value, 12);
    data_close(stream);
}

TEST_F(DataFiles, GetsWithRoomForNothingReadsNothing) {
    install.write("text", "abc");
    DataStream *stream = data_open("@text", "rb");
    ASSERT_NE(stream, nullptr);
    char buffer[4] = "xyz";
    EXPECT_EQ(data_gets(stream, buffer, 1), nullptr);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(data_gets(stream, buffer, 0), nullptr);
    EXPECT_EQ(data_gets(stream, buffer, 3), buffer);
    EXPECT_STREQ(buffer, "ab");
    data_close(stream);
}

TEST_F(DataFiles, MalformedArchivesContributeNothing) {
    struct Case {
        const char *what;
        std::string bytes;
    };
    std::string long_name(1030, 'n');
    const Case cases[] = {
        {"no end line", "3 m\nabc"},
        {"end of file inside a line", "3 m\n-"},
        {"line without a number", "3 m\nx\n-\nabc"},
        {"negative size", "-3 m\n-\nabc"},
        {"size past the end of the file", "3 m\n9 k\n-\nabc"},
        {"size beyond 32 bits", "4294967299 m\n-\nabc"},
        {"sizes whose sum overflows 32 bits", "2147483647 m\n2147483647 k\n-\nabc"},
        {"over-long line", "3 m\n3 " + long_name + "\n-\nabcdef"},
        {"member line without a name", "3 m\n3 \n-\nabcdef"},
        {"member line without a separator", "3 m\n3\n-\nabcdef"},
        {"zero byte in a line", std::string("3 m\n3 k\0x\n-\nabcdef", 18)},
    };
    install.write("good.saf", saf({{"g", "good"}}));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        install.write("bad.saf", c.bytes);
        data_reset();
        EXPECT_EQ(read_all("@m"), "<none>");
        EXPECT_EQ(read_all("@g"), "good");
        int count = 0;
        const char *const *names = data_names(&count);
        ASSERT_EQ(count, 3);
        EXPECT_STREQ(names[0], "bad.saf");
        EXPECT_STREQ(names[1], "g");
        EXPECT_STREQ(names[2], "good.saf");
        EXPECT_EQ(names[3], nullptr);
    }
}

TEST_F(DataFiles, SizesMayCarryBlanksAndSign) {
    install.write("zzzz.saf", "  +3 m\n2\tk\n-\nabcde");
    EXPECT_EQ(read_all("@m"), "abc");
    EXPECT_EQ(read_all("@k"), "de");
}

TEST_F(DataFiles, NamesListIsSortedAndDistinct) {
    user.write("Rutmoor/config", "x");
    install.write("config", "y");
    install.write("demos/b.qzdemo", "d");
    install.write("tracks/hill/terrain.hf.gz", gzip("h"));
    install.write("zzzz.saf", saf({{"config", "z"}, {"a", "1"}, {"a", "2"}, {"B", "3"}}));
    int count = 0;
    const char *const *names = data_names(&count);
    std::vector<std::string> got(names, names + count);
    std::vector<std::string> want = {"B", "a", "config", "demos/b.qzdemo",
                                     "tracks/hill/terrain.hf.gz", "zzzz.saf"};
    EXPECT_EQ(got, want);
    EXPECT_EQ(names[count], nullptr);
    // Built once: a file written later does not appear.
    data_close(data_open("@later.txt", "w"));
    EXPECT_EQ(data_names(&count), names);
    EXPECT_EQ(count, 6);
}

TEST_F(DataFiles, LinkedDirectoriesAreWalkedButLoopsAreNot) {
    TempDir elsewhere;
    elsewhere.write("y.txt", "y");
    install.write("a/x.txt", "x");
    ASSERT_EQ(symlink("../a", install.at("a/again").c_str()), 0);
    ASSERT_EQ(symlink("..", install.at("a/up").c_str()), 0);
    ASSERT_EQ(symlink(elsewhere.path.c_str(), install.at("linked").c_str()), 0);
    int count = 0;
    const char *const *names = data_names(&count);
    std::vector<std::string> got(names, names + count);
    EXPECT_EQ(got, (std::vector<std::string>{"a/x.txt", "linked/y.txt"}));
}

TEST_F(DataFiles, RenameMovesHomeFiles) {
    data_close(data_open("@demos/default.qzdemo", "wb"));
    EXPECT_EQ(data_rename("@demos/default.qzdemo", "@demos/best lap.qzdemo"), 1);
    struct stat info;
    EXPECT_EQ(stat((home + "demos/best lap.qzdemo").c_str(), &info), 0);
    EXPECT_NE(stat((home + "demos/default.qzdemo").c_str(), &info), 0);
    EXPECT_EQ(data_rename("@demos/default.qzdemo", "@demos/other.qzdemo"), 0);
    std::string plain = install.at("plain.txt");
    install.write("plain.txt", "p");
    EXPECT_EQ(data_rename(plain.c_str(), "@moved.txt"), 1);
    EXPECT_EQ(read_whole_file(home + "moved.txt"), "p");
}

TEST_F(DataFiles, DirectoriesDoNotOpenAsFiles) {
    install.write("tracks/hill/desc", "d");
    EXPECT_EQ(data_open("@tracks/hill", "rb"), nullptr);
    EXPECT_EQ(data_open(install.path.c_str(), "rb"), nullptr);
}

TEST_F(DataFiles, GzipHeaderFieldsAreSkippedAndBadHeadersFail) {
    std::string body = deflate_raw("payload");
    struct Case {
        const char *what;
        std::string header;
        const char *want;
    };
    const Case cases[] = {
        {"bare", std::string("\x1f\x8b\x08\x00\0\0\0\0\0\x03", 10), "payload"},
        {"name and comment", std::string("\x1f\x8b\x08\x18\0\0\0\0\0\x03name\0comment\0", 23), "payload"},
        {"extra field and header crc", std::string("\x1f\x8b\x08\x06\0\0\0\0\0\x03\x03\0xyz\x12\x34", 17), "payload"},
        {"text flag", std::string("\x1f\x8b\x08\x01\0\0\0\0\0\x03", 10), "payload"},
        {"wrong magic", std::string("\x1f\x8c\x08\x00\0\0\0\0\0\x03", 10), "<none>"},
        {"wrong method", std::string("\x1f\x8b\x07\x00\0\0\0\0\0\x03", 10), "<none>"},
        {"reserved flag", std::string("\x1f\x8b\x08\x20\0\0\0\0\0\x03", 10), "<none>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        install.write("g.gz", c.header + body);
        EXPECT_EQ(read_all(install.at("g").c_str()), c.want);
    }
    // Headers cut short by the end of the file.
    install.write("g.gz", std::string("\x1f\x8b\x08\x00\0\0", 6));
    EXPECT_EQ(read_all(install.at("g").c_str()), "<none>");
    install.write("g.gz", std::string("\x1f\x8b\x08\x08\0\0\0\0\0\x03name", 14));
    EXPECT_EQ(read_all(install.at("g").c_str()), "<none>");
}

TEST_F(DataFiles, BrokenGzipDataEndsTheStreamWithoutHanging) {
    std::string text;
    for (int i = 0; i < 4000; i++)
        text += "line " + std::to_string(i * 7919 % 1000) + "\n";
    std::string packed = gzip(text);
    // Cut short: what was inflated is delivered, then the data ends.
    install.write("cut.gz", packed.substr(0, packed.size() / 2));
    std::string got = read_all(install.at("cut").c_str());
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), text.size());
    EXPECT_EQ(got, text.substr(0, got.size()));
    // Garbage after a good start ends the data at the error.
    std::string broken = packed;
    for (size_t i = packed.size() / 3; i < packed.size(); i++)
        broken[i] = char(0xff);
    install.write("broken.gz", broken);
    got = read_all(install.at("broken").c_str());
    EXPECT_LT(got.size(), text.size());
    EXPECT_EQ(got, text.substr(0, got.size()));
    // A member inflates only its own bytes, not the next member's.
    install.write("zzzz.saf", saf({{"half.gz", packed.substr(0, packed.size() / 2)},
                                   {"rest", packed.substr(packed.size() / 2)}}));
    data_reset();
    got = read_all("@half");
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), text.size());
    EXPECT_EQ(got, text.substr(0, got.size()));
}

TEST_F(DataFiles, CompressedStreamsReadByteWiseAndDoNotSeek) {
    std::string text(5000, 'q');
    text += "end\n";
    install.write("big.txt.gz", gzip(text));
    DataStream *stream = data_open("@big.txt", "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(data_seek(stream, 0), 0);
    std::string got;
    int byte;
    while ((byte = data_getc(stream)) >= 0)
        got += char(byte);
    EXPECT_EQ(got, text);
    EXPECT_EQ(data_position(stream), int(text.size()));
    EXPECT_EQ(data_getc(stream), -1);
    data_close(stream);
}

// The digest of the first megabyte of a file, as data_check computes it.
std::string first_megabyte_digest(const std::string &bytes) {
    uint8_t digest[20];
    char hex[41];
    ripemd160(bytes.data(), std::min<size_t>(bytes.size(), 1048576), digest);
    ripemd160_hex(digest, hex);
    return hex;
}

TEST_F(DataFiles, CheckComparesTheFirstMegabyteOfEachDirectorysArchive) {
    std::string archive = saf({{"big", std::string(1100000, 'b')}});
    std::string digest = first_megabyte_digest(archive);
    install.write("zzzz.saf", archive);
    EXPECT_EQ(data_check_digest(digest.c_str()), 1);
    // Bytes past the first megabyte are not part of the check.
    archive[1080000] = 'c';
    install.write("zzzz.saf", archive);
    EXPECT_EQ(data_check_digest(digest.c_str()), 1);
    archive[1000] = 'c';
    install.write("zzzz.saf", archive);
    EXPECT_EQ(data_check_digest(digest.c_str()), 0);
    // A good copy in the home directory passes.
    archive[1000] = 'b';
    user.write("Rutmoor/zzzz.saf", archive);
    EXPECT_EQ(data_check_digest(digest.c_str()), 1);
}

TEST_F(DataFiles, CheckPassesOnTheShippedArchiveAndFailsOnAChangedCopy) {
    std::string shipped = read_whole_file(executable_dir() + "zzzz.saf");
    ASSERT_FALSE(shipped.empty()) << "the build puts zzzz.saf beside the executables";
    EXPECT_EQ(first_megabyte_digest(shipped), DATA_ARCHIVE_DIGEST);
    {
        ScopedEnv no_qz("QZ_HOME", nullptr);
        data_reset();
        EXPECT_EQ(data_check(), 1);
    }
    shipped[std::min<size_t>(shipped.size(), 1048576) / 2] ^= 1;   // inside the checked megabyte
    install.write("zzzz.saf", shipped);
    data_reset();
    EXPECT_EQ(data_check(), 0);
}

TEST_F(DataFiles, CheckNamesTheLogInTheHomeDirectory) {
    // The log takes its name from the first message of a process, so this runs in a fresh one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScopedEnv no_logfile("KOBU_LOGFILE", nullptr);
    EXPECT_EXIT(
        {
            data_reset();
            data_check();
            log("after the check\n");
            log(nullptr);
            std::string text = read_whole_file(home + "lastlog.txt");
            std::filesystem::remove_all(user.path);
            std::filesystem::remove_all(install.path);
            _exit(text.find("after the check") != std::string::npos ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(DataFiles, OpenHomeFolderCreatesItAndHandsItToXdgOpen) {
    TempDir tools;
    std::string seen = tools.at("seen");
    tools.write("xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + seen + ".tmp\" && /bin/mv \"" +
                                seen + ".tmp\" \"" + seen + "\"\n");
    chmod(tools.at("xdg-open").c_str(), 0755);
    {
        ScopedEnv path("PATH", tools.path.c_str());
        open_home_folder();
    }
    struct stat info;
    EXPECT_EQ(stat(home.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    std::string got;
    for (int i = 0; i < 500 && got.empty(); i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        got = read_whole_file(seen);
    }
    EXPECT_EQ(got, user.path + "/Rutmoor");
}

TEST_F(DataFiles, OpenHomeFolderWithoutXdgOpenDoesNothing) {
    TempDir empty;
    ScopedEnv path("PATH", empty.path.c_str());
    open_home_folder();
    struct stat info;
    EXPECT_EQ(stat(home.c_str(), &info), 0);
}

}  // namespace
