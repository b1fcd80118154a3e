// Pictures of the ground: the tile textures of every surface and the transition tiles
// between them, the roost particles and the decals. Shared by all tracks.
#pragma once

#include <string>

#include "course.h"

// Data name of the tile texture of surface type t (0 .. LAND_SURFACE_TYPES - 1), such as
// "@tiles/loam.png", "@tiles/loam-grass-0011.png" or "@tiles/loam-alt1.png" (the names the
// editor's transition rule reads: base, overlay, corner mask, or another picture of a base).
std::string texture_tile_name(int type);
// Data name of the roost particle picture of a base surface.
std::string texture_roost_name(int surface);
// Paints and writes every tile texture, roost picture and decal picture.
void textures_write_all();
