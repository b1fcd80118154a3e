// The content generator's shared helpers: where the generated home tree lives, writing files
// into it, deterministic noise, and the entry points of each kind of content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Program-wide generator state: the home tree every file lands in before it is packed.
struct GenState {
    std::string home;   // <work>/home/Rutmoor/, ending in '/'
    int failures;       // files that could not be written
};
extern GenState gen;

// Writes bytes to the home tree under a relative name ("rabbithill/desc"), creating parent
// directories. Counts and reports a failure; returns 1 on success.
int gen_write(const char *name, const void *bytes, size_t length);
int gen_write_text(const char *name, const std::string &text);
// printf into a std::string.
std::string gen_format(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Records a failure of a project writer (terrain_save, png_write, ...) under its file name.
void gen_fail(const char *what);
