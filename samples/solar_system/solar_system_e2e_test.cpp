// The scene graph, run headless: the inner planet has turned on its orbit node round the
// sun, its moon keeps its distance from the planet wherever the planet goes, and the
// picture shows the glowing sun with both planets.
#include <gtest/gtest.h>

#include <cmath>

#include "example_test.h"

namespace {

using kve::test::Rgb;

TEST(SolarSystemExample, MoonsFollowTheirPlanetsRoundTheSun)
{
    const auto run = kve::test::runExample("solar_system");
    ASSERT_TRUE(run.drawn()) << run.why();

    const auto planet = run.numbers("Planet:"), moon = run.numbers("Moon:");
    ASSERT_EQ(planet.size(), 3u) << run.output;
    ASSERT_EQ(moon.size(), 3u) << run.output;
    const float px = planet[0], py = planet[1], pz = planet[2], mx = moon[0], my = moon[1], mz = moon[2];
    // The planet 4.5 from the sun, turned from +x toward -z by about 40 degrees a second
    // for two seconds; the moon 1.2 from the planet (its orbit node ignores the planet's
    // scale), in the same plane.
    EXPECT_NEAR(std::hypot(px, pz), 4.5f, 0.01f);
    const float degrees = std::atan2(-pz, px) * 180.0f / 3.14159265f;
    EXPECT_GT(degrees, 65.0f);
    EXPECT_LT(degrees, 85.0f);
    EXPECT_NEAR(std::hypot(mx - px, mz - pz), 1.2f, 0.01f);
    EXPECT_NEAR(py, 0.0f, 1e-4f);
    EXPECT_NEAR(my, 0.0f, 1e-4f);

    const auto sun = [](Rgb p) { return p.r > 180 && p.g > 140 && p.b < 100; };
    const auto blue = [](Rgb p) { return p.b > 150 && p.b > p.r + 60; };
    const auto red = [](Rgb p) { return p.r > 150 && p.g < 120 && p.b < 100 && p.r > p.g + 60; };
    EXPECT_GT(run.count(340, 160, 460, 280, sun), 5000);
    EXPECT_GT(run.count(0, 0, 800, 450, blue), 300);
    EXPECT_GT(run.count(0, 0, 800, 450, red), 700);
    const Rgb corner = run.at(5, 5);
    EXPECT_EQ(corner.r, 0x08);
    EXPECT_EQ(corner.g, 0x08);
    EXPECT_EQ(corner.b, 0x10);
}

} // namespace
