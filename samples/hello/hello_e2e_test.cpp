// Hello, run headless: the logo in the middle, the greeting under it, background around.
#include <gtest/gtest.h>

#include "example_test.h"

namespace {

using kve::test::Rgb;

TEST(HelloExample, ShowsTheLogoAndTheGreetingOnTheBackground)
{
    const auto run = kve::test::runExample("hello");
    ASSERT_TRUE(run.drawn()) << run.why();
    ASSERT_EQ(run.shot->width, 800);
    ASSERT_EQ(run.shot->height, 450);

    const auto background = [](Rgb p) { return p.r == 0x22 && p.g == 0x2A && p.b == 0x3A; };
    const auto logoBlue = [](Rgb p) { return p.b > 120 && p.b > p.r + 60; };
    const auto white = [](Rgb p) { return p.r > 200 && p.g > 200 && p.b > 200; };
    // The logo: a blue disc with white letters, centred at (400, 185), 200 pixels wide.
    EXPECT_GT(run.count(320, 105, 480, 265, logoBlue), 8000);
    EXPECT_GT(run.count(340, 150, 460, 220, white), 1000);
    // The greeting: white text in the band below the logo, and nothing else in it.
    EXPECT_GT(run.count(150, 315, 650, 345, white), 300);
    EXPECT_EQ(run.count(0, 300, 100, 360, [&](Rgb p) { return !background(p); }), 0);
    // Around them, only the background (the corners and the strip above the logo).
    EXPECT_TRUE(background(run.at(5, 5)));
    EXPECT_TRUE(background(run.at(794, 444)));
    EXPECT_EQ(run.count(0, 0, 800, 60, [&](Rgb p) { return !background(p); }), 0);
}

} // namespace
