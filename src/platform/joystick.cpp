// SDL joysticks behind the capabilities and position records.
#include "platform/joystick.h"

#include <SDL.h>

namespace kve::platform {
namespace {

constexpr int kMaxDevices = 16;
SDL_Joystick* devices[kMaxDevices] = {};

bool startSubsystem()
{
    if (SDL_WasInit(SDL_INIT_JOYSTICK))
        return true;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

} // namespace

bool openJoystick(int id, JoystickCaps* caps)
{
    if (id < 0 || id >= kMaxDevices || !startSubsystem() || id >= SDL_NumJoysticks())
        return false;
    if (!devices[id])
        devices[id] = SDL_JoystickOpen(id);
    SDL_Joystick* device = devices[id];
    if (!device)
        return false;
    *caps = JoystickCaps{};
    caps->vendorId = SDL_JoystickGetVendor(device);
    caps->productId = SDL_JoystickGetProduct(device);
    caps->axisCount = SDL_JoystickNumAxes(device);
    caps->buttonCount = SDL_JoystickNumButtons(device);
    caps->hatCount = SDL_JoystickNumHats(device);
    for (int axis = 0; axis < kJoystickAxes; ++axis) {
        caps->axisMin[axis] = SDL_JOYSTICK_AXIS_MIN;
        caps->axisMax[axis] = SDL_JOYSTICK_AXIS_MAX;
    }
    constexpr uint32_t kAxisFlags[] = {kJoyHasZ, kJoyHasR, kJoyHasU, kJoyHasV};
    for (int extra = 0; extra < 4; ++extra)
        if (caps->axisCount > 2 + extra)
            caps->flags |= kAxisFlags[extra];
    if (caps->hatCount > 0)
        caps->flags |= kJoyHasPov;
    if (const char* name = SDL_JoystickName(device))
        caps->productName = name;
    return true;
}

bool readJoystick(int id, JoystickPosition* position)
{
    if (id < 0 || id >= kMaxDevices || !devices[id] || !SDL_JoystickGetAttached(devices[id]))
        return false;
    SDL_Joystick* device = devices[id];
    *position = JoystickPosition{};
    const int axes = SDL_JoystickNumAxes(device);
    for (int axis = 0; axis < kJoystickAxes && axis < axes; ++axis)
        position->axes[axis] = SDL_JoystickGetAxis(device, axis);
    const int buttons = SDL_JoystickNumButtons(device);
    for (int button = 0; button < kJoystickButtons && button < buttons; ++button)
        if (SDL_JoystickGetButton(device, button))
            position->buttons |= 1u << button;
    if (SDL_JoystickNumHats(device) > 0)
        position->pov = povFromHat(SDL_JoystickGetHat(device, 0));
    return true;
}

void refreshJoysticks()
{
    if (SDL_WasInit(SDL_INIT_JOYSTICK))
        SDL_JoystickUpdate();
}

void closeJoysticks()
{
    for (SDL_Joystick*& device : devices) {
        if (device)
            SDL_JoystickClose(device);
        device = nullptr;
    }
}

uint32_t povFromHat(int hat)
{
    switch (hat) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return kPovCentred;
    }
}

} // namespace kve::platform
