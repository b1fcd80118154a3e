// Test helpers of the track object tests: a scratch data home (XDG_DATA_HOME) with the
// picture, model and shape caches emptied around each test, a small sloped terrain and a
// minimal track directory that loads.
#pragma once

#include <string>
#include <vector>

#include "bike/shape.h"
#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "render/model.h"
#include "testsupport/testsupport.h"
#include "track/terrain.h"

struct DataHome {
    TempDir tmp;
    ScopedEnv xdg{"XDG_DATA_HOME", tmp.path.c_str()};
    ScopedEnv qz{"QZ_HOME", tmp.at("install").c_str()};
    DataHome() { reset(); }
    ~DataHome() { reset(); }
    static void reset() {
        data_reset();
        images_clear();
        models_clear();
        shapes_clear();
    }
    // A file below the home directory, found as "@" + relative.
    void put(const std::string &relative, const std::string &bytes) const {
        tmp.write("Rutmoor/" + relative, bytes);
    }
    std::string get(const std::string &relative) const {
        return read_whole_file(tmp.at("Rutmoor/" + relative));
    }
};

// A 2 x 2 grey-blue binary PPM picture.
inline std::string tiny_ppm() { return std::string("P6 2 2 255\n") + std::string(12, '\x60'); }

// A shape of one sphere of radius r at the origin.
inline std::string sphere_shape(float r) {
    return "1\n0 0 0 " + std::to_string(r) + " 1 1000 10\n";
}

// A terrain of 129 x 129 samples, spacing 1, rising 0.5 ft per ft along x.
struct SlopedTerrain {
    Terrain terrain = {};
    SlopedTerrain() {
        int size = 129;
        std::vector<float> heights(size_t(size) * size);
        for (int r = 0; r < size; r++)
            for (int c = 0; c < size; c++)
                heights[size_t(r) * size + c] = 0.5f * float(c);
        terrain_create(&terrain, 6, 1.0f, heights.data());
    }
    ~SlopedTerrain() { terrain_free(&terrain); }
};

// The files of a minimal track that loads: binary "terrain.hf" (flat at height 2),
// "shadingx2.ppm", "texturelist" and "tilemap".
inline void put_minimal_track(const DataHome &home, const std::string &dir) {
    int size = 129;
    std::string hf = "6 1.0 0 4\n:";
    hf += std::string(size_t(size) * size * 2, '\0');
    for (size_t k = 0; k < size_t(size) * size; k++)
        hf[11 + 2 * k + 1] = '\x80';   // 32768 of 65535: just above half way
    home.put(dir + "/terrain.hf", hf);
    home.put(dir + "/shadingx2.ppm",
             "P6 129 129 255\n" + std::string(size_t(size) * size * 3, '\x80'));
    home.put(dir + "/texturelist", "dirt.ppm\n");
    home.put(dir + "/tilemap", std::string(64 * 64, '\0'));
}

// The newest console line, "" when none.
inline std::string last_console_line() {
    const char *line = console_ring_line(0);
    return line ? line : "";
}

// A plain path that cannot be created: its directory is a file.
inline std::string unwritable_path(const DataHome &home, const std::string &file) {
    home.tmp.write("blocker", "a file, not a directory");
    return home.tmp.at("blocker/" + file);
}
