// Shared set-up of the terrain fuzz targets: a scratch data home made once per process,
// with the fuzz input written as a file of track "@t" in it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/data.h"

// The scratch home directory (made on first use; XDG_DATA_HOME points there).
inline const std::string &fuzz_home() {
    static std::string home = [] {
        char pattern[] = "/tmp/rutmoor-terrain-fuzz-XXXXXX";
        std::string dir = mkdtemp(pattern) ? pattern : "/tmp";
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
        setenv("QZ_HOME", (dir + "/install").c_str(), 1);
        data_reset();
        std::error_code ec;
        std::filesystem::create_directories(dir + "/Rutmoor/t", ec);
        if (ec) abort();
        return dir;
    }();
    return home;
}

// Writes bytes as file of the track directory "@t"; false when it cannot be written.
inline bool fuzz_put(const char *file, const void *bytes, size_t size) {
    std::string path = fuzz_home() + "/Rutmoor/t/" + file;
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = fwrite(bytes, 1, size, out) == size;
    return fclose(out) == 0 && ok;
}

inline bool fuzz_put(const char *file, const std::string &bytes) {
    return fuzz_put(file, bytes.data(), bytes.size());
}

// The plain path of a file of the track directory.
inline std::string fuzz_path(const char *file) { return fuzz_home() + "/Rutmoor/t/" + file; }
