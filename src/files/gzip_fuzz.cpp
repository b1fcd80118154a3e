// Fuzzes the gzip path: the input is a ".gz" file, opened under its name without ".gz" and
// read to the end of its data.
#include <cstdint>
#include <string>

#include "files/data.h"
#include "files/fuzz_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzz_write("in.gz", data, size))
        return 0;
    DataStream *stream = data_open((fuzz_scratch_dir() + "/in").c_str(), "rb");
    if (!stream)
        return 0;
    // A small input can inflate a thousandfold; sixteen megabytes are plenty to read.
    static char buffer[65536];
    long total = 0;
    bool ended = false;
    for (int round = 0; total < (16 << 20); round++) {
        int got;
        if (round % 4 == 0) {
            int byte = data_getc(stream);
            got = byte >= 0;
        } else if (round % 4 == 1) {
            got = data_gets(stream, buffer, 300) ? 1 : 0;
        } else {
            got = data_read(stream, buffer, sizeof buffer);
        }
        if (!got) {
            ended = true;
            break;
        }
        total += got;
    }
    // Once the data has ended it stays ended, and a compressed stream never seeks.
    if ((ended && data_getc(stream) != -1) || data_seek(stream, 0))
        __builtin_trap();
    data_close(stream);
    return 0;
}
