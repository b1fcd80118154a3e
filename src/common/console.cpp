// The message output: the log, and a ring of short lines of which the newest few show on
// screen until a little after the last message.
#include "common/console.h"

#include "common/common.h"
#include "platform/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const double CONSOLE_SHOW_SECONDS = 2.0;    // after the last message
static const double CONSOLE_RETIRE_SECONDS = 5.0;  // between lines going away afterwards

struct ConsoleState {
    char ring[CONSOLE_RING_LINES][CONSOLE_LINE_CHARS + 1];
    int newest;       // ring index of the newest line
    int stored;       // lines in the ring, up to CONSOLE_RING_LINES
    int shown;        // newest lines on display
    int max_shown;    // the message_lines setting
    double clock;     // game clock, seconds
    double deadline;  // game clock until which the shown lines stay
};

static ConsoleState g_console = {{}, CONSOLE_RING_LINES - 1, 0, 0, 5, 0.0, 0.0};

void console_print(const char *text) {
    size_t length = strlen(text);
    bool ends_line = length > 0 && text[length - 1] == '\n';
    const char *reset = strchr(text, 27) ? "\x1b[0m" : "";
    log(ends_line ? "%s%s" : "%s%s\n", text, reset);

    // The screen line does not keep the line feed.
    if (ends_line)
        length--;
    if (length > CONSOLE_LINE_CHARS)
        length = CONSOLE_LINE_CHARS;
    g_console.newest = (g_console.newest + 1) % CONSOLE_RING_LINES;
    memcpy(g_console.ring[g_console.newest], text, length);
    g_console.ring[g_console.newest][length] = 0;
    if (g_console.stored < CONSOLE_RING_LINES)
        g_console.stored++;
    if (g_console.shown < g_console.max_shown)
        g_console.shown++;
    g_console.deadline = g_console.clock + CONSOLE_SHOW_SECONDS;
}

void console_printf(const char *format, ...) {
    char small[1024];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0)
        return;
    if (size_t(length) < sizeof small) {
        console_print(small);
        return;
    }
    char *big = static_cast<char *>(xmalloc(size_t(length) + 1));
    va_start(args, format);
    vsnprintf(big, size_t(length) + 1, format, args);
    va_end(args);
    console_print(big);
    free(big);
}

void console_clear() {
    g_console.newest = CONSOLE_RING_LINES - 1;
    g_console.stored = 0;
    g_console.shown = 0;
}

void console_set_max_shown(int lines) {
    g_console.max_shown = lines < 0 ? 0 : lines;
    if (g_console.shown > g_console.max_shown)
        g_console.shown = g_console.max_shown;
}

void console_set_clock(double seconds) { g_console.clock = seconds; }

int console_shown_count() { return g_console.shown; }

const char *console_shown_line(int i) {
    if (i < 0 || i >= g_console.shown)
        return nullptr;
    return console_ring_line(g_console.shown - 1 - i);
}

double console_display_deadline() { return g_console.deadline; }

void console_expire() {
    if (g_console.shown > 0 && g_console.clock > g_console.deadline) {
        g_console.shown--;
        g_console.deadline = g_console.clock + CONSOLE_RETIRE_SECONDS;
    }
}

const char *console_ring_line(int i) {
    if (i < 0 || i >= g_console.stored)
        return nullptr;
    return g_console.ring[(g_console.newest - i + CONSOLE_RING_LINES) % CONSOLE_RING_LINES];
}
