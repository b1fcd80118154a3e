// The program-wide settings record: every configuration key and bike setup key as a setting
// item with its label, default and range, and the video mode choices.
#pragma once

#include "settings/binding.h"
#include "settings/items.h"

enum {
    START_GATES = 40,              // "Gate 1" .. "Gate 40"
    SERVER_HISTORY = 16,           // recently used servers
    SERVER_NAME_CHARS = 127,
    SERVER_HISTORY_CHARS = 126,    // a longer history value is ignored, not cut
    TRACK_NAME_CHARS = 255,
    RIDER_NAME_CHARS = 63,
    PLATE_CHARS = 3,
};

// Start types of the gate choices, in choice order.
enum StartType {
    START_EMPTY, START_HUMAN, START_ROBOT, START_ROBOT_2_STROKE, START_ROBOT_4_STROKE,
};

// "Default Fullscreen" and "Windowed" come first in the video mode choices.
enum {
    VIDEO_MODE_DEFAULT_FULLSCREEN = 0,
    VIDEO_MODE_WINDOWED = 1,
};

// One display mode the platform lists.
struct VideoMode {
    int width, height, depth;
};

// The bike, rider appearance, riding assists and suspension and gearing adjustments.
struct BikeSetup {
    ChoiceItem bike;               // model name
    TextItem name;                 // rider's name, 63 characters
    TextItem number;               // plate text, 3 characters
    ChoiceItem rider_texture;      // "default" or a "rider_body-" texture
    ChoiceItem head_texture;       // "rider_head-"
    ChoiceItem bike_texture;       // the model's own texture prefix
    ChoiceItem wheel_texture;      // "wheels-"
    NumberItem stability;          // 0..100: sets the fifteen assists below it
    NumberItem leveling;
    NumberItem roll_damping;
    NumberItem roll_limit_angle;   // degrees
    NumberItem roll_limit_factor;
    NumberItem steering_damping;
    NumberItem steering_strength;
    NumberItem max_steering_force;
    NumberItem direct_steering;    // 0 lean-targeting .. 1 direct torque
    NumberItem slow_damping_speed;
    NumberItem slow_damping_factor;
    NumberItem land_damping_falloff;
    NumberItem land_damping_factor;
    NumberItem full_lock_speed;
    NumberItem restricted_lock_speed;
    NumberItem restricted_lock;    // degrees
    ChoiceItem arcade;             // "No", "Yes"
    ChoiceItem front_brake;        // "Normal", "Antilock"
    ChoiceItem rear_brake;         // "Normal", "Antilock"
    ChoiceItem stop_wheelies;      // "No", "Yes", "Front Only"
    ChoiceItem auto_shift;
    ChoiceItem auto_dab;
    ChoiceItem sticky_dab;
    ChoiceItem reverse_steering;
    ChoiceItem lean_indicator;
    NumberItem auto_clutch_rpms;
    NumberItem brake_torque;       // front
    NumberItem rear_brake_torque;
    NumberItem max_dab_speed;      // miles per hour
    NumberItem front_sprocket_adjustment;   // teeth
    NumberItem rear_sprocket_adjustment;
    NumberItem fork_compression_adjustment;
    NumberItem fork_rebound_adjustment;
    NumberItem fork_spring_rate_adjustment;
    NumberItem fork_preload_adjustment;
    NumberItem fork_oil_level_adjustment;
    NumberItem shock_compression_adjustment;
    NumberItem shock_rebound_adjustment;
    NumberItem shock_spring_rate_adjustment;
    NumberItem shock_preload_adjustment;
    NumberItem rider_yspring;
    NumberItem rider_ydamping;
    NumberItem rider_zspring;
    NumberItem rider_zdamping;
    NumberItem rider_mass_distribution;
};

struct Settings {
    int xres, yres;                // window size in windowed mode
    int draw_fps, draw_time, draw_ping;   // HUD displays, non-zero shows
    int spy;                       // non-zero allows switching the viewed rider freely
    TextItem track;                // track directory: chosen at start-up, and kept equal to the
                                   // selected track so that the next start finds it again
    ChoiceItem record;             // "Record Demo"
    ChoiceItem skill;              // "Robot Skill": "Novice", "Amateur", "Expert"
    NumberItem minutes, laps;      // race length
    ChoiceItem slot[START_GATES];  // StartType of each start gate
    NumberItem ghost_fade_distance;
    ChoiceItem time_trial_abort;
    TextItem server_name;
    TextItem server_name_hist[SERVER_HISTORY];   // newest first, empty when unused
    NumberItem ground_detail;
    NumberItem ground_texture_detail;
    ChoiceItem ground_texture_dim; // "32x32" .. "1024x1024"
    ChoiceItem ground_mipmaps;
    ChoiceItem texture_compress;   // "No", "Yes", "Always"
    ChoiceItem render_texture;     // terrain rendering method
    ChoiceItem use_shader;
    NumberItem model_detail;
    NumberItem model_texture_detail;
    NumberItem roost_density;
    ChoiceItem lens_flare;
    ChoiceItem reflections;
    ChoiceItem hide_rider;
    ChoiceItem rigid_camera;
    NumberItem fov;                // degrees, horizontal for a 4:3 window
    NumberItem first_person_height;
    NumberItem first_person_angle;
    NumberItem third_person_height;
    NumberItem third_person_distance;
    NumberItem volume;
    ChoiceItem video_mode;         // VIDEO_MODE_* or a "%dx%d" display mode
    ChoiceItem playback_mode;      // "Playback Only", "Race Against"
    int billboard_optimize_lookahead;
    int message_lines;             // console lines shown at once
    KeyBinding bindings[BINDING_COUNT];
    BikeSetup setup;
};

extern Settings settings;

// Puts every item to its built-in default (stability presets at 100, texture lists holding
// only "default", no display modes). Start-up calls it first, then builds the video modes and
// the texture lists and reads the configuration. It closes no axes: call it before bindings
// resolve.
void settings_reset();

// Rebuilds the video mode choices: "Default Fullscreen", "Windowed", then "%dx%d" for every
// listed mode of the first mode's colour depth, in the given order (repeats listed once).
// The current choice is kept by its text, else it becomes "Default Fullscreen".
void settings_video_modes(const VideoMode *modes, int count);
// Chooses a video mode by its text; 1 when chosen. While no display has listed its modes
// (a headless run), a saved "%dx%d" mode is kept as a choice of its own, so writing the
// configuration back does not lose it.
int settings_video_mode_select(const char *text);
