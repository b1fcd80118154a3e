// The 32-bit Mersenne Twister: 624 words of state, regenerated all at once when used up,
// seeded from one 32-bit value with the multiplier 1812433253.
#include "common/mt19937.h"

enum { MT_N = 624, MT_M = 397 };

static Mt19937 g_mt = {{0}, MT_N + 1};   // seeded with 5489 on first use, as the reference does

void mt_seed_state(Mt19937 *mt, uint32_t seed) {
    mt->state[0] = seed;
    for (int i = 1; i < MT_N; i++) {
        uint32_t prev = mt->state[i - 1];
        mt->state[i] = 1812433253u * (prev ^ (prev >> 30)) + uint32_t(i);
    }
    mt->index = MT_N;
}

static void regenerate(Mt19937 *mt) {
    for (int i = 0; i < MT_N; i++) {
        uint32_t y = (mt->state[i] & 0x80000000u) | (mt->state[(i + 1) % MT_N] & 0x7fffffffu);
        uint32_t next = mt->state[(i + MT_M) % MT_N] ^ (y >> 1);
        if (y & 1)
            next ^= 0x9908b0dfu;
        mt->state[i] = next;
    }
    mt->index = 0;
}

uint32_t mt_next_state(Mt19937 *mt) {
    if (mt->index > MT_N)
        mt_seed_state(mt, 5489u);
    if (mt->index >= MT_N)
        regenerate(mt);
    uint32_t y = mt->state[mt->index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}

void mt_seed(uint32_t seed) { mt_seed_state(&g_mt, seed); }

uint32_t mt_next() { return mt_next_state(&g_mt); }

double mt_unit() { return mt_next() * (1.0 / 4294967296.0); }
