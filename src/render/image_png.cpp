// PNG reading through data streams: 8-bit RGB/RGBA pictures with their option text, and
// 16-bit grey samples for height images. libpng's own limits are set to our picture limit
// and a 1 MB chunk limit, so compressed text and huge headers cannot exhaust memory.
#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>

#include <png.h>

#include "common/common.h"
#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "render/image_local.h"

namespace {

// Everything a decode owns, so that the longjmp error path can free it.
struct PngRead {
    DataStream *stream;
    png_structp png;
    png_infop info;
    png_bytep *rows;      // xmalloc'd row pointers
    uint8_t *pixels;      // xmalloc'd samples
    int width, height;
    int channels;
    int bytes_per_sample;
    std::string *text;    // collected text chunks (8-bit reads only)
};

void png_source_read(png_structp png, png_bytep bytes, png_size_t length)
{
    DataStream *stream = static_cast<DataStream *>(png_get_io_ptr(png));
    if (length > 0x7fffffff || data_read(stream, bytes, int(length)) != int(length))
        png_error(png, "truncated");
}

void png_quiet_error(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void png_quiet_warning(png_structp, png_const_charp) {}

// libpng's own buffers (rows, chunk data, inflate state) never need more than a few MB for
// a picture within our limits, but a chunk that claims gigabytes makes it ask for them:
// refuse, which libpng reports as an error.
constexpr size_t PNG_OWN_ALLOCATION_MAX = size_t(16) << 20;

png_voidp png_capped_malloc(png_structp, png_alloc_size_t size)
{
    return size <= PNG_OWN_ALLOCATION_MAX ? malloc(size) : nullptr;
}

void png_capped_free(png_structp, png_voidp block)
{
    free(block);
}

void png_read_free(PngRead *r)
{
    if (r->png)
        png_destroy_read_struct(&r->png, r->info ? &r->info : nullptr, nullptr);
    free(r->rows);
    r->rows = nullptr;
}

void png_collect_text(PngRead *r)
{
    png_textp text = nullptr;
    int count = 0;
    png_get_text(r->png, r->info, &text, &count);
    for (int i = 0; i < count; i++) {
        if (!text[i].text)
            continue;
        size_t room = size_t(IMAGE_INFO_MAX) - r->text->size();
        r->text->append(text[i].text, std::min(room, strlen(text[i].text)));
    }
}

// Decodes into r->pixels. mode 8: 8-bit RGB/RGBA. mode 16: 16-bit grey. Returns 1 on
// success; on failure everything is freed by the caller through png_read_free and
// r->pixels.
int png_decode(PngRead *r, int mode)
{
    r->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error,
                                      png_quiet_warning, nullptr, png_capped_malloc,
                                      png_capped_free);
    if (!r->png)
        return 0;
    r->info = png_create_info_struct(r->png);
    if (!r->info)
        return 0;
    if (setjmp(png_jmpbuf(r->png)))
        return 0;
    png_set_read_fn(r->png, r->stream, png_source_read);
    png_set_user_limits(r->png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
    png_set_chunk_malloc_max(r->png, 1 << 20);
    png_read_info(r->png, r->info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(r->png, r->info, &width, &height, &depth, &colour, &interlace, nullptr,
                 nullptr);
    if (!image_size_ok(int(width), int(height)) || width > IMAGE_MAX_SIDE ||
        height > IMAGE_MAX_SIDE)
        return 0;
    if (mode == 8) {
        // Palette to RGB, grey below 8 bits widened, tRNS to alpha, then grey to RGB.
        png_set_expand(r->png);
        png_set_strip_16(r->png);
        png_set_gray_to_rgb(r->png);
    } else {
        if (colour == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(r->png);
        if (colour & PNG_COLOR_MASK_COLOR || colour == PNG_COLOR_TYPE_PALETTE)
            png_set_rgb_to_gray_fixed(r->png, 1, -1, -1);
        // A palette's transparency chunk becomes alpha as the palette expands: dropped too.
        if (colour & PNG_COLOR_MASK_ALPHA || png_get_valid(r->png, r->info, PNG_INFO_tRNS))
            png_set_strip_alpha(r->png);
        if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
            png_set_expand_gray_1_2_4_to_8(r->png);
        if (depth == 16 && std::endian::native == std::endian::little)
            png_set_swap(r->png);
    }
    if (interlace != PNG_INTERLACE_NONE)
        png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);

    r->width = int(width);
    r->height = int(height);
    r->channels = png_get_channels(r->png, r->info);
    r->bytes_per_sample = png_get_bit_depth(r->png, r->info) == 16 ? 2 : 1;
    const size_t row_bytes = png_get_rowbytes(r->png, r->info);
    if (mode == 8 && (r->channels < 3 || r->channels > 4 || r->bytes_per_sample != 1))
        return 0;
    if (mode == 16 && r->channels != 1)
        return 0;
    if (row_bytes != size_t(r->width) * size_t(r->channels * r->bytes_per_sample))
        return 0;
    if (interlace != PNG_INTERLACE_NONE) {
        // Interlaced passes revisit every row: the whole picture is needed at once.
        r->pixels = static_cast<uint8_t *>(xmalloc(row_bytes * size_t(r->height)));
        r->rows = static_cast<png_bytep *>(xmalloc(sizeof(png_bytep) * size_t(r->height)));
        for (int y = 0; y < r->height; y++)
            r->rows[y] = r->pixels + row_bytes * size_t(y);
        png_read_image(r->png, r->rows);
    } else {
        // Rows are allocated as they arrive, so a short file claiming a huge picture
        // fails before it costs much memory.
        int rows_allocated = 0;
        for (int y = 0; y < r->height; y++) {
            if (y >= rows_allocated) {
                rows_allocated = std::min(r->height, std::max({y + 1, rows_allocated * 2, 16}));
                r->pixels = static_cast<uint8_t *>(
                    xrealloc(r->pixels, row_bytes * size_t(rows_allocated)));
            }
            png_read_row(r->png, r->pixels + row_bytes * size_t(y), nullptr);
        }
    }
    // Only the option text lies after the image data: height samples stay readable when a
    // damaged tail follows them.
    if (r->text) {
        png_read_end(r->png, r->info);
        png_collect_text(r);
    }
    return 1;
}

// The contents of name + ".info", appended to the option text (cut at IMAGE_INFO_MAX).
void png_info_file(const char *name, std::string *text)
{
    std::string info_name = std::string(name) + ".info";
    DataStream *stream = data_open(info_name.c_str(), "rb");
    if (!stream)
        return;
    char buffer[4096];
    int got;
    while (text->size() < size_t(IMAGE_INFO_MAX) &&
           (got = data_read(stream, buffer, sizeof buffer)) > 0)
        text->append(buffer, std::min(size_t(got), size_t(IMAGE_INFO_MAX) - text->size()));
    data_close(stream);
}

}   // namespace

Image *png_read(const char *name)
{
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return nullptr;
    std::string text;
    PngRead r = {};
    r.stream = stream;
    r.text = &text;
    int ok = png_decode(&r, 8);
    png_read_free(&r);
    data_close(stream);
    if (!ok) {
        free(r.pixels);
        console_printf("Can't decode PNG '%.900s'", name);
        return nullptr;
    }
    png_info_file(name, &text);
    Image *image = image_alloc(r.width, r.height, r.channels, IMAGE_FORMAT_PNG);
    image->pixels = r.pixels;
    free(const_cast<char *>(image->info));
    image->info = xstrdup(text.c_str());
    return image;
}

Image *image_read_png(const char *name)
{
    return name ? png_read(name) : nullptr;
}

uint16_t *image_read_png16(const char *name, int *width, int *height)
{
    if (!name)
        return nullptr;
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return nullptr;
    PngRead r = {};
    r.stream = stream;
    int ok = png_decode(&r, 16);
    png_read_free(&r);
    data_close(stream);
    if (!ok) {
        free(r.pixels);
        return nullptr;
    }
    const size_t count = size_t(r.width) * size_t(r.height);
    uint16_t *samples;
    if (r.bytes_per_sample == 2) {
        samples = reinterpret_cast<uint16_t *>(r.pixels);
    } else {
        samples = static_cast<uint16_t *>(xmalloc(count * sizeof(uint16_t)));
        for (size_t i = 0; i < count; i++)
            samples[i] = uint16_t(r.pixels[i] * 257);
        free(r.pixels);
    }
    *width = r.width;
    *height = r.height;
    return samples;
}
