// Data files: the data directories (home first), the archive index over loose files and
// ".saf" archives, gzip members and ".gz" files, and the stream every reader and writer
// uses. Names beginning with '@' are looked up in the data directories, then the archives;
// other names are plain paths. Nothing here ends the program: failure returns 0 or null.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

struct DataStream;   // opaque; owned by whoever opened it, closed with data_close

// The index-th data directory, ending in '/'; null past the end. Index 0 is the home
// directory ($XDG_DATA_HOME/Rutmoor/, default ~/.local/share/Rutmoor/).
const char *data_dir(int index);

// Opens a data name with an fopen mode ("rb", "wb", "r", ...); null on failure. An '@' name
// is tried in each data directory (then with ".gz" appended, inflated), and for reads then
// in the index, ignoring letter case, as a member or as a ".gz" member. A write creates the
// parent directories. Directories never open as files.
DataStream *data_open(const char *name, const char *mode);
void data_close(DataStream *stream);   // null is ignored

// Reads never pass the end of an archive member; a gzip stream ends where its deflate data
// ends, breaks or runs out.
int data_getc(DataStream *stream);                              // 0..255, or -1 at the end
// Up to size-1 bytes, stopping after a line feed, which stays; null when nothing was read,
// and always when size is 1 or less (the buffer then holds "" when size is 1).
char *data_gets(DataStream *stream, char *buffer, int size);
int data_read(DataStream *stream, void *buffer, int length);    // bytes read
int data_putc(DataStream *stream, int byte);                    // 1 or 0
int data_puts(DataStream *stream, const char *text);            // no line end; -1 on failure
int data_write(DataStream *stream, const void *bytes, int length);   // bytes written
int data_printf(DataStream *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));
int data_vprintf(DataStream *stream, const char *format, va_list args) __attribute__((format(printf, 2, 0)));
// Plain streams only: 0 on a compressed stream or when offset is not below the limit.
int data_seek(DataStream *stream, int offset);
int data_flush(DataStream *stream);
// Bytes consumed so far (what the scanner's %n and the readers' checks use).
int data_position(const DataStream *stream);

// The formatted reader of every text format; see scan.cpp for its exact rules. Integer
// targets are int32_t (int16_t with 'h'); f targets float, double ('l') or long double
// ("ll", 'L', 'q'). Returns the assignments made, or -1 (see scan.cpp).
int data_scan(DataStream *stream, const char *format, ...);

// Renames; '@' names become home-directory paths first. 1 on success.
int data_rename(const char *old_name, const char *new_name);

// Every distinct name in the index, sorted in byte order; names[count] is null.
const char *const *data_names(int *count);

// 1 when a data directory holds a "zzzz.saf" whose first megabyte has the digest of the
// archive this build ships. Also names the log file (home directory "lastlog.txt").
int data_check();

// Creates the home directory and shows it in the desktop file manager (xdg-open).
void open_home_folder();

// Forgets the directory list and the archive index so that the next call rebuilds them
// from the current environment (tests change QZ_HOME and XDG_DATA_HOME between cases).
void data_reset();
