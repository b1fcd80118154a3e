// The log file, the last error text and the message box. The log opens on the first message:
// its name comes from KOBU_LOGFILE, or from a first message "KOBU_LOGFILE=<name>" when the
// environment names none; ">>" before the name appends, ">" (or nothing) rewrites.
#include "platform/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>

static const char LOG_VERSION[] = "KOBU 0.31\n";
static const char LOG_NAME_SETTING[] = "KOBU_LOGFILE=";

struct LogState {
    std::recursive_mutex lock;   // the audio and window threads log too
    FILE *file;                  // open log, or null
    bool flush;                  // flush and sync after every message
    bool set_up;                 // the first message has been seen
    char last_error[256];        // "Unknown" until the first error
    void (*show_box)(const char *title, const char *text);   // window layer's message box
};

static LogState g_log = {{}, nullptr, false, false, "Unknown", nullptr};

static void log_open(const char *first_message) {
    g_log.set_up = true;
    const char *name = getenv("KOBU_LOGFILE");
    if (!name && strncmp(first_message, LOG_NAME_SETTING, sizeof LOG_NAME_SETTING - 1) == 0)
        name = first_message + sizeof LOG_NAME_SETTING - 1;
    if (!name || !*name)
        return;
    const char *mode = "w";
    if (strncmp(name, ">>", 2) == 0) {
        mode = "a";
        name += 2;
    } else if (name[0] == '>') {
        name += 1;
    }
    const char *flags = getenv("KOBU_LOGFILE_FLAGS");
    if (flags && *flags)
        mode = flags;
    g_log.file = fopen(name, mode);
    if (g_log.file) {
        log("Logfile \"%s\" opened\n", name);
        log("%s", LOG_VERSION);
    }
}

__attribute__((format(printf, 1, 0))) static void log_write(const char *format, va_list args) {
    if (!g_log.file)
        return;
    TimeStamp now = time_now();
    fprintf(g_log.file, "[%d:%02d:%02d.%02d] ", int(now.sec / 3600), int(now.sec / 60 % 60),
            int(now.sec % 60), int(now.usec / 10000));
    vfprintf(g_log.file, format, args);
    if (g_log.flush) {
        fflush(g_log.file);
        fsync(fileno(g_log.file));
    }
}

void log(const char *format, ...) {
    std::lock_guard<std::recursive_mutex> hold(g_log.lock);
    if (!format) {
        if (g_log.file)
            fclose(g_log.file);
        g_log.file = nullptr;
        return;
    }
    va_list args;
    // A message naming the file is a setting, never logged; only the first message of all
    // may name it.
    if (strncmp(format, LOG_NAME_SETTING, sizeof LOG_NAME_SETTING - 1) == 0) {
        if (!g_log.set_up) {
            char setting[4096];
            va_start(args, format);
            vsnprintf(setting, sizeof setting, format, args);
            va_end(args);
            log_open(setting);
        }
        return;
    }
    if (!g_log.set_up)
        log_open("");
    if (format[0] == 19) {
        if (strcmp(format + 1, "FLUSH") == 0)
            g_log.flush = true;
        else if (strcmp(format + 1, "NOFLUSH") == 0)
            g_log.flush = false;
        return;
    }
    va_start(args, format);
    log_write(format, args);
    va_end(args);
}

void log_reset() {
    std::lock_guard<std::recursive_mutex> hold(g_log.lock);
    if (g_log.file)
        fclose(g_log.file);
    g_log.file = nullptr;
    g_log.flush = false;
    g_log.set_up = false;
    snprintf(g_log.last_error, sizeof g_log.last_error, "Unknown");
}

void log_error(const char *text) {
    std::lock_guard<std::recursive_mutex> hold(g_log.lock);
    log("Error: %s\n", text);
    snprintf(g_log.last_error, sizeof g_log.last_error, "%s", text);
}

const char *log_last_error() { return g_log.last_error; }

void message_box_set_handler(void (*show)(const char *title, const char *text)) {
    std::lock_guard<std::recursive_mutex> hold(g_log.lock);
    g_log.show_box = show;
}

void message_box(const char *title, const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    void (*show)(const char *, const char *);
    {
        std::lock_guard<std::recursive_mutex> hold(g_log.lock);
        show = g_log.show_box;
    }
    if (show) {
        show(title, text);
        return;
    }
    size_t length = strlen(text);
    fprintf(stderr, "%s: %s%s", title, text, length && text[length - 1] == '\n' ? "" : "\n");
}
