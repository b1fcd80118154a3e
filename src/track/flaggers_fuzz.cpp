// Fuzzes the "flaggers" reader and writes the result back; every gate index stays within
// -1 .. gate_count - 1 and every billboard index is in the list.
#include <cstdlib>

#include "track/billboards.h"
#include "track/flaggers.h"
#include "track/objects_fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = objects_fuzz_put("flaggers", data, size);
    if (path.empty())
        return 0;
    const int gate_count = 5;
    Flaggers flaggers = {};
    Array billboards;
    array_init(&billboards, sizeof(Billboard));
    flaggers_read(&flaggers, &billboards, objects_fuzz_terrain(), gate_count, path.c_str());
    for (int i = 0; i < flaggers.list.count; i++) {
        const Flagger *f = array_get<Flagger>(&flaggers.list, i);
        if (f->billboard < 0 || f->billboard >= billboards.count)
            abort();
        for (int gate : f->gates)
            if (gate < -1 || gate >= gate_count)
                abort();
    }
    flaggers_write(&flaggers, (objects_fuzz_dir() + "/flaggers.out").c_str());
    flaggers_free(&flaggers);
    array_free(&billboards);
    objects_fuzz_done();
    return 0;
}
