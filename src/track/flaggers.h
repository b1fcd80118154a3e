// Flag marshals ("flaggers" in a track directory): the start marshal who walks across the
// grid, the lap-board marshal and the flaggers that wave while a rider approaches the gates
// they watch. Each stands as a billboard in the track's billboard list.
#pragma once

#include "common/common.h"
#include "common/vec.h"

struct Terrain;

enum {
    START_MARSHAL_PICTURES = 5,
    LAP_MARSHAL_PICTURES = 4,
    FLAGGER_GATES = 4,
};

struct Flagger {
    int billboard;                   // index in the billboard list
    Vec3 pos;                        // as given in the file (y above the ground)
    float width, height;             // picture size, feet
    const char *texture_name;        // normal picture (interned)
    const char *texture_active_name; // picture shown while a rider approaches its gates
    int texture;                     // texture ids; 0 until the renderer loads the names
    int texture_active;
    int gates[FLAGGER_GATES];        // watched gate indices, -1 for none
};

struct StartMarshal {
    int present;                     // 1 when the file named one
    int billboard;                   // index in the billboard list
    Vec3 a, b;                       // walks from point a to point b (y above the ground)
    float width, height;             // picture size, feet
    float path_time;                 // seconds from a to b (1 unless the file says otherwise)
    const char *pictures[START_MARSHAL_PICTURES];   // interned data names, one per state
    int textures[START_MARSHAL_PICTURES];           // ids, 0 until the renderer loads them
};

struct LapMarshal {
    int present;
    int billboard;
    Vec3 pos;                        // y above the ground
    float width, height;
    const char *pictures[LAP_MARSHAL_PICTURES];
    int textures[LAP_MARSHAL_PICTURES];
};

struct Flaggers {
    StartMarshal start;
    LapMarshal lap_board;
    Array list;                      // Flagger records
};

// Reads the data name: the start marshal, the lap-board marshal, then flaggers until an
// entry does not match (what was read before stays). Every marshal adds its billboard to
// billboards (an Array of Billboard); gate indices are limited to -1 .. gate_count - 1.
// flaggers is cleared first. terrain may be null. Returns the number of flaggers read.
int flaggers_read(Flaggers *flaggers, Array *billboards, const Terrain *terrain, int gate_count,
                  const char *name);

// Writes the marshals and flaggers in the form flaggers_read reads (the flaggers only after
// both marshals, as the file requires). Returns 1, or 0 with "Can't open 'flaggers'" shown.
int flaggers_write(const Flaggers *flaggers, const char *name);

// Frees the flagger list and clears the record.
void flaggers_free(Flaggers *flaggers);
