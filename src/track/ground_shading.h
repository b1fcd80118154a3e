// The CPU side of the ground renderer that loading and deforming a track needs: the light
// and shadow maps ("shading.ppm", "shadingx2.ppm", "shadows.pgm"), the ground normal map,
// the light-map update after height changes and the level-of-detail error bounds. No GL:
// the renderer makes its textures from what is kept in the Terrain.
#pragma once

#include "common/vec.h"

struct Terrain;

// Program-wide inputs of the ground setup, set before a track loads.
// use_shader: the "use_shader" configuration; texture_size: the configured ground texture
// size in texels (32 .. 1024); lod_tolerance: terrain detail (default 0.02).
void ground_configure(int use_shader, int texture_size, float lod_tolerance);
// The track's light (read from "lighting" before the terrain): sun direction (normalised
// here), sun colour, ambient colour and the dynamic lighting flag.
void ground_set_lighting(Vec3 sun_vector, Vec3 sun_color, Vec3 ambient, int dynamic_lighting);

// Starting values of the render settings in a cleared Terrain.
void ground_defaults(Terrain *terrain);
// Reads the light map ("shadingx2.ppm", else "shading.ppm" halved) and the optional shadow
// map of the track directory dir into the terrain; decides ground_normal_maps for the
// requested method and fills ground_normals from the vertex normals and shadows. 0 with the
// message on failure.
int ground_maps_load(Terrain *terrain, const char *dir, int method);
// Writes "shading.ppm" (bytes doubled, limited to 255) and "shadingx2.ppm" (bytes as kept)
// under the data name prefix (e.g. "@mytrack/"). 0 after "Can't open '...'" on failure.
int ground_maps_save(const Terrain *terrain, const char *prefix);

// Recomputes shading (and ground_normals when kept) for columns c0..c1, rows r0..r1
// (inclusive, limited to the field) from the vertex normals and the track's light, and adds
// the rectangle to shading_dirty.
void ground_shading_update(Terrain *terrain, int c0, int r0, int c1, int r1);

// Takes the rectangle of samples whose light changed since the last call (c0, r0, c1, r1
// inclusive) and clears it. Returns 0 when nothing changed.
int ground_take_dirty(Terrain *terrain, int rect[4]);

// Continues the rebuild of the quadtree error bounds with a work budget (10 units per
// triangle, 1 per sample compared; budget <= 0 means unlimited). A rebuild starts when
// change_count differs from the last rebuilt count; finished bounds become lod_error.
// Returns 1 when the bounds are up to date.
int ground_lod_step(Terrain *terrain, int budget);
// Quadtree node index of depth d, column a, row b: (4^d - 1) / 3 + a + b * 2^d.
inline int ground_lod_index(int d, int a, int b) { return ((1 << (2 * d)) - 1) / 3 + a + (b << d); }
