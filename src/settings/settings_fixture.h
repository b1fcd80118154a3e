// Test fixture of the settings tests: a scratch home directory and an empty data directory,
// every setting at its default.
#pragma once

#include "files/data.h"
#include "settings/config.h"
#include "settings/settings.h"
#include "settings/setup.h"
#include "testsupport/testsupport.h"

#include <gtest/gtest.h>

#include <string>

struct SettingsTest : ::testing::Test {
    TempDir home;
    TempDir data;
    ScopedEnv xdg{"XDG_DATA_HOME", home.path.c_str()};
    ScopedEnv qz{"QZ_HOME", data.path.c_str()};

    void SetUp() override {
        data_reset();
        settings_reset();
    }
    void TearDown() override { data_reset(); }

    std::string config_path() const { return home.at("Rutmoor/config"); }
    void write_config(const std::string &text) const { home.write("Rutmoor/config", text); }
    std::string read_config() const { return read_whole_file(config_path()); }
    // Writes text as the configuration and reads it over the defaults.
    void read_text(const std::string &text) const {
        write_config(text);
        config_read();
    }
};
