// Surface types: defaults, the "tileinfo" and "texturelist" readers, the tile map, the
// editor's transition codes and the grip and rolling-resistance lookups. Texture names are
// kept as read; the renderer turns them into textures or pixels later.
#include "track/surface.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/console.h"
#include "files/data.h"
#include "track/terrain.h"

namespace {

constexpr float MIN_CURVE_SPEED = 9.5367431640625e-7f;   // 2^-20
constexpr float STEP_SECONDS = 1.0f / 128.0f;
constexpr int LINE_BYTES = 1024;

// Clamps a value read from a file below at lo; NaN reads as lo.
inline float at_least(float v, float lo) { return v >= lo ? v : lo; }

// A double narrowed to float without leaving the float range undefined.
inline float narrow(double v) {
    if (v > FLT_MAX) return INFINITY;
    if (v < -FLT_MAX) return -INFINITY;
    return (float)v;
}

// Integer part of v, low 8 bits kept (as the byte's two's-complement pattern).
inline uint8_t low_byte(double v) {
    if (!std::isfinite(v)) return 0;
    double m = std::fmod(std::trunc(v), 256.0);
    if (m < 0) m += 256.0;
    return (uint8_t)m;
}

// The name kept for transition codes: without a leading '@' and any directory part.
std::string stem_name(const char *name) {
    if (!name) return std::string();
    if (*name == '@') name++;
    const char *slash = strrchr(name, '/');
    return std::string(slash ? slash + 1 : name);
}

// The type under construction while "tileinfo" is read.
struct TypeBuilder {
    Surface surface;
    int friction_points;
    int roll_points;
    int roost_slots;
    std::string name;   // texture name for the transition code
};

void builder_reset(TypeBuilder *b) {
    surface_defaults(&b->surface);
    b->friction_points = 0;
    b->roll_points = 0;
    b->roost_slots = 0;
    b->name.clear();
}

// Exchange sort of a curve's first count points by speed, carrying the other columns along.
void sort_curve(float *speed, float *a, float *b, int count) {
    for (int i = 0; i < count; i++)
        for (int j = i + 1; j < count; j++)
            if (speed[j] < speed[i]) {
                std::swap(speed[i], speed[j]);
                std::swap(a[i], a[j]);
                if (b) std::swap(b[i], b[j]);
            }
}

// Splits a roost value into words at blanks and control separators; double quotes bound
// stretches that keep separators (the quotes themselves are dropped).
std::vector<std::string> split_words(const char *text) {
    std::vector<std::string> words;
    const char *p = text;
    for (;;) {
        while (*p && strchr(" \f\n\r\t\b", *p)) p++;
        if (!*p) break;
        std::string word;
        while (*p && !strchr(" \f\n\r\t\b", *p)) {
            if (*p == '"') {
                p++;
                while (*p && *p != '"') word += *p++;
                if (*p == '"') p++;
            } else {
                word += *p++;
            }
        }
        words.push_back(word);
    }
    return words;
}

// Reads a roost number after its prefix; warns "tileinfo warning: bad <key>" when nothing
// converts, and returns the conversion's result (0 then).
double roost_number(const char *text, const char *key) {
    char *end;
    double v = strtod(text, &end);
    if (end == text) console_printf("tileinfo warning: bad %s\n", key);
    return v;
}

void roost_line(TypeBuilder *b, const char *value) {
    if (b->roost_slots >= SURFACE_ROOST_SLOTS) {
        console_print("tileinfo warning: too many roost types\n");
        return;
    }
    RoostType *roost = &b->surface.roost[b->roost_slots++];
    roost_defaults(roost);
    roost->kind = 1;
    std::vector<std::string> words = split_words(value);
    struct FloatKey {
        const char *prefix;
        float RoostType::*field;
    };
    static const FloatKey floats[] = {
        {"count=", &RoostType::count},           {"dig=", &RoostType::dig},
        {"slip_threshold=", &RoostType::slip_threshold},
        {"slow_angle=", &RoostType::slow_angle}, {"fast_angle=", &RoostType::fast_angle},
        {"slow_speed=", &RoostType::slow_speed}, {"fast_speed=", &RoostType::fast_speed},
        {"size=", &RoostType::size},             {"grow=", &RoostType::grow},
        {"drag=", &RoostType::drag},             {"vscale=", &RoostType::vscale},
        {"randomize=", &RoostType::randomize},
    };
    struct ByteKey {
        const char *prefix;
        uint8_t RoostType::*field;
    };
    static const ByteKey colours[] = {
        {"r=", &RoostType::r}, {"g=", &RoostType::g}, {"b=", &RoostType::b}, {"a=", &RoostType::a}};
    struct FadeKey {
        const char *prefix;
        int8_t RoostType::*field;
    };
    static const FadeKey fades[] = {{"fade_r=", &RoostType::fade_r},
                                    {"fade_g=", &RoostType::fade_g},
                                    {"fade_b=", &RoostType::fade_b},
                                    {"fade_a=", &RoostType::fade_a}};
    for (const std::string &text : words) {
        const char *word = text.c_str();
        auto starts = [word](const char *prefix, const char **rest) {
            size_t n = strlen(prefix);
            if (strncmp(word, prefix, n) != 0) return false;
            *rest = word + n;
            return true;
        };
        const char *rest = nullptr;
        bool matched = false;
        if (starts("texture=", &rest)) {
            roost->texture_name = intern_string(rest);
            matched = true;
        } else if (starts("splash=", &rest)) {
            if (strtod(rest, nullptr) != 0.0) roost->kind = 2;
            matched = true;
        }
        for (const FloatKey &k : floats) {
            if (matched) break;
            if (starts(k.prefix, &rest)) {
                std::string key(k.prefix, strlen(k.prefix) - 1);
                roost->*k.field = narrow(roost_number(rest, key.c_str()));
                matched = true;
            }
        }
        for (const ByteKey &k : colours) {
            if (matched) break;
            if (starts(k.prefix, &rest)) {
                std::string key(k.prefix, strlen(k.prefix) - 1);
                roost->*k.field = low_byte(roost_number(rest, key.c_str()));
                matched = true;
            }
        }
        for (const FadeKey &k : fades) {
            if (matched) break;
            if (starts(k.prefix, &rest)) {
                std::string key(k.prefix, strlen(k.prefix) - 1);
                roost->*k.field = (int8_t)low_byte(roost_number(rest, key.c_str()) * STEP_SECONDS);
                matched = true;
            }
        }
        if (!matched) console_printf("tileinfo warning: unknown roost parameter '%.40s'\n", word);
    }
}

// Stores the finished type as entry surface_count and begins the next.
void builder_finish(Terrain *t, TypeBuilder *b, std::string names[]) {
    Surface *s = &b->surface;
    sort_curve(s->friction_speed, s->friction_value, nullptr, b->friction_points);
    sort_curve(s->roll_speed, s->roll_low, s->roll_high, b->roll_points);
    t->surfaces[t->surface_count] = *s;
    names[t->surface_count] = stem_name(b->name.empty() ? nullptr : b->name.c_str());
    t->surface_count++;
    builder_reset(b);
}

// Applies the transition codes from the stems kept while reading.
void set_transitions(Terrain *t, const std::string names[]) {
    const char *list[SURFACE_MAX];
    for (int k = 0; k < t->surface_count; k++) list[k] = names[k].c_str();
    surface_transitions(t, list);
}

// Length of name up to (not including) the first c, or its whole length.
size_t span_to(const char *name, char c) {
    const char *p = strchr(name, c);
    return p ? (size_t)(p - name) : strlen(name);
}

// First type whose name up to its first '.' equals the given text of length n; -1 if none.
int find_type(const char *const *names, int count, const char *text, size_t n) {
    for (int k = 0; k < count; k++)
        if (span_to(names[k], '.') == n && strncmp(names[k], text, n) == 0) return k;
    return -1;
}

struct ErodeKey {
    const char *keyword;
    float ErodeParams::*field;
};
const ErodeKey erode_keys[] = {
    {"erode_depth", &ErodeParams::erode_depth},
    {"erode_lower", &ErodeParams::erode_lower},
    {"erode_upper", &ErodeParams::erode_upper},
    {"erode_displacement", &ErodeParams::erode_displacement},
    {"erode_radius", &ErodeParams::erode_radius},
    {"erode_max_slope", &ErodeParams::erode_max_slope},
    {"erode_off_speed", &ErodeParams::erode_off_speed},
    {"erode_on_speed", &ErodeParams::erode_on_speed},
};

}  // namespace

void roost_defaults(RoostType *r) {
    *r = RoostType{};
    r->kind = 0;
    r->texture_name = intern_string("@roost.png");
    r->count = 10.0f;
    r->dig = 1.0f;
    r->slip_threshold = 4.0f;
    r->slow_angle = 1.5707964f;
    r->fast_angle = 0.19634955f;
    r->slow_speed = 0.0f;
    r->fast_speed = 64.0f;
    r->size = 0.25f;
    r->grow = 4.0f;
    r->drag = 0.5f;
    r->vscale = 1.0f;
    r->randomize = 15.0f;
    r->r = r->g = r->b = r->a = 255;
    r->fade_r = r->fade_g = r->fade_b = 0;
    r->fade_a = -2;
}

void erode_defaults(ErodeParams *e) {
    e->erode_depth = 1.0f;
    e->erode_lower = 50.0f;
    e->erode_upper = 150.0f;
    e->erode_displacement = 2.0f;
    e->erode_radius = 4.0f;
    e->erode_max_slope = 0.25f;
    e->erode_off_speed = 10.0f;
    e->erode_on_speed = 15.0f;
}

void surface_defaults(Surface *s) {
    *s = Surface{};
    s->friction_value[0] = 1.0f;
    s->friction_speed[0] = 1.0f;
    s->roll_low[0] = 5.0f;
    s->roll_high[0] = 15.0f;
    s->roll_speed[0] = 1.0f;
    for (RoostType &r : s->roost) roost_defaults(&r);
    erode_defaults(&s->erode);
}

int surface_at(const Terrain *t, float x, float z) {
    if (!t->tilemap) return 0;
    int i, j;
    terrain_tile_at(t, x, z, &i, &j);
    return t->tilemap[(j << t->tile_bits) + i];
}

float surface_friction(const Surface *s, float speed_sq) {
    int i = 0;
    while (i < SURFACE_CURVE_POINTS && s->friction_speed[i] != 0.0f &&
           !(s->friction_speed[i] * s->friction_speed[i] > speed_sq))
        i++;
    if (i == 0) return s->friction_value[0];
    if (i == SURFACE_CURVE_POINTS || s->friction_speed[i] == 0.0f) return s->friction_value[i - 1];
    float a = s->friction_speed[i - 1] * s->friction_speed[i - 1];
    float b = s->friction_speed[i] * s->friction_speed[i];
    float w = (speed_sq - a) / (b - a);
    w = w > 0.0f ? (w < 1.0f ? w : 1.0f) : 0.0f;
    return s->friction_value[i - 1] + w * (s->friction_value[i] - s->friction_value[i - 1]);
}

RollResist surface_roll_resist(const Surface *s, float speed) {
    int i = 0;
    while (i < SURFACE_CURVE_POINTS && s->roll_speed[i] != 0.0f && !(s->roll_speed[i] > speed)) i++;
    if (i == 0) return {s->roll_low[0], s->roll_high[0]};
    if (i == SURFACE_CURVE_POINTS || s->roll_speed[i] == 0.0f)
        return {s->roll_low[i - 1], s->roll_high[i - 1]};
    float w = (speed - s->roll_speed[i - 1]) / (s->roll_speed[i] - s->roll_speed[i - 1]);
    w = w > 0.0f ? (w < 1.0f ? w : 1.0f) : 0.0f;
    return {s->roll_low[i - 1] + w * (s->roll_low[i] - s->roll_low[i - 1]),
            s->roll_high[i - 1] + w * (s->roll_high[i] - s->roll_high[i - 1])};
}

int tileinfo_read(Terrain *t, DataStream *stream) {
    TypeBuilder builder;
    std::string names[SURFACE_MAX];
    builder_reset(&builder);
    char line[LINE_BYTES];
    while (t->surface_count < SURFACE_MAX && data_gets(stream, line, (int)sizeof line)) {
        char *p = line;
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') p++;
        if (!*p) continue;
        char *key_end = p + strcspn(p, " \t\r\n");
        char *value = key_end;
        if (*value) {
            *value++ = 0;   // the one separator ends the keyword
            while (*value == ' ' || *value == '\t') value++;
            value[strcspn(value, "\r\n")] = 0;
        }
        const char *key = p;
        Surface *s = &builder.surface;
        if (strcmp(key, "texture") == 0) {
            s->texture_name = intern_string(value);
            builder.name = value;
        } else if (strcmp(key, "friction") == 0) {
            float v, speed;
            if (sscanf(value, "%f %f", &v, &speed) != 2) {
                console_print("tileinfo warning: bad friction parameters\n");
            } else if (builder.friction_points >= SURFACE_CURVE_POINTS) {
                console_print("tileinfo warning: too many friction points\n");
            } else {
                s->friction_value[builder.friction_points] = at_least(v, 0.0f);
                s->friction_speed[builder.friction_points] = at_least(speed, MIN_CURVE_SPEED);
                builder.friction_points++;
            }
        } else if (strcmp(key, "roll_resist") == 0) {
            float lo, hi, speed;
            if (sscanf(value, "%f %f %f", &lo, &hi, &speed) != 3) {
                console_print("tileinfo warning: bad roll_resist parameters\n");
            } else if (builder.roll_points >= SURFACE_CURVE_POINTS) {
                console_print("tileinfo warning: too many roll_resist points\n");
            } else {
                s->roll_low[builder.roll_points] = at_least(lo, 0.0f);
                s->roll_high[builder.roll_points] = at_least(hi, 0.0f);
                s->roll_speed[builder.roll_points] = at_least(speed, MIN_CURVE_SPEED);
                builder.roll_points++;
            }
        } else if (strcmp(key, "roost") == 0) {
            roost_line(&builder, value);
        } else if (strcmp(key, "addtile") == 0) {
            builder_finish(t, &builder, names);
        } else {
            bool matched = false;
            for (const ErodeKey &k : erode_keys) {
                if (strcmp(key, k.keyword) != 0) continue;
                matched = true;
                float v;
                if (sscanf(value, "%f", &v) == 1)
                    s->erode.*k.field = v;
                else
                    console_printf("tileinfo warning: bad %s\n", k.keyword);
            }
            if (!matched) console_printf("tileinfo warning: Unknown identifier '%.950s'\n", key);
        }
    }
    set_transitions(t, names);
    return 1;
}

int texturelist_read(Terrain *t, DataStream *stream) {
    std::string names[SURFACE_MAX];
    char line[LINE_BYTES];
    while (t->surface_count < SURFACE_MAX && data_gets(stream, line, (int)sizeof line)) {
        char *p = line;
        while (*p && strchr(" \t\r\n\f\v", *p)) p++;
        if (!*p) continue;
        float friction = 1.0f, low = 5.0f, high = 15.0f;
        int used = 0;
        const char *name = p;
        if (sscanf(p, "%f %f %f%n", &friction, &low, &high, &used) == 3) {
            name = p + used;
            while (*name && strchr(" \t\r\n\f\v", *name)) name++;
        } else {
            friction = 1.0f, low = 5.0f, high = 15.0f;
        }
        // The line end is not part of the name; a last line without one keeps every byte.
        std::string data_name = std::string("@") + name;
        while (!data_name.empty() && (data_name.back() == '\n' || data_name.back() == '\r'))
            data_name.pop_back();
        Surface *s = &t->surfaces[t->surface_count];
        surface_defaults(s);
        for (int k = 0; k < SURFACE_CURVE_POINTS; k++) {
            // A grip or resistance that is negative or not a number would upset the physics.
            s->friction_value[k] = at_least(friction, 0.0f);
            s->friction_speed[k] = k == 0 ? 1.0f : 0.0f;
            s->roll_low[k] = at_least(low, 0.0f);
            s->roll_high[k] = at_least(high, 0.0f);
            s->roll_speed[k] = k == 0 ? 1.0f : 0.0f;
        }
        s->roost[0].kind = 1;
        s->texture_name = intern_string(data_name.c_str());
        names[t->surface_count] = stem_name(data_name.c_str());
        t->surface_count++;
    }
    set_transitions(t, names);
    return 1;
}

void tilemap_read(Terrain *t, DataStream *stream) {
    int count = 1 << (2 * t->tile_bits);
    memset(t->tilemap, 0, (size_t)count);
    int got = data_read(stream, t->tilemap, count);
    (void)got;   // a short map leaves type 0 on the missing tiles
    int top = t->surface_count > 0 ? t->surface_count - 1 : 0;
    for (int k = 0; k < count; k++)
        if (t->tilemap[k] > top) t->tilemap[k] = (uint8_t)top;
}

void surface_transitions(Terrain *t, const char *const *names) {
    for (int k = 0; k < t->surface_count; k++) {
        const char *name = names[k];
        int code = k * 65536 + k * 256;
        const char *dash = strchr(name, '-');
        int a = dash ? find_type(names, t->surface_count, name, (size_t)(dash - name)) : -1;
        if (a >= 0) {
            const char *rest = dash + 1;
            if (strncmp(rest, "alt", 3) == 0 && rest[3] >= '0' && rest[3] <= '9') {
                code = a * 65536 + a * 256;
            } else {
                const char *dash2 = strchr(rest, '-');
                int b = dash2 ? find_type(names, t->surface_count, rest, (size_t)(dash2 - rest)) : -1;
                if (b < 0) {
                    code = -256;
                } else {
                    code = a * 65536 + b * 256;
                    const char *bits = dash2 + 1;
                    int mask = 0, k2 = 0;
                    for (; k2 < 4 && (bits[k2] == '0' || bits[k2] == '1'); k2++)
                        mask = mask * 2 + (bits[k2] - '0');
                    if (k2 == 4) code += mask;
                }
            }
        }
        t->surfaces[k].transition = code;
    }
}
