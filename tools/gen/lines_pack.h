// The computer riders' racing lines of each track, taught by scripts/teach-lines.sh and kept
// under tools/gen/lines/<track>/: packed into the track's directory as they are.
#pragma once

// Copies lines_novice.gz, lines_amateur.gz and lines_expert.gz of the track, where present,
// into the generated track directory. Returns the number of files packed.
int lines_pack(const char *track);
