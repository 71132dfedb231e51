// Particles and sound, run headless with the null sound output: the fire's orange glow on
// the left, the fountain's pale blue drops on the right, and the sound still playing on
// its circle round the listener.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "example_test.h"

namespace {

using kve::test::Rgb;

TEST(ParticlesSoundExample, FireAndFountainGlowWhileTheSoundCircles)
{
    const auto run = kve::test::runExample("particles_sound");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(run.shot) << run.error;

    int playing = 0, fire = 0, fountain = 0;
    float x = 0, y = 0, z = 0;
    const size_t at = run.output.find("Sound playing:");
    ASSERT_NE(at, std::string::npos) << run.output;
    ASSERT_EQ(std::sscanf(run.output.c_str() + at, "Sound playing: %d at %f %f %f\nParticles: fire %d, fountain %d",
                          &playing, &x, &y, &z, &fire, &fountain),
              6)
        << run.output;
    EXPECT_EQ(playing, 1);
    // On its circle of radius 4 round the listener at (0, 2, 8), a quarter of the way round.
    EXPECT_NEAR(std::hypot(x, z - 8.0f), 4.0f, 0.01f);
    EXPECT_FLOAT_EQ(y, 2.0f);
    EXPECT_GT(x, 3.0f) << "a quarter turn in 1.5 seconds puts it to the listener's right";
    EXPECT_GT(fire, 50);
    EXPECT_GT(fountain, 50);

    const auto flame = [](Rgb p) { return p.r > 200 && p.g > 80 && p.b < 120 && p.r > p.b + 100; };
    const auto drop = [](Rgb p) { return p.b > 150 && p.b > p.r + 20; };
    EXPECT_GT(run.count(100, 0, 400, 300, flame), 1500);
    EXPECT_LT(run.count(420, 0, 800, 300, flame), 20);
    EXPECT_GT(run.count(420, 0, 750, 300, drop), 100);
    EXPECT_LT(run.count(0, 0, 400, 300, drop), 20);
}

} // namespace
