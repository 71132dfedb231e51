// The physics example, run headless for two simulated seconds: the ball has thrown the
// pyramid's boxes about, the chain still hangs from its anchor, and the picture shows
// the boxes, the ball and the chain's spheres in their colours.
#include <gtest/gtest.h>

#include <cmath>

#include "example_test.h"

namespace {

using kve::test::Rgb;

TEST(PyramidExample, TheBallKnocksThePyramidOverWhileTheChainSwings)
{
    const auto run = kve::test::runExample("pyramid");
    ASSERT_TRUE(run.drawn()) << run.why();

    const auto moved = run.numbers("Boxes moved:"), end = run.numbers("Chain end:");
    ASSERT_EQ(moved.size(), 2u) << run.output;
    ASSERT_EQ(end.size(), 3u) << run.output;
    const float boxes = moved[1], x = end[0], y = end[1], z = end[2];
    EXPECT_EQ(boxes, 10.0f);
    EXPECT_GE(moved[0], 5.0f) << "the ball left the pyramid standing";
    // The last sphere started 3.6 units from the anchor at (-4, 5.5, -3); its spring keeps
    // it there (a little stretched), so it swings instead of falling to the ground.
    const float reach = std::sqrt((x + 4) * (x + 4) + (y - 5.5f) * (y - 5.5f) + (z + 3) * (z + 3));
    EXPECT_NEAR(reach, 3.6f, 0.4f) << run.output;

    const auto yellow = [](Rgb p) { return p.r > 150 && p.g > 130 && p.b < 80 && p.g > p.r - 60; };
    const auto orange = [](Rgb p) { return p.r > 150 && p.g > 60 && p.g < p.r - 60 && p.b < 80; };
    const auto teal = [](Rgb p) { return p.g > 90 && p.b > 90 && p.r < 60; };
    const auto red = [](Rgb p) { return p.r > 140 && p.g < 70 && p.b < 70; };
    EXPECT_GT(run.count(0, 0, 800, 450, orange), 1500);
    EXPECT_GT(run.count(0, 0, 800, 450, teal), 800);
    EXPECT_GT(run.count(0, 0, 800, 450, red), 800);
    // The chain's spheres hang in the air above the horizon.
    EXPECT_GT(run.count(0, 0, 800, 200, yellow), 400);
}

} // namespace
