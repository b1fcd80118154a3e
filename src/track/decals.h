// Decals: pictures painted onto the ground ("decals" in a track directory). The list lives
// in the Terrain (terrain->decals, an Array of Decal) and is read at the end of the terrain
// load; the ground renderer files them into its buckets and draws them into the composed
// ground textures.
#pragma once

struct Array;
struct Terrain;

struct Decal {
    float x, z;               // centre on the ground plane, feet
    float angle;              // turn about the vertical, radians
    float size_x, size_z;     // extent along the decal's own axes, feet
    float sin_angle;          // sin(angle), kept for the composition loops
    float cos_angle;          // cos(angle)
    const char *texture;      // data name of the picture (interned); decoded in the picture cache
    const char *normal_map;   // "_tnorm" picture found beside it (shaders only), or null
    const char *spec_map;     // "_tspec" picture found beside it (shaders only), or null
};

// Reads track_dir + "/decals" (track_dir is the track's data name, "@" + directory) into
// terrain->decals (made when the terrain has no list yet), dropping decals whose picture
// does not decode, then files every decal into terrain->decal_buckets: bucket (i, j) at
// index j * 8 + i covers the eighth [i, i + 1) * world_size / 8 in x and likewise in z (the
// outside falls into the edge buckets), and a decal goes into each bucket its square of
// half-side |size_x, size_z| / 2 touches. A missing file adds nothing. Returns the number of
// decals kept.
int decals_read(Terrain *terrain, const char *track_dir);

// Writes the decals of the list (an Array of Decal) to the data name as
// "[%f %f] %f %f %f %s\n" lines. Returns 1, or 0 with "Can't open 'decals'" shown when the
// file cannot be created.
int decals_write(const Array *decals, const char *name);
