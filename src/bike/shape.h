// Part collision shapes: the ".shp" reader and the process-wide shape cache. A shape is a
// short list of spheres in the part body's own frame; bikes copy the list and refill world
// centres before every test, statues use it for collisions and their bucket footprint.
//
// File (text): a sphere count N, then N records of seven reals: centre x y z (feet, body
// frame), radius (feet), friction coefficient, stiffness k (lbf/ft), damping c (lbf s/ft).
// A file that does not parse completely is rejected, as is one with N outside
// 1 .. SHAPE_MAX_SPHERES, a non-finite number, a negative radius, stiffness or damping, or
// centres so far out that the bounding radius overflows.
#pragma once

struct DataStream;

enum { SHAPE_MAX_SPHERES = 4096 };

struct ShapeSphere {
    float centre[3];   // feet, in the part body's frame
    float radius;      // feet, >= 0
    float friction;    // Coulomb friction coefficient mu
    float stiffness;   // contact spring k, lbf/ft, >= 0
    float damping;     // contact damper c, lbf s/ft, >= 0
};

struct Shape {
    const char *name;          // data name it was loaded by (interned)
    int count;                 // spheres, 1 .. SHAPE_MAX_SPHERES
    ShapeSphere *spheres;      // count records; owned by the cache
    float bounding_radius;     // largest |centre| + radius over the spheres, feet
};

// Parses a shape from a stream; null when the text does not parse completely. The result
// is owned by the caller (shape_free).
Shape *shape_read(DataStream *stream, const char *name);
void shape_free(Shape *shape);

// The cached shape of a data name (exact name), loaded on first use and kept for the
// program's life; null when the file is missing or rejected ("Can't load shape '%s'" is
// shown for a file that exists but does not parse). A failed name is tried again on the
// next call.
const Shape *shape_load(const char *name);
// Largest |centre| + radius over count spheres (0 for none).
float shape_bounding_radius(const ShapeSphere *spheres, int count);
// Frees every cached shape (tests, shutdown).
void shapes_clear();
