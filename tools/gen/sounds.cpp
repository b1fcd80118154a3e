// The ".braap" engine descriptions: exhaust pipe, idle floor, the torque range mapped to
// engine load, and per-firing rpm offsets and factors that give each class its beat; and
// the ".series" files.
#include "sounds.h"

#include <string>

#include "gen.h"

namespace {

struct EngineSound {
    const char *engine_class;
    const char *comment;
    float pipe_length, pipe_spread, pipe_gain;
    float min_rpm, low_torque, high_torque;
    const char *bias;
    const char *scale;
};

// Pipe lengths in ft set the exhaust's resonance; low and high torque span each class's
// torque curve from engine braking to its peak.
const EngineSound ENGINES[] = {
    {"50", "50 cc two-stroke: a short buzzing pipe, light flywheel", 1.6f, 0.25f, -0.72f, 1800,
     -2.0f, 3.5f, "0 15 0 -15", "1"},
    {"125", "125 cc two-stroke: expansion chamber crackle, revs high", 2.1f, 0.35f, -0.8f, 1400,
     -4.0f, 12.0f, "0 25 -10 30 0 -25", "1 1.004 0.997 1"},
    {"250", "250 cc two-stroke: a deeper chamber, ring-ding at idle", 2.7f, 0.45f, -0.83f, 1200,
     -6.0f, 24.0f, "0 40 0 -35 15 -20", "1 0.995 1.006 1"},
    {"250f", "250 cc four-stroke: a tight, high-revving thump", 4.2f, 0.8f, -0.86f, 1100, -5.0f,
     15.0f, "0 -30 20 10 -40 25", "1 1.01 0.99 1 1.005"},
    {"450f", "450 cc four-stroke: a long pipe and a loping, uneven idle", 5.4f, 0.95f, -0.88f,
     900, -7.0f, 26.0f, "0 60 -20 -60 30 -10 40 -40", "1 0.985 1.02 0.99"},
};

const int POINTS[40] = {25, 22, 20, 18, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7,
                        6,  5,  4,  3,  2,  1,  0,  0,  0,  0,  0,  0,  0, 0};

struct Event {
    const char *title, *track;
    int minutes, laps;
};

void write_series(const char *name, const char *title, const char *skill, int first_robot,
                  int robots, const Event *events, int event_count)
{
    std::string out = gen_format("\"%s\"\n%d %s\n", title, robots, skill);
    for (int i = 0; i < robots; i++)
        out += gen_format("%d%c", first_robot + i, i % 10 == 9 || i == robots - 1 ? '\n' : ' ');
    out += gen_format("%d\n", event_count);
    for (int e = 0; e < event_count; e++) {
        out += gen_format("\"%s\" %s %d %d\n", events[e].title, events[e].track,
                          events[e].minutes, events[e].laps);
        for (int table = 0; table < 2; table++) {
            for (int i = 0; i < 40; i++)
                out += gen_format("%d%c", POINTS[i], i % 20 == 19 ? '\n' : ' ');
        }
    }
    gen_write_text(name, out);
}

}   // namespace

void sounds_write_all()
{
    for (const EngineSound &e : ENGINES) {
        std::string out = gen_format("# %s\n", e.comment);
        out += gen_format("pipe %g %g %g 0 15\n", e.pipe_length, e.pipe_spread, e.pipe_gain);
        out += gen_format("minrpm %g\nlowtorque %g\nhightorque %g\n", e.min_rpm, e.low_torque,
                          e.high_torque);
        out += gen_format("bias %s\nscale %s\n", e.bias, e.scale);
        gen_write_text(gen_format("default%s.braap", e.engine_class).c_str(), out);
    }
}

void series_write_all()
{
    const Event outdoor[] = {
        {"Round 1: Rabbit Hill", "rabbithill", 0, 5},
        {"Round 2: Sand Ridge", "sandridge", 0, 5},
        {"Round 3: Iron Bowl", "ironbowl", 0, 8},
        {"Final: Rabbit Hill", "rabbithill", 0, 6},
    };
    write_series("series/rutmoor_nationals.series", "Rutmoor Nationals", "Amateur", 20, 21,
                 outdoor, 4);
    const Event stadium[] = {
        {"Opening Night", "ironbowl", 0, 8},
        {"Sand Ridge Showdown", "sandridge", 0, 4},
        {"Iron Bowl Main Event", "ironbowl", 0, 12},
    };
    write_series("series/iron_bowl_cup.series", "Iron Bowl Cup", "Expert", 60, 21, stadium, 3);
}
