// Fuzzes series standings files against a series of three robots and three events: the
// completed events, positions and standings orders must stay within the participants.
#include <cstdlib>
#include <string>

#include "race/race_fuzz_local.h"
#include "race/series.h"
#include "race/timing.h"

static const char SERIES[] =
    "\"Cup\" 3 Expert 20 21 22 3\n"
    "\"A\" t 0 3 10 9 8 7 6 5 4 3 2 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "B t 0 3 10 9 8 7 6 5 4 3 2 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "C t 0 3 10 9 8 7 6 5 4 3 2 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    DataStream *stream = race_fuzz_open("cup.series", reinterpret_cast<const uint8_t *>(SERIES),
                                        sizeof SERIES - 1);
    Series series;
    if (!stream || !series_read(stream, "cup.series", &series))
        abort();
    data_close(stream);
    stream = race_fuzz_open("cup.series_standings", data, size);
    if (!stream)
        return 0;
    series_read_standings(stream, &series);
    data_close(stream);
    if (series.completed < 0 || series.completed > series.event_count)
        abort();
    for (int e = 0; e < series.completed; e++) {
        int seen = 0;
        for (int p = 0; p <= series.robots; p++) {
            int position = series.events[e].position[p];
            int order = series.events[e].order[p];
            if (position < 0 || position > series.robots || order < 0 || order > series.robots)
                abort();
            seen |= 1 << order;
        }
        if (seen != 0xf)
            abort();
    }
    int types[RIDER_SLOTS];
    series_lineup(&series, types);
    series_free(&series);
    return 0;
}
