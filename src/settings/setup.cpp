// The bike setup: key table, stability presets, texture choice lists and setup_apply.
#include "settings/setup.h"

#include "bike/bike.h"
#include "bike/model.h"
#include "common/common.h"
#include "files/data.h"
#include "settings/settings.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

static const double DEGREES_TO_RADIANS = 0.017453292519943295;
static const double MPH_TO_FT_S = 1.4666666666666666;

// The models in the order the "Bike" choice lists them.
static const char *const BIKE_NAMES[] = {
    "450sxf(2013)", "crf450(2013)", "kx450f(2013)", "rmz450(2013)", "yz450f(2013)",
    "350sxf(2013)", "450sxf(2011)", "crf450(2011)", "kx450f(2011)", "rmz450(2011)",
    "yz450f(2011)", "350sxf(2011)", "250sx(2012)", "cr250(2007)", "kx250(2006)",
    "rm250(2008)", "yz250(2012)", "250sxf(2013)", "crf250(2013)", "kx250f(2013)",
    "rmz250(2013)", "yz250f(2013)", "250sxf(2009)", "crf250(2009)", "kx250f(2009)",
    "rmz250(2009)", "yz250f(2009)", "crf250(2008)", "kx250f(2008)", "rmz250(2008)",
    "yz250f(2008)", "crf250(2007)", "kx250f(2007)", "rmz250(2007)", "yz250f(2007)",
    "yz250f_se(2006)", "125sx", "cr125", "kx125", "rm125", "yz125",
    "rs50cr", "rs50kx", "rs50rm", "rs50yz",
};

// Short model names older files use.
static const char *const BIKE_ALIASES[][2] = {
    {"crf250", "crf250(2008)"},
    {"kx250f", "kx250f(2008)"},
    {"rmz250", "rmz250(2008)"},
    {"yz250f", "yz250f(2008)"},
};

static const char *const NO_YES[] = {"No", "Yes"};
static const char *const BRAKES[] = {"Normal", "Antilock"};
static const char *const WHEELIES[] = {"No", "Yes", "Front Only"};
static const int WHEELIE_CODES[] = {0, 3, 2};
static const char *const DEFAULT_TEXTURE[] = {"default"};

enum SetupKind { KIND_CHOICE, KIND_TEXT, KIND_NUMBER };

// One setup key: its item, label and default, in the order the setup block is written.
struct SetupEntry {
    const char *key;
    SetupKind kind;
    void *item;                    // ChoiceItem, TextItem or NumberItem by kind
    const char *label;
    const char *const *choices;    // choice: list and default index (texture lists start empty)
    int count;
    double value;                  // choice: default index; text: max length; number: default
    double minimum, maximum, step;
};

#define SETUP_FIELD(name) (&settings.setup.name)
#define CHOICE(key, label, list, def) \
    {#key, KIND_CHOICE, SETUP_FIELD(key), label, list, sizeof list / sizeof list[0], def, 0, 0, 0}
#define TEXTURE(key, label) {#key, KIND_CHOICE, SETUP_FIELD(key), label, DEFAULT_TEXTURE, 1, 0, 0, 0, 0}
#define NUMBER(key, label, def, lo, hi, step) \
    {#key, KIND_NUMBER, SETUP_FIELD(key), label, nullptr, 0, def, lo, hi, step}

// Defaults given as 0 here come from the stability presets at 100.
static const SetupEntry SETUP_KEYS[] = {
    CHOICE(bike, "Bike", BIKE_NAMES, 0),
    {"name", KIND_TEXT, SETUP_FIELD(name), "Name", nullptr, 0, RIDER_NAME_CHARS, 0, 0, 0},
    {"number", KIND_TEXT, SETUP_FIELD(number), "Number", nullptr, 0, PLATE_CHARS, 0, 0, 0},
    TEXTURE(rider_texture, "Riding Gear"),
    TEXTURE(head_texture, "Helmet"),
    TEXTURE(bike_texture, "Bike Graphics"),
    TEXTURE(wheel_texture, "Wheel Graphics"),
    NUMBER(stability, "Stability", 100, 0, 100, 1),
    NUMBER(leveling, "Leveling", 0, 0, 100, 1),
    NUMBER(roll_damping, "Roll Damping", 0, 0, 100, 1),
    NUMBER(roll_limit_angle, "Roll Limit Angle", 0, 0, 180, 1),
    NUMBER(roll_limit_factor, "Roll Limit Factor", 0, 0, 64, 1),
    NUMBER(steering_damping, "Steering Damping", 0, 0, 100, 1),
    NUMBER(steering_strength, "Steering Strength", 0, 0, 100, 1),
    NUMBER(max_steering_force, "Max Steering Force", 0, 0, 1000, 5),
    NUMBER(direct_steering, "Direct Steering", 0, 0, 1, 0.125),
    NUMBER(slow_damping_speed, "Slow Damping Speed", 0, 0, 100, 1),
    NUMBER(slow_damping_factor, "Slow Damping Factor", 1, 1, 10, 0.25),
    NUMBER(land_damping_falloff, "Landing Damping Falloff", 0, 0, 0.5, 0.0625),
    NUMBER(land_damping_factor, "Landing Damping Factor", 1, 1, 3, 0.25),
    NUMBER(full_lock_speed, "Full Lock Speed", 1, 1, 100, 1),
    NUMBER(restricted_lock_speed, "Restricted Lock Speed", 1, 1, 100, 1),
    NUMBER(restricted_lock, "Restricted Lock Angle", 0, 0, 45, 0.125),
    CHOICE(arcade, "Arcade Physics", NO_YES, 1),
    CHOICE(front_brake, "Front Brake", BRAKES, 1),
    CHOICE(rear_brake, "Rear Brake", BRAKES, 0),
    CHOICE(stop_wheelies, "Stop Wheelies", WHEELIES, 0),
    CHOICE(auto_shift, "Automatic Shifting", NO_YES, 1),
    CHOICE(auto_dab, "Dab When Stopped", NO_YES, 1),
    CHOICE(sticky_dab, "Sticky Sit/Dab", NO_YES, 0),
    CHOICE(reverse_steering, "Reversed Steering", NO_YES, 1),
    CHOICE(lean_indicator, "Lean Indicator", NO_YES, 1),
    NUMBER(auto_clutch_rpms, "Auto Clutch RPMs", 5000, 0, 5000, 100),
    NUMBER(brake_torque, "Braking Torque (Front)", 250, 0, 500, 10),
    NUMBER(rear_brake_torque, "Braking Torque (Rear)", 250, 0, 500, 10),
    NUMBER(max_dab_speed, "Max Dab Speed (MPH)", 20, 5, 20, 1),
    NUMBER(front_sprocket_adjustment, "Countershaft Sprocket", 0, -2, 2, 1),
    NUMBER(rear_sprocket_adjustment, "Rear Sprocket", 0, -2, 2, 1),
    NUMBER(fork_compression_adjustment, "Fork Compression Damping", 50, 0, 100, 1),
    NUMBER(fork_rebound_adjustment, "Fork Rebound Damping", 50, 0, 100, 1),
    NUMBER(fork_spring_rate_adjustment, "Fork Spring Rate", 50, 0, 100, 1),
    NUMBER(fork_preload_adjustment, "Fork Preload", 50, 0, 100, 1),
    NUMBER(fork_oil_level_adjustment, "Fork Oil Level", 50, 0, 100, 1),
    NUMBER(shock_compression_adjustment, "Shock Compression Damping", 50, 0, 100, 1),
    NUMBER(shock_rebound_adjustment, "Shock Rebound Damping", 50, 0, 100, 1),
    NUMBER(shock_spring_rate_adjustment, "Shock Spring Rate", 50, 0, 100, 1),
    NUMBER(shock_preload_adjustment, "Shock Preload", 50, 0, 100, 1),
    NUMBER(rider_yspring, "Rider Vertical Spring", 50, 0, 100, 1),
    NUMBER(rider_ydamping, "Rider Vertical Damping", 50, 0, 100, 1),
    NUMBER(rider_zspring, "Rider Forward Spring", 50, 0, 100, 1),
    NUMBER(rider_zdamping, "Rider Forward Damping", 50, 0, 100, 1),
    NUMBER(rider_mass_distribution, "Rider Mass Distribution", 0.33, 0.33, 0.5, 0.01),
};

#undef CHOICE
#undef TEXTURE
#undef NUMBER
#undef SETUP_FIELD

enum { PRESET_COLUMNS = 6, PRESET_KEYS = 15 };

// The assists at stability 0, 20, 40, 60, 80 and 100.
static const struct {
    NumberItem *item;
    float column[PRESET_COLUMNS];
} PRESETS[PRESET_KEYS] = {
    {&settings.setup.leveling, {20, 20, 20, 20, 20, 20}},
    {&settings.setup.roll_damping, {40, 50, 60, 70, 75, 80}},
    {&settings.setup.roll_limit_angle, {90, 45, 45, 40, 35, 35}},
    {&settings.setup.roll_limit_factor, {0, 5, 10, 32, 32, 32}},
    {&settings.setup.steering_damping, {45, 45, 45, 45, 45, 45}},
    {&settings.setup.steering_strength, {75, 75, 75, 75, 75, 75}},
    {&settings.setup.max_steering_force, {400, 400, 400, 400, 400, 400}},
    {&settings.setup.direct_steering, {1, 1, 1, 1, 1, 0}},
    {&settings.setup.slow_damping_speed, {40, 40, 40, 40, 40, 40}},
    {&settings.setup.slow_damping_factor, {1, 1, 1.5f, 2, 2, 2}},
    {&settings.setup.land_damping_falloff, {0, 0.125f, 0.25f, 0.25f, 0.25f, 0.25f}},
    {&settings.setup.land_damping_factor, {1, 1.5f, 2, 2, 2, 2}},
    {&settings.setup.full_lock_speed, {10, 10, 10, 10, 10, 10}},
    {&settings.setup.restricted_lock_speed, {50, 50, 50, 50, 50, 50}},
    {&settings.setup.restricted_lock, {45, 15, 10, 5, 5, 5}},
};

// One texture choice list: choice texts with the data name each stands for.
struct TextureList {
    std::vector<const char *> texts;   // interned; "default" first
    std::vector<const char *> files;   // interned "@name"; null for "default"
};

static struct {
    TextureList lists[SETUP_TEXTURE_LISTS];
} setup_state;

static ChoiceItem *texture_item(SetupTexture which) {
    switch (which) {
    case SETUP_TEXTURE_RIDER: return &settings.setup.rider_texture;
    case SETUP_TEXTURE_HEAD: return &settings.setup.head_texture;
    case SETUP_TEXTURE_BIKE: return &settings.setup.bike_texture;
    default: return &settings.setup.wheel_texture;
    }
}

static bool ends_with(const char *text, size_t length, const char *ending) {
    size_t n = strlen(ending);
    return length >= n && memcmp(text + length - n, ending, n) == 0;
}

// The selected model's texture prefix: its default bike texture's file name without ".png",
// followed by '-' ("@yz125.png" gives "yz125-").
static std::string bike_texture_prefix() {
    const BikeModel *model = model_lookup(choice_text(&settings.setup.bike));
    const char *file = model->files[FILE_BIKE_TEXTURE];
    const char *slash = strrchr(file, '/');
    const char *base = slash ? slash + 1 : file[0] == '@' ? file + 1 : file;
    std::string prefix = base;
    if (ends_with(prefix.c_str(), prefix.size(), ".png"))
        prefix.resize(prefix.size() - 4);
    return prefix + "-";
}

// Fills a list from the data names and hands it to its item, keeping the current choice by
// text when reset is 0.
static void texture_list_build(SetupTexture which, const std::string &prefix, int reset) {
    ChoiceItem *item = texture_item(which);
    const char *current = reset ? "default" : choice_text(item);
    TextureList *list = &setup_state.lists[which];
    list->texts.assign(1, intern_string("default"));
    list->files.assign(1, nullptr);

    int count = 0;
    const char *const *names = data_names(&count);
    for (int i = 0; names && i < count; i++) {
        const char *name = names[i];
        size_t length = strlen(name);
        if (!ends_with(name, length, ".png") || ends_with(name, length, "_norm.png") ||
            ends_with(name, length, "_spec.png"))
            continue;
        const char *slash = strrchr(name, '/');
        const char *base = slash ? slash + 1 : name;
        size_t base_length = length - static_cast<size_t>(base - name);
        if (base_length < prefix.size() + 4 || strncmp(base, prefix.c_str(), prefix.size()) != 0)
            continue;
        std::string text(base + prefix.size(), base_length - prefix.size() - 4);
        list->texts.push_back(intern_string(text.c_str()));
        list->files.push_back(intern_string((std::string("@") + name).c_str()));
    }
    choice_set_list(item, list->texts.data(), static_cast<int>(list->texts.size()), 0);
    choice_select(item, current);
}

void setup_textures_build() {
    texture_list_build(SETUP_TEXTURE_RIDER, "rider_body-", 0);
    texture_list_build(SETUP_TEXTURE_HEAD, "rider_head-", 0);
    texture_list_build(SETUP_TEXTURE_BIKE, bike_texture_prefix(), 0);
    texture_list_build(SETUP_TEXTURE_WHEEL, "wheels-", 0);
}

void setup_bike_textures_build() { texture_list_build(SETUP_TEXTURE_BIKE, bike_texture_prefix(), 1); }

const char *setup_texture_file(SetupTexture which) {
    const TextureList *list = &setup_state.lists[which];
    int index = texture_item(which)->index;
    if (index < 0 || index >= static_cast<int>(list->files.size()))
        return nullptr;
    return list->files[index];
}

void setup_reset() {
    for (const SetupEntry &e : SETUP_KEYS) {
        switch (e.kind) {
        case KIND_CHOICE:
            choice_init(static_cast<ChoiceItem *>(e.item), e.label, e.choices, e.count,
                        static_cast<int>(e.value));
            break;
        case KIND_TEXT:
            text_init(static_cast<TextItem *>(e.item), e.label, static_cast<int>(e.value),
                      e.item == &settings.setup.name, "");
            break;
        case KIND_NUMBER:
            number_init(static_cast<NumberItem *>(e.item), e.label, e.value, e.step, e.minimum,
                        e.maximum);
            break;
        }
    }
    text_set(&settings.setup.name, "Sam Holeshot");
    text_set(&settings.setup.number, "999");
    for (TextureList &list : setup_state.lists) {
        list.texts.clear();
        list.files.clear();
    }
    stability_presets(100);
}

void stability_presets(float stability) {
    float c = stability * 5.0f * 0.01f;
    if (!(c > 0))
        c = 0;
    if (c > 5)
        c = 5;
    int k = static_cast<int>(floorf(c));
    if (k > PRESET_COLUMNS - 2)
        k = PRESET_COLUMNS - 2;
    float f = c - static_cast<float>(k);
    for (const auto &p : PRESETS)
        number_set(p.item, p.column[k] + f * (p.column[k + 1] - p.column[k]));
}

int setup_key(const char *key, const char *value) {
    const SetupEntry *entry = nullptr;
    for (const SetupEntry &e : SETUP_KEYS) {
        if (strcmp(e.key, key) == 0) {
            entry = &e;
            break;
        }
    }
    if (!entry)
        return 0;

    if (entry->item == &settings.setup.bike) {
        for (const auto &alias : BIKE_ALIASES) {
            if (strcmp(value, alias[0]) == 0)
                value = alias[1];
        }
        if (choice_select(&settings.setup.bike, value))
            setup_bike_textures_build();
        return 1;
    }
    if (entry->item == &settings.setup.stability) {
        if (number_parse(&settings.setup.stability, value))
            stability_presets(floorf(static_cast<float>(settings.setup.stability.value)));
        return 1;
    }
    switch (entry->kind) {
    case KIND_CHOICE: choice_select(static_cast<ChoiceItem *>(entry->item), value); break;
    case KIND_TEXT: text_set(static_cast<TextItem *>(entry->item), value); break;
    case KIND_NUMBER: number_parse(static_cast<NumberItem *>(entry->item), value); break;
    }
    return 1;
}

int setup_write(DataStream *stream) {
    int ok = 1;
    for (const SetupEntry &e : SETUP_KEYS) {
        int written = 0;
        switch (e.kind) {
        case KIND_CHOICE:
            written = data_printf(stream, "%s=%s\n", e.key,
                                  choice_text(static_cast<const ChoiceItem *>(e.item)));
            break;
        case KIND_TEXT:
            written = data_printf(stream, "%s=%s\n", e.key,
                                  static_cast<const TextItem *>(e.item)->text);
            break;
        case KIND_NUMBER:
            written = data_printf(stream, "%s=%f\n", e.key,
                                  static_cast<const NumberItem *>(e.item)->value);
            break;
        }
        if (written < 0)
            ok = 0;
    }
    return ok;
}

// 2^(adjustment * 0.02 - 1): 0 halves the model's damping, 50 keeps it, 100 doubles it.
static float damping_factor(const NumberItem *adjustment) {
    return static_cast<float>(pow(2.0, adjustment->value * 0.02 - 1));
}

static float value_of(const NumberItem *item) { return static_cast<float>(item->value); }

void setup_apply(Bike *bike, int connected) {
    const BikeSetup *s = &settings.setup;
    bike_set_leveling(bike, value_of(&s->leveling));
    bike_set_roll_damping(bike, value_of(&s->roll_damping));
    bike_set_roll_limit_angle(bike, static_cast<float>(s->roll_limit_angle.value * DEGREES_TO_RADIANS));
    bike_set_roll_limit_factor(bike, value_of(&s->roll_limit_factor));
    bike_set_steering_damping(bike, value_of(&s->steering_damping));
    bike_set_steering_strength(bike, value_of(&s->steering_strength));
    bike_set_max_steering_force(bike, value_of(&s->max_steering_force));

    bike_set_arcade(bike, connected ? 0 : s->arcade.index);
    bike_set_front_antilock(bike, s->front_brake.index);
    bike_set_rear_antilock(bike, s->rear_brake.index);
    bike_set_wheelie_control(bike, WHEELIE_CODES[s->stop_wheelies.index]);
    bike_set_auto_shift(bike, s->auto_shift.index);
    bike_set_auto_dab(bike, s->auto_dab.index);

    bike_set_direct_steering(bike, value_of(&s->direct_steering));
    bike_set_slow_damping_speed(bike, value_of(&s->slow_damping_speed));
    bike_set_slow_damping_factor(bike, value_of(&s->slow_damping_factor));
    bike_set_landing_damping_falloff(bike, value_of(&s->land_damping_falloff));
    bike_set_landing_damping_factor(bike, value_of(&s->land_damping_factor));
    bike_set_full_lock_speed(bike, value_of(&s->full_lock_speed));
    bike_set_restricted_lock_speed(bike, value_of(&s->restricted_lock_speed));
    bike_set_restricted_lock_angle(bike, static_cast<float>(s->restricted_lock.value * DEGREES_TO_RADIANS));

    bike_set_auto_clutch_rpm(bike, value_of(&s->auto_clutch_rpms));
    bike_set_front_brake_torque(bike, value_of(&s->brake_torque));
    bike_set_rear_brake_torque(bike, value_of(&s->rear_brake_torque));
    bike_set_max_dab_speed(bike, static_cast<float>(s->max_dab_speed.value * MPH_TO_FT_S));

    bike_set_sprockets(bike, static_cast<int>(s->front_sprocket_adjustment.value),
                       static_cast<int>(s->rear_sprocket_adjustment.value));

    bike_set_fork_compression(bike, damping_factor(&s->fork_compression_adjustment));
    bike_set_fork_rebound(bike, damping_factor(&s->fork_rebound_adjustment));
    bike_set_fork_spring(bike, static_cast<float>(s->fork_spring_rate_adjustment.value * 0.01));
    bike_set_fork_preload(bike, static_cast<float>(s->fork_preload_adjustment.value * 0.01));
    bike_set_fork_oil_level(bike, static_cast<float>(s->fork_oil_level_adjustment.value * 0.01));

    bike_set_shock_compression(bike, damping_factor(&s->shock_compression_adjustment));
    bike_set_shock_rebound(bike, damping_factor(&s->shock_rebound_adjustment));
    bike_set_shock_spring(bike, static_cast<float>(s->shock_spring_rate_adjustment.value * 0.01));
    bike_set_shock_preload(bike, static_cast<float>(s->shock_preload_adjustment.value * 0.01));

    bike_set_rider_vertical_spring(bike, static_cast<float>(s->rider_yspring.value * 0.01));
    bike_set_rider_forward_spring(bike, static_cast<float>(s->rider_zspring.value * 0.01));
    bike_set_rider_vertical_damping(bike, static_cast<float>(s->rider_ydamping.value * 0.01));
    bike_set_rider_forward_damping(bike, static_cast<float>(s->rider_zdamping.value * 0.01));
    bike_set_rider_mass(bike, value_of(&s->rider_mass_distribution));
}
