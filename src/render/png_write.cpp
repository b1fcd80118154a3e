// The PNG writer: libpng with write callbacks into a data stream, so '@' names land in the
// home directory like every other file the game writes. No time chunk is written, so equal
// pixels give byte-equal files.
#include "render/png_write.h"

#include <bit>
#include <csetjmp>
#include <cstdint>
#include <vector>

#include <png.h>

#include "files/data.h"

namespace {

struct PngSink {
    DataStream *stream;
    int failed;   // a short write happened
};

void png_sink_write(png_structp png, png_bytep bytes, png_size_t length)
{
    PngSink *sink = static_cast<PngSink *>(png_get_io_ptr(png));
    if (sink->failed)
        return;
    if (length > 0x7fffffff || data_write(sink->stream, bytes, int(length)) != int(length))
        sink->failed = 1;
}

void png_sink_flush(png_structp png)
{
    data_flush(static_cast<PngSink *>(png_get_io_ptr(png))->stream);
}

// libpng reports through longjmp; the callers only want success or failure.
void png_quiet_error(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void png_quiet_warning(png_structp, png_const_charp) {}

// Everything that touches libpng lives here so that no C++ object with a destructor sits
// in a frame that longjmp leaves.
int png_write_stream(PngSink *sink, int width, int height, int channels, int bit_depth,
                     png_bytep *rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error,
                                              png_quiet_warning);
    if (!png)
        return 0;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    static const int colour_types[4] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                        PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_write_fn(png, sink, png_sink_write, png_sink_flush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bit_depth,
                 colour_types[channels - 1], PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // PNG keeps 16-bit samples most significant byte first.
    if (bit_depth == 16 && std::endian::native == std::endian::little)
        png_set_swap(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return sink->failed ? 0 : 1;
}

}   // namespace

int png_write(const char *name, int width, int height, int channels, int bit_depth,
              const void *pixels)
{
    if (!name || !pixels || width <= 0 || height <= 0 || channels < 1 || channels > 4 ||
        (bit_depth != 8 && bit_depth != 16))
        return 0;
    // PNG allows 2^31-1 per side; keep the row size within an int as well.
    const int64_t row_bytes = int64_t(width) * channels * (bit_depth / 8);
    if (row_bytes > 0x7fffffff)
        return 0;
    DataStream *stream = data_open(name, "wb");
    if (!stream)
        return 0;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    const png_byte *base = static_cast<const png_byte *>(pixels);
    for (int y = 0; y < height; y++)
        rows[size_t(y)] = const_cast<png_bytep>(base + size_t(row_bytes) * size_t(y));
    PngSink sink = {stream, 0};
    int ok = png_write_stream(&sink, width, height, channels, bit_depth, rows.data());
    data_close(stream);
    return ok;
}
