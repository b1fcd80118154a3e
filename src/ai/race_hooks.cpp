// The learner and auto pilot as the reset sequence and the step driver see them.
#include "ai/race_hooks.h"

#include "ai/autopilot.h"
#include "ai/lines.h"
#include "race/timing.h"
#include "track/track.h"

struct HooksState {
    int skill;         // lines file of the table, -1 none
    int freed;         // the table was emptied since it was last read
};

static HooksState hooks = {-1, 0};

void ai_configure(int learning, int debug, int practice) {
    lines_set_learning(learning);
    lines_set_verbose(debug);
    autopilot_set_practice(practice);
}

void ai_lines_save(int skill) { lines_save(lines_file_name(skill)); }

void ai_lines_free() {
    lines_clear();
    hooks.freed = 1;
}

void ai_lines_load(int skill) {
    Track *track = track_get();
    lines_init(track->name ? &track->timing : nullptr, track->name);
    lines_load(lines_file_name(skill));
    lines_thin();
    lines_analyze();
    hooks.skill = skill;
    hooks.freed = 0;
}

void ai_learner_reset() {
    lines_attach_progress();
    if (hooks.freed && hooks.skill >= 0 && track_get()->name)
        ai_lines_load(hooks.skill);
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        const Pilot *p = autopilot_pilot(slot);
        if (race.controller[slot] != CONTROL_ROBOT || !race.bike[slot])
            autopilot_reset(slot, 0);
        else
            line_rider_reset(slot, p->personality);
    }
}

void ai_robot_reset(int slot, const char *personality) {
    autopilot_reset(slot, autopilot_practice() ? 4 : personality_find(personality));
}
