// Value noise over a hashed lattice, and a xorshift generator.
#include "noise.h"

#include <cmath>

uint32_t noise_hash(int32_t x, int32_t z, uint32_t seed)
{
    uint32_t h = seed * 0x9e3779b9u ^ (uint32_t)x * 0x85ebca6bu ^ (uint32_t)z * 0xc2b2ae35u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

static float lattice(int32_t x, int32_t z, uint32_t seed)
{
    return (float)(noise_hash(x, z, seed) >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

static float smooth(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

static float value_at(float x, float z, uint32_t seed, int period)
{
    float fx = floorf(x), fz = floorf(z);
    int32_t ix = (int32_t)fx, iz = (int32_t)fz;
    float u = smooth(x - fx), v = smooth(z - fz);
    int32_t x1 = ix + 1, z1 = iz + 1;
    if (period > 0) {
        ix = ((ix % period) + period) % period;
        iz = ((iz % period) + period) % period;
        x1 = (ix + 1) % period;
        z1 = (iz + 1) % period;
    }
    float a = lattice(ix, iz, seed), b = lattice(x1, iz, seed);
    float c = lattice(ix, z1, seed), d = lattice(x1, z1, seed);
    return a + (b - a) * u + (c - a) * v + (a - b - c + d) * u * v;
}

float noise_fbm(float x, float z, int octaves, uint32_t seed)
{
    float sum = 0, amplitude = 0.5f, scale = 1;
    for (int i = 0; i < octaves; i++) {
        sum += amplitude * value_at(x * scale, z * scale, seed + i * 101, 0);
        amplitude *= 0.5f;
        scale *= 2;
    }
    return sum * 2.0f * (octaves > 1 ? 0.75f : 0.5f);
}

float noise_tiled_fbm(float x, float z, int period, int octaves, uint32_t seed)
{
    float sum = 0, amplitude = 0.5f, norm = 0;
    for (int i = 0; i < octaves; i++) {
        sum += amplitude * value_at(x, z, seed + i * 101, period);
        norm += amplitude;
        amplitude *= 0.5f;
        x *= 2;
        z *= 2;
        period *= 2;
    }
    return sum / norm;
}

void noise_seed(NoiseRandom *random, uint32_t seed)
{
    random->state = noise_hash((int32_t)seed, 12345, 777) | 1u;
}

uint32_t noise_next(NoiseRandom *random)
{
    uint32_t x = random->state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    random->state = x;
    return x;
}

float noise_uniform(NoiseRandom *random)
{
    return (float)(noise_next(random) >> 8) * (1.0f / 16777216.0f);
}

float noise_range(NoiseRandom *random, float lo, float hi)
{
    return lo + (hi - lo) * noise_uniform(random);
}
