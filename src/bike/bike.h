// The physics world and the bike: one shared ODE world stepped 128 times a second, and per
// rider a Bike of seven bodies and six joints assembled from its BikeModel, with the
// accessors and clamping setters everything else reads and writes it through.
// Units: feet, slugs, seconds, lbf, radians; y up, x to the rider's right, the bike faces -z.
#pragma once

#include <cstdint>

#include <ode/ode.h>

#include "bike/model.h"
#include "common/common.h"
#include "common/vec.h"

#if !defined(dDOUBLE)
#error "the simulation needs the double-precision build of ODE"
#endif

struct Terrain;
struct PartShape;
struct Model;
struct Image;

enum {
    STEPS_PER_SECOND = 128,
    BIKE_BODY_COUNT = 7,
    BIKE_JOINT_COUNT = 6,
    RUT_QUEUE_SIZE = 1024,
    CRASH_STEPS = 512,           // crash_timer at the moment of a crash
};
constexpr double STEP_SECONDS = 1.0 / 128.0;
constexpr float GRAVITY_FT_S2 = 32.0f;
constexpr float MPH_PER_FT_S = 15.0f / 22.0f;
constexpr float FT_S_PER_MPH = 22.0f / 15.0f;
constexpr float RPM_PER_RAD_S = 9.549296f;

// Bodies, in their fixed order.
enum BikeBody {
    BODY_FRAME, BODY_FRONT_WHEEL, BODY_REAR_WHEEL, BODY_FORK_UPPER, BODY_FORK_LOWER,
    BODY_SWINGARM, BODY_RIDER,
};
// Joints, in their fixed order.
enum BikeJoint {
    JOINT_FRONT_AXLE, JOINT_REAR_AXLE, JOINT_STEERING_HEAD, JOINT_FORK_SLIDER,
    JOINT_SWINGARM_PIVOT, JOINT_RIDER_MOUNT,
};
// Part shapes kept with a bike, and the part bits of collision masks.
enum BikeTexture { TEXTURE_BIKE, TEXTURE_WHEELS, TEXTURE_GEAR, TEXTURE_HELMET };
enum BikePart {
    PART_FRAME, PART_FORK_UPPER, PART_FORK_LOWER, PART_SWINGARM, PART_FRONT_WHEEL,
    PART_REAR_WHEEL, PART_RIDER, PART_COUNT,
};
enum {
    HIT_FRAME = 0x01, HIT_FRONT_WHEEL = 0x02, HIT_REAR_WHEEL = 0x04, HIT_FORK_UPPER = 0x08,
    HIT_FORK_LOWER = 0x10, HIT_SWINGARM = 0x20, HIT_RIDER = 0x40,
};

// Flags byte.
enum {
    BIKE_AIR_STEERING = 0x01,     // direct steering torque also with the front wheel in the air
    BIKE_STOP_WHEELIES = 0x02,    // cut drive torque in a wheelie
    BIKE_STOP_STOPPIES = 0x04,    // release the front brake when only the front wheel touches
    BIKE_FRONT_ANTILOCK = 0x08,
    BIKE_REAR_ANTILOCK = 0x10,
    BIKE_AUTO_SHIFT = 0x20,
    BIKE_AUTO_DAB = 0x40,         // dab when stopped
    BIKE_ARCADE = 0x80,           // arcade physics
    BIKE_DEFAULT_FLAGS = 0x0D,
};

// One tyre's contact with the ground, refilled every step.
struct WheelContact {
    dBodyID body;            // the wheel body
    Vec3 axle;               // axle in the wheel's frame, (1, 0, 0)
    float ring_radius;
    float tube_radius;
    Vec3 contact_point;      // world point of the deepest contact of the last test
    Vec3 slip_velocity;      // the wheel's material velocity at contact_point
    Vec3 contact_normal;     // unit, out of the ground
    float depth;             // penetration; 0 when the wheel does not touch
    dJointFeedback feedback; // this step's contact force, filled by dWorldStep
};

// One pending rut: where, and the horizontal ground force that made it.
struct RutEvent {
    float x, z, fx, fz;
};

// What a bike's parts look like; null when not loaded (the bike still rides). The renderer
// makes GL textures of the pictures and the 128 x 128 number plate from plate_text.
struct BikeGraphics {
    Model *frame, *side_plates, *fork_upper, *front_plate, *fork_lower, *swingarm;
    Model *front_wheel, *rear_wheel, *head, *body, *body_fp, *rider_plate;
    const Image *texture[4];     // BikeTexture order: bike, wheels, riding gear, helmet
    const Image *normal[4];      // optional normal maps
    const Image *specular[4];    // optional specular maps
    uint8_t plate_background[3]; // number plate colours from the bike texture's text
    uint8_t plate_foreground[3];
};

struct Bike {
    BikeModel model;                        // private copy; setups never touch the table
    dBodyID body[BIKE_BODY_COUNT];
    dJointID joint[BIKE_JOINT_COUNT];
    dJointFeedback feedback[BIKE_JOINT_COUNT];
    WheelContact wheel[2];                  // front, rear

    // Controls.
    float throttle;          // 0..1
    float clutch;            // 0..1, 1 = engaged
    float front_brake;       // 0..1
    float rear_brake;        // 0..1
    float steer;             // -1..1
    float dab;               // 0..1 foot-down request
    float dab_anim;          // 0..1 foot-down pose amount
    float back_up;           // 0..1
    float lean;              // -1..1, positive moves the rider forward

    // Drivetrain.
    int gear;                // 0 = first .. 5 = sixth
    int last_shift;          // -1, 0, +1
    float clutch_angle;      // engine position referred to the rear wheel, -pi..pi
    float engine_speed;      // rad/s at the crankshaft
    float engine_inertia;
    float final_drive;       // rear teeth / countershaft teeth

    // Suspension setup.
    float fork_compression, fork_rebound, fork_spring, fork_preload, fork_air_gap;
    float shock_compression, shock_rebound, shock_spring, shock_preload;

    // Rider setup, 0..1 each.
    float rider_vertical_spring, rider_vertical_damping;
    float rider_forward_spring, rider_forward_damping;
    float rider_mass_distribution;   // share of the rider mass on the torso body, 0.33..0.5

    // Race bookkeeping (race and AI).
    int next_lap_entry;      // next entry of the lap sequence
    int finished;            // 1 once the rider has finished the race
    Array crossings;         // gate crossing steps, 4-byte entries
    Array line_points[2];    // 20-byte racing-line point buffers
    Array line;              // racing-line buffer
    int autopilot_decision_step;   // -1000000 after reset
    int autopilot_picked;          // auto-pilot picked ring (cleared by bike hits)
    float total_mass;        // sum of the seven bodies' masses

    // Assist setup.
    float roll_damping, leveling, roll_limit_factor, roll_limit_angle;
    float steering_damping, steering_strength, max_steering_force, direct_steering;
    float slow_damping_speed, slow_damping_factor;
    float landing_damping_falloff, landing_damping_factor;
    float auto_clutch_rpm, front_brake_torque, rear_brake_torque;
    float max_dab_speed;     // ft/s
    float full_lock_speed, restricted_lock_speed, restricted_lock_angle;

    // Graphics and collision shapes.
    BikeGraphics graphics;
    PartShape *shape[PART_COUNT];   // null: that part has no collisions
    char plate_text[8];

    int slot;                // rider slot given at creation

    // State flags and timers.
    int stopped;             // set once slow after the gate drop or a part hit the ground
    float landing_damping;   // current landing multiplier, 1 at reset
    int crash_timer;         // 0 riding, CRASH_STEPS at a crash, counts down
    float bump_timer;        // set by bike-to-bike hits, moves one unit per step towards 0
    int last_bump_step;      // step counter of the last bike hit, -1 after reset

    // Crash state: left then right foot.
    Vec3 crash_foot[2];
    Vec3 crash_foot_velocity[2];

    // History.
    Vec3 rider_velocity[4];              // rider body velocity, ring by step counter mod 4
    Vec3 stored_position[BIKE_BODY_COUNT];   // of the last applied snapshot
    Vec3 saved_linear[BIKE_BODY_COUNT];      // bike_save_velocities
    Vec3 saved_angular[BIKE_BODY_COUNT];
    Vec3 last_good_position;             // frame position of the last finite step

    RutEvent ruts[RUT_QUEUE_SIZE];
    int rut_head;            // next event to apply
    int rut_tail;            // next free slot

    uint8_t flags;           // BIKE_* bits

    float reach;             // radius around the frame holding every part this step
    int reach_step;          // step counter reach belongs to, -1 for none
    Vec3 reach_centre;       // frame position reach was measured at
};

// ---- The physics world (one per program) ----

// Creates the world, gravity and the contact group; routes ODE's messages to the log.
// Returns 0 when the ODE library is not the double-precision build.
int physics_init();
void physics_shutdown();
dWorldID physics_world();
dJointGroupID physics_contacts();
// One world step of 1/128 s, then the contact group is emptied.
void physics_step();
// Steps since the race (re)started; the step driver counts it.
int physics_step_count();
void physics_set_step_count(int step);
// The step of the gate drop (race start).
int physics_race_start();
void physics_set_race_start(int step);
// Terrain every bike rides on; null rides nothing.
void physics_set_terrain(Terrain *terrain);
Terrain *physics_terrain();

// ---- Bike lifecycle ----

// Assembles a bike in its rest pose at the model's coordinates. A name the table lacks falls
// back to another model with a message; texture names may be null. Never fails.
Bike *bike_create(const char *model_name, int slot, const char *plate_text,
                  const char *gear_texture, const char *helmet_texture,
                  const char *bike_texture, const char *wheel_texture);
void bike_destroy(Bike *bike);
// Back to the rest pose with every state value at its start.
void bike_reset_pose(Bike *bike);
void bike_translate(Bike *bike, float dx, float dy, float dz);
// Sets every body's rotation to the turn by angle about axis and turns its position about
// the world origin; for a bike in its rest pose.
void bike_turn(Bike *bike, Vec3 axis, float angle);
// Zero linear and angular velocity on all seven bodies.
void bike_stop(Bike *bike);
// Moves a bike in its rest pose down (or up) until its lowest tyre point rests on the ground.
void bike_set_down(Bike *bike, const Terrain *terrain);
void bike_disable(Bike *bike);
void bike_enable(Bike *bike);
// Re-masses frame and rider for rider mass distribution d (clamped to 0.33..0.5).
void bike_set_rider_mass(Bike *bike, float d);
void bike_save_velocities(Bike *bike);
void bike_restore_velocities(Bike *bike);
// Moves a remote bike n steps (at most 64) along its frame velocity from its stored positions,
// lifting it when its rear tyre would go below the ground.
void bike_extrapolate(Bike *bike, int steps);
// Wheel and part contacts with the ground for the next step; 1 when anything touched.
int bike_collide(Bike *bike);
// Forces and per-step joints for the next world step; active 0 (remote) only clears forces.
void bike_control_step(Bike *bike, int active);
// 1 when every body's position, rotation and velocity is finite; otherwise puts the bike
// back upright at its last good position, logs it and returns 0.
int bike_check_finite(Bike *bike);

// ---- Accessors ----

dBodyID bike_body(const Bike *bike);           // the frame
int bike_gear(const Bike *bike);
float bike_throttle(const Bike *bike);
float bike_clutch(const Bike *bike);
const char *bike_model_name(const Bike *bike);
const char *bike_model_class(const Bike *bike);
const char *bike_plate_text(const Bike *bike);
int bike_slot(const Bike *bike);
int bike_crashed(const Bike *bike);            // crash_timer > 0
uint8_t bike_flags(const Bike *bike);
Vec3 bike_position(const Bike *bike);          // frame centre
Vec3 bike_velocity(const Bike *bike);          // frame velocity
float bike_forward_speed_mph(const Bike *bike);
float bike_rpm(const Bike *bike);
// Lean of the frame: 0 upright, negative leaning right (+x), positive left.
float bike_lean_angle(const Bike *bike);
// Lean of any body by the same rule.
float body_lean_angle(dBodyID body);

// ---- Control setters (clamped; throttle, dab, back_up and lean read 0 while crashed) ----

void bike_set_throttle(Bike *bike, float value);
void bike_set_clutch(Bike *bike, float value);
void bike_set_front_brake(Bike *bike, float value);
void bike_set_rear_brake(Bike *bike, float value);
void bike_set_steer(Bike *bike, float value);
void bike_set_dab(Bike *bike, float value);
void bike_set_back_up(Bike *bike, float value);
void bike_set_lean(Bike *bike, float value);

// ---- Assist setters (clamped to their ranges) ----

void bike_set_leveling(Bike *bike, float value);             // 0..200
void bike_set_roll_damping(Bike *bike, float value);         // 0..200
void bike_set_roll_limit_angle(Bike *bike, float radians);   // 0..pi
void bike_set_roll_limit_factor(Bike *bike, float value);    // 0..64
void bike_set_steering_damping(Bike *bike, float value);     // 0..100
void bike_set_steering_strength(Bike *bike, float value);    // 0..200
void bike_set_max_steering_force(Bike *bike, float value);   // 0..1000
void bike_set_direct_steering(Bike *bike, float value);      // 0..1
void bike_set_slow_damping_speed(Bike *bike, float value);   // 0..100 ft/s
void bike_set_slow_damping_factor(Bike *bike, float value);  // 1..10
void bike_set_landing_damping_falloff(Bike *bike, float seconds);   // 0..1
void bike_set_landing_damping_factor(Bike *bike, float value);      // 1..3
void bike_set_full_lock_speed(Bike *bike, float value);      // >= 1 ft/s
void bike_set_restricted_lock_speed(Bike *bike, float value);   // >= 1 ft/s
void bike_set_restricted_lock_angle(Bike *bike, float radians); // 0..pi/4
void bike_set_max_dab_speed(Bike *bike, float ft_s);         // 7..30 ft/s
void bike_set_auto_clutch_rpm(Bike *bike, float rpm);        // 0..5000
void bike_set_front_brake_torque(Bike *bike, float value);   // 0..500
void bike_set_rear_brake_torque(Bike *bike, float value);    // 0..500

// Flag setters: on is 0 or not 0.
void bike_set_arcade(Bike *bike, int on);
void bike_set_front_antilock(Bike *bike, int on);
void bike_set_rear_antilock(Bike *bike, int on);
// Wheelie control code of the "Stop Wheelies" choice: 0 none, 3 wheelies and stoppies,
// 2 stoppies only (front brake release).
void bike_set_wheelie_control(Bike *bike, int code);
void bike_set_auto_shift(Bike *bike, int on);
void bike_set_auto_dab(Bike *bike, int on);

// Sprockets: whole teeth (-2..2) added to the model's countershaft and rear sprockets.
void bike_set_sprockets(Bike *bike, int countershaft_change, int rear_change);

// Suspension: damping as a factor of the model's nominal value (0..2, 1 = nominal);
// springs, preloads and oil level as a fraction 0..1 of the model's range.
void bike_set_fork_compression(Bike *bike, float factor);
void bike_set_fork_rebound(Bike *bike, float factor);
void bike_set_fork_spring(Bike *bike, float fraction);
void bike_set_fork_preload(Bike *bike, float fraction);
void bike_set_fork_oil_level(Bike *bike, float fraction);   // more oil, shorter air gap
void bike_set_shock_compression(Bike *bike, float factor);
void bike_set_shock_rebound(Bike *bike, float factor);
void bike_set_shock_spring(Bike *bike, float fraction);
void bike_set_shock_preload(Bike *bike, float fraction);

// Rider springs, 0..1 each.
void bike_set_rider_vertical_spring(Bike *bike, float value);
void bike_set_rider_vertical_damping(Bike *bike, float value);
void bike_set_rider_forward_spring(Bike *bike, float value);
void bike_set_rider_forward_damping(Bike *bike, float value);

// ---- Drivetrain ----

// Sequential shift request: -1, 0 (control released) or +1; a held control shifts once.
void bike_shift(Bike *bike, int direction);
// Direct gear choice, clamped to the gears the bike has.
void bike_set_gear(Bike *bike, int gear);
