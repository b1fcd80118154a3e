// What the data-file modules share among themselves and nobody else uses: the scanner's
// one-character pushback, the directory maker and the archive check against a given digest.
#pragma once

struct DataStream;

// Puts byte (0..255) back as the next character any read of the stream sees and counts it
// as not consumed; -1 does nothing. Holds one character: a second call replaces the first.
void data_ungetc(DataStream *stream, int byte);

// Creates every directory named by the text before each '/' of path (runs of '/' skipped,
// errors ignored); paths of 1024 characters or more are left alone.
void data_make_parents(const char *path);

// The body of data_check: 1 when a data directory holds a "zzzz.saf" whose first megabyte
// has the RIPEMD-160 digest hex (40 lower-case hex digits).
int data_check_digest(const char *hex);
