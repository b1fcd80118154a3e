// The command-line options, matched in table order; an option's value follows as the next
// argument or after '=' in the same one.
#include "core/command_line.h"

#include "core/startup.h"
#include "files/data.h"
#include "platform/log.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

enum OptionId {
    OPT_FUGLY, OPT_NOSOUND, OPT_NOVERTEXARRAYS, OPT_LEARN, OPT_NOLEARN, OPT_NOMMX, OPT_DEBUG,
    OPT_SUPER_DEBUG, OPT_PRACTICE, OPT_WARP, OPT_TEXTURE_DETAIL, OPT_GROUND_TEXTURE_DETAIL,
    OPT_ROOSTFREQUENCY, OPT_ERODE, OPT_DETAIL, OPT_MAX_DETAIL_DISTANCE, OPT_LOD_SCALE,
    OPT_LOD_BIAS, OPT_LOCK_FPS, OPT_FAKE_LAG, OPT_FAKE_LOSS, OPT_RECORD_AUDIO, OPT_RECORD_VIDEO,
    OPT_ROTATE_LINEUP, OPT_EDITOR, OPT_HIDDEN_PAUSE, OPT_HIDDEN_HUD, OPT_BIKES, OPT_WIDTH,
    OPT_HEIGHT, OPT_DEPTH, OPT_DRAW_FPS, OPT_DRAW_TIME, OPT_DRAW_PING, OPT_DRAW_RENDER_STATS,
    OPT_ACCURATE_SKIP, OPT_TRACK, OPT_CONNECT, OPT_PASSWORD, OPT_CHASE_CENTER, OPT_OPEN_HOME,
    OPT_GLFINISH, OPT_PRINT_ORIENTATION, OPT_HELP,
};

enum ValueKind { VALUE_NONE, VALUE_INT, VALUE_FLOAT, VALUE_TEXT, VALUE_XYZ };

struct CommandOption {
    const char *name;         // after "--"
    OptionId id;
    ValueKind value;
    int strict;               // an unreadable value ends the program with "Bad arg for --%s\n"
    const char *value_help;   // how the usage shows the value
    const char *help;
};

static const CommandOption OPTIONS[] = {
    {"fugly", OPT_FUGLY, VALUE_NONE, 0, "", "flat shading and the cheapest rendering paths"},
    {"nosound", OPT_NOSOUND, VALUE_NONE, 0, "", "open no audio output"},
    {"novertexarrays", OPT_NOVERTEXARRAYS, VALUE_NONE, 0, "", "draw without vertex arrays"},
    {"learn", OPT_LEARN, VALUE_NONE, 0, "", "computer riders learn racing lines from laps"},
    {"nolearn", OPT_NOLEARN, VALUE_NONE, 0, "", "no racing-line learning (the default)"},
    {"nommx", OPT_NOMMX, VALUE_NONE, 0, "", "do not use the processor's MMX blending"},
    {"debug", OPT_DEBUG, VALUE_NONE, 0, "", "diagnostic lines in the log"},
    {"super-debug", OPT_SUPER_DEBUG, VALUE_NONE, 0, "", "even more diagnostic lines"},
    {"practice", OPT_PRACTICE, VALUE_NONE, 0, "", "practice mode"},
    {"warp", OPT_WARP, VALUE_NONE, 0, "", "warp mode"},
    {"texture-detail", OPT_TEXTURE_DETAIL, VALUE_INT, 1, "<0..4>",
     "texture level and ground texture level"},
    {"ground-texture-detail", OPT_GROUND_TEXTURE_DETAIL, VALUE_INT, 1, "<0..4>",
     "ground texture level"},
    {"roostfrequency", OPT_ROOSTFREQUENCY, VALUE_INT, 1, "<0..1000>", "thrown-dirt amount"},
    {"erode", OPT_ERODE, VALUE_FLOAT, 1, "<0..100>", "ground erosion under spinning wheels"},
    {"detail", OPT_DETAIL, VALUE_FLOAT, 1, "<number>", "ground mesh error tolerance"},
    {"max-detail-distance", OPT_MAX_DETAIL_DISTANCE, VALUE_FLOAT, 1, "<feet>",
     "distance at which ground detail starts to fade"},
    {"lod-scale", OPT_LOD_SCALE, VALUE_FLOAT, 1, "<number>", "model level-of-detail scale"},
    {"lod-bias", OPT_LOD_BIAS, VALUE_FLOAT, 1, "<number>", "model level-of-detail bias"},
    {"lock-fps", OPT_LOCK_FPS, VALUE_FLOAT, 1, "<fps>", "frame-rate cap"},
    {"fake-lag", OPT_FAKE_LAG, VALUE_FLOAT, 1, "<ms>", "simulated network lag, up to 1000"},
    {"fake-loss", OPT_FAKE_LOSS, VALUE_INT, 1, "<percent>", "simulated packet loss"},
    {"record-audio", OPT_RECORD_AUDIO, VALUE_TEXT, 0, "<file>", "write the mixed audio to a file"},
    {"record-video", OPT_RECORD_VIDEO, VALUE_NONE, 0, "",
     "write every frame as a P6 image to the standard output"},
    {"rotate-lineup", OPT_ROTATE_LINEUP, VALUE_INT, 0, "<n>", "rotate the start lineup"},
    {"editor", OPT_EDITOR, VALUE_NONE, 0, "", "enable the track editor"},
    {"hidden-pause", OPT_HIDDEN_PAUSE, VALUE_NONE, 0, "", "do not draw the \"Paused\" text"},
    {"hidden-hud", OPT_HIDDEN_HUD, VALUE_NONE, 0, "", "draw no HUD and no overlays"},
    {"bikes", OPT_BIKES, VALUE_TEXT, 0, "<any>", "no longer does anything"},
    {"width", OPT_WIDTH, VALUE_INT, 0, "<pixels>", "window width"},
    {"height", OPT_HEIGHT, VALUE_INT, 0, "<pixels>", "window height"},
    {"depth", OPT_DEPTH, VALUE_INT, 0, "<bits>", "colour depth"},
    {"draw-fps", OPT_DRAW_FPS, VALUE_INT, 0, "<0|1>", "frame-rate display"},
    {"draw-time", OPT_DRAW_TIME, VALUE_INT, 0, "<0|1>", "race time display"},
    {"draw-ping", OPT_DRAW_PING, VALUE_INT, 0, "<0|1>", "network ping display"},
    {"draw-render-stats", OPT_DRAW_RENDER_STATS, VALUE_INT, 0, "<0|1>",
     "render statistics display"},
    {"accurate-skip", OPT_ACCURATE_SKIP, VALUE_NONE, 0, "", "accurate skipping in demos"},
    {"track", OPT_TRACK, VALUE_TEXT, 0, "<directory>", "track to select and load"},
    {"connect", OPT_CONNECT, VALUE_TEXT, 0, "<server>", "connect to a race server"},
    {"password", OPT_PASSWORD, VALUE_TEXT, 0, "<text>", "password for the server"},
    {"chase-center", OPT_CHASE_CENTER, VALUE_XYZ, 1, "<x,y,z>", "chase camera point, feet"},
    {"open-home", OPT_OPEN_HOME, VALUE_NONE, 0, "",
     "show the home directory in the file manager and end"},
    {"glfinish", OPT_GLFINISH, VALUE_NONE, 0, "", "finish all drawing at the end of each frame"},
    {"print-orientation", OPT_PRINT_ORIENTATION, VALUE_NONE, 0, "",
     "print the camera's placement every frame"},
    {"help", OPT_HELP, VALUE_NONE, 0, "", "show this list and end"},
};

enum ArgKind { ARG_DASHES, ARG_OPTION, ARG_FILE };

// One argument as read: "--", an option with its value, or a positional argument.
struct Arg {
    ArgKind kind;
    const CommandOption *option;   // ARG_OPTION
    const char *value;             // the option's value; null when it takes none or none followed
    const char *text;              // the argument itself
    int after_dashes;              // ARG_FILE: came after "--"
};

// Reads the argument at *next (and the value after it when an option takes one) and moves
// *next past both. *dashes records that "--" was seen.
static Arg arg_read(int argc, char **argv, int *next, int *dashes) {
    const char *text = argv[(*next)++];
    if (!*dashes && strcmp(text, "--") == 0) {
        *dashes = 1;
        return Arg{ARG_DASHES, nullptr, nullptr, text, 0};
    }
    if (!*dashes && strncmp(text, "--", 2) == 0) {
        for (const CommandOption &option : OPTIONS) {
            size_t length = strlen(option.name);
            if (strncmp(text + 2, option.name, length) != 0)
                continue;
            const char *rest = text + 2 + length;
            if (*rest == 0) {
                const char *value = nullptr;
                if (option.value != VALUE_NONE && *next < argc)
                    value = argv[(*next)++];
                return Arg{ARG_OPTION, &option, value, text, 0};
            }
            if (*rest == '=' && option.value != VALUE_NONE)
                return Arg{ARG_OPTION, &option, rest + 1, text, 0};
        }
    }
    return Arg{ARG_FILE, nullptr, nullptr, text, *dashes};
}

static int is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A whole decimal integer within the int range, blanks around it allowed.
static int read_int(const char *text, int *out) {
    char *end;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (end == text || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return 0;
    while (is_blank(*end))
        end++;
    if (*end)
        return 0;
    *out = int(value);
    return 1;
}

// A number as "%f" reads it, taking the whole text up to stop (or the end); never NaN.
static int read_number(const char *text, double *out, const char **stop) {
    char *end;
    double value = strtod(text, &end);
    if (end == text || std::isnan(value))
        return 0;
    while (is_blank(*end))
        end++;
    if (stop)
        *stop = end;
    else if (*end)
        return 0;
    *out = value;
    return 1;
}

static int read_xyz(const char *text, Vec3 *out) {
    double v[3];
    const char *at = text;
    for (int i = 0; i < 3; i++) {
        const char *stop;
        if (!read_number(at, &v[i], &stop) || *stop != (i < 2 ? ',' : 0))
            return 0;
        at = stop + 1;
    }
    *out = vec3(float(v[0]), float(v[1]), float(v[2]));
    return 1;
}

static int clamp_int(int v, int low, int high) { return v < low ? low : v > high ? high : v; }
static double clamp_double(double v, double low, double high) {
    return v < low ? low : v > high ? high : v;
}

// Servers reached from a link arrive as "rutmoor:server" or "rutmoor://server/".
static const char *server_from_link(const char *text) {
    if (strncmp(text, "rutmoor:", 8) != 0)
        return text;
    text += 8;
    if (strncmp(text, "//", 2) == 0)
        text += 2;
    size_t length = strlen(text);
    if (length > 0 && text[length - 1] == '/') {
        static char server[256];
        snprintf(server, sizeof server, "%.*s", int(length - 1), text);
        return server;
    }
    return text;
}

// Applies one option. Returns COMMAND_LINE_GO_ON, or the exit status.
static int option_apply(StartupState *state, const CommandOption &option, const char *value) {
    int i = 0;
    double d = 0;
    Vec3 v = {};
    bool readable = true;
    switch (option.value) {
    case VALUE_INT: readable = read_int(value, &i); break;
    case VALUE_FLOAT: readable = read_number(value, &d, nullptr); break;
    case VALUE_XYZ: readable = read_xyz(value, &v); break;
    default: break;
    }
    if (!readable) {
        if (option.strict) {
            fprintf(stderr, "Bad arg for --%s\n", option.name);
            return 1;
        }
        return COMMAND_LINE_GO_ON;
    }
    RenderDetail &detail = state->detail;
    switch (option.id) {
    case OPT_FUGLY: state->flat_shading = 1; break;
    case OPT_NOSOUND: state->no_sound = 1; break;
    case OPT_NOVERTEXARRAYS: state->no_vertex_arrays = 1; break;
    case OPT_LEARN: state->learning = 1; break;
    case OPT_NOLEARN: state->learning = 0; break;
    case OPT_NOMMX:
        if (state->mmx)
            log("Ignoring MMX\n");
        state->mmx = 0;
        break;
    case OPT_DEBUG: state->debug = 1; break;
    case OPT_SUPER_DEBUG: state->debug = 2; break;
    case OPT_PRACTICE: state->practice = 1; break;
    case OPT_WARP: state->warp = 1; break;
    case OPT_TEXTURE_DETAIL:
        detail.texture_level = detail.ground_texture_level = clamp_int(i, 0, 4);
        break;
    case OPT_GROUND_TEXTURE_DETAIL: detail.ground_texture_level = clamp_int(i, 0, 4); break;
    case OPT_ROOSTFREQUENCY: detail.roost_frequency = clamp_int(i, 0, 1000); break;
    case OPT_ERODE: detail.erosion = float(clamp_double(d, 0, 100)); break;
    case OPT_DETAIL: detail.terrain_detail = float(d); break;
    case OPT_MAX_DETAIL_DISTANCE:
        detail.max_detail_distance = float(d);
        detail.detail_fade_end = float(d + 5);
        break;
    case OPT_LOD_SCALE: detail.lod_scale = float(clamp_double(d, 0.000001, 1000000)); break;
    case OPT_LOD_BIAS: detail.lod_bias = float(d); break;
    case OPT_LOCK_FPS: state->lock_fps = float(d); break;
    case OPT_FAKE_LAG: state->fake_lag = clamp_double(d * 0.001, 0, 1); break;
    case OPT_FAKE_LOSS: state->fake_loss = clamp_int(i, 0, 100); break;
    case OPT_RECORD_AUDIO: state->record_audio = value; break;
    case OPT_RECORD_VIDEO: state->record_video = 1; break;
    case OPT_ROTATE_LINEUP: state->rotate_lineup = i; break;
    case OPT_EDITOR: state->editor = 1; break;
    case OPT_HIDDEN_PAUSE: state->show_pause_text = 0; break;
    case OPT_HIDDEN_HUD: state->show_hud = 0; break;
    case OPT_BIKES: fputs("--bikes doesn't do anything anymore\n", stderr); break;
    case OPT_WIDTH: state->width = i; break;
    case OPT_HEIGHT: state->height = i; break;
    case OPT_DEPTH: state->depth = i; break;
    case OPT_DRAW_FPS: state->draw_fps = i; break;
    case OPT_DRAW_TIME: state->draw_time = i; break;
    case OPT_DRAW_PING: state->draw_ping = i; break;
    case OPT_DRAW_RENDER_STATS: state->draw_render_stats = i; break;
    case OPT_ACCURATE_SKIP: state->accurate_skip = 1; break;
    case OPT_TRACK: state->track = value; break;
    case OPT_CONNECT: state->connect = server_from_link(value); break;
    case OPT_PASSWORD: state->password = value; break;
    case OPT_CHASE_CENTER: state->chase_center = v; break;
    case OPT_OPEN_HOME: open_home_folder(); return 0;
    case OPT_GLFINISH: state->glfinish = 1; break;
    case OPT_PRINT_ORIENTATION: state->print_orientation = 1; break;
    case OPT_HELP: command_line_usage(stdout); return 0;
    }
    return COMMAND_LINE_GO_ON;
}

int command_line_apply(StartupState *state, int argc, char **argv) {
    int next = 1, dashes = 0, files = 0;
    while (next < argc) {
        Arg arg = arg_read(argc, argv, &next, &dashes);
        if (arg.kind == ARG_DASHES)
            continue;
        if (arg.kind == ARG_FILE) {
            if (!arg.after_dashes && arg.text[0] == '-') {
                fprintf(stderr, "bad option '%s'\n", arg.text);
                return 1;
            }
            if (++files > 1) {
                fputs("Too many files!\n", stderr);
                return 1;
            }
            state->file = arg.text;
            continue;
        }
        if (arg.option->value != VALUE_NONE && !arg.value) {
            // "--bikes" is ignored whatever follows it, even nothing.
            if (arg.option->id == OPT_BIKES)
                return option_apply(state, *arg.option, "");
            fprintf(stderr, "Missing value for --%s\n", arg.option->name);
            return 1;
        }
        int status = option_apply(state, *arg.option, arg.value);
        if (status != COMMAND_LINE_GO_ON)
            return status;
    }
    return COMMAND_LINE_GO_ON;
}

int command_line_wants_help(int argc, char **argv) {
    int next = 1, dashes = 0;
    while (next < argc) {
        Arg arg = arg_read(argc, argv, &next, &dashes);
        if (arg.kind == ARG_OPTION && arg.option->id == OPT_HELP)
            return 1;
    }
    return 0;
}

void command_line_usage(FILE *out) {
    fputs("Usage: rutmoor [options] [demo file]\n"
          "A value follows its option as the next argument or after '=' (--width=1024).\n",
          out);
    for (const CommandOption &option : OPTIONS) {
        char left[48];
        snprintf(left, sizeof left, "--%s%s%s", option.name, *option.value_help ? " " : "",
                 option.value_help);
        fprintf(out, "  %-34s %s\n", left, option.help);
    }
    fprintf(out, "  %-34s %s\n", "--", "every later argument is the file, even one starting with '-'");
}
