// Flag marshals: reading and writing "flaggers" — the start marshal, the lap-board marshal
// and the flaggers watching gates — each standing as a billboard.
#include "track/flaggers.h"

#include <cstring>

#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "track/billboards.h"
#include "track/track_local.h"

// Reads count words " %1023s " as interned picture names (decoded into the picture cache).
// Returns 0 unless all of them read.
static int read_pictures(DataStream *stream, const char **pictures, int count) {
    for (int i = 0; i < count; i++) {
        char word[1024];
        if (data_scan(stream, " %1023s ", word) != 1)
            return 0;
        pictures[i] = intern_string(word);
        image_get(pictures[i]);
    }
    return 1;
}

static int limit_gate(int gate, int gate_count) {
    if (gate < -1)
        return -1;
    return gate > gate_count - 1 ? gate_count - 1 : gate;
}

int flaggers_read(Flaggers *flaggers, Array *billboards, const Terrain *terrain, int gate_count,
                  const char *name) {
    flaggers_free(flaggers);
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return 0;

    StartMarshal start = {};
    start.path_time = 1.0f;
    int got = data_scan(stream, " [ %f %f %f ] [ %f %f %f ] %f %f %f ", &start.a.x, &start.a.y,
                        &start.a.z, &start.b.x, &start.b.y, &start.b.z, &start.width,
                        &start.height, &start.path_time);
    if (got < 8 || !finite_all({start.a.x, start.a.y, start.a.z, start.b.x, start.b.y,
                                start.b.z, start.width, start.height, start.path_time}) ||
        !read_pictures(stream, start.pictures, START_MARSHAL_PICTURES)) {
        data_close(stream);
        return 0;
    }
    start.present = 1;
    start.billboard = billboard_add(billboards, terrain, start.a.x, start.a.y, start.a.z,
                                    start.width, start.height, start.pictures[0]);
    flaggers->start = start;

    LapMarshal lap = {};
    if (data_scan(stream, " [ %f %f %f ] %f %f ", &lap.pos.x, &lap.pos.y, &lap.pos.z,
                  &lap.width, &lap.height) != 5 ||
        !finite_all({lap.pos.x, lap.pos.y, lap.pos.z, lap.width, lap.height}) ||
        !read_pictures(stream, lap.pictures, LAP_MARSHAL_PICTURES)) {
        data_close(stream);
        return 0;
    }
    lap.present = 1;
    lap.billboard = billboard_add(billboards, terrain, lap.pos.x, lap.pos.y, lap.pos.z,
                                  lap.width, lap.height, lap.pictures[0]);
    flaggers->lap_board = lap;

    for (;;) {
        Flagger f = {};
        const char *pictures[2];
        if (data_scan(stream, " [ %f %f %f ] %f %f %d %d %d %d", &f.pos.x, &f.pos.y, &f.pos.z,
                      &f.width, &f.height, &f.gates[0], &f.gates[1], &f.gates[2],
                      &f.gates[3]) != 9 ||
            !finite_all({f.pos.x, f.pos.y, f.pos.z, f.width, f.height}) ||
            !read_pictures(stream, pictures, 2))
            break;
        f.texture_name = pictures[0];
        f.texture_active_name = pictures[1];
        for (int &gate : f.gates)
            gate = limit_gate(gate, gate_count);
        f.billboard = billboard_add(billboards, terrain, f.pos.x, f.pos.y, f.pos.z, f.width,
                                    f.height, f.texture_name);
        array_push(&flaggers->list, &f);
    }
    data_close(stream);
    return flaggers->list.count;
}

int flaggers_write(const Flaggers *flaggers, const char *name) {
    DataStream *stream = data_open(name, "wb");
    if (!stream) {
        console_print("Can't open 'flaggers'\n");
        return 0;
    }
    const StartMarshal &s = flaggers->start;
    const LapMarshal &l = flaggers->lap_board;
    if (s.present) {
        data_printf(stream, "[%f %f %f] [%f %f %f] %f %f %f", s.a.x, s.a.y, s.a.z, s.b.x, s.b.y,
                    s.b.z, s.width, s.height, s.path_time);
        for (const char *picture : s.pictures)
            data_printf(stream, " %s", picture ? picture : "null");
        data_puts(stream, "\n");
    }
    if (s.present && l.present) {
        data_printf(stream, "[%f %f %f] %f %f", l.pos.x, l.pos.y, l.pos.z, l.width, l.height);
        for (const char *picture : l.pictures)
            data_printf(stream, " %s", picture ? picture : "null");
        data_puts(stream, "\n");
        for (int i = 0; i < flaggers->list.count; i++) {
            const Flagger *f = array_get<Flagger>(&flaggers->list, i);
            data_printf(stream, "[%f %f %f] %f %f %d %d %d %d %s %s\n", f->pos.x, f->pos.y,
                        f->pos.z, f->width, f->height, f->gates[0], f->gates[1], f->gates[2],
                        f->gates[3], f->texture_name ? f->texture_name : "null",
                        f->texture_active_name ? f->texture_active_name : "null");
        }
    }
    data_close(stream);
    return 1;
}

void flaggers_free(Flaggers *flaggers) {
    if (flaggers->list.elem_size)
        array_free(&flaggers->list);
    memset(flaggers, 0, sizeof *flaggers);
    array_init(&flaggers->list, sizeof(Flagger));
}
