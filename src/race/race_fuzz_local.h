// Shared set-up of the race fuzz targets: the fuzzers' scratch data directory (so that names
// in the input never reach the user's files) with a one-track installation directory, and the
// input written to a plain file there.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "files/data.h"
#include "files/fuzz_local.h"
#include "track/track.h"

// The scratch installation directory, with an empty track "t" so that the track list names
// one track; made on first use.
inline const std::string &race_fuzz_dir() {
    static std::string dir = [] {
        std::string install = fuzz_scratch_dir() + "/install";
        std::filesystem::create_directories(install + "/t");
        FILE *f = fopen((install + "/t/terrain.hf").c_str(), "wb");
        if (f)
            fclose(f);
        data_reset();
        tracks_scan();
        return install;
    }();
    return dir;
}

// Writes the input to the scratch installation directory and opens it; null when that fails.
inline DataStream *race_fuzz_open(const char *file, const uint8_t *data, size_t size) {
    std::string path = race_fuzz_dir() + "/" + file;
    if (!fuzz_write(std::string("install/") + file, data, size))
        return nullptr;
    return data_open(path.c_str(), "rb");
}
