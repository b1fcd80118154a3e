// Ride scripts of the headless rider tool: timed control settings, one line each,
// "SECONDS NAME=VALUE ...", ending with "SECONDS end". Blank lines and lines starting with '#'
// are ignored.
#pragma once

#include <string>
#include <vector>

enum ScriptInput {
    INPUT_THROTTLE, INPUT_CLUTCH, INPUT_FRONT_BRAKE, INPUT_REAR_BRAKE, INPUT_STEER, INPUT_LEAN,
    INPUT_DAB, INPUT_BACK_UP, INPUT_SHIFT, INPUT_COUNT,
};

constexpr double SCRIPT_MAX_SECONDS = 3600;

struct ScriptSetting {
    int input;        // ScriptInput
    float value;      // within the input's range; shift is +1 or -1
};

struct ScriptLine {
    double seconds;   // when the settings take effect, not before the previous line's
    int line_number;  // 1-based line of the text
    std::vector<ScriptSetting> settings;
};

struct RideScript {
    std::vector<ScriptLine> lines;
    double end_seconds;   // time of the end line
};

// The input's script name ("throttle", ...), or null.
const char *script_input_name(int input);
// Parses a whole script. Returns 1, or 0 with error set to "line N: what is wrong".
int ride_script_parse(const char *text, size_t length, RideScript *script, std::string *error);
