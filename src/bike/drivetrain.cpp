// The drivetrain step: automatic shifting, the clutch's wind-up spring with its slip limit,
// the engine's explicit integration, and the brakes with antilock and stop-stoppies.
#include "bike/drivetrain.h"

#include <cmath>

#include "bike/bike.h"
#include "bike/bike_local.h"

namespace {

int valid_gear(const Bike *bike, int gear) {
    if (gear < 0) gear = 0;
    if (gear > 5) gear = 5;
    while (gear > 0 && bike->model.gear_ratio[gear] <= 0) gear--;
    return gear;
}

float wrap_pi(float a) {
    while (a > PI_F) a -= 2 * PI_F;
    while (a < -PI_F) a += 2 * PI_F;
    return a;
}

}  // namespace

float drivetrain_reduction(const Bike *bike) {
    return bike->model.gear_ratio[bike->gear] * bike->model.primary_ratio * bike->final_drive;
}

float engine_torque(const Bike *bike) {
    float x = clampf(bike_rpm(bike) * 0.002f, 0, 49);
    int i = (int)floorf(x);
    float f = x - (float)i;
    int j = i + 1 < 49 ? i + 1 : 49;
    const BikeModel &m = bike->model;
    float closed = m.closed_torque[i] + (m.closed_torque[j] - m.closed_torque[i]) * f;
    float open = m.open_torque[i] + (m.open_torque[j] - m.open_torque[i]) * f;
    float t = closed + (open - closed) * bike->throttle;
    if ((bike->flags & BIKE_STOP_WHEELIES) && !wheel_touches(bike, 0) && wheel_touches(bike, 1)) {
        Vec3 w = body_to_local(bike->body[BODY_FRAME], body_avel(bike->body[BODY_FRAME]));
        if (w.x > -0.03125f) t = fminf(t, 0);
    }
    return t;
}

void drivetrain_step(Bike *bike) {
    const BikeModel &m = bike->model;
    dJointID rear_axle = bike->joint[JOINT_REAR_AXLE];
    float wheel_speed = (float)dJointGetHingeAngleRate(rear_axle);

    if ((bike->flags & BIKE_AUTO_SHIFT) &&
        dJointGetHingeAngle(bike->joint[JOINT_SWINGARM_PIVOT]) < -0.01 &&
        physics_step_count() % 32 == 0 &&
        (!wheel_touches(bike, 1) || vec_length_sq(bike->wheel[1].slip_velocity) <= 4)) {
        float wheel_rpm = drivetrain_reduction(bike) * wheel_speed * RPM_PER_RAD_S;
        int gear = bike->gear;
        if (wheel_rpm < m.shift_down_rpm) gear--;
        else if (wheel_rpm > m.shift_up_rpm) gear++;
        bike->gear = valid_gear(bike, gear);
    }

    float n = drivetrain_reduction(bike);
    float te = engine_torque(bike);
    float axle_angle = (float)dJointGetHingeAngle(rear_axle);
    float phi = bike->clutch_angle - axle_angle;
    if (phi > PI_F) phi -= 2 * PI_F;
    else if (phi < -PI_F) phi += 2 * PI_F;

    float rpm = bike_rpm(bike);
    float e = bike->clutch;
    if (rpm <= bike->auto_clutch_rpm + 2000)
        e = fminf(bike->clutch, clampf((rpm - bike->auto_clutch_rpm) / 2000, 0, 1));
    float tau = m.clutch_stiffness * phi +
                clampf((bike->engine_speed - n * wheel_speed) * m.clutch_damping, -500, 500);
    if (tau < 0) e = bike->clutch;   // the automatic clutch stays shut for engine braking
    tau = clampf(tau, -1000000, 1000000);
    float hold = e * PI_F / 4;       // the most wind-up the clutch can hold
    if (phi > hold) bike->clutch_angle = axle_angle + hold;
    else if (phi < -hold) bike->clutch_angle = axle_angle - hold;

    float tc = e * e * tau;
    dBodyAddRelTorque(bike->body[BODY_REAR_WHEEL], -tc, 0, 0);
    dBodyAddRelTorque(bike->body[BODY_FRAME], tc, 0, 0);

    bike->engine_speed += STEP_F * (te - tc / n) / bike->engine_inertia;
    bike->clutch_angle = wrap_pi(bike->clutch_angle + STEP_F * bike->engine_speed / n);

    float front = bike->front_brake_torque * bike->front_brake;
    if ((bike->flags & BIKE_FRONT_ANTILOCK) && wheel_touches(bike, 0) &&
        vec_length_sq(bike->wheel[0].slip_velocity) > 4)
        front = 0;
    if ((bike->flags & BIKE_STOP_STOPPIES) && wheel_touches(bike, 0) && !wheel_touches(bike, 1))
        front = 0;
    dJointSetHingeParam(bike->joint[JOINT_FRONT_AXLE], dParamVel, 0);
    dJointSetHingeParam(bike->joint[JOINT_FRONT_AXLE], dParamFMax, front);

    float rear = bike->rear_brake_torque * bike->rear_brake;
    if ((bike->flags & BIKE_REAR_ANTILOCK) && wheel_touches(bike, 1) &&
        vec_length_sq(bike->wheel[1].slip_velocity) > 4)
        rear = 0;
    dJointSetHingeParam(rear_axle, dParamVel, 0);
    dJointSetHingeParam(rear_axle, dParamFMax, rear);
}

void bike_shift(Bike *bike, int direction) {
    if (bike->crash_timer > 0 || direction == bike->last_shift || direction < -1 || direction > 1)
        return;
    bike->last_shift = direction;
    bike->gear = valid_gear(bike, bike->gear + direction);
}

void bike_set_gear(Bike *bike, int gear) { bike->gear = valid_gear(bike, gear); }
