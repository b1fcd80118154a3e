// Gate progress: every step, which checkpoint of the lap sequence each rider has just
// passed (skipping up to two, going back for one it missed, never past a lap's finish
// unrecorded), the step of each crossing, the end of each lap and of the rider's race.
#pragma once

struct Bike;

// What the racing-line learner does with a rider's progress; every member may be null
// (no learner: nothing happens).
struct ProgressLearner {
    void (*sample)(Bike *bike);                        // per-step sampling, stopped riders
    void (*cancel)(Bike *bike, int next_entry);        // a stopped rider crossed a gate
    void (*line_gate)(Bike *bike, int entry, int offset);   // a line gate was crossed
    void (*finished)(Bike *bike);                      // the slow-down lap of an auto pilot
};
void progress_set_learner(const ProgressLearner *learner);

// One step of a rider's gate progress (after its control step). Runs the race bookkeeping
// after every accepted crossing.
void gate_progress_step(Bike *bike);
