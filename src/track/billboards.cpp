// Billboards: adding them, reading and writing "billboards" with the "#rrggbb#" colour
// prefix.
#include "track/billboards.h"

#include <cstring>

#include "common/common.h"
#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "track/track_local.h"

int billboard_add(Array *billboards, const Terrain *terrain, float x, float y, float z,
                  float width, float height, const char *texture_name) {
    Billboard billboard = {};
    billboard.pos = vec3(x, track_ground(terrain, x, z) + y, z);
    billboard.width = width;
    billboard.y_offset = y;
    billboard.height = height;
    if (texture_name) {
        billboard.texture_name = intern_string(texture_name);
        image_get(billboard.texture_name);   // decoded now; the renderer uploads it by name
    }
    memset(billboard.color, 255, sizeof billboard.color);
    array_push(billboards, &billboard);
    return billboards->count - 1;
}

static int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "#rrggbb#picture": the colour into rgb and the picture name after the second '#'.
// Returns the picture name, or name itself when it has no colour prefix.
static const char *split_color(const char *name, uint8_t rgb[3]) {
    if (strlen(name) < 8 || name[0] != '#' || name[7] != '#')
        return name;
    int value = 0;
    for (int i = 1; i < 7; i++) {
        int digit = hex_digit(name[i]);
        if (digit < 0)
            return name;
        value = value * 16 + digit;
    }
    rgb[0] = static_cast<uint8_t>(value >> 16);
    rgb[1] = static_cast<uint8_t>(value >> 8);
    rgb[2] = static_cast<uint8_t>(value);
    return name + 8;
}

int billboards_read(Array *billboards, const Terrain *terrain, const char *name) {
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return 0;
    int added = 0;
    for (;;) {
        float x, y, z, width, height;
        char picture[1024];
        if (data_scan(stream, " [ %f %f %f ] %f %f %1023s ", &x, &y, &z, &width, &height,
                      picture) != 6 ||
            !finite_all({x, y, z, width, height}))
            break;
        uint8_t rgb[3] = {255, 255, 255};
        const char *texture = split_color(picture, rgb);
        int index = billboard_add(billboards, terrain, x, y, z, width, height, texture);
        memcpy(array_get<Billboard>(billboards, index)->color, rgb, 3);
        added++;
    }
    data_close(stream);
    return added;
}

int billboards_write(const Array *billboards, int first, const char *name) {
    DataStream *stream = data_open(name, "wb");
    if (!stream) {
        console_print("Can't open 'billboards'\n");
        return 0;
    }
    for (int i = first < 0 ? 0 : first; i < billboards->count; i++) {
        const Billboard *b = array_get<Billboard>(billboards, i);
        data_printf(stream, "[%f %f %f] %f %f ", b->pos.x, b->y_offset, b->pos.z, b->width,
                    b->height);
        const char *texture = b->texture_name ? b->texture_name : "";
        const uint8_t *c = b->color;
        // An empty name would leave no word for the reader: it keeps the prefix form.
        if (c[0] != 255 || c[1] != 255 || c[2] != 255 || !texture[0])
            data_printf(stream, "#%02x%02x%02x#%s\n", c[0], c[1], c[2], texture);
        else
            data_printf(stream, "%s\n", texture);
    }
    data_close(stream);
    return 1;
}
