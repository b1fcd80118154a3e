// The headless race tool of rutmoor-sim: the game's start-up without a window, one race run
// to its end by the game's step driver, the final standings printed, the results file and
// demos written as the game writes them.
#pragma once

// 1 when the arguments ask for a race ("--mode" or a demo file to play) rather than a ride.
int race_tool_wanted(int argc, char **argv);
// Runs the race. Exit status: 0 the race ended normally, 1 the time limit stopped it,
// 2 bad arguments, 3 the game data or the track could not be loaded.
int race_tool_main(int argc, char **argv);
