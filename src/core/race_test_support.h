// Shared set-up of the race tests: fresh start-up state and settings, the shipped track list,
// "rabbithill" selected and the race modes ready at step 0.
#pragma once

#include <gtest/gtest.h>

#include "bike/bike.h"
#include "core/race_reset.h"
#include "core/startup.h"
#include "files/data.h"
#include "settings/settings.h"
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
