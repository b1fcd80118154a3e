// Terrain deformation: the erosion switch and the circular brush that digs and heaps the
// ground, widening the stored height range and keeping the light map around it current.
#include "track/deform.h"

#include <algorithm>
#include <cmath>

#include "track/terrain.h"

namespace {

struct DeformState {
    float erode_rate;   // "--erode", 0 .. 100; 0 = off
};
DeformState deform_state;

}  // namespace

void erosion_set_rate(float rate) {
    if (!(rate > 0.0f)) rate = 0.0f;   // also NaN
    if (rate > 100.0f) rate = 100.0f;
    deform_state.erode_rate = rate;
}

float erosion_rate() { return deform_state.erode_rate; }

int erosion_enabled() { return deform_state.erode_rate > 0.0f; }

float erosion_amount(float erode_depth) {
    return deform_state.erode_rate * (1.0f / 2048.0f) * erode_depth;
}

void terrain_deform(Terrain *t, float x, float z, float radius, float amount) {
    if (amount == 0.0f || !t->heights) return;
    if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(radius) || !std::isfinite(amount))
        return;
    float inv = 1.0f / t->spacing;
    float r = radius * inv;
    int size = t->grid_size;
    // The brush visits columns i0 - m + 1 .. i0 + m and rows likewise; only samples inside
    // the field can change, so the window is cut to the field (in doubles: a huge radius or
    // a far centre must neither overflow nor miss samples the radius still reaches).
    double m = r > 0.0f ? std::ceil((double)r) : 0.0;
    float uf = x * inv, vf = z * inv;
    double i0 = std::floor((double)uf), j0 = std::floor((double)vf);
    auto field = [size](double v) { return (int)std::clamp(v, -1.0, (double)size); };
    int ilo = std::max(field(i0 - m + 1), 0), ihi = std::min(field(i0 + m), size - 1);
    int jlo = std::max(field(j0 - m + 1), 0), jhi = std::min(field(j0 + m), size - 1);
    for (int j = jlo; j <= jhi; j++) {
        for (int i = ilo; i <= ihi; i++) {
            float du = uf - (float)i, dv = vf - (float)j;
            float d = std::sqrt(du * du + dv * dv);
            if (d > r || r <= 0.0f) continue;
            float s = d / r;
            float w = 2.0f * s * s * s - 3.0f * s * s + 1.0f;
            float *h = &t->heights[j * size + i];
            float height = *h + amount * w;
            if (t->deform_locked) continue;
            t->deformed = 1;
            if (height > t->max_height) t->max_height = height;
            if (height < t->min_height) t->min_height = height;
            *h = height;
        }
    }
    ground_shading_update(t, field(i0 - m), field(j0 - m), field(i0 + m + 1), field(j0 + m + 1));
    t->change_count++;
}
