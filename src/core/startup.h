// The program's entry: the process-wide start-up state that the command line and the
// configuration fill in, the renderer's detail values derived from the graphics settings, the
// demo list, and the start-up and shutdown sequences.
#pragma once

#include "common/vec.h"
#include "settings/items.h"

#include <climits>

enum {
    HUD_SWITCH_NOT_GIVEN = INT_MIN,   // a "--draw-..." option that did not appear
};

// Renderer detail values: derived from the graphics settings, then overridden by options.
struct RenderDetail {
    float terrain_detail;          // ground mesh error tolerance, 0.125 / ground_detail
    int ground_texture_level;      // 0 .. 10, finest ground texture level used
    int ground_texture_size;       // texels per ground texture, 32 .. 1024
    float lod_scale;               // model level-of-detail distance scale, 0.000001 .. 1000000
    float lod_bias;                // model level-of-detail size bias
    int texture_level;             // 0 .. 10, mipmap levels dropped from model textures
    int roost_frequency;           // 0 .. 1000, thrown-dirt amount
    int texture_compression;       // 0 no, 1 yes, 2 always
    int reflections;               // 1 draws reflections
    float erosion;                 // 0 .. 100, 0 switches ground erosion off
    float max_detail_distance;     // feet; ground detail fades out from here
    float detail_fade_end;         // feet; max_detail_distance + 5
};

// The graphics settings the detail values come from.
struct DetailConfig {
    double ground_detail;          // 0 .. 100
    double ground_texture_detail;  // 0 .. 10
    int ground_texture_dim;        // choice index: 0 "32x32" .. 5 "1024x1024"
    double model_detail;           // 0 .. 100
    double model_texture_detail;   // 0 .. 10
    double roost_density;          // 0 .. 1000
    int texture_compress;          // choice index: "No", "Yes", "Always"
    int reflections;               // choice index: "No", "Yes"
};

struct StartupState {
    int debug;                     // 0, 1 "--debug", 2 "--super-debug": diagnostic log lines
    int practice;
    int flat_shading;              // "--fugly": cheapest rendering paths
    int no_vertex_arrays;
    int mmx;                       // the processor's MMX bit; "--nommx" clears it
    int no_sound;                  // "--nosound": no audio output is opened
    int editor;                    // the track editor is enabled
    int learning;                  // racing-line learning, off unless "--learn"
    int width, height;             // window size; xres and yres of the configuration
    int depth;                     // colour depth, bits
    float lock_fps;                // frame-rate cap, 0 for none
    int warp;
    double fake_lag;               // simulated network lag, seconds, 0 .. 1
    int fake_loss;                 // simulated packet loss, percent, 0 .. 100
    int rotate_lineup;
    int accurate_skip;
    int print_orientation;
    const char *track;             // "--track" directory, or null
    const char *connect;           // server to connect to, or null
    const char *password;          // for the server, or null
    Vec3 chase_center;             // chase camera point, feet
    int show_pause_text, show_hud; // "--hidden-pause", "--hidden-hud" clear them
    int glfinish;                  // finish all drawing at the end of each frame
    int record_video;              // every frame as a P6 image on the standard output
    const char *record_audio;      // file the mixed audio goes to, or null
    int draw_fps, draw_time, draw_ping;   // HUD switches from the command line, or HUD_SWITCH_NOT_GIVEN
    int draw_render_stats;
    const char *file;              // the one positional argument: a demo to play, or null
    int fixed_files_ok;            // the bike part shapes are the shipped ones (servers ask)
    ChoiceItem track_choice;       // "Track": the track display names and the chosen one
    RenderDetail detail;
};

extern StartupState startup;

// The state before the configuration and the command line: everything off, 16-bit colour,
// chase point (0, 2.52, 0.52), pause text and HUD shown, no HUD switch given, MMX present.
void startup_defaults(StartupState *state);

// The renderer's detail values from the graphics settings (erosion 0, detail distance 70 with
// fade end 75, which no setting sets).
RenderDetail detail_derive(const DetailConfig *config);

// RIPEMD-160 of the seven bike part shapes concatenated in start-up order, as 40 lower-case hex
// digits; a missing file adds nothing.
void fixed_files_digest(char hex[41]);

// The demos under "demos/" ending in ".qzdemo", in data name order.
struct DemoList {
    const char **names;            // data names ("demos/race1.qzdemo")
    const char **displays;         // file names without directory and extension ("race1")
    int count;
    int page;                      // the demo menu's page of 20, 0 at start
};

// Rebuilds the demo list from the data names; in debug mode logs "%s -> %s\n" for each.
void demos_scan();
const DemoList *demo_list();

// Start-up up to the window: the data check, the shipped-shapes digest, the settings and
// configuration, the command line, the track, demo and series lists and the track choice.
// Returns COMMAND_LINE_GO_ON when the program goes on, else the exit status (the log is
// closed then).
int startup_before_window(int argc, char **argv);

// The program: start-up, the game, shutdown. Returns the process exit status: 0 after a
// normal run, "--help" or "--open-home"; 1 after a command-line error, missing game data or
// when no track exists.
int game_main(int argc, char **argv);
