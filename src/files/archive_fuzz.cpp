// Fuzzes the archive index: the input is a ".saf" archive in the installation directory;
// the index is built and every name in it is opened and read to its end.
#include <cstdint>
#include <cstring>
#include <string>

#include "files/data.h"
#include "files/fuzz_local.h"

// Reads a stream to its end (at most a few megabytes), mixing the ways of reading.
static void read_through(DataStream *stream) {
    char buffer[4096];
    for (int round = 0; round < 2048; round++) {
        int got;
        if (round % 3 == 0)
            got = data_getc(stream) >= 0;
        else if (round % 3 == 1)
            got = data_gets(stream, buffer, sizeof buffer) != nullptr;
        else
            got = data_read(stream, buffer, sizeof buffer);
        if (!got)
            break;
    }
    data_seek(stream, 0);
    data_getc(stream);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_write("install/fuzz.saf", data, size))
        return 0;
    data_reset();
    int count = 0;
    const char *const *names = data_names(&count);
    for (int i = 0; i < count; i++) {
        std::string name = names[i];
        // A name that climbs out of the data directory would read the machine's files
        // through the directory step; the index is what is being fuzzed here.
        if (name.find("..") != std::string::npos || name == "fuzz.saf")
            continue;
        std::string wanted = "@" + name;
        if (DataStream *stream = data_open(wanted.c_str(), "rb")) {
            read_through(stream);
            data_close(stream);
        }
        if (name.size() > 3 && !strcmp(name.c_str() + name.size() - 3, ".gz")) {
            wanted.resize(wanted.size() - 3);
            if (DataStream *stream = data_open(wanted.c_str(), "rb")) {
                read_through(stream);
                data_close(stream);
            }
        }
    }
    return 0;
}
