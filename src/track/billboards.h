// Billboards: flat pictures that always face the viewer ("billboards" in a track
// directory), also used for the flag marshals and the roost particles. The list is an Array
// of Billboard owned by the loaded track; indices stay stable while the track is loaded.
#pragma once

#include <cstdint>

#include "common/vec.h"

struct Array;
struct Terrain;

struct Billboard {
    Vec3 pos;                   // x, ground height + y_offset, z (feet)
    float width;                // picture width, feet
    float y_offset;             // the y given in the file
    float height;               // picture height, feet
    int texture;                // texture id; 0 until the renderer loads texture_name (0 = not drawn)
    const char *texture_name;   // interned data name of the picture, null for none
    uint8_t color[4];           // r, g, b, a; 255 each unless the file names a colour
    int draw_state[2];          // two words the billboard drawing keeps per billboard
};

// Appends a billboard standing y above the ground at (x, z) with the given picture (null
// for none; the picture is decoded into the picture cache), white. Returns its index.
// terrain may be null: the ground is then at height 0.
int billboard_add(Array *billboards, const Terrain *terrain, float x, float y, float z,
                  float width, float height, const char *texture_name);

// Reads "[ x y z ] width height name" entries from the data name until one does not match;
// a name "#rrggbb#picture" tints the billboard with that colour. The list must have been
// made with array_init(billboards, sizeof(Billboard)). A missing file adds nothing.
// Returns the number of billboards added.
int billboards_read(Array *billboards, const Terrain *terrain, const char *name);

// Writes billboards first .. count-1 of the list to the data name, in the form the reader
// reads ("[%f %f %f] %f %f " and the name, with its "#rrggbb#" prefix when tinted).
// Returns 1, or 0 with "Can't open 'billboards'" shown.
int billboards_write(const Array *billboards, int first, const char *name);
