// Fuzzes the predictive "K6"/"K7" reader and the mipmap chain built from what it reads.
#include <cstdint>

#include "files/fuzz_local.h"
#include "render/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_write("install/in.k7", data, size))
        return 0;
    Image *image = image_load("@in.k7");
    // Chains of small pictures only, to keep each run short.
    if (image && int64_t(image->width) * image->height <= 65536) {
        image_build_chain(image);
        int w = 0, h = 0;
        const uint8_t *last = image_level(image, image->levels - 1, &w, &h);
        if (!last || w != 1 || h != 1)
            __builtin_trap();
    }
    image_free(image);
    return 0;
}
