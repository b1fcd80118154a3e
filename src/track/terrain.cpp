// The heightfield ground: "terrain.hf" with its binary or "terrain.png" samples, the height
// digest, the geometric queries and saving. Surface tables, deformation and the ground maps
// have their own files; this one ties them together in terrain_load.
#include "track/terrain.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/console.h"
#include "common/ripemd160.h"
#include "files/data.h"
#include "platform/log.h"
#include "render/image.h"
#include "render/png_write.h"
#include "track/decals.h"

namespace {

struct TerrainState {
    int verbose;   // debug level; 2 logs the height digest
};
TerrainState terrain_state;

int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Sample at (c, r) with both indices limited to the field.
inline float sample_at(const Terrain *t, int c, int r) {
    int last = t->grid_size - 1;
    return t->heights[clampi(r, 0, last) * t->grid_size + clampi(c, 0, last)];
}

// Grid coordinate of a world coordinate, kept within one cell of the field: beyond that the
// clamped samples make every answer the same, and the integer conversion stays defined.
inline float grid_coord(float w, float inv, int size) {
    float u = w * inv;
    if (!(u >= -1.0f)) return -1.0f;   // also NaN
    if (u > (float)size) return (float)size;
    return u;
}

// The triangle under grid point (u, v): corners P, Q, R as (column, row) and the weights of
// Q - P and R - P. Cells are split along diagonals that alternate like a chessboard.
struct Tri {
    int pc, pr, qc, qr, rc, rr;
    float w1, w2;
};

inline Tri tri_at(float u, float v) {
    float fi = std::floor(u), fj = std::floor(v);
    int i = (int)fi, j = (int)fj;
    float fu = u - fi, fv = v - fj;
    Tri t;
    if (((i ^ j) & 1) == 0) {
        float a = 1.0f - fu;
        if (a + fv <= 1.0f)
            t = {i + 1, j, i, j, i + 1, j + 1, a, fv};
        else
            t = {i, j + 1, i + 1, j + 1, i, j, 1.0f - a, 1.0f - fv};
    } else {
        if (fu + fv <= 1.0f)
            t = {i, j, i + 1, j, i, j + 1, fu, fv};
        else
            t = {i + 1, j + 1, i, j + 1, i + 1, j, 1.0f - fu, 1.0f - fv};
    }
    return t;
}

std::string track_path(const char *dir, const char *file) {
    std::string path = dir;
    path += "/";
    path += file;
    return path;
}

// Reads the samples (binary after ':' in the open stream, else "terrain.png"), turns them
// into heights and logs the digest at verbose level 2.
void read_samples(Terrain *t, DataStream *hf, int binary, const char *dir) {
    int size = t->grid_size;
    size_t count = (size_t)size * size;
    uint16_t *samples = (uint16_t *)xmalloc(count * sizeof(uint16_t));
    if (binary) {
        // Samples missing at the end of the file read as 0xFF bytes, as the stream reports
        // its end.
        uint8_t *raw = (uint8_t *)xmalloc(count * 2);
        int got = data_read(hf, raw, (int)(count * 2));
        if (got < 0) got = 0;
        memset(raw + got, 0xFF, count * 2 - (size_t)got);
        for (size_t k = 0; k < count; k++) samples[k] = (uint16_t)(raw[2 * k] | raw[2 * k + 1] << 8);
        free(raw);
    } else {
        // A picture smaller than the field repeats its last column and row, a larger one is
        // cut; one that is missing or broken gives flat ground at min_height.
        int width = 0, height = 0;
        uint16_t *picture =
            image_read_png16(track_path(dir, "terrain.png").c_str(), &width, &height);
        for (int r = 0; r < size; r++) {
            const uint16_t *row = picture ? picture + (size_t)(r < height ? r : height - 1) * width
                                          : nullptr;
            for (int c = 0; c < size; c++)
                samples[(size_t)r * size + c] = row ? row[c < width ? c : width - 1] : 0;
        }
        free(picture);
    }
    Ripemd160 digest;
    ripemd160_init(&digest);
    float range = t->max_height - t->min_height;
    for (size_t k = 0; k < count; k++) {
        uint8_t pair[2] = {(uint8_t)(samples[k] & 0xFF), (uint8_t)(samples[k] >> 8)};
        ripemd160_update(&digest, pair, 2);
        t->heights[k] = t->min_height + (float)samples[k] * range * (1.0f / 65535.0f);
    }
    free(samples);
    uint8_t hash[20];
    ripemd160_final(&digest, hash);
    if (terrain_state.verbose >= 2) {
        char hex[41];
        ripemd160_hex(hash, hex);
        log("%s\n", hex);
    }
}

// Sets the grid fields and allocates the buffers that depend only on the grid.
void grid_setup(Terrain *t, int tile_bits, float spacing) {
    t->tile_bits = tile_bits;
    t->spacing = spacing;
    t->grid_size = (1 << (tile_bits + 1)) + 1;
    t->tile_size = 2.0f * spacing;
    t->world_size = (float)(1 << (tile_bits + 1)) * spacing;
    t->change_count = 1;
    size_t count = (size_t)t->grid_size * t->grid_size;
    t->heights = (float *)xcalloc(count, sizeof(float));
    t->tilemap = (uint8_t *)xcalloc((size_t)1 << (2 * tile_bits), 1);
    t->shading = (uint8_t *)xcalloc(count, 3);
    t->shadow = (uint8_t *)xcalloc(count, 1);
    t->lod_node_count = ((1 << (2 * (tile_bits + 1))) - 1) / 3;
    t->lod_error = (float *)xcalloc((size_t)t->lod_node_count, sizeof(float));
    t->lod_build = (float *)xcalloc((size_t)t->lod_node_count, sizeof(float));
    t->lod_forced = (uint8_t *)xcalloc((size_t)(t->lod_node_count + 7) / 8, 1);
}

// Header values that make a field this program can hold.
bool header_usable(int n, float spacing, float lo, float hi) {
    if (n < TERRAIN_MIN_TILE_BITS || n > TERRAIN_MAX_TILE_BITS) return false;
    if (!(spacing > 0.0f) || !std::isfinite(spacing)) return false;
    if (!std::isfinite((float)(1 << (n + 1)) * spacing)) return false;
    return std::isfinite(lo) && std::isfinite(hi) && std::isfinite(hi - lo);
}

// Opens a required track file, showing "Can't open '<path>'" when it is missing.
DataStream *open_required(const char *dir, const char *file) {
    std::string path = track_path(dir, file);
    DataStream *s = data_open(path.c_str(), "rb");
    if (!s) console_printf("Can't open '%.950s'", path.c_str());
    return s;
}

// Surface table and tile map of the track directory; 0 when a required file is missing.
int surfaces_load(Terrain *t, const char *dir) {
    std::string path = track_path(dir, "tileinfo");
    DataStream *s = data_open(path.c_str(), "rb");
    if (s) {
        tileinfo_read(t, s);
    } else {
        s = open_required(dir, "texturelist");
        if (!s) return 0;
        texturelist_read(t, s);
    }
    data_close(s);
    s = open_required(dir, "tilemap");
    if (!s) return 0;
    tilemap_read(t, s);
    data_close(s);
    return 1;
}

}  // namespace

void terrain_set_verbose(int level) { terrain_state.verbose = level; }

int terrain_load(Terrain *t, const char *dir, int method) {
    memset(t, 0, sizeof *t);
    ground_defaults(t);
    DataStream *hf = open_required(dir, "terrain.hf");
    if (!hf) return 0;
    int n = 0;
    float spacing = 0, lo = 0, hi = 0;
    if (data_scan(hf, "%d %f %f %f ", &n, &spacing, &lo, &hi) != 4 ||
        !header_usable(n, spacing, lo, hi)) {
        console_print("Bad height field parameters");
        console_print("Error reading heights");
        data_close(hf);
        return 0;
    }
    int binary = data_getc(hf) == ':';
    t->min_height = lo;
    t->max_height = hi;
    grid_setup(t, n, spacing);
    read_samples(t, hf, binary, dir);
    ground_lod_step(t, 0);
    data_close(hf);

    if (!ground_maps_load(t, dir, method) || !surfaces_load(t, dir)) {
        terrain_free(t);
        return 0;
    }
    array_init(&t->decals, sizeof(Decal));
    for (Array &bucket : t->decal_buckets) array_init(&bucket, sizeof(int));
    decals_read(t, dir);
    return 1;
}

int terrain_create(Terrain *t, int tile_bits, float spacing, const float *heights) {
    memset(t, 0, sizeof *t);
    if (!header_usable(tile_bits, spacing, 0.0f, 0.0f)) return 0;
    ground_defaults(t);
    grid_setup(t, tile_bits, spacing);
    size_t count = (size_t)t->grid_size * t->grid_size;
    if (heights) memcpy(t->heights, heights, count * sizeof(float));
    t->min_height = t->max_height = t->heights[0];
    for (size_t k = 0; k < count; k++) {
        if (t->heights[k] < t->min_height) t->min_height = t->heights[k];
        if (t->heights[k] > t->max_height) t->max_height = t->heights[k];
    }
    memset(t->shading, 128, count * 3);
    t->surface_count = 1;
    surface_defaults(&t->surfaces[0]);
    array_init(&t->decals, sizeof(Decal));
    for (Array &bucket : t->decal_buckets) array_init(&bucket, sizeof(int));
    ground_lod_step(t, 0);
    return 1;
}

float terrain_height(const Terrain *t, float x, float z) {
    if (!t->heights) return 0.0f;
    float inv = 1.0f / t->spacing;
    Tri tri = tri_at(grid_coord(x, inv, t->grid_size), grid_coord(z, inv, t->grid_size));
    float hp = sample_at(t, tri.pc, tri.pr);
    return hp + tri.w1 * (sample_at(t, tri.qc, tri.qr) - hp) +
           tri.w2 * (sample_at(t, tri.rc, tri.rr) - hp);
}

void terrain_face_normal(const Terrain *t, float x, float z, Vec3 *normal) {
    if (!t->heights) {
        *normal = Vec3{0.0f, 1.0f, 0.0f};
        return;
    }
    float inv = 1.0f / t->spacing;
    Tri tri = tri_at(grid_coord(x, inv, t->grid_size), grid_coord(z, inv, t->grid_size));
    float s = t->spacing;
    Vec3 p = {tri.pc * s, sample_at(t, tri.pc, tri.pr), tri.pr * s};
    Vec3 q = {tri.qc * s, sample_at(t, tri.qc, tri.qr), tri.qr * s};
    Vec3 r = {tri.rc * s, sample_at(t, tri.rc, tri.rr), tri.rr * s};
    Vec3 n = vec_cross(q - p, r - p);
    *normal = n.y < 0.0f ? -n : n;
}

void terrain_vertex_normal(const Terrain *t, int column, int row, Vec3 *normal) {
    static const int ring[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {1, 0},
                                   {1, 1},   {0, 1},  {-1, 1}, {-1, 0}};
    if (!t->heights) {
        *normal = Vec3{0.0f, 1.0f, 0.0f};
        return;
    }
    int last = t->grid_size - 1;
    column = clampi(column, 0, last);
    row = clampi(row, 0, last);
    float s = t->spacing;
    Vec3 p0 = {column * s, sample_at(t, column, row), row * s};
    Vec3 around[8];
    for (int k = 0; k < 8; k++) {
        int c = column + ring[k][0], r = row + ring[k][1];
        around[k] = Vec3{c * s, sample_at(t, c, r), r * s} - p0;
    }
    Vec3 sum = {0, 0, 0};
    for (int k = 0; k < 8; k++) sum = sum + vec_normalize(vec_cross(around[(k + 1) & 7], around[k]));
    *normal = vec_normalize(sum);
}

void terrain_tile_at(const Terrain *t, float x, float z, int *i, int *j) {
    float scale = 0.5f / t->spacing;
    float top = (float)((1 << t->tile_bits) - 1);
    float fx = x * scale, fz = z * scale;
    fx = fx >= 0.0f ? (fx <= top ? fx : top) : 0.0f;   // NaN reads tile 0
    fz = fz >= 0.0f ? (fz <= top ? fz : top) : 0.0f;
    *i = (int)fx;
    *j = (int)fz;
}

int terrain_save(Terrain *t, const char *track_name) {
    if (!t->heights) return 0;
    int size = t->grid_size;
    size_t count = (size_t)size * size;
    float lo = t->heights[0], hi = t->heights[0];
    for (size_t k = 0; k < count; k++) {
        if (t->heights[k] < lo) lo = t->heights[k];
        if (t->heights[k] > hi) hi = t->heights[k];
    }
    t->min_height = lo;
    t->max_height = hi;
    std::string prefix = std::string("@") + track_name + "/";

    DataStream *s = data_open((prefix + "terrain.hf").c_str(), "wb");
    if (!s) {
        console_print("Can't open 'terrain.hf'");
        return 0;
    }
    data_printf(s, "%d %f %f %f\n", t->tile_bits, t->spacing, t->min_height, t->max_height);
    data_close(s);

    // A flat field has no range: every sample is 0 then.
    uint16_t *samples = (uint16_t *)xmalloc(count * sizeof(uint16_t));
    float range = hi - lo;
    for (size_t k = 0; k < count; k++) {
        double v = range > 0.0f ? (t->heights[k] - lo) / range * 65535.0 + 0.5 : 0.0;
        samples[k] = (uint16_t)(v < 0.0 ? 0.0 : (v > 65535.0 ? 65535.0 : v));
    }
    int ok = png_write((prefix + "terrain.png").c_str(), size, size, 1, 16, samples);
    free(samples);
    if (!ok) {
        console_print("Can't open 'terrain.png'");
        return 0;
    }
    if (!ground_maps_save(t, prefix.c_str())) return 0;

    s = data_open((prefix + "tilemap").c_str(), "wb");
    if (!s) {
        console_print("Can't open 'tilemap'");
        return 0;
    }
    data_write(s, t->tilemap, 1 << (2 * t->tile_bits));
    data_close(s);

    if (t->decals.elem_size != 0 && !decals_write(&t->decals, (prefix + "decals").c_str()))
        return 0;
    return 1;
}

void terrain_free(Terrain *t) {
    free(t->heights);
    free(t->tilemap);
    free(t->shading);
    free(t->shadow);
    free(t->ground_normals);
    free(t->lod_error);
    free(t->lod_build);
    free(t->lod_forced);
    if (t->decals.elem_size != 0) array_free(&t->decals);
    for (Array &bucket : t->decal_buckets)
        if (bucket.elem_size != 0) array_free(&bucket);
    memset(t, 0, sizeof *t);
}
