// Picture files by data name: the format decided by the first word of the file, "ANIM1"
// sequences, "LINK" files, and the name rules (wrap suffixes, normal and specular map names).
#include "render/image.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/common.h"
#include "common/console.h"
#include "files/data.h"
#include "render/image_local.h"

Image *image_alloc(int width, int height, int components, int format)
{
    Image *image = static_cast<Image *>(xcalloc(1, sizeof(Image)));
    image->name = "";
    image->info = xstrdup("");
    image->width = image->read_width = width;
    image->height = image->read_height = height;
    image->components = components;
    image->levels = 1;
    image->format = format;
    return image;
}

uint8_t *image_row(Image *image, int y, int *rows_allocated)
{
    const size_t row_bytes = size_t(image->width) * size_t(image->components);
    if (y >= *rows_allocated) {
        const int rows = std::min(image->height, std::max({y + 1, *rows_allocated * 2, 16}));
        image->pixels = static_cast<uint8_t *>(xrealloc(image->pixels, size_t(rows) * row_bytes));
        *rows_allocated = rows;
    }
    return image->pixels + size_t(y) * row_bytes;
}

int image_size_ok(int width, int height)
{
    return width >= 1 && height >= 1 && width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE;
}

void image_free(Image *image)
{
    if (!image)
        return;
    if (ImageAnim *anim = image->anim) {
        for (int i = 0; i < anim->count; i++)
            image_free(anim->images[i]);
        free(anim->images);
        free(anim->sequence);
        free(anim);
    }
    free(image->pixels);
    free(const_cast<char *>(image->info));
    free(image);
}

namespace {

void trim(char *text)
{
    char *start = text;
    while (*start && isspace(static_cast<unsigned char>(*start)))
        start++;
    size_t length = strlen(start);
    while (length > 0 && isspace(static_cast<unsigned char>(start[length - 1])))
        length--;
    memmove(text, start, length);
    text[length] = 0;
}

// Reads the sequence after its "ANIM1" word; null (after saying why) when anything is wrong.
Image *anim_read(DataStream *stream)
{
    int length = 0, count = 0, step_time = 0, loop = 0;
    if (data_scan(stream, "%d %d %d %d", &length, &count, &step_time, &loop) != 4 ||
        length < 1 || length > IMAGE_ANIM_MAX_LENGTH || count < 1 ||
        count > IMAGE_ANIM_MAX_IMAGES) {
        console_print("EOF while reading .seq");
        return nullptr;
    }
    ImageAnim *anim = static_cast<ImageAnim *>(xcalloc(1, sizeof(ImageAnim)));
    anim->length = length;
    anim->step_time = step_time;
    anim->loop = loop;
    anim->sequence = static_cast<int *>(xcalloc(size_t(length), sizeof(int)));
    anim->images = static_cast<Image **>(xcalloc(size_t(count), sizeof(Image *)));
    Image *owner = image_alloc(0, 0, 0, IMAGE_FORMAT_ANIM);
    owner->anim = anim;

    for (int i = 0; i < length; i++) {
        if (data_scan(stream, "%d ", &anim->sequence[i]) != 1) {
            console_print("EOF while reading .seq");
            image_free(owner);
            return nullptr;
        }
        if (anim->sequence[i] < 0 || anim->sequence[i] >= count) {
            console_printf("Bad image index %d reading .seq", anim->sequence[i]);
            image_free(owner);
            return nullptr;
        }
    }
    int64_t bytes = 0;
    for (int i = 0; i < count; i++) {
        char word[16] = "";
        Image *frame = nullptr;
        if (data_scan(stream, " %15s", word) != 1) {
            console_print("EOF while reading .seq");
        } else if (strcmp(word, "K7") == 0) {
            frame = image_read_predictive(stream, 4);
            if (!frame)
                console_print("EOF while reading .seq");
        } else if (strcmp(word, "PNG") == 0) {
            char png_name[1024] = "";
            if (data_scan(stream, " %1023[^\n]", png_name) != 1) {
                console_print("EOF while reading .seq");
            } else {
                trim(png_name);
                frame = png_read(png_name);
                if (!frame)
                    console_printf("Can't read %.900s", png_name);
            }
        } else {
            console_printf("Error reading .seq frame %d", i);
        }
        if (!frame) {
            image_free(owner);
            return nullptr;
        }
        anim->images[anim->count++] = frame;
        Image *first = anim->images[0];
        bytes += int64_t(frame->width) * frame->height * frame->components;
        const char *mismatch = nullptr;
        if (frame->width != first->width || frame->height != first->height)
            mismatch = "Width/height mismatch reading .seq";
        else if (frame->components != first->components)
            mismatch = "Depth mismatch reading .seq";
        else if (bytes > IMAGE_ANIM_MAX_BYTES)
            mismatch = "Too many pixels reading .seq";
        if (mismatch) {
            console_print(mismatch);
            image_free(owner);
            return nullptr;
        }
    }
    const Image *shown = anim->images[anim->sequence[0]];
    owner->width = owner->read_width = shown->width;
    owner->height = owner->read_height = shown->height;
    owner->components = shown->components;
    const size_t size = size_t(shown->width) * size_t(shown->height) * size_t(shown->components);
    owner->pixels = static_cast<uint8_t *>(xmalloc(size));
    memcpy(owner->pixels, shown->pixels, size);
    return owner;
}

// Link target: the rest of the file, up to 1023 bytes, without surrounding whitespace.
void link_read(DataStream *stream, std::string *link)
{
    char target[1024];
    int got = data_read(stream, target, 1023);
    target[std::max(got, 0)] = 0;
    trim(target);
    *link = target;
}

}   // namespace

Image *image_read_file(const char *name, std::string *link)
{
    link->clear();
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return nullptr;
    char word[16] = "";
    data_scan(stream, "%15s", word);
    Image *image = nullptr;
    int as_png = 0;
    if (strcmp(word, "K7") == 0 || strcmp(word, "K6") == 0) {
        image = image_read_predictive(stream, word[1] == '7' ? 4 : 3);
    } else if (strcmp(word, "P6") == 0 || strcmp(word, "P3") == 0) {
        image = pnm_read_body(stream, word[1] == '6', 3);
    } else if (strcmp(word, "P5") == 0 || strcmp(word, "P2") == 0) {
        image = pnm_read_body(stream, word[1] == '5', 1);
    } else if (strcmp(word, "ANIM1") == 0) {
        image = anim_read(stream);
        as_png = !image;   // a broken sequence falls back to the picture reader
    } else if (strcmp(word, "LINK") == 0) {
        link_read(stream, link);
        if (link->empty())
            console_printf("Empty link '%.900s'", name);
    } else {
        as_png = 1;
    }
    data_close(stream);
    if (as_png)
        image = png_read(name);
    if (image)
        image->name = intern_string(name);
    return image;
}

Image *image_load(const char *name)
{
    if (!name)
        return nullptr;
    std::string current = name, link;
    for (int depth = 0; depth <= IMAGE_LINK_DEPTH; depth++) {
        Image *image = image_read_file(current.c_str(), &link);
        if (link.empty())
            return image;
        current = link;
    }
    console_printf("Too many links reading '%.900s'", name);
    return nullptr;
}

void image_expand_grey(Image *image)
{
    if (image->components != 1 || image->levels != 1)
        return;
    const size_t count = size_t(image->width) * size_t(image->height);
    uint8_t *rgb = static_cast<uint8_t *>(xmalloc(count * 3));
    for (size_t i = 0; i < count; i++)
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = image->pixels[i];
    free(image->pixels);
    image->pixels = rgb;
    image->components = 3;
}

int image_wrap_flags(const char *name)
{
    if (!name)
        return 0;
    int flags = 0;
    if (strstr(name, "-hrepeat."))
        flags |= IMAGE_REPEAT_H;
    if (strstr(name, "-vrepeat."))
        flags |= IMAGE_REPEAT_V;
    if (strstr(name, "-repeat."))
        flags |= IMAGE_REPEAT_H | IMAGE_REPEAT_V;
    return flags;
}

int image_has_option(const Image *image, const char *option)
{
    return image && image->info && option && strstr(image->info, option) != nullptr;
}

int anim_image_at(const ImageAnim *anim, int step)
{
    const int step_time = std::max(anim->step_time, 1);
    int entry = step > 0 ? step / step_time : 0;
    entry = anim->loop ? entry % anim->length : std::min(entry, anim->length - 1);
    return anim->sequence[entry];
}

int image_map_names(const char *name, const char *suffix, char out[3][1024])
{
    static const char *const endings[3] = {".seq", ".png", ".ppm"};
    if (!name || !suffix)
        return 0;
    const char *slash = strrchr(name, '/');
    const char *file = slash ? slash + 1 : name;
    const char *dot = strrchr(file, '.');
    if (!dot)
        return 0;
    const char *repeat = strstr(file, "-repeat.");
    const size_t stem = size_t((repeat ? repeat : dot) - name);
    for (int i = 0; i < 3; i++) {
        int n = snprintf(out[i], 1024, "%.*s%s%s%s", int(stem), name, suffix,
                         repeat ? "-repeat" : "", endings[i]);
        if (n < 0 || n >= 1024)
            return 0;
    }
    return 3;
}
