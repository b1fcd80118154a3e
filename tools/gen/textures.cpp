// Ground tile textures painted by code: seamless pictures (every pattern wraps around the
// picture's edges) of loam with clods and tread marks, hard-pack with cracks and stones,
// rippled sand, grass blades and wet clay; the transition tiles blend a base into grass
// along a noisy edge that matches across neighbouring tiles; plus roost particles and
// decals.
#include "textures.h"

#include <algorithm>
#include <cmath>

#include "gen.h"
#include "land.h"
#include "noise.h"
#include "picture.h"

namespace {

const int TILE = 128;   // texels per tile texture side
const char *const BASE_NAMES[SURFACE_BASE_COUNT] = {"loam", "hardpack", "sand", "grass", "mud"};

// Seamless fractal noise over the tile, 0 .. 1 roughly.
float tile_noise(int x, int y, int period, int octaves, uint32_t seed)
{
    float u = (float)x / TILE * period, v = (float)y / TILE * period;
    return 0.5f + 0.5f * noise_tiled_fbm(u, v, period, octaves, seed);
}

void grain(Picture *p, Color base, float amount, int period, uint32_t seed)
{
    for (int y = 0; y < TILE; y++)
        for (int x = 0; x < TILE; x++) {
            float n = tile_noise(x, y, period, 3, seed);
            float fine = (noise_hash(x, y, seed + 1) >> 24) / 255.0f;
            float f = 1 + amount * (n - 0.5f) * 2 + 0.10f * (fine - 0.5f);
            picture_set(p, x, y, shade(base, f));
        }
}

// Small stones or clods: a disc lit from the top left with a shadow below right.
void stones(Picture *p, NoiseRandom *rnd, int count, float rmin, float rmax, Color c)
{
    for (int i = 0; i < count; i++) {
        float x = noise_range(rnd, 0, TILE), y = noise_range(rnd, 0, TILE);
        float r = noise_range(rnd, rmin, rmax);
        Color k = shade(c, noise_range(rnd, 0.8f, 1.2f));
        picture_disc(p, x + 0.7f, y + 0.7f, r, rgb(0, 0, 0, 90), true);
        picture_disc(p, x, y, r, k, true);
        picture_disc(p, x - r * 0.3f, y - r * 0.3f, r * 0.45f, shade(k, 1.25f), true);
    }
}

// A tyre track across the tile: a darker band with tread bars, running along x or y with
// a gentle wiggle that repeats with the tile, so that it wraps without a seam.
void tread(Picture *p, NoiseRandom *rnd, float strength)
{
    float c0 = noise_range(rnd, 0, TILE);
    float wiggle = noise_range(rnd, -4, 4);
    float half = noise_range(rnd, 3.5f, 5.5f);
    bool vertical = noise_uniform(rnd) < 0.5f;
    for (int a = 0; a < TILE; a++) {
        float centre = c0 + wiggle * sinf(6.2831853f * a / TILE);
        for (int d = (int)-half - 1; d <= (int)half + 1; d++) {
            float edge = std::clamp(half + 0.5f - fabsf((float)d), 0.0f, 1.0f);
            bool bar = ((a / 4) % 2 == 0) && fabsf((float)d) < half - 1;
            float k = strength * edge * (bar ? 1.0f : 0.55f);
            int b = (int)floorf(centre) + d;
            picture_blend(p, vertical ? b : a, vertical ? a : b, rgb(20, 14, 10, 255 * k), true);
        }
    }
}

Picture paint_loam(uint32_t seed)
{
    Picture p = picture_make(TILE, TILE, 3, rgb(0, 0, 0));
    grain(&p, rgb(96, 68, 46), 0.22f, 4, seed);
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    stones(&p, &rnd, 90, 0.6f, 2.2f, rgb(110, 80, 56));   // clods
    stones(&p, &rnd, 14, 0.8f, 1.8f, rgb(128, 122, 112)); // stones
    tread(&p, &rnd, 0.35f);
    tread(&p, &rnd, 0.25f);
    return p;
}

Picture paint_hardpack(uint32_t seed)
{
    Picture p = picture_make(TILE, TILE, 3, rgb(0, 0, 0));
    grain(&p, rgb(156, 124, 88), 0.12f, 2, seed);
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    for (int i = 0; i < 10; i++) {   // cracks: short random walks
        float x = noise_range(&rnd, 0, TILE), y = noise_range(&rnd, 0, TILE);
        float a = noise_range(&rnd, 0, 6.283f);
        for (int k = 0; k < 22; k++) {
            float nx = x + cosf(a) * 2, ny = y + sinf(a) * 2;
            picture_line(&p, x, y, nx, ny, 1, rgb(80, 60, 42, 200), true);
            x = nx, y = ny;
            a += noise_range(&rnd, -0.6f, 0.6f);
        }
    }
    stones(&p, &rnd, 30, 0.5f, 1.6f, rgb(140, 136, 128));
    tread(&p, &rnd, 0.18f);
    return p;
}

Picture paint_sand(uint32_t seed)
{
    Picture p = picture_make(TILE, TILE, 3, rgb(0, 0, 0));
    for (int y = 0; y < TILE; y++)
        for (int x = 0; x < TILE; x++) {
            float warp = 3 * tile_noise(x, y, 2, 2, seed + 3);
            float ripple = sinf(6.2831853f * (x * 2 + y * 4 + warp * 16) / TILE * 2);
            float n = tile_noise(x, y, 4, 3, seed);
            float fine = (noise_hash(x, y, seed + 1) >> 24) / 255.0f;
            float f = 1 + 0.07f * ripple + 0.12f * (n - 0.5f) + 0.12f * (fine - 0.5f);
            picture_set(&p, x, y, shade(rgb(214, 188, 134), f));
        }
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    for (int i = 0; i < 160; i++)   // dark and light grains
        picture_blend(&p, (int)noise_range(&rnd, 0, TILE), (int)noise_range(&rnd, 0, TILE),
                      i % 2 ? rgb(120, 100, 70, 160) : rgb(245, 235, 210, 160), true);
    tread(&p, &rnd, 0.12f);
    return p;
}

Picture paint_grass(uint32_t seed)
{
    Picture p = picture_make(TILE, TILE, 3, rgb(0, 0, 0));
    grain(&p, rgb(56, 82, 34), 0.25f, 4, seed);
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    for (int i = 0; i < 1400; i++) {   // blades: short strokes leaning with the wind
        float x = noise_range(&rnd, 0, TILE), y = noise_range(&rnd, 0, TILE);
        float len = noise_range(&rnd, 3, 8), lean = noise_range(&rnd, -0.5f, 0.9f);
        float g = noise_range(&rnd, 0.7f, 1.35f);
        Color c = rgb(58 * g, 112 * g, 36 * g, 210);
        picture_line(&p, x, y, x + lean * len, y - len, 1, c, true);
    }
    for (int i = 0; i < 25; i++)   // bare earth showing through
        picture_disc(&p, noise_range(&rnd, 0, TILE), noise_range(&rnd, 0, TILE),
                     noise_range(&rnd, 0.8f, 2.0f), rgb(82, 62, 40, 140), true);
    return p;
}

Picture paint_mud(uint32_t seed)
{
    Picture p = picture_make(TILE, TILE, 3, rgb(0, 0, 0));
    for (int y = 0; y < TILE; y++)
        for (int x = 0; x < TILE; x++) {
            float n = tile_noise(x, y, 4, 3, seed);
            float wet = std::clamp((tile_noise(x, y, 2, 3, seed + 5) - 0.55f) * 6, 0.0f, 1.0f);
            Color c = shade(rgb(72, 54, 40), 0.85f + 0.4f * n);
            c = mix(c, rgb(110, 110, 112), wet * 0.45f);   // water sheen
            picture_set(&p, x, y, c);
        }
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    tread(&p, &rnd, 0.5f);
    tread(&p, &rnd, 0.4f);
    stones(&p, &rnd, 20, 0.8f, 2.4f, rgb(60, 44, 32));
    return p;
}

Picture paint_base(int surface, int variant)
{
    uint32_t seed = 4000 + surface * 17 + variant * 1000;
    switch (surface) {
    case SURFACE_HARDPACK: return paint_hardpack(seed);
    case SURFACE_SAND: return paint_sand(seed);
    case SURFACE_GRASS: return paint_grass(seed);
    case SURFACE_MUD: return paint_mud(seed);
    default: return paint_loam(seed);
    }
}

// A base tile with grass on the corners of mask (bit 8 top left, 4 top right, 2 bottom
// left, 1 bottom right). The edge's noise is the same on every tile, so edges meet.
Picture paint_transition(const Picture &base, const Picture &grass, int mask)
{
    Picture p = base;
    float c8 = mask & 8 ? 1 : 0, c4 = mask & 4 ? 1 : 0, c2 = mask & 2 ? 1 : 0, c1 = mask & 1 ? 1 : 0;
    for (int y = 0; y < TILE; y++)
        for (int x = 0; x < TILE; x++) {
            float u = (x + 0.5f) / TILE, v = (y + 0.5f) / TILE;
            float w = (c8 * (1 - u) + c4 * u) * (1 - v) + (c2 * (1 - u) + c1 * u) * v;
            float n = tile_noise(x, y, 4, 3, 777) - 0.5f;
            float t = std::clamp((w + 0.55f * n - 0.5f) * 7 + 0.5f, 0.0f, 1.0f);
            Color out = mix(picture_get(base, x, y), picture_get(grass, x, y), t);
            float rim = 1 - fabsf(t - 0.5f) * 2;   // darker soil along the grass edge
            picture_set(&p, x, y, shade(out, 1 - 0.18f * rim));
        }
    return p;
}

Picture paint_roost(Color c, int kind, uint32_t seed)
{
    const int N = 32;
    Picture p = picture_make(N, N, 4, rgb(c.r, c.g, c.b, 0));
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    if (kind == 1) {   // a soft cloud of dust
        for (int y = 0; y < N; y++)
            for (int x = 0; x < N; x++) {
                float dx = (x + 0.5f - N / 2.0f) / (N / 2.0f), dy = (y + 0.5f - N / 2.0f) / (N / 2.0f);
                float d = sqrtf(dx * dx + dy * dy);
                float n = 0.5f + 0.5f * noise_fbm(x / 6.0f, y / 6.0f, 3, seed);
                float a = std::clamp(1 - d, 0.0f, 1.0f) * (0.5f + 0.5f * n);
                picture_set(&p, x, y, rgb(c.r, c.g, c.b, 200 * a));
            }
        return p;
    }
    for (int i = 0; i < 9; i++) {   // a clump of clods or bits of turf
        float x = noise_range(&rnd, 9, 23), y = noise_range(&rnd, 9, 23);
        float r = noise_range(&rnd, 2.5f, 5.5f);
        Color k = shade(c, noise_range(&rnd, 0.75f, 1.15f));
        k.a = 255;
        picture_disc(&p, x, y, r, k, false);
        picture_disc(&p, x - r * 0.3f, y - r * 0.3f, r * 0.4f, shade(k, 1.2f), false);
    }
    return p;
}

void decal_pictures()
{
    // The start line: a white band with a chequered edge.
    Picture line = picture_make(256, 32, 4, rgb(255, 255, 255, 0));
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 256; x++) {
            float n = 0.5f + 0.5f * noise_fbm(x / 5.0f, y / 5.0f, 2, 91);
            bool chequer = y >= 20 && ((x / 8 + (y - 20) / 6) % 2 == 0);
            Color c = chequer ? rgb(20, 20, 20, 230) : rgb(245, 245, 240, 210 * (0.6f + 0.4f * n));
            picture_set(&line, x, y, c);
        }
    picture_save_png(line, "@decals/startline.png");

    // Skid marks: dark smears that fade at both ends.
    Picture skid = picture_make(64, 256, 4, rgb(24, 18, 14, 0));
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 64; x++) {
            float along = sinf(3.1415926f * (y + 0.5f) / 256);
            float across = 1 - fabsf((x + 0.5f - 32) / 32);
            float n = 0.5f + 0.5f * noise_fbm(x / 4.0f, y / 12.0f, 3, 92);
            picture_set(&skid, x, y, rgb(24, 18, 14, 150 * along * across * n));
        }
    picture_save_png(skid, "@decals/skid.png");

    // A painted logo for the stadium floor.
    Picture logo = picture_make(256, 128, 4, rgb(255, 255, 255, 0));
    picture_disc(&logo, 128, 64, 60, rgb(200, 40, 30, 200), false);
    picture_disc(&logo, 128, 64, 50, rgb(240, 240, 235, 200), false);
    const char *text = "RUTMOOR";
    picture_text(&logo, 128 - picture_text_width(text, 4) / 2, 50, text, 4, rgb(30, 30, 40, 230));
    picture_save_png(logo, "@decals/logo.png");
}

}   // namespace

std::string texture_tile_name(int type)
{
    if (type < SURFACE_BASE_COUNT)
        return gen_format("@tiles/%s.png", BASE_NAMES[type]);
    if (type >= LAND_FIRST_ALTERNATE)
        return gen_format("@tiles/%s-alt1.png", BASE_NAMES[type - LAND_FIRST_ALTERNATE]);
    int pair = (type - SURFACE_BASE_COUNT) / 14, mask = (type - SURFACE_BASE_COUNT) % 14 + 1;
    return gen_format("@tiles/%s-grass-%d%d%d%d.png", BASE_NAMES[LAND_TRANSITION_BASES[pair]],
                      (mask >> 3) & 1, (mask >> 2) & 1, (mask >> 1) & 1, mask & 1);
}

std::string texture_roost_name(int surface)
{
    return gen_format("@particles/roost_%s.png", BASE_NAMES[surface]);
}

void textures_write_all()
{
    Picture bases[SURFACE_BASE_COUNT];
    for (int s = 0; s < SURFACE_BASE_COUNT; s++) {
        bases[s] = paint_base(s, 0);
        picture_save_png(bases[s], texture_tile_name(s).c_str());
        picture_save_png(paint_base(s, 1), texture_tile_name(LAND_FIRST_ALTERNATE + s).c_str());
    }
    for (int t = SURFACE_BASE_COUNT; t < LAND_FIRST_ALTERNATE; t++) {
        int pair = (t - SURFACE_BASE_COUNT) / 14, mask = (t - SURFACE_BASE_COUNT) % 14 + 1;
        Picture p = paint_transition(bases[LAND_TRANSITION_BASES[pair]], bases[SURFACE_GRASS], mask);
        picture_save_png(p, texture_tile_name(t).c_str());
    }
    const Color roost_colors[SURFACE_BASE_COUNT] = {rgb(100, 72, 48), rgb(150, 120, 86),
                                                    rgb(214, 190, 138), rgb(70, 110, 40),
                                                    rgb(66, 50, 38)};
    for (int s = 0; s < SURFACE_BASE_COUNT; s++)
        picture_save_png(paint_roost(roost_colors[s], 0, 500 + s), texture_roost_name(s).c_str());
    picture_save_png(paint_roost(rgb(200, 180, 150), 1, 510), "@particles/dust.png");
    // The reader's default particle picture.
    picture_save_png(paint_roost(roost_colors[SURFACE_LOAM], 0, 520), "@roost.png");
    decal_pictures();
}
