// Data files: the data directory list, the archive index over loose files and ".saf"
// archives, the sorted names list, and the streams every reader and writer goes through,
// plain or inflating gzip data through a 1024-byte window.
#include "files/data.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "common/common.h"
#include "files/files_local.h"

constexpr int GZIP_INPUT_BYTES = 16384;         // compressed bytes read from the container at a time
constexpr int GZIP_WINDOW_BYTES = 1024;         // inflated bytes served between inflate calls
constexpr int HEADER_LINE_BYTES = 1024;         // longest archive member line, line feed included
constexpr int NAME_PATH_CHARS = 511;            // an '@' name's path is cut to this many characters
constexpr int WALK_DEPTH_MAX = 16;              // directory levels walked below a data directory
constexpr int WALK_PATH_BYTES = 4096;           // longest path the walk examines
constexpr int32_t STREAM_LIMIT_MAX = INT32_MAX; // read limit of plain files and inflated data

// Inflation state of a compressed stream.
struct Inflater {
    z_stream z;
    int started;                      // inflateInit2 succeeded, so inflateEnd is due
    int32_t raw_limit;                // container bytes that belong to the stream
    int32_t raw_read;                 // container bytes read so far
    int input_done;                   // the container has nothing more to give
    int ended;                        // the deflate data ended, broke or ran dry
    int window_next;                  // next byte to serve from window
    int window_end;                   // bytes of window filled
    uint8_t input[GZIP_INPUT_BYTES];  // compressed bytes
    uint8_t window[GZIP_WINDOW_BYTES];   // inflated bytes
};

struct DataStream {
    FILE *file;           // the container or plain file
    int32_t base;         // offset of the item inside the file
    int32_t limit;        // bytes that may be delivered; the member size, or STREAM_LIMIT_MAX
    int32_t position;     // bytes consumed so far
    int pushback;         // one character read ahead by the scanner, or -1
    int compressed;       // reads inflate gzip data through inflater
    Inflater *inflater;   // only when compressed
};

// One readable item: a loose file or an archive member.
struct ArchiveEntry {
    const char *container;   // full path of the file that holds the bytes
    const char *name;        // '/'-separated name as used after '@'
    int32_t offset;          // first byte inside the container
    int32_t size;            // bytes
    int32_t rank;            // search rank, lower wins
};

// Block of the string store the index keeps its paths and names in.
struct StringBlock {
    StringBlock *next;
    size_t used;
    size_t capacity;
    char *text;
};

static struct {
    int dirs_built;            // the directory list is current
    int dir_count;             // entries of dirs in use
    char *dirs[3];             // home, install or QZ_HOME directory, null end marker
    int index_built;           // the index and the names list are current
    ArchiveEntry *entries;     // lookup order once built: rank, then name
    int entry_count;
    int entry_capacity;
    const char **names;        // sorted distinct names, null-terminated
    int name_count;
    StringBlock *strings;      // store of every path and name the index points at
} files;

static const char *const no_names[1] = {nullptr};

// ---- directories ----

// Concatenates a and b, turns '\' into '/' and collapses runs of '/'.
static char *path_join(const char *a, const char *b) {
    size_t la = strlen(a), lb = strlen(b);
    char *out = static_cast<char *>(xmalloc(la + lb + 1));
    size_t n = 0;
    const char *parts[2] = {a, b};
    for (const char *part : parts) {
        for (const char *p = part; *p; p++) {
            char c = *p == '\\' ? '/' : *p;
            if (c == '/' && n > 0 && out[n - 1] == '/')
                continue;
            out[n++] = c;
        }
    }
    out[n] = 0;
    return out;
}

static void dirs_build() {
    if (files.dirs_built)
        return;
    files.dirs_built = 1;
    files.dir_count = 0;
    // An empty variable counts as unset: an empty QZ_HOME would otherwise make the
    // root directory a data directory and the index walk the whole file system.
    const char *xdg = getenv("XDG_DATA_HOME");
    const char *home = getenv("HOME");
    if (xdg && *xdg)
        files.dirs[files.dir_count++] = path_join(xdg, "/Rutmoor/");
    else if (home && *home)
        files.dirs[files.dir_count++] = path_join(home, "/.local/share/Rutmoor/");
    const char *qz = getenv("QZ_HOME");
    if (qz && *qz) {
        files.dirs[files.dir_count++] = path_join(qz, "/");
    } else {
        char exe[WALK_PATH_BYTES];
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n > 0) {
            exe[n] = 0;
            char *slash = strrchr(exe, '/');
            if (slash) {
                slash[1] = 0;
                files.dirs[files.dir_count++] = path_join(exe, "/");
            }
        }
    }
    files.dirs[files.dir_count] = nullptr;
}

const char *data_dir(int index) {
    dirs_build();
    if (index < 0 || index >= files.dir_count)
        return nullptr;
    return files.dirs[index];
}

void data_make_parents(const char *path) {
    size_t length = strlen(path);
    if (length >= 1024)
        return;
    char buffer[1024];
    memcpy(buffer, path, length + 1);
    for (size_t i = 1; i < length; i++) {
        if (buffer[i] != '/' || buffer[i - 1] == '/')
            continue;
        buffer[i] = 0;
        mkdir(buffer, 0777);
        buffer[i] = '/';
    }
}

// ---- the archive index ----

// A copy of length bytes of text in the string store; null when no memory is left.
static const char *strings_store(const char *text, size_t length) {
    StringBlock *block = files.strings;
    if (!block || block->capacity - block->used < length + 1) {
        size_t capacity = length + 1 > 65536 ? length + 1 : 65536;
        block = static_cast<StringBlock *>(malloc(sizeof(StringBlock)));
        char *text_bytes = static_cast<char *>(malloc(capacity));
        if (!block || !text_bytes) {
            free(block);
            free(text_bytes);
            return nullptr;
        }
        *block = {files.strings, 0, capacity, text_bytes};
        files.strings = block;
    }
    char *copy = block->text + block->used;
    memcpy(copy, text, length);
    copy[length] = 0;
    block->used += length + 1;
    return copy;
}

// Appends an entry; 0 when no memory is left (the entry is dropped).
static int index_add(const char *container, const char *name, int32_t size, int32_t rank) {
    if (files.entry_count == files.entry_capacity) {
        int capacity = files.entry_capacity ? files.entry_capacity * 2 : 256;
        void *grown = realloc(files.entries, sizeof(ArchiveEntry) * capacity);
        if (!grown)
            return 0;
        files.entries = static_cast<ArchiveEntry *>(grown);
        files.entry_capacity = capacity;
    }
    files.entries[files.entry_count++] = {container, name, 0, size, rank};
    return 1;
}

// The walk below one data directory.
struct IndexWalk {
    char path[WALK_PATH_BYTES];         // the directory being listed, ending in '/'
    size_t root;                        // bytes of path that name the data directory
    int32_t rank;                       // rank of the directory's loose files
    dev_t devices[WALK_DEPTH_MAX + 1];  // the directories being listed, outermost first,
    ino_t inodes[WALK_DEPTH_MAX + 1];   // so that a link back to one of them is not followed
};

// Adds every regular file below walk->path (length bytes, ending in '/') under its name
// below the data directory. depth directories are already being listed.
static void index_walk(IndexWalk *walk, size_t length, int depth) {
    char *path = walk->path;
    struct stat info;
    if (depth > WALK_DEPTH_MAX || stat(path, &info) != 0)
        return;
    for (int i = 0; i < depth; i++)
        if (walk->devices[i] == info.st_dev && walk->inodes[i] == info.st_ino)
            return;
    walk->devices[depth] = info.st_dev;
    walk->inodes[depth] = info.st_ino;
    DIR *dir = opendir(path);
    if (!dir)
        return;
    while (dirent *item = readdir(dir)) {
        if (!strcmp(item->d_name, ".") || !strcmp(item->d_name, ".."))
            continue;
        size_t item_length = strlen(item->d_name);
        if (length + item_length + 2 > WALK_PATH_BYTES)
            continue;
        memcpy(path + length, item->d_name, item_length + 1);
        if (stat(path, &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            path[length + item_length] = '/';
            path[length + item_length + 1] = 0;
            index_walk(walk, length + item_length + 1, depth + 1);
        } else if (S_ISREG(info.st_mode)) {
            const char *container = strings_store(path, length + item_length);
            if (!container)
                continue;
            int32_t size = info.st_size > STREAM_LIMIT_MAX ? STREAM_LIMIT_MAX : int32_t(info.st_size);
            index_add(container, container + walk->root, size, walk->rank);
        }
    }
    closedir(dir);
    path[length] = 0;
}

// Reads one line of at most size-1 bytes with its line feed; returns the bytes read.
static int header_line(FILE *file, char *line, int size) {
    int n = 0;
    while (n < size - 1) {
        int c = getc_unlocked(file);
        if (c == EOF)
            break;
        line[n++] = char(c);
        if (c == '\n')
            break;
    }
    line[n] = 0;
    return n;
}

// Adds the members of the archive at container with the given rank. A malformed header
// adds nothing: a line without a number other than "-", a line that is too long or cut off
// by the end of the file, a size that is negative or beyond 32 bits, a member line without
// a name, or members that reach past the end of the archive file.
static void index_read_archive(const char *container, int32_t rank) {
    FILE *file = fopen(container, "rb");
    if (!file)
        return;
    struct stat info;
    int64_t file_size = fstat(fileno(file), &info) == 0 ? int64_t(info.st_size) : 0;
    int first = files.entry_count;
    int64_t header_length = 0;
    int complete = 0;
    char line[HEADER_LINE_BYTES];
    for (;;) {
        int length = header_line(file, line, sizeof line);
        if (length == 0 || line[length - 1] != '\n' || memchr(line, 0, length))
            break;
        header_length += length;
        line[length - 1] = 0;
        char *end;
        errno = 0;
        long size = strtol(line, &end, 10);
        if (end == line) {
            complete = !strcmp(line, "-");
            break;
        }
        if (errno == ERANGE || size < 0 || size > STREAM_LIMIT_MAX || *end == 0 || end[1] == 0)
            break;
        // The name follows the one separator character; runs of '/' collapse to one.
        char *name = end + 1;
        size_t n = 0;
        for (const char *p = name; *p; p++)
            if (*p != '/' || n == 0 || name[n - 1] != '/')
                name[n++] = *p;
        const char *stored = strings_store(name, n);
        if (!stored || !index_add(container, stored, int32_t(size), rank))
            break;
    }
    fclose(file);
    int64_t offset = header_length;
    for (int i = first; complete && i < files.entry_count; i++) {
        ArchiveEntry *entry = &files.entries[i];
        if (offset > STREAM_LIMIT_MAX || offset + entry->size > file_size) {
            complete = 0;
            break;
        }
        entry->offset = int32_t(offset);
        offset += entry->size;
    }
    if (!complete)
        files.entry_count = first;
}

static int compare_name_rank(const ArchiveEntry *a, const ArchiveEntry *b) {
    int order = strcmp(a->name, b->name);
    if (order)
        return order;
    return (a->rank > b->rank) - (a->rank < b->rank);
}

static int compare_rank_name(const ArchiveEntry *a, const ArchiveEntry *b) {
    if (a->rank != b->rank)
        return a->rank < b->rank ? -1 : 1;
    return strcmp(a->name, b->name);
}

static void heap_sift(ArchiveEntry *items, int root, int count,
                      int (*compare)(const ArchiveEntry *, const ArchiveEntry *)) {
    for (;;) {
        int child = 2 * root + 1;
        if (child >= count)
            return;
        if (child + 1 < count && compare(&items[child], &items[child + 1]) < 0)
            child++;
        if (compare(&items[root], &items[child]) >= 0)
            return;
        ArchiveEntry swap = items[root];
        items[root] = items[child];
        items[child] = swap;
        root = child;
    }
}

// In-place heap sort, ascending.
static void heap_sort(ArchiveEntry *items, int count,
                      int (*compare)(const ArchiveEntry *, const ArchiveEntry *)) {
    for (int i = count / 2 - 1; i >= 0; i--)
        heap_sift(items, i, count, compare);
    for (int end = count - 1; end > 0; end--) {
        ArchiveEntry swap = items[0];
        items[0] = items[end];
        items[end] = swap;
        heap_sift(items, 0, end, compare);
    }
}

static void index_build() {
    if (files.index_built)
        return;
    files.index_built = 1;
    dirs_build();
    IndexWalk *walk = static_cast<IndexWalk *>(xmalloc(sizeof(IndexWalk)));
    for (int k = 0; k < files.dir_count; k++) {
        size_t length = strlen(files.dirs[k]);
        if (length + 1 >= sizeof walk->path)
            continue;
        memcpy(walk->path, files.dirs[k], length + 1);
        walk->root = length;
        walk->rank = k;
        index_walk(walk, length, 0);
    }
    free(walk);
    heap_sort(files.entries, files.entry_count, compare_name_rank);

    // Archives rank after every directory, in the order of their names.
    int32_t rank = files.dir_count;
    int loose = files.entry_count;
    for (int i = 0; i < loose; i++) {
        const char *name = files.entries[i].name;
        size_t length = strlen(name);
        if (length > 4 && !strcmp(name + length - 4, ".saf"))
            index_read_archive(files.entries[i].container, rank++);
    }
    heap_sort(files.entries, files.entry_count, compare_name_rank);

    files.names = static_cast<const char **>(malloc(sizeof(char *) * (files.entry_count + 1)));
    files.name_count = 0;
    if (files.names) {
        for (int i = 0; i < files.entry_count; i++) {
            const char *name = files.entries[i].name;
            if (files.name_count == 0 || strcmp(name, files.names[files.name_count - 1]))
                files.names[files.name_count++] = name;
        }
        files.names[files.name_count] = nullptr;
    }
    heap_sort(files.entries, files.entry_count, compare_rank_name);
}

const char *const *data_names(int *count) {
    index_build();
    if (count)
        *count = files.name_count;
    return files.names ? files.names : no_names;
}

void data_reset() {
    for (int i = 0; i < files.dir_count; i++)
        free(files.dirs[i]);
    free(files.entries);
    free(files.names);
    while (StringBlock *block = files.strings) {
        files.strings = block->next;
        free(block->text);
        free(block);
    }
    files = {};
}

// ---- streams ----

static int is_read_mode(const char *mode) { return strchr(mode, 'r') && !strchr(mode, '+'); }

// fopen that refuses directories (which Linux would open, only to fail every read).
static FILE *file_open(const char *path, const char *mode) {
    FILE *file = fopen(path, mode);
    struct stat info;
    if (file && fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        fclose(file);
        return nullptr;
    }
    return file;
}

static DataStream *stream_new(FILE *file, int32_t base, int32_t limit) {
    DataStream *stream = static_cast<DataStream *>(xcalloc(1, sizeof(DataStream)));
    stream->file = file;
    stream->base = base;
    stream->limit = limit;
    stream->pushback = -1;
    return stream;
}

void data_close(DataStream *stream) {
    if (!stream)
        return;
    if (stream->inflater) {
        if (stream->inflater->started)
            inflateEnd(&stream->inflater->z);
        free(stream->inflater);
    }
    fclose(stream->file);
    free(stream);
}

// Bytes of the gzip member header at the start of bytes, or 0 when it is malformed or
// does not fit in them.
static size_t gzip_header_length(const uint8_t *bytes, size_t count) {
    if (count < 10 || bytes[0] != 31 || bytes[1] != 139 || bytes[2] != 8 || bytes[3] >= 32)
        return 0;
    int flags = bytes[3];
    size_t at = 10;   // magic, method, flags, time, extra flags, system
    if (flags & 4) {
        if (at + 2 > count)
            return 0;
        at += 2 + (bytes[at] | bytes[at + 1] << 8);
    }
    for (int field = 8; field <= 16; field *= 2) {   // name, then comment
        if (!(flags & field) || at > count)
            continue;
        const void *zero = memchr(bytes + at, 0, count - at);
        if (!zero)
            return 0;
        at = static_cast<const uint8_t *>(zero) - bytes + 1;
    }
    if (flags & 2)
        at += 2;
    return at <= count ? at : 0;
}

// Sets the stream up to inflate the gzip data of raw_limit container bytes from the
// current file position. The stream then delivers up to STREAM_LIMIT_MAX inflated bytes.
static int stream_start_inflate(DataStream *stream, int32_t raw_limit) {
    Inflater *in = static_cast<Inflater *>(xcalloc(1, sizeof(Inflater)));
    stream->inflater = in;
    stream->compressed = 1;
    stream->limit = STREAM_LIMIT_MAX;
    in->raw_limit = raw_limit;
    size_t want = raw_limit < GZIP_INPUT_BYTES ? size_t(raw_limit) : GZIP_INPUT_BYTES;
    size_t got = fread(in->input, 1, want, stream->file);
    in->raw_read = int32_t(got);
    in->input_done = got < want;
    size_t header = gzip_header_length(in->input, got);
    if (!header || inflateInit2(&in->z, -15) != Z_OK)
        return 0;
    in->started = 1;
    in->z.next_in = in->input + header;
    in->z.avail_in = uInt(got - header);
    return 1;
}

// Refills the window; returns the bytes now available, 0 once the data has ended.
static int inflate_fill(DataStream *stream) {
    Inflater *in = stream->inflater;
    while (!in->ended) {
        if (in->z.avail_in == 0 && !in->input_done) {
            int32_t room = in->raw_limit - in->raw_read;
            size_t want = room < GZIP_INPUT_BYTES ? size_t(room) : GZIP_INPUT_BYTES;
            size_t got = want ? fread(in->input, 1, want, stream->file) : 0;
            in->raw_read += int32_t(got);
            in->input_done = got < want || want == 0;
            in->z.next_in = in->input;
            in->z.avail_in = uInt(got);
        }
        in->z.next_out = in->window;
        in->z.avail_out = GZIP_WINDOW_BYTES;
        int result = inflate(&in->z, Z_NO_FLUSH);
        int produced = GZIP_WINDOW_BYTES - int(in->z.avail_out);
        // The end of the deflate data, a decoding error, or input that ran out without
        // progress (a truncated stream) all end the data here.
        if (result != Z_OK && result != Z_BUF_ERROR)
            in->ended = 1;
        else if (produced == 0 && in->z.avail_in == 0 && in->input_done)
            in->ended = 1;
        if (produced > 0) {
            in->window_next = 0;
            in->window_end = produced;
            return produced;
        }
    }
    return 0;
}

// Opens a plain path; a read falls back to the path with ".gz" appended, inflated.
static DataStream *open_path(const char *path, const char *mode) {
    int reading = is_read_mode(mode);
    if (!reading && strlen(path) < 1024)
        data_make_parents(path);
    if (FILE *file = file_open(path, mode))
        return stream_new(file, 0, STREAM_LIMIT_MAX);
    if (!reading)
        return nullptr;
    size_t length = strlen(path);
    char *gz = static_cast<char *>(xmalloc(length + 4));
    memcpy(gz, path, length);
    memcpy(gz + length, ".gz", 4);
    FILE *file = file_open(gz, mode);
    free(gz);
    if (!file)
        return nullptr;
    DataStream *stream = stream_new(file, 0, STREAM_LIMIT_MAX);
    if (!stream_start_inflate(stream, STREAM_LIMIT_MAX)) {
        data_close(stream);
        return nullptr;
    }
    return stream;
}

static DataStream *open_entry(const ArchiveEntry *entry, int gzip) {
    FILE *file = fopen(entry->container, "rb");
    if (!file)
        return nullptr;
    if (fseeko(file, off_t(entry->offset), SEEK_SET) != 0) {
        fclose(file);
        return nullptr;
    }
    DataStream *stream = stream_new(file, entry->offset, entry->size);
    if (gzip && !stream_start_inflate(stream, entry->size)) {
        data_close(stream);
        return nullptr;
    }
    return stream;
}

DataStream *data_open(const char *name, const char *mode) {
    if (!name || !mode)
        return nullptr;
    index_build();
    if (name[0] != '@')
        return open_path(name, mode);
    char path[NAME_PATH_CHARS + 1];
    for (int k = 0; k < files.dir_count; k++) {
        snprintf(path, sizeof path, "%s%s", files.dirs[k], name + 1);
        if (DataStream *stream = open_path(path, mode))
            return stream;
    }
    if (!is_read_mode(mode))
        return nullptr;
    const char *wanted = name + 1;
    size_t length = strlen(wanted);
    for (int i = 0; i < files.entry_count; i++) {
        const ArchiveEntry *entry = &files.entries[i];
        if (!strcasecmp(entry->name, wanted))
            return open_entry(entry, 0);
        if (!strncasecmp(entry->name, wanted, length) && !strcasecmp(entry->name + length, ".gz"))
            return open_entry(entry, 1);
    }
    return nullptr;
}

int data_getc(DataStream *stream) {
    if (stream->pushback >= 0) {
        int byte = stream->pushback;
        stream->pushback = -1;
        stream->position++;
        return byte;
    }
    if (stream->position >= stream->limit)
        return -1;
    int byte;
    if (stream->compressed) {
        Inflater *in = stream->inflater;
        if (in->window_next == in->window_end && !inflate_fill(stream))
            return -1;
        byte = in->window[in->window_next++];
    } else {
        byte = getc_unlocked(stream->file);   // streams belong to the main thread
        if (byte == EOF)
            return -1;
    }
    stream->position++;
    return byte;
}

void data_ungetc(DataStream *stream, int byte) {
    if (byte < 0)
        return;
    stream->pushback = byte & 255;
    stream->position--;
}

char *data_gets(DataStream *stream, char *buffer, int size) {
    // Room for no byte besides the terminator: nothing can be read, and a caller that
    // loops until null must not loop forever.
    if (size <= 1) {
        if (size == 1)
            buffer[0] = 0;
        return nullptr;
    }
    int n = 0;
    while (n < size - 1) {
        int byte = data_getc(stream);
        if (byte < 0)
            break;
        buffer[n++] = char(byte);
        if (byte == '\n')
            break;
    }
    buffer[n] = 0;
    return n ? buffer : nullptr;
}

int data_read(DataStream *stream, void *buffer, int length) {
    uint8_t *out = static_cast<uint8_t *>(buffer);
    int n = 0;
    if (length <= 0)
        return 0;
    if (stream->pushback >= 0) {
        out[n++] = uint8_t(stream->pushback);
        stream->pushback = -1;
        stream->position++;
    }
    int room = stream->limit - stream->position;
    int want = length - n < room ? length - n : room;
    if (!stream->compressed) {
        int got = want > 0 ? int(fread(out + n, 1, size_t(want), stream->file)) : 0;
        stream->position += got;
        return n + got;
    }
    Inflater *in = stream->inflater;
    while (want > 0) {
        if (in->window_next == in->window_end && !inflate_fill(stream))
            break;
        int piece = in->window_end - in->window_next;
        if (piece > want)
            piece = want;
        memcpy(out + n, in->window + in->window_next, size_t(piece));
        in->window_next += piece;
        stream->position += piece;
        n += piece;
        want -= piece;
    }
    return n;
}

int data_putc(DataStream *stream, int byte) { return putc(byte, stream->file) != EOF; }

int data_puts(DataStream *stream, const char *text) { return fputs(text, stream->file); }

int data_write(DataStream *stream, const void *bytes, int length) {
    if (length <= 0)
        return 0;
    return int(fwrite(bytes, 1, size_t(length), stream->file));
}

int data_vprintf(DataStream *stream, const char *format, va_list args) {
    return vfprintf(stream->file, format, args);
}

int data_printf(DataStream *stream, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int written = data_vprintf(stream, format, args);
    va_end(args);
    return written;
}

int data_seek(DataStream *stream, int offset) {
    if (stream->compressed || offset < 0 || offset >= stream->limit)
        return 0;
    if (fseeko(stream->file, off_t(stream->base) + offset, SEEK_SET) != 0)
        return 0;
    stream->pushback = -1;
    stream->position = offset;
    return 1;
}

int data_flush(DataStream *stream) { return fflush(stream->file); }

int data_position(const DataStream *stream) { return stream->position; }

// The path of a name: '@' names in the home directory, cut to NAME_PATH_CHARS.
static int rename_path(const char *name, char *path, size_t size) {
    if (name[0] != '@')
        return snprintf(path, size, "%s", name) < int(size);
    const char *home = data_dir(0);
    if (!home)
        return 0;
    snprintf(path, NAME_PATH_CHARS + 1, "%s%s", home, name + 1);
    return 1;
}

int data_rename(const char *old_name, const char *new_name) {
    char old_path[WALK_PATH_BYTES], new_path[WALK_PATH_BYTES];
    if (!rename_path(old_name, old_path, sizeof old_path) ||
        !rename_path(new_name, new_path, sizeof new_path))
        return 0;
    return rename(old_path, new_path) == 0;
}
