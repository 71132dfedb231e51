// The lit scene, run headless: the sky, the crates in their material's colour, the
// orange lamp's pool of light and the sun's shadow behind the big crate.
#include <gtest/gtest.h>

#include "example_test.h"

namespace {

using kve::test::Rgb;
using kve::test::text;

TEST(LitSceneExample, ShowsTheLampsLightAndTheSunsShadow)
{
    const auto run = kve::test::runExample("lit_scene");
    ASSERT_TRUE(run.drawn()) << run.why();

    // Where no geometry is, the background colour (0xAABBGGRR 0xFFB08850).
    const Rgb sky = run.at(400, 30);
    EXPECT_EQ(sky.r, 0x50);
    EXPECT_EQ(sky.g, 0x88);
    EXPECT_EQ(sky.b, 0xB0);
    // The big crate in front of the ball, blue as its material says.
    const Rgb crate = run.mean(420, 230, 470, 280);
    EXPECT_GT(crate.b, crate.r + 80) << text(crate);
    // The lamp stands low beside the ball: the ground around its foot is lit orange,
    // far more than the ground in the front corner, which only the sun reaches.
    const Rgb pool = run.mean(300, 290, 360, 320), far = run.mean(650, 380, 720, 420);
    EXPECT_GT(pool.r + pool.g, far.r + far.g + 60) << text(pool) << " vs " << text(far);
    EXPECT_GT(pool.r - pool.b, far.r - far.b + 30) << text(pool) << " vs " << text(far);
    // The sun shines from the left: the ground just right of the big crate lies in its
    // shadow, darker than the open ground further right at the same depth.
    const Rgb shadow = run.mean(495, 280, 530, 300), open = run.mean(560, 280, 600, 300);
    EXPECT_LT(2 * (shadow.r + shadow.g + shadow.b), open.r + open.g + open.b) << text(shadow) << " vs " << text(open);
}

} // namespace
