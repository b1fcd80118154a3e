// The command line: options beginning with "--" and one file (a demo to play). The game and
// the headless tools share it: each applies its argument vector to a start-up state.
#pragma once

#include <cstdio>

struct StartupState;

enum {
    COMMAND_LINE_GO_ON = -1,       // every argument applied; start-up goes on
};

// Applies argv[1 .. argc - 1] to state, options in the order given. Returns
// COMMAND_LINE_GO_ON, or the exit status the program ends with at once: 1 after an error
// (its message is on the error stream), 0 after "--help" (the usage is on the standard
// output) or "--open-home" (the home directory is shown in the file manager). Text values
// point into argv, which must outlive state.
int command_line_apply(StartupState *state, int argc, char **argv);

// 1 when the arguments ask for "--help" (an option, not a value or a file), so that the
// usage can be shown before anything else starts.
int command_line_wants_help(int argc, char **argv);

// Lists every option with a line of explanation.
void command_line_usage(FILE *out);
