// What the reset sequence and the step driver call of the racing-line learner and the auto
// pilot: the lines files by skill, the table's life across resets, and the robots' state.
#pragma once

struct Bike;

// Learning ("--learn"), the debug level (learner messages) and "--practice" from start-up.
void ai_configure(int learning, int debug, int practice);
// Saves the lines learned for skill 0..2 (only with learning on).
void ai_lines_save(int skill);
// Frees every segment of the table.
void ai_lines_free();
// Makes the table for the loaded track and reads the skill's lines file into it, thinned and
// analysed.
void ai_lines_load(int skill);
// The learner's per-race state of every slot; robots keep the personality ai_robot_reset
// gave them, every other rider is recorded. Reads the lines again when they were freed and
// not loaded since.
void ai_learner_reset();
// A computer rider's state for a new race with the named personality.
void ai_robot_reset(int slot, const char *personality);
