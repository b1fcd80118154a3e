// Fuzzes the "tilemap" reader: the first byte is the number of surface types, the rest the
// map of a 64 x 64 tile field. Every tile must name a type of the table afterwards.
#include <cstdlib>

#include "track/terrain.h"
#include "track/terrain_fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || !fuzz_put("tilemap", data + 1, size - 1)) return 0;
    static Terrain *t = [] {
        Terrain *made = (Terrain *)calloc(1, sizeof(Terrain));
        if (!terrain_create(made, 6, 1.0f, nullptr)) abort();
        return made;
    }();
    t->surface_count = data[0] == 255 ? 256 : data[0];
    DataStream *s = data_open(fuzz_path("tilemap").c_str(), "rb");
    if (!s) return 0;
    tilemap_read(t, s);
    data_close(s);
    int limit = t->surface_count > 0 ? t->surface_count : 1;
    for (int k = 0; k < 64 * 64; k++)
        if (t->tilemap[k] >= limit) abort();
    for (float x = -3.0f; x < 140.0f; x += 7.3f)
        if (surface_at(t, x, 140.0f - x) >= limit) abort();
    return 0;
}
