// Racing lines: the per-track table of recorded line pieces between consecutive line gates,
// their statistics from auto-pilot passes, the three lines files ("lines_novice",
// "lines_amateur", "lines_expert") they live in between runs, the recording of ridden laps,
// eviction and thinning of crowded rows, and the chain-cost analysis that picks the cheapest
// line around the first lap and the repeating lap for each skill level.
// Positions in feet, speeds in ft/s, times in steps of 1/128 s counted from the race reset.
#pragma once

#include <cstdint>

#include "common/common.h"

struct Bike;
struct Timing;

enum {
    SEGMENT_SLOTS = 45,            // candidate segments per line gate
    LINE_SAMPLE_STEPS = 32,        // a ridden lap is sampled every 0.25 s
    SEGMENT_NO_TIME = 1000000,     // own and through time of an empty slot
    SEGMENT_PENALTY_STEPS = 640,   // a failure is worth 5 s
    LINE_GATE_FLAG = 100000,       // lap entries from here on are not line gates
    CHAIN_NO_COST = 100000000,     // no chain connects
    CHAIN_NONE = 45,               // back pointer of no predecessor
    LINE_SKILLS = 3,               // novice, amateur, expert (exploration has no BestLine)
    SKILL_EXPLORE = 3,
};

// One sampled point of a line (20 bytes, copied as a block).
struct LinePoint {
    float x, y, z;     // chassis position
    float speed;       // chassis speed; negative when neither wheel touched the ground
    float lean;        // roll angle, radians
};

// One candidate slot of a table row.
struct LineSegment {
    LinePoint *points;     // owned, riding order; null when empty
    int count;             // points; 0 marks an empty slot
    int own_time;          // recording lap: start gate to end gate, steps
    int through_time;      // recording lap: start gate to the gate after the end gate
    int tested;            // counted successful auto-pilot passes
    int best_own;
    int best_through;
    int own_sum;
    int through_sum;
    int fails;             // failures charged to the segment
    int last_picked;       // step an auto pilot last chose it or one ending near it (not saved)
    int id;                // unique within the table, 0 for none
};

// Rows of SEGMENT_SLOTS slots; row r holds segments that end at line gate r.
struct SegmentTable {
    LineSegment *slots;    // rows * SEGMENT_SLOTS
    int rows;              // F + N; 0 when the track has no line gates
    int first_rows;        // F: line gates of the first-lap list
    int next_id;           // table-wide id counter, only grows
};

// Three chosen lines by skill: the segment id per row (0 where none qualifies).
struct BestLine {
    int *ids;              // rows entries
};

// Learning state of one rider slot.
struct LineRider {
    Array buffer[2];       // LinePoint; buffer (n mod 2) fills while n line gates were crossed
    int cancel;            // bit k: buffer k must not be stored
    int picked[4];         // ids chosen for table row index g at picked[g mod 4]
    int personality;       // 0 ridden by a person or replayed, else the auto pilot's
};

// Chain costs of line_chain_costs: cost[p][j], back pointers back[(m - a - 1)][p][j].
struct ChainCosts {
    int cost[SEGMENT_SLOTS][SEGMENT_SLOTS];
    uint8_t *back;         // (gates - 1) * 2025 bytes, owned by the lines module
    int gates;
};

// ---- The table ----

// Makes the table for the timing of a loaded track (freeing the old one): every slot empty,
// id counter 0. Without a first-lap and a normal-lap line gate there is no table.
void lines_init(const Timing *timing, const char *track_name);
// Frees the table, its points and the BestLines.
void lines_free();
SegmentTable *lines_table();       // null when no table exists
const BestLine *lines_best(int skill);   // skill 0..2; null without a table
// Frees every slot's points and puts every field at its initial value.
void lines_clear();
// Number of line gates among the first k lap-sequence entries (any k >= 0).
int line_gate_count(int k);
// Table row of line gate index g (g >= 0).
int line_row(int g);
// Slot of a row, or null when the row or slot is out of range.
LineSegment *line_segment(int row, int slot);
// Slots of a row that hold a line (0 for a row out of range).
int line_row_used(int row);
// Slot of a row holding id, or null.
LineSegment *line_segment_by_id(int row, int id);

// ---- Files ----

// "lines_novice", "lines_amateur", "lines_expert" for 0..2, null otherwise.
const char *lines_file_name(int index);
// Writes the table to the named lines file of the table's track: a new file first, renamed
// over the old one, so a failed write keeps the old lines. Nothing unless learning is on.
void lines_save(const char *name);
// Reads the named lines file into the cleared table; a missing file or one made for a
// different count of line gates leaves the table empty. Returns the slots loaded.
int lines_load(const char *name);
// Reads a lines file from an open stream into the cleared table (the loader's core).
int lines_read(struct DataStream *stream);
// Empties crowded first-lap rows (44 or more segments) down to 43, the lines crossing most
// others first.
void lines_thin();

// ---- Learning ----

void lines_set_learning(int on);   // "--learn"
int lines_learning();
void lines_set_verbose(int level); // debug level: 1 logs what the learner and pilots do
int lines_verbose();
// Copies a recorded stretch into row: the duplicate test, the target slot (first empty, else
// segment_victim) and the expected-time acceptance. Returns the slot, or -1 when rejected.
int lines_store(int row, const LinePoint *points, int count, int own_time, int through_time);
// Expected time of a slot in steps (empty slots: 1250000).
int segment_expected(const LineSegment *segment);
// Slot of row to overwrite, or -1 when no slot may go.
int segment_victim(int row);
// Cost of a slot at skill 0..3, steps.
int segment_cost(const LineSegment *segment, int skill);
// 1 when segment a (of some row) may be followed by segment b (of the next row).
int segments_connect(const LineSegment *a, const LineSegment *b);
// Centre of the circle through three points in the x-z plane (far off for a straight line).
void line_circle_centre(const LinePoint *p0, const LinePoint *p1, const LinePoint *p2,
                        float *cx, float *cz);
// Chain costs over the gates of rows start .. start+gates-1 (wrapping like line_row from
// start) at a skill. The result lives until the next call.
const ChainCosts *line_chain_costs(int start_row_index, int gates, int skill);
// Fills the three BestLines.
void lines_analyze();

// ---- Per rider ----

LineRider *line_rider(int slot);   // slot 0..159
// Empties both buffers and the cancel bits and picked ring, and sets the personality.
void line_rider_reset(int slot, int personality);
// Every step, before crossings are tested: sampling of ridden laps and the stopped check.
void lines_rider_step(Bike *bike);
// A stopped rider crossed a gate while heading for lap entry next_entry: the buffer filling
// then must not be stored.
void lines_cancel(Bike *bike, int next_entry);
// A lap entry that is a line gate was crossed (its step is already in the crossing list)
// at the given offset from the expected entry.
void lines_gate_crossed(Bike *bike, int entry, int offset);
// Hands the learner's entry points (and the auto pilot's slow-down lap) to gate progress.
void lines_attach_progress();
