// Key bindings: file text, resolution, the device-watching capture and the control channels.
#include "settings/binding.h"

#include "common/common.h"
#include "files/data.h"
#include "platform/log.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static const float CAPTURE_MIN = 0.0625f;       // the dead zone a captured axis starts from
static const float CAPTURE_MAX = 0.9375f;       // and the deflection that gives full level
static const float CAPTURE_THRESHOLD = 0.5f;    // deflection that assigns a watched axis

struct WatchedAxis {
    const char *name;     // interned
    InputAxis *axis;
};

static struct {
    const AxisSource *source;           // the input layer, or null without devices
    int debug;                          // log the capture's progress
    KeyBinding *target;                 // binding being captured, null when none
    std::vector<WatchedAxis> watched;   // axes open during the capture
} bind;

// Channel and sign of each control binding.
static const struct {
    int channel;
    float sign;
} CONTROL_MAP[CONTROL_BINDINGS] = {
    {CHANNEL_THROTTLE, 1},    {CHANNEL_FRONT_BRAKE, 1}, {CHANNEL_REAR_BRAKE, 1},
    {CHANNEL_STEER, 1},       {CHANNEL_STEER, -1},      {CHANNEL_CLUTCH, 1},
    {CHANNEL_SHIFT, 1},       {CHANNEL_SHIFT, -1},      {CHANNEL_DAB, 1},
    {CHANNEL_BACK_UP, 1},     {CHANNEL_LEAN, -1},       {CHANNEL_LEAN, 1},
};

void bindings_attach(const AxisSource *source, int debug) {
    bind.source = source;
    bind.debug = debug;
}

// The pooled copy of a key or axis name, cut to BINDING_NAME_CHARS.
static const char *name_intern(const char *name) {
    char cut[BINDING_NAME_CHARS + 1];
    snprintf(cut, sizeof cut, "%s", name);
    return intern_string(cut);
}

static void axis_close(InputAxis *axis) {
    if (axis && bind.source)
        bind.source->axis_close(axis);
}

void binding_init(KeyBinding *binding, const char *label, const char *key_name) {
    binding->label = label;
    binding->key_name = key_name ? name_intern(key_name) : nullptr;
    binding->key_code = KEY_CODE_NONE;
    binding->axis_name = nullptr;
    binding->axis = nullptr;
    binding->axis_min = 0;
    binding->axis_max = 1;
    binding->rect = {-1, -1, -1, -1};
}

void binding_parse(KeyBinding *binding, const char *text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        text++;
    binding->key_name = nullptr;
    binding->key_code = KEY_CODE_NONE;
    binding->axis_name = nullptr;
    axis_close(binding->axis);
    binding->axis = nullptr;
    binding->axis_min = 0;
    binding->axis_max = 1;

    float lo, hi;
    const char *close = strchr(text, ')');
    if (text[0] == '(' && close && sscanf(text, "(%f,%f)", &lo, &hi) == 2 &&
        std::isfinite(lo) && std::isfinite(hi)) {
        binding->axis_min = lo;
        binding->axis_max = hi;
        binding->axis_name = name_intern(close + 1);
        return;
    }
    if (strncmp(text, "(k)", 3) == 0)
        text += 3;
    binding->key_name = name_intern(text);
}

int binding_write(DataStream *stream, const char *key, const KeyBinding *binding) {
    if (binding->key_name)
        return data_printf(stream, "%s=(k)%s\n", key, binding->key_name) >= 0;
    if (binding->axis_name)
        return data_printf(stream, "%s=(%f,%f)%s\n", key, binding->axis_min, binding->axis_max,
                           binding->axis_name) >= 0;
    return 1;
}

void binding_resolve(KeyBinding *binding) {
    if (!bind.source)
        return;
    binding->key_code =
        binding->key_name ? bind.source->key_code(binding->key_name) : KEY_CODE_NONE;
    axis_close(binding->axis);
    binding->axis = binding->axis_name ? bind.source->axis_open(binding->axis_name) : nullptr;
}

void binding_release(KeyBinding *binding) {
    axis_close(binding->axis);
    binding->axis = nullptr;
}

float binding_axis_level(const KeyBinding *binding, int raw) {
    float reading = raw / 32768.0f;
    float span = binding->axis_max - binding->axis_min;
    if (span == 0)
        return reading >= binding->axis_min ? 1.0f : 0.0f;
    float level = (reading - binding->axis_min) / span;
    if (!(level > 0))
        return 0;
    return level < 1 ? level : 1;
}

float binding_read_level(const KeyBinding *binding) {
    if (!binding->axis || !bind.source)
        return 0;
    return binding_axis_level(binding, bind.source->axis_read(binding->axis));
}

void controls_sum(const float levels[CONTROL_BINDINGS], float channels[CHANNEL_COUNT]) {
    for (int c = 0; c < CHANNEL_COUNT; c++)
        channels[c] = 0;
    for (int i = 0; i < CONTROL_BINDINGS; i++)
        channels[CONTROL_MAP[i].channel] += CONTROL_MAP[i].sign * levels[i];
}

// Ends the capture: every watched axis is closed (an assigned one was taken out before).
static void capture_end() {
    for (const WatchedAxis &w : bind.watched)
        axis_close(w.axis);
    bind.watched.clear();
    bind.target = nullptr;
    if (bind.debug)
        log("Done watching pots\n");
}

void binding_capture_start(KeyBinding *binding) {
    if (bind.target)
        capture_end();
    bind.target = binding;
    if (bind.debug)
        log("Watching pots\n");
    if (!bind.source)
        return;
    const char *const *names = bind.source->axis_names();
    for (int i = 0; names && names[i] && names[i][0]; i++) {
        InputAxis *axis = bind.source->axis_open(names[i]);
        if (!axis) {
            if (bind.debug)
                log("\t%s %s\n", names[i], "Failed");
            continue;
        }
        if (abs(bind.source->axis_read(axis)) > AXIS_RAW_HALF) {
            bind.source->axis_close(axis);
            if (bind.debug)
                log("\t%s Ignored (not centered)\n", names[i]);
            continue;
        }
        bind.watched.push_back({name_intern(names[i]), axis});
        if (bind.debug)
            log("\t%s %s\n", names[i], "Ok");
    }
}

const KeyBinding *binding_capture_target() { return bind.target; }

int binding_capture_key(int code) {
    KeyBinding *binding = bind.target;
    if (!binding)
        return 0;
    if (!bind.source) {
        capture_end();
        return 1;
    }
    int esc = bind.source->key_code("esc");
    if (code != esc || esc == KEY_CODE_NONE) {
        const char *name = bind.source->key_name(code);
        if (!name || !name[0])
            return 1;
        binding->key_name = name_intern(name);
        binding->key_code = code;
        binding->axis_name = nullptr;
        axis_close(binding->axis);
        binding->axis = nullptr;
    }
    capture_end();
    return 1;
}

void binding_capture_watch() {
    KeyBinding *binding = bind.target;
    if (!binding || !bind.source)
        return;
    int best = -1;
    float best_reading = 0;
    for (size_t i = 0; i < bind.watched.size(); i++) {
        float reading = bind.source->axis_read(bind.watched[i].axis) / 32768.0f;
        if (fabsf(reading) > fabsf(best_reading)) {
            best = static_cast<int>(i);
            best_reading = reading;
        }
    }
    if (best < 0 || fabsf(best_reading) <= CAPTURE_THRESHOLD)
        return;
    WatchedAxis chosen = bind.watched[best];
    bind.watched.erase(bind.watched.begin() + best);
    axis_close(binding->axis);
    binding->key_name = nullptr;
    binding->key_code = KEY_CODE_NONE;
    binding->axis_name = chosen.name;
    binding->axis = chosen.axis;
    binding->axis_min = best_reading > 0 ? CAPTURE_MIN : -CAPTURE_MIN;
    binding->axis_max = best_reading > 0 ? CAPTURE_MAX : -CAPTURE_MAX;
    capture_end();
}
