// Feeds arbitrary bytes to the configuration reader as "@config" in a scratch home directory.
// Whatever was read must write out, read back over fresh defaults and write out the same.
#include "files/data.h"
#include "files/fuzz_local.h"
#include "settings/config.h"
#include "settings/settings.h"
#include "settings/setup.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

static std::string home_config;   // "config" in the scratch home directory

static std::string file_text(const std::string &path) {
    std::string text;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    fclose(f);
    return text;
}

static void prepare() {
    if (!home_config.empty())
        return;
    fuzz_scratch_dir();
    data_reset();
    std::string home = data_dir(0);
    std::filesystem::create_directories(home);
    home_config = home + "config";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    prepare();
    FILE *f = fopen(home_config.c_str(), "wb");
    if (!f || fwrite(bytes, 1, size, f) != size || fclose(f) != 0)
        abort();

    settings_reset();
    setup_textures_build();
    config_read();
    if (!config_write())
        abort();
    std::string first = file_text(home_config);

    settings_reset();
    setup_textures_build();
    config_read();
    if (!config_write() || file_text(home_config) != first)
        abort();
    return 0;
}
