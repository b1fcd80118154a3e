// Fuzzes the PNG reader: the input is a picture file read as 8-bit RGB/RGBA with its option
// text and as 16-bit grey samples.
#include <cstdint>
#include <cstdlib>

#include "files/fuzz_local.h"
#include "render/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_write("install/in.png", data, size))
        return 0;
    Image *image = image_read_png("@in.png");
    if (image && (image->components < 3 || image->components > 4 ||
                  image->width > IMAGE_MAX_SIDE || image->height > IMAGE_MAX_SIDE))
        __builtin_trap();
    image_free(image);
    int width = 0, height = 0;
    free(image_read_png16("@in.png", &width, &height));
    return 0;
}
