// Platform options from KOBU_OPTIONS, the name alias table and the interned names. All of it
// may be used from the window and audio threads, so each table has its lock.
#include "platform/log.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

struct Alias {
    char *name;
    char *replacement;
    Alias *next;   // older pairs
};

struct OptionsState {
    std::mutex alias_lock;
    Alias *aliases;          // newest first
    std::mutex intern_lock;
    char **names;            // sorted by strcmp, each stored once
    int name_count;
    int name_capacity;
};

static OptionsState g_options;

// The text right after "[name:" in KOBU_OPTIONS, or null when the setting is absent.
static const char *option_value(const char *name) {
    const char *options = getenv("KOBU_OPTIONS");
    if (!options)
        return nullptr;
    size_t length = strlen(name);
    for (const char *at = strchr(options, '['); at; at = strchr(at + 1, '[')) {
        if (strncmp(at + 1, name, length) == 0 && at[1 + length] == ':')
            return at + length + 2;
    }
    return nullptr;
}

int option_flag(const char *name, int fallback) {
    const char *value = option_value(name);
    if (!value)
        return fallback;
    if (strncmp(value, "yes]", 4) == 0 || strncmp(value, "on]", 3) == 0)
        return 1;
    if (strncmp(value, "no]", 3) == 0 || strncmp(value, "off]", 4) == 0)
        return 0;
    log("unrecognized setting for %s\n", name);
    return fallback;
}

int option_int(const char *name, int fallback) {
    const char *value = option_value(name);
    if (!value)
        return fallback;
    char *end;
    errno = 0;
    long number = strtol(value, &end, 10);
    if (end == value || errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        log("unrecognized setting for %s\n", name);
        return fallback;
    }
    return int(number);
}

void alias_add(const char *name, const char *replacement) {
    std::lock_guard<std::mutex> hold(g_options.alias_lock);
    for (Alias *a = g_options.aliases; a; a = a->next) {
        if (strcmp(a->name, name) == 0) {
            log("Second alias for '%s' ('%s') ignored\n", name, replacement);
            return;
        }
    }
    Alias *alias = static_cast<Alias *>(malloc(sizeof(Alias)));
    char *name_copy = strdup(name);
    char *replacement_copy = strdup(replacement);
    if (!alias || !name_copy || !replacement_copy) {
        free(alias);
        free(name_copy);
        free(replacement_copy);
        log("Can't alias %s to %s -- out of memory\n", name, replacement);
        return;
    }
    alias->name = name_copy;
    alias->replacement = replacement_copy;
    alias->next = g_options.aliases;
    g_options.aliases = alias;
}

const char *alias_lookup(const char *name) {
    std::lock_guard<std::mutex> hold(g_options.alias_lock);
    for (Alias *a = g_options.aliases; a; a = a->next) {
        if (strcmp(a->name, name) == 0)
            return a->replacement;
    }
    return name;
}

const char *intern(const char *text) {
    std::lock_guard<std::mutex> hold(g_options.intern_lock);
    int low = 0, high = g_options.name_count;
    while (low < high) {
        int mid = (low + high) / 2;
        int order = strcmp(g_options.names[mid], text);
        if (order == 0)
            return g_options.names[mid];
        if (order < 0)
            low = mid + 1;
        else
            high = mid;
    }
    if (g_options.name_count == g_options.name_capacity) {
        int capacity = g_options.name_capacity ? g_options.name_capacity * 2 : 64;
        void *grown = realloc(g_options.names, sizeof(char *) * size_t(capacity));
        if (!grown)
            return nullptr;
        g_options.names = static_cast<char **>(grown);
        g_options.name_capacity = capacity;
    }
    char *copy = strdup(text);
    if (!copy)
        return nullptr;
    memmove(g_options.names + low + 1, g_options.names + low,
            sizeof(char *) * size_t(g_options.name_count - low));
    g_options.names[low] = copy;
    g_options.name_count++;
    return copy;
}

// Letters without case; a blank and '_' are the same character.
static int name_char(unsigned char c) {
    if (c == '_' || c == ' ' || c == '\t')
        return ' ';
    return tolower(c);
}

int name_compare(const char *a, const char *b) {
    for (;; a++, b++) {
        int ca = name_char(static_cast<unsigned char>(*a));
        int cb = name_char(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}
