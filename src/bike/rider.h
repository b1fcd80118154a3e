// The rider and the control step: torso springs, steering (normal and arcade) with its
// assists, dab, backing up, crash detection, the crashed state and getting back up.
#pragma once

#include "bike/bike.h"

// Where a rider standing still with a foot down turns to: the race supplies it (the point of
// the rider's racing line a little ahead, or the next checkpoint) and returns 0 when the
// rider should not turn (no checkpoints, before the first gate, finished). It is asked
// whenever the rider stands leaning on a foot, automatic dab or not, and may mark the rider
// finished (a rider standing still behind the winner after the finish). Null: never.
typedef int (*StandstillTarget)(const Bike *bike, Vec3 *target);
void rider_set_standstill_target(StandstillTarget target);

// Applies torque tau about the steering axis: on the front wheel, and against the frame.
void apply_steering_torque(Bike *bike, float tau);
// Pushes a body towards a target velocity with at most max_force (full from 1.5 ft/s off).
void velocity_match(dBodyID body, float max_force, Vec3 target);
// Heading of the front wheel's travel relative to the fork, radians (0 below 1 ft/s).
float front_slip_heading(const Bike *bike);
// Torque fraction that turns the steering towards angle theta, -2/3 .. 2/3.
float steering_servo(const Bike *bike, float theta);
// Lean the rider may hold at squared speed v2 (power 4 normally, 32 for the dab support).
float allowed_lean(const Bike *bike, float v2, int power);
// Foot positions (left, right) and knee-plane weights for the pose and the crash feet.
void rider_foot_targets(const Bike *bike, Vec3 feet[2], float weights[2]);
// One step of the crash foot points (falling, resting on the ground, within leg reach) and
// of the falling dab pose.
void crash_feet_step(Bike *bike);
