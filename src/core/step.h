// The simulation step of the main loop: the step driver that advances every rider by one
// step of 1/128 s in a fixed order, and the per-step handling of the keys that are not
// drawing: pause, single step, rewind and skip, the viewed rider and the warp restart.
#pragma once

struct Bike;

// One step of every rider: contacts (ground, track objects through the 8 x 8 grid, bike to
// bike ordered by speed), roost in rotating order, the world step, erosion, the played-back
// riders' records, then per slot the auto pilot, the control step and gate progress; roost
// particles; the step count; the demo recording and the time trial's laps.
void step_all();

// The collision shapes of the loaded track's solid objects (after every track load) and
// their release (before the track is unloaded).
void step_objects_build();
void step_objects_free();
// 1 when a bike's parts touch the ground or a solid track object (placing riders).
int step_bike_touches(Bike *bike);

// ---- The loop's per-step handling ----

struct StepControl {
    int paused;
    int warp;                      // warp mode (the frame timing grants 100 steps a frame)
};
extern StepControl step_control;

// The pause key: toggles pause unless connected.
void step_pause_key();
// The step key: one step_all at once while paused. Returns 1 when it stepped.
int step_step_key();
// The rewind and skip keys: one second back or forward in a playback. Returns 1 when jumped.
int step_rewind_key();
int step_skip_key();
// The previous and next rider keys (direction -1 or +1): view the neighbour in the
// viewed-rider list, without wrapping. Refused while viewing the local rider unless connected
// in the warm-up or spy is set. Returns 1 when the view changed.
int step_view_key(int direction);
// The back-up channel of the local rider in a time trial: above 0.5 with "Backing Up Aborts
// Attempt" set, the attempt is aborted. Returns 1 when it aborted.
int step_time_trial_backup(float channel);
// The simulation part of one loop step: nothing while paused or without a track, else
// step_all.
void step_run();
// In warp mode, after the frame's steps: once the first rider of the viewed-rider list has
// completed the race's laps, every start type moves one slot on and the race restarts.
// Returns 1 when it restarted.
int step_warp_check();
