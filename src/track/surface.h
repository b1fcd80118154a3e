// Surface types of the ground: the per-type records (grip curve, rolling resistance, roost
// emitters, rut parameters, editor transition code), the "tileinfo" and "texturelist"
// readers, and the lookups physics and AI use. The tables live in the Terrain (terrain.h).
#pragma once

#include <cstdint>

struct Terrain;
struct DataStream;

enum {
    SURFACE_MAX = 256,          // surface types per track
    SURFACE_CURVE_POINTS = 8,   // points of the grip and rolling-resistance curves
    SURFACE_ROOST_SLOTS = 4,    // roost emitters per type
};

// One kind of dirt thrown up by a wheel on this surface. Fields in file key order.
struct RoostType {
    int kind;                   // 0 none, 1 thrown by wheel spin, 2 thrown by sliding ("splash")
    int texture;                // particle texture id; 0 until the renderer loads texture_name
    const char *texture_name;   // interned data name ["@roost.png"]
    float count;                // emission rate [10]
    float dig;                  // emitter parameter [1]
    float slip_threshold;       // slip speed below which nothing is thrown, ft/s [4]
    float slow_angle;           // spread at the low spin limit, radians [pi/2]
    float fast_angle;           // spread at the high spin limit, radians [pi/16]
    float slow_speed;           // low spin limit [0]
    float fast_speed;           // high spin limit [64]
    float size;                 // starting particle size, ft [0.25]
    float grow;                 // size growth per second [4]
    float drag;                 // air drag per second [0.5]
    float vscale;               // speed factor of thrown particles [1]
    float randomize;            // random jitter of thrown particles [15]
    uint8_t r, g, b, a;         // starting colour [255 each]
    int8_t fade_r, fade_g, fade_b, fade_a;   // colour change per step [0, 0, 0, -2]
};

// How wheels dig ruts into a surface (values as read, no clamping).
struct ErodeParams {
    float erode_depth;          // amount scale of one rut event [1]
    float erode_lower;          // horizontal force below which no event is made [50]
    float erode_upper;          // force at which the heap distance is full [150]
    float erode_displacement;   // full distance from dug to heaped point, ft [2]
    float erode_radius;         // brush radius of digging and heaping, ft [4]
    float erode_max_slope;      // no change when the heap lies higher than distance * this [0.25]
    float erode_off_speed;      // wheel speed at or below which nothing erodes [10]
    float erode_on_speed;       // wheel speed at or above which erosion is full [15]
};

struct Surface {
    int texture;                  // ground texture id; 0 until the renderer loads texture_name
    const char *texture_name;     // interned data name from the file, null when none given
    const uint8_t *texture_pixels;   // RGB pixels for the software ground method, kept by the
                                     // picture cache; null until the renderer asks for them
    int texture_width, texture_height;
    float friction_value[SURFACE_CURVE_POINTS];   // grip coefficient of each point
    float friction_speed[SURFACE_CURVE_POINTS];   // ft/s, ascending; 0 = unused slot
    float roll_low[SURFACE_CURVE_POINTS];         // rolling resistance pair of each point
    float roll_high[SURFACE_CURVE_POINTS];
    float roll_speed[SURFACE_CURVE_POINTS];       // ft/s, ascending; 0 = unused slot
    RoostType roost[SURFACE_ROOST_SLOTS];
    ErodeParams erode;
    int transition;               // editor code: base * 65536 + overlay * 256 + corner mask
};

struct RollResist {
    float low, high;
};

// Defaults of a freshly begun type (one friction point (1, 1), one roll point (5, 15, 1),
// roost slots of kind 0, erode defaults).
void surface_defaults(Surface *surface);
void roost_defaults(RoostType *roost);
void erode_defaults(ErodeParams *erode);

// Surface type index of the tile under (x, z); 0 when the terrain has no tile map.
int surface_at(const Terrain *terrain, float x, float z);
// Grip coefficient at squared speed speed_sq (interpolated in squared speed).
float surface_friction(const Surface *surface, float speed_sq);
// Rolling-resistance pair at speed (interpolated linearly in speed).
RollResist surface_roll_resist(const Surface *surface, float speed);

// Reads a "tileinfo" stream into the terrain's surface table, warning about bad lines
// through console_print; always succeeds. Also sets the transition codes.
int tileinfo_read(Terrain *terrain, DataStream *stream);
// Reads an old-style "texturelist" stream; always succeeds. Also sets the transition codes.
int texturelist_read(Terrain *terrain, DataStream *stream);
// Reads 2^n x 2^n tile bytes (row 0 first) and limits each to surface_count - 1. A short
// file leaves the rest of the map at type 0. Needs tile_bits and surface_count set.
void tilemap_read(Terrain *terrain, DataStream *stream);
// Computes every type's transition code from the texture names (stems without "@" and
// directories), names[t] for type t.
void surface_transitions(Terrain *terrain, const char *const *names);
