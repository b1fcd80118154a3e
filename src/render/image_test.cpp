// Picture readers, the PNG writer and the picture cache, on small pictures with known pixels.
#include "render/image.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "render/png_write.h"
#include "render/render_test_home.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes level0(const Image *image)
{
    return Bytes(image->pixels, image->pixels + size_t(image->width) * image->height *
                                                     image->components);
}

void png_append(png_structp png, png_bytep bytes, png_size_t length)
{
    static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<char *>(bytes), length);
}

struct PngSpec {
    int width, height, colour, depth;
    std::vector<Bytes> rows;                 // packed as PNG wants them (big-endian 16-bit)
    std::vector<png_color> palette;
    Bytes trns;                              // palette transparency
    std::vector<std::pair<std::string, std::string>> text_before, text_after;
    int interlace = PNG_INTERLACE_NONE;
};

// A PNG file made with libpng directly, for colour types png_write does not produce.
std::string png_file(const PngSpec &spec)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "";
    }
    png_set_write_fn(png, &out, png_append, nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.depth, spec.colour, spec.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
    if (!spec.trns.empty())
        png_set_tRNS(png, info, spec.trns.data(), int(spec.trns.size()), nullptr);
    std::vector<png_text> texts;
    for (auto &t : spec.text_before)
        texts.push_back({PNG_TEXT_COMPRESSION_NONE, const_cast<char *>(t.first.c_str()),
                         const_cast<char *>(t.second.c_str()), t.second.size(), 0, nullptr,
                         nullptr});
    if (!texts.empty())
        png_set_text(png, info, texts.data(), int(texts.size()));
    png_write_info(png, info);
    const int passes = spec.interlace ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; pass++)
        for (const Bytes &row : spec.rows)
            png_write_row(png, row.data());
    texts.clear();
    for (auto &t : spec.text_after)
        texts.push_back({PNG_TEXT_COMPRESSION_zTXt, const_cast<char *>(t.first.c_str()),
                         const_cast<char *>(t.second.c_str()), t.second.size(), 0, nullptr,
                         nullptr});
    if (!texts.empty())
        png_set_text(png, info, texts.data(), int(texts.size()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string file_bytes(const std::string &head, const Bytes &body)
{
    return head + std::string(body.begin(), body.end());
}

}   // namespace

using ImageTest = RenderDataTest;

TEST_F(ImageTest, PngColourTypesDecodeToEightBitRgbOrRgba)
{
    PngSpec palette = {2, 1, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1}}, {{10, 20, 30}, {40, 50, 60}},
                       {255, 128}, {}, {}};
    PngSpec grey2 = {4, 1, PNG_COLOR_TYPE_GRAY, 2, {{0x1b}}, {}, {}, {}, {}};   // 0,1,2,3
    PngSpec grey16 = {2, 1, PNG_COLOR_TYPE_GRAY, 16, {{0x12, 0x34, 0xff, 0x00}}, {}, {}, {}, {}};
    PngSpec grey_alpha = {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{77, 99}}, {}, {}, {}, {}};
    PngSpec rgb16 = {1, 1, PNG_COLOR_TYPE_RGB, 16, {{0xab, 0xcd, 0x01, 0x02, 0xff, 0xff}}, {}, {},
                     {}, {}};
    PngSpec interlaced = {3, 3, PNG_COLOR_TYPE_GRAY, 8, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {}, {},
                          {}, {}, PNG_INTERLACE_ADAM7};
    struct Case {
        const char *name;
        PngSpec spec;
        int components;
        Bytes pixels;
    } cases[] = {
        {"palette.png", palette, 4, {10, 20, 30, 255, 40, 50, 60, 128}},
        {"grey2.png", grey2, 3, {0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}},
        {"grey16.png", grey16, 3, {0x12, 0x12, 0x12, 0xff, 0xff, 0xff}},
        {"greyalpha.png", grey_alpha, 4, {77, 77, 77, 99}},
        {"rgb16.png", rgb16, 3, {0xab, 0x01, 0xff}},
        {"interlaced.png", interlaced, 3, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6,
                                           7, 7, 7, 8, 8, 8, 9, 9, 9}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        put(c.name, png_file(c.spec));
        Image *image = image_read_png((std::string("@") + c.name).c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->format, IMAGE_FORMAT_PNG);
        EXPECT_EQ(image->width, c.spec.width);
        EXPECT_EQ(image->components, c.components);
        EXPECT_EQ(level0(image), c.pixels);
        image_free(image);
    }
}

TEST_F(ImageTest, Png16ReadsHeightSamples)
{
    const uint16_t samples[6] = {0, 1, 0x1234, 0xffff, 500, 65000};
    ASSERT_EQ(png_write("@h16.png", 3, 2, 1, 16, samples), 1);
    int w = 0, h = 0;
    uint16_t *read = image_read_png16("@h16.png", &w, &h);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(memcmp(read, samples, sizeof samples), 0);
    free(read);

    // Samples need nothing after the image data: a file cut before its end chunk still reads.
    const std::string whole = read_whole_file(user.at("Rutmoor/h16.png"));
    put("h16_cut.png", whole.substr(0, whole.size() - 12));
    read = image_read_png16("@h16_cut.png", &w, &h);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(memcmp(read, samples, sizeof samples), 0);
    free(read);

    // 8-bit grey repeats the byte; colour becomes grey; alpha is dropped.
    const uint8_t grey[2] = {0x00, 0xab};
    ASSERT_EQ(png_write("@h8.png", 2, 1, 1, 8, grey), 1);
    read = image_read_png16("@h8.png", &w, &h);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read[0], 0);
    EXPECT_EQ(read[1], 0xabab);
    free(read);
    const uint8_t white_rgba[4] = {255, 255, 255, 0};
    ASSERT_EQ(png_write("@h_rgba.png", 1, 1, 4, 8, white_rgba), 1);
    read = image_read_png16("@h_rgba.png", &w, &h);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read[0], 0xffff);
    free(read);
    // A palette's transparency is an alpha channel too: dropped.
    put("h_palette.png", png_file({2, 1, PNG_COLOR_TYPE_PALETTE, 8, {{1, 0}},
                                   {{70, 70, 70}, {200, 200, 200}}, {0, 128}, {}, {}}));
    read = image_read_png16("@h_palette.png", &w, &h);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read[0], 200 * 257);
    EXPECT_EQ(read[1], 70 * 257);
    free(read);
}

TEST_F(ImageTest, PngWriteRoundTripsAndIsDeterministic)
{
    const uint8_t rgba[2 * 2 * 4] = {1, 2, 3, 4, 250, 251, 252, 253, 0, 0, 0, 0, 9, 8, 7, 6};
    ASSERT_EQ(png_write("@rt8.png", 2, 2, 4, 8, rgba), 1);
    Image *image = image_read_png("@rt8.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->components, 4);
    EXPECT_EQ(level0(image), Bytes(rgba, rgba + sizeof rgba));
    image_free(image);

    const uint8_t grey_alpha[2] = {200, 100};
    ASSERT_EQ(png_write("@rt_ga.png", 1, 1, 2, 8, grey_alpha), 1);
    image = image_read_png("@rt_ga.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(level0(image), (Bytes{200, 200, 200, 100}));
    image_free(image);

    const uint16_t rgb16[3] = {0x1280, 0xfe01, 0x0033};
    ASSERT_EQ(png_write("@rt16.png", 1, 1, 3, 16, rgb16), 1);
    image = image_read_png("@rt16.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(level0(image), (Bytes{0x12, 0xfe, 0x00}));
    image_free(image);

    ASSERT_EQ(png_write("@again.png", 2, 2, 4, 8, rgba), 1);
    EXPECT_EQ(read_whole_file(user.at("Rutmoor/rt8.png")),
              read_whole_file(user.at("Rutmoor/again.png")));

    EXPECT_EQ(png_write("@bad.png", 0, 1, 3, 8, rgba), 0);
    EXPECT_EQ(png_write("@bad.png", 1, 1, 5, 8, rgba), 0);
    EXPECT_EQ(png_write("@bad.png", 1, 1, 3, 12, rgba), 0);
}

TEST_F(ImageTest, OptionTextJoinsPngTextChunksAndInfoFile)
{
    PngSpec spec = {1, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3}}, {}, {},
                    {{"Comment", "[numberbackground:1,0,0]"}}, {{"Comment", "[compress]"}}};
    put("opt.png", png_file(spec));
    put("opt.png.info", "[mip_max_alpha]\n");
    Image *image = image_read_png("@opt.png");
    ASSERT_NE(image, nullptr);
    EXPECT_STREQ(image->info, "[numberbackground:1,0,0][compress][mip_max_alpha]\n");
    EXPECT_TRUE(image_has_option(image, "[compress]"));
    EXPECT_FALSE(image_has_option(image, "[mip_custom]"));
    image_free(image);
}

TEST_F(ImageTest, PpmAndPgmTextAndBinaryWithComments)
{
    struct Case {
        const char *name;
        std::string file;
        int components;
        Bytes pixels;
    } cases[] = {
        {"a.ppm", "P3\n# made by hand\n2 1\n255\n1 2 3  4 5 6\n", 3, {1, 2, 3, 4, 5, 6}},
        {"b.ppm", file_bytes("P6 # size next\n1\n# height\n1 255\n", {9, 8, 7}), 3, {9, 8, 7}},
        {"c.ppm", file_bytes("P6 1 1 15\n", {15, 0, 7}), 3, {255, 0, 119}},
        {"d.ppm", file_bytes("P6 1 1 65535\n", {0xff, 0xff, 0x80, 0x00, 0, 0}), 3, {255, 128, 0}},
        {"e.pgm", "P2\n3 1\n# grey levels\n4\n0 2 4\n", 1, {0, 128, 255}},
        {"f.pgm", file_bytes("P5\n2 1\n100\n", {50, 100}), 1, {128, 255}},
        {"g.pgm", file_bytes("P5 1 1 100\n", {200}), 1, {255}},   // above maxval: limited
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        put(c.name, c.file);
        DataStream *stream = data_open((std::string("@") + c.name).c_str(), "rb");
        ASSERT_NE(stream, nullptr);
        Image *image = c.components == 1 ? image_read_pgm(stream) : image_read_ppm(stream);
        data_close(stream);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->components, c.components);
        EXPECT_EQ(level0(image), c.pixels);
        image_free(image);
        // image_load finds the same pixels by the magic word.
        image = image_load((std::string("@") + c.name).c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(level0(image), c.pixels);
        image_free(image);
    }
}

TEST_F(ImageTest, BrokenHeadersAndHugeSizesAreRefused)
{
    struct Case {
        const char *name;
        std::string file;
        const char *message;
    } cases[] = {
        {"huge.ppm", "P6 100000 100000 255\n", "Can't get PPM dimensions"},
        {"neg.ppm", "P6 -4 4 255\n", "Can't get PPM dimensions"},
        {"wide.ppm", "P6 16385 1 255\n", "Can't get PPM dimensions"},
        {"nodims.pgm", "P5 x\n", "Can't get PGM dimensions"},
        {"maxval.ppm", "P3 1 1 0\n0 0 0\n", "Can't parse PPM header"},
        {"short.ppm", "P6 2 2 255\nabc", "Can't read PPM data"},
        {"short.pgm", "P2 2 1 255\n7", "Can't read PGM data"},
        {"huge.k7", "K7 20000 20000\n", "Can't get K7 dimensions"},
        {"short.k6", "K6 2 2\nabc", "Can't read K6 data"},
        {"bad.png", "\x89PNG\r\n\x1a\n garbage", "Can't decode PNG"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        console_clear();
        put(c.name, c.file);
        EXPECT_EQ(image_load((std::string("@") + c.name).c_str()), nullptr);
        EXPECT_TRUE(console_said(c.message));
    }
    // A valid PNG wider than the limit is refused as well.
    std::vector<uint8_t> row(IMAGE_MAX_SIDE + 1);
    ASSERT_EQ(png_write("@toowide.png", IMAGE_MAX_SIDE + 1, 1, 1, 8, row.data()), 1);
    EXPECT_EQ(image_read_png("@toowide.png"), nullptr);
    EXPECT_EQ(image_load("@missing.png"), nullptr);
}

TEST_F(ImageTest, PredictiveFormatRoundTripsAndPredictsFromNeighbours)
{
    // Hand-made 2 x 2 K6: the first pixel predicts 0, the first row the left pixel, the first
    // column the pixel above, the rest left + above - above-left limited to 0 .. 255.
    const Bytes deltas = {10, 200, 0,   20, 100, 0,    // (0,0) = 10,200,0; (1,0) = 30,44,0
                          5, 0, 255,    1, 0, 2};      // (0,1) = 15,200,255; (1,1) below
    put("hand.k6", file_bytes("K6\n# two by two\n2\n2\n", deltas));
    Image *image = image_load("@hand.k6");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->components, 3);
    // (1,1): r 30+15-10=35 (+1), g 44+200-200=44, b 0+255-0=255 (+2 wraps to 1).
    EXPECT_EQ(level0(image), (Bytes{10, 200, 0, 30, 44, 0, 15, 200, 255, 36, 44, 1}));
    image_free(image);

    Bytes rgba(5 * 3 * 4);
    for (size_t i = 0; i < rgba.size(); i++)
        rgba[i] = uint8_t(i * 37 + (i >> 3) * 101);
    ASSERT_EQ(image_write_predictive("@round.k7", 5, 3, 4, rgba.data()), 1);
    image = image_load("@round.k7");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->format, IMAGE_FORMAT_PREDICTIVE);
    EXPECT_EQ(image->components, 4);
    EXPECT_EQ(level0(image), rgba);
    image_free(image);
}

TEST_F(ImageTest, SequenceReadsFramesAndPicksThemByStep)
{
    const Bytes red = {255, 0, 0, 255}, blue = {0, 0, 255, 255};
    ASSERT_EQ(image_write_predictive("@red.k7", 1, 1, 4, red.data()), 1);
    ASSERT_EQ(png_write("@blue.png", 1, 1, 4, 8, blue.data()), 1);
    const std::string red_k7 = read_whole_file(user.at("Rutmoor/red.k7"));
    put("flash.seq", "ANIM1\n3 2 4 0\n1 0 1\n" + red_k7 + "PNG\n  @blue.png  \n");
    Image *image = image_load("@flash.seq");
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->anim, nullptr);
    EXPECT_EQ(image->format, IMAGE_FORMAT_ANIM);
    EXPECT_EQ(level0(image), blue);   // starts with the first sequence entry's image
    EXPECT_EQ(level0(image->anim->images[0]), red);
    EXPECT_EQ(level0(image->anim->images[1]), blue);
    const ImageAnim *anim = image->anim;
    const int steps[] = {-5, 0, 3, 4, 8, 11, 12, 400};
    const int shown[] = {1, 1, 1, 0, 1, 1, 1, 1};   // no loop: stays on the last entry
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(anim_image_at(anim, steps[i]), shown[i]) << "step " << steps[i];
    image->anim->loop = 1;
    EXPECT_EQ(anim_image_at(anim, 12), 1);
    EXPECT_EQ(anim_image_at(anim, 16), 0);
    image->anim->step_time = 0;   // a zero step time counts as one step
    EXPECT_EQ(anim_image_at(anim, 1), 0);
    image_free(image);

    struct Case {
        const char *name;
        std::string file;
        const char *message;
    } broken[] = {
        {"word.seq", "ANIM1 1 1 1 1 0 GIF x", "Error reading .seq frame 0"},
        {"eof.seq", "ANIM1 2 2 1 1 0 1 " + red_k7, "EOF while reading .seq"},
        {"index.seq", "ANIM1 1 1 1 1 3 " + red_k7, "Bad image index 3 reading .seq"},
        {"missing.seq", "ANIM1 1 1 1 1 0 PNG @nothing.png\n", "Can't read @nothing.png"},
        {"depth.seq", "ANIM1 1 2 1 1 0 " + red_k7 + "PNG @rgb.png\n", "Depth mismatch reading .seq"},
        {"size.seq", "ANIM1 1 2 1 1 0 " + red_k7 + "PNG @wide.png\n",
         "Width/height mismatch reading .seq"},
        {"count.seq", "ANIM1 1 0 1 1 0", "EOF while reading .seq"},
    };
    const uint8_t rgb[6] = {1, 2, 3, 4, 5, 6}, wide[8] = {};
    ASSERT_EQ(png_write("@rgb.png", 1, 1, 3, 8, rgb), 1);
    ASSERT_EQ(png_write("@wide.png", 2, 1, 4, 8, wide), 1);
    for (const Case &c : broken) {
        SCOPED_TRACE(c.name);
        console_clear();
        put(c.name, c.file);
        EXPECT_EQ(image_load((std::string("@") + c.name).c_str()), nullptr);
        EXPECT_TRUE(console_said(c.message));
    }
}

TEST_F(ImageTest, CacheSharesPicturesByNameLinkAndCase)
{
    put("pic.ppm", "P3 2 2 255 0 0 0 10 10 10 20 20 20 30 30 30\n");
    put("alias.png", "LINK\n  @pic.ppm \n");
    put("loop_a", "LINK @loop_b");
    put("loop_b", "LINK @loop_a");
    const Image *pic = image_get("@pic.ppm");
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(image_get("@pic.ppm"), pic);
    EXPECT_EQ(image_get("!@pic.ppm"), pic);
    EXPECT_EQ(image_get("@alias.png"), pic);
    EXPECT_STREQ(image_name(pic), "@pic.ppm");
    EXPECT_FALSE(console_said("case mismatch"));
    EXPECT_EQ(image_get("@PIC.ppm"), pic);
    EXPECT_TRUE(console_said("Warning: case mismatch on '@PIC.ppm'"));
    // Uncached loading follows the link too.
    Image *loaded = image_load("@alias.png");
    ASSERT_NE(loaded, nullptr);
    EXPECT_STREQ(loaded->name, "@pic.ppm");
    image_free(loaded);

    EXPECT_EQ(image_get("@loop_a"), nullptr);
    EXPECT_TRUE(console_said("Too many links"));
    EXPECT_EQ(image_get("@nothing.png"), nullptr);
    EXPECT_EQ(image_name(nullptr), nullptr);
}

TEST_F(ImageTest, PurgeFreesWhatTheNewGenerationDidNotAskFor)
{
    put("menu.ppm", "P3 1 1 255 1 1 1\n");
    put("old.ppm", "P3 1 1 255 2 2 2\n");
    put("kept.ppm", "P3 1 1 255 3 3 3\n");
    const Image *menu = image_get("@menu.ppm");   // generation 0: permanent
    images_new_generation();
    const Image *old = image_get("@old.ppm");
    const Image *kept = image_get("@kept.ppm");
    ASSERT_TRUE(menu && old && kept);
    images_new_generation();
    EXPECT_EQ(image_get("@kept.ppm"), kept);
    EXPECT_EQ(images_purge(), 1);
    EXPECT_EQ(image_name(menu), std::string("@menu.ppm"));
    EXPECT_EQ(image_name(kept), std::string("@kept.ppm"));
    EXPECT_EQ(images_purge(), 0);
}

TEST_F(ImageTest, CachedPicturesGetPowerOfTwoSidesAndFullChain)
{
    std::string ppm = "P3 300 200 255\n";
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 300; x++)
            ppm += std::to_string(x % 256) + " " + std::to_string(y) + " 7\n";
    put("odd.ppm", ppm);
    const Image *image = image_get("@odd.ppm");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(console_said("Warning: Non power of 2 texture '@odd.ppm'"));
    EXPECT_EQ(image->width, 512);
    EXPECT_EQ(image->height, 256);
    EXPECT_EQ(image->read_width, 300);
    EXPECT_EQ(image->read_height, 200);
    EXPECT_EQ(image->levels, 10);
    // Nearest sample: target (i, j) takes source (i * 300 / 512, j * 200 / 256).
    const uint8_t *p = image->pixels + (size_t(255) * 512 + 511) * 3;
    EXPECT_EQ(p[0], 299 % 256);
    EXPECT_EQ(p[1], 199);
    int w = 0, h = 0;
    const uint8_t *last = image_level(image, 9, &w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(last[2], 7);

    put("grey.pgm", "P2 2 1 255 10 20\n");   // grey becomes RGB for the texture path
    const Image *grey = image_get("@grey.pgm");
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(grey->components, 3);
    EXPECT_EQ(Bytes(grey->pixels, grey->pixels + 9), (Bytes{10, 10, 10, 20, 20, 20, 15, 15, 15}));
}

TEST_F(ImageTest, DetailLevelsDropOnlyWhileBothSidesExceed128)
{
    struct Case {
        int width, height, detail, level;
    } cases[] = {
        {1024, 1024, 2, 2}, {1024, 1024, 4, 3}, {256, 128, 2, 0}, {512, 256, 2, 1},
        {1024, 1024, 0, 0}, {64, 64, 4, 0},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> pixels(size_t(c.width) * c.height * 3);
        const std::string name = "@d" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".png";
        ASSERT_EQ(png_write(name.c_str(), c.width, c.height, 3, 8, pixels.data()), 1);
        const Image *image = image_get(name.c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image_detail_level(image, c.detail), c.level)
            << c.width << "x" << c.height << " detail " << c.detail;
    }
}

TEST_F(ImageTest, RgbaChainWeighsColourByAlpha)
{
    // 2 x 2 pictures reduced to one pixel.
    struct Case {
        const char *name;
        Bytes pixels;
        const char *info;
        Bytes mean;
    } cases[] = {
        // All transparent: plain mean of the colours.
        {"clear.png", {100, 0, 0, 0, 0, 100, 0, 0, 0, 0, 100, 0, 40, 40, 40, 0}, "", {35, 35, 35, 0}},
        // All opaque: plain mean.
        {"solid.png", {100, 0, 0, 255, 0, 100, 0, 255, 0, 0, 100, 255, 40, 40, 40, 255}, "",
         {35, 35, 35, 255}},
        // One opaque red among transparent pixels: the colour is the red's.
        {"spot.png", {200, 0, 0, 255, 0, 200, 0, 0, 0, 0, 200, 0, 0, 0, 0, 0}, "", {200, 0, 0, 63}},
        {"spotmax.png", {200, 0, 0, 255, 0, 200, 0, 0, 0, 0, 200, 0, 0, 0, 0, 0},
         "[mip_max_alpha]", {200, 0, 0, 255}},
        // Half and full alpha: (100*128 + 0*255) / 383 = 33.
        {"mixed.png", {100, 0, 0, 128, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0}, "", {33, 0, 0, 95}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(png_write((std::string("@") + c.name).c_str(), 2, 2, 4, 8, c.pixels.data()), 1);
        if (*c.info)
            put(std::string(c.name) + ".info", c.info);
        const Image *image = image_get((std::string("@") + c.name).c_str());
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->levels, 2);
        int w, h;
        const uint8_t *top = image_level(image, 1, &w, &h);
        EXPECT_EQ(Bytes(top, top + 4), c.mean);
    }
}

TEST_F(ImageTest, CustomChainTakesLevelsPaintedBelowThePicture)
{
    // A 4-wide picture 6 tall: the top 4 rows are level 0; below, level 1 (2 x 2) at the
    // left, level 2 (1 x 1) to its right.
    Bytes pixels(4 * 6 * 3, 0);
    auto set = [&](int x, int y, uint8_t v) { pixels[(size_t(y) * 4 + x) * 3] = v; };
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            set(x, y, 200);
    set(0, 4, 11), set(1, 4, 12), set(0, 5, 13), set(1, 5, 14), set(2, 4, 99);
    ASSERT_EQ(png_write("@custom.png", 4, 6, 3, 8, pixels.data()), 1);
    put("custom.png.info", "[mip_custom]");
    const Image *image = image_get("@custom.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 4);
    EXPECT_EQ(image->height, 4);
    EXPECT_EQ(image->levels, 3);
    EXPECT_FALSE(console_said("Non power of 2"));
    int w, h;
    const uint8_t *one = image_level(image, 1, &w, &h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(one[0], 11);
    EXPECT_EQ(one[3], 12);
    EXPECT_EQ(one[6], 13);
    EXPECT_EQ(one[9], 14);
    EXPECT_EQ(image_level(image, 2, &w, &h)[0], 99);

    ASSERT_EQ(png_write("@badcustom.png", 4, 4, 3, 8, pixels.data()), 1);
    put("badcustom.png.info", "[mip_custom]");
    image = image_get("@badcustom.png");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(console_said("Warning: Invalid height for custom MIP map in '@badcustom.png'"));
    EXPECT_EQ(image->levels, 3);   // an ordinary chain instead
}

TEST(ImageNames, WrapSuffixesAndMapNames)
{
    struct Case {
        const char *name;
        int flags;
    } wraps[] = {
        {"@dirt-repeat.png", IMAGE_REPEAT_H | IMAGE_REPEAT_V},
        {"@fence-hrepeat.png", IMAGE_REPEAT_H},
        {"@pole-vrepeat.ppm", IMAGE_REPEAT_V},
        {"@sky.png", 0},
        {"@repeat.png", 0},
        {"@dirt-repeat", 0},
    };
    for (const Case &c : wraps)
        EXPECT_EQ(image_wrap_flags(c.name), c.flags) << c.name;

    char out[3][1024];
    ASSERT_EQ(image_map_names("@track/rock-repeat.png", "_norm", out), 3);
    EXPECT_STREQ(out[0], "@track/rock_norm-repeat.seq");
    EXPECT_STREQ(out[1], "@track/rock_norm-repeat.png");
    EXPECT_STREQ(out[2], "@track/rock_norm-repeat.ppm");
    ASSERT_EQ(image_map_names("@v1.2/barrel.ppm", "_spec", out), 3);
    EXPECT_STREQ(out[0], "@v1.2/barrel_spec.seq");
    EXPECT_EQ(image_map_names("@v1.2/barrel", "_spec", out), 0);
}
