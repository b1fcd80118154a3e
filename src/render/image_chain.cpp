// Mipmap chains built on the CPU, so that every driver shows the same pictures: 2 x 2 means
// (alpha-weighted for RGBA), power-of-two resampling, and chains painted into the file
// ("[mip_custom]": the smaller levels packed below the top level).
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/common.h"
#include "common/console.h"
#include "render/image.h"
#include "render/image_local.h"

size_t image_chain_bytes(int width, int height, int components, int *levels)
{
    size_t bytes = 0;
    int count = 0;
    for (;;) {
        bytes += size_t(width) * size_t(height) * size_t(components);
        count++;
        if (width == 1 && height == 1)
            break;
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
    }
    if (levels)
        *levels = count;
    return bytes;
}

const uint8_t *image_level(const Image *image, int level, int *width, int *height)
{
    int w = image->width, h = image->height;
    const uint8_t *p = image->pixels;
    level = std::clamp(level, 0, image->levels - 1);
    for (int k = 0; k < level; k++) {
        p += size_t(w) * size_t(h) * size_t(image->components);
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    *width = w;
    *height = h;
    return p;
}

int image_detail_level(const Image *image, int texture_detail)
{
    int level = 0, w = image->width, h = image->height;
    while (level < texture_detail && level + 1 < image->levels && w > 128 && h > 128) {
        level++;
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    return level;
}

namespace {

// One level from the one above: each output pixel from the 2 x 2 (or, on a level one pixel
// wide or tall, 1 x 2 / 2 x 1) block under it.
void chain_reduce(const uint8_t *src, int sw, int sh, uint8_t *dst, int components,
                  int max_alpha)
{
    const int dw = std::max(1, sw / 2), dh = std::max(1, sh / 2);
    const int n = (sw > 1 && sh > 1) ? 4 : 2;
    const int shift = n == 4 ? 2 : 1;
    for (int y = 0; y < dh; y++)
        for (int x = 0; x < dw; x++) {
            const uint8_t *s[4];
            const int x0 = sw > 1 ? 2 * x : 0, y0 = sh > 1 ? 2 * y : 0;
            s[0] = src + (size_t(y0) * sw + x0) * components;
            if (n == 4) {
                s[1] = s[0] + components;
                s[2] = s[0] + size_t(sw) * components;
                s[3] = s[2] + components;
            } else {
                s[1] = sw > 1 ? s[0] + components : s[0] + size_t(sw) * components;
            }
            uint8_t *d = dst + (size_t(y) * dw + x) * components;
            if (components != 4) {
                for (int c = 0; c < components; c++) {
                    int sum = 0;
                    for (int i = 0; i < n; i++)
                        sum += s[i][c];
                    d[c] = uint8_t(sum >> shift);
                }
                continue;
            }
            int alpha_sum = 0, alpha_max = 0;
            for (int i = 0; i < n; i++) {
                alpha_sum += s[i][3];
                alpha_max = std::max(alpha_max, int(s[i][3]));
            }
            const int weighted = alpha_sum != 0 && alpha_sum != 255 * n;
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int i = 0; i < n; i++)
                    sum += weighted ? s[i][c] * s[i][3] : s[i][c];
                d[c] = uint8_t(weighted ? sum / alpha_sum : sum >> shift);
            }
            d[3] = uint8_t(max_alpha ? alpha_max : alpha_sum >> shift);
        }
}

bool is_pow2(int v)
{
    return std::has_single_bit(unsigned(v));
}

// Nearest-sample resampling to the next powers of two: target (i, j) takes source
// (i * w / W, j * h / H).
void resample_pow2(Image *image)
{
    const int w = image->width, h = image->height, comps = image->components;
    const int W = int(std::bit_ceil(unsigned(w))), H = int(std::bit_ceil(unsigned(h)));
    uint8_t *out = static_cast<uint8_t *>(xmalloc(size_t(W) * size_t(H) * size_t(comps)));
    for (int j = 0; j < H; j++) {
        const uint8_t *row = image->pixels + size_t(int64_t(j) * h / H) * w * comps;
        uint8_t *o = out + size_t(j) * W * comps;
        for (int i = 0; i < W; i++)
            memcpy(o + size_t(i) * comps, row + size_t(int64_t(i) * w / W) * comps,
                   size_t(comps));
    }
    free(image->pixels);
    image->pixels = out;
    image->width = W;
    image->height = H;
}

// Copies the painted levels out of a "[mip_custom]" picture; level 0 is the top D rows.
// Levels that do not fit the packing are computed from the one above.
void chain_custom(Image *image, uint8_t *chain, int max_alpha)
{
    const int W = image->width, total_h = image->height, D = total_h * 2 / 3;
    const int comps = image->components;
    const size_t src_stride = size_t(W) * comps;
    int x = 0, y = 0, w = W, h = D, prev_x = 0, prev_y = 0, prev_w = 0, prev_h = 0;
    int fits = 1;
    uint8_t *level = chain, *above = nullptr;
    for (int k = 0; k < image->levels; k++) {
        if (k == 1) {
            x = 0;
            y = D;
        } else if (k == 2) {
            x = prev_w;
            y = D;
        } else if (k >= 3) {
            if (prev_y + prev_h + h <= total_h) {
                x = prev_x;
                y = prev_y + prev_h;
            } else {
                x = prev_x + prev_w;
                y = prev_y;
            }
        }
        fits = fits && x + w <= W && y + h <= total_h;
        if (fits) {
            for (int row = 0; row < h; row++)
                memcpy(level + size_t(row) * w * comps,
                       image->pixels + size_t(y + row) * src_stride + size_t(x) * comps,
                       size_t(w) * comps);
        } else {
            chain_reduce(above, prev_w, prev_h, level, comps, max_alpha);
        }
        prev_x = x, prev_y = y, prev_w = w, prev_h = h;
        above = level;
        level += size_t(w) * size_t(h) * comps;
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    image->height = D;
}

void chain_build_one(Image *image)
{
    if (image->levels > 1 || !image->pixels)
        return;
    const int max_alpha = image_has_option(image, "[mip_max_alpha]");
    int custom = image_has_option(image, "[mip_custom]");
    if (custom && image->height * 2 % 3 != 0) {
        console_printf("Warning: Invalid height for custom MIP map in '%.950s'", image->name);
        custom = 0;
    }
    const int top_h = custom ? image->height * 2 / 3 : image->height;
    if (!is_pow2(image->width) || !is_pow2(top_h)) {
        console_printf("Warning: Non power of 2 texture '%.950s'", image->name);
        custom = 0;
    }
    if (custom) {
        size_t bytes = image_chain_bytes(image->width, top_h, image->components, &image->levels);
        uint8_t *chain = static_cast<uint8_t *>(xmalloc(bytes));
        chain_custom(image, chain, max_alpha);
        free(image->pixels);
        image->pixels = chain;
        return;
    }
    if (!is_pow2(image->width) || !is_pow2(image->height))
        resample_pow2(image);
    int levels = 0;
    const size_t bytes = image_chain_bytes(image->width, image->height, image->components, &levels);
    uint8_t *chain = static_cast<uint8_t *>(xrealloc(image->pixels, bytes));
    uint8_t *level = chain;
    int w = image->width, h = image->height;
    for (int k = 1; k < levels; k++) {
        uint8_t *next = level + size_t(w) * size_t(h) * image->components;
        chain_reduce(level, w, h, next, image->components, max_alpha);
        level = next;
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    image->pixels = chain;
    image->levels = levels;
}

}   // namespace

void image_build_chain(Image *image)
{
    if (!image)
        return;
    chain_build_one(image);
    if (image->anim)
        for (int i = 0; i < image->anim->count; i++) {
            Image *frame = image->anim->images[i];
            if (!*frame->name)
                frame->name = image->name;
            chain_build_one(frame);
        }
}
