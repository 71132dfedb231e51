// Input state behind the KVE_ input operations: what the message handler records, and
// the joystick records with their per-poll arithmetic.
#pragma once

#include <cstdint>
#include <string>

#include "platform/joystick.h"

namespace kve::input {

// Set by a close message; nothing in the engine reads it, the application ends on the
// close message itself.
bool quitRequested();

// Clears keyboard, mouse and the quit request (tests).
void resetForTesting();

struct Joystick {
    platform::JoystickCaps caps;
    int device = -1; // the platform's device id
    std::string name;
    float axes[platform::kJoystickAxes] = {};
    float deadZones[platform::kJoystickAxes] = {};
    uint32_t previousButtons = 0;
    uint32_t pressTimes[platform::kJoystickButtons] = {}; // milliseconds
    uint32_t buttonStates[platform::kJoystickButtons] = {};
    float pov = 0.0f; // degrees: 0 centred, 360 ahead
};

// One poll's arithmetic: axes scaled to -1..1 over the device's range with dead zones,
// button edges and hold times at `now` (milliseconds), the hat in degrees.
void applyJoystickPosition(Joystick& joystick, const platform::JoystickPosition& position, uint32_t now);

} // namespace kve::input
