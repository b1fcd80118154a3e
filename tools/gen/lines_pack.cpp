// Packing the taught racing lines into the generated tracks.
#include "lines_pack.h"

#include <cstdio>
#include <string>

#include "gen.h"

#ifndef RUTMOOR_GEN_LINES_DIR
#error "the build names the directory of the taught lines"
#endif

int lines_pack(const char *track)
{
    static const char *const names[] = {"lines_novice.gz", "lines_amateur.gz", "lines_expert.gz"};
    int packed = 0;
    for (const char *name : names) {
        std::string from = std::string(RUTMOOR_GEN_LINES_DIR) + "/" + track + "/" + name;
        FILE *file = fopen(from.c_str(), "rb");
        if (!file)
            continue;
        std::string bytes;
        char block[65536];
        size_t got;
        while ((got = fread(block, 1, sizeof block, file)) > 0)
            bytes.append(block, got);
        int failed = ferror(file);
        fclose(file);
        if (failed) {
            gen_fail(from.c_str());
            continue;
        }
        packed += gen_write((std::string(track) + "/" + name).c_str(), bytes.data(), bytes.size());
    }
    return packed;
}
