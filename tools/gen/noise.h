// Deterministic noise and random numbers for the generated content: the same seed gives
// the same ground and the same pictures on every machine.
#pragma once

#include <cstdint>

// A well-mixed 32-bit hash of two lattice coordinates and a seed.
uint32_t noise_hash(int32_t x, int32_t z, uint32_t seed);
// Sum of octaves of value noise (each half the size and half the amplitude), about -1 .. 1.
float noise_fbm(float x, float z, int octaves, uint32_t seed);
// Octaves of value noise that repeats every period cells in both directions (seamless
// pictures); the period doubles with each octave.
float noise_tiled_fbm(float x, float z, int period, int octaves, uint32_t seed);

// A small deterministic generator (xorshift) for scattering things.
struct NoiseRandom {
    uint32_t state;
};
void noise_seed(NoiseRandom *random, uint32_t seed);
uint32_t noise_next(NoiseRandom *random);
// Uniform in [0, 1).
float noise_uniform(NoiseRandom *random);
// Uniform in [lo, hi).
float noise_range(NoiseRandom *random, float lo, float hi);
