// The track list and the loaded track: finding the tracks among the game data, loading one
// track (its ground and every object file) headless, the digest that identifies its data,
// and freeing it again. The loaded track is one program-wide record that owns the Terrain,
// every object list and the roost particle pool until track_unload.
#pragma once

#include <cstdint>

#include "common/common.h"
#include "common/vec.h"
#include "track/cameras.h"
#include "track/flaggers.h"
#include "track/gates.h"
#include "track/lighting.h"
#include "track/statues.h"
#include "track/terrain.h"

struct RoostType;

enum {
    PARTICLE_SLOTS = 2000,   // roost particles; each owns one billboard made with the track
    TRACK_DIGEST_BYTES = 20,
};

// One roost particle slot. The wheel emitter and the particle step use it; the track only
// makes the slots with their billboards.
struct Particle {
    Vec3 pos;                  // feet
    Vec3 vel;                  // ft/s
    int billboard;             // index in the track's billboard list
    const RoostType *kind;     // what it was thrown as; null while free
    int next;                  // next slot of the free or live list, -1 at the end
};

struct ParticlePool {
    Particle slots[PARTICLE_SLOTS];
    int free_first;            // first free slot, -1 when none is free
    int live_first;            // first live slot, -1 when none lives
};

// The list of tracks, built once at start-up, sorted by description (case-insensitive).
struct TrackList {
    const char **names;        // directory of each track: its height file's data name up to the last '/'
    const char **descs;        // description of each track ("desc" first line, else the name)
    int count;
    int selected;              // index chosen in the menus (kept by the menu and settings code)
};

// The loaded track.
struct Track {
    const char *name;          // current_track: loaded directory, null when none (or the last load failed)
    const char *desc;          // current_track_desc: its description, or the name when not listed
    uint8_t digest[TRACK_DIGEST_BYTES];   // of terrain, timing, statues and statue shapes; zero until a load succeeds
    Terrain terrain;
    Lighting lighting;
    Timing timing;
    Array billboards;          // Billboard: roost particles, marshals, then the track's own
    Array statues;             // Statue: start gates, then the track's own
    StatueBuckets statue_buckets;
    Flaggers flaggers;
    Cameras cameras;
    ParticlePool particles;
    int first_billboard;       // the track's own billboards and statues start here (the
    int first_statue;          // editor writes only those)
    const char *map_picture;   // "map.png" of the track when it decodes, else null
    int map_texture;           // texture id; 0 until the renderer loads map_picture
};

// Inputs of the load chosen by the settings and the command line: the debug level (above 0
// logs each step), the ground render method (1 .. 3) and whether shaders are in use (then
// normal and specular maps are looked for).
void track_configure(int verbose, int ground_method, int use_shader);
// The texture manager's running count of texture memory for the loading log lines. Null
// (the default: a headless load makes no textures) logs 0.
void track_set_texture_bytes(unsigned long (*texture_bytes)());

// Builds the track list from the data names (every ".../terrain.hf" or ".../terrain.hf.gz",
// once per directory). Returns the number of tracks; with none, writes "No tracks found" to
// the error stream and returns 0 (the caller ends the program with status 1).
int tracks_scan();
const TrackList *track_list();

// Loads the track of directory name (a track directory below the data directories, without
// '@'), replacing a loaded one. Needs no display: pictures and models are decoded into their
// caches by name and the renderer makes GL objects later. Returns 1, or 0 when the terrain
// fails to load (then nothing of the track is kept, the name becomes null and the digest
// zero). The caller shows the loading message before and sets up the editor and the racing
// lines after.
int track_load(const char *name);
// Frees everything track_load made; the track name becomes null. Nothing happens when no
// track is loaded.
void track_unload();
// The loaded track record (name null when none is loaded).
Track *track_get();
// The digest of the loaded track's identifying data (all zero until a load succeeds): the
// bytes of terrain.hf, terrain.png, texturelist, tilemap, tileinfo, timing_gates, statues and
// each distinct statue shape file, in that order.
const uint8_t *track_digest();
