// The three shipped courses, authored as closed loops of key points through which a
// Catmull-Rom spline runs, resampled every foot. Banking follows the curvature (berms rise
// on the outside, off-camber turns fall away), intended speeds follow from grip, banking
// and the braking and acceleration a good rider manages, and the centre height follows the
// surrounding ground smoothed along the lap, with the jumps laid on top.
#include "course.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "noise.h"

namespace {

enum { BERM = 1, FLAT = 0, OFF = -1 };

struct Key {
    float x, z;
    float width;
    int camber;     // BERM, FLAT or OFF for the turn that follows the key
    int surface;    // CourseSurface from this key on
};

struct FeatureSpec {
    int kind;
    float x, z;     // where along the course it starts
    float height;
    int count;      // mounds, whoops
    float length;   // top, gap or period as the kind needs, ft
};

struct CourseSpec {
    const char *name;
    const char *desc;
    int kind;
    int tile_bits;
    float spacing;
    float shoulder;
    unsigned seed;
    float floor[4];
    const Key *keys;
    int key_count;
    const FeatureSpec *features;
    int feature_count;
    float gate_s;          // start line, ft after the finish line
    int gate_count;
    float gate_spacing;
    float pad_behind;      // level ground behind the start line, ft
    float pad_taper;       // ft over which the straight narrows after the start line
    float top_speed;       // ft/s
    float grip;            // lateral grip the intended speeds assume
};

const int L = SURFACE_LOAM, H = SURFACE_HARDPACK, S = SURFACE_SAND, M = SURFACE_MUD;

// Rabbit Hill: start straight eastwards along the bottom, a bermed first turn, then a loop
// over the hills with a tabletop, two doubles, a step-up, a rhythm section, whoops, an
// off-camber turn in the wet clay and a closing hairpin onto the straight.
const Key RABBIT_KEYS[] = {
    {190, 1080, 36, FLAT, H},  {400, 1080, 36, FLAT, H},  {600, 1078, 34, BERM, H},
    {690, 1050, 34, BERM, L},  {735, 990, 30, FLAT, L},   {740, 900, 30, FLAT, L},
    {740, 780, 30, FLAT, L},   {755, 690, 30, FLAT, L},   {800, 640, 30, FLAT, L},
    {860, 615, 30, FLAT, L},   {1000, 610, 30, BERM, L},  {1075, 585, 32, BERM, L},
    {1095, 520, 32, BERM, L},  {1060, 470, 32, BERM, L},  {990, 455, 30, FLAT, L},
    {820, 455, 30, FLAT, L},   {700, 450, 30, OFF, M},    {640, 420, 30, OFF, M},
    {620, 350, 28, FLAT, L},   {620, 230, 28, FLAT, L},   {605, 160, 30, BERM, L},
    {545, 120, 30, BERM, L},   {470, 110, 30, FLAT, L},   {300, 110, 30, FLAT, L},
    {210, 125, 30, BERM, L},   {160, 190, 30, BERM, L},   {150, 280, 30, FLAT, L},
    {150, 420, 30, FLAT, L},   {165, 500, 30, BERM, L},   {220, 560, 30, BERM, S},
    {320, 585, 30, FLAT, S},   {420, 600, 30, FLAT, L},   {480, 640, 30, FLAT, L},
    {500, 720, 30, FLAT, L},   {500, 830, 30, FLAT, L},   {470, 900, 30, BERM, L},
    {400, 925, 30, BERM, L},   {300, 930, 30, FLAT, L},   {200, 940, 32, BERM, H},
    {130, 975, 34, BERM, H},   {115, 1035, 34, BERM, H},  {140, 1075, 36, FLAT, H},
};

const FeatureSpec RABBIT_FEATURES[] = {
    {FEATURE_TABLETOP, 740, 935, 5.0f, 1, 36},
    {FEATURE_DOUBLE, 868, 615, 5.5f, 2, 40},
    {FEATURE_RHYTHM, 965, 455, 2.2f, 5, 21},
    {FEATURE_WHOOPS, 620, 340, 1.0f, 12, 9.5f},
    {FEATURE_STEP_UP, 455, 110, 5.0f, 1, 18},
    {FEATURE_DOUBLE, 150, 295, 5.0f, 2, 36},
    {FEATURE_TABLETOP, 500, 735, 4.0f, 1, 30},
};

// Iron Bowl: a supercross serpentine on a stadium floor: start straight up the west side,
// six lanes joined by hairpins, two triples, whoops, a rhythm lane and a tabletop.
const Key STADIUM_KEYS[] = {
    {70, 400, 24, FLAT, H},   {70, 300, 24, FLAT, H},   {72, 170, 24, FLAT, L},
    {80, 110, 24, BERM, L},   {120, 75, 24, BERM, L},   {200, 70, 22, FLAT, L},
    {380, 70, 22, FLAT, L},   {425, 85, 22, BERM, L},   {440, 112, 22, BERM, L},
    {420, 140, 22, BERM, L},  {370, 145, 22, FLAT, L},  {200, 145, 22, FLAT, L},
    {150, 150, 22, BERM, L},  {130, 182, 22, BERM, L},  {150, 214, 22, BERM, L},
    {200, 220, 22, FLAT, L},  {380, 220, 22, FLAT, L},  {425, 235, 22, BERM, L},
    {440, 262, 22, BERM, L},  {420, 292, 22, BERM, L},  {370, 297, 22, FLAT, L},
    {200, 297, 22, FLAT, L},  {150, 302, 22, BERM, L},  {130, 334, 22, BERM, L},
    {150, 366, 22, BERM, L},  {200, 372, 22, FLAT, L},  {380, 372, 22, FLAT, L},
    {435, 388, 22, BERM, L},  {458, 420, 22, BERM, L},  {430, 446, 22, BERM, L},
    {370, 450, 22, FLAT, L},  {180, 450, 22, FLAT, L},  {110, 446, 22, BERM, H},
    {78, 428, 24, BERM, H},
};

const FeatureSpec STADIUM_FEATURES[] = {
    {FEATURE_TRIPLE, 215, 70, 4.5f, 3, 0},
    {FEATURE_WHOOPS, 345, 145, 1.0f, 13, 9.0f},
    {FEATURE_RHYTHM, 215, 220, 2.5f, 6, 22},
    {FEATURE_TRIPLE, 345, 297, 5.0f, 3, 0},
    {FEATURE_TABLETOP, 225, 372, 4.5f, 1, 34},
    {FEATURE_DOUBLE, 330, 450, 4.5f, 2, 30},
};

// Sand Ridge: fast sweepers through dunes, sand whoops on the back straight.
const Key SAND_KEYS[] = {
    {220, 1100, 36, FLAT, S},  {450, 1100, 36, FLAT, S},  {700, 1085, 34, BERM, S},
    {880, 1020, 34, BERM, S},  {980, 900, 34, BERM, S},   {1010, 760, 34, FLAT, S},
    {985, 640, 34, BERM, S},   {1005, 530, 34, BERM, S},  {1030, 420, 34, FLAT, S},
    {1025, 280, 34, FLAT, S},  {960, 180, 34, BERM, S},   {840, 130, 34, BERM, S},
    {700, 140, 34, FLAT, S},   {560, 200, 34, BERM, S},   {430, 175, 34, BERM, S},
    {300, 190, 34, BERM, S},   {200, 260, 34, BERM, S},   {160, 380, 34, FLAT, S},
    {190, 500, 34, BERM, S},   {300, 585, 34, BERM, S},   {380, 690, 34, BERM, S},
    {330, 800, 34, BERM, S},   {220, 880, 34, BERM, S},   {150, 980, 34, BERM, S},
    {165, 1060, 36, FLAT, S},
};

const FeatureSpec SAND_FEATURES[] = {
    {FEATURE_WHOOPS, 1030, 445, 1.0f, 16, 11.0f},
    {FEATURE_TABLETOP, 790, 133, 4.5f, 1, 40},
    {FEATURE_DOUBLE, 162, 320, 5.0f, 2, 36},
    {FEATURE_RHYTHM, 560, 1097, 2.5f, 4, 24},
};

// What a good rider manages on dirt, ft/s^2.
const float ACCELERATION = 8.0f;
const float BRAKING = 16.0f;

#define COUNT(a) (int)(sizeof(a) / sizeof((a)[0]))

const CourseSpec SPECS[] = {
    {"rabbithill", "Rabbit Hill", COURSE_OUTDOOR, 9, 1.25f, 14.0f, 1101, {0, 0, 0, 0},
     RABBIT_KEYS, COUNT(RABBIT_KEYS), RABBIT_FEATURES, COUNT(RABBIT_FEATURES), 100.0f, 40,
     3.25f, 50.0f, 200.0f, 66.0f, 0.6f},
    {"ironbowl", "Iron Bowl Supercross", COURSE_STADIUM, 8, 1.0f, 6.0f, 2202,
     {20, 40, 492, 472}, STADIUM_KEYS, COUNT(STADIUM_KEYS), STADIUM_FEATURES,
     COUNT(STADIUM_FEATURES), 65.0f, 22, 3.1f, 25.0f, 160.0f, 55.0f, 0.6f},
    {"sandridge", "Sand Ridge", COURSE_SAND, 9, 1.25f, 16.0f, 3303, {0, 0, 0, 0}, SAND_KEYS,
     COUNT(SAND_KEYS), SAND_FEATURES, COUNT(SAND_FEATURES), 110.0f, 40, 3.25f, 50.0f, 200.0f, 70.0f,
     0.55f},
};

const char *const FEATURE_LABELS[] = {"tabletop", "double", "triple", "step-up", "rhythm",
                                      "whoops"};

float catmull(float p0, float p1, float p2, float p3, float t)
{
    float t2 = t * t, t3 = t2 * t;
    return 0.5f * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                   (3 * p1 - p0 - 3 * p2 + p3) * t3);
}

// Profile of a feature: piecewise linear through (distance, height) corners.
struct Profile {
    float u[32], h[32];
    int n;
};

void profile_add(Profile *p, float u, float h)
{
    if (p->n < 32) {
        p->u[p->n] = u;
        p->h[p->n] = h;
        p->n++;
    }
}

float profile_at(const Profile &p, float u)
{
    if (p.n == 0 || u <= p.u[0] || u >= p.u[p.n - 1])
        return 0;
    for (int i = 1; i < p.n; i++)
        if (u <= p.u[i]) {
            float t = (u - p.u[i - 1]) / std::max(p.u[i] - p.u[i - 1], 1e-3f);
            return p.h[i - 1] + (p.h[i] - p.h[i - 1]) * t;
        }
    return 0;
}

// A mound: a takeoff face rising h over rise ft, a short flat, a landing falling over fall.
void profile_mound(Profile *p, float at, float h, float rise, float top, float fall)
{
    profile_add(p, at, 0);
    profile_add(p, at + rise, h);
    profile_add(p, at + rise + top, h);
    profile_add(p, at + rise + top + fall, 0);
}

Profile feature_profile(const FeatureSpec &f)
{
    Profile p = {};
    float h = f.height;
    switch (f.kind) {
    case FEATURE_TABLETOP:
        profile_mound(&p, 0, h, 2.6f * h, f.length, 4.5f * h);
        break;
    case FEATURE_DOUBLE:
        profile_mound(&p, 0, h, 2.5f * h, 2, 1.6f * h);
        profile_mound(&p, 2.5f * h + 2 + 1.6f * h + f.length - 3.5f * h, h, 1.4f * h, 2, 4.5f * h);
        break;
    case FEATURE_TRIPLE: {
        float at = 0;
        for (int i = 0; i < 3; i++) {
            float rise = i == 0 ? 2.5f * h : 1.6f * h, fall = i == 2 ? 4.5f * h : 1.6f * h;
            profile_mound(&p, at, h, rise, 1.5f, fall);
            at += rise + 1.5f + fall + 0.5f;
        }
        break;
    }
    case FEATURE_STEP_UP: {
        float top = h + 2.5f;   // the plateau stands higher than the lip
        profile_add(&p, 0, 0);
        profile_add(&p, 2.4f * h, h);
        profile_add(&p, 2.4f * h + 2.5f, h - 1.2f);
        profile_add(&p, 2.4f * h + f.length, h - 1.2f);
        profile_add(&p, 2.4f * h + f.length + 1.3f * top, top);
        profile_add(&p, 2.4f * h + f.length + 1.3f * top + 45, top);
        profile_add(&p, 2.4f * h + f.length + 1.3f * top + 45 + 8 * top, 0);
        break;
    }
    case FEATURE_RHYTHM:
        for (int i = 0; i < f.count; i++)
            profile_mound(&p, i * f.length, h, 2.2f * h, 1.0f, 2.2f * h);
        break;
    case FEATURE_WHOOPS:
        break;   // a smooth wave, not corners: see feature_height
    }
    return p;
}

float feature_length(const FeatureSpec &f, const Profile &p)
{
    if (f.kind == FEATURE_WHOOPS)
        return f.count * f.length;
    return p.n ? p.u[p.n - 1] : 0;
}

float feature_height(const FeatureSpec &f, const Profile &p, float u)
{
    if (f.kind == FEATURE_WHOOPS) {
        if (u <= 0 || u >= f.count * f.length)
            return 0;
        float w = 0.5f - 0.5f * cosf(u / f.length * 6.2831853f);
        return f.height * w;
    }
    return profile_at(p, u);
}

float wrap_s(float s, float length)
{
    s = fmodf(s, length);
    return s < 0 ? s + length : s;
}

}   // namespace

int course_count() { return COUNT(SPECS); }

float course_ground(const Course &c, float x, float z)
{
    const unsigned seed = c.seed;
    switch (c.kind) {
    case COURSE_STADIUM: {
        // Floor at 0 inside the stadium; outside a wall and stands rising in rows.
        float dx = std::max({c.floor_x0 - x, x - c.floor_x1, 0.0f});
        float dz = std::max({c.floor_z0 - z, z - c.floor_z1, 0.0f});
        float d = sqrtf(dx * dx + dz * dz);
        if (d <= 0)
            return 0;
        if (d < 2)
            return d * 2.5f;              // the wall
        float rows = (d - 2) / 5.0f;      // a row of seats every five feet
        float row = floorf(rows), f = rows - row;
        float step = row + std::min(f * 4.0f, 1.0f);
        return 5 + std::min(step, 14.0f) * 2.6f;
    }
    case COURSE_SAND: {
        // Dunes: long swells with rounder humps on them, stretched along the wind (x).
        float broad = 9 * noise_fbm(x / 420.0f, z / 420.0f, 3, seed);
        float dunes = 6 * noise_fbm(x / 170.0f, z / 110.0f, 2, seed + 7);
        return 14 + broad + dunes + 0.4f * noise_fbm(x / 25.0f, z / 25.0f, 2, seed + 9);
    }
    default: {
        float hills = 20 * noise_fbm(x / 520.0f, z / 520.0f, 3, seed);
        float knolls = 5 * noise_fbm(x / 160.0f, z / 160.0f, 2, seed + 3);
        float bumps = 0.6f * noise_fbm(x / 30.0f, z / 30.0f, 2, seed + 5);
        return 25 + hills + knolls + bumps;
    }
    }
}

CoursePoint course_at(const Course &c, float s)
{
    int n = (int)c.points.size();
    s = wrap_s(s, c.length);
    float f = s / COURSE_STEP;
    int i = std::min((int)f, n - 1);
    float t = f - i;
    const CoursePoint &a = c.points[i];
    const CoursePoint &b = c.points[(i + 1) % n];
    CoursePoint p = a;
    p.s = s;
    p.x = a.x + (b.x - a.x) * t;
    p.z = a.z + (b.z - a.z) * t;
    p.width = a.width + (b.width - a.width) * t;
    p.bank = a.bank + (b.bank - a.bank) * t;
    p.speed = a.speed + (b.speed - a.speed) * t;
    p.y = a.y + (b.y - a.y) * t;
    float dx = a.dir_x + (b.dir_x - a.dir_x) * t, dz = a.dir_z + (b.dir_z - a.dir_z) * t;
    float len = sqrtf(dx * dx + dz * dz);
    p.dir_x = len > 0 ? dx / len : a.dir_x;
    p.dir_z = len > 0 ? dz / len : a.dir_z;
    return p;
}

int course_nearest(const Course &c, float x, float z)
{
    int best = 0;
    float best_d = 1e30f;
    for (size_t i = 0; i < c.points.size(); i++) {
        float dx = c.points[i].x - x, dz = c.points[i].z - z;
        float d = dx * dx + dz * dz;
        if (d < best_d) {
            best_d = d;
            best = (int)i;
        }
    }
    return best;
}

// Smooths a closed series with a moving average of 2 * radius + 1 entries.
static void smooth_loop(std::vector<float> *v, int radius)
{
    int n = (int)v->size();
    if (radius <= 0 || n == 0)
        return;
    std::vector<float> out(n);
    double sum = 0;
    for (int k = -radius; k <= radius; k++)
        sum += (*v)[((k % n) + n) % n];
    for (int i = 0; i < n; i++) {
        out[i] = (float)(sum / (2 * radius + 1));
        sum += (*v)[(i + radius + 1) % n] - (*v)[((i - radius) % n + n) % n];
    }
    *v = out;
}

void course_build(int index, Course *c)
{
    const CourseSpec &spec = SPECS[index];
    c->name = spec.name;
    c->desc = spec.desc;
    c->kind = spec.kind;
    c->tile_bits = spec.tile_bits;
    c->spacing = spec.spacing;
    c->shoulder = spec.shoulder;
    c->seed = spec.seed;
    c->floor_x0 = spec.floor[0];
    c->floor_z0 = spec.floor[1];
    c->floor_x1 = spec.floor[2];
    c->floor_z1 = spec.floor[3];
    c->gate_count = spec.gate_count;
    c->gate_spacing = spec.gate_spacing;
    c->points.clear();
    c->features.clear();

    // The spline, finely sampled with its arc length.
    const int K = spec.key_count, SUB = 64;
    struct Fine {
        float x, z, s, key;
    };
    std::vector<Fine> fine;
    float s = 0;
    for (int k = 0; k < K; k++) {
        const Key &k0 = spec.keys[(k + K - 1) % K], &k1 = spec.keys[k];
        const Key &k2 = spec.keys[(k + 1) % K], &k3 = spec.keys[(k + 2) % K];
        for (int j = 0; j < SUB; j++) {
            float t = (float)j / SUB;
            Fine f = {catmull(k0.x, k1.x, k2.x, k3.x, t), catmull(k0.z, k1.z, k2.z, k3.z, t), 0,
                      k + t};
            if (!fine.empty()) {
                float dx = f.x - fine.back().x, dz = f.z - fine.back().z;
                s += sqrtf(dx * dx + dz * dz);
            }
            f.s = s;
            fine.push_back(f);
        }
    }
    float dx = spec.keys[0].x - fine.back().x, dz = spec.keys[0].z - fine.back().z;
    c->length = s + sqrtf(dx * dx + dz * dz);
    int n = (int)floorf(c->length / COURSE_STEP);
    c->length = n * COURSE_STEP;   // points evenly spaced all round; the last gap absorbs the rest

    // Resample every COURSE_STEP ft.
    size_t j = 0;
    for (int i = 0; i < n; i++) {
        float target = i * COURSE_STEP * (s + sqrtf(dx * dx + dz * dz)) / c->length;
        while (j + 1 < fine.size() && fine[j + 1].s < target)
            j++;
        const Fine &a = fine[j];
        const Fine &b = j + 1 < fine.size() ? fine[j + 1] : Fine{fine[0].x, fine[0].z, 0, (float)K};
        float bs = j + 1 < fine.size() ? b.s : s + sqrtf(dx * dx + dz * dz);
        float t = bs > a.s ? (target - a.s) / (bs - a.s) : 0;
        t = std::clamp(t, 0.0f, 1.0f);
        CoursePoint p = {};
        p.s = i * COURSE_STEP;
        p.x = a.x + (b.x - a.x) * t;
        p.z = a.z + (b.z - a.z) * t;
        float key = a.key + (b.key - a.key) * t;
        int k = std::min((int)key, K - 1);
        float kt = key - k;
        const Key &k1 = spec.keys[k], &k2 = spec.keys[(k + 1) % K];
        p.width = k1.width + (k2.width - k1.width) * kt;
        p.surface = k1.surface;
        p.feature = -1;
        p.speed = (float)k1.camber;   // camber, replaced by the speed below
        c->points.push_back(p);
    }

    // Directions and signed curvature (positive: turning right).
    std::vector<float> curvature(n), camber(n);
    for (int i = 0; i < n; i++) {
        const CoursePoint &a = c->points[(i + n - 2) % n], &b = c->points[(i + 2) % n];
        float ex = b.x - a.x, ez = b.z - a.z, len = sqrtf(ex * ex + ez * ez);
        c->points[i].dir_x = ex / len;
        c->points[i].dir_z = ez / len;
        camber[i] = c->points[i].speed;
    }
    for (int i = 0; i < n; i++) {
        const CoursePoint &a = c->points[(i + n - 3) % n], &b = c->points[(i + 3) % n];
        float cross = a.dir_x * b.dir_z - a.dir_z * b.dir_x;   // sin of the heading change
        curvature[i] = asinf(std::clamp(cross, -1.0f, 1.0f)) / (6 * COURSE_STEP);
    }
    smooth_loop(&curvature, 8);
    smooth_loop(&camber, 12);

    // Banking: berms rise towards the outside of the turn, off-camber turns fall away. The
    // bank builds up and dies away over some 50 ft so that no edge is left across the track.
    std::vector<float> bank(n);
    for (int i = 0; i < n; i++) {
        float k = curvature[i];
        float slope = std::min(fabsf(k) * 18.0f, 0.36f);
        float side = k > 0 ? -1.0f : 1.0f;   // right turn: the left (outside) is higher
        float b = camber[i] >= 0 ? camber[i] * slope : camber[i] * std::min(slope, 0.16f);
        bank[i] = side * b;
    }
    smooth_loop(&bank, 12);
    smooth_loop(&bank, 12);
    for (int i = 0; i < n; i++)
        c->points[i].bank = bank[i];

    // Intended speeds: what the grip (helped by a berm) allows in each turn, limited by
    // braking into it and accelerating out of it.
    std::vector<float> v(n);
    for (int i = 0; i < n; i++) {
        float k = fabsf(curvature[i]);
        float grip = spec.grip + 0.8f * std::max(0.0f, camber[i]) * fabsf(c->points[i].bank);
        v[i] = k > 1e-5f ? std::min(spec.top_speed, sqrtf(grip * 32.0f / k)) : spec.top_speed;
    }
    // Jumps are taken at the speed that clears them and no faster; whoops are skimmed.
    for (int f = 0; f < spec.feature_count; f++) {
        const FeatureSpec &fs = spec.features[f];
        float cap = fs.kind == FEATURE_WHOOPS ? 42.0f : fs.kind == FEATURE_RHYTHM ? 36.0f : 40.0f;
        int start = course_nearest(*c, fs.x, fs.z);
        for (int i = 0; i < 60; i++)
            v[(start + i) % n] = std::min(v[(start + i) % n], cap);
    }
    for (int pass = 0; pass < 2; pass++) {
        for (int i = 0; i < 2 * n; i++) {
            int a = i % n, b = (i + 1) % n;
            v[b] = std::min(v[b], sqrtf(v[a] * v[a] + 2 * ACCELERATION * COURSE_STEP));
        }
        for (int i = 2 * n; i > 0; i--) {
            int a = i % n, b = (i - 1) % n;
            v[b] = std::min(v[b], sqrtf(v[a] * v[a] + 2 * BRAKING * COURSE_STEP));
        }
    }

    // Features along the lap.
    std::vector<float> profile(n, 0.0f);
    for (int f = 0; f < spec.feature_count; f++) {
        const FeatureSpec &fs = spec.features[f];
        Profile p = feature_profile(fs);
        float s0 = c->points[course_nearest(*c, fs.x, fs.z)].s;
        float len = feature_length(fs, p);
        CourseFeature feature = {fs.kind, s0, s0 + len, fs.height, fs.count,
                                 FEATURE_LABELS[fs.kind]};
        for (int i = 0; i <= (int)len; i++) {
            int at = ((int)(s0 / COURSE_STEP) + i) % n;
            profile[at] = std::max(profile[at], feature_height(fs, p, i * COURSE_STEP));
            c->points[at].feature = (int)c->features.size();
        }
        c->features.push_back(feature);
    }
    // Round every lip and bottom a little.
    smooth_loop(&profile, 1);

    // Centre heights: the ground along the lap, smoothed so that the course rolls gently,
    // level round the start grid, then the features on top.
    std::vector<float> centre(n);
    for (int i = 0; i < n; i++)
        centre[i] = course_ground(*c, c->points[i].x, c->points[i].z);
    if (c->kind != COURSE_STADIUM) {
        smooth_loop(&centre, c->kind == COURSE_SAND ? 90 : 70);
        smooth_loop(&centre, 40);
    }
    c->gate_s = spec.gate_s;
    float grid_y = centre[(int)(spec.gate_s / COURSE_STEP)];
    float pad_half = 0.5f * spec.gate_count * spec.gate_spacing + 8;
    for (int i = 0; i < n; i++) {
        float ds = c->points[i].s - spec.gate_s;
        if (ds > c->length / 2)
            ds -= c->length;
        if (ds < -c->length / 2)
            ds += c->length;
        // Level ground from behind the grid to just past the gate, blended over 60 ft.
        float level = 0;
        if (ds >= -spec.pad_behind && ds <= 15)
            level = 1;
        else if (ds < -spec.pad_behind)
            level = std::max(0.0f, 1 + (ds + spec.pad_behind) / 60);
        else
            level = std::max(0.0f, 1 - (ds - 15) / 60);
        level = level * level * (3 - 2 * level);
        centre[i] = centre[i] + (grid_y - centre[i]) * level;
        if (level > 0)
            c->points[i].bank *= 1 - level;
        // The grid is as wide as the gates; the straight narrows after it.
        // Behind the grid it widens over 40 ft, so that no wall stands at its back.
        float pad_width = 0;
        if (ds >= -spec.pad_behind && ds <= 10)
            pad_width = 2 * pad_half;
        else if (ds > 10 && ds < 10 + spec.pad_taper)
            pad_width = 2 * pad_half +
                        (c->points[i].width - 2 * pad_half) * (ds - 10) / spec.pad_taper;
        else if (ds < -spec.pad_behind && ds > -spec.pad_behind - 40)
            pad_width = 2 * pad_half + (c->points[i].width - 2 * pad_half) *
                                           (-spec.pad_behind - ds) / 40;
        c->points[i].width = std::max(c->points[i].width, pad_width);
    }
    double lap = 0;
    for (int i = 0; i < n; i++) {
        // A banked turn pivots near its low edge: the high side climbs by one and a half
        // times the bank over the half width, the low side dips by half of it.
        float lift = 0.25f * fabsf(c->points[i].bank) * c->points[i].width;
        c->points[i].y = centre[i] + profile[i] + lift;
        c->points[i].speed = v[i];
        lap += COURSE_STEP / v[i];
    }
    c->lap_seconds = (float)lap;
}

std::string course_centerline_text(const Course &c)
{
    std::string out;
    char line[256];
    snprintf(line, sizeof line,
             "# %s: centreline every %g ft. length %.1f ft, start line at %.1f ft, %d start "
             "places %.2f ft apart\n",
             c.desc, 4 * COURSE_STEP, c.length, c.gate_s, c.gate_count, c.gate_spacing);
    out += line;
    for (const CourseFeature &f : c.features) {
        snprintf(line, sizeof line, "# feature %s from %.1f to %.1f ft, height %.1f ft\n",
                 f.label, f.s0, f.s1, f.height);
        out += line;
    }
    out += "# s x z y dir_x dir_z width bank speed surface feature\n";
    for (size_t i = 0; i < c.points.size(); i += 4) {
        const CoursePoint &p = c.points[i];
        snprintf(line, sizeof line, "%.1f %.2f %.2f %.2f %.4f %.4f %.1f %.3f %.1f %d %d\n", p.s,
                 p.x, p.z, p.y, p.dir_x, p.dir_z, p.width, p.bank, p.speed, p.surface, p.feature);
        out += line;
    }
    return out;
}
