// Shared set-up of the terrain fuzz targets: the fuzzers' scratch data directory, with the
// fuzz input written as a file of track "@t" in its home.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/data.h"
#include "files/fuzz_local.h"

// The track directory "t" in the scratch home (made on first use).
inline const std::string &fuzz_track_dir() {
    static std::string track = [] {
        std::string dir = fuzz_scratch_dir() + "/user/Rutmoor/t";
        data_reset();
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) abort();
        return dir;
    }();
    return track;
}

// Writes bytes as file of the track directory "@t"; false when it cannot be written.
inline bool fuzz_put(const char *file, const void *bytes, size_t size) {
    fuzz_track_dir();
    return fuzz_write(std::string("user/Rutmoor/t/") + file,
                      static_cast<const unsigned char *>(bytes), size);
}

inline bool fuzz_put(const char *file, const std::string &bytes) {
    return fuzz_put(file, bytes.data(), bytes.size());
}

// The plain path of a file of the track directory.
inline std::string fuzz_path(const char *file) { return fuzz_track_dir() + "/" + file; }
