// Keys into virtual-key codes: the one table from the platform's key positions (USB HID
// usage numbers, which SDL's scancodes are) to the engine's key codes.
#pragma once

namespace kve::platform {

// The virtual-key code of the key at `scancode`, or 0 when the table has none. Keys are
// named by position as on a US layout, so W, A, S, D lie under the same fingers on
// every layout.
int virtualKeyFromScancode(int scancode);

// Whether `virtualKey` is a left or right Shift, Ctrl or Alt key; if so, `generic`
// receives the code for either of the pair and `partner` the other side's code.
bool sidedModifier(int virtualKey, int* generic, int* partner);

} // namespace kve::platform
