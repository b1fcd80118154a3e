// RIPEMD-160, the published 160-bit digest: game data check, shape and track digests,
// height data digest and the network password proof.
#pragma once

#include <cstddef>
#include <cstdint>

struct Ripemd160 {
    uint32_t h[5];          // chaining state
    uint64_t length;        // bytes fed so far
    uint8_t block[64];      // pending partial block
    int fill;               // bytes in block
};

void ripemd160_init(Ripemd160 *ctx);
void ripemd160_update(Ripemd160 *ctx, const void *data, size_t length);
void ripemd160_final(Ripemd160 *ctx, uint8_t digest[20]);
// One-shot digest.
void ripemd160(const void *data, size_t length, uint8_t digest[20]);
// Writes 40 lower-case hex digits and a terminating zero into hex (41 bytes).
void ripemd160_hex(const uint8_t digest[20], char hex[41]);
