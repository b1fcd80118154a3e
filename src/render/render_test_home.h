// Test fixture of the picture and model tests: a scratch installation directory (QZ_HOME)
// and home directory (XDG_DATA_HOME), so that "@" names find the files the test writes.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "common/console.h"
#include "files/data.h"
#include "render/image.h"
#include "render/model.h"
#include "testsupport/testsupport.h"

class RenderDataTest : public ::testing::Test {
protected:
    TempDir user, install;
    ScopedEnv xdg{"XDG_DATA_HOME", user.path.c_str()};
    ScopedEnv qz{"QZ_HOME", install.path.c_str()};

    void SetUp() override
    {
        data_reset();
        images_clear();
        models_clear();
        console_clear();
    }
    void TearDown() override
    {
        images_clear();
        models_clear();
        data_reset();
    }
    // Writes a data file that "@" + relative finds.
    void put(const std::string &relative, const std::string &bytes) { install.write(relative, bytes); }
    // 1 when any stored console line holds the text.
    static bool console_said(const char *text)
    {
        for (int i = 0; const char *line = console_ring_line(i); i++)
            if (std::string(line).find(text) != std::string::npos)
                return true;
        return false;
    }
};
