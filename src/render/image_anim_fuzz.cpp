// Fuzzes the "ANIM1" sequence reader: the input is a ".seq" file whose frames are inline
// "K7" pictures or PNG names ("@frame.png" exists).
#include <cstdint>

#include "files/fuzz_local.h"
#include "render/image.h"
#include "render/png_write.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    if (!ready) {
        fuzz_scratch_dir();
        const uint8_t frame[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 1, 2, 3, 4};
        png_write("@frame.png", 2, 2, 4, 8, frame);
        ready = true;
    }
    if (!fuzz_write("install/in.seq", data, size))
        return 0;
    Image *image = image_load("@in.seq");
    if (image && image->anim) {
        const ImageAnim *anim = image->anim;
        for (int step = -3; step < 64; step++) {
            int shown = anim_image_at(anim, step);
            if (shown < 0 || shown >= anim->count)
                __builtin_trap();
        }
        if (int64_t(image->width) * image->height * anim->count <= 65536)
            image_build_chain(image);
    }
    image_free(image);
    return 0;
}
