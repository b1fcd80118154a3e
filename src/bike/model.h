// The compiled-in table of bike models: geometry, masses, suspension ranges, gearbox,
// engine torque curves, rider dimensions and the part files that show each bike.
#pragma once

#include "common/vec.h"

enum {
    MODEL_COUNT = 45,
    TORQUE_POINTS = 50,      // one point every 500 rpm from 0 to 24500
    MODEL_FILE_COUNT = 23,
};

// Indices into BikeModel::files.
enum ModelFile {
    FILE_FRAME_MODEL, FILE_FRAME_SHAPE, FILE_BIKE_TEXTURE, FILE_FORK_UPPER_MODEL,
    FILE_FORK_UPPER_SHAPE, FILE_FORK_LOWER_MODEL, FILE_FORK_LOWER_SHAPE, FILE_SWINGARM_MODEL,
    FILE_SWINGARM_SHAPE, FILE_FRONT_WHEEL_MODEL, FILE_FRONT_WHEEL_SHAPE, FILE_REAR_WHEEL_MODEL,
    FILE_REAR_WHEEL_SHAPE, FILE_WHEEL_TEXTURE, FILE_HEAD_MODEL, FILE_HELMET_TEXTURE,
    FILE_BODY_MODEL, FILE_BODY_FP_MODEL, FILE_RIDER_SHAPE, FILE_GEAR_TEXTURE,
    FILE_SIDE_PLATES_MODEL, FILE_FRONT_PLATE_MODEL, FILE_RIDER_PLATE_MODEL,
};

struct WheelBlock {
    Vec3 centre;          // rest position of the wheel body
    float ring_radius;    // tyre torus ring radius (and tyre mass ring)
    float tube_radius;    // tyre torus tube radius (and each tyre mass sphere)
    float tyre_mass;      // slugs, spread over 16 spheres
    float hub_radius;
    float hub_mass;
};

struct BikeModel {
    const char *name;            // "crf450(2013)" ...
    const char *model_class;     // "450f", "250f", "250", "125" or "50"
    const char *graphics_base;   // part file stem: "@<base>_frame.jm"
    WheelBlock front;
    WheelBlock rear;
    Vec3 frame_centre;
    float frame_mass;            // chassis without rider, slugs
    Vec3 frame_box;              // side lengths of the chassis mass box, ft
    Vec3 fork_upper;             // top of the steering axis
    Vec3 swingarm_centre;
    Vec3 swingarm_pivot;
    Vec3 fork_lower;             // bottom of the steering axis
    float fork_spacing;          // between the legs
    float fork_length;           // leg cylinders are 2/3 of it
    float fork_mass;             // of each fork body
    float fork_spring[2];        // lbf/ft at setting 0 and 1, both legs
    float fork_preload[2];       // ft at setting 0 and 1
    float fork_air_gap[2];       // air column ft at oil level 0 and 1
    float fork_compression;      // nominal damping, lbf per ft/s
    float fork_rebound;
    float fork_travel;           // ft
    float swingarm_mass;         // of each of the two swingarm boxes
    float shock_spring[2];       // lbf/ft at the shock, setting 0 and 1
    float shock_preload[2];      // ft
    float shock_compression;     // nominal damping
    float shock_rebound;
    float swingarm_travel;       // largest swingarm angle, rad
    float linkage[2];            // shock travel per wheel travel, extended and compressed
    float primary_ratio;         // crankshaft to gearbox input
    float countershaft_teeth;
    float rear_teeth;
    float gear_ratio[6];         // <= 0 marks a gear the bike does not have
    float engine_inertia;        // slug ft^2 at the crankshaft
    float clutch_stiffness;      // lbf ft per rad of wind-up
    float clutch_damping;        // lbf ft per rad/s of slip
    float closed_torque[TORQUE_POINTS];   // lbf ft at 500 k rpm, closed throttle
    float open_torque[TORQUE_POINTS];     // the same, open throttle
    float shift_down_rpm;        // automatic shifting
    float shift_up_rpm;
    float redline_rpm;           // shown only; not read by the simulation
    Vec3 torso_line_dir;         // old snapshots only
    Vec3 torso_point;            // rest position of the rider body
    float torso_line_range[2];   // old snapshots only
    float rider_mass;            // slugs
    const char *files[MODEL_FILE_COUNT];   // data names, see ModelFile
    // Rider skeleton: torso points in the torso's frame, grips on fork_upper, pegs on frame.
    Vec3 head;
    Vec3 shoulder[2];            // left, right
    Vec3 hip[2];
    Vec3 grip[2];
    Vec3 peg[2];
    float upper_arm, forearm, thigh, shin;
};

// The table, in its fixed order; index 0 .. MODEL_COUNT - 1.
const BikeModel *model_at(int index);
// The model with exactly this name, or null.
const BikeModel *model_find(const char *name);
// The model used for a name the table lacks: the first whose name contains "125" when the
// wanted name does, else the first containing "250f"; the first model when none matches.
// Shows "bike info for '%.20s' not found using '%.20s' instead".
const BikeModel *model_fallback(const char *wanted);
// model_find, else model_fallback: never null.
const BikeModel *model_lookup(const char *name);

// The model file name with the texture's variant tag (its base name from the first '-' up to
// the second '-') inserted before a new ending: "@yz125_frame.jm" + ".../yz125-red-x.png" +
// ".jm" gives "@yz125_frame-red.jm". Returns 0 when there is no variant; writes at most
// size bytes including the terminating zero (0 when it does not fit).
int model_variant_name(const char *model_file, const char *texture, const char *ending,
                       char *out, int size);
