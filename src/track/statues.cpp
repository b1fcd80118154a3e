// Statues: adding them with their model, pictures and shape, their orientation on the
// ground, reading and writing "statues", and the 8 x 8 buckets that find them near a point.
#include "track/statues.h"

#include <cmath>
#include <cstring>

#include "bike/shape.h"
#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "render/model.h"
#include "track/terrain.h"
#include "track/track_local.h"

static const float TWO_PI = 6.28318530717958647692f;

// Turned by the angle about the vertical; unless the angle is -2pi or less, stood along the
// ground normal estimated from the heights at (x, z), (x + 1, z) and (x, z + 1).
static Mat3 statue_orientation(const Terrain *terrain, float x, float z, float angle) {
    if (angle >= STATUE_FACING_ANGLE)
        return rot_identity();
    float c = std::cos(angle), s = std::sin(angle);
    Vec3 right = vec3(c, 0, -s);
    Vec3 up = vec3(0, 1, 0);
    Vec3 back = vec3(s, 0, c);
    if (angle > -TWO_PI) {
        float h0 = track_ground(terrain, x, z);
        float hx = track_ground(terrain, x + 1, z);
        float hz = track_ground(terrain, x, z + 1);
        up = vec3(h0 - hx, 1, h0 - hz);   // (0, hz - h0, 1) x (1, hx - h0, 0)
    }
    right = vec_normalize(vec_cross(up, back));
    back = vec_normalize(vec_cross(right, up));
    up = vec_normalize(up);
    Mat3 orient;
    const Vec3 rows[3] = {right, up, back};
    for (int r = 0; r < 3; r++) {
        orient.m[r][0] = rows[r].x;
        orient.m[r][1] = rows[r].y;
        orient.m[r][2] = rows[r].z;
    }
    return orient;
}

// The first candidate of a name's normal or specular map that decodes, or null.
static const char *find_map(const char *name, const char *suffix) {
    if (!name)
        return nullptr;
    char candidates[3][1024];
    int count = image_map_names(name, suffix, candidates);
    for (int i = 0; i < count; i++)
        if (image_get(candidates[i]))
            return intern_string(candidates[i]);
    return nullptr;
}

int statue_add(Array *statues, const Terrain *terrain, float x, float y, float z, float angle,
               const char *model, const char *texture, const char *shape) {
    Statue statue = {};
    statue.model_name = track_name_or_null(model);
    statue.texture_name = track_name_or_null(texture);
    statue.shape_name = track_name_or_null(shape);
    statue.y_offset = y;
    statue.angle = angle;
    statue.face_size = angle >= STATUE_FACING_ANGLE ? std::exp2(angle) : 0.0f;

    if (statue.model_name)
        statue.model = model_get(statue.model_name);
    if (statue.model && statue.texture_name)
        image_get(statue.texture_name);   // decoded now; the renderer uploads it by name
    if (statue.model && track_config()->use_shader) {
        // Beside the texture first, then beside the model.
        statue.normal_map_name = find_map(statue.texture_name, "_norm");
        if (!statue.normal_map_name)
            statue.normal_map_name = find_map(statue.model_name, "_norm");
        statue.spec_map_name = find_map(statue.texture_name, "_spec");
        if (!statue.spec_map_name)
            statue.spec_map_name = find_map(statue.model_name, "_spec");
    }
    if (statue.shape_name) {
        statue.shape = shape_load(statue.shape_name);
        if (!statue.shape)
            console_printf("Warning: missing shape file %.900s", statue.shape_name);
    }
    statue.pos = vec3(x, 0, z);
    statue_reground(&statue, terrain);
    array_push(statues, &statue);
    return statues->count - 1;
}

void statue_reground(Statue *statue, const Terrain *terrain) {
    statue->pos.y = track_ground(terrain, statue->pos.x, statue->pos.z) + statue->y_offset;
    statue->orient = statue_orientation(terrain, statue->pos.x, statue->pos.z, statue->angle);
}

int statues_read(Array *statues, const Terrain *terrain, const char *name) {
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return 0;
    int added = 0;
    for (;;) {
        float x, y, z, angle;
        char model[1024], texture[1024], shape[1024];
        if (data_scan(stream, " [ %f %f %f ] %f %1023s %1023s %1023s ", &x, &y, &z, &angle,
                      model, texture, shape) != 7 ||
            !finite_all({x, y, z, angle}))
            break;
        statue_add(statues, terrain, x, y, z, angle, model, texture, shape);
        added++;
    }
    data_close(stream);
    return added;
}

static const char *or_null(const char *name) { return name ? name : "null"; }

int statues_write(const Array *statues, int first, const char *name) {
    DataStream *stream = data_open(name, "wb");
    if (!stream) {
        console_print("Can't open 'statues'\n");
        return 0;
    }
    for (int i = first < 0 ? 0 : first; i < statues->count; i++) {
        const Statue *s = array_get<Statue>(statues, i);
        data_printf(stream, "[%f %f %f] %f %s %s %s\n", s->pos.x, s->y_offset, s->pos.z,
                    s->angle, or_null(s->model_name), or_null(s->texture_name),
                    or_null(s->shape_name));
    }
    data_close(stream);
    return 1;
}

// Bucket coordinate of a world coordinate: the grid spans the middle three quarters of the
// terrain, so floor(((c / world_size) - 1/8) * 4/3 * 8), limited to 0 .. 7.
static int bucket_coordinate(float c, const Terrain *terrain) {
    float world = terrain ? terrain->world_size : 0.0f;
    if (!(world > 0))
        return 0;
    float f = std::floor((c / world - 0.125f) * (4.0f / 3.0f) * float(STATUE_BUCKETS_SIDE));
    if (!(f >= 0))   // also NaN
        return 0;
    if (f > STATUE_BUCKETS_SIDE - 1)
        return STATUE_BUCKETS_SIDE - 1;
    return static_cast<int>(f);
}

void statue_buckets_build(StatueBuckets *buckets, const Array *statues, const Terrain *terrain) {
    for (Array &cell : buckets->cells) {
        if (cell.elem_size == 0)
            array_init(&cell, sizeof(int));
        cell.count = 0;
    }
    for (int s = 0; s < statues->count; s++) {
        const Statue *statue = array_get<Statue>(statues, s);
        if (!statue->shape)
            continue;
        float r = statue->shape->bounding_radius;
        int i0 = bucket_coordinate(statue->pos.x - r, terrain);
        int i1 = bucket_coordinate(statue->pos.x + r, terrain);
        int j0 = bucket_coordinate(statue->pos.z - r, terrain);
        int j1 = bucket_coordinate(statue->pos.z + r, terrain);
        for (int j = j0; j <= j1; j++)
            for (int i = i0; i <= i1; i++)
                array_push(&buckets->cells[j * STATUE_BUCKETS_SIDE + i], &s);
    }
}

const Array *statue_bucket_at(const StatueBuckets *buckets, const Terrain *terrain, float x,
                              float z) {
    return &buckets->cells[bucket_coordinate(z, terrain) * STATUE_BUCKETS_SIDE +
                           bucket_coordinate(x, terrain)];
}

void statue_buckets_free(StatueBuckets *buckets) {
    for (Array &cell : buckets->cells) {
        if (cell.elem_size)
            array_free(&cell);
        cell = Array{};
    }
}
