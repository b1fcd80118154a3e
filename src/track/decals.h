// Decals: pictures painted onto the ground ("decals" in a track directory). The list lives
// in the Terrain (terrain->decals, an Array of Decal) and is read at the end of the terrain
// load; the ground renderer draws them into the composed ground textures.
#pragma once

struct Array;
struct Terrain;

struct Decal {
    float x, z;               // centre on the ground plane, feet
    float angle;              // turn about the vertical, radians
    float size_x, size_z;     // extent along the decal's own axes, feet
    float sin_angle;          // sin(angle), kept for the composition loops
    float cos_angle;          // cos(angle)
    const char *texture;      // data name of the picture (interned); the picture is decoded
    const char *normal_map;   // "_tnorm" picture found beside it, or null
    const char *spec_map;     // "_tspec" picture found beside it, or null
};

// Reads track_dir + "/decals" (track_dir is the track's data name, "@" + directory) and
// appends every decal whose picture decodes to terrain->decals, then files them into the
// terrain's decal buckets. A missing file means no decals. Returns the number of decals kept.
int decals_read(Terrain *terrain, const char *track_dir);

// Writes the decals of the list (an Array of Decal) to the data name as
// "[%f %f] %f %f %f %s\n" lines. Returns 1, or 0 with "Can't open 'decals'" shown when the
// file cannot be created.
int decals_write(const Array *decals, const char *name);
