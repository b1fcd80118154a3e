// The headless rider tool's ride: one bike on the loaded ground following a ride script, with
// a CSV trace of what a rider would notice.
#pragma once

#include <cstdio>

#include "sim/script.h"

struct Bike;

// The trace's header line (without line end).
extern const char SIM_TRACE_HEADER[];

// Applies one script setting to the bike's controls; a shift is only noted in *shift
// (+1 or -1), for the caller to hold for one step.
void script_apply(Bike *bike, const ScriptSetting &setting, int *shift);

// Rides the script from the bike's current state: every step applies the lines whose time
// has come (shift once per line), steps the world and writes a trace line every trace_every
// steps (and at the start). Returns the steps ridden.
int sim_ride(Bike *bike, const RideScript *script, int trace_every, FILE *out);
