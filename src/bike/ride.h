// One simulation step of a set of bikes ridden on this computer, in the fixed order: ground
// and part contacts, bike-to-bike contacts, roost, the world step, ruts, the control steps,
// the roost particles, and the step counter.
#pragma once

struct Bike;

// Steps the world once with every bike active; bikes may hold null entries (empty slots).
void ride_step(Bike *const *bikes, int count);
