// Scratch directories and files for tests.
#include "testsupport/testsupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "rutmoor-test-XXXXXX").string();
    char *made = mkdtemp(pattern.data());
    path = made ? made : pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string TempDir::at(const std::string &relative) const { return path + "/" + relative; }

void TempDir::write(const std::string &relative, const std::string &bytes) const {
    fs::path p = at(relative);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_whole_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

ScopedEnv::ScopedEnv(const char *n, const char *value) : name(n) {
    const char *was = getenv(n);
    had = was != nullptr;
    if (had)
        old = was;
    if (value)
        setenv(n, value, 1);
    else
        unsetenv(n);
}

ScopedEnv::~ScopedEnv() {
    if (had)
        setenv(name.c_str(), old.c_str(), 1);
    else
        unsetenv(name.c_str());
}

std::string source_dir() {
    const char *dir = getenv("RUTMOOR_SOURCE_DIR");
    return dir ? dir : RUTMOOR_SOURCE_DIR_DEFAULT;
}
