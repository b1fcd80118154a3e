// Points series: championships of events against a fixed field of robots, read from
// ".series" data files; the standings after each event kept in a small text file in the
// home directory; the lineup of the next event from the last result; the points arithmetic.
#pragma once

struct DataStream;

enum {
    SERIES_POINTS = 40,            // positions that score
    SERIES_TEXT_CHARS = 1023,      // longest title or name
    SERIES_PAGE = 20,              // entries per page of the series menu
};

struct SeriesEvent {
    const char *title;             // interned
    int track;                     // index in the track list
    int minutes, laps;
    int points[SERIES_POINTS];     // for positions 1 .. 40
    int extra[SERIES_POINTS];      // the second table, kept as read
    int *position;                 // per participant (0-based, robots count = none), when completed
    int *order;                    // participants by standing after this event, when completed
};

struct Series {
    const char *title;             // interned
    const char *file;              // data name of the ".series" file
    const char *standings;         // "@" + file + "_standings"
    int skill;                     // 0 Novice, 1 Amateur, 2 Expert
    int robots;                    // R; participant R is the player
    int *robot;                    // the R roster numbers
    int event_count;               // E
    SeriesEvent *events;
    int completed;                 // N
};

// Reads one series from a stream (file is its data name); 0 with nothing kept when an item is
// missing or malformed, a track is not in the track list or R + 1 exceeds 160.
int series_read(DataStream *stream, const char *file, Series *series);
// Reads the standings lines of a loaded series: N complete lines, then the orders.
void series_read_standings(DataStream *stream, Series *series);
void series_free(Series *series);

// Loads every ".series" data file and its standings, in data names order (dropping the
// malformed ones with a log line). In debug mode each series and event is logged.
void series_load_all(int debug);
// Frees every loaded series (shutdown).
void series_free_all();
int series_count();
Series *series_get(int index);     // null outside 0 .. count - 1

// Total points of a participant after event k.
int series_points(const Series *series, int participant, int k);
// Recomputes the standings order after every completed event.
void series_orders(Series *series);

// Start types of the next event's lineup (160 slots); 0 when every event is done.
int series_lineup(const Series *series, int start_types[160]);

// How an event starts a race: select the track, then reset with the lineup, no playback,
// the "Record Demo" choice, minutes x 60 x 128 steps, the event's laps and the skill.
void series_set_starter(void (*start)(const char *track, const int *start_types,
                                      int time_limit, int laps, int skill));
// Starts the next event; entering (not practice) marks it as the event to score. An entered
// event still waiting is scored first, so the lineup is the one after it. Returns 0 when
// every event is done.
int series_event_start(int index, int practice);
// Scores the entered event (at final results and at the start of every reset): positions
// from the final results, else the standings at this moment; N grows, the standings file is
// written anew. Without an entered event nothing happens.
void series_event_score();
// Writes the standings file: to a new file first, renamed over the old one. 1 on success.
int series_write_standings(const Series *series);
