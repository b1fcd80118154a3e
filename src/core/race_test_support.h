// Shared set-up of the race tests: fresh start-up state and settings, the shipped track list,
// "rabbithill" selected and the race modes ready at step 0.
#pragma once

#include <gtest/gtest.h>

#include "bike/bike.h"
#include "core/race_reset.h"
#include "core/startup.h"
#include "core/step.h"
#include "files/data.h"
#include "settings/settings.h"
#include "testsupport/testsupport.h"
#include "track/track.h"

inline void race_test_start() {
    data_reset();
    startup_defaults(&startup);
    settings_reset();
    ASSERT_GT(tracks_scan(), 0);
    const TrackList *list = track_list();
    choice_init(&startup.track_choice, "Track", list->descs, list->count, 0);
    ASSERT_TRUE(race_select_track("rabbithill"));
    race_modes_init();
    physics_set_step_count(0);
}

// The physics world for a whole suite, torn down with the loaded track and its obstacles;
// every test gets a scratch home directory.
class RaceWorldTest : public testing::Test {
protected:
    static void SetUpTestSuite() { physics_init(); }
    static void TearDownTestSuite() {
        step_objects_free();
        track_unload();
        physics_shutdown();
    }
    TempDir home;
    ScopedEnv xdg{"XDG_DATA_HOME", home.path.c_str()};
};
