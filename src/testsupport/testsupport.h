// Scratch directories and files for tests. Each TempDir is a fresh directory under the
// system's temporary directory, removed with everything in it when the object goes away.
#pragma once

#include <string>

struct TempDir {
    std::string path;   // no trailing '/'
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    // path + "/" + relative
    std::string at(const std::string &relative) const;
    // Writes bytes to path + "/" + relative, creating parent directories.
    void write(const std::string &relative, const std::string &bytes) const;
};

// The whole content of a file, or "" when it cannot be read.
std::string read_whole_file(const std::string &path);
// Sets an environment variable for the life of the object and restores it afterwards.
struct ScopedEnv {
    std::string name, old;
    bool had;
    ScopedEnv(const char *name, const char *value);   // value null unsets
    ~ScopedEnv();
};
// The repository's top directory (tests read committed fixtures from it).
std::string source_dir();
