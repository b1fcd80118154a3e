// Fuzzes the "cameras" reader and writes the result back; every gate maps to a camera that
// exists or to none.
#include <cmath>
#include <cstdlib>

#include "track/cameras.h"
#include "track/objects_fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = objects_fuzz_put("cameras", data, size);
    if (path.empty())
        return 0;
    Cameras cameras = {};
    cameras_read(&cameras, objects_fuzz_terrain(), path.c_str());
    for (int camera : cameras.gate_camera)
        if (camera < -1 || camera >= cameras.list.count)
            abort();
    for (int i = 0; i < cameras.list.count; i++) {
        const Camera *c = array_get<Camera>(&cameras.list, i);
        if (!(c->fov >= 0) || !(c->autofovsize >= 0) || !std::isfinite(c->pos.y))
            abort();
    }
    cameras_write(&cameras, (objects_fuzz_dir() + "/cameras.out").c_str());
    cameras_free(&cameras);
    objects_fuzz_done();
    return 0;
}
