// Shared set-up of the race fuzz targets: a scratch data home (so that names in the input
// never reach the user's files) holding a one-track data directory, and the input written
// to a plain file there.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/data.h"
#include "track/track.h"

// The scratch directory, made on first use and removed at exit, with an empty track "t" so
// that the track list names one track.
inline const std::string &race_fuzz_dir() {
    static char made[] = "/tmp/rutmoor-race-fuzz-XXXXXX";
    static std::string dir = [] {
        if (!mkdtemp(made))
            return std::string("/tmp");
        atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(made, ec);
        });
        setenv("XDG_DATA_HOME", made, 1);
        setenv("QZ_HOME", made, 1);
        std::filesystem::create_directories(std::string(made) + "/t");
        FILE *f = fopen((std::string(made) + "/t/terrain.hf").c_str(), "wb");
        if (f)
            fclose(f);
        data_reset();
        tracks_scan();
        return std::string(made);
    }();
    return dir;
}

// Writes the input to the scratch directory and opens it; null when that fails.
inline DataStream *race_fuzz_open(const char *file, const uint8_t *data, size_t size) {
    std::string path = race_fuzz_dir() + "/" + file;
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return nullptr;
    fwrite(data, 1, size, f);
    fclose(f);
    return data_open(path.c_str(), "rb");
}
