// Fuzzes the ".shp" part-shape reader: whatever it accepts must be a usable shape.
#include <cmath>
#include <cstdint>

#include "bike/shape.h"
#include "files/data.h"
#include "files/fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_write("install/in.shp", data, size))
        return 0;
    DataStream *stream = data_open("@in.shp", "rb");
    if (!stream)
        return 0;
    Shape *shape = shape_read(stream, "@in.shp");
    data_close(stream);
    if (shape && (shape->count < 1 || shape->count > SHAPE_MAX_SPHERES ||
                  !std::isfinite(shape->bounding_radius) || shape->bounding_radius < 0))
        __builtin_trap();
    shape_free(shape);
    return 0;
}
