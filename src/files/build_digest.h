// Digests of the shipped data, written by the build from the archive it generated.
#pragma once

// RIPEMD-160 of the first megabyte of zzzz.saf, 40 lower-case hex digits.
extern const char DATA_ARCHIVE_DIGEST[41];
// RIPEMD-160 of the seven generic bike part shapes concatenated in start-up order.
extern const char FIXED_FILES_DIGEST[41];
