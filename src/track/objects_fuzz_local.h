// Shared set-up of the track object fuzz targets: the fuzzers' scratch data directory so that
// names in the input never reach the user's files, the input written to a plain file in its
// installation directory, and a small sloped terrain for the objects to stand on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bike/shape.h"
#include "files/fuzz_local.h"
#include "render/image.h"
#include "render/model.h"
#include "track/terrain.h"

// The scratch installation directory, where the inputs and what is written back from them go.
inline const std::string &objects_fuzz_dir() {
    static std::string dir = fuzz_scratch_dir() + "/install";
    return dir;
}

// Writes the input to dir/file and returns its plain path ("" when it cannot be written).
inline std::string objects_fuzz_put(const char *file, const uint8_t *data, size_t size) {
    if (!fuzz_write(std::string("install/") + file, data, size))
        return "";
    return objects_fuzz_dir() + "/" + file;
}

// A 129 x 129 field, spacing 2, rising along x and z; made once.
inline const Terrain *objects_fuzz_terrain() {
    static Terrain terrain = [] {
        Terrain t = {};
        std::vector<float> heights(129 * 129);
        for (int r = 0; r < 129; r++)
            for (int c = 0; c < 129; c++)
                heights[r * 129 + c] = 0.25f * c + 0.1f * r;
        terrain_create(&t, 6, 2.0f, heights.data());
        return t;
    }();
    return &terrain;
}

// Empties the picture, model and shape caches after an input, so that every input starts
// alike and nothing cached is left for the leak check at exit.
inline void objects_fuzz_done() {
    images_clear();
    models_clear();
    shapes_clear();
}
