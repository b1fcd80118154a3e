// The track list and the loaded track: sorting by description, "desc" first lines, loading
// headless with every object file, the digest's exact coverage and unloading.
#include "track/track.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ripemd160.h"
#include "platform/log.h"
#include "track/billboards.h"
#include "track/track_test_home.h"

namespace {

struct TrackTest : ::testing::Test {
    DataHome home;
    ~TrackTest() override { track_unload(); }
    std::string digest_hex() {
        char hex[41];
        ripemd160_hex(track_digest(), hex);
        return hex;
    }
};

TEST_F(TrackTest, ListIsSortedByDescriptionIgnoringCase) {
    home.put("b/terrain.hf", "x");
    home.put("b/desc", "beta");
    home.put("a/terrain.hf", "x");
    home.put("a/desc", "Alpha\nsecond line");
    home.put("c/terrain.hf.gz", "x");
    home.put("c/desc", "abcd");
    home.put("tracks/d/terrain.hf", "x");
    home.put("tracks/d/desc", std::string("abc\r\nsecond line"));
    home.put("e/terrain.hf", "x");   // no desc: the directory name
    home.put("f/terrain.hf", "x");   // plain and compressed: one track
    home.put("f/terrain.hf.gz", "x");
    home.put("f/desc", "");
    home.put("g/terrain.hfx", "x");   // not a height file
    home.put("h/terrain.hf", "x");
    home.put("h/desc", std::string("Zed\0more", 8));
    ASSERT_EQ(tracks_scan(), 7);
    const TrackList *list = track_list();
    const char *names[] = {"f", "tracks/d", "c", "a", "b", "e", "h"};
    const char *descs[] = {"", "abc", "abcd", "Alpha", "beta", "e", "Zed"};
    for (int i = 0; i < 7; i++) {
        EXPECT_STREQ(list->names[i], names[i]) << i;
        EXPECT_STREQ(list->descs[i], descs[i]) << i;
    }
}

TEST_F(TrackTest, NoTrackAtAllIsReported) {
    home.put("readme.txt", "no tracks here");
    testing::internal::CaptureStderr();
    EXPECT_EQ(tracks_scan(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No tracks found\n");
}

// A track "t" with timing, statues sharing one shape, billboards, flaggers, cameras and
// lighting.
struct LoadedTrackTest : TrackTest {
    LoadedTrackTest() {
        put_minimal_track(home, "t");
        home.put("t/desc", "Test Valley");
        home.put("t/timing_gates",
                 "startinggate:\n[ 10 0 10 ] 0\n[ 14 0 10 ] 0\n"
                 "checkpoints:\n5 [ 20 0 20 ] [ 0 0 -1 ]\n5 [ 40 0 40 ] [ 1 0 0 ]\n"
                 "firstlap:\n0 1\nnormallap:\n0 1\n");
        home.put("rock.shp", sphere_shape(1));
        home.put("t/statues", "[ 30 0 30 ] 0 null null @rock.shp\n[ 60 1 60 ] 0 null null @rock.shp\n");
        home.put("t/billboards", "[ 1 2 3 ] 4 5 #ff0000#flag.ppm\n");
        home.put("t/flaggers", "[ 1 0 2 ] [ 11 0 2 ] 3 4 2.5 s0 s1 s2 s3 s4\n"
                               "[ 5 1 6 ] 2 2 l0 l1 l2 l3\n[ 20 0 30 ] 1 2 0 1 -1 -1 f fa\n");
        home.put("t/cameras", "gate 1\naddcamera 10 20 30\n");
        home.put("t/lighting", "near_plane 0.5\n");
        tracks_scan();
    }
    std::string expected_digest() {
        std::string bytes = home.get("t/terrain.hf") + home.get("t/texturelist") +
                            home.get("t/tilemap") + home.get("t/timing_gates") +
                            home.get("t/statues") + home.get("rock.shp");
        uint8_t digest[20];
        ripemd160(bytes.data(), bytes.size(), digest);
        char hex[41];
        ripemd160_hex(digest, hex);
        return hex;
    }
};

TEST_F(LoadedTrackTest, LoadsEveryObjectFileHeadless) {
    ASSERT_EQ(track_load("t"), 1);
    const Track *t = track_get();
    EXPECT_STREQ(t->name, "t");
    EXPECT_STREQ(t->desc, "Test Valley");
    EXPECT_EQ(t->timing.gate_count, 2);
    EXPECT_EQ(t->timing.start_count, 2);
    // Start gates first, then the track's own statues.
    EXPECT_EQ(t->first_statue, 2);
    EXPECT_EQ(t->statues.count, 4);
    EXPECT_NEAR(array_get<Statue>(&t->statues, 3)->pos.y, 3, 1e-3);   // ground 2 + 1
    // Roost particles, then the marshals and flaggers, then the track's own billboards.
    EXPECT_EQ(t->first_billboard, PARTICLE_SLOTS + 3);
    ASSERT_EQ(t->billboards.count, PARTICLE_SLOTS + 4);
    const Billboard *own = array_get<Billboard>(&t->billboards, t->first_billboard);
    EXPECT_EQ(own->color[1], 0);
    const Billboard *slot = array_get<Billboard>(&t->billboards, t->particles.slots[1999].billboard);
    EXPECT_EQ(slot->texture_name, nullptr);
    EXPECT_FLOAT_EQ(slot->width, 1);
    EXPECT_EQ(t->particles.free_first, 0);
    EXPECT_EQ(t->particles.live_first, -1);
    EXPECT_EQ(t->particles.slots[1999].next, -1);
    EXPECT_EQ(t->flaggers.list.count, 1);
    EXPECT_EQ(t->cameras.list.count, 1);
    EXPECT_EQ(t->cameras.gate_camera[1], 0);
    EXPECT_FLOAT_EQ(t->lighting.near_plane, 0.5f);
    EXPECT_EQ(t->map_picture, nullptr);
    EXPECT_EQ(t->terrain.grid_size, 129);
    // Both statues with a shape are filed near the middle of the 128 ft field.
    EXPECT_EQ(statue_bucket_at(&t->statue_buckets, &t->terrain, 60, 60)->count, 1);
    EXPECT_EQ(digest_hex(), expected_digest());

    track_unload();
    EXPECT_EQ(track_get()->name, nullptr);
    EXPECT_EQ(track_get()->statues.count, 0);
    EXPECT_EQ(track_get()->billboards.count, 0);
}

unsigned long four_kilobytes() { return 4096; }

TEST_F(LoadedTrackTest, DebugLevelLogsEachStepInOrder) {
    ScopedEnv log_file("KOBU_LOGFILE", home.tmp.at("log.txt").c_str());
    log_reset();
    track_configure(1, 3, 0);
    track_set_texture_bytes(four_kilobytes);
    tracks_scan();
    ASSERT_EQ(track_load("t"), 1);
    track_unload();
    track_configure(0, 3, 0);
    track_set_texture_bytes(nullptr);
    log(nullptr);
    log_reset();

    const std::vector<std::string> expected = {
        "t -> Test Valley",
        "Loading '@t'",
        "4096 bytes texture memory used after hf creation",
        "Found 2 timing gates, first lap has 2 gates, normal lap has 2",
        "4096 bytes texture memory used after flagger creation",
        "4096 bytes texture memory used after billboard creation",
        "4096 bytes texture memory used after statue creation",
        "1 cameras found",
        "Deallocating track",
        "Finished deallocating track",
    };
    std::vector<std::string> seen;
    std::string text = read_whole_file(home.tmp.at("log.txt"));
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        size_t stamp = line.find("] ");
        if (stamp != std::string::npos)
            line = line.substr(stamp + 2);
        for (const std::string &wanted : expected)
            if (line == wanted)
                seen.push_back(line);
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(LoadedTrackTest, DigestCoversOnlyTheIdentifyingFiles) {
    struct Case {
        const char *file;
        std::string bytes;
        bool changes;
    } cases[] = {
        {"t/billboards", "[ 9 9 9 ] 1 1 other.png\n", false},
        {"t/lighting", "near_plane 0.1\nfar_plane 10\n", false},
        {"t/cameras", "", false},
        {"t/flaggers", "", false},
        {"t/decals", "[ 1 1 ] 0 1 1 @x.ppm\n", false},
        {"t/map.png", "not really", false},
        {"t/tilemap", std::string(64 * 64 - 1, '\0') + '\x01', true},
        {"t/texturelist", "dirt.ppm\nsand.ppm\n", true},
        {"t/timing_gates", "startinggate:\n[ 10 0 10 ] 0.5\n", true},
        {"t/statues", "[ 30 0 30 ] 0 null null @rock.shp\n", true},
        {"rock.shp", "1\n0 0 0 2 1 1000 10\n", true},
    };
    ASSERT_EQ(track_load("t"), 1);
    std::string before = digest_hex();
    for (const Case &c : cases) {
        std::string kept = home.get(c.file);
        home.put(c.file, c.bytes);
        shapes_clear();
        ASSERT_EQ(track_load("t"), 1) << c.file;
        EXPECT_EQ(digest_hex() != before, c.changes) << c.file;
        home.put(c.file, kept);
    }
}

TEST_F(LoadedTrackTest, FailedTerrainLeavesNoTrackAndLoadsAgainLater) {
    std::string hf = home.get("t/terrain.hf");
    home.put("t/terrain.hf", "not a height field");
    EXPECT_EQ(track_load("t"), 0);
    EXPECT_EQ(track_get()->name, nullptr);
    EXPECT_EQ(track_get()->desc, nullptr);
    EXPECT_EQ(track_get()->billboards.count, 0);
    EXPECT_EQ(track_get()->statues.count, 0);
    EXPECT_EQ(digest_hex(), std::string(40, '0'));
    home.put("t/terrain.hf", hf);
    ASSERT_EQ(track_load("t"), 1);
    EXPECT_EQ(digest_hex(), expected_digest());
}

TEST_F(LoadedTrackTest, UnlistedTrackIsDescribedByItsName) {
    put_minimal_track(home, "new");
    ASSERT_EQ(track_load("new"), 1);
    EXPECT_STREQ(track_get()->desc, "new");
    EXPECT_EQ(track_get()->timing.gate_count, 0);
    EXPECT_EQ(track_get()->billboards.count, PARTICLE_SLOTS);
}

}  // namespace
