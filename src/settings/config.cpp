// The configuration file: line syntax, the key table in write order, reading and writing.
#include "settings/config.h"

#include "files/data.h"
#include "settings/settings.h"
#include "settings/setup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

enum {
    LINE_BYTES = 1024,   // a line of up to 1023 bytes and its terminating zero
};

enum ConfigKind {
    KIND_INT,
    KIND_TEXT,
    KIND_HISTORY,        // text whose over-long values are ignored instead of cut
    KIND_CHOICE,
    KIND_NUMBER,
    KIND_BINDING,
    KIND_SETUP_BLOCK,    // where the bike setup block is written; no key of its own
};

struct ConfigKey {
    const char *key;
    ConfigKind kind;
    void *item;          // int, TextItem, ChoiceItem, NumberItem or KeyBinding by kind
};

// File keys of the bindings, in BindingIndex order.
static const char *const BINDING_KEYS[BINDING_COUNT] = {
    "throttle_key", "front_brake_key", "rear_brake_key", "left_key", "right_key",
    "clutch_key", "upshift_key", "downshift_key", "dab_key", "back_up_key",
    "lean_forward_key", "lean_backward_key", "pause_key", "step_key", "rewind_key",
    "skip_key", "prev_key", "next_key", "console_key", "screenshot_key",
};

static struct {
    char slot_keys[START_GATES][8];               // "slot00" .. "slot39"
    char history_keys[SERVER_HISTORY][24];        // "server_name_hist00" ..
    std::vector<ConfigKey> keys;                  // every key in write order
} config_state;

// The key table, built on first use.
static const std::vector<ConfigKey> &config_keys() {
    std::vector<ConfigKey> &k = config_state.keys;
    if (!k.empty())
        return k;
    Settings *s = &settings;
    k = {
        {"xres", KIND_INT, &s->xres},
        {"yres", KIND_INT, &s->yres},
        {"draw_fps", KIND_INT, &s->draw_fps},
        {"draw_time", KIND_INT, &s->draw_time},
        {"draw_ping", KIND_INT, &s->draw_ping},
        {"spy", KIND_INT, &s->spy},
        {"track", KIND_TEXT, &s->track},
        {"record", KIND_CHOICE, &s->record},
        {"skill", KIND_CHOICE, &s->skill},
        {"minutes", KIND_NUMBER, &s->minutes},
        {"laps", KIND_NUMBER, &s->laps},
    };
    for (int i = 0; i < START_GATES; i++) {
        snprintf(config_state.slot_keys[i], sizeof config_state.slot_keys[i], "slot%02d", i);
        k.push_back({config_state.slot_keys[i], KIND_CHOICE, &s->slot[i]});
    }
    k.push_back({"ghost_fade_distance", KIND_NUMBER, &s->ghost_fade_distance});
    k.push_back({"time_trial_abort", KIND_CHOICE, &s->time_trial_abort});
    k.push_back({nullptr, KIND_SETUP_BLOCK, nullptr});
    k.push_back({"video_mode", KIND_CHOICE, &s->video_mode});
    k.push_back({"server_name", KIND_TEXT, &s->server_name});
    for (int i = 0; i < SERVER_HISTORY; i++) {
        snprintf(config_state.history_keys[i], sizeof config_state.history_keys[i],
                 "server_name_hist%02d", i);
        k.push_back({config_state.history_keys[i], KIND_HISTORY, &s->server_name_hist[i]});
    }
    const ConfigKey graphics[] = {
        {"ground_detail", KIND_NUMBER, &s->ground_detail},
        {"ground_texture_detail", KIND_NUMBER, &s->ground_texture_detail},
        {"ground_texture_dim", KIND_CHOICE, &s->ground_texture_dim},
        {"ground_mipmaps", KIND_CHOICE, &s->ground_mipmaps},
        {"texture_compress", KIND_CHOICE, &s->texture_compress},
        {"render_texture", KIND_CHOICE, &s->render_texture},
        {"use_shader", KIND_CHOICE, &s->use_shader},
        {"roost_density", KIND_NUMBER, &s->roost_density},
        {"lens_flare", KIND_CHOICE, &s->lens_flare},
        {"reflections", KIND_CHOICE, &s->reflections},
        {"hide_rider", KIND_CHOICE, &s->hide_rider},
        {"rigid_camera", KIND_CHOICE, &s->rigid_camera},
        {"model_detail", KIND_NUMBER, &s->model_detail},
        {"model_texture_detail", KIND_NUMBER, &s->model_texture_detail},
        {"fov", KIND_NUMBER, &s->fov},
        {"first_person_height", KIND_NUMBER, &s->first_person_height},
        {"first_person_angle", KIND_NUMBER, &s->first_person_angle},
        {"third_person_height", KIND_NUMBER, &s->third_person_height},
        {"third_person_distance", KIND_NUMBER, &s->third_person_distance},
        {"volume", KIND_NUMBER, &s->volume},
        {"playback_mode", KIND_CHOICE, &s->playback_mode},
        {"billboard_optimize_lookahead", KIND_INT, &s->billboard_optimize_lookahead},
        {"message_lines", KIND_INT, &s->message_lines},
    };
    k.insert(k.end(), graphics, graphics + sizeof graphics / sizeof graphics[0]);
    for (int i = 0; i < BINDING_COUNT; i++)
        k.push_back({BINDING_KEYS[i], KIND_BINDING, &s->bindings[i]});
    return k;
}

// Applies one key=value pair of the main table; unknown keys are ignored.
static void config_apply(const char *key, const char *value) {
    if (strcmp(key, "use_fbo") == 0) {
        // Older files chose the terrain rendering method with this switch.
        if (strcmp(value, "Yes") == 0)
            choice_select(&settings.render_texture, "Hardware/Direct");
        else if (strcmp(value, "No") == 0)
            choice_select(&settings.render_texture, "Hardware/Copy");
        return;
    }
    for (const ConfigKey &k : config_keys()) {
        if (!k.key || strcmp(k.key, key) != 0)
            continue;
        switch (k.kind) {
        case KIND_INT: int_parse(static_cast<int *>(k.item), value); break;
        case KIND_TEXT: text_set(static_cast<TextItem *>(k.item), value); break;
        case KIND_HISTORY: {
            TextItem *entry = static_cast<TextItem *>(k.item);
            if (strlen(value) <= static_cast<size_t>(entry->max_length))
                text_set(entry, value);
            break;
        }
        case KIND_CHOICE:
            if (k.item == &settings.video_mode)
                settings_video_mode_select(value);
            else
                choice_select(static_cast<ChoiceItem *>(k.item), value);
            break;
        case KIND_NUMBER: number_parse(static_cast<NumberItem *>(k.item), value); break;
        case KIND_BINDING: binding_parse(static_cast<KeyBinding *>(k.item), value); break;
        case KIND_SETUP_BLOCK: break;
        }
        return;
    }
}

void config_read() {
    DataStream *in = data_open("@config", "rb");
    if (!in)
        return;
    char line[LINE_BYTES];
    int skipping = 0;   // inside the rest of a line longer than the buffer
    for (;;) {
        int before = data_position(in);
        if (!data_gets(in, line, sizeof line))
            break;
        int length = data_position(in) - before;
        int ended = length > 0 && length < LINE_BYTES && line[length - 1] == '\n';
        // The tail of an over-long line is not a line of its own: the line counts as cut.
        int is_tail = skipping;
        skipping = !ended && length >= LINE_BYTES - 1;
        if (is_tail)
            continue;

        char *equals = strchr(line, '=');
        if (!equals)
            continue;
        *equals = 0;
        char *value = equals + 1;
        size_t value_length = strlen(value);
        while (value_length > 0 && (value[value_length - 1] == '\n' || value[value_length - 1] == '\r'))
            value[--value_length] = 0;
        if (!setup_key(line, value))
            config_apply(line, value);
    }
    data_close(in);
}

static int config_write_line(DataStream *out, const ConfigKey &k) {
    switch (k.kind) {
    case KIND_INT: return data_printf(out, "%s=%d\n", k.key, *static_cast<const int *>(k.item)) >= 0;
    case KIND_TEXT:
    case KIND_HISTORY:
        return data_printf(out, "%s=%s\n", k.key, static_cast<const TextItem *>(k.item)->text) >= 0;
    case KIND_CHOICE:
        return data_printf(out, "%s=%s\n", k.key,
                           choice_text(static_cast<const ChoiceItem *>(k.item))) >= 0;
    case KIND_NUMBER:
        return data_printf(out, "%s=%f\n", k.key, static_cast<const NumberItem *>(k.item)->value) >= 0;
    case KIND_BINDING: return binding_write(out, k.key, static_cast<const KeyBinding *>(k.item));
    case KIND_SETUP_BLOCK: return setup_write(out);
    }
    return 0;
}

// Makes sure the file's bytes are on the disk, so that a crash after the rename cannot leave
// an empty file in place of the configuration.
static int file_sync(const char *path) {
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return 0;
    int ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

int config_write() {
    // The new file goes to the home directory only, beside the file it replaces.
    const char *home = data_dir(0);
    if (!home)
        return 0;
    std::string new_path = std::string(home) + "config.new";
    DataStream *out = data_open(new_path.c_str(), "wb");
    if (!out)
        return 0;
    int ok = 1;
    for (const ConfigKey &k : config_keys())
        ok &= config_write_line(out, k);
    ok &= data_flush(out) == 0;
    data_close(out);
    if (ok && file_sync(new_path.c_str()) && data_rename(new_path.c_str(), "@config"))
        return 1;
    remove(new_path.c_str());
    return 0;
}
