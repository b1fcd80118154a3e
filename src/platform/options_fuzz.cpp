// Reads the platform options out of arbitrary KOBU_OPTIONS texts.
#include "platform/log.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

static char g_variable[70000] = "KOBU_OPTIONS=";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const size_t prefix = strlen("KOBU_OPTIONS=");
    if (size > sizeof g_variable - prefix - 1)
        size = sizeof g_variable - prefix - 1;
    memcpy(g_variable + prefix, data, size);
    g_variable[prefix + size] = 0;
    putenv(g_variable);   // the buffer itself becomes the variable: nothing is copied
    for (const char *name : {"threaded", "dinput", "dinputsticksonly", "dsnd", "waveout"})
        option_flag(name, 1);
    for (const char *name : {"sound-channels", "sound-rate", "sound-mixahead", "threaded"})
        option_int(name, 0);
    return 0;
}
