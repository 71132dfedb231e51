// The scene graph, run headless: the inner planet has turned on its orbit node round the
// sun, its moon keeps its distance from the planet wherever the planet goes, and the
// picture shows the glowing sun with both planets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "example_test.h"

namespace {

using kve::test::Rgb;

TEST(SolarSystemExample, MoonsFollowTheirPlanetsRoundTheSun)
{
    const auto run = kve::test::runExample("solar_system");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(run.shot) << run.error;

    float px = 0, py = 0, pz = 0, mx = 0, my = 0, mz = 0;
    const size_t at = run.output.find("Planet:");
    ASSERT_NE(at, std::string::npos) << run.output;
    ASSERT_EQ(std::sscanf(run.output.c_str() + at, "Planet: %f %f %f\nMoon: %f %f %f", &px, &py, &pz, &mx, &my, &mz),
              6)
        << run.output;
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
