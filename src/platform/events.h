// Window events into engine messages. The SDL event is first reduced to a WindowEvent
// (no SDL types), then translated; the translation holds all the rules and is testable
// without a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kve.h"

namespace kve::platform {

struct WindowEvent {
    enum class Kind {
        Other,
        KeyDown,
        KeyUp,
        Text,
        MouseMotion,
        ButtonDown,
        ButtonUp,
        Wheel,
        MouseLeave,
        Close,
        Resized,
        Minimized
    };
    Kind kind = Kind::Other;
    int scancode = 0;    // keys: position code (USB HID usage)
    bool repeat = false; // keys: auto-repeat of a held key
    int button = 0;      // buttons: 1 left, 2 middle, 3 right
    int clicks = 0;      // buttons: 1 single, 2 double, ...
    int x = 0, y = 0;    // motion: client position; wheel: notches in y; resize: client size
    std::string text;    // text: UTF-8
};

// Keeps what the translation must remember between events: which side of each modifier
// pair is down, so the generic code goes down with the first and up with the last.
class MessageTranslator {
public:
    // Appends the engine messages for `event` (none for an event with no engine meaning).
    void translate(const WindowEvent& event, std::vector<KVE_MESSAGE>& out);

private:
    void key(const WindowEvent& event, std::vector<KVE_MESSAGE>& out);
    bool sideDown_[256] = {};
};

} // namespace kve::platform
