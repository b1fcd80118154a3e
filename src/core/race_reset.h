// Race modes and the reset sequence: every ride (the background ride, a new race, a demo
// playback, a series event, a time trial, a warp restart) is set up by race_reset with its
// start types and race parameters: the previous race torn down, the track (re)loaded, the
// riders of the 160 slots created and placed on the start grid, the demos opened.
#pragma once

struct Bike;

enum {
    ROSTER_SIZE = 80,              // robots numbered 20 .. 99
    TIME_TRIAL_START_STEPS = 300 * 128,
};

// What the racing-line learner and the auto pilot do at a reset and every step. Every member
// may be null: then nothing is learned and computer riders hold at the gate.
struct RaceAi {
    void (*lines_save)(int skill);               // the lines learned for the previous skill
    void (*lines_free)();                        // every line record of every gate
    void (*lines_load)(int skill);               // the skill's lines file of the loaded track
    void (*learner_reset)();                     // the learner's per-race state
    void (*robot_reset)(int slot, const char *personality);
    void (*autopilot_step)(Bike *bike);          // writes a computer rider's controls
    int (*pushed)(int slot);                     // 1 while the invisible hand walks the robot
};
void race_set_ai(const RaceAi *ai);
const RaceAi *race_ai();

// Draws a loading screen with a text and shows it; null (no display) shows nothing.
void race_set_progress_screen(void (*show)(const char *text));
// Texture memory in bytes for the reset's report line; null reports 0.
void race_set_texture_bytes(unsigned long (*bytes)());
// The demo a playback reads: the command line's file, else "@demos/default.qzdemo".
void race_set_playback_name(const char *name);
// The next reset loads the track again even when it is the loaded one.
void race_request_reload();
// Saves what the computer riders learned into the lines file the last reset read (nothing
// unless learning is on): every reset does it first, and so does the program's end.
void race_lines_save();

// The reset sequence. start_types: 160 start types, or null for the time trial. time_limit
// in steps (0: laps only). skill 0 .. 2. Returns 1 when a track is loaded and the riders are
// placed, 0 when the track failed to load (no riders).
int race_reset(const int *start_types, int playback, int record, int time_limit, int laps,
               int skill);

// The shuffled roster of the last reset: position i holds the robot index (0 .. 79).
const int *race_roster();
// Shuffles the identity roster with the generator seeded from step.
void roster_shuffle(int step, int order[ROSTER_SIZE]);

// ---- The modes ----

// Connects the modes' parts: series events start through the reset, final results score
// them, demos jump with the step driver ("--accurate-skip") and the gate progress step.
void race_modes_init();

// Start-up: a 1000-lap ride of one robot, or the command line's demo.
int race_start_background(const char *demo);
// "New Race": the 40 gate items, "Record Demo", minutes, laps and skill; afterwards
// "--rotate-lineup" shifts the gate items for the next race.
int race_new();
// "Playback Race": "Playback Only" (race_against 0) or "Race Against" (1). Racing against
// "@demos/default.qzdemo" itself records nothing, since the recording would overwrite it.
int race_playback(int race_against);
// "Time Trial".
int race_time_trial();
// Warp mode: every slot's start type moves to the next slot and the race restarts.
int race_warp_restart();
// A points-series event (the series' starter).
void race_series_event(const char *track, const int *start_types, int time_limit, int laps,
                       int skill);
// The start types of the current race.
const int *race_start_types();
// Selects the track of the "Track" item by directory name; 1 when it is listed.
int race_select_track(const char *name);
