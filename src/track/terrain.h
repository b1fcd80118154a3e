// The heightfield ground of a track: the grid of height samples, its file forms
// ("terrain.hf" with binary samples or "terrain.png"), loading and saving, and the geometric
// queries physics, AI, cameras and objects ask of it. The same Terrain record holds the
// surface tables (surface.h), the deformation flags (deform.h) and the CPU side of the
// ground-render state (ground_shading.h).
//
// World axes: y up, the grid in x and z from the origin. Column c lies at x = c * spacing,
// row r at z = r * spacing; sample (c, r) is heights[r * grid_size + c]. Tile (i, j) covers
// columns 2i .. 2i + 2 and rows 2j .. 2j + 2.
#pragma once

#include <cstdint>

#include "common/common.h"
#include "common/vec.h"
#include "track/deform.h"
#include "track/ground_shading.h"
#include "track/surface.h"

enum {
    TERRAIN_MIN_TILE_BITS = 6,    // the renderer groups tiles in blocks of 64 x 64
    TERRAIN_MAX_TILE_BITS = 11,   // 4097 x 4097 samples; larger headers fail the load
    TERRAIN_DECAL_BUCKETS = 64,   // ground buckets the decals are filed into
};

struct Terrain {
    // Height grid.
    int tile_bits;          // n: the tile map is 2^n x 2^n tiles
    int grid_size;          // S = 2^(n+1) + 1 samples per side
    float spacing;          // ft between neighbouring samples
    float tile_size;        // 2 * spacing
    float world_size;       // 2^(n+1) * spacing: side of the covered square, ft
    float min_height;       // lower end of the stored height range, ft
    float max_height;       // upper end of the stored height range, ft
    float *heights;         // S * S samples, row-major; owned
    int change_count;       // 1 after loading; +1 per change of heights

    // Surface types and tile map.
    int surface_count;                // 0 .. 256
    Surface surfaces[SURFACE_MAX];    // entries beyond surface_count are zero
    uint8_t *tilemap;                 // 2^n * 2^n surface indices, row 0 first; owned

    // Deformation.
    int deform_locked;      // set for network games: no height changes while set
    int deformed;           // set by any height change since loading

    // Decals painted onto the ground (decals.h): Decal records; elem_size 0 when the track
    // has no decal list. The buckets hold int indices into decals, filed by decals_read.
    Array decals;
    Array decal_buckets[TERRAIN_DECAL_BUCKETS];

    // Ground-render state kept on the CPU (the renderer makes its GL objects from these).
    int ground_method;        // 1 TexSubImage, 2 CopyTexSubImage, 3 framebuffer objects
    int ground_texture_dim;   // texels per ground texture; 128 before setup
    int ground_normal_maps;   // 1 when ground_normals is kept
    float lod_tolerance;      // allowed screen error of the ground mesh (default 0.02)
    Vec3 sun_vector;          // unit direction towards the sun
    Vec3 sun_color;           // light colours of the track
    Vec3 ambient;
    uint8_t *shading;         // S * S RGB light colours at half intensity (255 = 2.0); owned
    uint8_t *shadow;          // S * S darkness, 0 lit .. 255 shadowed; owned
    uint8_t *ground_normals;  // S * S * 3: normal x, 255 - darkness, normal z; owned or null
    int shading_dirty[4];     // columns c0, r0 .. c1, r1 whose light changed since the
                              // renderer last took them; c0 > c1 when none
    int lod_node_count;       // (4^(n+1) - 1) / 3 quadtree nodes
    float *lod_error;         // error bound of every node, in use; owned
    float *lod_build;         // bounds being rebuilt; swapped with lod_error when done; owned
    uint8_t *lod_forced;      // one bit per node forced to full detail; owned
    int lod_built_count;      // change_count the bounds in lod_error belong to
    int lod_build_count;      // change_count of the rebuild in progress, 0 when none
    int lod_level;            // rebuild cursor: depth and node index within it
    int lod_node;
};

// Sets the verbose (debug) level that enables the diagnostic log lines (height digest at 2).
void terrain_set_verbose(int level);

// Loads the ground of a track directory (a data name such as "@mytrack"): "terrain.hf" and
// its samples, light and shadow maps, "tileinfo" or "texturelist", "tilemap" and the decals.
// method is the requested ground render method (1 .. 3). Returns 1 on success; on failure
// 0 after the message, with the record freed.
int terrain_load(Terrain *terrain, const char *dir, int method);
// Ground height (ft) under (x, z); points outside the field read the border samples.
// Allocates nothing. A record without heights answers 0 (and an upward normal below).
float terrain_height(const Terrain *terrain, float x, float z);
// Normal of the ground triangle under (x, z), not normalised (length = twice the triangle
// area), y >= 0. Allocates nothing.
void terrain_face_normal(const Terrain *terrain, float x, float z, Vec3 *normal);
// Smoothed unit normal at grid vertex (column, row), indices clamped to the field.
void terrain_vertex_normal(const Terrain *terrain, int column, int row, Vec3 *normal);
// Tile cell (column i, row j) holding (x, z), both limited to 0 .. 2^n - 1.
void terrain_tile_at(const Terrain *terrain, float x, float z, int *i, int *j);
// Writes "terrain.hf", "terrain.png", the light maps, "tilemap" and "decals" (when the track
// has a decal list) as "@" + track_name + "/" + file. Refreshes min_height / max_height.
// Returns 1, or 0 after "Can't open '<file>'" (files already written stay).
int terrain_save(Terrain *terrain, const char *track_name);
// Releases every buffer of the record and clears it.
void terrain_free(Terrain *terrain);

// Builds a record around the given heights (grid 2^(n+1) + 1, copied) with one default
// surface type, an all-zero tile map, flat light maps and the render defaults: the editor's
// new tracks and tests. Returns 0 when tile_bits or spacing is unusable.
int terrain_create(Terrain *terrain, int tile_bits, float spacing, const float *heights);
