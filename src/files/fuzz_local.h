// The scratch data directory of the fuzz targets: home and installation directories under
// one temporary directory, removed when the fuzzer exits.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// The temporary directory, made on first use; XDG_DATA_HOME and QZ_HOME point into it
// ("<dir>/user" and "<dir>/install") so that nothing outside it is read or written. It is
// memory-backed when the system has /dev/shm: some targets write and sync files per input.
inline const std::string &fuzz_scratch_dir() {
    static std::string dir;
    if (dir.empty()) {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "rutmoor-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            abort();
        dir = pattern;
        std::filesystem::create_directories(dir + "/install");
        setenv("XDG_DATA_HOME", (dir + "/user").c_str(), 1);
        setenv("QZ_HOME", (dir + "/install").c_str(), 1);
        atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        });
    }
    return dir;
}

// Writes bytes to a file below the scratch directory; false when that fails.
inline bool fuzz_write(const std::string &relative, const unsigned char *bytes, size_t size) {
    FILE *file = fopen((fuzz_scratch_dir() + "/" + relative).c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}
