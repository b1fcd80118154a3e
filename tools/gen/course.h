// The authored courses of the shipped tracks: each track's centreline (points every foot
// with width, banking, intended speed and surface), its jumps and whoop sections, and the
// ground the course is cut into. The terrain, the objects and the AI's first racing lines
// all start from these records; they are plain data, so other tools link this file alone.
#pragma once

#include <string>
#include <vector>

enum CourseKind {
    COURSE_OUTDOOR,   // motocross on rolling hills
    COURSE_STADIUM,   // supercross on a flat floor inside walls of tuff blocks
    COURSE_SAND,      // deep sand that ruts
};

// The ground surfaces every track's "tileinfo" starts with, in table order.
enum CourseSurface {
    SURFACE_LOAM,
    SURFACE_HARDPACK,
    SURFACE_SAND,
    SURFACE_GRASS,
    SURFACE_MUD,
    SURFACE_BASE_COUNT,
};

enum FeatureKind {
    FEATURE_TABLETOP,   // takeoff face, flat top, landing
    FEATURE_DOUBLE,     // two mounds with a gap between
    FEATURE_TRIPLE,     // three mounds
    FEATURE_STEP_UP,    // takeoff onto a higher plateau that ramps down later
    FEATURE_RHYTHM,     // a row of small mounds
    FEATURE_WHOOPS,     // a row of closely spaced rounded bumps
};

struct CourseFeature {
    int kind;
    float s0, s1;       // arc length where it starts and ends, ft
    float height;       // height of its faces, ft
    int count;          // mounds or whoops
    const char *label;  // "tabletop", "double", ...
};

struct CoursePoint {
    float s;            // arc length from the finish line along the direction of travel, ft
    float x, z;         // centre of the track, ft
    float dir_x, dir_z; // unit direction of travel
    float width;        // riding width, ft
    float bank;         // height gained per foot to the right of travel (berms rise outward)
    float speed;        // intended speed, ft/s
    float y;            // height of the centre including jumps and whoops, ft
    int surface;        // CourseSurface of the riding surface
    int feature;        // index into Course::features, -1 when none
};

struct Course {
    const char *name;          // track directory
    const char *desc;          // shown in the track list
    int kind;                  // CourseKind
    int tile_bits;             // terrain size: 2^(n+1) cells per side
    float spacing;             // ft between height samples
    float shoulder;            // ft over which the course blends into its surroundings
    unsigned seed;             // of the surroundings' noise
    float floor_x0, floor_z0, floor_x1, floor_z1;   // stadium floor (stadium only)
    std::vector<CoursePoint> points;   // one per COURSE_STEP ft; the last joins the first
    std::vector<CourseFeature> features;
    float length;              // lap length, ft
    float gate_s;              // arc length of the start gate line
    int gate_count;            // start places
    float gate_spacing;        // ft between neighbouring start places
    float lap_seconds;         // lap time at the intended speeds
};

constexpr float COURSE_STEP = 1.0f;   // ft between centreline points

int course_count();
// Builds course index (0 .. course_count() - 1); the default track is index 0.
void course_build(int index, Course *course);
// The centreline interpolated at arc length s (taken modulo the lap).
CoursePoint course_at(const Course &course, float s);
// Index of the point nearest to (x, z).
int course_nearest(const Course &course, float x, float z);
// Height of the surroundings before the course is cut in.
float course_ground(const Course &course, float x, float z);
// The "centerline" file of a track directory: one line per point every few feet.
std::string course_centerline_text(const Course &course);
