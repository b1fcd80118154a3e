// Guards of the shipped content: every track loads headless without a message, its timing
// covers the lap on the riding surface, its start grid stands level, every file it names is
// in the archive; the part shapes load and match the build's digest; the data check
// accepts the archive and refuses it after one changed byte; the computer riders have a
// line through every gate of every track at every skill.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "ai/lines.h"
#include "archive.h"
#include "bike/shape.h"
#include "common/console.h"
#include "common/ripemd160.h"
#include "course.h"
#include "files/build_digest.h"
#include "files/data.h"
#include "race/series.h"
#include "render/image.h"
#include "render/model.h"
#include "testsupport/testsupport.h"
#include "track/billboards.h"
#include "track/decals.h"
#include "track/track.h"

namespace {

std::string archive_dir()
{
    std::string path = RUTMOOR_GEN_ARCHIVE;
    return path.substr(0, path.rfind('/'));
}

// Only the shipped archive is visible: the installation directory is the build's, the
// home directory an empty scratch one.
struct ShippedData {
    TempDir home;
    ScopedEnv qz{"QZ_HOME", archive_dir().c_str()};
    ScopedEnv xdg{"XDG_DATA_HOME", home.path.c_str()};
    ShippedData() { data_reset(); }
    ~ShippedData() { data_reset(); }
};

bool in_archive(const char *name)
{
    if (!name)
        return true;
    DataStream *s = data_open(name, "rb");
    if (s)
        data_close(s);
    return s != nullptr;
}

std::string messages()
{
    std::string out;
    for (int i = CONSOLE_RING_LINES - 1; i >= 0; i--)
        if (const char *line = console_ring_line(i))
            out += std::string(line) + "\n";
    return out;
}

const Course *course_named(const char *name)
{
    static Course courses[8];
    for (int i = 0; i < course_count(); i++) {
        if (courses[i].points.empty())
            course_build(i, &courses[i]);
        if (!strcmp(courses[i].name, name))
            return &courses[i];
    }
    return nullptr;
}

// Every name a loaded track refers to.
std::set<std::string> named_files(const Track *t)
{
    std::set<std::string> names;
    auto add = [&](const char *n) {
        if (n)
            names.insert(n);
    };
    for (int i = 0; i < t->terrain.surface_count; i++) {
        add(t->terrain.surfaces[i].texture_name);
        for (const RoostType &r : t->terrain.surfaces[i].roost)
            if (r.kind)
                add(r.texture_name);
    }
    for (int i = t->first_billboard; i < t->billboards.count; i++)
        add(array_get<Billboard>(&t->billboards, i)->texture_name);
    for (int i = 0; i < t->statues.count; i++) {
        const Statue *s = array_get<Statue>(&t->statues, i);
        add(s->model_name);
        add(s->texture_name);
        add(s->shape_name);
    }
    for (const char *p : t->flaggers.start.pictures)
        add(p);
    for (const char *p : t->flaggers.lap_board.pictures)
        add(p);
    for (int i = 0; i < t->flaggers.list.count; i++) {
        add(array_get<Flagger>(&t->flaggers.list, i)->texture_name);
        add(array_get<Flagger>(&t->flaggers.list, i)->texture_active_name);
    }
    for (int i = 0; i < t->terrain.decals.count; i++)
        add(array_get<Decal>(&t->terrain.decals, i)->texture);
    for (int f = 0; f < t->lighting.flares.count; f++) {
        const Flare *flare = array_get<Flare>(&t->lighting.flares, f);
        for (int e = 0; e < flare->element_count; e++)
            add(flare->elements[e].texture_name);
    }
    return names;
}

}   // namespace

TEST(Content, EveryTrackLoadsCleanWithItsLapGridAndFiles)
{
    ShippedData data;
    ASSERT_EQ(tracks_scan(), course_count());
    for (int i = 0; i < track_list()->count; i++) {
        const char *name = track_list()->names[i];
        SCOPED_TRACE(name);
        const Course *course = course_named(name);
        ASSERT_NE(course, nullptr);
        EXPECT_STREQ(track_list()->descs[i], course->desc);

        console_clear();
        ASSERT_EQ(track_load(name), 1);
        EXPECT_EQ(messages(), "");
        const Track *t = track_get();
        const Timing &timing = t->timing;

        // Checkpoints lie on the riding surface, close enough that none of the lap is
        // skipped, and the normal lap passes every one of them once.
        ASSERT_GT(timing.gate_count, 8);
        for (int g = 0; g < timing.gate_count; g++) {
            const Gate &gate = timing.gates[g];
            const CoursePoint &p = course->points[course_nearest(*course, gate.pos.x, gate.pos.z)];
            EXPECT_LT(hypotf(p.x - gate.pos.x, p.z - gate.pos.z), 0.5f * p.width - 2) << g;
            EXPECT_GE(surface_at(&t->terrain, gate.pos.x, gate.pos.z), 0);
            EXPECT_NEAR(gate.pos.y, terrain_height(&t->terrain, gate.pos.x, gate.pos.z), 0.05f);
            const Gate &next = timing.gates[(g + 1) % timing.gate_count];
            EXPECT_LT(hypotf(next.pos.x - gate.pos.x, next.pos.z - gate.pos.z), 100.0f) << g;
        }
        std::set<int> normal;
        for (int k = 0; k < timing.normal_lap_len; k++)
            normal.insert(timing.lap_order[timing.first_lap_len + k] % LAP_ENTRY_FLAGGED);
        EXPECT_EQ((int)normal.size(), timing.gate_count);
        EXPECT_EQ(timing.lap_order[timing.first_lap_len - 1], 0);   // both laps end at the finish
        EXPECT_LE(timing.first_lap_len, timing.normal_lap_len);
        EXPECT_LT(timing.first_lap_counted, timing.first_lap_len);   // some entries flagged

        // The start grid: one place per gate, all at one height on level ground, the
        // front wheel's and the gate's ground included.
        EXPECT_GE(timing.start_count, 20);
        float grid_y = terrain_height(&t->terrain, timing.start_pos[0].x, timing.start_pos[0].z);
        for (int s = 0; s < timing.start_count; s++) {
            float h = timing.start_heading[s];
            for (float ahead : {-10.0f, 0.0f, 3.0f}) {
                float x = timing.start_pos[s].x - ahead * sinf(h);
                float z = timing.start_pos[s].z - ahead * cosf(h);
                EXPECT_NEAR(terrain_height(&t->terrain, x, z), grid_y, 0.05f) << s;
                Vec3 n;
                terrain_face_normal(&t->terrain, x, z, &n);
                EXPECT_GT(n.y / vec_length(n), 0.9995f) << s;
            }
        }

        // Every file named is in the archive and decodes as what it is.
        for (const std::string &file : named_files(t)) {
            EXPECT_TRUE(in_archive(file.c_str())) << file;
            const char *dot = strrchr(file.c_str(), '.');
            if (!strcmp(dot, ".png") || !strcmp(dot, ".ppm"))
                EXPECT_NE(image_get(file.c_str()), nullptr) << file;
            else if (!strcmp(dot, ".jm"))
                EXPECT_NE(model_get(file.c_str()), nullptr) << file;
            else if (!strcmp(dot, ".shp"))
                EXPECT_NE(shape_load(file.c_str()), nullptr) << file;
            else
                ADD_FAILURE() << "unexpected kind of file " << file;
        }
        // At least five surfaces of distinct grip, and transition tiles whose picture names
        // give the editor their base, their grass overlay and their corner mask.
        ASSERT_GE(t->terrain.surface_count, 5 + 14);
        for (int a = 0; a < 5; a++)
            for (int b = a + 1; b < 5; b++)
                EXPECT_NE(surface_friction(&t->terrain.surfaces[a], 400),
                          surface_friction(&t->terrain.surfaces[b], 400));
        int transitions = 0, alternates = 0;
        for (int k = 5; k < t->terrain.surface_count; k++) {
            int code = t->terrain.surfaces[k].transition;
            int base = code >> 16, overlay = (code >> 8) & 255, mask = code & 255;
            EXPECT_LT(base, 5) << k;
            if (overlay == base && mask == 0) {   // another picture of a base
                EXPECT_EQ(surface_friction(&t->terrain.surfaces[k], 400),
                          surface_friction(&t->terrain.surfaces[base], 400));
                alternates++;
                continue;
            }
            EXPECT_EQ(overlay, 3) << k;   // grass
            EXPECT_TRUE(mask >= 1 && mask <= 14) << k;
            EXPECT_NE(surface_friction(&t->terrain.surfaces[k], 400), 0.0f);
            transitions++;
        }
        EXPECT_EQ(transitions % 14, 0);
        EXPECT_EQ(alternates, 5);

        // Berms rise on the outside of turns, off-camber turns fall away from it.
        int berms = 0, off_camber = 0;
        for (size_t k = 20; k + 20 < course->points.size(); k += 10) {
            const CoursePoint &a = course->points[k - 20], &p = course->points[k];
            const CoursePoint &b = course->points[k + 20];
            float turn = a.dir_x * b.dir_z - a.dir_z * b.dir_x;   // > 0 turning right
            if (fabsf(turn) < 0.3f)
                continue;
            float out = turn > 0 ? -1.0f : 1.0f, half = 0.5f * p.width - 1;
            float outside = terrain_height(&t->terrain, p.x - p.dir_z * half * out,
                                           p.z + p.dir_x * half * out);
            float inside = terrain_height(&t->terrain, p.x + p.dir_z * half * out,
                                          p.z - p.dir_x * half * out);
            berms += outside > inside + 2;
            off_camber += outside < inside - 1;
        }
        EXPECT_GT(berms, 3);
        if (!strcmp(name, "rabbithill")) {
            EXPECT_GT(off_camber, 0);
        }
        // Nothing but the start gates stands on the riding surface.
        auto off_course = [&](Vec3 pos, float clearance) {
            const CoursePoint &p = course->points[course_nearest(*course, pos.x, pos.z)];
            return hypotf(p.x - pos.x, p.z - pos.z) > 0.5f * p.width + clearance;
        };
        for (int k = timing.start_count; k < t->statues.count; k++)
            EXPECT_TRUE(off_course(array_get<Statue>(&t->statues, k)->pos, 1)) << "statue " << k;
        for (int k = t->first_billboard; k < t->billboards.count; k++)
            EXPECT_TRUE(off_course(array_get<Billboard>(&t->billboards, k)->pos, 3))
                << "billboard " << k;
        EXPECT_NE(t->map_picture, nullptr);
        EXPECT_GE(t->statues.count, timing.start_count + 10);
        track_unload();
    }
}

TEST(Content, BikePartShapesLoadAndMatchTheBuildDigest)
{
    ShippedData data;
    const char *parts[] = {"@generic_frame.shp",    "@generic_fork_upper.shp",
                           "@generic_fork_lower.shp", "@generic_swingarm.shp",
                           "@front_wheel.shp",      "@rear_wheel.shp",
                           "@generic_rider.shp"};
    Ripemd160 ctx;
    ripemd160_init(&ctx);
    for (const char *part : parts) {
        const Shape *shape = shape_load(part);
        ASSERT_NE(shape, nullptr) << part;
        EXPECT_GE(shape->count, 4) << part;
        EXPECT_LT(shape->bounding_radius, 3.0f) << part;
        DataStream *s = data_open(part, "rb");
        char buffer[512];
        int got;
        while ((got = data_read(s, buffer, sizeof buffer)) > 0)
            ripemd160_update(&ctx, buffer, got);
        data_close(s);
    }
    uint8_t digest[20];
    char hex[41];
    ripemd160_final(&ctx, digest);
    ripemd160_hex(digest, hex);
    EXPECT_STREQ(hex, FIXED_FILES_DIGEST);
    EXPECT_TRUE(in_archive("@startgate.shp") && in_archive("@startgate.jm") &&
                in_archive("@startgate.ppm"));
    for (const char *c : {"50", "125", "250", "250f", "450f"})
        EXPECT_TRUE(in_archive(("@default" + std::string(c) + ".braap").c_str())) << c;
}

TEST(Content, DataCheckAcceptsTheArchiveAndRefusesOneChangedByte)
{
    std::string archive = read_whole_file(RUTMOOR_GEN_ARCHIVE);
    ASSERT_GT(archive.size(), 1048576u);
    TempDir install, home;
    ScopedEnv qz("QZ_HOME", install.path.c_str());
    ScopedEnv xdg("XDG_DATA_HOME", home.path.c_str());
    install.write("zzzz.saf", archive);
    data_reset();
    EXPECT_EQ(data_check(), 1);
    for (size_t at : {(size_t)0, archive.size() / 3 % 1048576, (size_t)1048575}) {
        std::string changed = archive;
        changed[at] ^= 1;
        install.write("zzzz.saf", changed);
        data_reset();
        EXPECT_EQ(data_check(), 0) << at;
    }
    data_reset();
}

TEST(Content, CourseSectionsKeepTheirShouldersApart)
{
    // Parts of the lap far apart along the course must not share ground, or the cut of
    // one would slice through the other.
    for (int i = 0; i < course_count(); i++) {
        Course c;
        course_build(i, &c);
        SCOPED_TRACE(c.name);
        int n = (int)c.points.size();
        for (int a = 0; a < n; a += 3)
            for (int b = a + 3; b < n; b += 3) {
                float along = std::min(c.points[b].s - c.points[a].s,
                                       c.length - (c.points[b].s - c.points[a].s));
                float need = 0.5f * (c.points[a].width + c.points[b].width) + 2 * c.shoulder;
                if (along < need * 2)
                    continue;
                float d = hypotf(c.points[a].x - c.points[b].x, c.points[a].z - c.points[b].z);
                ASSERT_GT(d, 0.5f * (c.points[a].width + c.points[b].width) + 6)
                    << c.points[a].s << " and " << c.points[b].s;
            }
    }
}

TEST(Content, BothSeriesLoadOverTheShippedTracks)
{
    ShippedData data;
    ASSERT_EQ(tracks_scan(), course_count());
    series_load_all(0);
    ASSERT_EQ(series_count(), 2);
    for (int i = 0; i < series_count(); i++) {
        const Series *series = series_get(i);
        SCOPED_TRACE(series->title);
        EXPECT_GE(series->event_count, 3);
        EXPECT_GT(series->robots, 14);
        for (int e = 0; e < series->event_count; e++) {
            EXPECT_EQ(series->events[e].points[0], 25);
            EXPECT_GT(series->events[e].laps, 0);
        }
    }
}

TEST(Content, EveryTrackShipsALineThroughEveryGateAtEverySkill)
{
    // A gate with no line holds every robot there for the rest of the race.
    ShippedData data;
    ASSERT_EQ(tracks_scan(), course_count());
    for (int i = 0; i < track_list()->count; i++) {
        const char *name = track_list()->names[i];
        ASSERT_EQ(track_load(name), 1);
        lines_init(&track_get()->timing, name);
        ASSERT_NE(lines_table(), nullptr) << name;
        for (int skill = 0; skill < 3; skill++) {
            SCOPED_TRACE(std::string(name) + " " + lines_file_name(skill));
            EXPECT_GT(lines_load(lines_file_name(skill)), 0);
            for (int row = 0; row < lines_table()->rows; row++)
                EXPECT_GT(line_row_used(row), 0) << "row " << row;
        }
        lines_free();
        track_unload();
    }
}
