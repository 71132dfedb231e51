// Distance and cone fall-off are linear between their inner and outer limits; the pan
// weighting makes a sound to one side louder than one straight ahead (0.6 + 0.4 p^2 of
// the volume), and the Doppler shift uses the change of listener distance since the
// previous update as the radial speed.
#include "sound/sound_mix.h"

#include <algorithm>
#include <cmath>

namespace kve::sound {
namespace {

// 1 at or inside `inner`, 0 beyond `outer`, linear between.
float fallOff(float value, float inner, float outer)
{
    if (value <= inner)
        return 1.0f;
    if (value > outer)
        return 0.0f;
    return 1.0f - (value - inner) / (outer - inner);
}

float dot3(const KVE_Vector& a, const KVE_Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

Mix mixSound(const MixInput& in)
{
    Mix mix;
    if (in.mode & KVE_SOUND_BACKGROUND) {
        mix.volume = in.volume * in.masterVolume;
        mix.frequency = in.frequency;
        return mix;
    }
    const KVE_Vector& q = in.position;
    mix.distance = std::sqrt(dot3(q, q));
    // A sound at the listener's own place is taken as straight ahead.
    const KVE_Vector u =
        mix.distance > 0 ? KVE_Vector{q.x / mix.distance, q.y / mix.distance, q.z / mix.distance, 0} : KVE_Vector{0, 0, -1, 0};
    const float length = std::sqrt(dot3(in.direction, in.direction));
    const float facing = length > 0 ? dot3(u, in.direction) / length : 0.0f;
    const float angle = std::acos(std::clamp(-facing, -1.0f, 1.0f)); // 0: facing the listener

    mix.pan = u.x;
    mix.frequency = in.frequency;
    if ((in.mode & KVE_SOUND_DOPPLER) && in.previousKnown && in.frameTime > 0) {
        const float approachSpeed = (in.previousDistance - mix.distance) / in.frameTime;
        mix.frequency = in.frequency / std::max(1.0f - approachSpeed / kSpeedOfSound, kMinDopplerDivisor);
    }
    mix.volume = in.volume * in.masterVolume * (in.frontVolume + in.sideVolume * mix.pan * mix.pan);
    if (in.range[1] != 0)
        mix.volume *= fallOff(mix.distance, in.range[0], in.range[1]);
    if (in.cone[1] != 0)
        mix.volume *= fallOff(angle, in.cone[0], in.cone[1]);
    return mix;
}

platform::audio::Output toOutput(const Mix& mix, float baseFrequency)
{
    const auto rounded = [](float value, long low, long high) {
        const float finite = std::isfinite(value) ? value : 0.0f;
        return static_cast<int>(std::lround(std::clamp(finite, static_cast<float>(low), static_cast<float>(high))));
    };
    return {rounded(mix.volume * 100.0f, 0, 100), rounded(mix.pan * 100.0f, -100, 100),
            rounded(mix.frequency * baseFrequency, 0, 10'000'000)};
}

} // namespace kve::sound
