// Fuzzes the text scanner: the input is a text file scanned to its end with each of the
// formats the text files are read with.
#include <cstdint>
#include <string>

#include "files/data.h"
#include "files/fuzz_local.h"

enum { FORMATS = 6 };

// One scan with format k; every target is large enough for the widths used.
static int scan_once(DataStream *stream, int k) {
    static int i, x, o, n;
    static int16_t h;
    static float f[4];
    static double d;
    static long double e;
    static char word[1024], hash[2], c[4], set[64];
    switch (k) {
    case 0: return data_scan(stream, "%d %f %f %f ", &i, &f[0], &f[1], &f[2]);
    case 1: return data_scan(stream, " [ %f %f %f ] %f ", &f[0], &f[1], &f[2], &f[3]);
    case 2: return data_scan(stream, " %1[#]%*[^\n]", hash);
    case 3: return data_scan(stream, " %1023s ", word);
    case 4: return data_scan(stream, "%i %x %o %c %n", &i, &x, &o, c, &n);
    default: return data_scan(stream, "%hd%lf%Lf%3c%63[]a-z-]%*s%%", &h, &d, &e, c, set);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_write("in.txt", data, size))
        return 0;
    std::string path = fuzz_scratch_dir() + "/in.txt";
    for (int k = 0; k < FORMATS; k++) {
        DataStream *stream = data_open(path.c_str(), "rb");
        if (!stream)
            return 0;
        // Each pass consumes at least one character, so the loop ends with the input.
        for (;;) {
            int before = data_position(stream);
            int result = scan_once(stream, k);
            if (data_position(stream) < before || data_position(stream) > int(size))
                __builtin_trap();
            if (data_position(stream) == before && data_getc(stream) < 0)
                break;
            if (result < 0 && data_getc(stream) < 0)
                break;
        }
        data_close(stream);
    }
    return 0;
}
