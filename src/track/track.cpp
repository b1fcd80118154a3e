// The track list and the loaded track: tracks_scan, track_load with its digest,
// track_unload, and the helpers the object readers share.
#include "track/track.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/ripemd160.h"
#include "files/data.h"
#include "platform/log.h"
#include "render/image.h"
#include "track/billboards.h"
#include "track/ground_shading.h"
#include "track/track_local.h"

enum { DESC_MAX = 1023 };   // longest description kept

static struct {
    TrackConfig config;
    unsigned long (*texture_bytes)();
    TrackList list;
    Track track;
} state = {{0, 3, 0}, nullptr, {}, {}};

void track_configure(int verbose, int ground_method, int use_shader) {
    state.config.verbose = verbose;
    state.config.ground_method = ground_method;
    state.config.use_shader = use_shader;
}

void track_set_texture_bytes(unsigned long (*texture_bytes)()) {
    state.texture_bytes = texture_bytes;
}

const TrackConfig *track_config() { return &state.config; }

float track_ground(const Terrain *terrain, float x, float z) {
    return terrain && terrain->heights ? terrain_height(terrain, x, z) : 0.0f;
}

const char *track_name_or_null(const char *name) {
    if (!name || !name[0] || strcmp(name, "null") == 0)
        return nullptr;
    return intern_string(name);
}

char *track_file(char *out, int size, const char *dir, const char *file) {
    snprintf(out, static_cast<size_t>(size), "%s%s", dir, file);
    return out;
}

// ---- Track list ----

static int ends_with(const char *text, size_t length, const char *suffix) {
    size_t n = strlen(suffix);
    return length >= n && memcmp(text + length - n, suffix, n) == 0;
}

// The first line of the track's "desc" (up to CR, LF, a zero byte or the end), else the
// directory name.
static const char *read_desc(const char *dir) {
    std::string name = std::string("@") + dir + "/desc";
    DataStream *stream = data_open(name.c_str(), "rb");
    if (!stream)
        return dir;
    std::string desc;
    int c;
    while (desc.size() < DESC_MAX && (c = data_getc(stream)) >= 0 && c != 13 && c != 10 && c != 0)
        desc.push_back(static_cast<char>(c));
    data_close(stream);
    return intern_string(desc.c_str());
}

// Case-insensitive byte comparison; a prefix sorts first.
static int desc_compare(const char *a, const char *b) {
    for (;; a++, b++) {
        int ca = tolower(static_cast<unsigned char>(*a));
        int cb = tolower(static_cast<unsigned char>(*b));
        if (ca != cb || !ca)
            return ca - cb;
    }
}

int tracks_scan() {
    TrackList *list = &state.list;
    free(list->names);
    free(list->descs);
    *list = TrackList{};

    int count = 0;
    const char *const *names = data_names(&count);
    list->names = static_cast<const char **>(xmalloc(sizeof(char *) * (count + 1)));
    list->descs = static_cast<const char **>(xmalloc(sizeof(char *) * (count + 1)));
    for (int i = 0; i < count; i++) {
        size_t length = strlen(names[i]);
        if (!ends_with(names[i], length, "/terrain.hf") &&
            !ends_with(names[i], length, "/terrain.hf.gz"))
            continue;
        std::string dir(names[i], strrchr(names[i], '/') - names[i]);
        if (dir.empty())
            continue;
        const char *interned = intern_string(dir.c_str());
        // A plain and a compressed height file in one directory are one track.
        int known = 0;
        for (int t = 0; t < list->count && !known; t++)
            known = list->names[t] == interned;
        if (known)
            continue;
        list->names[list->count] = interned;
        list->descs[list->count] = read_desc(interned);
        list->count++;
    }
    for (int i = 0; i < list->count - 1; i++)
        for (int j = i + 1; j < list->count; j++)
            if (desc_compare(list->descs[i], list->descs[j]) > 0) {
                std::swap(list->names[i], list->names[j]);
                std::swap(list->descs[i], list->descs[j]);
            }
    if (state.config.verbose > 0)
        for (int i = 0; i < list->count; i++)
            log("%s -> %s\n", list->names[i], list->descs[i]);
    if (list->count == 0)
        fputs("No tracks found\n", stderr);
    return list->count;
}

const TrackList *track_list() { return &state.list; }

// ---- Loading ----

// Feeds the complete bytes of a data name into the digest, 1024 at a time; a file that does
// not open adds nothing.
static void digest_file(Ripemd160 *digest, const char *name) {
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return;
    uint8_t block[1024];
    int got;
    while ((got = data_read(stream, block, sizeof block)) > 0)
        ripemd160_update(digest, block, static_cast<size_t>(got));
    data_close(stream);
}

static unsigned long texture_bytes() { return state.texture_bytes ? state.texture_bytes() : 0; }

static void log_memory(const char *after) {
    if (state.config.verbose > 0)
        log("%lu bytes texture memory used after %s creation\n", texture_bytes(), after);
}

static void particles_make(Track *track) {
    ParticlePool *pool = &track->particles;
    for (int i = 0; i < PARTICLE_SLOTS; i++) {
        Particle &p = pool->slots[i];
        p = Particle{};
        p.billboard = billboard_add(&track->billboards, &track->terrain, 0, 0, 0, 1, 1, nullptr);
        p.next = i + 1 < PARTICLE_SLOTS ? i + 1 : -1;
    }
    pool->free_first = 0;
    pool->live_first = -1;
}

// Frees every list and the terrain; the record is left empty (digest kept).
static void track_free(Track *track) {
    timing_clear(&track->timing);
    statue_buckets_free(&track->statue_buckets);
    if (track->statues.elem_size)
        array_free(&track->statues);
    if (track->billboards.elem_size)
        array_free(&track->billboards);
    flaggers_free(&track->flaggers);
    cameras_free(&track->cameras);
    lighting_free(&track->lighting);
    terrain_free(&track->terrain);
    uint8_t digest[TRACK_DIGEST_BYTES];
    memcpy(digest, track->digest, sizeof digest);
    memset(static_cast<void *>(track), 0, sizeof *track);   // plain data, large
    memcpy(track->digest, digest, sizeof digest);
}

int track_load(const char *name) {
    Track *track = &state.track;
    if (track->name)
        track_unload();
    track_free(track);
    track->name = intern_string(name);
    track->desc = track->name;
    for (int i = 0; i < state.list.count; i++)
        if (strcmp(state.list.names[i], name) == 0)
            track->desc = state.list.descs[i];

    std::string dir = std::string("@") + name;
    char file[1100];
    auto path = [&](const char *suffix) {
        return track_file(file, sizeof file, dir.c_str(), suffix);
    };

    Ripemd160 digest;
    ripemd160_init(&digest);
    array_init(&track->billboards, sizeof(Billboard));
    array_init(&track->statues, sizeof(Statue));
    flaggers_free(&track->flaggers);
    cameras_free(&track->cameras);
    timing_clear(&track->timing);
    for (const char *suffix : {"/terrain.hf", "/terrain.png", "/texturelist", "/tilemap", "/tileinfo"})
        digest_file(&digest, path(suffix));
    if (state.config.verbose > 0)
        log("Loading '%s'\n", dir.c_str());

    lighting_read(&track->lighting, path("/lighting"));
    const Lighting &light = track->lighting;
    ground_set_lighting(light.sun_vector, light.sun_color, light.ambient, light.dynamic_lighting);
    if (!terrain_load(&track->terrain, dir.c_str(), state.config.ground_method)) {
        track_free(track);
        memset(track->digest, 0, sizeof track->digest);
        return 0;
    }
    log_memory("hf");

    digest_file(&digest, path("/timing_gates"));
    gates_read(&track->timing, &track->statues, &track->terrain, path("/timing_gates"));
    particles_make(track);
    flaggers_read(&track->flaggers, &track->billboards, &track->terrain,
                  track->timing.gate_count, path("/flaggers"));
    log_memory("flagger");

    track->first_billboard = track->billboards.count;
    track->first_statue = track->statues.count;
    billboards_read(&track->billboards, &track->terrain, path("/billboards"));
    log_memory("billboard");
    digest_file(&digest, path("/statues"));
    statues_read(&track->statues, &track->terrain, path("/statues"));
    log_memory("statue");

    if (image_get(path("/map.png")))
        track->map_picture = intern_string(file);
    statue_buckets_build(&track->statue_buckets, &track->statues, &track->terrain);

    // Each distinct statue shape file once, in statue order.
    std::vector<const char *> shapes_seen;
    for (int i = 0; i < track->statues.count; i++) {
        const Statue *statue = array_get<Statue>(&track->statues, i);
        if (!statue->shape)
            continue;
        int seen = 0;
        for (const char *shape : shapes_seen)
            seen |= strcmp(shape, statue->shape_name) == 0;
        if (seen)
            continue;
        shapes_seen.push_back(statue->shape_name);
        digest_file(&digest, statue->shape_name);
    }
    ripemd160_final(&digest, track->digest);

    cameras_read(&track->cameras, &track->terrain, path("/cameras"));
    return 1;
}

void track_unload() {
    Track *track = &state.track;
    if (!track->name)
        return;
    log("Deallocating track\n");
    track_free(track);
    log("Finished deallocating track\n");
}

Track *track_get() { return &state.track; }

const uint8_t *track_digest() { return state.track.digest; }
