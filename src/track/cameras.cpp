// Trackside cameras: reading and writing "cameras" and the gate-to-camera table.
#include "track/cameras.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/console.h"
#include "files/data.h"
#include "platform/log.h"
#include "track/track_local.h"

static void camera_defaults(Camera *camera) {
    *camera = Camera{};
    camera->fov = 90;
    camera->autofovsize = 0;
}

static int is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The line's first word when it is exactly keyword; returns what follows it, else null.
static const char *after_keyword(const char *line, const char *keyword) {
    while (is_blank(*line))
        line++;
    size_t length = strlen(keyword);
    if (strncmp(line, keyword, length) != 0 || !(is_blank(line[length]) || !line[length]))
        return nullptr;
    return line + length;
}

// One number of the rest of a line; 1 when it reads and is finite.
static int read_number(const char *text, float *value) {
    return sscanf(text, "%f", value) == 1 && std::isfinite(*value);
}

static void map_gates(Cameras *cameras, const char *text) {
    // Decimal gate numbers, while each is a gate the table covers.
    for (;;) {
        char *end;
        errno = 0;
        long gate = strtol(text, &end, 10);
        if (end == text || errno || gate < 0 || gate >= CAMERA_GATES)
            return;
        cameras->gate_camera[gate] = cameras->list.count;
        text = end;
    }
}

void cameras_free(Cameras *cameras) {
    if (cameras->list.elem_size)
        array_free(&cameras->list);
    array_init(&cameras->list, sizeof(Camera));
    for (int &camera : cameras->gate_camera)
        camera = -1;
}

int cameras_read(Cameras *cameras, const Terrain *terrain, const char *name) {
    cameras_free(cameras);
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return 0;
    Camera current;
    camera_defaults(&current);
    char line[1024];
    while (data_gets(stream, line, sizeof line)) {
        const char *rest;
        float value;
        if ((rest = after_keyword(line, "addcamera"))) {
            float x, y, z;
            if (sscanf(rest, "%f %f %f", &x, &y, &z) == 3 && finite_all({x, y, z})) {
                current.pos = vec3(x, track_ground(terrain, x, z) + y, z);
                current.y_offset = y;
                array_push(&cameras->list, &current);
                camera_defaults(&current);
            }
        } else if ((rest = after_keyword(line, "fov"))) {
            if (read_number(rest, &value))
                current.fov = std::fabs(value);
        } else if ((rest = after_keyword(line, "autofovsize"))) {
            if (read_number(rest, &value))
                current.autofovsize = std::fabs(value);
        } else if ((rest = after_keyword(line, "gate"))) {
            map_gates(cameras, rest);
        }
    }
    data_close(stream);
    // A gate line after the last camera names a camera that never came.
    for (int &camera : cameras->gate_camera)
        if (camera >= cameras->list.count)
            camera = -1;
    if (track_config()->verbose > 0)
        log("%d cameras found\n", cameras->list.count);
    return cameras->list.count;
}

int cameras_write(const Cameras *cameras, const char *name) {
    DataStream *stream = data_open(name, "wb");
    if (!stream) {
        console_print("Can't open 'cameras'\n");
        return 0;
    }
    for (int i = 0; i < cameras->list.count; i++) {
        const Camera *c = array_get<Camera>(&cameras->list, i);
        int named = 0;
        for (int gate = 0; gate < CAMERA_GATES; gate++) {
            if (cameras->gate_camera[gate] != i)
                continue;
            data_printf(stream, named ? " %d" : "gate %d", gate);
            named = 1;
        }
        if (named)
            data_puts(stream, "\n");
        data_printf(stream, "fov %f\n", c->fov);
        data_printf(stream, "autofovsize %f\n", c->autofovsize);
        data_printf(stream, "addcamera %f %f %f\n", c->pos.x, c->y_offset, c->pos.z);
    }
    data_close(stream);
    return 1;
}
