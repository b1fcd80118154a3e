// Cutting a course into its surroundings: every height sample near the course takes the
// course's surface height (centre height, banking, jumps) and blends into the surrounding
// ground over the shoulder; surfaces are decided at tile corners so that the edges of the
// riding surface get transition tiles; the light is baked from the sun with cast shadows
// and ambient occlusion.
#include "land.h"

#include <algorithm>
#include <cmath>

#include "noise.h"

const int LAND_TRANSITION_BASES[LAND_TRANSITION_PAIRS] = {SURFACE_LOAM, SURFACE_HARDPACK,
                                                          SURFACE_SAND, SURFACE_MUD};

static float smoothstep(float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

static float sample(const Land &land, int c, int r)
{
    c = std::clamp(c, 0, land.size - 1);
    r = std::clamp(r, 0, land.size - 1);
    return land.heights[(size_t)r * land.size + c];
}

float land_height(const Land &land, float x, float z)
{
    float inv = 1.0f / land.spacing;
    float u = x * inv, v = z * inv;
    int i = (int)floorf(u), j = (int)floorf(v);
    float fu = u - i, fv = v - j;
    int pc, pr, qc, qr, rc, rr;
    float w1, w2;
    if (((i ^ j) & 1) == 0) {
        float a = 1 - fu;
        if (a + fv <= 1) {
            pc = i + 1, pr = j, qc = i, qr = j, rc = i + 1, rr = j + 1, w1 = a, w2 = fv;
        } else {
            pc = i, pr = j + 1, qc = i + 1, qr = j + 1, rc = i, rr = j, w1 = 1 - a, w2 = 1 - fv;
        }
    } else if (fu + fv <= 1) {
        pc = i, pr = j, qc = i + 1, qr = j, rc = i, rr = j + 1, w1 = fu, w2 = fv;
    } else {
        pc = i + 1, pr = j + 1, qc = i, qr = j + 1, rc = i + 1, rr = j, w1 = 1 - fu, w2 = 1 - fv;
    }
    float hp = sample(land, pc, pr);
    return hp + w1 * (sample(land, qc, qr) - hp) + w2 * (sample(land, rc, rr) - hp);
}

// Lateral offset and interpolated course point of a sample whose nearest point is known.
static CoursePoint course_here(const Course &course, int nearest, float x, float z,
                               float *lateral)
{
    const CoursePoint &p = course.points[nearest];
    float along = (x - p.x) * p.dir_x + (z - p.z) * p.dir_z;
    along = std::clamp(along, -COURSE_STEP, COURSE_STEP);
    CoursePoint c = course_at(course, p.s + along);
    *lateral = (x - c.x) * -c.dir_z + (z - c.z) * c.dir_x;
    return c;
}

float land_edge_distance(const Land &land, const Course &course, float x, float z)
{
    int c = std::clamp((int)lroundf(x / land.spacing), 0, land.size - 1);
    int r = std::clamp((int)lroundf(z / land.spacing), 0, land.size - 1);
    int nearest = land.nearest[(size_t)r * land.size + c];
    if (nearest < 0)
        return 1e6f;
    float lateral;
    CoursePoint p = course_here(course, nearest, x, z, &lateral);
    return fabsf(lateral) - 0.5f * p.width;
}

// The surface of the surroundings at (x, z).
static int ground_surface(const Course &course, float x, float z)
{
    switch (course.kind) {
    case COURSE_STADIUM:
        return SURFACE_HARDPACK;
    case COURSE_SAND:
        return noise_fbm(x / 70.0f, z / 70.0f, 3, course.seed + 21) > 0.15f ? SURFACE_GRASS
                                                                           : SURFACE_SAND;
    default:
        return noise_fbm(x / 90.0f, z / 90.0f, 3, course.seed + 21) > 0.55f ? SURFACE_LOAM
                                                                           : SURFACE_GRASS;
    }
}

// Type index of a tile from the surfaces at its four corners (bit 8 lowest column and row,
// 4 highest column lowest row, 2 lowest column highest row, 1 highest column and row).
static int tile_type(const int corner[4])
{
    const int bits[4] = {8, 4, 2, 1};
    int other = -1;
    bool mixed = false;
    for (int k = 0; k < 4; k++)
        if (corner[k] != SURFACE_GRASS) {
            if (other >= 0 && other != corner[k])
                mixed = true;
            other = other < 0 ? corner[k] : other;
        }
    if (other < 0)
        return SURFACE_GRASS;
    if (mixed) {
        // Two riding surfaces meet: the tile takes the one most of its corners show.
        int best = corner[0], best_count = 0;
        for (int k = 0; k < 4; k++) {
            int count = 0;
            for (int m = 0; m < 4; m++)
                count += corner[m] == corner[k];
            if (corner[k] != SURFACE_GRASS && count > best_count)
                best = corner[k], best_count = count;
        }
        return best;
    }
    int mask = 0;
    for (int k = 0; k < 4; k++)
        if (corner[k] == SURFACE_GRASS)
            mask |= bits[k];
    if (mask == 0)
        return other;
    for (int pair = 0; pair < LAND_TRANSITION_PAIRS; pair++)
        if (LAND_TRANSITION_BASES[pair] == other)
            return SURFACE_BASE_COUNT + pair * 14 + mask - 1;
    return other;
}

void land_author(const Course &course, Land *land)
{
    const int n = course.tile_bits;
    const int S = (1 << (n + 1)) + 1;
    const float sp = course.spacing;
    land->tile_bits = n;
    land->size = S;
    land->spacing = sp;
    land->heights.assign((size_t)S * S, 0.0f);
    land->nearest.assign((size_t)S * S, -1);
    land->lateral.assign((size_t)S * S, 0.0f);
    land->light.assign((size_t)S * S, 255);

    // Nearest course point of every sample within reach of the course.
    std::vector<float> best((size_t)S * S, 1e30f);
    for (size_t i = 0; i < course.points.size(); i++) {
        const CoursePoint &p = course.points[i];
        float reach = 0.5f * p.width + course.shoulder + 2;
        int c0 = std::max(0, (int)floorf((p.x - reach) / sp));
        int c1 = std::min(S - 1, (int)ceilf((p.x + reach) / sp));
        int r0 = std::max(0, (int)floorf((p.z - reach) / sp));
        int r1 = std::min(S - 1, (int)ceilf((p.z + reach) / sp));
        for (int r = r0; r <= r1; r++)
            for (int c = c0; c <= c1; c++) {
                float dx = c * sp - p.x, dz = r * sp - p.z;
                float d = dx * dx + dz * dz;
                size_t k = (size_t)r * S + c;
                if (d < best[k] && d <= reach * reach) {
                    best[k] = d;
                    land->nearest[k] = (int)i;
                }
            }
    }

    // Heights: the course surface, blended into the surroundings over the shoulder.
    for (int r = 0; r < S; r++)
        for (int c = 0; c < S; c++) {
            size_t k = (size_t)r * S + c;
            float x = c * sp, z = r * sp;
            float ground = course_ground(course, x, z);
            int nearest = land->nearest[k];
            if (nearest < 0) {
                land->heights[k] = ground;
                continue;
            }
            float lateral;
            CoursePoint p = course_here(course, nearest, x, z, &lateral);
            land->lateral[k] = lateral;
            float half = 0.5f * p.width;
            float l = std::clamp(lateral, -half, half);
            float surface = p.y + p.bank * l;
            float t = (fabsf(lateral) - half) / course.shoulder;
            land->heights[k] = t <= 0 ? surface : surface + (ground - surface) * smoothstep(t);
        }

    // Soften the creases where neighbouring samples took different course points (the
    // inside of tight turns, the ends of berms): one pass of a 3 x 3 mean over the course.
    std::vector<float> cut = land->heights;
    for (int r = 1; r < S - 1; r++)
        for (int c = 1; c < S - 1; c++) {
            size_t k = (size_t)r * S + c;
            if (land->nearest[k] < 0)
                continue;
            float sum = 0;
            for (int dr = -1; dr <= 1; dr++)
                for (int dc = -1; dc <= 1; dc++)
                    sum += cut[k + (size_t)(dr * S) + dc];
            land->heights[k] = sum / 9;
        }

    // Put every height on the 16-bit steps the height picture stores, so that everything
    // computed from them here matches what the game reads back.
    float lo = *std::min_element(land->heights.begin(), land->heights.end());
    float hi = *std::max_element(land->heights.begin(), land->heights.end());
    if (hi <= lo)
        hi = lo + 1;
    land->min_height = lo;
    land->max_height = hi;
    for (float &h : land->heights) {
        int v = (int)((h - lo) / (hi - lo) * 65535 + 0.5f);
        h = lo + v * (hi - lo) * (1.0f / 65535);
    }

    // Surfaces at tile corners, then the tile map.
    const int T = 1 << n, C = T + 1;
    land->corners.assign((size_t)C * C, SURFACE_GRASS);
    for (int j = 0; j < C; j++)
        for (int i = 0; i < C; i++) {
            float x = 2 * i * sp, z = 2 * j * sp;
            int nearest = land->nearest[(size_t)(2 * j) * S + 2 * i];
            int surface = ground_surface(course, x, z);
            if (nearest >= 0) {
                float lateral;
                CoursePoint p = course_here(course, nearest, x, z, &lateral);
                if (fabsf(lateral) <= 0.5f * p.width + 0.75f)
                    surface = p.surface;
                else if (course.kind == COURSE_STADIUM)
                    surface = SURFACE_HARDPACK;
            }
            land->corners[(size_t)j * C + i] = (uint8_t)surface;
        }
    land->tilemap.assign((size_t)T * T, 0);
    for (int j = 0; j < T; j++)
        for (int i = 0; i < T; i++) {
            const uint8_t *row0 = &land->corners[(size_t)j * C + i];
            const uint8_t *row1 = row0 + C;
            int corner[4] = {row0[0], row0[1], row1[0], row1[1]};
            int type = tile_type(corner);
            if (type < SURFACE_BASE_COUNT && (noise_hash(i, j, course.seed + 31) & 1))
                type += LAND_FIRST_ALTERNATE;
            land->tilemap[(size_t)j * T + i] = (uint8_t)type;
        }
}

void land_add_shadow(Land *land, float x, float z, float radius, float darkness)
{
    const int S = land->size;
    const float sp = land->spacing;
    int c0 = std::max(0, (int)floorf((x - radius) / sp));
    int c1 = std::min(S - 1, (int)ceilf((x + radius) / sp));
    int r0 = std::max(0, (int)floorf((z - radius) / sp));
    int r1 = std::min(S - 1, (int)ceilf((z + radius) / sp));
    for (int r = r0; r <= r1; r++)
        for (int c = c0; c <= c1; c++) {
            float dx = c * sp - x, dz = r * sp - z;
            float d = sqrtf(dx * dx + dz * dz) / radius;
            if (d >= 1)
                continue;
            float shade = darkness * (1 - smoothstep((d - 0.6f) / 0.4f));
            uint8_t &l = land->light[(size_t)r * S + c];
            l = (uint8_t)std::min<float>(l, 255 * (1 - shade));
        }
}

// Mean height over a square of radius rad samples around every sample (summed-area table).
static std::vector<float> blurred(const Land &land, int rad)
{
    const int S = land.size;
    std::vector<double> sum((size_t)(S + 1) * (S + 1), 0.0);
    for (int r = 0; r < S; r++)
        for (int c = 0; c < S; c++)
            sum[(size_t)(r + 1) * (S + 1) + c + 1] = land.heights[(size_t)r * S + c] +
                                                     sum[(size_t)r * (S + 1) + c + 1] +
                                                     sum[(size_t)(r + 1) * (S + 1) + c] -
                                                     sum[(size_t)r * (S + 1) + c];
    std::vector<float> out((size_t)S * S);
    for (int r = 0; r < S; r++)
        for (int c = 0; c < S; c++) {
            int a0 = std::max(0, c - rad), a1 = std::min(S, c + rad + 1);
            int b0 = std::max(0, r - rad), b1 = std::min(S, r + rad + 1);
            double total = sum[(size_t)b1 * (S + 1) + a1] - sum[(size_t)b0 * (S + 1) + a1] -
                           sum[(size_t)b1 * (S + 1) + a0] + sum[(size_t)b0 * (S + 1) + a0];
            out[(size_t)r * S + c] = (float)(total / ((a1 - a0) * (b1 - b0)));
        }
    return out;
}

void land_bake_light(Land *land, const float sun[3], const float sun_color[3],
                     const float ambient[3])
{
    const int S = land->size;
    const float sp = land->spacing;
    float horiz = sqrtf(sun[0] * sun[0] + sun[2] * sun[2]);
    float step_x = horiz > 0 ? sun[0] / horiz * sp : 0, step_z = horiz > 0 ? sun[2] / horiz * sp : 0;
    float rise = horiz > 0 ? sun[1] / horiz * sp : 1e6f;   // ray climb per step

    // Cast shadows: march towards the sun; soft by how deep the ray passes under the ground.
    for (int r = 0; r < S; r++)
        for (int c = 0; c < S; c++) {
            size_t k = (size_t)r * S + c;
            float x = c * sp, z = r * sp, y = land->heights[k] + 0.05f;
            float dark = 0;
            for (int step = 1; step < 4096 && y < land->max_height; step++) {
                x += step_x;
                z += step_z;
                y += rise;
                if (x < 0 || z < 0 || x > (S - 1) * sp || z > (S - 1) * sp)
                    break;
                float depth = land_height(*land, x, z) - y;
                if (depth > 0) {
                    dark = std::max(dark, std::min(depth / 1.5f, 1.0f));
                    if (dark >= 1)
                        break;
                }
            }
            land->light[k] = (uint8_t)std::min<float>(land->light[k], 255 * (1 - 0.8f * dark));
        }

    // Ambient occlusion: hollows lie below the mean of the ground around them.
    std::vector<float> near = blurred(*land, std::max(1, (int)(4 / sp)));
    std::vector<float> wide = blurred(*land, std::max(2, (int)(16 / sp)));
    land->shading.assign((size_t)S * S * 3, 0);
    for (int r = 0; r < S; r++)
        for (int c = 0; c < S; c++) {
            size_t k = (size_t)r * S + c;
            float h = land->heights[k];
            float hollow = std::max(0.0f, near[k] - h) * 0.35f + std::max(0.0f, wide[k] - h) * 0.06f;
            float ao = std::clamp(1 - hollow, 0.5f, 1.0f);
            float hx = sample(*land, c + 1, r) - sample(*land, c - 1, r);
            float hz = sample(*land, c, r + 1) - sample(*land, c, r - 1);
            float nx = -hx / (2 * sp), nz = -hz / (2 * sp);
            float len = sqrtf(nx * nx + 1 + nz * nz);
            float w = std::clamp((nx * sun[0] + sun[1] + nz * sun[2]) / len, 0.0f, 1.0f);
            float direct = w * land->light[k] / 255.0f;
            for (int ch = 0; ch < 3; ch++) {
                float value = (sun_color[ch] * direct + ambient[ch] * ao) * 0.5f * 255;
                land->shading[k * 3 + ch] = (uint8_t)std::clamp((int)value, 0, 255);
            }
        }
}
