// Placing and writing the objects of a generated track. Positions come from the course
// (the start grid across the start straight, checkpoints every stretch of the lap, hay
// bales and tyre walls round the outside of turns, tuff blocks along stadium lanes) and
// from the ground (trees off the course in clusters).
#include "objects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "assets.h"
#include "common/common.h"
#include "gen.h"
#include "noise.h"
#include "track/billboards.h"
#include "track/cameras.h"
#include "track/decals.h"
#include "track/flaggers.h"
#include "track/gates.h"
#include "track/lighting.h"
#include "track/statues.h"
#include "track/terrain.h"

namespace {

const float CHECKPOINT_STEP = 70.0f;   // ft of lap between checkpoints

// Heading change per foot at arc length s (positive: turning right), over +-10 ft.
float turn_rate(const Course &c, float s)
{
    CoursePoint a = course_at(c, s - 10), b = course_at(c, s + 10);
    return asinf(std::clamp(a.dir_x * b.dir_z - a.dir_z * b.dir_x, -1.0f, 1.0f)) / 20;
}

// The statue angle that lays a model's length (its x axis) along the direction (dx, dz).
float along_angle(float dx, float dz) { return atan2f(-dz, dx); }

// Heading of a rider travelling along (dx, dz): a bike faces -z at heading 0.
float heading_of(float dx, float dz) { return atan2f(-dx, -dz); }

// Offset of a point lateral ft to the right of the centre at s.
void beside(const Course &c, float s, float lateral, float *x, float *z)
{
    CoursePoint p = course_at(c, s);
    *x = p.x - p.dir_z * lateral;
    *z = p.z + p.dir_x * lateral;
}

bool inside_world(const Land &land, float x, float z, float margin)
{
    float size = (land.size - 1) * land.spacing;
    return x > margin && z > margin && x < size - margin && z < size - margin;
}

void plan_checkpoints(const Course &c, ObjectPlan *plan)
{
    int count = std::max(8, (int)lroundf(c.length / CHECKPOINT_STEP));
    for (int i = 0; i < count; i++)
        plan->gate_s.push_back(c.length * i / count);
}

void plan_trees(const Course &c, Land *land, ObjectPlan *plan)
{
    if (c.kind == COURSE_STADIUM)
        return;
    NoiseRandom rnd;
    noise_seed(&rnd, c.seed + 50);
    float size = (land->size - 1) * land->spacing;
    float cell = c.kind == COURSE_SAND ? 46.0f : 30.0f;
    for (float gz = 0; gz < size; gz += cell)
        for (float gx = 0; gx < size; gx += cell) {
            float x = gx + noise_range(&rnd, 0, cell), z = gz + noise_range(&rnd, 0, cell);
            float r = noise_uniform(&rnd);
            float wood = 0.5f + 0.5f * noise_fbm(x / 260.0f, z / 260.0f, 3, c.seed + 60);
            if (r > wood * wood * 1.3f)
                continue;
            if (!inside_world(*land, x, z, 4) || land_edge_distance(*land, c, x, z) < 24)
                continue;
            int kind = (int)(noise_uniform(&rnd) * 3);
            float scale = noise_range(&rnd, 0.75f, 1.3f);
            PlannedBoard board;
            if (c.kind == COURSE_SAND && kind != 1) {
                board = {x, z, 0, 9 * scale, 6 * scale, SHRUB_PICTURE};
            } else {
                float w = (kind == 1 ? 13 : 20) * scale, h = (kind == 1 ? 34 : 28) * scale;
                board = {x, z, 0, w, h, TREE_PICTURES[kind]};
                // The crown's shadow falls away from the sun.
                float sx = -plan->light.sun[0] / plan->light.sun[1] * h * 0.6f;
                float sz = -plan->light.sun[2] / plan->light.sun[1] * h * 0.6f;
                land_add_shadow(land, x + sx, z + sz, w * 0.45f, 0.6f);
            }
            board.y = board.height * 0.5f;   // the picture's centre; its foot on the ground
            plan->boards.push_back(board);
        }
}

// Banners and fences along the start straight and past the finish.
void plan_trackside(const Course &c, const Land &land, ObjectPlan *plan)
{
    NoiseRandom rnd;
    noise_seed(&rnd, c.seed + 70);
    for (float s = c.gate_s + 230; s < c.gate_s + 520; s += 32) {
        CoursePoint p = course_at(c, s);
        for (int side = -1; side <= 1; side += 2) {
            float x, z;
            beside(c, s, side * (0.5f * p.width + 7), &x, &z);
            if (land_edge_distance(land, c, x, z) < 5 || !inside_world(land, x, z, 4))
                continue;
            const char *picture = BANNER_PICTURES[noise_next(&rnd) % 3];
            plan->boards.push_back({x, z, 2.6f, 14, 3.5f, picture});
        }
    }
    if (c.kind == COURSE_STADIUM)
        return;
    for (float s = 20; s < c.length - 20; s += 11) {
        CoursePoint p = course_at(c, s);
        if (p.feature < 0 || p.width > 40)
            continue;   // fences line the jumps, where spectators gather
        float x, z;
        beside(c, s, -(0.5f * p.width + 12), &x, &z);
        if (land_edge_distance(land, c, x, z) < 9 || !inside_world(land, x, z, 4))
            continue;
        plan->boards.push_back({x, z, 1.6f, 10, 3, FENCE_PICTURE});
    }
}

// Hay bales round the outside of turns; tyre walls where the turns are slow.
void plan_turn_markers(const Course &c, const Land &land, ObjectPlan *plan)
{
    for (float s = 0; s < c.length; s += 4.6f) {
        float rate = turn_rate(c, s);
        CoursePoint p = course_at(c, s);
        if (fabsf(rate) < 0.012f || p.width > 40)
            continue;
        bool slow = p.speed < 32;
        float side = rate > 0 ? -1.0f : 1.0f;   // the outside of the turn
        float x, z;
        beside(c, s, side * (0.5f * p.width + (slow ? 3.5f : 2.5f)), &x, &z);
        if (land_edge_distance(land, c, x, z) < 1.5f || !inside_world(land, x, z, 4))
            continue;
        if (slow && c.kind != COURSE_STADIUM) {
            if (fmodf(s, 9.2f) < 4.6f)
                plan->statues.push_back({x, z, 0, 0, TYRE_MODEL, TYRE_TEXTURE, TYRE_SHAPE});
        } else if (c.kind != COURSE_STADIUM) {
            plan->statues.push_back({x, z, 0, along_angle(p.dir_x, p.dir_z), HAY_MODEL,
                                     HAY_TEXTURE, HAY_SHAPE});
        }
    }
}

// Tuff blocks. In the stadium one row stands down the middle of the floor between two
// neighbouring stretches of course, and none against the walls: a rider thrown off a lane
// lands on open floor beside it, never in an alley between two rows. Every fourth block
// is left out, so a rider thrown over a row finds a way back within a few lengths. The
// outdoor tracks have none: a rider thrown behind a row along the start straight stayed
// there.
void plan_tuff_blocks(const Course &c, const Land &land, ObjectPlan *plan)
{
    if (c.kind != COURSE_STADIUM)
        return;
    // The start funnel stays open until it has narrowed to the lane: riders from the outer
    // gates cross it on their way in.
    float from = c.gate_s + 15, to = c.gate_s + c.length - 75;
    float lane = course_at(c, c.gate_s + 250).width;
    while (from < to && course_at(c, from).width > lane + 1)
        from += 1;
    int n = 0;
    for (float s = from; s < to; s += 5.4f) {
        if (++n % 4 == 0)
            continue;
        CoursePoint p = course_at(c, s);
        // Only along straights: rows set from round a hairpin gather at its centre into a
        // pen that a fallen rider cannot leave.
        CoursePoint before = course_at(c, s - 12), after = course_at(c, s + 12);
        if (before.dir_x * after.dir_x + before.dir_z * after.dir_z < 0.97f)
            continue;
        for (int side = -1; side <= 1; side += 2) {
            // Across the floor to the next stretch of course, within 90 ft.
            float half = 0.5f * p.width, hit = 0, x = 0, z = 0;
            for (float t = half + 2; t < half + 90 && hit == 0; t += 1) {
                beside(c, s, side * t, &x, &z);
                if (x < c.floor_x0 + 2 || z < c.floor_z0 + 2 || x > c.floor_x1 - 2 ||
                    z > c.floor_z1 - 2)
                    break;
                if (land_edge_distance(land, c, x, z) < 0)
                    hit = t;
            }
            if (hit - half < 12)
                continue;
            // The row is set from the stretch ridden first, unless that one is the open
            // start funnel or the run to the finish.
            float other = c.points[(size_t)course_nearest(c, x, z)].s;
            other += other < c.gate_s ? c.length : 0;
            if (other >= from && other < to && other < s)
                continue;
            beside(c, s, side * 0.5f * (half + hit), &x, &z);
            bool clash = false;   // keep clear of blocks already set (hairpins fold back)
            for (size_t k = plan->statues.size(); k-- > 0 && !clash;) {
                float dx = plan->statues[k].x - x, dz = plan->statues[k].z - z;
                clash = dx * dx + dz * dz < 4.0f * 4.0f;
                if (plan->statues.size() - k > 400)
                    break;
            }
            if (!clash)
                plan->statues.push_back({x, z, 0, along_angle(p.dir_x, p.dir_z), TUFF_MODEL,
                                         TUFF_TEXTURE, TUFF_SHAPE});
        }
    }
}

void plan_decals(const Course &c, ObjectPlan *plan)
{
    CoursePoint finish = course_at(c, 0);
    plan->decals.push_back({finish.x, finish.z, heading_of(finish.dir_x, finish.dir_z),
                            finish.width, 3.0f, DECAL_STARTLINE});
    CoursePoint gate = course_at(c, c.gate_s + 2);
    plan->decals.push_back({gate.x, gate.z, heading_of(gate.dir_x, gate.dir_z),
                            c.gate_count * c.gate_spacing, 1.5f, DECAL_STARTLINE});
    for (int i = 0; i < 6; i++) {   // black lines where the field brakes into turn one
        float s = c.gate_s + 150 + i * 19.0f;
        float x, z;
        beside(c, s, (i % 3 - 1) * 5.0f, &x, &z);
        CoursePoint p = course_at(c, s);
        plan->decals.push_back({x, z, heading_of(p.dir_x, p.dir_z), 1.2f, 14, DECAL_SKID});
    }
    if (c.kind == COURSE_STADIUM)
        plan->decals.push_back({101, 258, 0, 24, 12, DECAL_LOGO});
}

TrackLight track_light(const Course &c)
{
    TrackLight l = {};
    auto set3 = [](float *v, float a, float b, float d) { v[0] = a, v[1] = b, v[2] = d; };
    switch (c.kind) {
    case COURSE_STADIUM:   // under the lights at night
        set3(l.sun, 0.25f, 1.0f, 0.35f);
        set3(l.sun_color, 0.92f, 0.92f, 1.0f);
        set3(l.ambient, 0.48f, 0.48f, 0.55f);
        set3(l.global_ambient, 0.18f, 0.18f, 0.22f);
        l.fog[0] = 0.06f, l.fog[1] = 0.06f, l.fog[2] = 0.1f, l.fog[3] = 0.0012f;
        l.flare_at_point = 1;
        set3(l.flare_point, 256, 110, -30);
        break;
    case COURSE_SAND:   // high summer sun and haze
        set3(l.sun, 0.35f, 0.9f, -0.3f);
        set3(l.sun_color, 1.05f, 1.0f, 0.88f);
        set3(l.ambient, 0.5f, 0.48f, 0.46f);
        set3(l.global_ambient, 0.22f, 0.21f, 0.2f);
        l.fog[0] = 0.86f, l.fog[1] = 0.82f, l.fog[2] = 0.74f, l.fog[3] = 0.0006f;
        break;
    default:   // a late afternoon in the hills
        set3(l.sun, -0.55f, 0.62f, 0.56f);
        set3(l.sun_color, 1.0f, 0.93f, 0.8f);
        set3(l.ambient, 0.42f, 0.46f, 0.54f);
        set3(l.global_ambient, 0.2f, 0.2f, 0.23f);
        l.fog[0] = 0.7f, l.fog[1] = 0.76f, l.fog[2] = 0.84f, l.fog[3] = 0.0008f;
        break;
    }
    float len = sqrtf(l.sun[0] * l.sun[0] + l.sun[1] * l.sun[1] + l.sun[2] * l.sun[2]);
    for (float &v : l.sun)
        v /= len;
    return l;
}

int write_gates(const Course &c, const Land &land, const ObjectPlan &plan, const char *name)
{
    Timing *timing = (Timing *)xcalloc(1, sizeof(Timing));
    timing_clear(timing);
    CoursePoint g = course_at(c, c.gate_s);
    float heading = heading_of(g.dir_x, g.dir_z);
    for (int i = 0; i < c.gate_count; i++) {
        float lateral = (i - 0.5f * (c.gate_count - 1)) * c.gate_spacing;
        float x, z;
        beside(c, c.gate_s, lateral, &x, &z);
        timing->start_pos[i] = vec3(x, 0, z);
        timing->start_heading[i] = heading;
        timing->start_gate_statue[i] = -1;
    }
    timing->start_count = c.gate_count;
    int n = (int)plan.gate_s.size();
    for (int i = 0; i < n; i++) {
        CoursePoint p = course_at(c, plan.gate_s[i]);
        Gate &gate = timing->gates[i];
        gate.pos = vec3(p.x, land_height(land, p.x, p.z), p.z);
        gate.dir = vec3(p.dir_x, 0, p.dir_z);
        gate.radius = 0.5f * p.width + 4;
    }
    timing->gate_count = n;
    // Checkpoints over whoops and jump tops time the lap but split no racing line there.
    auto entry = [&](int i) {
        CoursePoint p = course_at(c, plan.gate_s[i]);
        return p.feature >= 0 ? LAP_ENTRY_FLAGGED + i : i;
    };
    int first = 0;
    for (int i = 1; i < n; i++)
        if (plan.gate_s[i] > c.gate_s + 5)
            timing->lap_order[first++] = entry(i);
    timing->lap_order[first++] = 0;
    int normal = 0;
    for (int i = 1; i < n; i++)
        timing->lap_order[first + normal++] = entry(i);
    timing->lap_order[first + normal++] = 0;
    timing->first_lap_len = first;
    timing->normal_lap_len = normal;
    int ok = gates_write(timing, name);
    free(timing);
    return ok;
}

int write_flaggers(const Course &c, const ObjectPlan &plan, const char *name)
{
    Flaggers f = {};
    array_init(&f.list, sizeof(Flagger));
    CoursePoint g = course_at(c, c.gate_s + 14);
    float half = 0.5f * c.gate_count * c.gate_spacing;
    f.start.present = 1;
    f.start.a = vec3(g.x + g.dir_z * half, 3, g.z - g.dir_x * half);
    f.start.b = vec3(g.x - g.dir_z * half, 3, g.z + g.dir_x * half);
    f.start.width = 3;
    f.start.height = 6;
    f.start.path_time = 6;
    for (int i = 0; i < START_MARSHAL_PICTURES; i++)
        f.start.pictures[i] = intern_string(START_MARSHAL_PICTURE_NAMES[i]);
    CoursePoint finish = course_at(c, 0);
    float x, z;
    beside(c, 0, -(0.5f * finish.width + 5), &x, &z);
    f.lap_board.present = 1;
    f.lap_board.pos = vec3(x, 3, z);
    f.lap_board.width = 3;
    f.lap_board.height = 6;
    for (int i = 0; i < LAP_MARSHAL_PICTURES; i++)
        f.lap_board.pictures[i] = intern_string(LAP_BOARD_PICTURE_NAMES[i]);
    // One flagger before every jump and whoop section, watching the gates leading to it.
    for (const CourseFeature &feature : c.features) {
        Flagger flagger = {};
        CoursePoint p = course_at(c, feature.s0 + 8);
        beside(c, feature.s0 + 8, 0.5f * p.width + 7, &x, &z);
        flagger.pos = vec3(x, 3, z);
        flagger.width = 3;
        flagger.height = 6;
        flagger.texture_name = intern_string(FLAGGER_PICTURE);
        flagger.texture_active_name = intern_string(FLAGGER_ACTIVE_PICTURE);
        int watched = 0;
        for (int k = 0; k < FLAGGER_GATES; k++)
            flagger.gates[k] = -1;
        for (size_t i = 0; i < plan.gate_s.size() && watched < FLAGGER_GATES; i++) {
            float ahead = feature.s0 - plan.gate_s[i];
            if (ahead > -20 && ahead < 150)
                flagger.gates[watched++] = (int)i;
        }
        array_push(&f.list, &flagger);
    }
    int ok = flaggers_write(&f, name);
    array_free(&f.list);
    return ok;
}

int write_cameras(const Course &c, const Land &land, const ObjectPlan &plan, const char *name)
{
    Cameras cams = {};
    array_init(&cams.list, sizeof(Camera));
    int n = (int)plan.gate_s.size();
    const int groups = c.kind == COURSE_STADIUM ? 4 : 6;
    for (int gi = 0; gi < groups; gi++) {
        int g0 = gi * n / groups, g1 = (gi + 1) * n / groups;
        float s = 0.5f * (plan.gate_s[g0] + (g1 < n ? plan.gate_s[g1] : c.length));
        CoursePoint p = course_at(c, s);
        float best_x = p.x, best_z = p.z, best_clear = -1e9f;
        for (float off : {30.0f, -30.0f, 45.0f, -45.0f, 60.0f, -60.0f}) {
            float x, z;
            beside(c, s, (off > 0 ? 1 : -1) * (0.5f * p.width + fabsf(off)), &x, &z);
            float clear = std::min(land_edge_distance(land, c, x, z), 40.0f);
            if (!inside_world(land, x, z, 6))
                continue;
            if (clear > best_clear) {
                best_clear = clear;
                best_x = x, best_z = z;
            }
        }
        Camera cam = {};
        cam.y_offset = c.kind == COURSE_STADIUM ? 30 : 14;
        cam.pos = vec3(best_x, land_height(land, best_x, best_z) + cam.y_offset, best_z);
        cam.fov = 50;
        cam.autofovsize = 24;
        array_push(&cams.list, &cam);
        for (int g = g0; g < g1; g++)
            cams.gate_camera[g] = gi;
    }
    for (int g = n; g < CAMERA_GATES; g++)
        cams.gate_camera[g] = -1;
    int ok = cameras_write(&cams, name);
    array_free(&cams.list);
    return ok;
}

int write_lighting(const TrackLight &t, const char *name)
{
    Lighting l;
    lighting_defaults(&l);
    l.sun_vector = vec3(t.sun[0], t.sun[1], t.sun[2]);
    l.sun_color = vec3(t.sun_color[0], t.sun_color[1], t.sun_color[2]);
    l.ambient = vec3(t.ambient[0], t.ambient[1], t.ambient[2]);
    l.global_ambient = vec3(t.global_ambient[0], t.global_ambient[1], t.global_ambient[2]);
    l.near_plane = 0.25f;
    l.far_plane = 6000;
    for (int i = 0; i < 3; i++)
        l.fog_color[i] = t.fog[i];
    l.fog_density = t.fog[3];
    Flare flare = {};
    const struct {
        float place, size, r, g, b;
        int picture;
    } elements[] = {{0.0f, 0.45f, 1.0f, 0.95f, 0.8f, 0}, {0.35f, 0.10f, 0.6f, 0.7f, 1.0f, 1},
                    {0.7f, 0.05f, 1.0f, 0.8f, 0.5f, 2}, {1.1f, 0.16f, 0.5f, 1.0f, 0.6f, 1},
                    {1.6f, 0.08f, 0.9f, 0.5f, 0.9f, 2}};
    for (const auto &e : elements) {
        FlareElement &el = flare.elements[flare.element_count++];
        el.place = e.place;
        el.size = e.size;
        el.color = vec3(e.r, e.g, e.b);
        el.texture_name = intern_string(FLARE_PICTURES[e.picture]);
    }
    flare.directional = !t.flare_at_point;
    flare.anchor = t.flare_at_point ? vec3(t.flare_point[0], t.flare_point[1], t.flare_point[2])
                                    : l.sun_vector;
    array_push(&l.flares, &flare);
    int ok = lighting_write(&l, name);
    lighting_free(&l);
    return ok;
}

}   // namespace

void objects_plan(const Course &course, Land *land, ObjectPlan *plan)
{
    *plan = ObjectPlan();
    plan->light = track_light(course);
    plan_checkpoints(course, plan);
    plan_trees(course, land, plan);
    plan_trackside(course, *land, plan);
    plan_turn_markers(course, *land, plan);
    plan_tuff_blocks(course, *land, plan);
    plan_decals(course, plan);
}

void objects_decals(const ObjectPlan &plan, Terrain *terrain)
{
    if (terrain->decals.elem_size == 0)
        array_init(&terrain->decals, sizeof(Decal));
    for (const PlannedDecal &d : plan.decals) {
        Decal decal = {};
        decal.x = d.x;
        decal.z = d.z;
        decal.angle = d.angle;
        decal.size_x = d.size_x;
        decal.size_z = d.size_z;
        decal.sin_angle = sinf(d.angle);
        decal.cos_angle = cosf(d.angle);
        decal.texture = intern_string(d.picture);
        array_push(&terrain->decals, &decal);
    }
}

int objects_write(const Course &course, const Land &land, const ObjectPlan &plan,
                  Terrain *terrain)
{
    std::string dir = std::string("@") + course.name + "/";
    int ok = write_gates(course, land, plan, (dir + "timing_gates").c_str());

    Array boards;
    array_init(&boards, sizeof(Billboard));
    for (const PlannedBoard &b : plan.boards)
        billboard_add(&boards, terrain, b.x, b.y, b.z, b.width, b.height, b.picture.c_str());
    ok &= billboards_write(&boards, 0, (dir + "billboards").c_str());
    array_free(&boards);

    Array statues;
    array_init(&statues, sizeof(Statue));
    for (const PlannedStatue &s : plan.statues)
        statue_add(&statues, terrain, s.x, s.y, s.z, s.angle, s.model, s.texture, s.shape);
    ok &= statues_write(&statues, 0, (dir + "statues").c_str());
    array_free(&statues);

    ok &= write_flaggers(course, plan, (dir + "flaggers").c_str());
    ok &= write_cameras(course, land, plan, (dir + "cameras").c_str());
    ok &= write_lighting(plan.light, (dir + "lighting").c_str());
    if (!ok)
        gen_fail((dir + "objects").c_str());
    return ok;
}
