// Fuzzes the PPM and PGM readers, text and binary: the input is read as a PPM, as a PGM and
// through the magic-word dispatch.
#include <cstdint>

#include "files/data.h"
#include "files/fuzz_local.h"
#include "render/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_write("install/in.ppm", data, size))
        return 0;
    for (int components = 1; components <= 3; components += 2) {
        DataStream *stream = data_open("@in.ppm", "rb");
        if (!stream)
            return 0;
        Image *image = components == 1 ? image_read_pgm(stream) : image_read_ppm(stream);
        if (image && image->components != components)
            __builtin_trap();
        image_free(image);
        data_close(stream);
    }
    image_free(image_load("@in.ppm"));
    return 0;
}
