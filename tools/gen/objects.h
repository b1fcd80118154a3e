// The objects of a generated track: timing gates and the start grid, billboards (trees,
// banners, fences), statues (hay bales, tuff blocks, tyre walls), flag marshals, decals,
// cameras and lighting. Planned from the course and the ground, then written through the
// track module's writers.
#pragma once

#include <string>
#include <vector>

#include "course.h"
#include "land.h"

struct Terrain;

struct PlannedBoard {
    float x, z, y;         // y: height of the picture's centre above the ground
    float width, height;
    std::string picture;
};

struct PlannedStatue {
    float x, z, y, angle;
    const char *model, *texture, *shape;
};

struct PlannedDecal {
    float x, z, angle, size_x, size_z;
    const char *picture;
};

struct TrackLight {
    float sun[3];          // unit vector towards the sun
    float sun_color[3];
    float ambient[3];
    float global_ambient[3];
    float fog[4];          // r, g, b, density (0 = none)
    int flare_at_point;    // the flare sits at flare_point (stadium lights), else at the sun
    float flare_point[3];
};

struct ObjectPlan {
    std::vector<PlannedBoard> boards;
    std::vector<PlannedStatue> statues;
    std::vector<PlannedDecal> decals;
    std::vector<float> gate_s;   // arc length of every checkpoint, finish line first
    TrackLight light;
};

// Places every object of the track and adds the shadows of the trees to the land.
void objects_plan(const Course &course, Land *land, ObjectPlan *plan);
// Fills the terrain's decal list (written with the terrain).
void objects_decals(const ObjectPlan &plan, Terrain *terrain);
// Writes "timing_gates", "billboards", "statues", "flaggers", "cameras" and "lighting" of the
// track through the track writers, standing the objects on the terrain. 1 on success.
int objects_write(const Course &course, const Land &land, const ObjectPlan &plan,
                  Terrain *terrain);
