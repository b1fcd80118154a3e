// Demos: a text header naming the track and the riders, then one bike snapshot per recorded
// rider per step. Recording, playback (on its own or raced against), jumping a second back or
// forward, and the time trial's last-lap and fastest-lap demos with the ghost they replay.
#pragma once

#include <cstdint>

struct Bike;
struct DataStream;

enum {
    DEMO_LINE_CHARS = 1023,        // longest header line
    DEMO_DEFAULT_START = 14 * 128, // start step of a header that gives none
};

// One recorded rider of a playback header.
struct DemoRider {
    const char *model;             // interned; the short 250 names become their 2008 models
    const char *body, *bike, *wheels, *head;   // texture data names, null for the default
    char number[4];                // plate text: the first 3 characters of the number line
};

// What a playback header holds.
struct DemoHeader {
    int version;                   // 4 or 5
    int riders;                    // n recorded riders, 0 .. 160
    int time_limit;                // T, steps
    int laps;                      // L; -1 when the header gives none
    int start;                     // S, steps
    char track[DEMO_LINE_CHARS + 1];
    DemoRider rider[160];
    int length;                    // header bytes
};

// Reads a header from the start of a stream; 1 when well formed (versions 4 and 5 only).
int demo_header_read(DataStream *stream, DemoHeader *header);
// Reads one step's records of a playback whose position is at a step's record area and
// applies them to the slots driven from outside (1 when the step was read in full).
int demo_records_apply(DataStream *stream, const DemoHeader *header);

// ---- Recording ----

// Opens the recording for the reset that just happened: name is "@demos/default.qzdemo" for
// a normal race. Records every slot with a bike ridden here or by a robot. A file that cannot
// be created is skipped silently. 1 when recording.
int demo_record_open(const char *name);
// Closes the recording; a normal recording with a pending name is renamed to it.
void demo_record_close();
int demo_recording();
// The console's "namedemo": the next normal recording gets this file name under "demos/".
void demo_set_pending_name(const char *name);

// ---- Playback ----

// Opens a demo and reads its header; 0 (no playback) when it cannot be opened or its header
// is malformed.
int demo_playback_open(const char *name);
void demo_playback_close();
int demo_playing();
const DemoHeader *demo_playback_header();

// ---- Per step ----

// Before the step: notes the lap counts of the time trial's rider and ghost.
void demo_step_begin();
// Right after the world step, before the riders' control and gate progress: poses every
// played-back rider from its record of this step. A record holds the state the recorded
// rider's gate progress saw in the same step, so the crossings come out at the same steps.
void demo_playback_step();
// After the step: records this step and handles the time trial's laps.
void demo_step();
// The first records after a reset: writes the recording's and reads the playback's step 0.
void demo_reset_step();
// Jumps seconds (+1 or -1) in the playback: only while a playback runs, no recording runs
// and every rider is driven from outside. Returns 1 when it jumped.
int demo_jump(int seconds);
// The step driver that "--accurate-skip" runs instead of seeking forward (null seeks), and
// the gate progress step the time trial runs after setting the riders back to the finish.
void demo_set_drivers(void (*step_all)(), void (*gate_progress)(Bike *bike), int accurate_skip);

// ---- Time trial ----

// The time trial's best and last laps in steps (0 none); cleared by the reset.
int time_trial_best_lap();
int time_trial_last_lap();
void time_trial_clear();
// Puts slot 0's rider at the checkpoint of entry A - 2, facing along it, so that its next
// lap starts at the next finish crossing.
void time_trial_start();
// Backing up aborted the attempt: the ghost ends, every rider but slot 0 is removed and the
// rider goes back to the start of the attempt.
void time_trial_abort();
// The time trial's demo names in the loaded track's directory.
void time_trial_demo_name(const char *file, char *out, int size);

// Opacity of a rider driven from outside at distance d from the viewed rider, with the
// ghost fade distance D: 0 at D/2 or nearer, 1 at D or farther.
float ghost_opacity(float d, float fade_distance);

// Model name aliases of every rider a reset creates ("crf250" -> "crf250(2008)" ...).
const char *model_alias(const char *name);
// Creates the bike of a rider driven from outside from a header entry into slot.
Bike *demo_rider_create(const DemoRider *rider, int slot);
// Keeps a header entry's texture names as the slot's (for a later recording).
void race_set_textures(int slot, const DemoRider *rider);
