// Solid objects: the ".jm" models of the statues and the start gate, their ".shp" collision
// shapes, and the seven bike part shapes fitted to the shared chassis.
#pragma once

// Writes every model and shape.
void models_write_all();
