// The auto pilot: rides a computer rider's bike with the controls a player has. It keeps a
// private line spliced together from recorded segments of the racing-line table, chosen by
// lap cost, the skill's best line, freshness and how well they continue the current curve;
// stages the start; turns the line into throttle, brakes, clutch and steering through a
// grip-, jump- and traffic-aware speed and lean controller; and recovers when stuck.
// Feet, ft/s, radians, steps of 1/128 s counted from the race reset.
#pragma once

#include "common/common.h"

struct Bike;

enum {
    PERSONALITY_COUNT = 5,         // 0 "empty" is no auto pilot
    ROBOT_COUNT = 80,              // numbers 20 .. 99
    LINE_AHEAD_MIN = 10,           // a new segment is chosen when fewer points remain
};

constexpr float GATE_SET_SECONDS = 3.0f;   // the gate is set this long before it drops

struct Personality {
    const char *name;
    int skill_close;               // skill while not far ahead
    int skill_leading;             // skill when leading by more than lead_seconds
    float lead_seconds;
    float reaction_low, reaction_high;   // start reaction range, seconds
};

// One robot of the roster: "-" or null textures take the defaults.
struct Robot {
    const char *number;
    const char *personality;
    const char *model;
    const char *body_texture;      // "@...png" data names, null for the default
    const char *head_texture;
    const char *bike_texture;
    const char *wheel_texture;
};

// Auto-pilot state of one rider slot.
struct Pilot {
    Array line;                    // LinePoint: the private line
    int target;                    // index of the point aimed at
    int next_gate;                 // line-gate index of the next segment to choose
    int progress_step;             // step the target last advanced
    int recover;                   // 0 normal, 3 careful, counting down per reached point
    int personality;
    float start_timer;             // seconds, signed; 0 not yet drawn
    float throttle_memory;
    int speed_limit_step;          // step of the last grip speed limit
    float pushed_seconds;          // time spent pushed this race (for the teaching reports)
    float pushed_run;              // length of the current spell of pushed riding
    float pushed_longest;          // longest spell this race
    const struct LinePoint *guide; // a fixed lap ridden over and over instead of the table
    int guide_count;
};

const Personality *personality_get(int index);   // index 0..4, else null
// Index of a personality by name among 1..4; an unknown name logs
// "auto pilot personality '%s' not found" and gives 1.
int personality_find(const char *name);
// Every computer rider explores ("--practice").
void autopilot_set_practice(int on);
int autopilot_practice();

// The 80 robots, numbers 20 to 99 in order.
const Robot *robot_at(int index);

Pilot *autopilot_pilot(int slot);  // slot 0..159, else null
// Race reset of a slot: the line emptied, every counter and timer 0, and the learner's state.
void autopilot_reset(int slot, int personality);
// One step of a computer rider (bike->slot picks its state): writes the bike's controls.
void auto_pilot_step(Bike *bike);
// The slot's private line (LinePoint), or null.
const Array *autopilot_line(int slot);
// 1 while the slot's rider is pushed (walked to its target by the invisible hand).
int autopilot_pushed(int slot);
// Where the bike is along its line: integer part the first point ahead, fraction how far
// from the point behind it.
float autopilot_line_position(int slot, const Bike *bike);
// Rides the given lap (kept by the caller) again and again instead of table segments, as a
// rider the learner records: the line recorder of the teaching tool.
void autopilot_set_guide(int slot, const struct LinePoint *points, int count);
// The race is over for the rider: the rest of its line slows down to a stop.
void autopilot_finish(Bike *bike);
