// Frame presentation timing: 64-bit counter differences, frame rate over half-second
// windows, and an optional fixed frame time for reproducible scripted runs.
#include "core/timing.h"

#include <cmath>

#include "kve.h"
#include "platform/platform.h"

namespace kve::timing {
namespace {

struct FrameTiming {
    uint64_t frequency = 0;
    uint64_t lastCounter = 0;
    uint64_t windowStart = 0;
    int framesInWindow = 0;
    float frameTime = 0.0f;
    float framesPerSecond = 0.0f;
};

FrameTiming timing;
uint64_t (*counterSource)() = nullptr;
uint64_t counterSourceFrequency = 0;

// Fixed frame time: the flip then reads a virtual counter that advances by exactly
// that much per flip, so frame time, frame rate and clock are all reproducible.
// The clock counts whole milliseconds of virtual time since the switch, added to the
// real clock's reading at the switch: the particle clock then repeats exactly from run to
// run, whatever the real counter read when the run began.
float fixedFrameTime = 0.0f;
uint64_t virtualCounter = 0;
uint64_t virtualStart = 0;
uint32_t virtualClockBase = 0;

uint32_t counterToMilliseconds(uint64_t value)
{
    return static_cast<uint32_t>(static_cast<double>(value) * 1000.0 / static_cast<double>(timing.frequency));
}

} // namespace

void start()
{
    const uint64_t keepVirtual = virtualCounter;
    timing = FrameTiming{};
    timing.frequency = frequency();
    virtualCounter = keepVirtual;
}

uint64_t frequency()
{
    if (counterSource)
        return counterSourceFrequency;
    return kve::platform::counterFrequency();
}

uint64_t counter()
{
    if (fixedFrameTime > 0.0f)
        return virtualCounter;
    if (counterSource)
        return counterSource();
    return kve::platform::counter();
}

void advanceFrame()
{
    if (timing.frequency == 0)
        timing.frequency = frequency();
    if (fixedFrameTime > 0.0f && timing.lastCounter != 0)
        virtualCounter += static_cast<uint64_t>(std::llround(fixedFrameTime * static_cast<double>(timing.frequency)));

    const uint64_t now = counter();
    if (timing.lastCounter == 0) {
        timing.lastCounter = now;
        timing.windowStart = now;
    }
    timing.frameTime =
        static_cast<float>(static_cast<double>(now - timing.lastCounter) / static_cast<double>(timing.frequency));
    ++timing.framesInWindow;
    timing.lastCounter = now;
    const double elapsed = static_cast<double>(now - timing.windowStart) / static_cast<double>(timing.frequency);
    if (elapsed >= 0.5) {
        timing.framesPerSecond = static_cast<float>(timing.framesInWindow / elapsed);
        timing.windowStart = now;
        timing.framesInWindow = 0;
    }
}

} // namespace kve::timing

using kve::timing::timing;

extern "C" {

float KVE_GetFrameTime(void)
{
    return timing.frameTime;
}

float KVE_GetFPS(void)
{
    return timing.framesPerSecond;
}

int KVE_GetMilliseconds(void)
{
    using namespace kve::timing;
    if (fixedFrameTime > 0.0f && timing.frequency != 0)
        return static_cast<int>(virtualClockBase + counterToMilliseconds(virtualCounter - virtualStart));
    return static_cast<int>(kve::platform::milliseconds());
}

void KVE_SetFixedFrameTime(float seconds)
{
    using namespace kve::timing;
    if (seconds > 0.0f && fixedFrameTime <= 0.0f) {
        // Start the virtual counter where the real one is, so time never runs backwards.
        if (timing.frequency == 0)
            timing.frequency = frequency();
        virtualCounter = virtualStart = counterSource ? counterSource() : kve::platform::counter();
        virtualClockBase = kve::platform::milliseconds();
    }
    fixedFrameTime = seconds > 0.0f ? seconds : 0.0f;
}

void KVE_SetCounterSource(uint64_t (*counterFunction)(void), uint64_t counterFrequency)
{
    kve::timing::counterSource = counterFunction;
    kve::timing::counterSourceFrequency = counterFrequency;
    kve::timing::start();
}

} // extern "C"
