// The ".saf" packer: members sorted by name, sizes in decimal, no time stamps, so two runs
// over the same tree give byte-identical archives.
#include "archive.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/ripemd160.h"

namespace fs = std::filesystem;

enum { DIGEST_PREFIX_BYTES = 1048576 };   // the data check digests the first megabyte

static const char *const FIXED_FILES[] = {
    "generic_frame.shp", "generic_fork_upper.shp", "generic_fork_lower.shp",
    "generic_swingarm.shp", "front_wheel.shp", "rear_wheel.shp", "generic_rider.shp",
};

static bool read_file(const std::string &path, std::string *bytes)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes->clear();
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->append(buffer, got);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

std::vector<ArchiveMember> archive_collect(const std::string &dir)
{
    std::vector<ArchiveMember> members;
    std::error_code error;
    if (!fs::is_directory(dir, error))
        return members;
    for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        ArchiveMember member;
        member.name = it->path().lexically_relative(dir).generic_string();
        if (!read_file(it->path().string(), &member.bytes))
            continue;
        members.push_back(std::move(member));
    }
    std::sort(members.begin(), members.end(),
              [](const ArchiveMember &a, const ArchiveMember &b) { return a.name < b.name; });
    return members;
}

std::string archive_pack(const std::vector<ArchiveMember> &members)
{
    std::string out;
    for (const ArchiveMember &member : members) {
        out += std::to_string(member.bytes.size());
        out += ' ';
        out += member.name;
        out += '\n';
    }
    out += "-\n";
    for (const ArchiveMember &member : members)
        out += member.bytes;
    return out;
}

static std::string digest_hex(Ripemd160 *ctx)
{
    uint8_t digest[20];
    char hex[41];
    ripemd160_final(ctx, digest);
    ripemd160_hex(digest, hex);
    return hex;
}

std::string archive_digest(const std::string &archive)
{
    Ripemd160 ctx;
    ripemd160_init(&ctx);
    ripemd160_update(&ctx, archive.data(), std::min<size_t>(archive.size(), DIGEST_PREFIX_BYTES));
    return digest_hex(&ctx);
}

std::string archive_fixed_files_digest(const std::vector<ArchiveMember> &members)
{
    Ripemd160 ctx;
    ripemd160_init(&ctx);
    for (const char *name : FIXED_FILES)
        for (const ArchiveMember &member : members)
            if (member.name == name) {
                ripemd160_update(&ctx, member.bytes.data(), member.bytes.size());
                break;
            }
    return digest_hex(&ctx);
}

std::string archive_digest_source(const std::string &archive_digest,
                                  const std::string &fixed_digest)
{
    return "// Written by rutmoor-gen from the archive it generated. Do not edit.\n"
           "#include \"files/build_digest.h\"\n\n"
           "const char DATA_ARCHIVE_DIGEST[41] = \"" + archive_digest + "\";\n"
           "const char FIXED_FILES_DIGEST[41] = \"" + fixed_digest + "\";\n";
}

int archive_write_if_changed(const std::string &path, const std::string &bytes)
{
    std::string old;
    if (read_file(path, &old) && old == bytes)
        return 1;
    std::error_code error;
    fs::path parent = fs::path(path).parent_path();
    if (!parent.empty())
        fs::create_directories(parent, error);
    // Write beside the target and rename, so that a reader never sees half an archive.
    std::string temp = path + ".tmp";
    FILE *file = fopen(temp.c_str(), "wb");
    if (!file)
        return 0;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = fclose(file) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        remove(temp.c_str());
        return 0;
    }
    return 1;
}
