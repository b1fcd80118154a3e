// Packing the generated home tree into a ".saf" archive and the build's digests of it.
#pragma once

#include <string>
#include <vector>

struct ArchiveMember {
    std::string name;    // '/'-separated name below the tree, as read after '@'
    std::string bytes;   // the member's contents
};

// Every regular file below dir (recursively), named relative to it, sorted by name in byte
// order. Empty when dir does not exist.
std::vector<ArchiveMember> archive_collect(const std::string &dir);
// The archive's bytes: one "size name\n" line per member in the given order, the line "-",
// then the members back to back. No time stamps: equal members give equal archives.
std::string archive_pack(const std::vector<ArchiveMember> &members);
// RIPEMD-160 of the first megabyte of an archive, 40 lower-case hex digits.
std::string archive_digest(const std::string &archive);
// RIPEMD-160 of the seven generic bike part shapes concatenated in start-up order; a missing
// shape contributes nothing.
std::string archive_fixed_files_digest(const std::vector<ArchiveMember> &members);
// The C++ source that defines DATA_ARCHIVE_DIGEST and FIXED_FILES_DIGEST.
std::string archive_digest_source(const std::string &archive_digest,
                                  const std::string &fixed_digest);
// Writes a file only when its contents differ from what is there (so that the build does
// not relink needlessly). 1 on success.
int archive_write_if_changed(const std::string &path, const std::string &bytes);
