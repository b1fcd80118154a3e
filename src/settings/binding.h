// Key bindings: their file text, their resolution against the input devices, the capture
// that assigns a binding by watching the devices, and the nine control channels the first
// twelve bindings drive.
#pragma once

#include "settings/items.h"

struct DataStream;

// The twenty bindings, in file order. The first twelve feed the control channels.
enum BindingIndex {
    BIND_THROTTLE, BIND_FRONT_BRAKE, BIND_REAR_BRAKE, BIND_LEFT, BIND_RIGHT, BIND_CLUTCH,
    BIND_UPSHIFT, BIND_DOWNSHIFT, BIND_DAB, BIND_BACK_UP, BIND_LEAN_FORWARD, BIND_LEAN_BACKWARD,
    BIND_PAUSE, BIND_STEP, BIND_REWIND, BIND_SKIP, BIND_PREV, BIND_NEXT, BIND_CONSOLE,
    BIND_SCREENSHOT,
    BINDING_COUNT,
    CONTROL_BINDINGS = BIND_PAUSE,   // bindings 0 .. 11 drive channels
};

// The rider's control channels.
enum ControlChannel {
    CHANNEL_STEER, CHANNEL_THROTTLE, CHANNEL_FRONT_BRAKE, CHANNEL_REAR_BRAKE, CHANNEL_SHIFT,
    CHANNEL_CLUTCH, CHANNEL_DAB, CHANNEL_BACK_UP, CHANNEL_LEAN,
    CHANNEL_COUNT,
};

enum {
    KEY_CODE_NONE = -1,              // key_code of a binding without a resolved key
    BINDING_NAME_CHARS = 255,        // longest key or axis name kept; no device name is longer
    AXIS_RAW_HALF = 16384,           // an axis read beyond this is not centred
};

// The input layer as the bindings see it; the platform registers one with bindings_attach.
struct AxisSource {
    // Names of every absolute controller axis, ending with an empty entry or null.
    const char *const *(*axis_names)();
    InputAxis *(*axis_open)(const char *name);   // null when there is no such axis
    int (*axis_read)(InputAxis *axis);           // raw reading, -32768 .. 32767
    void (*axis_close)(InputAxis *axis);
    int (*key_code)(const char *name);           // KEY_CODE_NONE when the name means no key
    const char *(*key_name)(int code);           // null or "" when the key has no name
};

// Registers the input layer (null detaches it); debug non-zero logs the capture's progress.
void bindings_attach(const AxisSource *source, int debug);

// Sets the label and a default key name (null for none); no axis, range 0 .. 1.
void binding_init(KeyBinding *binding, const char *label, const char *key_name);
// Sets a binding from its file text: "(min,max)axis name" for an axis, otherwise a key name
// with or without a leading "(k)". Leading blanks are skipped; an open axis is closed. Names
// are cut to BINDING_NAME_CHARS so that the written line always reads back whole.
void binding_parse(KeyBinding *binding, const char *text);
// Writes "key=(k)name\n" or "key=(%f,%f)axis\n"; nothing for an empty binding. 1 unless a
// write failed.
int binding_write(DataStream *stream, const char *key, const KeyBinding *binding);

// Resolves the key name to its code and opens the axis, through the attached input layer.
void binding_resolve(KeyBinding *binding);
// Closes the binding's axis when one is open.
void binding_release(KeyBinding *binding);
// Level 0 .. 1 of an axis binding for a raw reading: (raw / 32768 - min) / (max - min)
// clamped; a binding whose minimum equals its maximum is a switch at that point.
float binding_axis_level(const KeyBinding *binding, int raw);
// The level of an open axis binding read now; 0 without an open axis.
float binding_read_level(const KeyBinding *binding);

// Clears the nine channels and adds each control binding's sign times its level
// (levels[i] for binding i, 0 .. CONTROL_BINDINGS - 1).
void controls_sum(const float levels[CONTROL_BINDINGS], float channels[CHANNEL_COUNT]);

// Starts assigning binding by watching the devices: opens every axis of the input layer and
// keeps those that are centred. A capture already running ends first.
void binding_capture_start(KeyBinding *binding);
// The binding being captured, or null.
const KeyBinding *binding_capture_target();
// Offers a key press to the capture: 0 when no capture runs. Otherwise the press is taken
// (returns 1): "esc" cancels, a key with a name becomes the binding's key and ends the
// capture, a key without a name is passed over.
int binding_capture_key(int code);
// Once per frame while capturing: the watched axis deflected furthest, when beyond half,
// becomes the binding's axis (range 0.0625 .. 0.9375, negated for a negative deflection).
void binding_capture_watch();
