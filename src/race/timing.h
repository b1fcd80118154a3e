// Race timing and the race record: the 160 rider slots with their bikes, start and
// controller types, the race parameters set by each reset, and what is derived from every
// rider's gate crossing list: completed laps, lap times, best laps, the standings, the
// halfway and total laps of a timed race, cutting penalties and the final order.
// Times are simulation steps of 1/128 s counted from the race reset.
#pragma once

#include "common/vec.h"

struct Bike;
struct Timing;

enum {
    RIDER_SLOTS = 160,
    LAPS_UNKNOWN = 1000000,        // total and halfway lap of a timed race not yet decided
    NO_STRETCH_STEPS = 60 * 128,   // a stretch nobody rode cleanly is valued at 60 s
    FALSE_START_HOLD_STEPS = 15 * 128,
};

// Start types beyond the gate choices (settings.h has Empty .. Robot (4 stroke)).
enum {
    START_NETWORK = 5,             // a rider of the multiplayer server
    START_ROBOT_NUMBER = 1000,     // 1000 + n: the robot whose number is n
};

// Controller types: who drives a slot's bike.
enum Controller {
    CONTROL_LOCAL = 0,             // ridden on this computer
    CONTROL_OUTSIDE = 1,           // driven from outside: demo playback or the network
    CONTROL_ROBOT = 2,             // the auto pilot
};

// One standings entry: ordered by progress (more first), last crossing (earlier first), slot.
struct StandingsEntry {
    int slot;
    int progress;                  // lap-sequence entries reached
    int step;                      // step of the last crossing (0 none); penalty included when final
};

struct Race {
    Bike *bike[RIDER_SLOTS];       // null for a slot without a bike
    int start_type[RIDER_SLOTS];   // StartType, START_NETWORK or START_ROBOT_NUMBER + n
    int controller[RIDER_SLOTS];   // Controller
    int present[RIDER_SLOTS];      // played-back rider: its record for this step was read in full
    const char *personality[RIDER_SLOTS];   // auto-pilot personality of a robot, else null
    const char *texture[RIDER_SLOTS][4];    // rider body, bike, wheel, head texture names
                                            // (null for the default), as demos name them
    int time_limit;                // T, steps; 0 for a race run by laps only
    int laps;                      // L, the lap setting
    int total_laps;                // L, or LAPS_UNKNOWN in a timed race until the time runs out
    int halfway_lap;               // (L + 1) / 2, or LAPS_UNKNOWN until half the time has passed
    int skill;                     // robot skill index 0 novice .. 2 expert
    int time_trial;                // the race is a time trial
    int results_final;             // the final results have been computed
    int connected;                 // racing on a server (no network client is built yet: 0)
    int warmup;                    // the server's warm-up state
    int viewed;                    // slot the view and the HUD follow
    StandingsEntry standings[RIDER_SLOTS];   // also the viewed-rider list
    int standings_count;
    StandingsEntry final_order[RIDER_SLOTS]; // penalty-adjusted, valid when results_final
    int final_count;
    int final_penalty[RIDER_SLOTS];          // cutting penalty of each slot in steps, when final
    Vec3 start_position[RIDER_SLOTS];        // frame position at the reset (false-start watch)
    int false_start_hold;          // the local rider is held until step (start + 15 s); 0 none
};

extern Race race;

// Clears every slot (the bikes must already be destroyed) and the race parameters.
void race_clear();

// The race length of a reset: time limit T (steps, 0 for laps only) and lap setting L; the
// total and halfway laps follow ((L + 1) / 2 and L, or undecided in a timed race).
void race_set_length(int time_limit, int laps);

// Lap sequence of the loaded track: A first-lap entries, then B per lap, repeating.
int first_lap_entries();           // A
int lap_entries();                 // B
// Checkpoint index of lap-sequence entry k (flag removed); *line_gate (may be null) is 1 when
// the entry is a racing-line gate. -1 when the track has no timing.
int lap_entry_gate(int k, int *line_gate);
// 1 when entry k is the last entry of a lap.
int lap_entry_ends_lap(int k);
// Entry that ends lap n (1-based).
int lap_end_entry(int n);
// Completed laps for a progress (entries reached): 0 below A, else (progress - A) / B + 1.
int laps_for_progress(int progress);

// Sets a rider's next entry back to entry (its crossing list keeps the entries before it).
void rider_set_entry(Bike *bike, int entry);

// Per rider, from its gate crossing list.
int rider_progress(const Bike *bike);
int rider_crossing(const Bike *bike, int entry);   // step, or -1 (skipped or not reached)
int completed_laps(const Bike *bike);
// Lap n in steps (lap 1 starts at the start step); 0 when not completed or a crossing is -1.
int lap_steps(const Bike *bike, int n);
float lap_time(const Bike *bike, int n);            // seconds
// Best lap among 2 .. completed (earliest of equal ones), 0 for none.
int best_lap(const Bike *bike);
int rider_finished(int slot);
// Cutting penalty in steps over the rider's whole crossing list.
int cutting_penalty(const Bike *bike);

// Average steps the riders of the standings took from entry from to entry to without a skip
// between them (entry -1 stands for the start step); NO_STRETCH_STEPS when nobody qualifies.
int expected_stretch_time(int from, int to);

// Standings order: negative when a ranks before b.
int standings_compare(const StandingsEntry *a, const StandingsEntry *b);
// Rebuilds the standings from every slot with a bike.
void standings_build();
// The leader: first standings entry's slot, -1 when nobody races.
int race_leader();

// After every accepted crossing, once per reset, and every 512 steps while connected: the
// standings, the halfway and total laps of a timed race, and the final results once every
// rider is done (writes the results file when the winner finished). Nothing once final.
void race_bookkeeping();
// Called when the results become final (the points series scores its event); may be null.
void race_set_final_hook(void (*hook)());

// The false-start watch of the local rider while connected: before the start step a rider
// 3 ft from its start position is held until 15 s after the start; during the hold its
// controls are overridden every step. Call after the rider's controls were applied.
void false_start_step(int slot);
