// Writing PNG pictures through the data-file layer: screenshots, 16-bit height images,
// generated textures. Output is deterministic (no time stamps), so equal pixels give equal
// files.
#pragma once

// Writes a width x height picture to the data name (an '@' name lands in the home
// directory). channels: 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA. bit_depth 8 (bytes) or 16
// (uint16_t samples in memory, written most significant byte first as PNG requires).
// Rows are top first. Returns 1 on success, 0 on failure (nothing is reported).
int png_write(const char *name, int width, int height, int channels, int bit_depth,
              const void *pixels);
