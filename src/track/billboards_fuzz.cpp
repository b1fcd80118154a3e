// Fuzzes the "billboards" reader and writes the result back.
#include "track/billboards.h"
#include "track/objects_fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = objects_fuzz_put("billboards", data, size);
    if (path.empty())
        return 0;
    Array list;
    array_init(&list, sizeof(Billboard));
    billboards_read(&list, objects_fuzz_terrain(), path.c_str());
    billboards_write(&list, 0, (objects_fuzz_dir() + "/billboards.out").c_str());
    array_free(&list);
    objects_fuzz_done();
    return 0;
}
