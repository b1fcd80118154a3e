// Racing lines: the segment table, the lines files, recording of ridden laps, statistics of
// auto-pilot passes, eviction, thinning and the chain-cost analysis.
#include "ai/lines.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "ai/autopilot.h"
#include "ai/progress.h"
#include "bike/bike.h"
#include "files/data.h"
#include "platform/log.h"
#include "track/gates.h"

enum {
    LINE_SLOTS_FULL_THIN = 44,     // a first-lap row this crowded is thinned
    GOOD_SLOTS_MIN = 23,           // fewer good slots than this are all protected
    NORMALISE_ROUNDS = 16,
    STAT_CAP = 65535,
    SUM_CAP = 100000000,
    RIDER_SLOTS_AI = 160,
    LAP_LIST_ENTRIES = 2 * LAP_LIST_MAX,
};

constexpr float DUPLICATE_SPEED = 0.0625f;
constexpr float DUPLICATE_DIST_SQ = 0.00390625f;

struct LinesState {
    SegmentTable table;
    BestLine best[LINE_SKILLS];
    int lap_order[LAP_LIST_ENTRIES];   // first-lap list then normal-lap list
    int first_len, normal_len;         // A, B
    int first_gates, normal_gates;     // F, N
    int prefix[LAP_LIST_ENTRIES + 1];  // line gates among the first k entries of the lists
    char track[256];                   // track directory of the table
    int learning;
    int verbose;
    ChainCosts chain;
    LineRider riders[RIDER_SLOTS_AI];
    int riders_ready;
};

static LinesState lines;

// ---- Lap sequence ----

static int entry_value(int k) {
    if (k < lines.first_len)
        return lines.lap_order[k];
    return lines.lap_order[lines.first_len + (k - lines.first_len) % lines.normal_len];
}

static int entry_is_line_gate(int k) { return k >= 0 && entry_value(k) < LINE_GATE_FLAG; }

int line_gate_count(int k) {
    if (k <= 0 || lines.normal_len <= 0)
        return 0;
    if (k <= lines.first_len)
        return lines.prefix[k];
    int past = k - lines.first_len;
    int laps = past / lines.normal_len;
    int rest = past % lines.normal_len;
    int first = lines.prefix[lines.first_len];
    return first + laps * lines.normal_gates + (lines.prefix[lines.first_len + rest] - first);
}

int line_row(int g) {
    int f = lines.table.first_rows;
    if (g < f)
        return g < 0 ? 0 : g;
    int n = lines.table.rows - f;
    return n > 0 ? f + (g - f) % n : 0;
}

// ---- The table ----

static void segment_empty(LineSegment *s, int keep_picked) {
    int picked = s->last_picked;
    free(s->points);
    *s = LineSegment{};
    s->own_time = s->through_time = SEGMENT_NO_TIME;
    s->best_own = s->best_through = SEGMENT_NO_TIME;
    if (keep_picked)
        s->last_picked = picked;
}

void lines_free() {
    SegmentTable *t = &lines.table;
    if (t->slots) {
        for (int i = 0; i < t->rows * SEGMENT_SLOTS; i++)
            free(t->slots[i].points);
        free(t->slots);
    }
    for (BestLine &b : lines.best) {
        free(b.ids);
        b.ids = nullptr;
    }
    free(lines.chain.back);
    lines.chain.back = nullptr;
    *t = SegmentTable{};
}

void lines_init(const Timing *timing, const char *track_name) {
    lines_free();
    snprintf(lines.track, sizeof lines.track, "%s", track_name ? track_name : "");
    lines.first_len = timing ? timing->first_lap_len : 0;
    lines.normal_len = timing ? timing->normal_lap_len : 0;
    if (lines.first_len < 0 || lines.normal_len < 0 || lines.first_len > LAP_LIST_MAX ||
        lines.normal_len > LAP_LIST_MAX)
        lines.first_len = lines.normal_len = 0;
    lines.prefix[0] = 0;
    for (int k = 0; k < lines.first_len + lines.normal_len; k++) {
        lines.lap_order[k] = timing->lap_order[k];
        lines.prefix[k + 1] = lines.prefix[k] + (timing->lap_order[k] < LINE_GATE_FLAG);
    }
    lines.first_gates = lines.prefix[lines.first_len];
    lines.normal_gates = lines.prefix[lines.first_len + lines.normal_len] - lines.first_gates;
    if (lines.first_gates < 1 || lines.normal_gates < 1) {
        lines.first_gates = lines.normal_gates = 0;
        return;
    }
    SegmentTable *t = &lines.table;
    t->first_rows = lines.first_gates;
    t->rows = lines.first_gates + lines.normal_gates;
    t->slots = static_cast<LineSegment *>(xcalloc(t->rows * SEGMENT_SLOTS, sizeof(LineSegment)));
    for (int i = 0; i < t->rows * SEGMENT_SLOTS; i++)
        segment_empty(&t->slots[i], 0);
    t->next_id = 0;
    for (BestLine &b : lines.best)
        b.ids = static_cast<int *>(xcalloc(t->rows, sizeof(int)));
    int most = lines.first_gates > lines.normal_gates ? lines.first_gates : lines.normal_gates;
    lines.chain.back = static_cast<uint8_t *>(xcalloc(most, SEGMENT_SLOTS * SEGMENT_SLOTS));
}

SegmentTable *lines_table() { return lines.table.slots ? &lines.table : nullptr; }

const BestLine *lines_best(int skill) {
    if (!lines.table.slots || skill < 0 || skill >= LINE_SKILLS)
        return nullptr;
    return &lines.best[skill];
}

void lines_clear() {
    SegmentTable *t = &lines.table;
    for (int i = 0; i < t->rows * SEGMENT_SLOTS; i++)
        segment_empty(&t->slots[i], 0);
    for (BestLine &b : lines.best)
        if (b.ids)
            memset(b.ids, 0, t->rows * sizeof(int));
}

LineSegment *line_segment(int row, int slot) {
    if (!lines.table.slots || row < 0 || row >= lines.table.rows || slot < 0 ||
        slot >= SEGMENT_SLOTS)
        return nullptr;
    return &lines.table.slots[row * SEGMENT_SLOTS + slot];
}

int line_row_used(int row) {
    if (!lines.table.slots || row < 0 || row >= lines.table.rows)
        return 0;
    int used = 0;
    for (int i = 0; i < SEGMENT_SLOTS; i++)
        used += lines.table.slots[row * SEGMENT_SLOTS + i].count > 0;
    return used;
}

LineSegment *line_segment_by_id(int row, int id) {
    if (id == 0)
        return nullptr;
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        LineSegment *s = line_segment(row, i);
        if (s && s->count > 0 && s->id == id)
            return s;
    }
    return nullptr;
}

// ---- Files ----

const char *lines_file_name(int index) {
    static const char *const names[] = {"lines_novice", "lines_amateur", "lines_expert"};
    return index >= 0 && index < 3 ? names[index] : nullptr;
}

void lines_set_learning(int on) { lines.learning = on != 0; }
int lines_learning() { return lines.learning; }
void lines_set_verbose(int level) { lines.verbose = level; }
int lines_verbose() { return lines.verbose; }

void lines_save(const char *name) {
    SegmentTable *t = &lines.table;
    if (!lines.learning || !name || !t->slots)
        return;
    char path[512], temp[520];
    snprintf(path, sizeof path, "@%s/%s", lines.track, name);
    snprintf(temp, sizeof temp, "%s.new", path);
    DataStream *out = data_open(temp, "w");
    if (!out)
        return;
    int ok = data_printf(out, "ct03 %d\n", t->rows) > 0;
    for (int r = 0; r < t->rows && ok; r++) {
        ok = data_printf(out, "%d\n", line_row_used(r)) > 0;
        for (int i = 0; i < SEGMENT_SLOTS && ok; i++) {
            const LineSegment *s = line_segment(r, i);
            if (s->count <= 0)
                continue;
            ok = data_printf(out, "%d %d %d %d %d %d %d %d %d\n", s->count, s->own_time,
                             s->through_time, s->tested, s->best_own, s->best_through,
                             s->own_sum, s->through_sum, s->fails) > 0;
            for (int k = 0; k < s->count && ok; k++) {
                const LinePoint &p = s->points[k];
                ok = data_printf(out, "[%f %f %f] %f %f\n", p.x, p.y, p.z, p.speed, p.lean) > 0;
            }
        }
    }
    ok = data_flush(out) == 0 && ok;
    data_close(out);
    // A failed write leaves the old file; the partial one is not kept.
    if (!ok || !data_rename(temp, path)) {
        char full[1024];
        const char *home = data_dir(0);
        if (home) {
            snprintf(full, sizeof full, "%s%s", home, temp + 1);
            remove(full);
        }
    }
}

// Halves statistics that grew past what a file should hold, keeping the averages.
static void segment_normalise(LineSegment *s) {
    for (int round = 0; round < NORMALISE_ROUNDS; round++) {
        if (!(s->through_sum > SUM_CAP || s->tested > STAT_CAP || s->fails > STAT_CAP))
            break;
        int h = s->tested / 2;
        if (h > 0) {
            s->through_sum = h * (s->through_sum / s->tested);
            s->own_sum = h * (s->own_sum / s->tested);
            s->tested = h;
        }
        s->fails /= 2;
    }
    if (s->own_sum > SUM_CAP)
        s->own_sum = SUM_CAP;
    if (s->through_sum > SUM_CAP)
        s->through_sum = SUM_CAP;
    if (s->tested > STAT_CAP)
        s->tested = STAT_CAP;
    if (s->fails > STAT_CAP)
        s->fails = STAT_CAP;
}

int lines_read(DataStream *stream) {
    SegmentTable *t = &lines.table;
    int rows = 0;
    if (!t->slots || !stream || data_scan(stream, "ct03 %d ", &rows) != 1 || rows != t->rows)
        return 0;
    int loaded = 0;
    int count = 0;
    for (int r = 0; r < t->rows && data_scan(stream, " %d ", &count) == 1; r++) {
        int placed = 0;
        for (int c = 0; c < count; c++) {
            int v[9];
            if (data_scan(stream, " %d %d %d %d %d %d %d %d %d ", &v[0], &v[1], &v[2], &v[3],
                          &v[4], &v[5], &v[6], &v[7], &v[8]) != 9)
                break;
            int n = v[0] < 0 ? 0 : v[0];
            // The buffer grows as points arrive, so a count the file cannot back costs
            // nothing.
            LinePoint *points = nullptr;
            int got = 0, capacity = 0;
            for (; got < n; got++) {
                LinePoint p;
                if (data_scan(stream, " [ %f %f %f ] %f %f ", &p.x, &p.y, &p.z, &p.speed,
                              &p.lean) != 5)
                    break;
                if (got == capacity) {
                    capacity = capacity ? capacity * 2 : 16;
                    points = static_cast<LinePoint *>(
                        xrealloc(points, static_cast<size_t>(capacity) * sizeof(LinePoint)));
                }
                points[got] = p;
            }
            LineSegment *s = c < SEGMENT_SLOTS ? line_segment(r, c) : nullptr;
            if (got < n || n == 0 || !s) {
                free(points);
                if (got < n)
                    break;
                continue;
            }
            segment_empty(s, 0);
            s->points = points;
            s->count = n;
            s->own_time = v[1];
            s->through_time = v[2];
            s->tested = v[3] < 0 ? 0 : v[3];
            s->best_own = v[4];
            s->best_through = v[5];
            s->own_sum = v[6];
            s->through_sum = v[7];
            s->fails = v[8] < 0 ? 0 : v[8];
            s->id = ++t->next_id;
            segment_normalise(s);
            placed++;
            loaded++;
        }
        if (lines.verbose)
            log("%d: %d\n", r, placed);
    }
    return loaded;
}

int lines_load(const char *name) {
    if (!lines.table.slots || !name)
        return 0;
    char path[512];
    snprintf(path, sizeof path, "@%s/%s", lines.track, name);
    DataStream *in = data_open(path, "r");
    if (!in)
        return 0;
    int loaded = lines_read(in);
    data_close(in);
    return loaded;
}

// ---- Storing, eviction and costs ----

int segment_expected(const LineSegment *s) {
    int64_t e;
    if (s->tested < 1) {
        e = int64_t(s->through_time) * 5 / 4;
        if (s->fails > 0)
            e += SEGMENT_PENALTY_STEPS;
    } else {
        e = int64_t(s->fails) * SEGMENT_PENALTY_STEPS / (s->tested + s->fails) +
            s->through_sum / s->tested;
    }
    return e > INT32_MAX ? INT32_MAX : int(e);
}

static float dist_sq(const LinePoint &a, const LinePoint &b) {
    float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

int segment_victim(int row) {
    int expected[SEGMENT_SLOTS];
    int good = 0;
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        const LineSegment *s = line_segment(row, i);
        if (!s)
            return -1;
        expected[i] = segment_expected(s);
        good += s->fails < s->tested;
    }
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        const LineSegment *s = line_segment(row, i);
        if (s->count <= 0)
            continue;
        int lone = 1;
        for (int j = 0; j < SEGMENT_SLOTS && lone; j++) {
            const LineSegment *o = line_segment(row, j);
            if (j != i && o->count > 0 && dist_sq(s->points[0], o->points[0]) < 4.0f)
                lone = 0;
        }
        if (lone)
            expected[i] = int(int64_t(expected[i]) * 3 / 4);
    }
    int victim = -1;
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        const LineSegment *s = line_segment(row, i);
        if (s->count <= 0 || (good < GOOD_SLOTS_MIN && s->fails < s->tested))
            continue;
        if (victim < 0 || expected[i] > expected[victim])
            victim = i;
    }
    return victim;
}

int lines_store(int row, const LinePoint *points, int count, int own_time, int through_time) {
    if (!line_segment(row, 0) || !points || count <= 0)
        return -1;
    for (int i = 0; i < SEGMENT_SLOTS; i++) {
        const LineSegment *s = line_segment(row, i);
        if (s->count != count)
            continue;
        int same = 1;
        for (int k = 0; k < count && same; k++)
            same = std::fabs(s->points[k].speed - points[k].speed) <= DUPLICATE_SPEED &&
                   dist_sq(s->points[k], points[k]) <= DUPLICATE_DIST_SQ;
        if (same) {
            if (lines.verbose)
                log("auto pilot: %d rejected (duplicate)\n", row);
            return -1;
        }
    }
    int target = -1;
    for (int i = 0; i < SEGMENT_SLOTS && target < 0; i++)
        if (line_segment(row, i)->count <= 0)
            target = i;
    if (target < 0)
        target = segment_victim(row);
    if (target < 0)
        return -1;
    LineSegment *s = line_segment(row, target);
    int e = segment_expected(s);
    if (int64_t(e) < int64_t(through_time) * 5 / 4) {
        if (lines.verbose)
            log("auto pilot: %d rejected (too slow)\n", row);
        return -1;
    }
    if (lines.verbose) {
        int t = s->tested;
        log("auto pilot: evicting %d (times: %.2f %.2f tested (%d %d): %.2f %.2f repl: %f %f)\n",
            row, s->own_time * STEP_SECONDS, s->through_time * STEP_SECONDS, t, s->fails,
            (t ? s->own_sum / t : 0) * STEP_SECONDS, (t ? s->through_sum / t : 0) * STEP_SECONDS,
            own_time * STEP_SECONDS, through_time * STEP_SECONDS);
    }
    LinePoint *copy = static_cast<LinePoint *>(xmalloc(size_t(count) * sizeof(LinePoint)));
    memcpy(copy, points, size_t(count) * sizeof(LinePoint));
    int picked = s->last_picked;
    segment_empty(s, 0);
    s->points = copy;
    s->count = count;
    s->own_time = own_time;
    s->through_time = through_time;
    s->id = ++lines.table.next_id;
    s->last_picked = picked;
    return target;
}

int segment_cost(const LineSegment *s, int skill) {
    int t = s->tested, f = s->fails;
    if (skill >= SKILL_EXPLORE) {
        if (t + f >= 6 && f > 4 * t)
            return 100000;
        unsigned v = unsigned(t) + 4u * unsigned(f);
        if (v == 0)
            return 0;
        int bits = 0;
        for (; v; v >>= 1)
            bits++;
        return 1000 * (bits + 4);
    }
    if (skill == 2 ? t <= 0 : t <= 4)
        return SEGMENT_NO_TIME;
    float ratio = float(f) / float(t + f);
    if (skill == 1)
        ratio *= 1.1428572f;
    else if (skill == 2)
        ratio *= 4.0f;
    ratio = ratio < 0 ? 0 : ratio > 1 ? 1 : ratio;
    return int(float(s->own_sum / t) + float(SEGMENT_PENALTY_STEPS) * ratio);
}

void line_circle_centre(const LinePoint *a, const LinePoint *b, const LinePoint *c, float *cx,
                        float *cz) {
    double ax = a->x, az = a->z, bx = b->x, bz = b->z, qx = c->x, qz = c->z;
    double d = 2 * (ax * (bz - qz) + bx * (qz - az) + qx * (az - bz));
    if (std::fabs(d) <= 1e-6) {
        // Straight: the centre lies far off along the perpendicular of the first step.
        double mx = (ax + bx) * 0.5, mz = (az + bz) * 0.5;
        double px = -(bz - az), pz = bx - ax;
        double len = std::sqrt(px * px + pz * pz);
        if (len <= 0) {
            px = 1;
            pz = 0;
            len = 1;
        }
        *cx = float(mx + px / len * 1000000.0);
        *cz = float(mz + pz / len * 1000000.0);
        return;
    }
    double a2 = ax * ax + az * az, b2 = bx * bx + bz * bz, c2 = qx * qx + qz * qz;
    *cx = float((a2 * (bz - qz) + b2 * (qz - az) + c2 * (az - bz)) / d);
    *cz = float((a2 * (qx - bx) + b2 * (ax - qx) + c2 * (bx - ax)) / d);
}

static float flat_dist(float cx, float cz, const LinePoint &p) {
    double dx = double(p.x) - cx, dz = double(p.z) - cz;
    return float(std::sqrt(dx * dx + dz * dz));
}

int segments_connect(const LineSegment *a, const LineSegment *b) {
    if (a->count < 3 || b->count < 2)
        return 0;
    const LinePoint *end = &a->points[a->count - 1];
    float cx, cz;
    line_circle_centre(end - 2, end - 1, end, &cx, &cz);
    float r = flat_dist(cx, cz, *end);
    float d0 = flat_dist(cx, cz, b->points[0]);
    float d1 = flat_dist(cx, cz, b->points[1]);
    float low = r - 2.5f > 0 ? r - 2.5f : 0;
    return std::fabs(end->speed) <= std::fabs(b->points[0].speed) + 15.0f && low <= d0 &&
           d0 <= r + 2.5f && std::fabs(d1 - d0) <= 2.0f;
}

// Which slots of row a connect into which slots of row b.
static void connect_matrix(int row_a, int row_b, uint8_t out[SEGMENT_SLOTS][SEGMENT_SLOTS]) {
    for (int i = 0; i < SEGMENT_SLOTS; i++)
        for (int j = 0; j < SEGMENT_SLOTS; j++)
            out[i][j] = uint8_t(segments_connect(line_segment(row_a, i), line_segment(row_b, j)));
}

const ChainCosts *line_chain_costs(int a, int n, int skill) {
    ChainCosts *c = &lines.chain;
    c->gates = 0;
    if (!lines.table.slots || n < 1)
        return c;
    int most = lines.first_gates > lines.normal_gates ? lines.first_gates : lines.normal_gates;
    if (n - 1 > most) {
        free(c->back);
        c->back = static_cast<uint8_t *>(xcalloc(n, SEGMENT_SLOTS * SEGMENT_SLOTS));
    }
    c->gates = n;
    static uint8_t link[SEGMENT_SLOTS][SEGMENT_SLOTS];
    int cost[SEGMENT_SLOTS];
    int row = line_row(a);
    connect_matrix(row, line_row(a + 1), link);
    for (int p = 0; p < SEGMENT_SLOTS; p++) {
        int cp = segment_cost(line_segment(row, p), skill);
        for (int j = 0; j < SEGMENT_SLOTS; j++)
            c->cost[p][j] = link[p][j] ? cp : CHAIN_NO_COST;
    }
    static int next[SEGMENT_SLOTS][SEGMENT_SLOTS];
    for (int m = a + 1; m < a + n; m++) {
        row = line_row(m);
        connect_matrix(row, line_row(m + 1), link);
        for (int i = 0; i < SEGMENT_SLOTS; i++)
            cost[i] = segment_cost(line_segment(row, i), skill);
        uint8_t *back = c->back + size_t(m - a - 1) * SEGMENT_SLOTS * SEGMENT_SLOTS;
        for (int p = 0; p < SEGMENT_SLOTS; p++) {
            for (int j = 0; j < SEGMENT_SLOTS; j++) {
                int64_t best = CHAIN_NO_COST;
                int pick = CHAIN_NONE;
                for (int i = 0; i < SEGMENT_SLOTS; i++) {
                    if (!link[i][j] || c->cost[p][i] >= CHAIN_NO_COST)
                        continue;
                    int64_t v = int64_t(c->cost[p][i]) + cost[i];
                    if (v < best) {
                        best = v;
                        pick = i;
                    }
                }
                next[p][j] = int(best);
                back[p * SEGMENT_SLOTS + j] = uint8_t(pick);
            }
        }
        memcpy(c->cost, next, sizeof next);
    }
    return c;
}

static uint8_t chain_back(const ChainCosts *c, int k, int p, int j) {
    return c->back[size_t(k) * SEGMENT_SLOTS * SEGMENT_SLOTS + p * SEGMENT_SLOTS + j];
}

// The id a BestLine keeps for a chosen slot: only well-tried segments count.
static int best_id(int row, int slot) {
    const LineSegment *s = slot < SEGMENT_SLOTS ? line_segment(row, slot) : nullptr;
    return s && s->count > 0 && s->tested >= 5 ? s->id : 0;
}

// Walks the back pointers of a chain that starts with slot first at gate a and ends in slot
// last at gate a + n, filling rows a + 1 .. a + n - 1 of ids.
static void chain_walk(const ChainCosts *c, int a, int n, int first, int last, int *ids) {
    int choice = last;
    for (int m = a + n - 1; m > a; m--) {
        choice = choice < CHAIN_NONE ? int(chain_back(c, m - a - 1, first, choice)) : int(CHAIN_NONE);
        if (choice >= CHAIN_NONE) {
            for (int k = a + 1; k <= m; k++)
                ids[line_row(k)] = 0;
            return;
        }
        ids[line_row(m)] = best_id(line_row(m), choice);
    }
}

void lines_analyze() {
    SegmentTable *t = lines_table();
    if (!t)
        return;
    int f_rows = t->first_rows, n_rows = t->rows - t->first_rows;
    for (int level = 0; level < LINE_SKILLS; level++) {
        int *ids = lines.best[level].ids;
        memset(ids, 0, t->rows * sizeof(int));
        const ChainCosts *c = line_chain_costs(f_rows, n_rows, level);
        int f = 0;
        for (int p = 1; p < SEGMENT_SLOTS; p++)
            if (c->cost[p][p] < c->cost[f][f])
                f = p;
        int normal = c->cost[f][f];
        if (normal < CHAIN_NO_COST) {
            ids[f_rows] = best_id(f_rows, f);
            chain_walk(c, f_rows, n_rows, f, f, ids);
        }
        c = line_chain_costs(0, f_rows, level);
        int w = 0;
        for (int p = 1; p < SEGMENT_SLOTS; p++)
            if (c->cost[p][f] < c->cost[w][f])
                w = p;
        int first = c->cost[w][f];
        if (first < CHAIN_NO_COST) {
            ids[0] = best_id(0, w);
            chain_walk(c, 0, f_rows, w, f, ids);
        }
        if (lines.verbose) {
            log("First lap: %f\n", first * STEP_SECONDS);
            log("Normal lap: %f\n", normal * STEP_SECONDS);
        }
    }
}

// ---- Thinning ----

// Side of point p relative to the line through a and b, x-z plane: 1 non-negative, 0 negative.
static int side_of(const LinePoint &a, const LinePoint &b, const LinePoint &p) {
    float cross = (b.x - a.x) * (p.z - a.z) - (b.z - a.z) * (p.x - a.x);
    return cross >= 0;
}

static int pieces_cross(const LinePoint &a0, const LinePoint &a1, const LinePoint &b0,
                        const LinePoint &b1) {
    return side_of(a0, a1, b0) != side_of(a0, a1, b1) &&
           side_of(b0, b1, a0) != side_of(b0, b1, a1);
}

static int lines_cross(const LineSegment *a, const LineSegment *b) {
    for (int i = 0; i + 1 < a->count; i++)
        for (int j = 0; j + 1 < b->count; j++)
            if (pieces_cross(a->points[i], a->points[i + 1], b->points[j], b->points[j + 1]))
                return 1;
    return 0;
}

void lines_thin() {
    SegmentTable *t = lines_table();
    if (!t)
        return;
    for (int r = 0; r < t->first_rows; r++) {
        int used = line_row_used(r);
        while (used >= LINE_SLOTS_FULL_THIN) {
            int most = -1, most_count = 0;
            for (int i = 0; i < SEGMENT_SLOTS; i++) {
                const LineSegment *s = line_segment(r, i);
                if (s->count < 2)
                    continue;
                int crossed = 0;
                for (int j = 0; j < SEGMENT_SLOTS; j++) {
                    const LineSegment *o = line_segment(r, j);
                    crossed += j != i && o->count >= 2 && lines_cross(s, o);
                }
                if (crossed == 0)
                    continue;
                if (most < 0 || crossed > most_count) {
                    most = i;
                    most_count = crossed;
                    continue;
                }
                if (crossed < most_count)
                    continue;
                const LineSegment *m = line_segment(r, most);
                int later_better;
                if (s->tested > 0)
                    later_better = m->tested <= 0 ||
                                   s->through_sum / s->tested < m->through_sum / m->tested;
                else
                    later_better = m->tested <= 0 && s->through_time < m->through_time;
                if (later_better)
                    most = i;
            }
            int emptied = 0;
            if (most >= 0) {
                segment_empty(line_segment(r, most), 0);
                emptied++;
            }
            int victim = segment_victim(r);
            if (victim >= 0) {
                segment_empty(line_segment(r, victim), 0);
                emptied++;
            }
            if (emptied == 0)
                break;
            used -= emptied;
        }
    }
}

// ---- Per rider ----

LineRider *line_rider(int slot) {
    if (slot < 0 || slot >= RIDER_SLOTS_AI)
        return nullptr;
    if (!lines.riders_ready) {
        for (LineRider &r : lines.riders) {
            array_init(&r.buffer[0], sizeof(LinePoint));
            array_init(&r.buffer[1], sizeof(LinePoint));
        }
        lines.riders_ready = 1;
    }
    return &lines.riders[slot];
}

void line_rider_reset(int slot, int personality) {
    LineRider *r = line_rider(slot);
    if (!r)
        return;
    r->buffer[0].count = r->buffer[1].count = 0;
    r->cancel = 0;
    memset(r->picked, 0, sizeof r->picked);
    r->personality = personality;
}

// Step at which entry k was crossed, -1 when skipped or not reached, 0 for entries before
// the race (the race start).
static int crossing_step(const Bike *bike, int k) {
    if (k < 0)
        return 0;
    if (k >= bike->crossings.count)
        return -1;
    return *array_get<int>(&bike->crossings, k);
}

// Takes the id of picked-ring slot g mod 4 out and charges its segment in row(g) a failure.
static void charge_failure(LineRider *r, int g) {
    int id = r->picked[g & 3];
    r->picked[g & 3] = 0;
    LineSegment *s = line_segment_by_id(line_row(g), id);
    if (s)
        s->fails++;
}

void lines_rider_step(Bike *bike) {
    LineRider *r = bike ? line_rider(bike->slot) : nullptr;
    if (!r)
        return;
    int now = physics_step_count();
    int next = bike->next_lap_entry;
    if (r->personality == 0 && now % LINE_SAMPLE_STEPS == 0 && lines.normal_len > 0) {
        LinePoint p;
        Vec3 pos = bike_position(bike), vel = bike_velocity(bike);
        p.x = pos.x;
        p.y = pos.y;
        p.z = pos.z;
        p.speed = vec_length(vel);
        if (bike->wheel[0].depth <= 0 && bike->wheel[1].depth <= 0)
            p.speed = -p.speed;
        p.lean = bike_lean_angle(bike);
        array_push(&r->buffer[line_gate_count(next) & 1], &p);
    }
    if (bike->stopped == 1) {
        bike->stopped = 2;
        if (r->personality != 0 && lines.table.slots) {
            charge_failure(r, line_gate_count(next));
            int last = crossing_step(bike, next - 1);
            if (next > 0 && last >= 0 && now - last < STEPS_PER_SECOND)
                charge_failure(r, line_gate_count(next - 1));
        }
        memset(r->picked, 0, sizeof r->picked);
    }
}

void lines_cancel(Bike *bike, int next_entry) {
    LineRider *r = bike ? line_rider(bike->slot) : nullptr;
    if (r)
        r->cancel |= 1 << (line_gate_count(next_entry) & 1);
}

// The three latest line gates up to entry k2: k0 < k1 < k2 (negative below the start).
static void latest_line_gates(int k2, int *k0, int *k1) {
    int k = k2 - 1;
    while (k >= 0 && !entry_is_line_gate(k))
        k--;
    *k1 = k;
    k--;
    while (k >= 0 && !entry_is_line_gate(k))
        k--;
    *k0 = k;
}

// First entry in from..to without a crossing, or -1 when every one was crossed.
static int first_missed(const Bike *bike, int from, int to) {
    for (int k = from < 0 ? 0 : from; k <= to; k++)
        if (crossing_step(bike, k) < 0)
            return k;
    return -1;
}

static void store_recorded(Bike *bike, LineRider *r, int entry, int gate) {
    int k0, k1;
    latest_line_gates(entry, &k0, &k1);
    if (first_missed(bike, k0, entry) >= 0)
        return;
    int t0 = crossing_step(bike, k0), t1 = crossing_step(bike, k1), t2 = crossing_step(bike, entry);
    int which = (gate - 1) & 1;
    const Array *buffer = &r->buffer[which];
    int row = line_row(gate - 1);
    if (buffer->count == 0 || (r->cancel & (1 << which))) {
        if (lines.verbose)
            log("auto pilot: %d canceled\n", row);
        return;
    }
    lines_store(row, static_cast<const LinePoint *>(buffer->data), buffer->count, t1 - t0,
                t2 - t0);
}

// The statistics of an auto-pilot pass over line gate index gate (entry k2).
static void count_pass(Bike *bike, LineRider *r, int slot, int entry, int gate) {
    const Array *line = autopilot_line(slot);
    int on_line = 0;
    if (line && line->count > 0) {
        float u = autopilot_line_position(slot, bike);
        int i1 = int(u), i0 = i1 - 1;
        i0 = i0 < 0 ? 0 : i0 >= line->count ? line->count - 1 : i0;
        i1 = i1 < 0 ? 0 : i1 >= line->count ? line->count - 1 : i1;
        const LinePoint *a = array_get<LinePoint>(line, i0);
        const LinePoint *b = array_get<LinePoint>(line, i1);
        Vec3 pa = vec3(a->x, a->y, a->z), pb = vec3(b->x, b->y, b->z);
        Vec3 pos = bike_position(bike);
        Vec3 d = pb - pa;
        float len_sq = vec_dot(d, d);
        float t = len_sq > 0 ? vec_dot(pos - pa, d) / len_sq : 0;
        Vec3 off = pos - (pa + d * t);
        float speed = vec_length(bike_velocity(bike)) * 0.9375f;
        on_line = vec_dot(off, off) <= 16.0f && speed <= std::fabs(a->speed) &&
                  speed <= std::fabs(b->speed);
    }
    if (on_line) {
        int k0, k1;
        latest_line_gates(entry, &k0, &k1);
        int missed = first_missed(bike, k0 + 1, k1);
        if (missed >= 0) {
            charge_failure(r, line_gate_count(missed));
            memset(r->picked, 0, sizeof r->picked);
        } else if (first_missed(bike, k0, entry) < 0) {
            int t0 = crossing_step(bike, k0), t1 = crossing_step(bike, k1);
            int t2 = crossing_step(bike, entry);
            int own = t1 - t0, through = t2 - t0;
            int id = r->picked[(gate - 1) & 3];
            LineSegment *s = line_segment_by_id(line_row(gate - 1), id);
            if (s) {
                s->tested++;
                s->best_own = own < s->best_own ? own : s->best_own;
                s->best_through = through < s->best_through ? through : s->best_through;
                s->own_sum += own;
                s->through_sum += through;
            }
        }
    } else {
        charge_failure(r, gate);
        memset(r->picked, 0, sizeof r->picked);
    }
    r->buffer[0].count = r->buffer[1].count = 0;
}

void lines_gate_crossed(Bike *bike, int entry, int offset) {
    int slot = bike ? bike->slot : -1;
    LineRider *r = line_rider(slot);
    if (!r || !bike || !entry_is_line_gate(entry))
        return;
    int gate = line_gate_count(entry);
    if (r->personality != 0) {
        if (gate > 0 && lines.table.slots)
            count_pass(bike, r, slot, entry, gate);
        return;
    }
    if (offset != 0)
        return;
    if (gate > 0 && lines.table.slots)
        store_recorded(bike, r, entry, gate);
    int next = (gate + 1) & 1;
    r->buffer[next].count = 0;
    r->cancel &= ~(1 << next);
}

void lines_attach_progress() {
    static const ProgressLearner learner = {lines_rider_step, lines_cancel, lines_gate_crossed,
                                            autopilot_finish};
    progress_set_learner(&learner);
}
