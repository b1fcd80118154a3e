// Timing gates: reading and writing "timing_gates", the start grid with its start-gate
// statues and the normalisation of the lap lists.
#include "track/gates.h"

#include <cmath>
#include <cstring>

#include "common/console.h"
#include "files/data.h"
#include "platform/log.h"
#include "track/statues.h"
#include "track/track_local.h"

static const double PI = 3.14159265358979323846;

float gate_heading(const Gate *gate) { return std::atan2(-gate->dir.x, -gate->dir.z); }

void timing_clear(Timing *timing) {
    memset(timing, 0, sizeof *timing);
    for (int i = 0; i < START_SLOTS_MAX; i++)
        timing->start_gate_statue[i] = -1;
}

// A heading outside -pi .. pi comes back into that range: frac((h + pi) / 2pi) * 2pi - pi.
static float wrap_heading(float heading) {
    if (heading >= -PI && heading <= PI)
        return heading;
    double turns = (heading + PI) / (2 * PI);
    return static_cast<float>((turns - std::floor(turns)) * 2 * PI - PI);
}

static void read_start_grid(Timing *timing, Array *statues, const Terrain *terrain,
                            DataStream *stream) {
    while (timing->start_count < START_SLOTS_MAX) {
        float x, y, z, heading;
        if (data_scan(stream, " [ %f %f %f ] %f ", &x, &y, &z, &heading) != 4 ||
            !finite_all({x, y, z, heading}))
            break;
        heading = wrap_heading(heading);
        int slot = timing->start_count++;
        timing->start_pos[slot] = vec3(x, y, z);
        timing->start_heading[slot] = heading;
        if (statues)
            timing->start_gate_statue[slot] =
                statue_add(statues, terrain, x - 3 * std::sin(heading), y,
                           z - 3 * std::cos(heading), heading, "@startgate.jm",
                           "@startgate.ppm", "@startgate.shp");
    }
}

static void read_gates(Timing *timing, DataStream *stream) {
    while (timing->gate_count < GATES_MAX) {
        Gate gate = {};
        if (data_scan(stream, "%f [ %f %f %f ] [ %f %f %f ] ", &gate.radius, &gate.pos.x,
                      &gate.pos.y, &gate.pos.z, &gate.dir.x, &gate.dir.y, &gate.dir.z) != 7 ||
            !finite_all({gate.radius, gate.pos.x, gate.pos.y, gate.pos.z, gate.dir.x,
                         gate.dir.y, gate.dir.z}))
            break;
        timing->gates[timing->gate_count++] = gate;
    }
}

// Appends integers to the lap order until one does not read or the list is full.
static int read_lap_list(Timing *timing, DataStream *stream) {
    int count = 0;
    int *out = timing->lap_order + timing->first_lap_len;
    while (count < LAP_LIST_MAX && data_scan(stream, "%d", &out[count]) == 1)
        count++;
    return count;
}

// Negative entries become 0; the index part is limited to the last gate; the flag stays.
static int normalise_lap_entry(int entry, int gate_count) {
    if (entry < 0)
        return 0;
    int flag = entry >= LAP_ENTRY_FLAGGED ? LAP_ENTRY_FLAGGED : 0;
    int index = entry % LAP_ENTRY_FLAGGED;
    if (index > gate_count - 1)
        index = gate_count - 1;
    if (index < 0)
        index = 0;
    return flag + index;
}

static int count_counted(const int *entries, int count) {
    int counted = 0;
    for (int i = 0; i < count; i++)
        counted += entries[i] < LAP_ENTRY_FLAGGED;
    return counted;
}

int gates_read(Timing *timing, Array *statues, const Terrain *terrain, const char *name) {
    timing_clear(timing);
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return 0;
    char word[81] = "";
    if (data_scan(stream, " %80s ", word) == 1 && strcmp(word, "startinggate:") == 0) {
        read_start_grid(timing, statues, terrain, stream);
        if (data_scan(stream, " %80s ", word) != 1)
            word[0] = 0;
    }
    if (strcmp(word, "checkpoints:") == 0) {
        read_gates(timing, stream);
        if (data_scan(stream, " %80s ", word) != 1)
            word[0] = 0;
        if (strcmp(word, "firstlap:") == 0) {
            timing->first_lap_len = read_lap_list(timing, stream);
            if (data_scan(stream, " %80s ", word) != 1)
                word[0] = 0;
        }
        if (strcmp(word, "normallap:") == 0)
            timing->normal_lap_len = read_lap_list(timing, stream);
    }
    data_close(stream);

    int total = timing->first_lap_len + timing->normal_lap_len;
    for (int i = 0; i < total; i++)
        timing->lap_order[i] = normalise_lap_entry(timing->lap_order[i], timing->gate_count);
    timing->first_lap_counted = count_counted(timing->lap_order, timing->first_lap_len);
    timing->normal_lap_counted =
        count_counted(timing->lap_order + timing->first_lap_len, timing->normal_lap_len);

    if (timing->gate_count > 0 && timing->first_lap_counted > 0 &&
        timing->normal_lap_counted > 0) {
        if (track_config()->verbose > 0)
            log("Found %d timing gates, first lap has %d gates, normal lap has %d\n",
                timing->gate_count, timing->first_lap_len, timing->normal_lap_len);
        return 1;
    }
    // Without a gate and a counted entry in both lists there is no lap to time.
    memset(timing->gates, 0, sizeof timing->gates);
    memset(timing->lap_order, 0, sizeof timing->lap_order);
    timing->gate_count = 0;
    timing->first_lap_len = timing->normal_lap_len = 0;
    timing->first_lap_counted = timing->normal_lap_counted = 0;
    return 0;
}

static void write_lap_list(DataStream *stream, const char *title, const int *entries,
                           int count) {
    if (count <= 0)
        return;
    data_puts(stream, title);
    for (int i = 0; i < count; i++)
        data_printf(stream, "%d ", entries[i]);
    data_puts(stream, "\n");
}

int gates_write(const Timing *timing, const char *name) {
    DataStream *stream = data_open(name, "wb");
    if (!stream) {
        console_print("Can't open 'timing_gates'\n");
        return 0;
    }
    if (timing->start_count > 0) {
        data_puts(stream, "startinggate:\n");
        for (int i = 0; i < timing->start_count; i++) {
            const Vec3 &p = timing->start_pos[i];
            data_printf(stream, "[%f %f %f]", p.x, p.y, p.z);
            data_printf(stream, " %f\n", timing->start_heading[i]);
        }
    }
    if (timing->gate_count > 0) {
        data_puts(stream, "checkpoints:\n");
        for (int i = 0; i < timing->gate_count; i++) {
            const Gate &g = timing->gates[i];
            data_printf(stream, "%f ", g.radius);
            data_printf(stream, "[%f %f %f]", g.pos.x, g.pos.y, g.pos.z);
            data_puts(stream, " ");
            data_printf(stream, "[%f %f %f]", g.dir.x, g.dir.y, g.dir.z);
            data_puts(stream, "\n");
        }
    }
    write_lap_list(stream, "firstlap:\n", timing->lap_order, timing->first_lap_len);
    write_lap_list(stream, "normallap:\n", timing->lap_order + timing->first_lap_len,
                   timing->normal_lap_len);
    data_close(stream);
    return 1;
}
