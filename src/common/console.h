// The one message output of the game: every message goes to the log and into a ring of
// on-screen lines that the HUD shows for two seconds after the last message.
#pragma once

enum {
    CONSOLE_RING_LINES = 1000,   // lines kept
    CONSOLE_LINE_CHARS = 127,    // characters kept per line
};

// Logs the text ("%s%s\n", or "%s%s" when it already ends in a line feed; the second string
// resets terminal colours when the text holds an escape character), stores it cut to 127
// characters in the ring, raises the shown-line count up to the configured message_lines and
// sets the display deadline to the game clock plus 2 s.
void console_print(const char *text);
// printf-style convenience around console_print.
void console_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Empties the ring (start-up clears the 1000 message lines).
void console_clear();
// Most lines shown at once (the message_lines setting).
void console_set_max_shown(int lines);
// The game clock in seconds (sum of granted frame lengths); the main loop advances it.
void console_set_clock(double seconds);
// Lines currently on display, newest last: count and the i-th (0 = oldest shown).
int console_shown_count();
const char *console_shown_line(int i);
// Seconds of game clock until which the shown lines stay visible.
double console_display_deadline();
// Called once a frame: when the game clock has passed the deadline and lines are shown, the
// oldest shown line goes away and the rest stay 5 s more.
void console_expire();
// The i-th newest line of the whole ring (0 = newest), or null past what was stored.
const char *console_ring_line(int i);
