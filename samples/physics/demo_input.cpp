// Window and scripted input for one run of the demonstration, and its recording.
#include "demo_input.h"

#include <algorithm>
#include <cstdint>

DemoInput::~DemoInput()
{
    if (record_)
        std::fclose(record_);
}

bool DemoInput::open(const std::string& scriptPath, const std::string& recordPath, std::string* error)
{
    if (!scriptPath.empty() && !script_.load(scriptPath, error))
        return false;
    if (recordPath.empty())
        return true;
    record_ = std::fopen(recordPath.c_str(), "w");
    if (!record_) {
        *error = "cannot write " + recordPath;
        return false;
    }
    recordPath_ = recordPath;
    std::fputs("# Korvane Engine - Physics: recorded input (replay with --input)\n", record_);
    return true;
}

// Every message the engine handled goes into the record, so that a replay of it hands the
// engine exactly the same messages in the same frames.
bool DemoInput::handled(int frame, const KVE_MESSAGE& message)
{
    if (record_)
        std::fprintf(record_, "%s\n", formatScriptLine(frame, message).c_str());
    if (message.message == KVE_WM_MOUSEMOVE) {
        pointerX_ = static_cast<int16_t>(message.lParam & 0xFFFF);
        pointerY_ = static_cast<int16_t>(static_cast<uint32_t>(message.lParam) >> 16);
    }
    return message.message != KVE_WM_CLOSE;
}

bool DemoInput::drainEvents(int frame)
{
    // Between frames the engine's mouse position is the last snapshot's.
    pointerX_ = KVE_MouseX();
    pointerY_ = KVE_MouseY();
    bool open = true;
    KVE_MESSAGE message;
    while (open && KVE_PeekMessage(&message))
        open = handled(frame, message);
    for (const ScriptEvent& event : script_.eventsFor(frame)) {
        if (!open)
            break;
        KVE_MESSAGE scripted = event.message;
        if (event.relative) {
            const auto x = static_cast<uint16_t>(std::clamp(pointerX_ + event.dx, INT16_MIN, INT16_MAX));
            const auto y = static_cast<uint16_t>(std::clamp(pointerY_ + event.dy, INT16_MIN, INT16_MAX));
            scripted.lParam = static_cast<int32_t>(static_cast<uint32_t>(y) << 16 | x);
        }
        KVE_HandleMessage(scripted.message, scripted.wParam, scripted.lParam);
        open = handled(frame, scripted);
    }
    if (record_)
        std::fflush(record_);
    return open;
}

bool DemoInput::finish(std::string* error)
{
    if (!record_)
        return true;
    const bool written = !std::ferror(record_);
    const bool closed = std::fclose(record_) == 0;
    record_ = nullptr;
    if (written && closed)
        return true;
    *error = "could not write all of " + recordPath_;
    return false;
}
