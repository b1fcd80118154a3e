// The light of a track ("lighting" in a track directory): sun, ambient light, clipping
// planes, sky pictures, fog and lens flares, with their defaults and limits.
#pragma once

#include "common/common.h"
#include "common/vec.h"

enum {
    FLARE_ELEMENTS_MAX = 8,
    SKY_NORTH = 0, SKY_EAST, SKY_SOUTH, SKY_WEST, SKY_UP,
    SKY_FACES,
};

// The clipping planes are kept within these limits (feet).
constexpr float LIGHTING_NEAR_MIN = 1.0f / 1024.0f;
constexpr float LIGHTING_NEAR_MAX = 0.875f;
constexpr float LIGHTING_FAR_MAX = 1048576.0f;

struct FlareElement {
    float place;              // first number: where along the flare line it sits
    float size;               // second number: its size
    Vec3 color;               // r, g, b
    float extra;              // the further number, handed to the flare drawing
    const char *texture_name; // interned data name
    int texture;              // texture id; 0 until the renderer loads texture_name
};

struct Flare {
    FlareElement elements[FLARE_ELEMENTS_MAX];
    int element_count;
    Vec3 anchor;              // a point, or a direction when directional
    int directional;          // 1: anchored in a direction like the sun
};

struct Lighting {
    Vec3 sun_vector;          // unit direction towards the sun [(1, 1, 1) normalised]
    Vec3 sun_color;           // [(1, 1, 1)]
    Vec3 ambient;             // [(0.5, 0.5, 0.5)]
    Vec3 global_ambient;      // light-model ambient [(0.2, 0.2, 0.2)]
    float near_plane;         // feet, 1/1024 .. 0.875 [0.25]
    float far_plane;          // feet, near_plane .. 1048576 [5000]
    int dynamic_lighting;     // 1: lit per pixel where shaders allow
    const char *sky[SKY_FACES];  // interned picture names: north, east, south, west, up
    const char *sky_env;         // reflection picture
    int sky_textures[SKY_FACES]; // texture ids; 0 until the renderer loads the names
    int sky_env_texture;
    float fog_color[4];       // r, g, b, a [white, alpha 1]
    float fog_density;        // exponential fog density, 0 = none [0]
    Array flares;             // Flare records
};

// The defaults (the values above, no sky pictures, no flares). Frees nothing: call
// lighting_free on a record that holds flares.
void lighting_defaults(Lighting *lighting);

// Reads the data name into lighting (reset to the defaults first) line by line as
// "keyword value". An unknown keyword shows "Error reading lighting: Unknown identifier
// '%.950s'" and ends the reading; what was read stays. Afterwards the planes are limited,
// the sun vector normalised and every sky picture not named takes its default ("@sky-n.ppm"
// ... "@sky-env.ppm"); all pictures are decoded into the picture cache. A missing file gives
// the defaults. Returns 1 when the file was read.
int lighting_read(Lighting *lighting, const char *name);

// Writes the lighting in the form lighting_read reads. Returns 1, or 0 with
// "Can't open 'lighting'" shown.
int lighting_write(const Lighting *lighting, const char *name);

// Frees the flare list.
void lighting_free(Lighting *lighting);
