// Fuzzes the "tileinfo" reader, then asks every type read for its grip and resistance.
#include <cmath>
#include <cstdlib>

#include "track/terrain.h"
#include "track/terrain_fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_put("tileinfo", data, size)) return 0;
    DataStream *s = data_open(fuzz_path("tileinfo").c_str(), "rb");
    if (!s) return 0;
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    tileinfo_read(t, s);
    data_close(s);
    if (t->surface_count < 0 || t->surface_count > SURFACE_MAX) abort();
    for (int k = 0; k < t->surface_count; k++) {
        const Surface &surface = t->surfaces[k];
        for (float speed : {0.0f, 1.0f, 12.5f, 1e4f, INFINITY}) {
            float grip = surface_friction(&surface, speed * speed);
            RollResist rr = surface_roll_resist(&surface, speed);
            if (grip < 0.0f || rr.low < 0.0f || rr.high < 0.0f) abort();
        }
    }
    terrain_free(t);
    free(t);
    return 0;
}
