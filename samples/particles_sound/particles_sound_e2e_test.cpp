// Particles and sound, run headless with the null sound output: the fire's orange glow on
// the left, the fountain's pale blue drops on the right, and the sound still playing on
// its circle round the listener, where the ball attached to it is seen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "example_test.h"

namespace {

using kve::test::Rgb;

TEST(ParticlesSoundExample, FireAndFountainGlowWhileTheSoundCircles)
{
    const auto run = kve::test::runExample("particles_sound");
    ASSERT_TRUE(run.drawn()) << run.why();

    const auto sound = run.numbers("Sound playing:"), particles = run.numbers("Particles:");
    ASSERT_EQ(sound.size(), 4u) << run.output;
    ASSERT_EQ(particles.size(), 2u) << run.output;
    const float playing = sound[0], x = sound[1], y = sound[2], z = sound[3];
    const float fire = particles[0], fountain = particles[1];
    EXPECT_EQ(playing, 1.0f);
    // On its circle of radius 4 round the listener at (0, 2, 8), ahead and to the right.
    EXPECT_NEAR(std::hypot(x, z - 8.0f), 4.0f, 0.01f);
    EXPECT_FLOAT_EQ(y, 2.0f);
    EXPECT_NEAR(std::atan2(x, 8.0f - z), 1.5f * 6.2831853f / 16.0f, 0.05f) << "1.5 seconds round a 16 second circle";
    EXPECT_GT(fire, 50);
    EXPECT_GT(fountain, 50);

    const auto flame = [](Rgb p) { return p.r > 200 && p.g > 80 && p.b < 120 && p.r > p.b + 100; };
    const auto drop = [](Rgb p) { return p.b > 150 && p.b > p.r + 20; };
    EXPECT_GT(run.count(100, 0, 400, 300, flame), 1500);
    EXPECT_LT(run.count(420, 0, 800, 300, flame), 20);
    EXPECT_GT(run.count(420, 0, 750, 300, drop), 100);
    EXPECT_LT(run.count(0, 0, 400, 300, drop), 20);
    // The white ball attached to the sound, ahead and to the right at eye height.
    const auto white = [](Rgb p) { return p.r > 190 && p.g > 190 && p.b > 190 && std::abs(p.r - p.b) < 40; };
    EXPECT_GT(run.count(640, 60, 800, 240, white), 1000);
    EXPECT_LT(run.count(0, 0, 600, 450, white), 50);
}

} // namespace
