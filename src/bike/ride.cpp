// The step driver for bikes ridden on this computer (offline play, the rider tool, tests and
// benchmarks).
#include "bike/ride.h"

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/contact.h"
#include "bike/particles.h"
#include "track/deform.h"

void ride_step(Bike *const *bikes, int count) {
    for (int i = 0; i < count; i++)
        if (bikes[i]) bike_collide(bikes[i]);
    for (int i = 0; i < count; i++) {
        if (!bikes[i]) continue;
        for (int j = i + 1; j < count; j++)
            if (bikes[j]) bike_bike(bikes[i], bikes[j], 0);
    }
    int step = physics_step_count();
    for (int k = 0; k < count; k++) {   // roost in a rotating order: no bike always first
        Bike *bike = bikes[((step % count + count) % count + k) % count];
        if (bike) roost_emit(bike, 0);
    }
    physics_step();
    if (erosion_enabled()) {
        for (int i = 0; i < count; i++) {
            if (!bikes[i]) continue;
            rut_queue(bikes[i]);
            rut_apply(bikes[i]);
        }
    }
    for (int i = 0; i < count; i++)
        if (bikes[i]) bike_control_step(bikes[i], 1);
    particles_step(physics_terrain());
    physics_set_step_count(step + 1);
}
