// The bike setup: its keys in the configuration and setup files, the stability presets,
// the texture choice lists and how the values reach the local rider's bike.
#pragma once

struct Bike;
struct DataStream;

enum SetupTexture {
    SETUP_TEXTURE_RIDER,    // "Riding Gear", files "rider_body-*.png"
    SETUP_TEXTURE_HEAD,     // "Helmet", "rider_head-*.png"
    SETUP_TEXTURE_BIKE,     // "Bike Graphics", the current model's prefix
    SETUP_TEXTURE_WHEEL,    // "Wheel Graphics", "wheels-*.png"
    SETUP_TEXTURE_LISTS,
};

// Puts every setup item to its default: the first model, "default" textures, the stability
// presets at 100. Part of settings_reset.
void setup_reset();

// Applies one setup line; 1 when the key belongs to the setup, 0 otherwise. "bike" accepts the
// short names "crf250", "kx250f", "rmz250", "yz250f" for their 2008 models.
int setup_key(const char *key, const char *value);
// Writes the setup block, one "key=value" line each; 1 unless a write failed.
int setup_write(DataStream *stream);
// Sets the fifteen assists from stability 0 .. 100 by blending the preset columns.
void stability_presets(float stability);

// Builds the four texture choice lists from the data names list; each starts with
// "default" and keeps its current choice when that text is still listed.
void setup_textures_build();
// Rebuilds the "Bike Graphics" list for the selected model and sets it back to "default".
void setup_bike_textures_build();
// The texture chosen for a list as a data name ("@rider_body-alt1.png"), null for "default".
const char *setup_texture_file(SetupTexture which);

// Hands the setup to a bike through its setters, converting degrees to radians, miles per
// hour to feet per second and the 0..100 adjustments to the bike's factors and fractions.
// Arcade physics is handed as off while connected to a server.
void setup_apply(Bike *bike, int connected);
