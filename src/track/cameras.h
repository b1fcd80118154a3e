// Trackside TV cameras ("cameras" in a track directory) and the table that says which
// camera shows the riders around each timing gate.
#pragma once

#include "common/common.h"
#include "common/vec.h"

struct Terrain;

enum { CAMERA_GATES = 256 };   // gates the gate-to-camera table covers

struct Camera {
    Vec3 pos;              // x, ground height + y_offset, z (feet)
    float y_offset;        // the y given in the file
    float reserved[4];     // always 0
    float fov;             // field of view, degrees (default 90)
    float autofovsize;     // size the camera keeps in view when zooming, 0 = fixed fov
};

struct Cameras {
    Array list;                       // Camera records
    int gate_camera[CAMERA_GATES];    // camera index for each gate, -1 for none
};

// Reads the data name line by line into cameras (cleared first): "gate n ..." lines name the
// gates of the next camera, "fov f" and "autofovsize f" set it (absolute values) and
// "addcamera x y z" places and appends it. Gates whose camera never appears map to none.
// terrain may be null. A missing file means no cameras. Returns the number of cameras.
int cameras_read(Cameras *cameras, const Terrain *terrain, const char *name);

// Writes each camera as its gate line, its fov and autofovsize lines and its addcamera
// line. Returns 1, or 0 with "Can't open 'cameras'" shown.
int cameras_write(const Cameras *cameras, const char *name);

// Frees the list and maps every gate to none.
void cameras_free(Cameras *cameras);
