// Engine, clutch, gearbox and brakes: a throttle-blended pair of torque curves drives one
// rotating mass, coupled to the rear wheel through an elastic slipping clutch; the brakes
// are velocity motors on the axles.
#pragma once

struct Bike;

// Crankshaft torque (lbf ft) at the engine's rpm and throttle; with stop-wheelies on, no
// drive torque while the nose is up and not coming down.
float engine_torque(const Bike *bike);
// Automatic shifting, clutch torque, engine integration and both brake motors for the next
// step.
void drivetrain_step(Bike *bike);
// Total reduction from crankshaft to rear wheel in the current gear.
float drivetrain_reduction(const Bike *bike);
