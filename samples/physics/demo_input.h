// The demonstration's input for one run: the window's messages, a script's, and the
// recording of both.
#pragma once

#include <cstdio>
#include <string>

#include "input_script.h"

class DemoInput {
public:
    DemoInput() = default;
    DemoInput(const DemoInput&) = delete;
    DemoInput& operator=(const DemoInput&) = delete;
    ~DemoInput();

    // Loads the script and creates the record file (either path may be empty).
    bool open(const std::string& scriptPath, const std::string& recordPath, std::string* error);

    // Takes every waiting window event, then feeds the script's events for `frame`
    // through the engine's message handler; false as soon as one is a close.
    bool drainEvents(int frame);

    // Finishes the record file; false when it could not be written completely.
    bool finish(std::string* error);

private:
    bool handled(int frame, const KVE_MESSAGE& message);

    InputScript script_;
    std::FILE* record_ = nullptr;
    std::string recordPath_;
    int pointerX_ = 0, pointerY_ = 0; // where the engine last saw the mouse
};
