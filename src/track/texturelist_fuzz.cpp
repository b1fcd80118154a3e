// Fuzzes the old-style "texturelist" reader, then asks every type read for its grip.
#include <cmath>
#include <cstdlib>

#include "track/terrain.h"
#include "track/terrain_fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_put("texturelist", data, size)) return 0;
    DataStream *s = data_open(fuzz_path("texturelist").c_str(), "rb");
    if (!s) return 0;
    Terrain *t = (Terrain *)calloc(1, sizeof(Terrain));
    texturelist_read(t, s);
    data_close(s);
    if (t->surface_count < 0 || t->surface_count > SURFACE_MAX) abort();
    for (int k = 0; k < t->surface_count; k++) {
        if (!t->surfaces[k].texture_name || t->surfaces[k].texture_name[0] != '@') abort();
        if (surface_friction(&t->surfaces[k], 100.0f) < 0.0f) abort();
        RollResist rr = surface_roll_resist(&t->surfaces[k], 10.0f);
        if (rr.low < 0.0f || rr.high < 0.0f) abort();
    }
    terrain_free(t);
    free(t);
    return 0;
}
