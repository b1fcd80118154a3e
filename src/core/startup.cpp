// Start-up and shutdown of the game: the data check, the shipped-shapes digest, the settings,
// the command line, the track and demo lists and the track choice; then, in reverse, what
// has to be saved and closed.
#include "core/startup.h"

#include "bike/contact.h"
#include "common/common.h"
#include "common/console.h"
#include "common/ripemd160.h"
#include "core/command_line.h"
#include "core/race_reset.h"
#include "files/build_digest.h"
#include "files/data.h"
#include "platform/log.h"
#include "race/demo.h"
#include "race/series.h"
#include "settings/config.h"
#include "settings/settings.h"
#include "settings/setup.h"
#include "track/deform.h"
#include "track/track.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

StartupState startup;

static DemoList g_demos;

// The bike part shapes a server checks, in the order they are digested.
static const char *const FIXED_FILES[] = {
    "@generic_frame.shp", "@generic_fork_upper.shp", "@generic_fork_lower.shp",
    "@generic_swingarm.shp", "@front_wheel.shp", "@rear_wheel.shp", "@generic_rider.shp",
};

// Ground texture method of each "Terrain Rendering Method" choice: 1 TexSubImage,
// 2 CopyTexSubImage, 3 framebuffer objects.
static const int GROUND_METHODS[] = {1, 2, 3, 2, 3};

void startup_defaults(StartupState *state) {
    *state = StartupState{};
    state->mmx = 1;   // until start-up asks the processor
    state->depth = 16;
    state->chase_center = vec3(0.0f, 2.52f, 0.52f);
    state->show_pause_text = 1;
    state->show_hud = 1;
    state->draw_fps = state->draw_time = state->draw_ping = HUD_SWITCH_NOT_GIVEN;
    state->detail.max_detail_distance = 70.0f;
    state->detail.detail_fade_end = 75.0f;
}

// The processor's MMX feature bit, which selects the blending loops of the ground textures.
static int cpu_has_mmx() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("mmx") ? 1 : 0;
#else
    return 0;
#endif
}

static double clamp(double v, double low, double high) { return v < low ? low : v > high ? high : v; }

RenderDetail detail_derive(const DetailConfig *config) {
    RenderDetail detail = {};
    detail.terrain_detail = float(0.125 / config->ground_detail);
    detail.ground_texture_level = int(clamp(10.0 - config->ground_texture_detail, 0, 10));
    detail.ground_texture_size = 32 << int(clamp(config->ground_texture_dim, 0, 5));
    // Below the middle setting models switch to simpler versions ever sooner: the scale grows
    // with the cube of the shortfall.
    double scale = clamp(100.0 - config->model_detail, 0, 100) * 0.02;
    if (scale > 1.0)
        scale = scale * scale * scale;
    detail.lod_scale = float(scale);
    detail.lod_bias = float(50.0 - 50.0 * clamp((config->model_detail - 10.0) * 0.05, 0, 1));
    detail.texture_level = int(clamp(10.0 - config->model_texture_detail, 0, 10));
    detail.roost_frequency = int(clamp(config->roost_density, 0, 1000));
    detail.texture_compression = config->texture_compress;
    detail.reflections = config->reflections;
    detail.erosion = 0.0f;
    detail.max_detail_distance = 70.0f;
    detail.detail_fade_end = 75.0f;
    return detail;
}

void fixed_files_digest(char hex[41]) {
    Ripemd160 context;
    ripemd160_init(&context);
    for (const char *name : FIXED_FILES) {
        DataStream *stream = data_open(name, "rb");
        if (!stream)
            continue;
        uint8_t block[4096];
        int got;
        while ((got = data_read(stream, block, sizeof block)) > 0)
            ripemd160_update(&context, block, size_t(got));
        data_close(stream);
    }
    uint8_t digest[20];
    ripemd160_final(&context, digest);
    ripemd160_hex(digest, hex);
}

static int ends_with(const char *text, const char *end) {
    size_t length = strlen(text), end_length = strlen(end);
    return length >= end_length && strcmp(text + length - end_length, end) == 0;
}

void demos_scan() {
    free(g_demos.names);
    free(g_demos.displays);
    g_demos = DemoList{};
    int count = 0;
    const char *const *names = data_names(&count);
    g_demos.names = static_cast<const char **>(xmalloc(sizeof(char *) * size_t(count + 1)));
    g_demos.displays = static_cast<const char **>(xmalloc(sizeof(char *) * size_t(count + 1)));
    for (int i = 0; i < count; i++) {
        const char *name = names[i];
        if (strncmp(name, "demos/", 6) != 0 || !ends_with(name, ".qzdemo"))
            continue;
        const char *file = strrchr(name, '/') + 1;
        char display[256];
        snprintf(display, sizeof display, "%.*s", int(strlen(file) - strlen(".qzdemo")), file);
        g_demos.names[g_demos.count] = intern_string(name);
        g_demos.displays[g_demos.count] = intern_string(display);
        if (startup.debug)
            log("%s -> %s\n", name, display);
        g_demos.count++;
    }
}

const DemoList *demo_list() { return &g_demos; }

// The graphics settings as the detail derivation takes them.
static DetailConfig detail_config_from_settings() {
    DetailConfig config;
    config.ground_detail = settings.ground_detail.value;
    config.ground_texture_detail = settings.ground_texture_detail.value;
    config.ground_texture_dim = settings.ground_texture_dim.index;
    config.model_detail = settings.model_detail.value;
    config.model_texture_detail = settings.model_texture_detail.value;
    config.roost_density = settings.roost_density.value;
    config.texture_compress = settings.texture_compress.index;
    config.reflections = settings.reflections.index;
    return config;
}

// The "Track" choice: the display names, the command line's track or the configured one
// chosen when listed, else the first.
static void track_choose(const char *wanted) {
    const TrackList *list = track_list();
    int chosen = 0;
    for (int i = 0; i < list->count; i++) {
        if (strcmp(list->names[i], wanted) == 0) {
            chosen = i;
            break;
        }
    }
    choice_init(&startup.track_choice, "Track", list->descs, list->count, chosen);
}

// What shutdown does of what start-up reached: the learned lines and the configuration
// are saved, the log closed.
static int shutdown_run() {
    race_lines_save();
    demo_record_close();
    demo_playback_close();
    series_free_all();
    config_write();
    log(nullptr);
    return 0;
}

int startup_before_window(int argc, char **argv) {
    startup_defaults(&startup);
    if (command_line_wants_help(argc, argv)) {
        command_line_usage(stdout);
        return 0;
    }
    // The standard output already takes raw bytes (video frames) unchanged on this system.
    if (!data_check()) {
        message_box("Problem starting Rutmoor", "Can't find game data\n");
        log(nullptr);
        return 1;
    }
    char digest[41];
    fixed_files_digest(digest);
    startup.fixed_files_ok = strcmp(digest, FIXED_FILES_DIGEST) == 0;

    // Settings: built-in defaults (the stability presets among them, the server history
    // empty), the texture lists, then the configuration file over them.
    console_clear();
    settings_reset();
    settings_video_modes(nullptr, 0);
    startup.mmx = cpu_has_mmx();
    if (!startup.mmx)
        log("This CPU does not have MMX!\n");
    setup_textures_build();
    config_read();

    startup.width = settings.xres;
    startup.height = settings.yres;
    DetailConfig config = detail_config_from_settings();
    startup.detail = detail_derive(&config);
    console_set_max_shown(settings.message_lines);

    int status = command_line_apply(&startup, argc, argv);
    if (status != COMMAND_LINE_GO_ON) {
        log(nullptr);
        return status;
    }
    if (startup.draw_fps != HUD_SWITCH_NOT_GIVEN)
        settings.draw_fps = startup.draw_fps;
    if (startup.draw_time != HUD_SWITCH_NOT_GIVEN)
        settings.draw_time = startup.draw_time;
    if (startup.draw_ping != HUD_SWITCH_NOT_GIVEN)
        settings.draw_ping = startup.draw_ping;
    erosion_set_rate(startup.detail.erosion);
    roost_set_frequency(startup.detail.roost_frequency);
    // A server chooses the track itself.
    if (startup.connect)
        startup.track = nullptr;

    track_configure(startup.debug, GROUND_METHODS[settings.render_texture.index],
                    settings.use_shader.index);
    if (!tracks_scan()) {
        log(nullptr);
        return 1;
    }
    demos_scan();
    series_load_all(startup.debug);
    track_choose(startup.track ? startup.track : settings.track.text);
    return COMMAND_LINE_GO_ON;
}

int game_main(int argc, char **argv) {
    int status = startup_before_window(argc, argv);
    if (status != COMMAND_LINE_GO_ON)
        return status;
    fputs("rutmoor: start-up reached the window; the game window is not built yet\n", stderr);
    return shutdown_run();
}
