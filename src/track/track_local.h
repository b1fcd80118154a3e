// What the track object modules share among themselves: the load settings, the ground
// under an object and the checks every reader makes of numbers and names.
#pragma once

#include <cmath>
#include <initializer_list>

struct DataStream;
struct Terrain;

struct TrackConfig {
    int verbose;         // debug level; above 0 the loading steps are logged
    int ground_method;   // requested ground render method, 1 .. 3
    int use_shader;      // look for normal and specular maps
};

const TrackConfig *track_config();

// Ground height under (x, z); 0 without a terrain (generated content, tests).
float track_ground(const Terrain *terrain, float x, float z);

inline bool finite_all(std::initializer_list<float> values) {
    for (float v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// The interned name, or null for null, "" and the word "null".
const char *track_name_or_null(const char *name);

// Joins a track directory data name and a file ("@mytrack" + "/statues") into out (size
// bytes); returns out.
char *track_file(char *out, int size, const char *dir, const char *file);
