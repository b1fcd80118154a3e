// Pixel painting for the generated pictures.
#include "picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "gen.h"
#include "render/png_write.h"

Color rgb(float r, float g, float b, float a) { return Color{r, g, b, a}; }

Color mix(Color a, Color b, float t)
{
    return Color{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                 a.a + (b.a - a.a) * t};
}

Color shade(Color c, float f) { return Color{c.r * f, c.g * f, c.b * f, c.a}; }

uint8_t picture_byte(float v) { return (uint8_t)std::clamp((int)lroundf(v), 0, 255); }

Picture picture_make(int width, int height, int channels, Color fill)
{
    Picture p = {width, height, channels, {}};
    p.pixels.resize((size_t)width * height * channels);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            picture_set(&p, x, y, fill);
    return p;
}

Color picture_get(const Picture &p, int x, int y)
{
    const uint8_t *px = &p.pixels[((size_t)y * p.width + x) * p.channels];
    return Color{(float)px[0], (float)px[1], (float)px[2], p.channels == 4 ? (float)px[3] : 255};
}

void picture_set(Picture *p, int x, int y, Color c)
{
    uint8_t *px = &p->pixels[((size_t)y * p->width + x) * p->channels];
    px[0] = picture_byte(c.r);
    px[1] = picture_byte(c.g);
    px[2] = picture_byte(c.b);
    if (p->channels == 4)
        px[3] = picture_byte(c.a);
}

void picture_blend(Picture *p, int x, int y, Color c, bool wrap)
{
    if (wrap) {
        x = ((x % p->width) + p->width) % p->width;
        y = ((y % p->height) + p->height) % p->height;
    } else if (x < 0 || y < 0 || x >= p->width || y >= p->height) {
        return;
    }
    float t = std::clamp(c.a / 255.0f, 0.0f, 1.0f);
    Color old = picture_get(*p, x, y);
    Color out = mix(old, c, t);
    // Alpha accumulates like paint on glass: coverage adds up towards opaque.
    out.a = old.a + (255 - old.a) * t;
    picture_set(p, x, y, out);
}

void picture_disc(Picture *p, float cx, float cy, float radius, Color c, bool wrap)
{
    int x0 = (int)floorf(cx - radius - 1), x1 = (int)ceilf(cx + radius + 1);
    int y0 = (int)floorf(cy - radius - 1), y1 = (int)ceilf(cy + radius + 1);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            float d = sqrtf((x + 0.5f - cx) * (x + 0.5f - cx) + (y + 0.5f - cy) * (y + 0.5f - cy));
            float cover = std::clamp(radius + 0.5f - d, 0.0f, 1.0f);
            if (cover > 0) {
                Color k = c;
                k.a = c.a * cover;
                picture_blend(p, x, y, k, wrap);
            }
        }
}

void picture_line(Picture *p, float x0, float y0, float x1, float y1, float thickness, Color c,
                  bool wrap)
{
    float dx = x1 - x0, dy = y1 - y0;
    float len = sqrtf(dx * dx + dy * dy);
    int steps = std::max(1, (int)(len * 2));
    for (int i = 0; i <= steps; i++) {
        float t = (float)i / steps;
        float x = x0 + dx * t, y = y0 + dy * t;
        if (thickness <= 1.5f) {
            Color k = c;
            k.a = c.a * 0.5f;
            picture_blend(p, (int)floorf(x), (int)floorf(y), k, wrap);
        } else {
            picture_disc(p, x, y, thickness * 0.5f, Color{c.r, c.g, c.b, c.a * 0.35f}, wrap);
        }
    }
}

void picture_rect(Picture *p, int x0, int y0, int x1, int y1, Color c)
{
    for (int y = std::max(0, y0); y < std::min(p->height, y1); y++)
        for (int x = std::max(0, x0); x < std::min(p->width, x1); x++)
            picture_blend(p, x, y, c, false);
}

// Rows of each glyph, five bits each, most significant bit leftmost.
struct Glyph {
    char ch;
    uint8_t rows[7];
};

static const Glyph FONT[] = {
    {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}},
    {'C', {14, 17, 16, 16, 16, 17, 14}}, {'D', {30, 17, 17, 17, 17, 17, 30}},
    {'E', {31, 16, 16, 30, 16, 16, 31}}, {'F', {31, 16, 16, 30, 16, 16, 16}},
    {'G', {14, 17, 16, 23, 17, 17, 15}}, {'H', {17, 17, 17, 31, 17, 17, 17}},
    {'I', {14, 4, 4, 4, 4, 4, 14}},      {'J', {7, 2, 2, 2, 2, 18, 12}},
    {'K', {17, 18, 20, 24, 20, 18, 17}}, {'L', {16, 16, 16, 16, 16, 16, 31}},
    {'M', {17, 27, 21, 21, 17, 17, 17}}, {'N', {17, 25, 21, 19, 17, 17, 17}},
    {'O', {14, 17, 17, 17, 17, 17, 14}}, {'P', {30, 17, 17, 30, 16, 16, 16}},
    {'Q', {14, 17, 17, 17, 21, 18, 13}}, {'R', {30, 17, 17, 30, 20, 18, 17}},
    {'S', {15, 16, 16, 14, 1, 1, 30}},   {'T', {31, 4, 4, 4, 4, 4, 4}},
    {'U', {17, 17, 17, 17, 17, 17, 14}}, {'V', {17, 17, 17, 17, 17, 10, 4}},
    {'W', {17, 17, 17, 21, 21, 21, 10}}, {'X', {17, 17, 10, 4, 10, 17, 17}},
    {'Y', {17, 17, 10, 4, 4, 4, 4}},     {'Z', {31, 1, 2, 4, 8, 16, 31}},
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
    {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {30, 1, 1, 14, 1, 1, 30}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
    {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},
    {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {'-', {0, 0, 0, 31, 0, 0, 0}},       {'!', {4, 4, 4, 4, 4, 0, 4}},
    {'.', {0, 0, 0, 0, 0, 12, 12}},      {' ', {0, 0, 0, 0, 0, 0, 0}},
};

int picture_text_width(const char *text, int scale)
{
    int n = (int)strlen(text);
    return n > 0 ? (n * 6 - 1) * scale : 0;
}

void picture_text(Picture *p, int x, int y, const char *text, int scale, Color c)
{
    for (const char *t = text; *t; t++, x += 6 * scale) {
        const Glyph *glyph = nullptr;
        for (const Glyph &g : FONT)
            if (g.ch == *t)
                glyph = &g;
        if (!glyph)
            continue;
        for (int row = 0; row < 7; row++)
            for (int col = 0; col < 5; col++)
                if (glyph->rows[row] & (16 >> col))
                    picture_rect(p, x + col * scale, y + row * scale, x + (col + 1) * scale,
                                 y + (row + 1) * scale, c);
    }
}

int picture_save_png(const Picture &p, const char *name)
{
    if (png_write(name, p.width, p.height, p.channels, 8, p.pixels.data()))
        return 1;
    gen_fail(name);
    return 0;
}

int picture_save_ppm(const Picture &p, const char *name)
{
    std::string out = gen_format("P6\n%d %d\n255\n", p.width, p.height);
    for (size_t i = 0; i < p.pixels.size(); i += p.channels)
        out.append((const char *)&p.pixels[i], 3);
    return gen_write_text(name, out);
}
