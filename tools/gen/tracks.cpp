// One track directory from its course: "terrain.hf", "terrain.png", the light maps,
// "tilemap" and "decals" through terrain_save; "shadows.pgm", "tileinfo", "desc",
// "centerline" and "map.png"; then the object files.
#include "tracks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "gen.h"
#include "lines_pack.h"
#include "objects.h"
#include "picture.h"
#include "textures.h"
#include "track/terrain.h"

namespace {

struct SurfacePhysics {
    float friction[3][2];     // (grip, speed ft/s)
    float roll[2][3];         // (low, high, speed ft/s)
    const char *roost[2];     // roost lines (the picture is added in front)
    float erode[8];           // depth, lower, upper, displacement, radius, max slope, off, on
};

// Loam grips best; hard-pack is fast but slides; sand drags and ruts deeply; grass is
// slippery; wet clay is the worst of both.
const SurfacePhysics PHYSICS[SURFACE_BASE_COUNT] = {
    {{{1.05f, 5}, {1.0f, 30}, {0.92f, 80}},
     {{5, 15, 1}, {6, 18, 60}},
     {"count=4 dig=1 slip_threshold=4 size=0.3 grow=1.5 drag=0.6 vscale=0.9 randomize=12 fade_a=-300",
      "splash=1 count=1 slip_threshold=8 size=0.6 grow=4 drag=1.5 vscale=0.4 a=160 fade_a=-200"},
     {1.0f, 50, 150, 2.0f, 2.5f, 0.3f, 10, 15}},
    {{{0.95f, 5}, {0.85f, 30}, {0.78f, 80}},
     {{3, 9, 1}, {4, 11, 60}},
     {"count=1 dig=0.5 slip_threshold=6 size=0.2 grow=1 drag=0.7 vscale=0.7 randomize=10 fade_a=-400",
      "splash=1 count=2 slip_threshold=5 size=0.8 grow=5 drag=1.5 vscale=0.3 a=140 fade_a=-160"},
     {0.25f, 90, 200, 1.5f, 2.0f, 0.2f, 12, 20}},
    {{{0.82f, 5}, {0.76f, 30}, {0.7f, 80}},
     {{14, 45, 1}, {18, 55, 60}},
     {"count=7 dig=2 slip_threshold=2 size=0.22 grow=2.5 drag=0.8 vscale=1.1 randomize=18 fade_a=-350",
      "splash=1 count=3 slip_threshold=3 size=0.5 grow=3 drag=1.2 vscale=0.6 a=180 fade_a=-250"},
     {4.0f, 20, 90, 2.5f, 1.6f, 0.6f, 3, 8}},
    {{{0.75f, 5}, {0.66f, 30}, {0.6f, 80}},
     {{5, 14, 1}, {6, 16, 60}},
     {"count=2 dig=0.5 slip_threshold=5 size=0.25 grow=0.5 drag=0.9 vscale=0.8 randomize=10 fade_a=-300",
      nullptr},
     {0.4f, 70, 180, 1.5f, 2.5f, 0.25f, 10, 16}},
    {{{0.62f, 5}, {0.52f, 30}, {0.46f, 80}},
     {{12, 35, 1}, {14, 40, 60}},
     {"count=5 dig=1.5 slip_threshold=3 size=0.35 grow=0.5 drag=0.3 vscale=1.0 randomize=14 fade_a=-200",
      "splash=1 count=2 slip_threshold=4 size=0.4 grow=1 drag=0.4 vscale=0.8 fade_a=-250"},
     {2.0f, 30, 120, 2.0f, 2.0f, 0.4f, 6, 10}},
};

const char *const ERODE_KEYS[8] = {"erode_depth",  "erode_lower",    "erode_upper",
                                   "erode_displacement", "erode_radius", "erode_max_slope",
                                   "erode_off_speed", "erode_on_speed"};

int base_of(int type)
{
    if (type < SURFACE_BASE_COUNT)
        return type;
    if (type >= LAND_FIRST_ALTERNATE)
        return type - LAND_FIRST_ALTERNATE;
    return LAND_TRANSITION_BASES[(type - SURFACE_BASE_COUNT) / 14];
}

// A top-down picture of the whole field: the surfaces' colours under the light map, the
// course drawn bright with a dark rim; transparent away from the course.
Picture map_picture(const Course &course, const Land &land)
{
    const int N = 256;
    const Color colors[SURFACE_BASE_COUNT] = {rgb(150, 110, 72), rgb(190, 160, 115),
                                              rgb(230, 208, 150), rgb(80, 120, 55),
                                              rgb(110, 84, 62)};
    Picture p = picture_make(N, N, 4, rgb(0, 0, 0, 0));
    float world = (land.size - 1) * land.spacing;
    int tiles = 1 << land.tile_bits;
    for (int y = 0; y < N; y++)
        for (int x = 0; x < N; x++) {
            float wx = (x + 0.5f) / N * world, wz = (y + 0.5f) / N * world;
            int c = std::clamp((int)(wx / land.spacing), 0, land.size - 1);
            int r = std::clamp((int)(wz / land.spacing), 0, land.size - 1);
            const uint8_t *light = &land.shading[((size_t)r * land.size + c) * 3];
            int ti = std::clamp((int)(wx / (2 * land.spacing)), 0, tiles - 1);
            int tj = std::clamp((int)(wz / (2 * land.spacing)), 0, tiles - 1);
            Color k = colors[base_of(land.tilemap[(size_t)tj * tiles + ti])];
            k = Color{k.r * light[0] / 128.0f, k.g * light[1] / 128.0f, k.b * light[2] / 128.0f, 255};
            float edge = land_edge_distance(land, course, wx, wz);
            float pixel = world / N;
            if (edge <= 0)
                k = mix(k, rgb(245, 235, 215), 0.55f);
            else if (edge < 1.5f * pixel)
                k = rgb(30, 24, 20);
            else
                k.a = 140;
            picture_set(&p, x, y, k);
        }
    // The start line and the finish line.
    for (float s : {0.0f, course.gate_s}) {
        CoursePoint pt = course_at(course, s);
        float half = 0.5f * pt.width;
        float x0 = (pt.x + pt.dir_z * half) / world * N, z0 = (pt.z - pt.dir_x * half) / world * N;
        float x1 = (pt.x - pt.dir_z * half) / world * N, z1 = (pt.z + pt.dir_x * half) / world * N;
        picture_line(&p, x0, z0, x1, z1, 2, s == 0 ? rgb(20, 20, 20) : rgb(220, 40, 30), false);
    }
    return p;
}

void write_shadows(const Course &course, const Land &land)
{
    std::string out = gen_format("P5\n%d %d\n255\n", land.size, land.size);
    out.append((const char *)land.light.data(), land.light.size());
    gen_write_text(gen_format("%s/shadows.pgm", course.name).c_str(), out);
}

}   // namespace

std::string tracks_tileinfo_text()
{
    std::string out;
    for (int t = 0; t < LAND_SURFACE_TYPES; t++) {
        int base = base_of(t);
        const SurfacePhysics &ph = PHYSICS[base];
        out += gen_format("texture %s\n", texture_tile_name(t).c_str());
        for (const auto &f : ph.friction)
            out += gen_format("friction %g %g\n", f[0], f[1]);
        for (const auto &r : ph.roll)
            out += gen_format("roll_resist %g %g %g\n", r[0], r[1], r[2]);
        for (const char *roost : ph.roost)
            if (roost)
                out += gen_format("roost texture=%s %s\n",
                                  strstr(roost, "splash=") ? "@particles/dust.png"
                                                           : texture_roost_name(base).c_str(),
                                  roost);
        for (int k = 0; k < 8; k++)
            out += gen_format("%s %g\n", ERODE_KEYS[k], ph.erode[k]);
        out += "addtile\n";
    }
    return out;
}

void tracks_generate(int index)
{
    Course course;
    course_build(index, &course);
    Land land;
    land_author(course, &land);
    ObjectPlan plan;
    objects_plan(course, &land, &plan);
    land_bake_light(&land, plan.light.sun, plan.light.sun_color, plan.light.ambient);

    // The ground through the terrain writer, so that the files are exactly what it saves.
    Terrain terrain = {};
    if (!terrain_create(&terrain, land.tile_bits, land.spacing, land.heights.data())) {
        gen_fail(course.name);
        return;
    }
    memcpy(terrain.tilemap, land.tilemap.data(), land.tilemap.size());
    memcpy(terrain.shading, land.shading.data(), land.shading.size());
    objects_decals(plan, &terrain);
    if (!terrain_save(&terrain, course.name))
        gen_fail(course.name);

    std::string dir = std::string(course.name) + "/";
    write_shadows(course, land);
    gen_write_text((dir + "tileinfo").c_str(), tracks_tileinfo_text());
    gen_write_text((dir + "desc").c_str(), std::string(course.desc) + "\n");
    gen_write_text((dir + "centerline").c_str(), course_centerline_text(course));
    lines_pack(course.name);
    picture_save_png(map_picture(course, land), ("@" + dir + "map.png").c_str());
    objects_write(course, land, plan, &terrain);
    terrain_free(&terrain);

    printf("%s: %.0f ft lap, %.1f s at the intended speeds, %d checkpoints, %zu billboards, "
           "%zu statues\n",
           course.name, course.length, course.lap_seconds, (int)plan.gate_s.size(),
           plan.boards.size(), plan.statues.size());
}
