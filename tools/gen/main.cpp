// rutmoor-gen: builds every file of the game data from code into a scratch home directory,
// packs it into zzzz.saf and writes the build's digest source.
//   rutmoor-gen --archive <zzzz.saf> --digest-source <build_digest.cpp> --work <dir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "archive.h"
#include "common/console.h"
#include "course.h"
#include "files/data.h"
#include "gen.h"
#include "models.h"
#include "pictures.h"
#include "sounds.h"
#include "textures.h"
#include "track/track.h"
#include "tracks.h"

static void usage()
{
    fprintf(stderr, "usage: rutmoor-gen --archive FILE --digest-source FILE --work DIR\n");
}

// Every kind of content, each writing into the home tree. Pictures, models and shapes come
// first: the track writers load what the objects name.
static void gen_all()
{
    textures_write_all();
    pictures_write_all();
    models_write_all();
    sounds_write_all();
    series_write_all();
    for (int i = 0; i < course_count(); i++)
        tracks_generate(i);
}

// The project's writers and loaders report through the console; anything that reads as a
// warning means the content is not as its readers expect.
static int console_warnings()
{
    int found = 0;
    for (int i = CONSOLE_RING_LINES - 1; i >= 0; i--) {
        const char *line = console_ring_line(i);
        if (line && (strstr(line, "arning") || strstr(line, "Can't") || strstr(line, "rror"))) {
            fprintf(stderr, "rutmoor-gen: %s\n", line);
            found++;
        }
    }
    return found;
}

int main(int argc, char **argv)
{
    const char *archive_path = nullptr;
    const char *digest_path = nullptr;
    const char *work = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--archive"))
            archive_path = argv[i + 1];
        else if (!strcmp(argv[i], "--digest-source"))
            digest_path = argv[i + 1];
        else if (!strcmp(argv[i], "--work"))
            work = argv[i + 1];
        else
            return usage(), 2;
    }
    if (!archive_path || !work || argc % 2 == 0)
        return usage(), 2;

    // The project's writers put '@' names into the home directory: point it into the work
    // directory, emptied first so that no file of an earlier run slips into the archive.
    std::string home_root = std::string(work) + "/home";
    std::error_code error;
    std::filesystem::remove_all(home_root, error);
    std::filesystem::create_directories(home_root + "/Rutmoor", error);
    if (error) {
        fprintf(stderr, "rutmoor-gen: can't create %s\n", home_root.c_str());
        return 1;
    }
    // The installation directory is an empty one too: left unset it would be the
    // executable's directory, whose zzzz.saf from an earlier build could stand in for a
    // file this run forgot to write.
    std::string install = std::string(work) + "/install";
    std::filesystem::remove_all(install, error);
    std::filesystem::create_directories(install, error);
    setenv("XDG_DATA_HOME", home_root.c_str(), 1);
    setenv("QZ_HOME", install.c_str(), 1);
    gen.home = home_root + "/Rutmoor/";
    data_reset();
    track_configure(0, 1, 0);

    gen_all();
    gen.failures += console_warnings();
    if (gen.failures) {
        fprintf(stderr, "rutmoor-gen: %d files failed\n", gen.failures);
        return 1;
    }

    std::vector<ArchiveMember> members = archive_collect(gen.home);
    std::string archive = archive_pack(members);
    if (!archive_write_if_changed(archive_path, archive)) {
        fprintf(stderr, "rutmoor-gen: can't write %s\n", archive_path);
        return 1;
    }
    if (digest_path) {
        std::string source = archive_digest_source(archive_digest(archive),
                                                   archive_fixed_files_digest(members));
        if (!archive_write_if_changed(digest_path, source)) {
            fprintf(stderr, "rutmoor-gen: can't write %s\n", digest_path);
            return 1;
        }
    }
    return 0;
}
