// How a positioned sound is heard: volume, pan and frequency factor from its placement
// relative to the listener, and their conversion to the playback service's units. Pure
// arithmetic, kept apart from the records so it can be checked by hand.
#pragma once

#include "kve.h"
#include "platform/audio.h"

namespace kve::sound {

inline constexpr float kSpeedOfSound = 340.0f; // units per second
// The Doppler divisor 1 - approach speed / kSpeedOfSound reaches 0 at the speed of sound
// and turns negative beyond it; it is held at this floor (a factor of at most 10).
inline constexpr float kMinDopplerDivisor = 0.1f;

struct MixInput {
    int mode = 0;               // KVE_SOUND_* flags
    float volume = 1.0f;        // the sound's own volume
    float frequency = 1.0f;     // the sound's frequency factor
    float masterVolume = 1.0f;
    float frontVolume = 0.6f;   // share heard straight ahead ...
    float sideVolume = 0.4f;    // ... and added by p^2 towards either side
    KVE_Vector position{};      // the sound in listener space (x right, y up, -z ahead)
    KVE_Vector direction{};     // its direction in listener space, any length
    float range[2] = {0, 0};    // min, max; max 0: no distance fall-off
    float cone[2] = {0, 0};     // inner, outer in radians; outer 0: no cone
    float previousDistance = 0; // listener distance at the last update
    bool previousKnown = false; // false until one update has measured the distance
    float frameTime = 0;        // seconds since the last update
};

struct Mix {
    float volume = 0;    // 0 .. 1 for volumes and master volume up to 1
    float pan = 0;       // -1 left .. 1 right
    float frequency = 1; // factor of the base frequency
    float distance = 0;  // from the listener (0 for a background sound)
};

Mix mixSound(const MixInput& in);

// The service's units: volume x 100 and pan x 100 rounded (clamped to 0..100 and
// -100..100), frequency x the base frequency rounded, in Hz.
platform::audio::Output toOutput(const Mix& mix, float baseFrequency);

} // namespace kve::sound
