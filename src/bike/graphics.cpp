// Part models, textures and plate colours of a new bike, loaded in a fixed order by name.
#include "bike/graphics.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/bike.h"
#include "bike/bike_local.h"
#include "common/console.h"
#include "render/image.h"
#include "render/model.h"

namespace {

struct GraphicsState {
    int maps;   // look for normal and specular maps
};
GraphicsState graphics_state;

// One part model for a chosen texture: its variant when the texture names one (also looked
// for in the texture's own directory), else the model file itself.
Model *load_part(const char *file, const char *texture, int warn) {
    char variant[1024];
    if (texture && model_variant_name(file, texture, ".jm", variant, sizeof variant)) {
        Model *model = model_get(variant);
        if (model) return model;
        const char *slash = strrchr(texture, '/');
        if (slash) {
            const char *vslash = strrchr(variant, '/');
            const char *vbase = vslash ? vslash + 1 : (variant[0] == '@' ? variant + 1 : variant);
            char second[2048];
            snprintf(second, sizeof second, "%.*s%s", (int)(slash + 1 - texture), texture, vbase);
            model = model_get(second);
            if (model) return model;
            if (warn) console_printf("Warning: Can't load %.450s or %.450s", variant, second);
            return nullptr;
        }
        if (warn) console_printf("Warning: Can't load %.900s", variant);
        return nullptr;
    }
    Model *model = model_get(file);
    if (!model && warn) console_printf("Warning: Can't load %.900s", file);
    return model;
}

void load_bike_models(Bike *bike, const char *texture, int warn) {
    const BikeModel &m = bike->model;
    BikeGraphics &g = bike->graphics;
    g.frame = load_part(m.files[FILE_FRAME_MODEL], texture, warn);
    g.side_plates = load_part(m.files[FILE_SIDE_PLATES_MODEL], texture, warn);
    g.fork_upper = load_part(m.files[FILE_FORK_UPPER_MODEL], texture, warn);
    g.front_plate = load_part(m.files[FILE_FRONT_PLATE_MODEL], texture, warn);
    g.fork_lower = load_part(m.files[FILE_FORK_LOWER_MODEL], texture, warn);
    g.swingarm = load_part(m.files[FILE_SWINGARM_MODEL], texture, warn);
}

void load_wheel_models(Bike *bike, const char *texture) {
    bike->graphics.front_wheel = load_part(bike->model.files[FILE_FRONT_WHEEL_MODEL], texture, 1);
    bike->graphics.rear_wheel = load_part(bike->model.files[FILE_REAR_WHEEL_MODEL], texture, 1);
}

void load_gear_models(Bike *bike, const char *texture, int first) {
    const BikeModel &m = bike->model;
    if (first) bike->graphics.rider_plate = load_part(m.files[FILE_RIDER_PLATE_MODEL], texture, 0);
    bike->graphics.body = load_part(m.files[FILE_BODY_MODEL], texture, 1);
    bike->graphics.body_fp = load_part(m.files[FILE_BODY_FP_MODEL], texture, 0);
}

const Image *load_texture(const char *name) { return name ? image_get(name) : nullptr; }

// The first map that loads among the chosen texture's and then the default's candidates.
const Image *load_map(const char *chosen, const char *fallback, const char *suffix) {
    char base[1024];
    const char *names[2] = {chosen, fallback};
    if (chosen && !model_variant_name(fallback, chosen, ".foo", base, sizeof base))
        snprintf(base, sizeof base, "%s", chosen);
    if (chosen) names[0] = base;
    for (const char *name : names) {
        if (!name) continue;
        char out[3][1024];
        int n = image_map_names(name, suffix, out);
        for (int i = 0; i < n; i++) {
            const Image *image = image_get(out[i]);
            if (image) return image;
        }
    }
    return nullptr;
}

}  // namespace

void bike_graphics_set_maps(int on) { graphics_state.maps = on ? 1 : 0; }

int plate_colour_parse(const char *text, const char *tag, unsigned char rgb[3]) {
    if (!text) return 0;
    const char *at = strstr(text, tag);
    if (!at) return 0;
    float c[3];
    if (sscanf(at + strlen(tag), "%f,%f,%f", &c[0], &c[1], &c[2]) != 3) return 0;
    // "nan" reads as a float but is no colour.
    for (float v : c)
        if (std::isnan(v)) return 0;
    for (int i = 0; i < 3; i++) rgb[i] = (unsigned char)(clampf(c[i], 0, 1) * 255.0f);
    return 1;
}

void bike_load_graphics(Bike *bike, const char *plate_text, const char *gear_texture,
                        const char *helmet_texture, const char *bike_texture,
                        const char *wheel_texture) {
    const BikeModel &m = bike->model;
    BikeGraphics &g = bike->graphics;
    g = BikeGraphics{};
    const char *chosen[4] = {bike_texture, wheel_texture, gear_texture, helmet_texture};
    const char *defaults[4] = {m.files[FILE_BIKE_TEXTURE], m.files[FILE_WHEEL_TEXTURE],
                               m.files[FILE_GEAR_TEXTURE], m.files[FILE_HELMET_TEXTURE]};
    // No choice means the default picture.
    for (int t = 0; t < 4; t++)
        if (!chosen[t] || !chosen[t][0]) chosen[t] = defaults[t];

    g.texture[TEXTURE_GEAR] = load_texture(chosen[TEXTURE_GEAR]);
    g.texture[TEXTURE_HELMET] = load_texture(chosen[TEXTURE_HELMET]);
    g.texture[TEXTURE_BIKE] = load_texture(chosen[TEXTURE_BIKE]);
    g.texture[TEXTURE_WHEELS] = load_texture(chosen[TEXTURE_WHEELS]);
    load_bike_models(bike, chosen[TEXTURE_BIKE], 1);
    load_wheel_models(bike, chosen[TEXTURE_WHEELS]);
    load_gear_models(bike, chosen[TEXTURE_GEAR], 1);
    g.head = load_part(m.files[FILE_HEAD_MODEL], chosen[TEXTURE_HELMET], 1);

    // A missing picture or part model falls back to the model's own picture.
    if (chosen[TEXTURE_BIKE] != defaults[TEXTURE_BIKE] && (!g.texture[TEXTURE_BIKE] || !g.frame)) {
        chosen[TEXTURE_BIKE] = defaults[TEXTURE_BIKE];
        g.texture[TEXTURE_BIKE] = load_texture(chosen[TEXTURE_BIKE]);
        load_bike_models(bike, chosen[TEXTURE_BIKE], 1);
    }
    if (chosen[TEXTURE_WHEELS] != defaults[TEXTURE_WHEELS] &&
        (!g.texture[TEXTURE_WHEELS] || !g.front_wheel || !g.rear_wheel)) {
        chosen[TEXTURE_WHEELS] = defaults[TEXTURE_WHEELS];
        g.texture[TEXTURE_WHEELS] = load_texture(chosen[TEXTURE_WHEELS]);
        load_wheel_models(bike, chosen[TEXTURE_WHEELS]);
    }
    if (chosen[TEXTURE_GEAR] != defaults[TEXTURE_GEAR] && (!g.texture[TEXTURE_GEAR] || !g.body)) {
        chosen[TEXTURE_GEAR] = defaults[TEXTURE_GEAR];
        g.texture[TEXTURE_GEAR] = load_texture(chosen[TEXTURE_GEAR]);
        load_gear_models(bike, chosen[TEXTURE_GEAR], 0);
    }
    if (chosen[TEXTURE_HELMET] != defaults[TEXTURE_HELMET] && (!g.texture[TEXTURE_HELMET] || !g.head)) {
        chosen[TEXTURE_HELMET] = defaults[TEXTURE_HELMET];
        g.texture[TEXTURE_HELMET] = load_texture(chosen[TEXTURE_HELMET]);
        g.head = load_part(m.files[FILE_HEAD_MODEL], chosen[TEXTURE_HELMET], 1);
    }

    memset(g.plate_background, 255, 3);
    memset(g.plate_foreground, 0, 3);
    if (g.texture[TEXTURE_BIKE]) {
        const char *info = g.texture[TEXTURE_BIKE]->info;
        plate_colour_parse(info, "[numberbackground:", g.plate_background);
        plate_colour_parse(info, "[numberforeground:", g.plate_foreground);
    }
    snprintf(bike->plate_text, sizeof bike->plate_text, "%.7s", plate_text ? plate_text : "");

    if (graphics_state.maps) {
        for (int t = 0; t < 4; t++) {
            const char *own = chosen[t] != defaults[t] ? chosen[t] : nullptr;
            g.normal[t] = load_map(own, defaults[t], "_norm");
            g.specular[t] = load_map(own, defaults[t], "_spec");
        }
    }
}
