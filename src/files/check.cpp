// The start-up check that the shipped game data is present (which also names the log file)
// and showing the home directory in the desktop file manager. Kept apart from the rest of
// the data files so that programs without the build's digests can link them.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "common/ripemd160.h"
#include "files/build_digest.h"
#include "files/data.h"
#include "files/files_local.h"
#include "platform/log.h"

enum {
    CHECK_BYTES = 1048576,   // the digest covers the archive's first megabyte
    CHECK_PIECE = 256,       // read in pieces of this many bytes
};

int data_check_digest(const char *hex) {
    if (const char *home = data_dir(0)) {
        data_make_parents(home);
        // The log takes its file name from its first message; the whole message is cut to
        // 1023 characters.
        char logfile[1024];
        snprintf(logfile, sizeof logfile - strlen("KOBU_LOGFILE="), "%slastlog.txt", home);
        log("KOBU_LOGFILE=%s", logfile);
    }
    for (int k = 0; const char *dir = data_dir(k); k++) {
        char path[4096];
        if (snprintf(path, sizeof path, "%szzzz.saf", dir) >= int(sizeof path))
            continue;
        FILE *file = fopen(path, "rb");
        if (!file)
            continue;
        Ripemd160 context;
        ripemd160_init(&context);
        uint8_t piece[CHECK_PIECE];
        size_t total = 0, got;
        while (total < CHECK_BYTES && (got = fread(piece, 1, sizeof piece, file)) > 0) {
            ripemd160_update(&context, piece, got);
            total += got;
        }
        fclose(file);
        uint8_t digest[20];
        char digest_hex[41];
        ripemd160_final(&context, digest);
        ripemd160_hex(digest, digest_hex);
        if (!strcmp(digest_hex, hex))
            return 1;
    }
    return 0;
}

int data_check() { return data_check_digest(DATA_ARCHIVE_DIGEST); }

void open_home_folder() {
    const char *home = data_dir(0);
    if (!home)
        return;
    data_make_parents(home);
    char folder[1024];
    if (snprintf(folder, sizeof folder, "%s", home) >= int(sizeof folder))
        return;
    for (size_t n = strlen(folder); n > 1 && folder[n - 1] == '/'; n--)
        folder[n - 1] = 0;
    // The file manager outlives us: a child starts it from a grandchild and exits at once,
    // so nothing is left to reap. Without xdg-open the grandchild just ends.
    pid_t child = fork();
    if (child == 0) {
        if (fork() == 0) {
            execlp("xdg-open", "xdg-open", folder, static_cast<char *>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
}
