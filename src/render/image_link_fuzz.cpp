// Fuzzes "LINK" files through the picture cache: the input is a picture file that may be a
// link; "@pic.ppm" is a picture and "@back" links to the input, so cycles are reachable.
#include <cstdint>

#include "files/fuzz_local.h"
#include "render/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    if (!ready) {
        const char pic[] = "P3 1 1 255 1 2 3\n", back[] = "LINK @in.link\n";
        fuzz_write("install/pic.ppm", reinterpret_cast<const uint8_t *>(pic), sizeof pic - 1);
        fuzz_write("install/back", reinterpret_cast<const uint8_t *>(back), sizeof back - 1);
        ready = true;
    }
    if (!fuzz_write("install/in.link", data, size))
        return 0;
    const Image *image = image_get("@in.link");
    if (image && image_get("@in.link") != image)
        __builtin_trap();
    image_free(image_load("@in.link"));
    images_clear();
    return 0;
}
