// Track lighting: reading and writing "lighting" (sun, ambient light, clipping planes, sky
// pictures, fog and lens flares) with its defaults and limits.
#include "track/lighting.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "track/track_local.h"

static const char *const SKY_KEYWORDS[SKY_FACES] = {"sky_n", "sky_e", "sky_s", "sky_w", "sky_u"};
static const char *const SKY_DEFAULTS[SKY_FACES] = {"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm",
                                                    "@sky-w.ppm", "@sky-u.ppm"};
static const char SKY_ENV_DEFAULT[] = "@sky-env.ppm";

void lighting_defaults(Lighting *lighting) {
    *lighting = Lighting{};
    lighting->sun_vector = vec_normalize(vec3(1, 1, 1));
    lighting->sun_color = vec3(1, 1, 1);
    lighting->ambient = vec3(0.5f, 0.5f, 0.5f);
    lighting->global_ambient = vec3(0.2f, 0.2f, 0.2f);
    lighting->near_plane = 0.25f;
    lighting->far_plane = 5000;
    for (float &c : lighting->fog_color)
        c = 1;
    array_init(&lighting->flares, sizeof(Flare));
}

void lighting_free(Lighting *lighting) {
    if (lighting->flares.elem_size)
        array_free(&lighting->flares);
}

static int read_vector(const char *value, Vec3 *out) {
    Vec3 v;
    if (sscanf(value, " [ %f %f %f ]", &v.x, &v.y, &v.z) != 3 || !finite_all({v.x, v.y, v.z}))
        return 0;
    *out = v;
    return 1;
}

static int is_blank(char c) { return c == ' ' || c == '\t'; }
static int is_line_end(char c) { return c == '\n' || c == '\r' || c == 0; }

static void read_flare_element(Flare *flare, const char *value) {
    if (flare->element_count >= FLARE_ELEMENTS_MAX)
        return;
    FlareElement e = {};
    char texture[1024];
    if (sscanf(value, " [ %f %f ] [ %f %f %f ] %f %1023s", &e.place, &e.size, &e.color.x,
               &e.color.y, &e.color.z, &e.extra, texture) < 7 ||
        !finite_all({e.place, e.size, e.color.x, e.color.y, e.color.z, e.extra}))
        return;
    e.texture_name = intern_string(texture);
    flare->elements[flare->element_count++] = e;
}

// Handles one "keyword value" line; 0 when the keyword is unknown.
static int lighting_line(Lighting *lighting, Flare *flare, const char *keyword,
                         const char *value) {
    if (!strcmp(keyword, "sun_vector"))
        read_vector(value, &lighting->sun_vector);
    else if (!strcmp(keyword, "sun_color"))
        read_vector(value, &lighting->sun_color);
    else if (!strcmp(keyword, "ambient"))
        read_vector(value, &lighting->ambient);
    else if (!strcmp(keyword, "global_ambient"))
        read_vector(value, &lighting->global_ambient);
    else if (!strcmp(keyword, "sky_env"))
        lighting->sky_env = value[0] ? intern_string(value) : nullptr;
    else if (!strcmp(keyword, "flare_element"))
        read_flare_element(flare, value);
    else if (!strcmp(keyword, "flare_point") || !strcmp(keyword, "flare_vector")) {
        if (read_vector(value, &flare->anchor)) {
            flare->directional = !strcmp(keyword, "flare_vector");
            array_push(&lighting->flares, flare);
            *flare = Flare{};
        }
    } else if (!strcmp(keyword, "fog")) {
        float r, g, b, density;
        if (sscanf(value, " [ %f %f %f ] %f", &r, &g, &b, &density) == 4 &&
            finite_all({r, g, b, density})) {
            lighting->fog_color[0] = r;
            lighting->fog_color[1] = g;
            lighting->fog_color[2] = b;
            lighting->fog_density = density;
        }
    } else if (!strcmp(keyword, "dynamic_lighting")) {
        int on;
        if (sscanf(value, "%d", &on) == 1)
            lighting->dynamic_lighting = on > 0;
    } else if (!strcmp(keyword, "near_plane") || !strcmp(keyword, "far_plane")) {
        float plane;
        if (sscanf(value, "%f", &plane) == 1 && std::isfinite(plane))
            (keyword[0] == 'n' ? lighting->near_plane : lighting->far_plane) = plane;
    } else {
        for (int i = 0; i < SKY_FACES; i++)
            if (!strcmp(keyword, SKY_KEYWORDS[i])) {
                lighting->sky[i] = value[0] ? intern_string(value) : nullptr;
                return 1;
            }
        return 0;
    }
    return 1;
}

static void lighting_finish(Lighting *lighting) {
    lighting->near_plane = std::fmin(std::fmax(lighting->near_plane, LIGHTING_NEAR_MIN),
                                     LIGHTING_NEAR_MAX);
    lighting->far_plane = std::fmin(std::fmax(lighting->far_plane, lighting->near_plane),
                                    LIGHTING_FAR_MAX);
    lighting->sun_vector = vec_normalize(lighting->sun_vector);
    for (int i = 0; i < SKY_FACES; i++) {
        if (!lighting->sky[i])
            lighting->sky[i] = intern_string(SKY_DEFAULTS[i]);
        image_get(lighting->sky[i]);
    }
    if (!lighting->sky_env)
        lighting->sky_env = intern_string(SKY_ENV_DEFAULT);
    image_get(lighting->sky_env);
    for (int f = 0; f < lighting->flares.count; f++) {
        const Flare *flare = array_get<Flare>(&lighting->flares, f);
        for (int e = 0; e < flare->element_count; e++)
            image_get(flare->elements[e].texture_name);
    }
}

int lighting_read(Lighting *lighting, const char *name) {
    lighting_free(lighting);
    lighting_defaults(lighting);
    DataStream *stream = data_open(name, "rb");
    if (stream) {
        Flare flare = {};
        char line[1024];
        while (data_gets(stream, line, sizeof line)) {
            // The keyword runs from after the leading blanks to the next blank; the value
            // from after the blanks that follow to the end of the line.
            char *keyword = line;
            while (is_blank(*keyword))
                keyword++;
            char *end = keyword;
            while (!is_blank(*end) && !is_line_end(*end))
                end++;
            char *value = end;
            while (is_blank(*value))
                value++;
            char *value_end = value + strlen(value);
            while (value_end > value && (is_line_end(value_end[-1]) || is_blank(value_end[-1])))
                value_end--;
            *value_end = 0;
            *end = 0;
            if (!keyword[0])
                continue;
            if (!lighting_line(lighting, &flare, keyword, value)) {
                console_printf("Error reading lighting: Unknown identifier '%.950s'\n", keyword);
                break;
            }
        }
        data_close(stream);
    }
    lighting_finish(lighting);
    return stream != nullptr;
}

static void write_vector(DataStream *stream, const char *keyword, Vec3 v) {
    data_printf(stream, "%s [%f %f %f]\n", keyword, v.x, v.y, v.z);
}

int lighting_write(const Lighting *lighting, const char *name) {
    DataStream *stream = data_open(name, "wb");
    if (!stream) {
        console_print("Can't open 'lighting'\n");
        return 0;
    }
    write_vector(stream, "sun_vector", lighting->sun_vector);
    write_vector(stream, "sun_color", lighting->sun_color);
    write_vector(stream, "ambient", lighting->ambient);
    write_vector(stream, "global_ambient", lighting->global_ambient);
    data_printf(stream, "near_plane %f\n", lighting->near_plane);
    data_printf(stream, "far_plane %f\n", lighting->far_plane);
    data_printf(stream, "dynamic_lighting %d\n", lighting->dynamic_lighting);
    if (lighting->fog_density != 0)
        data_printf(stream, "fog [%f %f %f] %f\n", lighting->fog_color[0],
                    lighting->fog_color[1], lighting->fog_color[2], lighting->fog_density);
    for (int i = 0; i < SKY_FACES; i++)
        if (lighting->sky[i] && strcmp(lighting->sky[i], SKY_DEFAULTS[i]) != 0)
            data_printf(stream, "%s %s\n", SKY_KEYWORDS[i], lighting->sky[i]);
    if (lighting->sky_env && strcmp(lighting->sky_env, SKY_ENV_DEFAULT) != 0)
        data_printf(stream, "sky_env %s\n", lighting->sky_env);
    for (int f = 0; f < lighting->flares.count; f++) {
        const Flare *flare = array_get<Flare>(&lighting->flares, f);
        for (int e = 0; e < flare->element_count; e++) {
            const FlareElement &el = flare->elements[e];
            data_printf(stream, "flare_element [%f %f] [%f %f %f] %f %s\n", el.place, el.size,
                        el.color.x, el.color.y, el.color.z, el.extra,
                        el.texture_name ? el.texture_name : "null");
        }
        write_vector(stream, flare->directional ? "flare_vector" : "flare_point", flare->anchor);
    }
    data_close(stream);
    return 1;
}
