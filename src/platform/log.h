// The platform library's log, options, names and time: usable from every thread, needs no
// display. The log file is named by KOBU_LOGFILE or by a first "KOBU_LOGFILE=" message.
#pragma once

#include <cstdint>

// Writes one log line prefixed with "[h:mm:ss.hh] " (the caller supplies the line end).
// A null format closes the log file. A message starting with byte 19 is a command:
// "\x13" "FLUSH" turns flushing after every line on, "\x13" "NOFLUSH" off.
void log(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Closes the log and forgets its set-up, flush flag and last error, so that the next message
// opens the log anew (tests that try several log names).
void log_reset();
// Logs "Error: %s\n" and keeps the text as the last error.
void log_error(const char *text);
// The last error text, "Unknown" until the first error.
const char *log_last_error();

// Shows a modal box with an OK button: an SDL message box when a display layer has
// registered one, otherwise "title: text" on the error stream. Text is cut to 1023 characters.
void message_box(const char *title, const char *format, ...) __attribute__((format(printf, 2, 3)));
// The window layer registers its message box here; null restores the error-stream form.
void message_box_set_handler(void (*show)(const char *title, const char *text));

// Platform options from KOBU_OPTIONS, written "[name:value]" one after another. A flag reads
// "yes"/"on" as 1 and "no"/"off" as 0; a number is a decimal integer. A value that reads as
// neither logs "unrecognized setting for %s\n" and gives the fallback, as does no setting.
int option_flag(const char *name, int fallback);
int option_int(const char *name, int fallback);

// Adds a name alias; a second alias of the same name is logged and ignored.
void alias_add(const char *name, const char *replacement);
// The replacement of the newest pair whose name matches exactly, else name itself.
const char *alias_lookup(const char *name);

// The stored copy of text (sorted set, address is identity); null when out of memory.
const char *intern(const char *text);
// Case-insensitive comparison treating blanks and '_' alike; sign like strcmp.
int name_compare(const char *a, const char *b);

// Seconds and microseconds of the monotonic millisecond clock.
struct TimeStamp {
    int64_t sec;
    int64_t usec;
};
TimeStamp time_now();
// Sleeps until sec + usec from now: whole milliseconds less one, then waits on time_now.
void sleep_until(int64_t sec, int64_t usec);
