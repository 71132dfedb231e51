// Keyboard, mouse and joystick input. The message handler writes the raw state as
// window messages arrive; once a frame the update operations copy it into the snapshot
// that the readers see and clear the one-frame events. Joysticks are polled on request.
#include "core/input.h"

#include <cmath>

#include "core/engine.h"
#include "kve.h"
#include "platform/platform.h"

namespace kve::input {
namespace {

constexpr int kKeyCount = 256;
constexpr int kButtonSlots = 5; // indexed by the button numbers 1, 2 and 4
constexpr int kButtons[] = {KVE_MOUSE_LEFT, KVE_MOUSE_RIGHT, KVE_MOUSE_MIDDLE};

struct Keyboard {
    int32_t hit[kKeyCount];
    int32_t down[kKeyCount];
    int32_t released[kKeyCount];
    uint8_t lastCharacter;
};

struct Mouse {
    int32_t x, y;
    int32_t dx, dy;
    int32_t hit[kButtonSlots];
    int32_t down[kButtonSlots];
    int32_t released[kButtonSlots];
    int32_t wheel;
    int32_t lock;
};

Keyboard rawKeys{}, keys{};
Mouse rawMouse{}, mouse{};
bool quitRequest = false;

int joystickCount = 0;
Joystick joysticks[KVE_MAX_JOYSTICKS];

struct ButtonMessage {
    uint32_t message;
    int button;
    bool press;
};

constexpr ButtonMessage kButtonMessages[] = {
    {KVE_WM_LBUTTONDOWN, KVE_MOUSE_LEFT, true},    {KVE_WM_LBUTTONDBLCLK, KVE_MOUSE_LEFT, true},
    {KVE_WM_LBUTTONUP, KVE_MOUSE_LEFT, false},     {KVE_WM_RBUTTONDOWN, KVE_MOUSE_RIGHT, true},
    {KVE_WM_RBUTTONDBLCLK, KVE_MOUSE_RIGHT, true}, {KVE_WM_RBUTTONUP, KVE_MOUSE_RIGHT, false},
    {KVE_WM_MBUTTONDOWN, KVE_MOUSE_MIDDLE, true},  {KVE_WM_MBUTTONDBLCLK, KVE_MOUSE_MIDDLE, true},
    {KVE_WM_MBUTTONUP, KVE_MOUSE_MIDDLE, false},
};

// Screen saver, monitor power and the window's minimise, maximise and restore requests.
bool swallowedSystemCommand(uint32_t wParam)
{
    switch (wParam & 0xFFF0u) {
    case KVE_SC_SCREENSAVE:
    case KVE_SC_MONITORPOWER:
    case KVE_SC_MINIMIZE:
    case KVE_SC_MAXIMIZE:
    case KVE_SC_RESTORE:
        return true;
    default:
        return false;
    }
}

void recordKey(uint32_t code, bool down)
{
    if (code >= kKeyCount)
        return;
    rawKeys.down[code] = down ? 1 : 0;
    (down ? rawKeys.hit : rawKeys.released)[code] = 1;
}

bool recordButton(uint32_t message)
{
    for (const ButtonMessage& entry : kButtonMessages) {
        if (entry.message != message)
            continue;
        rawMouse.down[entry.button] = entry.press ? 1 : 0;
        (entry.press ? rawMouse.hit : rawMouse.released)[entry.button] = 1;
        return true;
    }
    return false;
}

// Positions are signed 16-bit values: a captured mouse left of or above the window
// reports negative coordinates.
int32_t lowWord(int32_t word)
{
    return static_cast<int16_t>(static_cast<uint32_t>(word) & 0xFFFFu);
}

int32_t highWord(int32_t word)
{
    return static_cast<int16_t>(static_cast<uint32_t>(word) >> 16);
}

void clearClicksAndWheel()
{
    for (int button : kButtons)
        rawMouse.hit[button] = rawMouse.released[button] = 0;
    rawMouse.wheel = 0;
}

bool validButton(int button)
{
    return button == KVE_MOUSE_LEFT || button == KVE_MOUSE_RIGHT || button == KVE_MOUSE_MIDDLE;
}

int keyValue(const int32_t* values, int key)
{
    return key >= 0 && key < kKeyCount ? values[key] : 0;
}

int buttonValue(const int32_t* values, int button)
{
    return validButton(button) ? values[button] : 0;
}

// The cursor services act on the engine's window; before start-up there is none.
bool haveWindow()
{
    return engine::state().running;
}

void showCursor(int visible)
{
    if (haveWindow())
        platform::showCursor(visible != 0);
}

// The lock point: the centre of the surface, in client pixels.
void moveToLockPoint()
{
    const engine::State& screen = engine::state();
    const int x = screen.screenWidth / 2;
    const int y = screen.screenHeight / 2;
    if (haveWindow())
        platform::warpMouse(screen.window, x, y);
    rawMouse.x = mouse.x = x;
    rawMouse.y = mouse.y = y;
}

Joystick* joystick(int number)
{
    return number >= 0 && number < joystickCount ? &joysticks[number] : nullptr;
}

} // namespace

bool quitRequested()
{
    return quitRequest;
}

void resetForTesting()
{
    rawKeys = keys = Keyboard{};
    rawMouse = mouse = Mouse{};
    quitRequest = false;
}

void applyJoystickPosition(Joystick& joystick, const platform::JoystickPosition& position, uint32_t now)
{
    using namespace platform;
    constexpr uint32_t kAxisPresence[kJoystickAxes] = {0, 0, kJoyHasZ, kJoyHasR, kJoyHasU, kJoyHasV};
    for (int axis = 0; axis < kJoystickAxes; ++axis) {
        const bool present = kAxisPresence[axis] == 0 || (joystick.caps.flags & kAxisPresence[axis]) != 0;
        const double minimum = joystick.caps.axisMin[axis];
        const double range = static_cast<double>(joystick.caps.axisMax[axis]) - minimum;
        float value = 0.0f;
        if (present && range > 0)
            value = static_cast<float>((position.axes[axis] - minimum) * 2.0 / range - 1.0);
        if (joystick.deadZones[axis] > std::fabs(value))
            value = 0.0f;
        joystick.axes[axis] = value;
    }
    for (int button = 0; button < kJoystickButtons; ++button) {
        const uint32_t bit = 1u << button;
        const bool was = (joystick.previousButtons & bit) != 0;
        const bool is = (position.buttons & bit) != 0;
        uint32_t state = joystick.buttonStates[button] & ~0xFu;
        if (was && !is)
            state |= KVE_JOY_BUTTON_RELEASED;
        if (!was && is) {
            state |= KVE_JOY_BUTTON_PRESSED;
            joystick.pressTimes[button] = now;
        }
        if (is) {
            state |= KVE_JOY_BUTTON_DOWN;
            if (now - joystick.pressTimes[button] > kDoubleClickTime)
                state |= KVE_JOY_BUTTON_HELD;
        }
        joystick.buttonStates[button] = state;
    }
    joystick.previousButtons = position.buttons;
    if (position.pov == kPovCentred)
        joystick.pov = 0.0f;
    else if (position.pov == 0)
        joystick.pov = 360.0f;
    else
        joystick.pov = static_cast<float>(position.pov) / 100.0f;
}

} // namespace kve::input

using namespace kve::input;

extern "C" {

int KVE_HandleMessage(uint32_t message, uint32_t wParam, int32_t lParam)
{
    switch (message) {
    case KVE_WM_KEYDOWN:
    case KVE_WM_KEYUP:
        recordKey(wParam, message == KVE_WM_KEYDOWN);
        return 0;
    case KVE_WM_CHAR:
        rawKeys.lastCharacter = static_cast<uint8_t>(wParam & 0xFFu);
        return 0;
    case KVE_WM_MOUSEMOVE:
        rawMouse.x = lowWord(lParam);
        rawMouse.y = highWord(lParam);
        return 0;
    case KVE_WM_MOUSEWHEEL:
        rawMouse.wheel += highWord(static_cast<int32_t>(wParam)) / KVE_WHEEL_DELTA;
        return 0;
    case KVE_WM_MOUSELEAVE:
        for (int button : kButtons)
            rawMouse.down[button] = rawMouse.released[button] = 0;
        return 0;
    case KVE_WM_CLOSE:
        quitRequest = true;
        return 0;
    case KVE_WM_NCLBUTTONDBLCLK:
    case KVE_WM_ERASEBKGND:
    case KVE_WM_GETMINMAXINFO:
        return 1;
    case KVE_WM_SYSCOMMAND:
        return swallowedSystemCommand(wParam) ? 1 : 0;
    default:
        recordButton(message);
        return 0;
    }
}

void KVE_UpdateKeyboard(void)
{
    keys = rawKeys;
    for (int key = 0; key < kKeyCount; ++key)
        rawKeys.hit[key] = rawKeys.released[key] = 0;
    rawKeys.lastCharacter = 0;
}

void KVE_UpdateMouse(void)
{
    rawMouse.dx = rawMouse.x - mouse.x;
    rawMouse.dy = rawMouse.y - mouse.y;
    mouse = rawMouse;
    clearClicksAndWheel();
    // The raw position goes to the lock point with the cursor, so that a frame without
    // any movement message reads no movement.
    if (rawMouse.lock)
        moveToLockPoint();
}

void KVE_ResetMouse(void)
{
    clearClicksAndWheel();
    rawMouse.dx = rawMouse.dy = 0;
    mouse = rawMouse;
}

int KVE_KeyHit(int key)
{
    return keyValue(keys.hit, key);
}

int KVE_KeyDown(int key)
{
    return keyValue(keys.down, key);
}

int KVE_KeyReleased(int key)
{
    return keyValue(keys.released, key);
}

int KVE_GetLastCharacter(void)
{
    return keys.lastCharacter;
}

int KVE_MouseHit(int button)
{
    return buttonValue(mouse.hit, button);
}

int KVE_MouseDown(int button)
{
    return buttonValue(mouse.down, button);
}

int KVE_MouseReleased(int button)
{
    return buttonValue(mouse.released, button);
}

int KVE_MouseX(void)
{
    return mouse.x;
}

int KVE_MouseY(void)
{
    return mouse.y;
}

int KVE_MouseDX(void)
{
    return mouse.dx;
}

int KVE_MouseDY(void)
{
    return mouse.dy;
}

int KVE_MouseWheel(void)
{
    return mouse.wheel;
}

int KVE_MouseInRect(int x, int y, int width, int height)
{
    const int64_t mx = mouse.x, my = mouse.y;
    return mx >= x && mx < int64_t{x} + width && my >= y && my < int64_t{y} + height ? 1 : 0;
}

int KVE_MouseInCircle(int x, int y, float radius)
{
    const double dx = static_cast<double>(mouse.x) - x;
    const double dy = static_cast<double>(mouse.y) - y;
    return dx * dx + dy * dy < static_cast<double>(radius) * radius ? 1 : 0;
}

void KVE_LockMouse(int cursorVisible)
{
    rawMouse.lock = mouse.lock = 1;
    moveToLockPoint();
    showCursor(cursorVisible);
}

void KVE_UnlockMouse(int cursorVisible)
{
    showCursor(cursorVisible);
    rawMouse.lock = mouse.lock = 0;
}

void KVE_ClipMouse(int cursorVisible)
{
    showCursor(cursorVisible);
    if (haveWindow()) {
        const kve::engine::State& screen = kve::engine::state();
        kve::platform::confineMouse(screen.window, screen.screenWidth, screen.screenHeight);
    }
}

void KVE_SetMousePosition(int x, int y)
{
    if (haveWindow())
        kve::platform::warpMouse(kve::engine::state().window, x, y);
}

void KVE_InitJoysticks(void)
{
    kve::platform::closeJoysticks();
    joystickCount = 0;
    for (int id = 0; id < KVE_MAX_JOYSTICKS; ++id) {
        kve::platform::JoystickCaps caps;
        if (!kve::platform::openJoystick(id, &caps))
            continue;
        Joystick& found = joysticks[joystickCount++];
        found = Joystick{};
        found.caps = caps;
        found.device = id;
        found.name = caps.productName;
    }
}

void KVE_UpdateJoysticks(void)
{
    const auto now = static_cast<uint32_t>(KVE_GetMilliseconds());
    kve::platform::refreshJoysticks();
    for (int number = 0; number < joystickCount; ++number) {
        kve::platform::JoystickPosition position;
        if (kve::platform::readJoystick(joysticks[number].device, &position))
            applyJoystickPosition(joysticks[number], position, now);
    }
}

int KVE_GetJoystickCount(void)
{
    return joystickCount;
}

void KVE_SetJoystickDeadZone(int number, int axis, float deadZone)
{
    if (Joystick* found = joystick(number); found && axis >= 0 && axis < kve::platform::kJoystickAxes)
        found->deadZones[axis] = deadZone;
}

float KVE_GetJoystickAxis(int number, int axis)
{
    const Joystick* found = joystick(number);
    return found && axis >= 0 && axis < kve::platform::kJoystickAxes ? found->axes[axis] : 0.0f;
}

int KVE_GetJoystickButton(int number, int button)
{
    const Joystick* found = joystick(number);
    return found && button >= 0 && button < kve::platform::kJoystickButtons
               ? static_cast<int>(found->buttonStates[button])
               : 0;
}

float KVE_GetJoystickPOV(int number)
{
    const Joystick* found = joystick(number);
    return found ? found->pov : 0.0f;
}

const char* KVE_GetJoystickName(int number)
{
    const Joystick* found = joystick(number);
    return found ? found->name.c_str() : "";
}

} // extern "C"
