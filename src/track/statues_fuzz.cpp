// Fuzzes the "statues" reader, files the statues into the buckets and writes them back.
#include <cstdlib>

#include "track/objects_fuzz_local.h"
#include "track/statues.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = objects_fuzz_put("statues", data, size);
    if (path.empty())
        return 0;
    Array list;
    array_init(&list, sizeof(Statue));
    const Terrain *terrain = objects_fuzz_terrain();
    statues_read(&list, terrain, path.c_str());
    StatueBuckets buckets = {};
    statue_buckets_build(&buckets, &list, terrain);
    for (const Array &cell : buckets.cells)
        for (int k = 0; k < cell.count; k++)
            if (*array_get<int>(&cell, k) < 0 || *array_get<int>(&cell, k) >= list.count)
                abort();
    statue_bucket_at(&buckets, terrain, 1e30f, -1e30f);
    statues_write(&list, 0, (objects_fuzz_dir() + "/statues.out").c_str());
    statue_buckets_free(&buckets);
    array_free(&list);
    objects_fuzz_done();
    return 0;
}
