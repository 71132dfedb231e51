// The physics example, run headless for two simulated seconds: the ball has driven into
// the pyramid and moved its boxes, the chain of jointed links swings from its anchor in
// one piece, and the picture shows the boxes, the ball and the chain's spheres in their
// colours.
#include <gtest/gtest.h>

#include <cmath>

#include "example_test.h"

namespace {

using kve::test::Rgb;

TEST(PyramidExample, TheBallMovesThePyramidWhileTheChainSwingsInOnePiece)
{
    const auto run = kve::test::runExample("pyramid");
    ASSERT_TRUE(run.drawn()) << run.why();

    const auto moved = run.numbers("Boxes moved:"), links = run.numbers("Chain links:"),
               centre = run.numbers("Chain centre:");
    ASSERT_EQ(moved.size(), 2u) << run.output;
    ASSERT_EQ(links.size(), 6u) << run.output;
    ASSERT_EQ(centre.size(), 3u) << run.output;
    EXPECT_EQ(moved[1], 10.0f);
    EXPECT_GE(moved[0], 5.0f) << "the ball left the pyramid where it stood";
    // The links started 0.65 apart, each jointed to the one before it: the chain holds
    // together, its joints stretched by the weight below them and the swing, never torn
    // apart nor pushed into each other.
    for (float link : links) {
        EXPECT_GT(link, 0.6f) << run.output;
        EXPECT_LT(link, 1.1f) << run.output;
    }
    // Let go at rest level with its anchor, the chain swings down in the plane z = -3: its
    // links' centre can never climb back to the height of 5.5 it started at, as the
    // swinging chain loses energy to its joints' damping and its links' knocks.
    EXPECT_LT(centre[1], 5.2f) << run.output;
    EXPECT_NEAR(centre[2], -3.0f, 0.05f) << run.output;

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
