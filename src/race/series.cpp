// Points series: the ".series" reader, the standings file, the lineup rule and scoring.
#include "race/series.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bike/bike.h"
#include "common/common.h"
#include "files/data.h"
#include "platform/log.h"
#include "race/timing.h"
#include "settings/settings.h"
#include "track/track.h"

namespace {

struct SeriesState {
    std::vector<Series> list;
    int pending_series;            // entered event waiting to be scored: series index, -1 none
    int pending_event;
    void (*start)(const char *track, const int *start_types, int time_limit, int laps,
                  int skill);
    int verbose;
};
// Never destroyed: loaded series stay reachable until the process ends, also while other
// static objects are torn down.
SeriesState &g_series = *new SeriesState{{}, -1, 0, nullptr, 0};

// Gate order of later events with more than 14 robots.
const int WIDE_GRID[20] = {10, 9, 11, 8, 12, 7, 13, 6, 14, 5, 15, 4, 16, 3, 17, 2, 18, 1, 19, 0};

int is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A text item: a double-quoted string or one word, at most 1023 characters. 0 at the end of
// the input or on an unterminated quote.
int read_text(DataStream *stream, char *out) {
    int c;
    do
        c = data_getc(stream);
    while (is_space(c));
    if (c < 0)
        return 0;
    int length = 0;
    if (c == '"') {
        while ((c = data_getc(stream)) != '"') {
            if (c < 0 || length >= SERIES_TEXT_CHARS)
                return 0;
            out[length++] = char(c);
        }
    } else {
        // A word stops at whitespace or after 1023 characters; the stopping blank stays read.
        out[length++] = char(c);
        while (length < SERIES_TEXT_CHARS && (c = data_getc(stream)) >= 0 && !is_space(c))
            out[length++] = char(c);
    }
    out[length] = 0;
    return 1;
}

int read_ints(DataStream *stream, int *values, int count) {
    for (int i = 0; i < count; i++)
        if (data_scan(stream, " %d", &values[i]) != 1)
            return 0;
    return 1;
}

int track_index(const char *name) {
    const TrackList *tracks = track_list();
    for (int i = 0; i < tracks->count; i++)
        if (strcmp(tracks->names[i], name) == 0)
            return i;
    return -1;
}

int skill_index(const char *word) {
    if (strcmp(word, "Novice") == 0)
        return 0;
    if (strcmp(word, "Amateur") == 0)
        return 1;
    return 2;
}

int participant_points(const SeriesEvent *event, int position) {
    return position >= 0 && position < SERIES_POINTS ? event->points[position] : 0;
}

int *int_array(int count) { return static_cast<int *>(xcalloc(size_t(count), sizeof(int))); }

void event_complete(Series *series, SeriesEvent *event) {
    if (!event->position)
        event->position = int_array(series->robots + 1);
    if (!event->order)
        event->order = int_array(series->robots + 1);
}

int ends_with(const char *text, const char *end) {
    size_t length = strlen(text), end_length = strlen(end);
    return length >= end_length && strcmp(text + length - end_length, end) == 0;
}

}  // namespace

void series_free(Series *series) {
    for (int e = 0; e < series->event_count; e++) {
        free(series->events[e].position);
        free(series->events[e].order);
    }
    free(series->events);
    free(series->robot);
    *series = Series{};
}

int series_read(DataStream *stream, const char *file, Series *series) {
    *series = Series{};
    static char text[SERIES_TEXT_CHARS + 1], word[SERIES_TEXT_CHARS + 1];
    int robots = 0, events = 0;
    if (!read_text(stream, text) || data_scan(stream, " %d %1023s", &robots, word) != 2 ||
        robots < 0 || robots >= RIDER_SLOTS)
        return 0;
    series->title = intern_string(text);
    series->file = intern_string(file);
    char standings[1100];
    snprintf(standings, sizeof standings, "@%s_standings", file);
    series->standings = intern_string(standings);
    series->skill = skill_index(word);
    series->robots = robots;
    series->robot = int_array(robots + 1);
    std::vector<SeriesEvent> list;
    if (!read_ints(stream, series->robot, robots) || data_scan(stream, " %d", &events) != 1 ||
        events < 0) {
        series_free(series);
        return 0;
    }
    for (int e = 0; e < events; e++) {
        SeriesEvent event = {};
        if (!read_text(stream, text)) {
            series_free(series);
            return 0;
        }
        event.title = intern_string(text);
        if (e == 0 && g_series.verbose)
            log("series %s (%s)\n", file, series->title);
        if (!read_text(stream, text) || (event.track = track_index(text)) < 0 ||
            data_scan(stream, " %d %d", &event.minutes, &event.laps) != 2 ||
            !read_ints(stream, event.points, SERIES_POINTS) ||
            !read_ints(stream, event.extra, SERIES_POINTS)) {
            series_free(series);
            return 0;
        }
        if (g_series.verbose)
            log("  event %s (%s)\n", text, event.title);
        list.push_back(event);
    }
    series->event_count = events;
    series->events = static_cast<SeriesEvent *>(xcalloc(size_t(events) + 1, sizeof(SeriesEvent)));
    for (int e = 0; e < events; e++)
        series->events[e] = list[size_t(e)];
    return 1;
}

void series_read_standings(DataStream *stream, Series *series) {
    int count = series->robots + 1;
    std::vector<int> line(static_cast<size_t>(count));
    series->completed = 0;
    while (series->completed < series->event_count) {
        if (!read_ints(stream, line.data(), count))
            break;
        int valid = 1;
        for (int v : line)
            if (v < 1 || v > count)
                valid = 0;
        if (!valid) {
            log("Bad standings line in '%s'\n", series->standings);
            break;
        }
        SeriesEvent *event = &series->events[series->completed];
        event_complete(series, event);
        for (int p = 0; p < count; p++)
            event->position[p] = line[size_t(p)] - 1;
        series->completed++;
    }
    series_orders(series);
}

int series_points(const Series *series, int participant, int k) {
    int total = 0;
    for (int e = 0; e <= k && e < series->completed; e++)
        total += participant_points(&series->events[e], series->events[e].position[participant]);
    return total;
}

void series_orders(Series *series) {
    int count = series->robots + 1;
    std::vector<int> taken(static_cast<size_t>(count));
    for (int k = 0; k < series->completed; k++) {
        SeriesEvent *event = &series->events[k];
        event_complete(series, event);
        std::fill(taken.begin(), taken.end(), 0);
        for (int rank = 0; rank < count; rank++) {
            int best = -1, best_points = 0;
            for (int p = 0; p < count; p++) {
                if (taken[size_t(p)])
                    continue;
                int points = series_points(series, p, k);
                if (best < 0 || points > best_points ||
                    (points == best_points && event->position[p] < event->position[best])) {
                    best = p;
                    best_points = points;
                }
            }
            taken[size_t(best)] = 1;
            event->order[rank] = best;
        }
    }
}

void series_free_all() {
    for (Series &series : g_series.list)
        series_free(&series);
    g_series.list.clear();
    g_series.pending_series = -1;
}

void series_load_all(int debug) {
    series_free_all();
    g_series.verbose = debug;
    int count = 0;
    const char *const *names = data_names(&count);
    for (int i = 0; i < count; i++) {
        if (!ends_with(names[i], ".series"))
            continue;
        char name[1100];
        snprintf(name, sizeof name, "@%s", names[i]);
        DataStream *stream = data_open(name, "rb");
        if (!stream)
            continue;
        Series series;
        int ok = series_read(stream, names[i], &series);
        data_close(stream);
        if (!ok) {
            log("Series '%s' is malformed and not offered\n", names[i]);
            continue;
        }
        DataStream *standings = data_open(series.standings, "rb");
        if (standings) {
            series_read_standings(standings, &series);
            data_close(standings);
        }
        g_series.list.push_back(series);
    }
}

int series_count() { return int(g_series.list.size()); }

Series *series_get(int index) {
    if (index < 0 || index >= series_count())
        return nullptr;
    return &g_series.list[size_t(index)];
}

int series_lineup(const Series *series, int start_types[RIDER_SLOTS]) {
    int n = series->completed;
    if (n >= series->event_count)
        return 0;
    int robots = series->robots;
    for (int i = 0; i < RIDER_SLOTS; i++)
        start_types[i] = START_EMPTY;
    auto type_of = [&](int p) { return p == robots ? START_HUMAN : START_ROBOT_NUMBER + series->robot[p]; };
    if (n == 0) {
        for (int p = 0; p <= robots; p++)
            start_types[p] = type_of(p);
        return 1;
    }
    // Worst first: no position, then last place up to the winner; robots before the player.
    const SeriesEvent *last = &series->events[n - 1];
    std::vector<int> order;
    for (int position = robots; position >= 0; position--)
        for (int p = 0; p <= robots; p++)
            if (last->position[p] == position)
                order.push_back(p);
    for (size_t i = 0; i < order.size(); i++) {
        int slot;
        if (robots <= 14)
            slot = 6 + 2 * int(i);
        else
            slot = i < 20 ? WIDE_GRID[i] : int(i);
        start_types[slot] = type_of(order[i]);
    }
    return 1;
}

void series_set_starter(void (*start)(const char *track, const int *start_types, int time_limit,
                                      int laps, int skill)) {
    g_series.start = start;
}

int series_event_start(int index, int practice) {
    Series *series = series_get(index);
    if (!series)
        return 0;
    // An event left for this one is scored first (the reset would score it anyway), so that
    // the lineup and the event started are those after it.
    series_event_score();
    int start_types[RIDER_SLOTS];
    if (!series_lineup(series, start_types))
        return 0;
    const SeriesEvent *event = &series->events[series->completed];
    if (g_series.start)
        g_series.start(track_list()->names[event->track], start_types,
                       event->minutes * 60 * STEPS_PER_SECOND, event->laps, series->skill);
    if (!practice) {
        g_series.pending_series = index;
        g_series.pending_event = series->completed;
    }
    return 1;
}

void series_event_score() {
    int index = g_series.pending_series;
    g_series.pending_series = -1;
    Series *series = series_get(index);
    if (!series || g_series.pending_event != series->completed ||
        series->completed >= series->event_count)
        return;
    int robots = series->robots;
    SeriesEvent *event = &series->events[series->completed];
    event_complete(series, event);
    for (int p = 0; p <= robots; p++)
        event->position[p] = robots;
    const StandingsEntry *list = race.results_final ? race.final_order : race.standings;
    int count = race.results_final ? race.final_count : race.standings_count;
    int next = 0;
    for (int i = 0; i < count; i++) {
        int slot = list[i].slot;
        const Bike *bike = race.bike[slot];
        if (!bike)
            continue;
        if (race.controller[slot] == CONTROL_LOCAL) {
            if (event->position[robots] == robots &&
                (race.results_final || (bike->finished && cutting_penalty(bike) == 0)))
                event->position[robots] = next++;
            continue;
        }
        int number = atoi(bike_plate_text(bike));
        for (int p = 0; p < robots; p++) {
            if (series->robot[p] == number && event->position[p] == robots) {
                event->position[p] = next++;
                break;
            }
        }
    }
    series->completed++;
    series_orders(series);
    series_write_standings(series);
}

int series_write_standings(const Series *series) {
    char temporary[1200];
    snprintf(temporary, sizeof temporary, "%s.new", series->standings);
    DataStream *out = data_open(temporary, "wb");
    if (!out) {
        log("Can't write '%s'\n", series->standings);
        return 0;
    }
    int ok = 1;
    for (int e = 0; e < series->completed; e++) {
        for (int p = 0; p <= series->robots; p++)
            ok &= data_printf(out, "%d ", series->events[e].position[p] + 1) > 0;
        ok &= data_puts(out, "\n") >= 0;
    }
    ok &= data_flush(out) == 0;
    data_close(out);
    if (!ok || !data_rename(temporary, series->standings)) {
        log("Can't write '%s'\n", series->standings);
        return 0;
    }
    return 1;
}
