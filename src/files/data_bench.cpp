// Figures for loading: scanning a track object list, reading gzip data line by line, and
// finding a name in an archive of a few thousand members.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/data.h"

namespace {

// A scratch directory used as the installation directory, removed at exit.
const std::string &bench_dir() {
    static std::string dir;
    if (dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "rutmoor-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            abort();
        dir = pattern;
        setenv("XDG_DATA_HOME", (dir + "/user").c_str(), 1);
        setenv("QZ_HOME", dir.c_str(), 1);
        atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        });
    }
    return dir;
}

void write_file(const std::string &name, const std::string &bytes) {
    FILE *file = fopen((bench_dir() + "/" + name).c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

// Lines like those of a statues file: a bracketed position, a number and a model name.
std::string object_lines(int count) {
    std::string text = "# statues\n";
    char line[128];
    for (int i = 0; i < count; i++) {
        snprintf(line, sizeof line, "[ %.3f %.3f %.3f ] %.4f tree%d.jm\n", i * 1.25, i * 0.5,
                 -i * 2.75, i * 0.001, i % 7);
        text += line;
    }
    return text;
}

void BM_ScanObjectList(benchmark::State &state) {
    std::string text = object_lines(20000);
    write_file("statues", text);
    std::string path = bench_dir() + "/statues";
    for (auto _ : state) {
        DataStream *stream = data_open(path.c_str(), "rb");
        char hash[2], model[1024];
        float x, y, z, angle;
        while (data_scan(stream, " %1[#]%*[^\n]", hash) == 1) {
        }
        int lines = 0;
        while (data_scan(stream, " [ %f %f %f ] %f %1023s ", &x, &y, &z, &angle, model) == 5)
            lines++;
        data_close(stream);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ScanObjectList)->Unit(benchmark::kMillisecond);

void BM_GzipLines(benchmark::State &state) {
    std::string text = object_lines(20000);
    uLongf packed_size = compressBound(uLong(text.size()));
    std::string packed(packed_size, '\0');
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);   // 31: gzip wrapper
    z.next_in = reinterpret_cast<Bytef *>(text.data());
    z.avail_in = uInt(text.size());
    packed.resize(deflateBound(&z, text.size()));
    z.next_out = reinterpret_cast<Bytef *>(packed.data());
    z.avail_out = uInt(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    write_file("statues2.gz", packed);
    std::string path = bench_dir() + "/statues2";
    for (auto _ : state) {
        DataStream *stream = data_open(path.c_str(), "rb");
        char line[256];
        int lines = 0;
        while (data_gets(stream, line, sizeof line))
            lines++;
        data_close(stream);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_GzipLines)->Unit(benchmark::kMillisecond);

// Opening the last member of an archive of 4000: the lookup walks the index.
void BM_OpenArchiveMember(benchmark::State &state) {
    std::string head, body;
    for (int i = 0; i < 4000; i++) {
        head += "4 tracks/track" + std::to_string(i) + "/desc\n";
        body += "desc";
    }
    write_file("zzzz.saf", head + "-\n" + body);
    data_reset();
    data_names(nullptr);
    for (auto _ : state) {
        DataStream *stream = data_open("@TRACKS/track3999/DESC", "rb");
        benchmark::DoNotOptimize(data_getc(stream));
        data_close(stream);
    }
}
BENCHMARK(BM_OpenArchiveMember)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
