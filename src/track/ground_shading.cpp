// The ground's light, shadow and normal maps and the level-of-detail error bounds: the CPU
// side of the ground renderer, filled while a track loads and kept current as heights change.
#include "track/ground_shading.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/console.h"
#include "files/data.h"
#include "platform/log.h"
#include "render/image.h"
#include "track/terrain.h"

namespace {

struct GroundSettings {
    int use_shader;          // "use_shader" configuration
    int texture_size;        // configured ground texture size, texels
    float lod_tolerance;     // terrain detail
    Vec3 sun_vector;         // the track's light, unit length
    Vec3 sun_color;
    Vec3 ambient;
    int dynamic_lighting;
};
GroundSettings ground = {0, 64, 0.02f, {0.57735026f, 0.57735026f, 0.57735026f},
                         {1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f}, 0};

// A light byte: limit(integer part of value, 0, 255), NaN reading as 0.
inline uint8_t light_byte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 255.0f) return 255;
    return (uint8_t)value;
}

// A normal component as a byte: n * 127 limited to -127 .. 127, plus 128.
inline uint8_t normal_byte(float n) {
    float v = n * 127.0f;
    if (!(v > -127.0f)) v = -127.0f;
    if (v > 127.0f) v = 127.0f;
    return (uint8_t)((int)v + 128);
}

std::string track_path(const char *dir, const char *file) {
    std::string path = dir;
    path += "/";
    path += file;
    return path;
}

// Reads the light map: "shadingx2.ppm" as stored, else "shading.ppm" halved.
int shading_load(Terrain *t, const char *dir) {
    int halve = 0;
    std::string path = track_path(dir, "shadingx2.ppm");
    DataStream *s = data_open(path.c_str(), "rb");
    if (!s) {
        halve = 1;
        path = track_path(dir, "shading.ppm");
        s = data_open(path.c_str(), "rb");
        if (!s) {
            console_printf("Can't open '%.950s'", path.c_str());
            return 0;
        }
    }
    Image *image = image_read_ppm(s);
    data_close(s);
    if (!image || image->components != 3) {
        image_free(image);
        console_print("Error reading shading");
        return 0;
    }
    if (image->width != t->grid_size || image->height != t->grid_size) {
        console_printf("Bad shading dimensions (%dx%d)", image->width, image->height);
        image_free(image);
        return 0;
    }
    size_t bytes = (size_t)t->grid_size * t->grid_size * 3;
    for (size_t k = 0; k < bytes; k++)
        t->shading[k] = halve ? (uint8_t)(image->pixels[k] / 2) : image->pixels[k];
    image_free(image);
    return 1;
}

// Reads the optional shadow map; the file stores light (255 lit), the terrain darkness.
int shadows_load(Terrain *t, const char *dir) {
    std::string path = track_path(dir, "shadows.pgm");
    DataStream *s = data_open(path.c_str(), "rb");
    if (!s) return 1;
    Image *image = image_read_pgm(s);
    data_close(s);
    if (!image || image->components != 1) {
        image_free(image);
        console_print("Error reading shadows");
        return 0;
    }
    if (image->width != t->grid_size || image->height != t->grid_size) {
        log("Bad shadow dimensions (%dx%d)\n", image->width, image->height);
        image_free(image);
        return 0;
    }
    size_t count = (size_t)t->grid_size * t->grid_size;
    for (size_t k = 0; k < count; k++) t->shadow[k] = (uint8_t)(255 - image->pixels[k]);
    image_free(image);
    return 1;
}

int write_ppm(const Terrain *t, const char *prefix, const char *file, int doubled) {
    std::string name = std::string(prefix) + file;
    DataStream *s = data_open(name.c_str(), "wb");
    if (!s) {
        console_printf("Can't open '%s'", file);
        return 0;
    }
    int size = t->grid_size;
    data_printf(s, "P6\n%d %d\n255\n", size, size);
    size_t row_bytes = (size_t)size * 3;
    uint8_t *row = (uint8_t *)xmalloc(row_bytes);
    for (int r = 0; r < size; r++) {
        const uint8_t *src = t->shading + r * row_bytes;
        for (size_t k = 0; k < row_bytes; k++)
            row[k] = doubled ? (uint8_t)(src[k] >= 128 ? 255 : src[k] * 2) : src[k];
        data_write(s, row, (int)row_bytes);
    }
    free(row);
    data_close(s);
    return 1;
}

// The error of one quadtree node against its two triangles (split along the chessboard
// diagonal of its own level), and the samples compared.
float node_error(const Terrain *t, int d, int a, int b, int *compared) {
    int cells = 1 << (t->tile_bits - d + 1);
    int c0 = a * cells, r0 = b * cells;
    int size = t->grid_size;
    const float *h = t->heights;
    float h00 = h[r0 * size + c0], h10 = h[r0 * size + c0 + cells];
    float h01 = h[(r0 + cells) * size + c0], h11 = h[(r0 + cells) * size + c0 + cells];
    int same = ((a ^ b) & 1) == 0;
    float inv = 1.0f / (float)cells;
    float worst = 0.0f;
    for (int r = 0; r <= cells; r++) {
        float fv = r * inv;
        const float *line = h + (r0 + r) * size + c0;
        for (int c = 0; c <= cells; c++) {
            float fu = c * inv, plane;
            if (same)
                plane = fv <= fu ? h10 + (1.0f - fu) * (h00 - h10) + fv * (h11 - h10)
                                 : h01 + fu * (h11 - h01) + (1.0f - fv) * (h00 - h01);
            else
                plane = fu + fv <= 1.0f ? h00 + fu * (h10 - h00) + fv * (h01 - h00)
                                        : h11 + (1.0f - fu) * (h01 - h11) + (1.0f - fv) * (h10 - h11);
            float e = std::fabs(line[c] - plane);
            if (e > worst) worst = e;
        }
    }
    *compared = (cells + 1) * (cells + 1);
    return worst;
}

// Bound of a node of depth d in the buffer being rebuilt; 0 outside the field.
inline float build_bound(const Terrain *t, int d, int a, int b) {
    int side = 1 << d;
    if (a < 0 || b < 0 || a >= side || b >= side) return 0.0f;
    return t->lod_build[ground_lod_index(d, a, b)];
}

float node_bound(const Terrain *t, int d, int a, int b, int *compared) {
    float tolerance = t->lod_tolerance > 1e-6f ? t->lod_tolerance : 1e-6f;
    float side = t->world_size * std::ldexp(1.0f, -d);
    float e = node_error(t, d, a, b, compared);
    float k = e / tolerance + 0.70710678f * side;
    k *= k;
    if (d == t->tile_bits) return k;
    static const int around[8][2] = {{0, -1}, {1, -1}, {2, 0}, {2, 1},
                                     {1, 2},  {0, 2},  {-1, 1}, {-1, 0}};
    int ca = 2 * a, cb = 2 * b;
    float m = 0.0f;
    for (const auto &o : around) {
        float v = build_bound(t, d + 1, ca + o[0], cb + o[1]);
        if (v > m) m = v;
    }
    float p = std::sqrt(m) + 3.1622777f * 0.50048828125f * (side * 0.5f);
    p *= p;
    for (int k2 = 0; k2 < 4; k2++) {
        float v = build_bound(t, d + 1, ca + (k2 & 1), cb + (k2 >> 1));
        if (v > p) p = v;
    }
    return k > p ? k : p;
}

// Recomputes the light map (when shading is set) and the normal map (when kept) over a
// rectangle of samples, limited to the field.
void shade_rect(Terrain *t, int c0, int r0, int c1, int r1, int shading) {
    int last = t->grid_size - 1;
    c0 = c0 < 0 ? 0 : c0;
    r0 = r0 < 0 ? 0 : r0;
    c1 = c1 > last ? last : c1;
    r1 = r1 > last ? last : r1;
    for (int r = r0; r <= r1; r++) {
        for (int c = c0; c <= c1; c++) {
            size_t k = (size_t)r * t->grid_size + c;
            Vec3 n;
            terrain_vertex_normal(t, c, r, &n);
            if (shading) {
                float w = vec_dot(n, t->sun_vector);
                w = w > 0.0f ? (w < 1.0f ? w : 1.0f) : 0.0f;
                float light = w * (1.0f - t->shadow[k] / 255.0f);
                uint8_t *rgb = t->shading + 3 * k;
                rgb[0] = light_byte((t->sun_color.x * light + t->ambient.x) * 0.5f * 255.0f);
                rgb[1] = light_byte((t->sun_color.y * light + t->ambient.y) * 0.5f * 255.0f);
                rgb[2] = light_byte((t->sun_color.z * light + t->ambient.z) * 0.5f * 255.0f);
            }
            if (t->ground_normals) {
                uint8_t *out = t->ground_normals + 3 * k;
                out[0] = normal_byte(n.x);
                out[1] = (uint8_t)(255 - t->shadow[k]);
                out[2] = normal_byte(n.z);
            }
        }
    }
}

}  // namespace

void ground_configure(int use_shader, int texture_size, float lod_tolerance) {
    ground.use_shader = use_shader;
    ground.texture_size = texture_size;
    ground.lod_tolerance = lod_tolerance;
}

void ground_set_lighting(Vec3 sun_vector, Vec3 sun_color, Vec3 ambient, int dynamic_lighting) {
    ground.sun_vector = vec_normalize(sun_vector);
    ground.sun_color = sun_color;
    ground.ambient = ambient;
    ground.dynamic_lighting = dynamic_lighting;
}

void ground_defaults(Terrain *t) {
    t->ground_method = 0;
    t->ground_texture_dim = 128;
    t->ground_normal_maps = 0;
    t->shading_dirty[0] = t->shading_dirty[1] = 1;   // empty
    t->shading_dirty[2] = t->shading_dirty[3] = 0;
    t->lod_tolerance = ground.lod_tolerance;
    t->sun_vector = ground.sun_vector;
    t->sun_color = ground.sun_color;
    t->ambient = ground.ambient;
}

int ground_maps_load(Terrain *t, const char *dir, int method) {
    // The renderer falls back to method 1 when it finds no framebuffer objects.
    t->ground_method = method == 2 || method == 3 ? method : 1;
    int dim = ground.texture_size;
    t->ground_texture_dim = t->ground_method == 3 || dim < 256 ? dim : 256;
    t->ground_normal_maps = ground.use_shader && ground.dynamic_lighting && t->ground_method >= 2;
    if (t->ground_normal_maps)
        t->ground_normals = (uint8_t *)xcalloc((size_t)t->grid_size * t->grid_size, 3);
    if (!shading_load(t, dir) || !shadows_load(t, dir)) return 0;
    if (t->ground_normals) shade_rect(t, 0, 0, t->grid_size - 1, t->grid_size - 1, 0);
    return 1;
}

int ground_maps_save(const Terrain *t, const char *prefix) {
    return write_ppm(t, prefix, "shading.ppm", 1) && write_ppm(t, prefix, "shadingx2.ppm", 0);
}

void ground_shading_update(Terrain *t, int c0, int r0, int c1, int r1) {
    int last = t->grid_size - 1;
    c0 = c0 < 0 ? 0 : c0;
    r0 = r0 < 0 ? 0 : r0;
    c1 = c1 > last ? last : c1;
    r1 = r1 > last ? last : r1;
    if (c0 > c1 || r0 > r1) return;
    shade_rect(t, c0, r0, c1, r1, 1);
    int *d = t->shading_dirty;
    if (d[0] > d[2]) {
        d[0] = c0, d[1] = r0, d[2] = c1, d[3] = r1;
    } else {
        d[0] = c0 < d[0] ? c0 : d[0];
        d[1] = r0 < d[1] ? r0 : d[1];
        d[2] = c1 > d[2] ? c1 : d[2];
        d[3] = r1 > d[3] ? r1 : d[3];
    }
}

int ground_take_dirty(Terrain *t, int rect[4]) {
    int *d = t->shading_dirty;
    if (d[0] > d[2]) return 0;
    memcpy(rect, d, 4 * sizeof(int));
    d[0] = 1, d[1] = 1, d[2] = 0, d[3] = 0;
    return 1;
}

int ground_lod_step(Terrain *t, int budget) {
    if (!t->lod_error || !t->lod_build) return 0;
    if (t->lod_build_count == 0) {
        if (t->change_count == t->lod_built_count) return 1;
        t->lod_build_count = t->change_count;
        t->lod_level = t->tile_bits;
        t->lod_node = 0;
    }
    long spent = 0;
    while (t->lod_level >= 0) {
        int d = t->lod_level;
        int side = 1 << d;
        while (t->lod_node < side * side) {
            int a = t->lod_node & (side - 1), b = t->lod_node >> d;
            int compared = 0;
            t->lod_build[ground_lod_index(d, a, b)] = node_bound(t, d, a, b, &compared);
            t->lod_node++;
            spent += 20 + compared;
            if (budget > 0 && spent >= budget) return 0;
        }
        t->lod_level--;
        t->lod_node = 0;
    }
    float *done = t->lod_build;
    t->lod_build = t->lod_error;
    t->lod_error = done;
    t->lod_built_count = t->lod_build_count;
    t->lod_build_count = 0;
    return 1;
}
