// Statues: solid 3-D objects on the ground ("statues" in a track directory) with a model, a
// colour picture, optional normal and specular maps and a collision shape, plus the 8 x 8
// buckets that find the statues near a point. The list is an Array of Statue owned by the
// loaded track; indices stay stable while the track is loaded.
#pragma once

#include "common/common.h"
#include "common/vec.h"

struct Model;
struct Shape;
struct Terrain;

enum {
    STATUE_BUCKETS_SIDE = 8,   // buckets per side of the grid
    STATUE_BUCKETS = 64,
};

// Statues with this angle or more turn about the vertical to face the viewer.
constexpr float STATUE_FACING_ANGLE = 3.25f;

struct Statue {
    const Model *model;          // from the model cache, null for none
    const Shape *shape;          // from the shape cache, null for none (no collisions)
    const char *model_name;      // interned data names as given, null for "null"
    const char *texture_name;
    const char *shape_name;
    const char *normal_map_name; // found beside the texture or the model (shaders only), or null
    const char *spec_map_name;
    int texture;                 // texture ids; 0 until the renderer loads the names
    int normal_map;
    int spec_map;
    Vec3 pos;                    // x, ground height + y_offset, z (feet)
    float y_offset;              // the y given in the file
    float angle;                 // the number given in the file (radians, or a facing size)
    Mat3 orient;                 // rows: right, up, back; the up row follows the ground
    float face_size;             // 2^angle when angle >= 3.25, else 0: turns to face the viewer
};

// The statue spatial index: bucket (i, j) at cells[j * 8 + i] holds int statue indices.
struct StatueBuckets {
    Array cells[STATUE_BUCKETS];
};

// Appends a statue at (x, z), y above the ground, with model, texture and shape data names
// (null or "null" for none). The model, pictures and shape are loaded through their caches
// (normal and specular maps only when track_configure turned shaders on);
// a named shape that cannot be loaded shows "Warning: missing shape file %.900s". terrain
// may be null (flat ground at 0). Returns its index.
int statue_add(Array *statues, const Terrain *terrain, float x, float y, float z, float angle,
               const char *model, const char *texture, const char *shape);

// Reads "[ x y z ] angle model texture shape" entries from the data name until one does not
// match. The list must have been made with array_init(statues, sizeof(Statue)). A missing
// file adds nothing. Returns the number of statues added.
int statues_read(Array *statues, const Terrain *terrain, const char *name);

// Writes statues first .. count-1 as "[%f %f %f] %f %s %s %s\n" lines (missing names as
// "null"). Returns 1, or 0 with "Can't open 'statues'" shown.
int statues_write(const Array *statues, int first, const char *name);

// Recomputes a statue's height and orientation from the ground under it (after the ground
// changed).
void statue_reground(Statue *statue, const Terrain *terrain);

// Empties the 64 buckets (creating them when needed) and files every statue with a shape
// into each bucket its footprint (x, z +- the shape's bounding radius) touches. The grid
// spans the middle three quarters of the terrain; the outer eighth on each side falls into
// the edge buckets.
void statue_buckets_build(StatueBuckets *buckets, const Array *statues, const Terrain *terrain);
// The bucket holding (x, z): an Array of int statue indices (empty before the first build).
const Array *statue_bucket_at(const StatueBuckets *buckets, const Terrain *terrain, float x,
                              float z);
// Frees the buckets' storage; counts and capacities become 0.
void statue_buckets_free(StatueBuckets *buckets);
