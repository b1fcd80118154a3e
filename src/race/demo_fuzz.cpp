// Fuzzes demo files: the header, then the records applied to riders driven from outside,
// playback to the end of the file and jumps back and forth.
#include <cstdlib>

#include "bike/bike.h"
#include "race/demo.h"
#include "race/race_fuzz_local.h"
#include "race/timing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static int ready = [] {
        race_fuzz_dir();
        physics_init();
        race_clear();
        for (int slot : {0, 2}) {
            race.bike[slot] = bike_create("yz125", slot, "1", nullptr, nullptr, nullptr, nullptr);
            race.controller[slot] = CONTROL_OUTSIDE;
        }
        return 1;
    }();
    (void)ready;
    DataStream *stream = race_fuzz_open("in.qzdemo", data, size);
    if (!stream)
        return 0;
    DemoHeader header;
    int ok = demo_header_read(stream, &header);
    data_close(stream);
    if (ok && (header.riders < 0 || header.riders > RIDER_SLOTS || header.length > int(size) ||
               (header.version != 4 && header.version != 5)))
        abort();
    std::string path = race_fuzz_dir() + "/in.qzdemo";
    if (!demo_playback_open(path.c_str()))
        return 0;
    physics_set_step_count(0);
    demo_reset_step();
    for (int k = 1; k < 400; k++) {
        physics_set_step_count(k);
        demo_playback_step();
        if (k == 300)
            demo_jump(-1);
        if (k == 200)
            demo_jump(1);
    }
    for (int slot : {0, 2})
        if (race.present[slot] != 0 && race.present[slot] != 1)
            abort();
    demo_playback_close();
    return 0;
}
