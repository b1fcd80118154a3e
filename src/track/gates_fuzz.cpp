// Fuzzes the "timing_gates" reader and writes the result back; checks the limits the race
// code relies on.
#include <cstdlib>

#include "track/gates.h"
#include "track/objects_fuzz_local.h"
#include "track/statues.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = objects_fuzz_put("timing_gates", data, size);
    if (path.empty())
        return 0;
    static Timing timing;
    Array statues;
    array_init(&statues, sizeof(Statue));
    int kept = gates_read(&timing, &statues, objects_fuzz_terrain(), path.c_str());
    if (timing.start_count > START_SLOTS_MAX || timing.gate_count > GATES_MAX ||
        statues.count != timing.start_count)
        abort();
    int total = timing.first_lap_len + timing.normal_lap_len;
    for (int i = 0; i < total; i++) {
        int index = timing.lap_order[i] % LAP_ENTRY_FLAGGED;
        if (timing.lap_order[i] < 0 || index >= timing.gate_count)
            abort();
    }
    if (kept && (timing.first_lap_counted == 0 || timing.normal_lap_counted == 0))
        abort();
    gates_write(&timing, (objects_fuzz_dir() + "/timing_gates.out").c_str());
    array_free(&statues);
    objects_fuzz_done();
    return 0;
}
