// Pictures on the CPU: the readers of every picture format the game data uses (PNG of any
// colour type and depth, PPM/PGM text and binary, the "K6"/"K7" predictive format, "ANIM1"
// sequences and "LINK" files), the option text of a picture (PNG text chunks plus a ".info"
// sidecar file), the mipmap chain, and the by-name picture cache that the texture manager
// turns into GL textures. Nothing here needs a display.
//
// Every reader refuses pictures larger than IMAGE_MAX_SIDE on a side, so a hostile header
// cannot ask for gigabytes; failure returns null and says why once on the console.
#pragma once

#include <cstdint>

struct DataStream;

enum {
    IMAGE_MAX_SIDE = 16384,   // largest width or height any reader accepts
    IMAGE_MAX_LEVELS = 15,    // levels of a full chain on a 16384 side
};

// Where a picture came from; the texture manager treats PNG options specially.
enum ImageFormat {
    IMAGE_FORMAT_PNG = 1,
    IMAGE_FORMAT_PPM,          // "P6" / "P3"
    IMAGE_FORMAT_PGM,          // "P5" / "P2"
    IMAGE_FORMAT_PREDICTIVE,   // "K6" / "K7"
    IMAGE_FORMAT_ANIM,         // "ANIM1"
};

// Wrap flags taken from a picture's name, the same bits as the texture upload flags.
enum {
    IMAGE_REPEAT_H = 1,   // name contains "-hrepeat." or "-repeat."
    IMAGE_REPEAT_V = 2,   // name contains "-vrepeat." or "-repeat."
};

struct ImageAnim;

// A decoded picture. Samples are 8-bit, rows top first, components interleaved. The buffer
// holds level 0 and, when levels > 1, the rest of the mipmap chain directly after it:
// level k is max(1, width >> k) x max(1, height >> k).
struct Image {
    const char *name;     // data name the pixels were read from, after links (interned)
    int width, height;    // size of level 0
    int read_width;       // size as read from the file, before any power-of-two resampling
    int read_height;
    int components;       // 1 grey, 3 RGB, 4 RGBA
    int levels;           // levels in pixels: 1 (level 0 only) or the full chain to 1 x 1
    uint8_t *pixels;      // level 0 then the chain; xmalloc'd, owned by the picture
    const char *info;     // option text: PNG text chunks then the ".info" file; "" when none
                          // (owned by the picture, at most 64 KB)
    int format;           // ImageFormat
    ImageAnim *anim;      // the sequence for "ANIM1" pictures, else null
    int generation;       // cache generation it was last asked for in; 0 = permanent
};

// An "ANIM1" sequence. The owning Image shows images[sequence[0]].
struct ImageAnim {
    int length;        // sequence entries L (> 0)
    int count;         // images N (> 0)
    int step_time;     // simulation steps per sequence entry (values below 1 count as 1)
    int loop;          // 1: the sequence repeats; 0: it stays on its last entry
    int *sequence;     // L image indices, each 0 .. count-1
    Image **images;    // N pictures of equal size and components
};

// ---- Readers (uncached). Each returns a new picture with levels = 1, or null. ----

// Any picture by data name: decides the format by the first word of the file ("K7"/"K6",
// "P6"/"P3", "P5"/"P2", "ANIM1", "LINK", anything else PNG). PNG and predictive pictures
// come back with 3 or 4 components, PPM with 3, PGM with 1. A "LINK" file is followed (up
// to 8 links deep; a longer or circular chain fails with "Too many links reading '%s'").
// A broken "ANIM1" file is read as PNG, which normally fails. Missing files fail silently.
Image *image_load(const char *name);
// A PNG by data name: 8 bits per component, palettes to RGB, transparency to alpha, grey to
// RGB, 16-bit cut to 8; 3 components, or 4 with alpha. Fills info from the text chunks and
// the ".info" file.
Image *image_read_png(const char *name);
// A PNG decoded to 16-bit grey samples (heights): palette to RGB, colour to grey with
// libpng's default weights, alpha dropped, grey below 8 bits widened, 8-bit samples v
// become v * 257. Returns an xmalloc'd width*height array (rows top first) or null.
uint16_t *image_read_png16(const char *name, int *width, int *height);
// PPM ("P6" binary, "P3" text) and PGM ("P5", "P2") from an open stream positioned at the
// magic word; samples scaled by 255 / maxval (rounded) when maxval is not 255, values above
// maxval limited to it. A maxval above 255 means two bytes per binary sample, high first.
Image *image_read_ppm(DataStream *stream);
Image *image_read_pgm(DataStream *stream);
// The predictive format from a stream positioned just after its "K6"/"K7" word.
Image *image_read_predictive(DataStream *stream, int components);
// Writes the predictive format ("K6" for 3 components, "K7" for 4); 1 on success.
int image_write_predictive(const char *name, int width, int height, int components,
                           const uint8_t *pixels);

void image_free(Image *image);

// ---- Picture operations ----

// IMAGE_REPEAT_H / IMAGE_REPEAT_V from the name's suffix; 0 means clamped.
int image_wrap_flags(const char *name);
// 1 when the option text holds the option (written with its brackets: "[compress]").
int image_has_option(const Image *image, const char *option);
// Gives the picture power-of-two sides (nearest-sample resampling when needed) and its full
// mipmap chain: "[mip_custom]" pictures take their levels from the packed layout, RGBA
// chains use the alpha-weighted mean ("[mip_max_alpha]": the alpha is the maximum).
// Applies to every image of an animation as well.
void image_build_chain(Image *image);
// Level k of the chain (k < levels): pointer into pixels and its size.
const uint8_t *image_level(const Image *image, int level, int *width, int *height);
// The chain level a texture starts from when texture_detail top levels are to be dropped:
// each drop halves both sides, and only while both sides are greater than 128.
int image_detail_level(const Image *image, int texture_detail);
// The sequence entry's image index shown at step (steps since the animation started).
int anim_image_at(const ImageAnim *anim, int step);

// Name candidates for a texture's normal or specular map, as statues look for them:
// suffix is "_norm" or "_spec". For a name whose file part holds "-repeat." the "-repeat"
// and extension are replaced by suffix + "-repeat.seq" / ".png" / ".ppm"; otherwise the
// extension by suffix + ".seq" / ".png" / ".ppm". Writes the 3 names into out and returns 3,
// or 0 when the name has no extension or a candidate would not fit.
int image_map_names(const char *name, const char *suffix, char out[3][1024]);

// ---- The picture cache ----

// The cached picture of a data name, decoded once, with power-of-two sides and its full
// chain (ready for upload). A leading "!" is ignored here (it is the texture manager's "keep
// full detail" mark). Links share the picture of the name they stand for. A name that
// differs from a cached one only in letter case returns that one with "Warning: case
// mismatch on '%.900s'". Pictures whose sides were not powers of two warn "Warning: Non
// power of 2 texture '%.950s'" when first read. Null when the picture cannot be read.
const Image *image_get(const char *name);
// The name a cached picture was loaded by, or null when it is not in the cache.
const char *image_name(const Image *image);

// The cache generation: pictures, models and textures asked for in generation 0 are kept
// for the program's life; a track change starts a new generation, and the purge frees what
// the new track did not ask for again.
int images_generation();
void images_new_generation();
// Frees cached pictures whose generation is neither 0 nor the current one
// ("deleting image %.900s" at verbose level above 0). Returns how many were freed.
int images_purge();
// Frees every cached picture and link and returns to generation 0 (tests, shutdown).
void images_clear();
// Debug level from the command line: above 0 the purges log what they free.
void images_set_verbose(int level);
