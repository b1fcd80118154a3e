// Fuzzes the lines file reader over a small table, then checks what it kept: counts within
// their caps, points owned by non-empty slots only, ids unique; and saves it back.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ai/lines.h"
#include "files/data.h"
#include "files/fuzz_local.h"
#include "track/gates.h"

// The track directory "fuzztrack" in the scratch home, made on the first input.
static const char TRACK_DIR[] = "user/Rutmoor/fuzztrack";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool made =
        std::filesystem::create_directories(fuzz_scratch_dir() + "/" + TRACK_DIR);
    (void)made;
    if (!fuzz_write(std::string(TRACK_DIR) + "/lines_expert", data, size))
        return 0;
    static Timing timing;
    static int ready = 0;
    if (!ready) {
        timing_clear(&timing);
        timing.gate_count = 2;
        timing.lap_order[0] = 0;
        timing.lap_order[1] = 1;
        timing.lap_order[2] = 0;
        timing.first_lap_len = 2;
        timing.normal_lap_len = 1;
        data_reset();
        ready = 1;
    }
    lines_init(&timing, "fuzztrack");
    lines_load("lines_expert");
    lines_thin();
    lines_analyze();
    SegmentTable *table = lines_table();
    for (int r = 0; r < table->rows; r++)
        for (int i = 0; i < SEGMENT_SLOTS; i++) {
            const LineSegment *s = line_segment(r, i);
            if (s->count < 0 || s->tested > 65535 || s->fails > 65535 || s->tested < 0 ||
                s->fails < 0 || (s->count > 0) != (s->points != nullptr) ||
                (s->count > 0 && (s->id <= 0 || s->id > table->next_id)))
                abort();
        }
    lines_set_learning(1);
    lines_save("lines_expert");
    lines_free();
    return 0;
}
