// What the picture readers share among themselves; not for other subsystems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "render/image.h"

struct DataStream;

enum {
    IMAGE_INFO_MAX = 65536,       // option text kept per picture, bytes
    IMAGE_LINK_DEPTH = 8,         // links followed before giving up
    IMAGE_ANIM_MAX_LENGTH = 65536,
    IMAGE_ANIM_MAX_IMAGES = 1024,
};

// Bytes a sequence may hold in all its pictures together.
constexpr int64_t IMAGE_ANIM_MAX_BYTES = int64_t(1) << 30;

// A new picture record of w x h x components and the given format, name "" and info "";
// no pixels yet (readers add rows with image_row).
Image *image_alloc(int width, int height, int components, int format);
// Row y of level 0, growing the pixel buffer (doubling, up to the full height) when row y
// is not allocated yet: a header that claims a huge picture costs memory only as its rows
// really arrive. rows_allocated starts at 0.
uint8_t *image_row(Image *image, int y, int *rows_allocated);
// 1 when width and height lie in 1 .. IMAGE_MAX_SIDE.
int image_size_ok(int width, int height);
// Bytes of a full chain from width x height down to 1 x 1, and the level count.
size_t image_chain_bytes(int width, int height, int components, int *levels);

// Skips "#" comment lines between header numbers.
void image_skip_comments(DataStream *stream);
// PPM/PGM body after the magic word: binary ("P6"/"P5") or text ("P3"/"P2").
Image *pnm_read_body(DataStream *stream, int binary, int components);
// One file by data name, links not followed: on a "LINK" file returns null and sets link to
// the name it stands for (link is emptied otherwise).
Image *image_read_file(const char *name, std::string *link);
// Grey pictures become RGB (the texture path takes 3 or 4 components); level 0 only.
void image_expand_grey(Image *image);
// PNG pictures by data name (8-bit, with option text); null when missing or undecodable.
Image *png_read(const char *name);
