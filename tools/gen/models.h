// Solid objects: the ".jm" models of the statues and the start gate, their ".shp" collision
// shapes, and the seven bike part shapes fitted to the shared chassis.
#pragma once

#include <string>
#include <vector>

struct Sphere {
    float x, y, z;       // centre in the body's frame, ft
    float radius;        // ft
    float friction;      // mu
    float stiffness;     // lbf/ft
    float damping;       // lbf s/ft
};

// The text of a ".shp" file: the count, then seven numbers per sphere.
std::string shape_text(const std::vector<Sphere> &spheres);
// Writes every model and shape.
void models_write_all();
