// Fuzzes the "decals" reader (pictures named by the input are looked for in the scratch
// home, where the one decodable picture is "@d.ppm") and writes the decals back.
#include <cstdlib>
#include <filesystem>

#include "track/decals.h"
#include "track/objects_fuzz_local.h"
#include "track/track.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool made = [] {
        std::string home = fuzz_scratch_dir() + "/user/Rutmoor";
        std::filesystem::create_directories(home);
        FILE *f = fopen((home + "/d.ppm").c_str(), "wb");
        if (!f)
            return false;
        fputs("P6 1 1 255\n\x40\x50\x60", f);
        fclose(f);
        track_configure(0, 3, 1);   // look for normal and specular maps too
        return true;
    }();
    (void)made;
    if (objects_fuzz_put("decals", data, size).empty())
        return 0;
    Terrain terrain = {};
    terrain.world_size = 256;
    decals_read(&terrain, objects_fuzz_dir().c_str());
    for (const Array &bucket : terrain.decal_buckets)
        for (int k = 0; k < bucket.count; k++)
            if (*array_get<int>(&bucket, k) < 0 || *array_get<int>(&bucket, k) >= terrain.decals.count)
                abort();
    decals_write(&terrain.decals, (objects_fuzz_dir() + "/decals.out").c_str());
    terrain_free(&terrain);
    objects_fuzz_done();
    return 0;
}
