// Generating whole track directories: ground, surfaces, light, objects and the files that
// describe the track.
#pragma once

#include <string>

#include "course.h"
#include "land.h"

// The "tileinfo" text: every surface type with its picture, grip and rolling-resistance
// curves, roost and rut parameters; transition types take the physics of their base.
std::string tracks_tileinfo_text();
// Generates track index (course_build order) into the home tree.
void tracks_generate(int index);
