// Pictures painted by code: an RGB or RGBA pixel buffer with the few drawing operations the
// generated textures, billboards and maps need, and writing them as PNG (through the
// project's writer) or PPM.
#pragma once

#include <cstdint>
#include <vector>

struct Picture {
    int width, height;
    int channels;                 // 3 RGB or 4 RGBA
    std::vector<uint8_t> pixels;  // rows top first
};

struct Color {
    float r, g, b, a;             // 0 .. 255
};

Picture picture_make(int width, int height, int channels, Color fill);
// Blends colour c into pixel (x, y) with c.a as coverage; coordinates wrap when wrap is set
// (seamless pictures), otherwise pixels outside are skipped.
void picture_blend(Picture *p, int x, int y, Color c, bool wrap);
Color picture_get(const Picture &p, int x, int y);
void picture_set(Picture *p, int x, int y, Color c);
// A filled disc with a soft rim of one pixel.
void picture_disc(Picture *p, float cx, float cy, float radius, Color c, bool wrap);
// A line of the given thickness.
void picture_line(Picture *p, float x0, float y0, float x1, float y1, float thickness, Color c,
                  bool wrap);
void picture_rect(Picture *p, int x0, int y0, int x1, int y1, Color c);
// Text in a 5 x 7 block font (A-Z, 0-9, a few signs), each font pixel scale x scale.
void picture_text(Picture *p, int x, int y, const char *text, int scale, Color c);
// Width in pixels of text at scale.
int picture_text_width(const char *text, int scale);
// Writes through png_write to a data name ("@tiles/loam.png"); counts a failure.
int picture_save_png(const Picture &p, const char *name);
// Writes a binary PPM ("P6") into the home tree under a relative name; RGB only.
int picture_save_ppm(const Picture &p, const char *name);
// Clamps a colour channel into a byte.
uint8_t picture_byte(float v);
Color rgb(float r, float g, float b, float a = 255);
// Linear mix of two colours.
Color mix(Color a, Color b, float t);
// Multiplies the colour channels (not alpha).
Color shade(Color c, float f);
