// Fuzzes the "lighting" reader and writes the result back; the clipping planes always end
// within their limits and the flares within their element count.
#include <cstdlib>

#include "track/lighting.h"
#include "track/objects_fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = objects_fuzz_put("lighting", data, size);
    if (path.empty())
        return 0;
    Lighting lighting = {};
    lighting_read(&lighting, path.c_str());
    if (!(lighting.near_plane >= LIGHTING_NEAR_MIN && lighting.near_plane <= LIGHTING_NEAR_MAX &&
          lighting.far_plane >= lighting.near_plane && lighting.far_plane <= LIGHTING_FAR_MAX))
        abort();
    for (int i = 0; i < lighting.flares.count; i++)
        if (array_get<Flare>(&lighting.flares, i)->element_count > FLARE_ELEMENTS_MAX)
            abort();
    lighting_write(&lighting, (objects_fuzz_dir() + "/lighting.out").c_str());
    lighting_free(&lighting);
    objects_fuzz_done();
    return 0;
}
