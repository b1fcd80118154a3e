// Decals: reading "decals" into the Terrain's decal list (with their normal and specular
// maps when shaders are in use) and writing them back.
#include "track/decals.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "track/terrain.h"
#include "track/track_local.h"

enum { DECAL_BUCKETS_SIDE = 8 };
static_assert(DECAL_BUCKETS_SIDE * DECAL_BUCKETS_SIDE == TERRAIN_DECAL_BUCKETS);

// The texture name with its extension replaced by stem + ".png", else stem + ".ppm", when
// that picture decodes; null otherwise.
static const char *find_map(const char *texture, const char *stem) {
    const char *dot = strrchr(texture, '.');
    const char *slash = strrchr(texture, '/');
    if (!dot || (slash && dot < slash))
        return nullptr;
    for (const char *extension : {".png", ".ppm"}) {
        char name[1100];
        snprintf(name, sizeof name, "%.*s%s%s", static_cast<int>(dot - texture), texture, stem,
                 extension);
        if (image_get(name))
            return intern_string(name);
    }
    return nullptr;
}

// Decal bucket coordinate of a world coordinate: eighths of the terrain, limited to 0 .. 7.
static int bucket_coordinate(float c, float world_size) {
    if (!(world_size > 0))
        return 0;
    float f = std::floor(c / world_size * float(DECAL_BUCKETS_SIDE));
    if (!(f >= 0))   // also NaN
        return 0;
    return f > DECAL_BUCKETS_SIDE - 1 ? DECAL_BUCKETS_SIDE - 1 : static_cast<int>(f);
}

static void decals_file(Terrain *terrain) {
    for (Array &bucket : terrain->decal_buckets) {
        if (bucket.elem_size == 0)
            array_init(&bucket, sizeof(int));
        bucket.count = 0;
    }
    for (int k = 0; k < terrain->decals.count; k++) {
        const Decal *d = array_get<Decal>(&terrain->decals, k);
        float r = 0.5f * std::sqrt(d->size_x * d->size_x + d->size_z * d->size_z);
        int i0 = bucket_coordinate(d->x - r, terrain->world_size);
        int i1 = bucket_coordinate(d->x + r, terrain->world_size);
        int j0 = bucket_coordinate(d->z - r, terrain->world_size);
        int j1 = bucket_coordinate(d->z + r, terrain->world_size);
        for (int j = j0; j <= j1; j++)
            for (int i = i0; i <= i1; i++)
                array_push(&terrain->decal_buckets[j * DECAL_BUCKETS_SIDE + i], &k);
    }
}

int decals_read(Terrain *terrain, const char *track_dir) {
    char name[1100];
    DataStream *stream = data_open(track_file(name, sizeof name, track_dir, "/decals"), "rb");
    if (!stream)
        return 0;
    if (terrain->decals.elem_size == 0)
        array_init(&terrain->decals, sizeof(Decal));
    int kept = 0;
    for (;;) {
        Decal d = {};
        char texture[1024];
        if (data_scan(stream, " [ %f %f ] %f %f %f %1023s ", &d.x, &d.z, &d.angle, &d.size_x,
                      &d.size_z, texture) != 6 ||
            !finite_all({d.x, d.z, d.angle, d.size_x, d.size_z}))
            break;
        if (!image_get(texture))
            continue;   // a decal without its picture shows nothing
        d.texture = intern_string(texture);
        d.sin_angle = std::sin(d.angle);
        d.cos_angle = std::cos(d.angle);
        if (track_config()->use_shader) {
            d.normal_map = find_map(d.texture, "_tnorm");
            d.spec_map = find_map(d.texture, "_tspec");
        }
        array_push(&terrain->decals, &d);
        kept++;
    }
    data_close(stream);
    decals_file(terrain);
    return kept;
}

int decals_write(const Array *decals, const char *name) {
    DataStream *stream = data_open(name, "wb");
    if (!stream) {
        console_print("Can't open 'decals'\n");
        return 0;
    }
    for (int i = 0; i < decals->count; i++) {
        const Decal *d = array_get<Decal>(decals, i);
        data_printf(stream, "[%f %f] %f %f %f %s\n", d->x, d->z, d->angle, d->size_x, d->size_z,
                    d->texture ? d->texture : "null");
    }
    data_close(stream);
    return 1;
}
