// The packer's format as the data layer reads it, and the generator's determinism.
#include "archive.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <string>

#include "files/data.h"
#include "testsupport/testsupport.h"

namespace {

std::string read_member(const char *name)
{
    DataStream *s = data_open(name, "rb");
    if (!s)
        return "<missing>";
    std::string out;
    char buffer[256];
    int got;
    while ((got = data_read(s, buffer, sizeof buffer)) > 0)
        out.append(buffer, got);
    data_close(s);
    return out;
}

}   // namespace

TEST(Archive, PackedMembersReadBackThroughTheDataLayer)
{
    TempDir install, home;
    install.write("tree/b/second.txt", "two\n");
    install.write("tree/a.txt", "one");
    install.write("tree/c", std::string("\0\1\2", 3));
    std::vector<ArchiveMember> members = archive_collect(install.at("tree"));
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[0].name, "a.txt");   // byte order, '/' inside names
    EXPECT_EQ(members[1].name, "b/second.txt");
    EXPECT_EQ(members[2].name, "c");
    std::string packed = archive_pack(members);
    EXPECT_EQ(packed, std::string("3 a.txt\n4 b/second.txt\n3 c\n-\nonetwo\n\0\1\2", 39));
    install.write("zzzz.saf", packed);

    ScopedEnv qz("QZ_HOME", install.path.c_str());
    ScopedEnv xdg("XDG_DATA_HOME", home.path.c_str());
    data_reset();
    EXPECT_EQ(read_member("@a.txt"), "one");
    EXPECT_EQ(read_member("@b/second.txt"), "two\n");
    EXPECT_EQ(read_member("@c"), std::string("\0\1\2", 3));
    data_reset();
}

TEST(Archive, DigestSourceDefinesBothDigests)
{
    std::string source = archive_digest_source(std::string(40, 'a'), std::string(40, 'b'));
    EXPECT_NE(source.find("const char DATA_ARCHIVE_DIGEST[41] = \"" + std::string(40, 'a') + "\";"),
              std::string::npos);
    EXPECT_NE(source.find("const char FIXED_FILES_DIGEST[41] = \"" + std::string(40, 'b') + "\";"),
              std::string::npos);
    // Only the first megabyte counts: bytes after it do not change the archive digest.
    std::string big(1048576, 'x');
    EXPECT_EQ(archive_digest(big), archive_digest(big + "tail"));
    EXPECT_NE(archive_digest(big), archive_digest("y" + big.substr(1)));
}

TEST(Archive, WriteIfChangedLeavesAnUnchangedFileAlone)
{
    TempDir dir;
    std::string path = dir.at("out/build_digest.cpp");
    ASSERT_TRUE(archive_write_if_changed(path, "same"));
    struct utimbuf old = {1000000, 1000000};
    ASSERT_EQ(utime(path.c_str(), &old), 0);
    struct stat info;
    ASSERT_TRUE(archive_write_if_changed(path, "same"));
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1000000);   // untouched: nothing downstream relinks
    ASSERT_TRUE(archive_write_if_changed(path, "different"));
    EXPECT_EQ(read_whole_file(path), "different");
}

TEST(Generator, TwoRunsGiveTheSameArchiveAsTheBuild)
{
    TempDir one, two;
    std::string run_one = std::string(RUTMOOR_GEN_EXE) + " --archive " + one.at("zzzz.saf") +
                          " --digest-source " + one.at("digest.cpp") + " --work " +
                          one.at("work") + " > /dev/null";
    std::string run_two = std::string(RUTMOOR_GEN_EXE) + " --archive " + two.at("zzzz.saf") +
                          " --work " + two.at("work") + " > /dev/null";
    ASSERT_EQ(system(run_one.c_str()), 0);
    ASSERT_EQ(system(run_two.c_str()), 0);
    std::string a = read_whole_file(one.at("zzzz.saf"));
    ASSERT_GT(a.size(), 1000000u);
    EXPECT_TRUE(a == read_whole_file(two.at("zzzz.saf")));
    EXPECT_TRUE(a == read_whole_file(RUTMOOR_GEN_ARCHIVE));
    EXPECT_NE(read_whole_file(one.at("digest.cpp")).find(archive_digest(a)), std::string::npos);
}
