// The program-wide settings record: built-in defaults, labels and ranges, video mode choices.
#include "settings/settings.h"

#include "common/common.h"
#include "settings/setup.h"

#include <cstdio>
#include <vector>

Settings settings;

static const char *const NO_YES[] = {"No", "Yes"};
static const char *const SKILLS[] = {"Novice", "Amateur", "Expert"};
static const char *const START_TYPES[] = {"Empty", "Human", "Robot", "Robot (2 stroke)",
                                          "Robot (4 stroke)"};
static const char *const TEXTURE_DIMS[] = {"32x32",   "64x64",   "128x128",
                                           "256x256", "512x512", "1024x1024"};
static const char *const COMPRESSION[] = {"No", "Yes", "Always"};
static const char *const RENDER_METHODS[] = {"Software", "Hardware/Copy", "Hardware/Direct",
                                             "Shaders/Copy", "Shaders/Direct"};
static const char *const PLAYBACK_MODES[] = {"Playback Only", "Race Against"};
static const char *const BASE_VIDEO_MODES[] = {"Default Fullscreen", "Windowed"};

#define LIST(a) a, static_cast<int>(sizeof a / sizeof a[0])

// Labels and default keys of the bindings, in BindingIndex order.
static const char *const BINDING_DEFAULTS[BINDING_COUNT][2] = {
    {"Throttle", "x"},        {"Front Brake", "c"},   {"Rear Brake", "v"},
    {"Left", "left"},         {"Right", "right"},     {"Clutch", "z"},
    {"Upshift", "up"},        {"Downshift", "down"},  {"Sit/Dab", "right ctrl"},
    {"Back up", "b"},         {"Lean Forward", "n"},  {"Lean Backward", "m"},
    {"Pause", "pause"},       {"Step", "."},          {"Rewind", "\\"},
    {"Skip", "/"},            {"Previous Bike", "["}, {"Next Bike", "]"},
    {"Chat", "t"},            {"Screenshot", "s"},
};

static struct {
    char gate_labels[START_GATES][12];    // "Gate 1" .. "Gate 40"
    std::vector<const char *> video_modes;   // interned choice texts
    bool modes_known;                        // the display listed its modes
} settings_state;

// The default lineup by gate label number ("Gate 1" is slot 0): the player on Gate 20 with
// robots on Gates 18, 19 and 21 to 23.
static int default_start_type(int slot) {
    int gate = slot + 1;
    if (gate == 20)
        return START_HUMAN;
    if (gate == 18 || gate == 19 || (gate >= 21 && gate <= 23))
        return START_ROBOT;
    return START_EMPTY;
}

void settings_reset() {
    Settings *s = &settings;
    s->xres = 640;
    s->yres = 480;
    s->draw_fps = 0;
    s->draw_time = 0;
    s->draw_ping = 1;
    s->spy = 0;
    text_init(&s->track, nullptr, TRACK_NAME_CHARS, 0, "rabbithill");
    choice_init(&s->record, "Record Demo", LIST(NO_YES), 0);
    choice_init(&s->skill, "Robot Skill", LIST(SKILLS), 0);
    number_init(&s->minutes, "Minutes", 0, 1, 0, 60);
    number_init(&s->laps, "Laps", 5, 1, 0, 50);
    for (int i = 0; i < START_GATES; i++) {
        char *label = settings_state.gate_labels[i];
        snprintf(label, sizeof settings_state.gate_labels[i], "Gate %d", i + 1);
        choice_init(&s->slot[i], label, LIST(START_TYPES), default_start_type(i));
    }
    number_init(&s->ghost_fade_distance, "Ghost Fade Distance", 10, 1, 0, 40);
    choice_init(&s->time_trial_abort, "Backing Up Aborts Attempt", LIST(NO_YES), 1);
    text_init(&s->server_name, "Server", SERVER_NAME_CHARS, 1, "localhost");
    for (TextItem &entry : s->server_name_hist)
        text_init(&entry, nullptr, SERVER_HISTORY_CHARS, 1, "");
    number_init(&s->ground_detail, "Ground Geometric Detail", 70, 1, 0, 100);
    number_init(&s->ground_texture_detail, "Ground Texture Levels", 9, 1, 0, 10);
    choice_init(&s->ground_texture_dim, "Ground Texture Resolution", LIST(TEXTURE_DIMS), 1);
    choice_init(&s->ground_mipmaps, "Enable Ground Mipmaps", LIST(NO_YES), 1);
    choice_init(&s->texture_compress, "Compress Textures", LIST(COMPRESSION), 0);
    choice_init(&s->render_texture, "Terrain Rendering Method", LIST(RENDER_METHODS), 0);
    choice_init(&s->use_shader, "Use Shader Programs", LIST(NO_YES), 1);
    number_init(&s->model_detail, "Model Geometric Detail", 50, 1, 0, 100);
    number_init(&s->model_texture_detail, "Model Texture Detail", 9, 1, 0, 10);
    number_init(&s->roost_density, "Roost Density", 1000, 10, 0, 1000);
    choice_init(&s->lens_flare, "Enable Lens Flares", LIST(NO_YES), 1);
    choice_init(&s->reflections, "Enable Reflections", LIST(NO_YES), 1);
    choice_init(&s->hide_rider, "Hide 1st Person Rider", LIST(NO_YES), 0);
    choice_init(&s->rigid_camera, "Rigid 3rd person camera", LIST(NO_YES), 0);
    number_init(&s->fov, "Field Of View", 110, 1, 10, 170);
    number_init(&s->first_person_height, "1st Person Height", 0, 0.03125, 0, 1);
    number_init(&s->first_person_angle, "1st Person Angle", 0, 1, 0, 40);
    number_init(&s->third_person_height, "3rd Person Height", 5, 1, 0, 20);
    number_init(&s->third_person_distance, "3rd Person Distance", 10, 1, 5, 40);
    number_init(&s->volume, "Volume", 10, 1, 0, 10);
    choice_init(&s->video_mode, "Video Mode", LIST(BASE_VIDEO_MODES), VIDEO_MODE_DEFAULT_FULLSCREEN);
    settings_state.video_modes.clear();
    settings_state.modes_known = false;
    choice_init(&s->playback_mode, "Playback Mode", LIST(PLAYBACK_MODES), 0);
    s->billboard_optimize_lookahead = 8;
    s->message_lines = 5;
    for (int i = 0; i < BINDING_COUNT; i++)
        binding_init(&s->bindings[i], BINDING_DEFAULTS[i][0], BINDING_DEFAULTS[i][1]);
    setup_reset();
}

void settings_video_modes(const VideoMode *modes, int count) {
    ChoiceItem *item = &settings.video_mode;
    const char *current = choice_text(item);
    std::vector<const char *> &texts = settings_state.video_modes;
    texts.assign(BASE_VIDEO_MODES, BASE_VIDEO_MODES + 2);
    settings_state.modes_known = count > 0;
    for (int i = 0; i < count; i++) {
        if (modes[i].depth != modes[0].depth)
            continue;
        char text[32];
        snprintf(text, sizeof text, "%dx%d", modes[i].width, modes[i].height);
        const char *choice = intern_string(text);
        bool listed = false;
        for (const char *t : texts)
            listed = listed || t == choice;
        if (!listed)
            texts.push_back(choice);
    }
    choice_set_list(item, texts.data(), static_cast<int>(texts.size()),
                    VIDEO_MODE_DEFAULT_FULLSCREEN);
    choice_select(item, current);
}

int settings_video_mode_select(const char *text) {
    ChoiceItem *item = &settings.video_mode;
    if (choice_select(item, text))
        return 1;
    if (settings_state.modes_known)
        return 0;
    int width, height;
    char rest;
    if (sscanf(text, "%dx%d%c", &width, &height, &rest) != 2 || width <= 0 || height <= 0)
        return 0;
    std::vector<const char *> &texts = settings_state.video_modes;
    if (texts.empty())
        texts.assign(BASE_VIDEO_MODES, BASE_VIDEO_MODES + 2);
    texts.push_back(intern_string(text));
    choice_set_list(item, texts.data(), static_cast<int>(texts.size()),
                    VIDEO_MODE_DEFAULT_FULLSCREEN);
    return choice_select(item, text);
}
