// Riding a script: applies the timed controls to one bike step by step and writes the trace.
#include "sim/sim.h"

#include <cmath>

#include "bike/bike.h"
#include "bike/ride.h"

const char SIM_TRACE_HEADER[] =
    "t,x,y,z,speed_mph,rpm,gear,lean_deg,crashed,front_contact,rear_contact";

namespace {

void trace(Bike *bike, int step, FILE *out) {
    Vec3 p = bike_position(bike);
    fprintf(out, "%.4f,%.3f,%.3f,%.3f,%.2f,%.0f,%d,%.2f,%d,%d,%d\n", step / 128.0, p.x, p.y, p.z,
            bike_forward_speed_mph(bike), bike_rpm(bike), bike_gear(bike) + 1,
            bike_lean_angle(bike) * 57.29578f, bike_crashed(bike), bike->wheel[0].depth > 0,
            bike->wheel[1].depth > 0);
}

}  // namespace

void script_apply(Bike *bike, const ScriptSetting &s, int *shift) {
    switch (s.input) {
    case INPUT_THROTTLE: bike_set_throttle(bike, s.value); break;
    case INPUT_CLUTCH: bike_set_clutch(bike, s.value); break;
    case INPUT_FRONT_BRAKE: bike_set_front_brake(bike, s.value); break;
    case INPUT_REAR_BRAKE: bike_set_rear_brake(bike, s.value); break;
    case INPUT_STEER: bike_set_steer(bike, s.value); break;
    case INPUT_LEAN: bike_set_lean(bike, s.value); break;
    case INPUT_DAB: bike_set_dab(bike, s.value); break;
    case INPUT_BACK_UP: bike_set_back_up(bike, s.value); break;
    case INPUT_SHIFT: *shift = s.value > 0 ? 1 : -1; break;
    }
}

int sim_ride(Bike *bike, const RideScript *script, int trace_every, FILE *out) {
    if (trace_every < 1) trace_every = 1;
    size_t next = 0;
    int steps = (int)llround(script->end_seconds * 128.0);
    Bike *bikes[1] = {bike};
    fprintf(out, "%s\n", SIM_TRACE_HEADER);
    for (int step = 0; step < steps; step++) {
        // A shift control is held for one step, then released, so each line shifts once.
        int shift = 0;
        while (next < script->lines.size() && script->lines[next].seconds * 128.0 <= step + 1e-9) {
            for (const ScriptSetting &s : script->lines[next].settings) script_apply(bike, s, &shift);
            next++;
        }
        if (shift) bike_shift(bike, 0);
        bike_shift(bike, shift);
        if (step % trace_every == 0) trace(bike, step, out);
        ride_step(bikes, 1);
    }
    trace(bike, steps, out);
    return steps;
}
