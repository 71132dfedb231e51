// Joysticks through SDL's joystick API, described the classic desktop way: a
// capabilities record per device and a position record per poll, with axes from
// -32768 to 32767, a button mask and the hat in hundredths of a degree.
#pragma once

#include <cstdint>
#include <string>

namespace kve::platform {

constexpr int kJoystickAxes = 6;     // X, Y, Z, R, U, V
constexpr int kJoystickButtons = 16; // the buttons the mask carries
constexpr uint32_t kJoyHasZ = 1;     // capability flags: the axes beyond X and Y, and a hat
constexpr uint32_t kJoyHasR = 2;
constexpr uint32_t kJoyHasU = 4;
constexpr uint32_t kJoyHasV = 8;
constexpr uint32_t kJoyHasPov = 16;
constexpr uint32_t kPovCentred = 0xFFFF;
constexpr uint32_t kDoubleClickTime = 500; // milliseconds

struct JoystickCaps {
    uint16_t vendorId = 0, productId = 0;
    int32_t axisMin[kJoystickAxes] = {};
    int32_t axisMax[kJoystickAxes] = {};
    int axisCount = 0, buttonCount = 0, hatCount = 0;
    uint32_t flags = 0;      // kJoyHas* bits
    std::string productName; // empty when the device reports none
};

struct JoystickPosition {
    int32_t axes[kJoystickAxes] = {};
    uint32_t buttons = 0;       // bit n: button n is down
    uint32_t pov = kPovCentred; // hundredths of a degree clockwise from ahead, or kPovCentred
};

// Opens device `id` (0 .. 15) and reads its capabilities; false when there is no such
// device or it cannot be opened. Starts SDL's joystick subsystem on first use.
bool openJoystick(int id, JoystickCaps* caps);
// Brings every opened device's state up to date; once per poll, before reading.
void refreshJoysticks();
// Current position of an opened device; false when it is gone.
bool readJoystick(int id, JoystickPosition* position);
// Closes every opened device.
void closeJoysticks();

// An SDL hat value (bits 1 up, 2 right, 4 down, 8 left) in hundredths of a degree.
uint32_t povFromHat(int hat);

} // namespace kve::platform
