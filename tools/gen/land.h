// The ground of a generated track: heights cut from the course into its surroundings,
// the surface at every tile corner and the tile map with transition tiles, and the baked
// light (sun, shadows, ambient occlusion in the hollows).
#pragma once

#include <cstdint>
#include <vector>

#include "course.h"

// Surface types of every track's "tileinfo": the base surfaces, then for each base in
// LAND_TRANSITION_BASES the fourteen corner masks of its edge against grass, then a second
// picture of every base that breaks up the repetition of large areas.
enum {
    LAND_TRANSITION_PAIRS = 4,
    LAND_FIRST_ALTERNATE = SURFACE_BASE_COUNT + LAND_TRANSITION_PAIRS * 14,
    LAND_SURFACE_TYPES = LAND_FIRST_ALTERNATE + SURFACE_BASE_COUNT,
};
extern const int LAND_TRANSITION_BASES[LAND_TRANSITION_PAIRS];

struct Land {
    int tile_bits;                 // n
    int size;                      // S = 2^(n+1) + 1 samples per side
    float spacing;                 // ft
    float min_height, max_height;  // range of the 16-bit samples
    std::vector<float> heights;    // S * S, already on the 16-bit steps the files hold
    std::vector<int> nearest;      // S * S: nearest course point, -1 away from the course
    std::vector<float> lateral;    // S * S: ft right of the centreline at that point
    std::vector<uint8_t> corners;  // (2^n + 1)^2 surface at each tile corner
    std::vector<uint8_t> tilemap;  // 2^n * 2^n surface type index of each tile
    std::vector<uint8_t> shading;  // S * S RGB light at half intensity
    std::vector<uint8_t> light;    // S * S: 255 lit .. 0 in full shadow ("shadows.pgm")
};

// Cuts the course into its surroundings and paints the surfaces.
void land_author(const Course &course, Land *land);
// Ground height under (x, z) on the two triangles of each cell, as the game reads it.
float land_height(const Land &land, float x, float z);
// Distance (ft) from (x, z) to the nearest edge of the riding surface; negative inside.
float land_edge_distance(const Land &land, const Course &course, float x, float z);
// Darkens the light under round shadows (trees) at (x, z) of radius r, before baking.
void land_add_shadow(Land *land, float x, float z, float radius, float darkness);
// Bakes the light map from the sun (unit vector towards it), its colour and the ambient
// light: direct light times the shadows, plus ambient light dimmed in the hollows.
void land_bake_light(Land *land, const float sun[3], const float sun_color[3],
                     const float ambient[3]);
