// The header-and-samples picture formats: PPM ("P6" binary, "P3" text), PGM ("P5", "P2")
// and the predictive "K6"/"K7" format, whose samples are deltas (modulo 256) from a
// gradient prediction: left + above - above-left, limited to 0 .. 255.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/common.h"
#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "render/image_local.h"

void image_skip_comments(DataStream *stream)
{
    char hash[2];
    while (data_scan(stream, " %1[#]%*[^\n]", hash) == 1) {
    }
}

namespace {

int pnm_scan_int(DataStream *stream, int *value)
{
    image_skip_comments(stream);
    return data_scan(stream, "%d", value) == 1;
}

}   // namespace

Image *pnm_read_body(DataStream *stream, int binary, int components)
{
    const char *kind = components == 1 ? "PGM" : "PPM";
    int width = 0, height = 0, maxval = 0;
    if (!pnm_scan_int(stream, &width) || !pnm_scan_int(stream, &height) ||
        !image_size_ok(width, height)) {
        console_printf("Can't get %s dimensions", kind);
        return nullptr;
    }
    if (!pnm_scan_int(stream, &maxval) || maxval < 1 || maxval > 65535) {
        console_printf("Can't parse %s header", kind);
        return nullptr;
    }
    data_getc(stream);   // the one separator byte

    Image *image = image_alloc(width, height, components,
                               components == 1 ? IMAGE_FORMAT_PGM : IMAGE_FORMAT_PPM);
    const int row_samples = width * components;
    const int sample_bytes = maxval > 255 ? 2 : 1;   // wide samples: high byte first
    std::vector<uint8_t> row(size_t(row_samples) * size_t(sample_bytes));
    int rows_allocated = 0;
    for (int y = 0; y < height; y++) {
        if (binary && data_read(stream, row.data(), int(row.size())) != int(row.size())) {
            console_printf("Can't read %s data", kind);
            image_free(image);
            return nullptr;
        }
        uint8_t *out = image_row(image, y, &rows_allocated);
        for (int i = 0; i < row_samples; i++) {
            int v;
            if (!binary) {
                if (data_scan(stream, "%d", &v) != 1) {
                    console_printf("Can't read %s data", kind);
                    image_free(image);
                    return nullptr;
                }
            } else if (sample_bytes == 2) {
                v = row[size_t(2 * i)] << 8 | row[size_t(2 * i + 1)];
            } else {
                v = row[size_t(i)];
            }
            v = std::clamp(v, 0, maxval);
            if (maxval != 255)
                v = (v * 255 + maxval / 2) / maxval;
            out[i] = uint8_t(v);
        }
    }
    return image;
}

namespace {

Image *pnm_read(DataStream *stream, int components)
{
    const char *kind = components == 1 ? "PGM" : "PPM";
    const char *binary_magic = components == 1 ? "P5" : "P6";
    const char *text_magic = components == 1 ? "P2" : "P3";
    char magic[16] = "";
    if (!stream || data_scan(stream, "%15s", magic) != 1 ||
        (strcmp(magic, binary_magic) != 0 && strcmp(magic, text_magic) != 0)) {
        console_printf("Can't parse %s header", kind);
        return nullptr;
    }
    return pnm_read_body(stream, strcmp(magic, binary_magic) == 0, components);
}

inline int predict(const uint8_t *p, int x, int y, int stride, int components)
{
    if (x == 0 && y == 0)
        return 0;
    if (y == 0)
        return p[-components];
    if (x == 0)
        return p[-stride];
    return std::clamp(p[-components] + p[-stride] - p[-stride - components], 0, 255);
}

}   // namespace

Image *image_read_ppm(DataStream *stream)
{
    return pnm_read(stream, 3);
}

Image *image_read_pgm(DataStream *stream)
{
    return pnm_read(stream, 1);
}

Image *image_read_predictive(DataStream *stream, int components)
{
    int width = 0, height = 0;
    if (!stream || (components != 3 && components != 4) || !pnm_scan_int(stream, &width) ||
        !pnm_scan_int(stream, &height) || !image_size_ok(width, height)) {
        console_printf("Can't get K%d dimensions", components + 3);
        return nullptr;
    }
    data_getc(stream);   // the one separator byte
    Image *image = image_alloc(width, height, components, IMAGE_FORMAT_PREDICTIVE);
    const int stride = width * components;
    int rows_allocated = 0;
    for (int y = 0; y < height; y++) {
        uint8_t *row = image_row(image, y, &rows_allocated);
        if (data_read(stream, row, stride) != stride) {
            console_printf("Can't read K%d data", components + 3);
            image_free(image);
            return nullptr;
        }
        for (int x = 0; x < width; x++)
            for (int c = 0; c < components; c++) {
                uint8_t *p = row + x * components + c;
                *p = uint8_t(*p + predict(p, x, y, stride, components));
            }
    }
    return image;
}

int image_write_predictive(const char *name, int width, int height, int components,
                           const uint8_t *pixels)
{
    if (!name || !pixels || (components != 3 && components != 4) ||
        !image_size_ok(width, height))
        return 0;
    DataStream *stream = data_open(name, "wb");
    if (!stream)
        return 0;
    const int stride = width * components;
    std::vector<uint8_t> deltas(static_cast<size_t>(stride));
    int ok = data_printf(stream, "K%d\n%d %d\n", components + 3, width, height) > 0;
    for (int y = 0; ok && y < height; y++) {
        const uint8_t *row = pixels + size_t(y) * size_t(stride);
        for (int x = 0; x < width; x++)
            for (int c = 0; c < components; c++) {
                const uint8_t *p = row + x * components + c;
                deltas[size_t(x * components + c)] =
                    uint8_t(*p - predict(p, x, y, stride, components));
            }
        ok = data_write(stream, deltas.data(), stride) == stride;
    }
    data_close(stream);
    return ok;
}
