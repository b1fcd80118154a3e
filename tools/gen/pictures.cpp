// Object pictures painted by code. Billboards carry alpha: everything outside the painted
// shape is transparent, and their foot is the bottom row.
#include "pictures.h"

#include <algorithm>
#include <cmath>

#include "assets.h"
#include "gen.h"
#include "noise.h"
#include "picture.h"

namespace {

const Color CLEAR = {0, 0, 0, 0};

// A broadleaf tree: trunk, then a crown of overlapping leafy blobs lit from above.
Picture tree_broadleaf(uint32_t seed, Color leaf, Color bark, bool slender)
{
    Picture p = picture_make(128, 256, 4, CLEAR);
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    float trunk = slender ? 3.5f : 6.0f;
    picture_line(&p, 64, 255, 64, 120, trunk * 2, bark, false);
    for (int i = 0; i < 5; i++)   // branches
        picture_line(&p, 64, noise_range(&rnd, 120, 170), noise_range(&rnd, 30, 98),
                     noise_range(&rnd, 70, 120), 3, bark, false);
    float cw = slender ? 34 : 48;
    for (int i = 0; i < 70; i++) {
        float a = noise_range(&rnd, 0, 6.283f), d = sqrtf(noise_uniform(&rnd));
        float x = 64 + cosf(a) * d * cw, y = 90 + sinf(a) * d * (slender ? 70 : 62);
        float r = noise_range(&rnd, 9, 17);
        float light = 0.7f + 0.5f * (1 - (y - 20) / 150) + noise_range(&rnd, -0.1f, 0.1f);
        picture_disc(&p, x, y, r, shade(leaf, light), false);
        for (int k = 0; k < 6; k++)   // leaf speckle
            picture_disc(&p, x + noise_range(&rnd, -r, r), y + noise_range(&rnd, -r, r), 1.2f,
                         shade(leaf, light * 1.3f), false);
    }
    return p;
}

Picture tree_pine(uint32_t seed)
{
    Picture p = picture_make(128, 256, 4, CLEAR);
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    picture_line(&p, 64, 255, 64, 20, 7, rgb(78, 56, 40), false);
    for (int tier = 0; tier < 9; tier++) {   // drooping tiers, wider towards the foot
        float y = 30 + tier * 24.0f, half = 10 + tier * 6.0f;
        for (int i = 0; i < 40; i++) {
            float t = noise_range(&rnd, -1, 1);
            float x = 64 + t * half, yy = y + fabsf(t) * 12 + noise_range(&rnd, -4, 6);
            float light = 0.8f + 0.3f * (t < 0 ? -t : 0) + noise_range(&rnd, -0.1f, 0.1f);
            picture_disc(&p, x, yy, noise_range(&rnd, 3, 6), shade(rgb(34, 72, 40), light), false);
        }
    }
    return p;
}

Picture shrub(uint32_t seed)
{
    Picture p = picture_make(128, 64, 4, CLEAR);
    NoiseRandom rnd;
    noise_seed(&rnd, seed);
    for (int i = 0; i < 300; i++) {   // dry dune grass: thin blades from the foot
        float x = noise_range(&rnd, 10, 118), len = noise_range(&rnd, 15, 55);
        float lean = noise_range(&rnd, -0.5f, 0.5f);
        float g = noise_range(&rnd, 0.75f, 1.2f);
        picture_line(&p, x, 63, x + lean * len, 63 - len, 1, rgb(150 * g, 150 * g, 90 * g, 255),
                     false);
    }
    return p;
}

Picture banner(int kind)
{
    Picture p = picture_make(256, 64, 4, rgb(240, 240, 235));
    const Color colors[3] = {rgb(200, 36, 28), rgb(24, 80, 180), rgb(250, 200, 20)};
    Color c = colors[kind % 3];
    if (kind == 1) {
        for (int x = 0; x < 256; x++)
            for (int y = 0; y < 64; y++)
                if (((x + y) / 16) % 2 == 0)
                    picture_set(&p, x, y, c);
    } else {
        picture_rect(&p, 0, 0, 256, 10, c);
        picture_rect(&p, 0, 54, 256, 64, c);
        const char *text = kind == 0 ? "RUTMOOR" : "FULL GAS";
        int w = picture_text_width(text, 5);
        picture_text(&p, 128 - w / 2, 15, text, 5, kind == 0 ? rgb(30, 30, 30) : rgb(200, 30, 30));
    }
    for (int y = 0; y < 64; y++)   // a few folds in the cloth
        for (int x = 0; x < 256; x++)
            picture_set(&p, x, y, shade(picture_get(p, x, y), 0.9f + 0.1f * sinf(x * 0.09f)));
    return p;
}

Picture fence()
{
    Picture p = picture_make(128, 32, 4, CLEAR);
    for (int x = 0; x < 128; x++)   // orange course fencing: a mesh between two posts
        for (int y = 4; y < 26; y++)
            if ((x + y) % 6 == 0 || (x - y + 64) % 6 == 0)
                picture_set(&p, x, y, rgb(240, 110, 20, 230));
    picture_rect(&p, 0, 0, 4, 32, rgb(120, 90, 60));
    picture_rect(&p, 124, 0, 128, 32, rgb(120, 90, 60));
    picture_rect(&p, 0, 3, 128, 5, rgb(240, 110, 20));
    return p;
}

// A marshal in a vest; flag: 0 none, 1 held low, 2 raised and waving; board text if any.
Picture marshal(int flag, Color flag_color, const char *board, bool chequered)
{
    Picture p = picture_make(64, 128, 4, CLEAR);
    Color skin = rgb(220, 180, 150), vest = rgb(250, 120, 20), legs = rgb(40, 44, 60);
    picture_line(&p, 28, 126, 29, 88, 7, legs, false);
    picture_line(&p, 36, 126, 35, 88, 7, legs, false);
    picture_rect(&p, 22, 48, 42, 90, vest);
    picture_rect(&p, 22, 66, 42, 70, rgb(230, 230, 230));
    picture_disc(&p, 32, 38, 8, skin, false);
    picture_disc(&p, 32, 33, 8, rgb(40, 40, 40), false);   // cap
    picture_disc(&p, 32, 40, 6.5f, skin, false);
    if (board) {
        picture_line(&p, 24, 52, 14, 30, 5, vest, false);
        picture_line(&p, 40, 52, 50, 30, 5, vest, false);
        picture_rect(&p, 8, 6, 56, 34, chequered ? rgb(250, 250, 250) : rgb(245, 245, 240));
        if (chequered) {
            for (int y = 6; y < 34; y++)
                for (int x = 8; x < 56; x++)
                    if (((x - 8) / 6 + (y - 6) / 7) % 2)
                        picture_set(&p, x, y, rgb(20, 20, 20));
        } else {
            int w = picture_text_width(board, 3);
            picture_text(&p, 32 - w / 2, 10, board, 3, rgb(20, 20, 20));
        }
        return p;
    }
    if (flag == 2) {
        picture_line(&p, 40, 52, 52, 20, 5, vest, false);
        picture_line(&p, 52, 22, 52, 2, 2, rgb(90, 70, 50), false);
        for (int y = 2; y < 18; y++)   // the flag, rippling
            for (int x = 0; x < 11; x++)
                picture_set(&p, 52 - x, y + (int)(2 * sinf(x * 0.6f)), flag_color);
    } else {
        picture_line(&p, 40, 52, 46, 84, 5, vest, false);
        if (flag == 1) {
            picture_line(&p, 46, 84, 58, 100, 2, rgb(90, 70, 50), false);
            picture_rect(&p, 50, 96, 62, 110, flag_color);
        }
    }
    picture_line(&p, 24, 52, 18, 84, 5, vest, false);
    return p;
}

// A seamless texture: noise-shaded base with a pattern function on top.
Picture straw()
{
    Picture p = picture_make(128, 128, 3, rgb(0, 0, 0));
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) {
            float n = 0.5f + 0.5f * noise_tiled_fbm(x / 16.0f, y / 4.0f, 8, 3, 600);
            float f = 0.8f + 0.4f * n;
            picture_set(&p, x, y, shade(rgb(214, 184, 100), f));
        }
    NoiseRandom rnd;
    noise_seed(&rnd, 601);
    for (int i = 0; i < 500; i++) {   // stalks along the bale
        float x = noise_range(&rnd, 0, 128), y = noise_range(&rnd, 0, 128);
        float len = noise_range(&rnd, 6, 18);
        picture_line(&p, x, y, x + len, y + noise_range(&rnd, -2, 2), 1,
                     i % 3 ? rgb(240, 214, 130, 255) : rgb(150, 120, 60, 255), true);
    }
    for (int y = 0; y < 128; y++)   // twine
        for (int x : {40, 88})
            picture_set(&p, x, y, rgb(60, 110, 60));
    return p;
}

Picture tuff_plastic()
{
    Picture p = picture_make(128, 128, 3, rgb(0, 0, 0));
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) {
            bool stripe = (y / 32) % 2 == 0;
            float n = 0.5f + 0.5f * noise_tiled_fbm(x / 32.0f, y / 32.0f, 4, 3, 610);
            Color c = stripe ? rgb(30, 80, 190) : rgb(235, 235, 235);
            c = shade(c, 0.85f + 0.15f * n);
            if (x % 64 < 2)
                c = shade(c, 0.6f);   // block seams
            picture_set(&p, x, y, c);
        }
    return p;
}

Picture tyre_rubber()
{
    Picture p = picture_make(128, 64, 3, rgb(0, 0, 0));
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 128; x++) {
            bool tread = (x / 4) % 2 == 0 && y > 12 && y < 52;
            float n = 0.5f + 0.5f * noise_tiled_fbm(x / 16.0f, y / 16.0f, 8, 2, 620);
            picture_set(&p, x, y, shade(rgb(36, 36, 38), (tread ? 0.75f : 1.1f) + 0.2f * n));
        }
    return p;
}

Picture start_gate()
{
    Picture p = picture_make(64, 64, 3, rgb(150, 154, 160));
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            float n = 0.5f + 0.5f * noise_fbm(x / 6.0f, y / 6.0f, 3, 630);
            Color c = shade(rgb(150, 154, 160), 0.85f + 0.25f * n);   // galvanised steel
            if (y >= 8 && y < 20 && ((x / 8) % 2 == 0))
                c = rgb(240, 200, 20);   // warning stripe
            if (y >= 8 && y < 20 && ((x / 8) % 2 == 1))
                c = rgb(30, 30, 30);
            picture_set(&p, x, y, c);
        }
    return p;
}

Picture flare(int kind)
{
    const int N = 64;
    Picture p = picture_make(N, N, 3, rgb(0, 0, 0));
    for (int y = 0; y < N; y++)
        for (int x = 0; x < N; x++) {
            float dx = (x + 0.5f - N / 2.0f) / (N / 2.0f), dy = (y + 0.5f - N / 2.0f) / (N / 2.0f);
            float d = sqrtf(dx * dx + dy * dy), v = 0;
            if (kind == 0)
                v = expf(-d * d * 6) + 0.25f * std::max(0.0f, 1 - d) *
                                           (0.5f + 0.5f * cosf(atan2f(dy, dx) * 12));
            else if (kind == 1)
                v = expf(-(d - 0.8f) * (d - 0.8f) * 120);
            else
                v = std::clamp((1 - d) * 3, 0.0f, 1.0f) * 0.7f;
            picture_set(&p, x, y, rgb(255 * v, 255 * v, 255 * v));
        }
    return p;
}

}   // namespace

void pictures_write_all()
{
    picture_save_png(tree_broadleaf(700, rgb(60, 110, 44), rgb(84, 62, 44), false), TREE_PICTURES[0]);
    picture_save_png(tree_pine(701), TREE_PICTURES[1]);
    picture_save_png(tree_broadleaf(702, rgb(110, 150, 60), rgb(225, 220, 205), true), TREE_PICTURES[2]);
    picture_save_png(shrub(703), SHRUB_PICTURE);
    for (int i = 0; i < 3; i++)
        picture_save_png(banner(i), BANNER_PICTURES[i]);
    picture_save_png(fence(), FENCE_PICTURE);
    picture_save_png(marshal(1, rgb(250, 220, 20), nullptr, false), FLAGGER_PICTURE);
    picture_save_png(marshal(2, rgb(250, 220, 20), nullptr, false), FLAGGER_ACTIVE_PICTURE);
    // The start marshal: waiting, showing 30 seconds, the board turned sideways (5 seconds),
    // walking off, and gone clear with the green flag.
    picture_save_png(marshal(0, CLEAR, nullptr, false), START_MARSHAL_PICTURE_NAMES[0]);
    picture_save_png(marshal(0, CLEAR, "30", false), START_MARSHAL_PICTURE_NAMES[1]);
    picture_save_png(marshal(0, CLEAR, "5", false), START_MARSHAL_PICTURE_NAMES[2]);
    picture_save_png(marshal(1, rgb(30, 160, 40), nullptr, false), START_MARSHAL_PICTURE_NAMES[3]);
    picture_save_png(marshal(2, rgb(30, 160, 40), nullptr, false), START_MARSHAL_PICTURE_NAMES[4]);
    // The lap board: two laps to go, one to go (white flag), the chequered flag, idle.
    picture_save_png(marshal(0, CLEAR, "2", false), LAP_BOARD_PICTURE_NAMES[0]);
    picture_save_png(marshal(2, rgb(250, 250, 250), nullptr, false), LAP_BOARD_PICTURE_NAMES[1]);
    picture_save_png(marshal(0, CLEAR, "", true), LAP_BOARD_PICTURE_NAMES[2]);
    picture_save_png(marshal(0, CLEAR, nullptr, false), LAP_BOARD_PICTURE_NAMES[3]);
    picture_save_png(straw(), HAY_TEXTURE);
    picture_save_png(tuff_plastic(), TUFF_TEXTURE);
    picture_save_png(tyre_rubber(), TYRE_TEXTURE);
    picture_save_ppm(start_gate(), STARTGATE_TEXTURE + 1);
    for (int i = 0; i < 3; i++)
        picture_save_png(flare(i), FLARE_PICTURES[i]);
}
