// Fuzzing the ride script reader: any bytes either parse into a script whose times never go
// backwards and whose values lie in range, or give a line-numbered error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    RideScript script;
    std::string error;
    if (!ride_script_parse(reinterpret_cast<const char *>(data), size, &script, &error)) {
        if (error.compare(0, 5, "line ") != 0) abort();
        return 0;
    }
    double last = 0;
    for (const ScriptLine &line : script.lines) {
        if (line.seconds < last || line.seconds > script.end_seconds) abort();
        last = line.seconds;
        for (const ScriptSetting &s : line.settings)
            if (s.input < 0 || s.input >= INPUT_COUNT || s.value < -1 || s.value > 1) abort();
    }
    return 0;
}
