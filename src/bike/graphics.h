// Loading what a bike looks like: its part models, chosen textures with their variant models,
// the fallbacks to the model's defaults, number plate colours and the optional normal and
// specular maps. Nothing here is needed for the bike to ride.
#pragma once

struct Bike;

// Fills bike->graphics and bike->plate_text. Any texture name may be null (the default).
void bike_load_graphics(Bike *bike, const char *plate_text, const char *gear_texture,
                        const char *helmet_texture, const char *bike_texture,
                        const char *wheel_texture);
// Whether bike_load_graphics looks for normal and specular maps (the renderer's shaders
// use them); off until the renderer switches it on.
void bike_graphics_set_maps(int on);
// Parses "[numberbackground:" / "[numberforeground:" tags of a picture's text into rgb;
// a tag whose three numbers do not all parse leaves rgb as it was. 1 when a tag was used.
int plate_colour_parse(const char *text, const char *tag, unsigned char rgb[3]);
