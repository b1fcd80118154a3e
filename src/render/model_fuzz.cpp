// Fuzzes the ".jm" model reader: every mesh read is skinned with identity bones and
// exported, which touches every index the reader accepted.
#include <cstdint>

#include "files/data.h"
#include "files/fuzz_local.h"
#include "render/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static float centres[3 * MODEL_MAX_BONES], translations[3 * MODEL_MAX_BONES],
        rotations[9 * MODEL_MAX_BONES];
    if (rotations[0] == 0)
        for (int b = 0; b < MODEL_MAX_BONES; b++)
            rotations[9 * b] = rotations[9 * b + 4] = rotations[9 * b + 8] = 1;
    if (!fuzz_write("install/in.jm", data, size))
        return 0;
    DataStream *stream = data_open("@in.jm", "rb");
    if (!stream)
        return 0;
    Model *model = model_read(stream, "@in.jm");
    data_close(stream);
    for (Model *mesh = model; mesh; mesh = mesh->next_mesh)
        model_skin(mesh, MODEL_MAX_BONES, centres, translations, rotations);
    if (model) {
        DataStream *out = data_open("/dev/null", "wb");
        if (out) {
            model_write_pov(model, out);
            data_close(out);
        }
    }
    model_free(model);
    return 0;
}
