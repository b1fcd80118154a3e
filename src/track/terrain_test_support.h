// Helpers for the terrain tests: a scratch home directory holding one track "@t", file
// builders for the terrain formats and the console lines printed since a mark.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/console.h"
#include "files/data.h"
#include "testsupport/testsupport.h"
#include "track/terrain.h"

// A data home in a temporary directory with one track directory, "@t".
struct TrackDir {
    TempDir tmp;
    ScopedEnv xdg{"XDG_DATA_HOME", tmp.path.c_str()};
    ScopedEnv qz{"QZ_HOME", tmp.at("install").c_str()};
    TrackDir() { data_reset(); }
    ~TrackDir() { data_reset(); }
    // Writes a file of the track directory.
    void put(const std::string &file, const std::string &bytes) const {
        tmp.write("Rutmoor/t/" + file, bytes);
    }
    std::string path(const std::string &file) const { return tmp.at("Rutmoor/t/" + file); }
    std::string get(const std::string &file) const { return read_whole_file(path(file)); }
};

inline int grid_of(int n) { return (1 << (n + 1)) + 1; }

// "terrain.hf" with binary samples: sample(c, r) gives each 16-bit value.
inline std::string hf_binary(int n, float spacing, float lo, float hi,
                             const std::function<uint16_t(int, int)> &sample) {
    char head[128];
    snprintf(head, sizeof head, "%d %f %f %f\n:", n, spacing, lo, hi);
    std::string out = head;
    int size = grid_of(n);
    for (int r = 0; r < size; r++)
        for (int c = 0; c < size; c++) {
            uint16_t v = sample(c, r);
            out += (char)(v & 0xFF);
            out += (char)(v >> 8);
        }
    return out;
}

inline std::string ppm(int width, int height, uint8_t value, const char *magic = "P6",
                       int components = 3) {
    char head[64];
    snprintf(head, sizeof head, "%s\n%d %d\n255\n", magic, width, height);
    return head + std::string((size_t)width * height * components, (char)value);
}

// A PNG of any colour type and depth, built in memory. rows hold the packed row bytes as
// libpng expects them (16-bit samples most significant byte first).
inline std::string png_bytes(int width, int height, int color_type, int bit_depth,
                             const std::vector<std::string> &rows,
                             const std::vector<png_color> &palette = {}, bool interlace = false) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            ((std::string *)png_get_io_ptr(p))->append((const char *)data, length);
        },
        [](png_structp) {});
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, bit_depth, color_type,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), (int)palette.size());
    std::vector<png_bytep> pointers;
    for (const std::string &row : rows) pointers.push_back((png_bytep)row.data());
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Every console line printed since the mark was made (oldest first), line ends removed.
struct ConsoleMark {
    ConsoleMark() { console_clear(); }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (int i = 0; console_ring_line(i); i++) {
            std::string line = console_ring_line(i);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            out.insert(out.begin(), line);
        }
        return out;
    }
};

// Writes the smallest complete track around a "terrain.hf": flat light map, one-type
// "texturelist" and an all-zero "tilemap".
inline void put_track_files(const TrackDir &dir, int n) {
    dir.put("shading.ppm", ppm(grid_of(n), grid_of(n), 200));
    dir.put("texturelist", "dirt.png\n");
    dir.put("tilemap", std::string((size_t)1 << (2 * n), '\0'));
}
