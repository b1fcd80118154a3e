// The program-wide MT19937 generator (the published 32-bit Mersenne Twister with its
// standard seeding from a 32-bit value). Race start times, robot shuffles, auto-pilot starts
// and roost all draw from it; the reset sequence seeds it with the step count.
#pragma once

#include <cstdint>

struct Mt19937 {
    uint32_t state[624];
    int index;
};

void mt_seed_state(Mt19937 *mt, uint32_t seed);
uint32_t mt_next_state(Mt19937 *mt);

// The shared generator.
void mt_seed(uint32_t seed);
uint32_t mt_next();
// Uniform in [0, 1) from one 32-bit draw: next * 2^-32.
double mt_unit();
