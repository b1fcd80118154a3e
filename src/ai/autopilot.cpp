// The auto pilot: personalities and the robot roster, the private line and its segment
// choice and splice, the start procedure, normal, careful and pushed riding, speed control
// and avoidance of riders ahead.
#include "ai/autopilot.h"

#include <cmath>
#include <cstring>

#include "ai/lines.h"
#include "bike/bike.h"
#include "bike/contact.h"
#include "common/mt19937.h"
#include "platform/log.h"
#include "race/timing.h"
#include "track/surface.h"
#include "track/terrain.h"

constexpr float PI_F = 3.14159265f;
constexpr float STEP_F = float(STEP_SECONDS);

static const Personality personalities[PERSONALITY_COUNT] = {
    {"empty", 0, 0, 0.0f, 0.0f, 0.0f},
    {"dorvo", 0, 0, 1.0f, 0.2f, 0.4f},
    {"kallin", 2, 1, 10.0f, 0.2f, 0.4f},
    {"suvet", 1, 0, 10.0f, 0.0f, 0.1f},
    {"tester", 3, 3, 1.0f, 0.2f, 0.4f},
};

static const Robot robots[ROBOT_COUNT] = {
    {"20", "kallin", "kx125", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"21", "kallin", "kx125", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"22", "kallin", "kx125", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"23", "kallin", "kx125", "@rider_body-alt1.png", nullptr, "@kx125-alt1.png", "@wheels-alt1.png"},
    {"24", "kallin", "kx125", "@rider_body-alt1.png", nullptr, nullptr, nullptr},
    {"25", "kallin", "yz125", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"26", "kallin", "yz125", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"27", "kallin", "yz125", "@rider_body-alt1.png", "@rider_head-alt2.png", "@yz125-alt1.png", "@wheels-alt1.png"},
    {"28", "kallin", "yz125", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"29", "kallin", "yz125", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"30", "kallin", "cr125", "@rider_body-alt3.png", nullptr, nullptr, nullptr},
    {"31", "kallin", "cr125", "@rider_body-alt1.png", "@rider_head-alt1.png", "@cr125-alt1.png", "@wheels-alt1.png"},
    {"32", "kallin", "cr125", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"33", "kallin", "cr125", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"34", "kallin", "cr125", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"35", "kallin", "rm125", "@rider_body-alt1.png", nullptr, "@rm125-alt1.png", "@wheels-alt1.png"},
    {"36", "kallin", "rm125", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"37", "kallin", "rm125", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"38", "kallin", "rm125", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"39", "kallin", "rm125", nullptr, "@rider_head-alt1.png", nullptr, nullptr},
    {"40", "dorvo", "crf250", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"41", "dorvo", "crf250", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"42", "dorvo", "crf250", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"43", "dorvo", "crf250", nullptr, nullptr, nullptr, nullptr},
    {"44", "dorvo", "crf250", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"45", "dorvo", "kx250f", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"46", "dorvo", "kx250f", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"47", "dorvo", "kx250f", nullptr, "@rider_head-alt1.png", nullptr, nullptr},
    {"48", "dorvo", "kx250f", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"49", "dorvo", "kx250f", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"50", "dorvo", "rmz250", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"51", "dorvo", "rmz250", nullptr, nullptr, nullptr, nullptr},
    {"52", "dorvo", "rmz250", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"53", "dorvo", "rmz250", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"54", "dorvo", "yz250f", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"55", "dorvo", "yz250f", nullptr, "@rider_head-alt1.png", nullptr, nullptr},
    {"56", "dorvo", "yz250f", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"57", "dorvo", "yz250f", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"58", "dorvo", "yz250f", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"59", "dorvo", "yz250f_se(2006)", nullptr, nullptr, nullptr, nullptr},
    {"60", "kallin", "crf250", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"61", "kallin", "crf250", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"62", "kallin", "crf250", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"63", "kallin", "crf250", nullptr, "@rider_head-alt1.png", nullptr, nullptr},
    {"64", "kallin", "crf250", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"65", "kallin", "kx250f", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"66", "kallin", "kx250f", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"67", "kallin", "kx250f", nullptr, nullptr, nullptr, nullptr},
    {"68", "kallin", "kx250f", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"69", "kallin", "kx250f", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"70", "kallin", "rmz250", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"71", "kallin", "rmz250", nullptr, "@rider_head-alt1.png", nullptr, nullptr},
    {"72", "kallin", "rmz250", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"73", "kallin", "rmz250", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"74", "kallin", "rmz250", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"75", "kallin", "yz250f", nullptr, nullptr, nullptr, nullptr},
    {"76", "kallin", "yz250f", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr},
    {"77", "kallin", "yz250f", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr},
    {"78", "kallin", "yz250f", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr},
    {"79", "kallin", "yz250f_se(2006)", nullptr, nullptr, nullptr, nullptr},
    {"80", "suvet", "crf250", "@rider_body-alt1.png", "@rider_head-alt1.png", "@crf250-alt1.png", "@wheels-alt1.png"},
    {"81", "suvet", "crf250", "@rider_body-alt2.png", "@rider_head-alt2.png", "@crf250-alt2.png", "@wheels-alt2.png"},
    {"82", "suvet", "crf250", "@rider_body-alt1.png", "@rider_head-alt1.png", "@crf250-alt1.png", "@wheels-alt1.png"},
    {"83", "suvet", "crf250", "@rider_body-alt2.png", "@rider_head-alt2.png", "@crf250-alt2.png", "@wheels-alt2.png"},
    {"84", "suvet", "crf250", "@rider_body-alt1.png", "@rider_head-alt1.png", "@crf250-alt1.png", "@wheels-alt1.png"},
    {"85", "suvet", "kx250f", "@rider_body-alt2.png", "@rider_head-alt2.png", "@kx250f-alt2.png", "@wheels-alt2.png"},
    {"86", "suvet", "kx250f", "@rider_body-alt1.png", "@rider_head-alt1.png", "@kx250f-alt1.png", "@wheels-alt1.png"},
    {"87", "suvet", "kx250f", "@rider_body-alt2.png", "@rider_head-alt2.png", "@kx250f-alt2.png", "@wheels-alt2.png"},
    {"88", "suvet", "kx250f", "@rider_body-alt1.png", "@rider_head-alt1.png", "@kx250f-alt1.png", "@wheels-alt1.png"},
    {"89", "suvet", "kx250f", "@rider_body-alt2.png", "@rider_head-alt2.png", "@kx250f-alt2.png", "@wheels-alt2.png"},
    {"90", "suvet", "yz250f", "@rider_body-alt1.png", "@rider_head-alt1.png", "@yz250f-alt1.png", "@wheels-alt1.png"},
    {"91", "suvet", "yz250f", "@rider_body-alt2.png", "@rider_head-alt2.png", "@yz250f-alt2.png", "@wheels-alt2.png"},
    {"92", "suvet", "yz250f", "@rider_body-alt1.png", "@rider_head-alt1.png", "@yz250f-alt1.png", "@wheels-alt1.png"},
    {"93", "suvet", "yz250f", "@rider_body-alt2.png", "@rider_head-alt2.png", "@yz250f-alt2.png", "@wheels-alt2.png"},
    {"94", "suvet", "yz250f", "@rider_body-alt1.png", "@rider_head-alt1.png", "@yz250f-alt1.png", "@wheels-alt1.png"},
    {"95", "suvet", "rmz250", "@rider_body-alt2.png", "@rider_head-alt2.png", "@rmz250-alt2.png", "@wheels-alt2.png"},
    {"96", "suvet", "rmz250", "@rider_body-alt1.png", "@rider_head-alt1.png", "@rmz250-alt1.png", "@wheels-alt1.png"},
    {"97", "suvet", "rmz250", "@rider_body-alt2.png", "@rider_head-alt2.png", "@rmz250-alt2.png", "@wheels-alt2.png"},
    {"98", "suvet", "rmz250", "@rider_body-alt1.png", "@rider_head-alt1.png", "@rmz250-alt1.png", "@wheels-alt1.png"},
    {"99", "suvet", "rmz250", "@rider_body-alt2.png", "@rider_head-alt2.png", "@rmz250-alt2.png", "@wheels-alt2.png"},
};

struct AutopilotState {
    Pilot pilots[RIDER_SLOTS];
    int ready;
    int practice;
};

static AutopilotState ap;

static float clampf(float x, float lo, float hi) { return x < lo ? lo : x > hi ? hi : x; }

const Personality *personality_get(int index) {
    return index >= 0 && index < PERSONALITY_COUNT ? &personalities[index] : nullptr;
}

int personality_find(const char *name) {
    for (int i = 1; i < PERSONALITY_COUNT; i++)
        if (name && strcmp(name, personalities[i].name) == 0)
            return i;
    log("auto pilot personality '%s' not found\n", name ? name : "");
    return 1;
}

void autopilot_set_practice(int on) { ap.practice = on != 0; }
int autopilot_practice() { return ap.practice; }

const Robot *robot_at(int index) {
    return index >= 0 && index < ROBOT_COUNT ? &robots[index] : nullptr;
}

Pilot *autopilot_pilot(int slot) {
    if (slot < 0 || slot >= RIDER_SLOTS)
        return nullptr;
    if (!ap.ready) {
        for (Pilot &p : ap.pilots)
            array_init(&p.line, sizeof(LinePoint));
        ap.ready = 1;
    }
    return &ap.pilots[slot];
}

void autopilot_reset(int slot, int personality) {
    Pilot *p = autopilot_pilot(slot);
    if (!p)
        return;
    p->line.count = 0;
    p->target = 0;
    p->next_gate = 0;
    p->progress_step = 0;
    p->recover = 0;
    p->personality = personality;
    p->start_timer = 0;
    p->throttle_memory = 0;
    p->speed_limit_step = 0;
    p->pushed_seconds = 0;
    p->pushed_run = p->pushed_longest = 0;
    p->guide = nullptr;
    p->guide_count = 0;
    line_rider_reset(slot, personality);
}

void autopilot_set_guide(int slot, const LinePoint *points, int count) {
    Pilot *p = autopilot_pilot(slot);
    if (!p)
        return;
    p->guide = count > 2 ? points : nullptr;
    p->guide_count = count > 2 ? count : 0;
    line_rider_reset(slot, 0);
}

const Array *autopilot_line(int slot) {
    Pilot *p = autopilot_pilot(slot);
    return p ? &p->line : nullptr;
}

int autopilot_pushed(int slot) {
    Pilot *p = autopilot_pilot(slot);
    return p && p->pushed_run > 0;
}

// ---- Body state ----

static Vec3 body_position(dBodyID body) {
    const dReal *p = dBodyGetPosition(body);
    return vec3(float(p[0]), float(p[1]), float(p[2]));
}

static Vec3 body_velocity(dBodyID body) {
    const dReal *v = dBodyGetLinearVel(body);
    return vec3(float(v[0]), float(v[1]), float(v[2]));
}

static Mat3 body_rotation(dBodyID body) { return rot_from_ode(dBodyGetRotation(body)); }

// World vector into the body's frame.
static Vec3 to_local(const Mat3 &r, Vec3 w) { return rot_apply(rot_transpose(r), w); }

static Vec3 chassis_forward(const Bike *bike) {
    Mat3 r = body_rotation(bike->body[BODY_FRAME]);
    return rot_apply(r, vec3(0, 0, -1));
}

static Vec3 point_pos(const LinePoint *p) { return vec3(p->x, p->y, p->z); }

static const LinePoint *line_at(const Array *line, int i) {
    i = i < 0 ? 0 : i >= line->count ? line->count - 1 : i;
    return array_get<LinePoint>(line, i);
}

static int touches(const Bike *bike, int wheel) { return bike->wheel[wheel].depth > 0; }

static float contact_load(const Bike *bike, int wheel) {
    if (!touches(bike, wheel))
        return 0;
    const dReal *f = bike->wheel[wheel].feedback.f1;
    return float(std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]));
}

static float front_sliding(const Bike *bike) {
    const WheelContact &w = bike->wheel[0];
    Vec3 n = w.contact_normal;
    Vec3 s = w.slip_velocity - n * vec_dot(w.slip_velocity, n);
    return vec_length(s);
}

float autopilot_line_position(int slot, const Bike *bike) {
    Pilot *p = autopilot_pilot(slot);
    if (!p || !bike || p->line.count == 0)
        return p ? float(p->target) : 0;
    const Array *line = &p->line;
    Vec3 pos = bike_position(bike), fwd = chassis_forward(bike);
    int top = p->target - 1 < line->count - 1 ? p->target - 1 : line->count - 1;
    if (top < 0)
        return float(p->target);
    int k = top;
    float s_k = 0;
    for (; k >= 0; k--) {
        s_k = vec_dot(point_pos(line_at(line, k)) - pos, fwd);
        if (s_k < 0)
            break;
    }
    if (k < 0)
        return 0;
    float s_next = vec_dot(point_pos(line_at(line, k + 1)) - pos, fwd);
    if (s_next > 0)
        return float(k + 1) + clampf(-s_k / (s_next - s_k), 0, 1);
    return float(k + 1);
}

void autopilot_finish(Bike *bike) {
    Pilot *p = bike ? autopilot_pilot(bike->slot) : nullptr;
    if (!p || p->personality == 0 || p->line.count == 0)
        return;
    int n = p->line.count;
    int u0 = int(autopilot_line_position(bike->slot, bike));
    if (u0 < 0)
        u0 = 0;
    for (int j = u0; j < n; j++) {
        LinePoint *q = array_get<LinePoint>(&p->line, j);
        q->speed *= float(n - j) / float(n - u0) * 0.75f + 0.25f;
    }
}

// ---- Segment choice and splice ----

// Skill of the rider now: its personality's choice when close, or when leading by more
// than the personality's threshold.
static int rider_skill(const Pilot *p, const Bike *bike) {
    const Personality *pers = personality_get(p->personality);
    if (!pers)
        return 0;
    int gap = 0;
    if (race.standings_count >= 2 && race.standings[0].slot == bike->slot) {
        const Bike *second = race.bike[race.standings[1].slot];
        int entry = second ? rider_progress(second) - 1 : -1;
        if (entry >= 0) {
            int mine = rider_crossing(bike, entry), theirs = rider_crossing(second, entry);
            if (mine > 0 && theirs > 0 && theirs > mine)
                gap = theirs - mine;
        }
    }
    return gap * STEP_F <= pers->lead_seconds ? pers->skill_close : pers->skill_leading;
}

// How well slot s continues the line: 0 .. 1 (or 10 near the start of an empty line).
static float segment_match(const Pilot *p, const Bike *bike, const LineSegment *s) {
    const Array *line = &p->line;
    if (line->count < 3) {
        if (s->count <= 0)
            return 0;
        float d = vec_length(point_pos(&s->points[0]) - bike_position(bike));
        float m = clampf((d - 100) * (-1.0f / 96), 0, 1);
        return 10 * m * m * m;
    }
    if (s->count < 2)
        return 0;
    const LinePoint *last = line_at(line, line->count - 1);
    float cx, cz;
    line_circle_centre(line_at(line, line->count - 3), line_at(line, line->count - 2), last, &cx,
                       &cz);
    auto flat = [&](const LinePoint &q) { return std::hypot(q.x - cx, q.z - cz); };
    float r = flat(*last), r0 = flat(s->points[0]), r1 = flat(s->points[1]);
    float a = clampf((std::fabs(last->speed) - std::fabs(s->points[0].speed) - 15) * -0.2f, 0, 1);
    float b = clampf((std::fabs(r - r0) - 5) * (-2.0f / 7), 0, 1);
    float e = clampf((std::fabs(r1 - r0) - 3) * -0.5f, 0, 1);
    float be = b * e;
    return a * be * be * be;
}

static void splice(Pilot *p, const Bike *bike, const LineSegment *s, int gate) {
    Array *line = &p->line;
    if (p->target > 30) {
        int cut = p->target - 30;
        if (cut >= line->count) {
            line->count = 0;
        } else {
            memmove(line->data, array_at(line, cut), size_t(line->count - cut) * sizeof(LinePoint));
            line->count -= cut;
        }
        p->target = 30;
    }
    // The first segment of a race was recorded from a standing start, very likely at
    // another start place: it is joined where it is under way, 10 ft along, by the curve
    // from wherever this rider stands. Joined at its standing start, the curve would bend
    // back to a point beside the rider, a target the rider can never pass.
    int from = 0;
    if (gate == 0 && line->count == 0) {
        Vec3 first = point_pos(&s->points[0]);
        while (from < s->count && vec_length(point_pos(&s->points[from]) - first) <= 10)
            from++;
        if (from >= s->count)
            from = 0;
    }
    if (line->count == 0)
        for (int i = 0; i < 5; i++)
            array_push(line, &s->points[from]);
    int w = line->count;
    int x = w - 5 > p->target ? w - 5 : p->target;
    for (int i = from; i < s->count; i++)
        array_push(line, &s->points[i]);
    LinePoint *pts = static_cast<LinePoint *>(line->data);
    if (x < w && pts[x].speed >= 0 && pts[w].speed >= 0) {
        float span = float(w - x);
        Vec3 p0, t0;
        if (x == 0) {
            p0 = bike_position(bike);
            t0 = chassis_forward(bike) * (7.5f * float(w));
        } else {
            p0 = point_pos(&pts[x]);
            t0 = (point_pos(&pts[x]) - point_pos(&pts[x - 1])) * span;
        }
        Vec3 p1 = point_pos(&pts[w]);
        Vec3 t1 = (point_pos(&pts[w + 1 < line->count ? w + 1 : w]) - p1) * span;
        Vec3 c2 = (p1 - p0) * 3 - t0 * 2 - t1;
        Vec3 c3 = (p0 - p1) * 2 + t0 + t1;
        float sx = pts[x].speed, sw = pts[w].speed, lx = pts[x].lean, lw = pts[w].lean;
        for (int k = x + 1; k < w; k++) {
            float t = float(k - x) / span;
            Vec3 q = p0 + t0 * t + c2 * (t * t) + c3 * (t * t * t);
            pts[k].x = q.x;
            pts[k].y = q.y;
            pts[k].z = q.z;
            float blend = sx + (sw - sx) * t;
            pts[k].speed = pts[k].speed < blend ? pts[k].speed : blend;
            pts[k].lean = lx + (lw - lx) * t;
        }
    }
    if (gate == 0) {
        int k = w;
        if (from == 0) {
            Vec3 first = point_pos(&pts[0]);
            for (k = 1; k < line->count && vec_length(point_pos(&pts[k]) - first) <= 10; k++) {}
        }
        p->target = k;
        p->progress_step = 30 * STEPS_PER_SECOND;
    }
}

static void choose_segment(Pilot *p, Bike *bike, int now) {
    SegmentTable *table = lines_table();
    if (!table || bike->finished || p->target < p->line.count - LINE_AHEAD_MIN)
        return;
    int g = p->next_gate;
    int row = line_row(g);
    if (!line_row_used(row))
        return;
    int skill = ap.practice ? SKILL_EXPLORE : rider_skill(p, bike);
    const ChainCosts *d = line_chain_costs(g, 8, skill);
    float score[SEGMENT_SLOTS];
    int64_t lowest[SEGMENT_SLOTS];
    int64_t best = INT64_MAX;
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        lowest[i] = CHAIN_NO_COST;
        for (int j = 0; j < SEGMENT_SLOTS; j++)
            lowest[i] = d->cost[i][j] < lowest[i] ? d->cost[i][j] : lowest[i];
        best = lowest[i] < best ? lowest[i] : best;
    }
    float bonus = clampf((float(now) * STEP_F - 40) * 0.05f, 0, 1);
    const BestLine *line_best = skill < LINE_SKILLS ? lines_best(skill) : nullptr;
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        score[i] = lowest[i] <= 0 ? 1.0f : float(double(best) / double(lowest[i]));
        const LineSegment *s = line_segment(row, i);
        if (line_best && s->count > 0 && s->id == line_best->ids[row])
            score[i] += (1 - score[i]) * bonus;
        if (g == 0)
            score[i] = score[i] * 0.2f + 0.8f;
    }
    int pick = -1;
    float total_best = 0, pick_score = 0, pick_match = 0;
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        const LineSegment *s = line_segment(row, i);
        // Only a slot holding a line can be ridden.
        if (s->count <= 0)
            continue;
        float fresh = clampf(float(now - s->last_picked) * STEP_F / 3, 0, 1);
        float match = segment_match(p, bike, s);
        float total = score[i] * fresh + match;
        if (pick < 0 || total > total_best) {
            pick = i;
            total_best = total;
            pick_score = score[i];
            pick_match = match;
        }
    }
    if (pick < 0)
        return;
    LineSegment *chosen = line_segment(row, pick);
    if (lines_verbose())
        log("auto pilot: picking %d score = %f match = %f last_picked = %f\n", pick, pick_score,
            pick_match, float(now - chosen->last_picked) * STEP_F);
    const LinePoint &end = chosen->points[chosen->count - 1];
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        LineSegment *s = line_segment(row, i);
        if (s->count <= 0)
            continue;
        const LinePoint &e = s->points[s->count - 1];
        float dx = e.x - end.x, dy = e.y - end.y, dz = e.z - end.z;
        if (dx * dx + dy * dy + dz * dz < 9)
            s->last_picked = now;
    }
    chosen->last_picked = now;
    line_rider(bike->slot)->picked[g & 3] = chosen->id;
    p->next_gate = g + 1;
    splice(p, bike, chosen, g);
}

// ---- Controls ----

static void set_controls(Bike *bike, float throttle, float clutch, float front, float rear,
                         float steer, float dab) {
    bike_set_throttle(bike, throttle);
    bike_set_clutch(bike, clutch);
    bike_set_front_brake(bike, front);
    bike_set_rear_brake(bike, rear);
    bike_set_steer(bike, steer);
    bike_set_dab(bike, dab);
}

// First gear when the bike has one.
static void select_first_gear(Bike *bike) {
    bike_set_auto_shift(bike, 0);
    bike_set_gear(bike, 0);
}

// Holding at the gate: foot down, clutch out, both brakes, straight bars.
static void hold(Bike *bike, float throttle) {
    select_first_gear(bike);
    int crashed = bike_crashed(bike);
    set_controls(bike, crashed ? 0 : throttle, 0, 1, 1, 0, crashed ? 0 : 1);
}

// Throttle, brakes and clutch for speed v towards the wanted speed; returns the throttle.
static float speed_control(Bike *bike, float v, float wanted) {
    int crashed = bike_crashed(bike);
    dBodyID frame = bike->body[BODY_FRAME];
    if (!touches(bike, 1)) {
        Vec3 w = to_local(body_rotation(frame), vec3(float(dBodyGetAngularVel(frame)[0]),
                                                     float(dBodyGetAngularVel(frame)[1]),
                                                     float(dBodyGetAngularVel(frame)[2])));
        float pitch_rate = w.x;
        float front_y = body_position(bike->body[BODY_FRONT_WHEEL]).y;
        float rear_y = body_position(bike->body[BODY_REAR_WHEEL]).y;
        bike_set_front_brake(bike, 0);
        bike_set_rear_brake(bike, 0);
        float throttle;
        if ((rear_y <= front_y || pitch_rate >= 0) && pitch_rate >= -PI_F / 4) {
            throttle = 0;
            if (front_y - rear_y > 1 && pitch_rate >= -PI_F / 8) {
                bike_set_clutch(bike, 0);
                bike_set_rear_brake(bike, 1);
            } else {
                bike_set_clutch(bike, 0.125f);
            }
        } else {
            throttle = crashed ? 0 : 1;
            bike_set_clutch(bike, 0.125f);
        }
        return throttle;
    }
    float x = 1, throttle = 0;
    int braking = 0;
    if (v >= wanted - 1) {
        float d = v - (wanted - 1);
        if (d >= 1) {
            braking = 1;
            float b = clampf(d - 1, 0, 1);
            bike_set_front_brake(bike, b);
            bike_set_rear_brake(bike, b);
        } else {
            x = 1 - d;
        }
    }
    if (!braking) {
        throttle = crashed ? 0 : clampf(x, 0, 1);
        bike_set_front_brake(bike, 0);
        bike_set_rear_brake(bike, 0);
    }
    // In first gear the clutch slips until the engine is near its downshift speed.
    if (bike_gear(bike) > 0) {
        bike_set_clutch(bike, 1);
    } else {
        float rpm = bike->engine_speed * RPM_PER_RAD_S;
        float down = bike->model.shift_down_rpm;
        bike_set_clutch(bike, clampf((rpm - (down - 1000)) / 1000, 0, 1));
    }
    return throttle;
}

// Oriented footprint of a rider: centre, unit direction of travel, half extents.
struct Footprint {
    float cx, cz;      // centre
    float fx, fz;      // direction of travel
    float half_len, half_wide;
};

static Footprint footprint(const Bike *bike) {
    Vec3 pos = bike_position(bike), vel = bike_velocity(bike);
    float v = std::hypot(vel.x, vel.z);
    Footprint f;
    if (v > 1e-3f) {
        f.fx = vel.x / v;
        f.fz = vel.z / v;
    } else {
        Vec3 fwd = chassis_forward(bike);
        float n = std::hypot(fwd.x, fwd.z);
        f.fx = n > 0 ? fwd.x / n : 0;
        f.fz = n > 0 ? fwd.z / n : -1;
    }
    float speed = vec_length(vel);
    // 4 ft behind to 4 + v ft ahead, 2 ft to each side.
    f.half_len = (8 + speed) * 0.5f;
    f.half_wide = 2;
    float shift = f.half_len - 4;
    f.cx = pos.x + f.fx * shift;
    f.cz = pos.z + f.fz * shift;
    return f;
}

static float project_radius(const Footprint &f, float ax, float az) {
    float along = std::fabs(f.fx * ax + f.fz * az);
    float across = std::fabs(-f.fz * ax + f.fx * az);
    return f.half_len * along + f.half_wide * across;
}

static int footprints_overlap(const Footprint &a, const Footprint &b) {
    float dx = b.cx - a.cx, dz = b.cz - a.cz;
    const float axes[4][2] = {{a.fx, a.fz}, {-a.fz, a.fx}, {b.fx, b.fz}, {-b.fz, b.fx}};
    for (const auto &ax : axes) {
        float dist = std::fabs(dx * ax[0] + dz * ax[1]);
        if (dist > project_radius(a, ax[0], ax[1]) + project_radius(b, ax[0], ax[1]))
            return 0;
    }
    return 1;
}

// Lowers the wanted speed behind another rider.
static float avoid(Bike *bike, const Bike *other, float v, float wanted, float rho, Vec3 side,
                   int now) {
    float t = clampf(float(now - physics_race_start()) * STEP_F, -1e9f, 100);
    float a = clampf((t - 3) * 0.5f, 0, 1) * clampf((t - 120) * -0.01f, 0, 1);
    Vec3 me = bike_position(bike), them = bike_position(other);
    float dist = vec_length(them - me);
    Vec3 c = me + side * rho;
    Vec3 radial = them - c;
    radial.y = 0;
    float rl = vec_length(radial);
    Vec3 ov = bike_velocity(other);
    Vec3 perp = rl > 1e-6f ? ov - radial * (vec_dot(ov, radial) / (rl * rl)) : ov;
    float s = vec_dot(perp, chassis_forward(bike)) > 0 ? vec_length(perp) : 0;
    float g = 12 + 8 * a;
    if (dist >= g && s < wanted) {
        float x = (s - v) * -0.2f;
        float gap = (-2.5f * x * x + v * x) - (x * s + dist);
        if (gap > -g) {
            wanted += (s - wanted) * clampf((gap + g) / 3, 0, 1);
            LineRider *r = line_rider(bike->slot);
            memset(r->picked, 0, sizeof r->picked);
        }
    } else if (dist < g) {
        float limit = (1 - 0.25f * a) * s;
        wanted = wanted < limit ? wanted : limit;
    }
    return wanted;
}

// ---- Start ----

// 1 while the start procedure owns the controls.
static int start_procedure(Pilot *p, Bike *bike, int now) {
    float t = float(now) * STEP_F;
    float drop = float(physics_race_start()) * STEP_F;
    float set = drop - GATE_SET_SECONDS;
    if (t >= drop + 5)
        return 0;
    int crashed = bike_crashed(bike);
    if (p->start_timer == 0)
        p->start_timer = float(2 * mt_unit());
    if (t < set) {
        if (p->start_timer < 0) {
            hold(bike, 1);
            if (t > -p->start_timer) {
                float next = t + 2 + 0.5f * float(mt_unit());
                p->start_timer = next < set ? next : set;
            }
        } else {
            hold(bike, 0);
            if (t > p->start_timer)
                p->start_timer = -(t + 0.25f + 0.5f * float(mt_unit()));
        }
        return 1;
    }
    if (p->start_timer <= set)
        p->start_timer = set + 0.125f + 0.375f * float(mt_unit());
    if (p->start_timer < drop) {
        if (t < p->start_timer) {
            hold(bike, 0);
            return 1;
        }
        const Personality *pers = personality_get(p->personality);
        float low = pers ? pers->reaction_low : 0, high = pers ? pers->reaction_high : 0;
        p->start_timer = drop + low + (high - low) * float(mt_unit());
    }
    if (t < p->start_timer) {
        hold(bike, 1);
        return 1;
    }
    if (t < p->start_timer + 2) {
        float go = clampf(4 * (t - p->start_timer), 0, 1);
        if (go >= 0.75f)
            bike_set_auto_shift(bike, 1);
        else
            select_first_gear(bike);
        set_controls(bike, crashed ? 0 : 1, go, 0, 0, 0, crashed ? 0 : 1 - go);
        return 1;
    }
    return 0;
}

// ---- Riding ----

// Lean the ground allows at (x, z) around the current roll: [lo, hi].
static void grip_window(const Bike *bike, const Mat3 &rot, float roll, float x, float z,
                        float *lo, float *hi) {
    const Terrain *terrain = physics_terrain();
    Vec3 n = vec3(0, 1, 0);
    float grip = 1;
    if (terrain) {
        terrain_face_normal(terrain, x, z, &n);
        const Surface *s = surface_under(terrain, x, z);
        if (s)
            grip = s->friction_value[0];
    }
    Vec3 ln = to_local(rot, n);
    float bank = std::atan2(ln.x, ln.y);
    float gamma = std::atan(grip);
    gamma = gamma < 67.5f * PI_F / 180 ? gamma : 67.5f * PI_F / 180;
    float lo2 = roll - bank - gamma, hi2 = roll - bank + gamma;
    *lo = lo2 > *lo ? lo2 : *lo;
    *hi = hi2 < *hi ? hi2 : *hi;
}

// First j in [i, min(i + 20, length)) where points j and j + 1 are airborne, or -1.
static int jump_ahead(const Array *line, int i) {
    int end = i + 20 < line->count ? i + 20 : line->count;
    for (int j = i < 0 ? 0 : i; j < end && j + 1 < line->count; j++)
        if (line_at(line, j)->speed < 0 && line_at(line, j + 1)->speed < 0)
            return j;
    return -1;
}

static Vec3 line_lerp(const Array *line, float u) {
    int i = int(std::floor(u));
    float f = u - float(i);
    Vec3 a = point_pos(line_at(line, i)), b = point_pos(line_at(line, i + 1));
    return a + (b - a) * f;
}

static void ride_normal(Pilot *p, Bike *bike, int now) {
    if (float(now - p->progress_step) * STEP_F > 3) {
        p->recover = 3;
        return;
    }
    bike_set_dab(bike, 0);
    const Array *line = &p->line;
    dBodyID frame = bike->body[BODY_FRAME];
    Mat3 rot = body_rotation(frame);
    Vec3 pos = bike_position(bike), vel = bike_velocity(bike);
    float v = vec_length(vel);
    float u = autopilot_line_position(bike->slot, bike);
    int i = int(u);
    float f = u - float(i);
    float si = std::fabs(line_at(line, i)->speed), si1 = std::fabs(line_at(line, i + 1)->speed);
    float wanted = si + (si1 - si) * f;

    int j = jump_ahead(line, i);
    float to_jump = 1000000;
    if (j >= 0)
        to_jump = float(j - i) * 0.25f +
                  (v > 0 ? vec_length(pos - point_pos(line_at(line, i))) / v : 1000000.0f);

    Vec3 back = v > 0 ? vel * (-1 / v) : vec3(0, 0, 1);
    Vec3 side = vec3(back.z, 0, -back.x);
    Vec3 fwd = back * -1;
    float load = (contact_load(bike, 0) + contact_load(bike, 1)) / (GRAVITY_FT_S2 * bike->total_mass) - 1;
    float g = load > 1 ? load : 1;
    float rate_max = PI_F / g;
    float roll = bike_lean_angle(bike);
    float tan_roll = std::tan(roll);
    float rho = std::fabs(tan_roll) > 1e-6f ? -v * v / (tan_roll * g * GRAVITY_FT_S2)
                                            : (tan_roll >= 0 ? -1e6f : 1e6f);
    int now_slot = bike->slot;

    // Riders ahead.
    Footprint mine = footprint(bike);
    const Bike *obstacle = nullptr;
    float nearest = 1e30f;
    Vec3 my_fwd = vec3(mine.fx, 0, mine.fz);
    for (int s = 0; s < RIDER_SLOTS; s++) {
        const Bike *o = race.bike[s];
        if (!o || s == now_slot || o == bike)
            continue;
        Footprint theirs = footprint(o);
        if (!footprints_overlap(mine, theirs))
            continue;
        Vec3 d = bike_position(o) - pos;
        float ahead = vec_dot(d, my_fwd);
        float behind = -vec_dot(d, vec3(theirs.fx, 0, theirs.fz));
        float dist = vec_length(d);
        if (ahead > behind && dist < nearest) {
            nearest = dist;
            obstacle = o;
        }
    }
    if (obstacle)
        wanted = avoid(bike, obstacle, v, wanted, rho, side, now);

    // Aim point.
    float gain = 4;
    Vec3 aim;
    if (bike->next_lap_entry == 0) {
        aim = line_lerp(line, u + 4);
    } else {
        int end = i + 7 < line->count ? i + 7 : line->count;
        int k = i + 1;
        for (; k < end; k++) {
            Vec3 d = point_pos(line_at(line, k)) - pos;
            float ahead = vec_dot(d, fwd);
            float lateral = std::fabs(vec_dot(d, side));
            if (!(ahead > 0 && lateral <= ahead / 8))
                break;
        }
        int n = k - (i + 1);
        float s = clampf(float(n - 20) * (-1.0f / 17), 0, 1);
        gain = 4 * s;
        rate_max *= s;
        if (to_jump >= 2) {
            aim = line_lerp(line, u + (n > 4 && std::fabs(roll) < PI_F / 8 ? 3.0f : 2.0f));
        } else {
            float w = clampf((to_jump - 2) * -2, 0, 1);
            Vec3 p3 = point_pos(line_at(line, i + 3));
            Vec3 take = point_pos(line_at(line, j + 3)) - point_pos(line_at(line, j)) + pos;
            aim = p3 + (take - p3) * w;
        }
    }

    // Wanted radius and roll.
    Vec3 off = aim - pos;
    float sd = vec_dot(off, side), fd = vec_dot(off, fwd);
    float radius;
    if (fd <= 0) {
        radius = sd >= 0 ? 10.0f : -10.0f;
    } else {
        float qs, qf;
        if (std::fabs(rho) < 1e5f) {
            float dx = sd - rho, dl = std::hypot(dx, fd);
            qs = dl > 1e-6f ? rho + dx / dl * std::fabs(rho) : sd;
            qf = dl > 1e-6f ? fd / dl * std::fabs(rho) : fd;
        } else {
            qs = 0;
            qf = fd;
        }
        float ms = 3 * sd - 2 * qs, mf = 3 * fd - 2 * qf;
        if (std::fabs(ms) < 1e-6f)
            ms = ms < 0 ? -1e-6f : 1e-6f;
        radius = (ms * ms + mf * mf) / (2 * ms);
    }
    float lean = std::atan2(-v * v / radius, GRAVITY_FT_S2 * g);

    // Grip.
    float lo = -1e9f, hi = 1e9f;
    for (int k = i + 4; k >= i; k--) {
        const LinePoint *q = line_at(line, k);
        grip_window(bike, rot, roll, q->x, q->z, &lo, &hi);
    }
    Vec3 front = body_position(bike->body[BODY_FRONT_WHEEL]) +
                 body_velocity(bike->body[BODY_FRONT_WHEEL]) * 0.25f;
    grip_window(bike, rot, roll, front.x, front.z, &lo, &hi);
    float clamped = clampf(lean, lo, hi);
    if (clamped != lean) {
        float limit = std::sqrt(std::tan(std::fabs(clamped)) * g * std::fabs(radius) * GRAVITY_FT_S2);
        wanted = wanted < limit ? wanted : limit;
        p->speed_limit_step = now;
    }
    lean = clamped;

    // Front sliding and low speed.
    float slide = touches(bike, 0) ? front_sliding(bike) : 0;
    float k = touches(bike, 0) ? clampf((slide - 16) * (-1.0f / 16), 0, 1) : 1;
    if (v < 7.5f) {
        // At walking pace, as when careful riding hands back, a foot goes down: upright on
        // the wheels alone a bike this slow falls over.
        lean = 0;
        k = 1;
        bike_set_dab(bike, 1);
    } else if (v < 10) {
        float a = (v - 7.5f) * 0.4f;
        lean *= a;
        k = 1 - (1 - k) * a;
    }
    if (to_jump < 3) {
        float a = clampf((to_jump - 3) * -0.5f, 0, 1);
        k += (1 - k) * a;
        float floor_speed = v > si + 2 ? v : si + 2;
        wanted += (floor_speed - wanted) * a;
        float lim = PI_F / 2 - 1.3744469f * a;
        lean = clampf(lean, -lim, lim);
        rate_max += (PI_F / 8 - rate_max) * clampf((to_jump - 3) * (-1.0f / 3), 0, 1);
    }

    // Steering.
    float e = (lean - roll) * gain;
    if ((roll >= 0 && e < 0) || (roll < 0 && e >= 0))
        rate_max *= 2;
    float rate = clampf(e, -rate_max, rate_max);
    bike_set_full_lock_speed(bike, 1);
    bike_set_restricted_lock_speed(bike, 50);
    bike_set_restricted_lock_angle(bike, (1 + 4 * clampf(std::fabs(rate) / PI_F, 0, 1)) * PI_F / 180);
    const dReal *av = dBodyGetAngularVel(frame);
    float w_roll = to_local(rot, vec3(float(av[0]), float(av[1]), float(av[2]))).z;
    float rate2 = rate - clampf(rate - w_roll, -0.125f, 0.125f);
    // Zero steering input lets the bars follow the front wheel's own direction of travel.
    float base = 0;
    float steer = base;
    if (touches(bike, 0))
        steer = base + (4 * (w_roll - rate2) - base) * clampf((slide - 4) * -0.25f, 0, 1);
    bike_set_steer(bike, clampf(steer, -1, 1));

    float throttle = k * speed_control(bike, v, wanted);
    if (now - p->speed_limit_step < STEPS_PER_SECOND / 8) {
        float top = p->throttle_memory + 1.0f / 32;
        throttle = throttle < 0 ? 0 : throttle < top ? throttle : top;
    } else {
        float bottom = p->throttle_memory - 1.0f / 32;
        throttle = throttle > bottom ? throttle : bottom;
    }
    throttle = bike_crashed(bike) ? 0 : clampf(throttle, 0, 1);
    bike_set_throttle(bike, throttle);
    p->throttle_memory = throttle;
}

static void ride_recover(Pilot *p, Bike *bike, int now) {
    Array *line = &p->line;
    if (float(now - p->progress_step) * STEP_F > 40) {
        p->recover = 3;
        p->target = now % line->count;
        p->progress_step = now;
    }
    const LinePoint *target = line_at(line, p->target);
    Vec3 aim = point_pos(target);
    int i0 = int(autopilot_line_position(bike->slot, bike));
    int jump = jump_ahead(line, i0);
    dBodyID frame = bike->body[BODY_FRAME];
    Mat3 rot = body_rotation(frame);
    float roll = bike_lean_angle(bike);
    int crashed = bike_crashed(bike);
    float v = vec_length(bike_velocity(bike));
    if (float(now - p->progress_step) * STEP_F <= 19) {
        float dab = 0, limit = 0.5f;
        if (v < 10) {
            limit = 1.0f / 6;
            dab = 1;
        } else if (v < 20) {
            limit = ((v - 10) * 0.1f * 2 / 3 + 1.0f / 3) * 0.5f;
        }
        Vec3 local = to_local(rot, aim - bike_position(bike));
        float lx = local.x, lz = local.z;
        float lean;
        if (std::fabs(lx) <= -lz)
            lean = clampf(0.5f * lx / lz, -limit, limit);
        else
            lean = lx >= 0 ? -limit : limit;
        // A target off the nose is turned to at walking pace: at 15 ft/s the lean limit
        // makes a circle of some 40 ft, ridden in bursts between stops whenever the lean
        // passes the limit, where at 5 ft/s the same lean turns the bike round in its length.
        int turning = -lz < 4 * std::fabs(lx);
        if (turning || (jump >= 0 && jump - i0 < 8))
            p->recover = 3;
        const dReal *av = dBodyGetAngularVel(frame);
        float w_roll = to_local(rot, vec3(float(av[0]), float(av[1]), float(av[2]))).z;
        float steer = clampf(2 * (w_roll - clampf(4 * (lean - roll), -4, 4)), -1, 1);
        // Below 7.5 ft/s the foot is down and holds the bike at its lean, so leaning no longer
        // turns it: once it is near upright the bars are turned towards the target instead.
        if (turning && v < 7.5f && std::fabs(roll) < 0.25f)
            steer = -clampf(std::atan2(lx, -lz), -1, 1);
        bike_set_steer(bike, steer);
        bike_set_dab(bike, dab);
        float throttle = speed_control(bike, v, std::fabs(roll) > limit || turning ? 5.0f : 15.0f);
        bike_set_throttle(bike, crashed ? 0 : throttle);
        p->throttle_memory = crashed ? 0 : throttle;
        return;
    }
    // Pushed: an invisible hand walks the front wheel to the target and holds half the weight.
    if (p->pushed_run == 0) {
        // A rider stuck beyond its target (it went on beside the line, too far off to reach
        // it) is walked to the line where it is, not back: of the target and the next dozen
        // points, the nearest.
        Vec3 at = bike_position(bike);
        float best = 1e30f;
        int nearest = p->target;
        for (int i = p->target; i < line->count && i <= p->target + 12; i++) {
            const LinePoint *q = line_at(line, i);
            float d = (q->x - at.x) * (q->x - at.x) + (q->z - at.z) * (q->z - at.z);
            if (d < best) {
                best = d;
                nearest = i;
            }
        }
        p->target = nearest;
        aim = point_pos(line_at(line, nearest));
    }
    p->pushed_seconds += STEP_F;
    p->pushed_run += STEP_F;
    p->pushed_longest = p->pushed_run > p->pushed_longest ? p->pushed_run : p->pushed_longest;
    dBodyID wheel = bike->body[BODY_FRONT_WHEEL];
    Vec3 to = aim - body_position(wheel);
    float len = vec_length(to);
    Vec3 want = len > 1e-6f ? to * (5 / len) : vec3(0, 0, 0);
    Vec3 diff = body_velocity(wheel) - want;
    float dl = vec_length(diff);
    if (dl > 0.25f) {
        Vec3 force = diff * (-2000 * clampf((dl - 0.25f) * 0.8f, 0, 1) / dl);
        dBodyAddForce(wheel, force.x, force.y, force.z);
    }
    dBodyAddForce(frame, 0, 16 * bike->total_mass, 0);
    dJointID head = bike->joint[JOINT_STEERING_HEAD];
    float steer = clampf(-float(dJointGetHingeAngle(head) + dJointGetHingeAngleRate(head)) * 0.25f,
                         -1, 1);
    set_controls(bike, 0, 0, 0, 0, steer, crashed ? 0 : 1);
    p->throttle_memory = 0;
}

static void auto_pilot_ride(Pilot *p, Bike *bike, int now);

void auto_pilot_step(Bike *bike) {
    Pilot *p = bike ? autopilot_pilot(bike->slot) : nullptr;
    if (!p || p->personality == 0)
        return;
    int now = physics_step_count();
    float pushed_before = p->pushed_seconds;
    auto_pilot_ride(p, bike, now);
    if (p->pushed_seconds == pushed_before)
        p->pushed_run = 0;
}

// One step of the auto pilot's decisions and controls.
static void auto_pilot_ride(Pilot *p, Bike *bike, int now) {
    bike_set_wheelie_control(bike, 3);
    bike_set_front_antilock(bike, 1);
    bike_set_rear_antilock(bike, 1);
    bike_set_auto_shift(bike, 1);

    // Target advance.
    Array *line = &p->line;
    if (p->target < line->count) {
        Vec3 pos = bike_position(bike);
        const LinePoint *t = line_at(line, p->target);
        float reach = p->recover == 3 ? 30.0f : 60.0f;
        float dist = std::hypot(t->x - pos.x, t->z - pos.z);
        if (dist < reach) {
            int hold_target = 0;
            // The hand that walks a pushed rider pulls it along whichever way it faces.
            if (dist > 4 && p->target > 0 && p->pushed_run == 0) {
                const LinePoint *prev = line_at(line, p->target - 1);
                float sx = t->x - prev->x, sz = t->z - prev->z;
                Vec3 fwd = chassis_forward(bike);
                hold_target = std::hypot(sx, sz) > 1 && sx * fwd.x + sz * fwd.z < 0;
            }
            if (!hold_target) {
                p->target++;
                p->progress_step = now;
                if (p->target >= line->count) {
                    line->count = 0;
                    p->target = 0;
                }
                if (p->recover > 0)
                    p->recover--;
            }
        }
    }

    if (p->guide) {
        if (p->target >= p->line.count - LINE_AHEAD_MIN && !bike->finished) {
            LineSegment lap = {};
            lap.points = const_cast<LinePoint *>(p->guide);
            lap.count = p->guide_count;
            splice(p, bike, &lap, p->next_gate++);
        }
    } else {
        choose_segment(p, bike, now);
    }

    if (p->target >= line->count) {
        set_controls(bike, 0, 0, 1, 1, 0, 1);
        return;
    }
    if (start_procedure(p, bike, now))
        return;
    if (p->recover == 0)
        ride_normal(p, bike, now);
    else
        ride_recover(p, bike, now);
}
