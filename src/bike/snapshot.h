// The bike snapshot: one bike's pose, wheel angles, status and engine speed packed into a
// fixed 39-byte record per step (26 bytes in the older version 4), for demos and the network.
// Applying a record poses a bike without simulating it and derives its body velocities from
// the previous record.
#pragma once

#include <cstdint>

struct Bike;
struct Terrain;

enum {
    SNAPSHOT_BYTES = 39,       // version 5
    SNAPSHOT_V4_BYTES = 26,
};

// Record size of a snapshot version: 39 for 5, 26 for 4, 0 for any other.
int snapshot_size(int version);

// Packs the bike's live state (version 5). Positions outside the terrain square, rider
// offsets beyond 16 ft and rpm above 32768 are clamped. terrain may be null (a 1 ft square).
void snapshot_pack(const Bike *bike, const Terrain *terrain, uint8_t out[SNAPSHOT_BYTES]);

// Poses the bike from a record of version 4 or 5; steps is the number of steps since the
// previous record applied to this bike (0 sets no velocities).
void snapshot_apply(Bike *bike, const Terrain *terrain, const uint8_t *record, int version,
                    int steps);
