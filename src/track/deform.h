// Terrain deformation: the erosion switch set by "--erode" and the circular brush that
// raises or lowers the ground with a smooth fall-off and keeps the derived data in step.
#pragma once

struct Terrain;

// Adds amount * fall-off (2t^3 - 3t^2 + 1, t = distance / radius) to every height sample
// within radius (ft) of (x, z). Widens min_height / max_height to the heights written, sets
// deformed, recomputes the shading around the brush and counts change_count up once, also
// when deform_locked kept the ground unchanged. amount 0 does nothing.
void terrain_deform(Terrain *terrain, float x, float z, float radius, float amount);

// Sets the erosion amount of "--erode", limited to 0 .. 100 (a NaN switches erosion off).
void erosion_set_rate(float rate);
// The erosion amount, 0 .. 100; 0 means off.
float erosion_rate();
// 1 when erosion is switched on (rate above 0).
int erosion_enabled();
// Height moved by one rut event on a surface with the given erode_depth:
// rate * 2^-11 * erode_depth.
float erosion_amount(float erode_depth);
