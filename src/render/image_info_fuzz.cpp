// Fuzzes the ".info" option text: the input is the sidecar file of a small RGBA picture
// whose chain is then built with whatever options (custom levels, maximum alpha) it names.
// The first byte picks the picture's height, so custom layouts of several shapes are met.
#include <cstdint>

#include "files/fuzz_local.h"
#include "render/image.h"
#include "render/png_write.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const int heights[4] = {6, 12, 3, 5};
    if (size < 1)
        return 0;
    fuzz_scratch_dir();   // before the first data call, so the data directories are the scratch ones
    uint8_t pixels[8 * 12 * 4];
    for (size_t i = 0; i < sizeof pixels; i++)
        pixels[i] = uint8_t(i * 29);
    if (!png_write("@info.png", 8, heights[data[0] & 3], 4, 8, pixels) ||
        !fuzz_write("install/info.png.info", data + 1, size - 1))
        return 0;
    images_clear();
    const Image *image = image_get("@info.png");
    if (!image || image->levels < 1)
        __builtin_trap();
    int w = 0, h = 0;
    image_level(image, image->levels - 1, &w, &h);
    if (w != 1 || h != 1)
        __builtin_trap();
    images_clear();
    return 0;
}
