// Fuzzes ".series" files: a series that reads must hold what the lineup and scoring rely on.
#include <cstdlib>

#include "race/race_fuzz_local.h"
#include "race/series.h"
#include "race/timing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    DataStream *stream = race_fuzz_open("in.series", data, size);
    if (!stream)
        return 0;
    Series series;
    int ok = series_read(stream, "in.series", &series);
    data_close(stream);
    if (!ok)
        return 0;
    if (series.robots < 0 || series.robots + 1 > RIDER_SLOTS || series.event_count < 0)
        abort();
    for (int e = 0; e < series.event_count; e++)
        if (series.events[e].track != 0)
            abort();
    int types[RIDER_SLOTS];
    if (series_lineup(&series, types) != (series.event_count > 0))
        abort();
    series_free(&series);
    return 0;
}
