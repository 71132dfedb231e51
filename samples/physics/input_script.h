// Frame-stamped input for scripted runs: the text format that --input reads and --record
// writes. One event a line, "FRAME EVENT ARGUMENTS", '#' starts a comment:
//
//   12 keydown 0x57        key down, virtual-key code 0..255 (decimal or 0x hex)
//   12 keyup 0x57          key up
//   12 char 0x41           character message, code 0..0x10FFFF
//    3 mousemove 10 -4     mouse moved by (dx, dy) pixels from where it is
//    3 mouseto 800 450     mouse moved to the client position (x, y)
//    3 buttondown 1        button 1 (left), 2 (right) or 4 (middle) pressed
//    3 buttonup 1          ... released
//    3 doubleclick 1       ... double-clicked
//    5 wheel 1             wheel turned by notches (negative: towards the user)
//    7 mouseleave          the mouse left the window
//   40 close               the window was closed
//    9 message 0x0005 0 0x03840640   any other message: kind, wParam, lParam
//
// Events are fed at the start of their frame (frames count from 1), in file order.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kve.h"

// The largest script the demo reads: far beyond any recorded session, small enough to
// keep in memory.
constexpr unsigned long long kMostScriptBytes = 64ull * 1024 * 1024;

struct ScriptEvent {
    int frame = 0;
    KVE_MESSAGE message{};
    bool relative = false; // a mousemove: the position is the current one moved by (dx, dy)
    int dx = 0, dy = 0;
};

class InputScript {
public:
    // Reads a whole script; on the first malformed line returns false and sets `error`
    // to "line N: what is wrong".
    bool parse(std::string_view text, std::string* error);
    // Reads the file; errors read "FILE: line N: ...", "cannot read FILE" or "FILE is
    // larger than ..." (more than kMostScriptBytes).
    bool load(const std::string& path, std::string* error);

    // The events stamped for `frame`, in file order.
    std::span<const ScriptEvent> eventsFor(int frame) const;
    size_t size() const { return events_.size(); }

private:
    std::vector<ScriptEvent> events_; // by frame, file order within a frame
};

// The script line (no newline) that replays `message` handled in `frame` exactly.
std::string formatScriptLine(int frame, const KVE_MESSAGE& message);
