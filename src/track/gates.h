// Timing gates ("timing_gates" in a track directory): the checkpoints that define the lap,
// the first-lap and normal-lap gate lists, and the start grid with its start-gate statues.
// Race timing and the AI work on these records.
#pragma once

#include "common/vec.h"

struct Array;
struct Terrain;

enum {
    GATES_MAX = 256,          // checkpoints per track
    LAP_LIST_MAX = 256,       // entries per lap list
    START_SLOTS_MAX = 160,    // start grid slots, one per rider slot
    LAP_ENTRY_FLAGGED = 100000,   // added to a gate index: passed and timed, not a line gate
};

struct Gate {
    Vec3 pos;          // a point of the gate (feet, as written in the file)
    Vec3 dir;          // direction; its horizontal part gives the heading of riders placed here
    float radius;      // horizontal distance from pos within which a rider passes the gate
    int highlight;     // set each frame by the scene when the gate is some rider's next gate
};

struct Timing {
    Gate gates[GATES_MAX];
    int gate_count;
    int lap_order[2 * LAP_LIST_MAX];   // the first-lap list followed by the normal-lap list
    int first_lap_len;                 // entries of each list
    int normal_lap_len;
    int first_lap_counted;             // entries below LAP_ENTRY_FLAGGED in each list
    int normal_lap_counted;
    Vec3 start_pos[START_SLOTS_MAX];   // start grid points (feet, as written in the file)
    float start_heading[START_SLOTS_MAX];   // radians, -pi .. pi; a bike faces -z at 0
    int start_gate_statue[START_SLOTS_MAX]; // statue index of each slot's start gate, -1 none
    int start_count;
};

// Heading of a rider placed at the gate: atan2(-dir.x, -dir.z).
float gate_heading(const Gate *gate);

// Empties the timing data (no start slots, gates or lists).
void timing_clear(Timing *timing);

// Reads the data name into timing (cleared first). Each start slot adds a start-gate statue
// ("@startgate.jm", "@startgate.ppm", "@startgate.shp") 3 ft ahead of the slot to statues
// (an Array of Statue). Lap entries are normalised: negative ones become 0, indices are
// limited to the last gate, 100000 + index marks a flagged entry. The gates and lists stay
// only when there is a gate and both lists hold a counted (unflagged) entry; otherwise they
// are discarded and the start slots kept. terrain may be null (flat ground at 0).
// Returns 1 when the track has timing.
int gates_read(Timing *timing, Array *statues, const Terrain *terrain, const char *name);

// Writes the start grid, the gates and both lap lists in the form gates_read reads.
// Returns 1, or 0 with "Can't open 'timing_gates'" shown.
int gates_write(const Timing *timing, const char *name);
