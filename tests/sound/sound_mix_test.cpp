// The positional mix against hand-computed values: pan weighting, distance and cone
// fall-off, the Doppler factor, and the service's rounded units.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "sound/sound_mix.h"
#include "sound/sound.h"

namespace kve::sound {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// A sound `distance` units straight ahead of the listener, facing it.
MixInput ahead(float distance)
{
    MixInput in;
    in.position = {0, 0, -distance, 1};
    in.direction = {0, 0, 1, 0};
    return in;
}

TEST(SoundMix, PanWeightsTheVolumeFromFrontToSide)
{
    MixInput in = ahead(5);
    in.volume = 0.5f;
    in.masterVolume = 0.8f;
    in.range[0] = 5;
    in.range[1] = 15;
    Mix mix = mixSound(in);
    EXPECT_FLOAT_EQ(mix.volume, 0.5f * 0.8f * 0.6f);
    EXPECT_FLOAT_EQ(mix.pan, 0.0f);
    EXPECT_FLOAT_EQ(mix.distance, 5.0f);

    for (const float side : {1.0f, -1.0f}) {
        in.position = {5 * side, 0, 0, 1};
        mix = mixSound(in);
        EXPECT_FLOAT_EQ(mix.volume, 0.5f * 0.8f);
        EXPECT_EQ(toOutput(mix, 44100).pan, static_cast<int>(100 * side));
    }
    // Half-way to the side: p = 0.6, 0.6 + 0.4 x 0.36.
    in.position = {3, 0, -4, 1};
    EXPECT_NEAR(mixSound(in).volume, 0.4f * (0.6f + 0.4f * 0.36f), 1e-6f);
}

TEST(SoundMix, DistanceFallsOffLinearlyInsideTheRange)
{
    MixInput in = ahead(10);
    in.range[0] = 4;
    in.range[1] = 16;
    EXPECT_FLOAT_EQ(mixSound(in).volume, 0.6f * 0.5f);
    in.position.z = -16;
    EXPECT_FLOAT_EQ(mixSound(in).volume, 0.0f);
    in.position.z = -16.01f;
    EXPECT_EQ(mixSound(in).volume, 0.0f);
    in.position.z = -2; // inside min
    EXPECT_FLOAT_EQ(mixSound(in).volume, 0.6f);
    in.range[1] = 0; // unranged
    in.position.z = -1000;
    EXPECT_FLOAT_EQ(mixSound(in).volume, 0.6f);
    in.range[0] = in.range[1] = 7; // min = max: a hard edge, no division
    in.position.z = -7.5f;
    EXPECT_EQ(mixSound(in).volume, 0.0f);
}

TEST(SoundMix, ConeFallsOffWithTheAngleAwayFromTheListener)
{
    MixInput in = ahead(3);
    in.cone[0] = kPi / 2;
    in.cone[1] = 3 * kPi / 2;
    EXPECT_FLOAT_EQ(mixSound(in).volume, 0.6f); // facing the listener: angle 0
    in.direction = {0, 0, -2, 0};                 // facing away: angle pi
    EXPECT_NEAR(mixSound(in).volume, 0.6f * 0.5f, 1e-6f);
    in.cone[0] = 0;
    in.cone[1] = kPi / 4; // the demo's steam cone, 0..45 degrees
    EXPECT_EQ(mixSound(in).volume, 0.0f);
    in.direction = {1, 0, 1, 0}; // 45 degrees off: at the outer edge
    EXPECT_NEAR(mixSound(in).volume, 0.0f, 1e-5f);
    in.direction = {std::tan(kPi / 8), 0, 1, 0}; // 22.5 degrees: half
    EXPECT_NEAR(mixSound(in).volume, 0.3f, 1e-5f);
}

TEST(SoundMix, DopplerFollowsTheRadialSpeed)
{
    MixInput in = ahead(10);
    in.mode = KVE_SOUND_DOPPLER;
    in.frequency = 1.5f;
    in.previousKnown = true;
    in.previousDistance = 10.34f; // 0.34 units closer in 0.01 s: 34 units per second
    in.frameTime = 0.01f;
    EXPECT_NEAR(mixSound(in).frequency, 1.5f / 0.9f, 1e-4f);
    in.previousDistance = 9.66f; // receding
    EXPECT_NEAR(mixSound(in).frequency, 1.5f / 1.1f, 1e-4f);

    in.frameTime = 0; // the first frame has no duration
    EXPECT_FLOAT_EQ(mixSound(in).frequency, 1.5f);
    in.frameTime = 0.01f;
    in.previousKnown = false; // no distance measured since the play
    EXPECT_FLOAT_EQ(mixSound(in).frequency, 1.5f);
    in.previousKnown = true;
    in.previousDistance = 20; // 1000 units per second: faster than sound
    EXPECT_FLOAT_EQ(mixSound(in).frequency, 1.5f / kMinDopplerDivisor);
    in.mode = 0;
    EXPECT_FLOAT_EQ(mixSound(in).frequency, 1.5f);
}

TEST(SoundMix, BackgroundAndDegeneratePlacements)
{
    MixInput in = ahead(50);
    in.mode = KVE_SOUND_BACKGROUND | KVE_SOUND_DOPPLER;
    in.volume = 0.7f;
    in.range[1] = 10;
    in.previousKnown = true;
    in.frameTime = 0.01f;
    Mix mix = mixSound(in);
    EXPECT_FLOAT_EQ(mix.volume, 0.7f);
    EXPECT_EQ(mix.pan, 0.0f);
    EXPECT_EQ(mix.frequency, 1.0f);

    // At the listener's own place and without a direction: finite, straight ahead.
    in = MixInput{};
    in.position = {0, 0, 0, 1};
    in.cone[1] = 1;
    mix = mixSound(in);
    EXPECT_TRUE(std::isfinite(mix.volume));
    EXPECT_EQ(mix.pan, 0.0f);
}

TEST(SoundMix, OutputIsRoundedAndClamped)
{
    const auto out = toOutput({0.426f, -0.333f, 1.1f, 0}, 22050);
    EXPECT_EQ(out.volume, 43);
    EXPECT_EQ(out.pan, -33);
    EXPECT_EQ(out.frequency, 24255);
    const auto loud = toOutput({2.5f, 1.5f, NAN, 0}, 44100);
    EXPECT_EQ(loud.volume, 100);
    EXPECT_EQ(loud.pan, 100);
    EXPECT_EQ(loud.frequency, 0);
}

TEST(SoundMode, KeywordsAnywhereInTheTextSetTheirFlags)
{
    EXPECT_EQ(modeFromKeywords("Play Loop"), KVE_SOUND_PLAY | KVE_SOUND_LOOP);
    EXPECT_EQ(modeFromKeywords("Channel"), KVE_SOUND_CHANNEL);
    EXPECT_EQ(modeFromKeywords("Loopy"), KVE_SOUND_LOOP);
    EXPECT_EQ(modeFromKeywords("Background,Dopplereffect;Stream"),
              KVE_SOUND_BACKGROUND | KVE_SOUND_DOPPLER | KVE_SOUND_STREAM);
    EXPECT_EQ(modeFromKeywords("play loop doppler"), 0);
    EXPECT_EQ(modeFromKeywords(""), 0);
}

} // namespace
} // namespace kve::sound
